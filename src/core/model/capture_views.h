#pragma once

#include <memory>

#include "core/events/change.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/folder_icon_cache.h"
#include "core/model/presentation.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// The capture tree and the capture list of a recording, with what they share (the text pool and
// the folder icons) and their presentation: what a delivered change is filed into, what the
// views show and what the report is made of.
//
// Thread: the user-interface thread only. Owns the tree, the list, the pool, the folder icon
// cache (and with it its lookup thread) and the presentation; uses, but does not own, the
// environment and the icon source. Without an icon source (the headless recorder) no icon is
// ever asked: no lookup thread, no look at the disk.
class CaptureViews {
 public:
  CaptureViews(Environment& environment, IconSource* icons, PathStyle style);
  CaptureViews(const CaptureViews&) = delete;
  CaptureViews& operator=(const CaptureViews&) = delete;

  // Groups the changes added until endBatch into one announcement to the views' observers.
  void beginBatch();
  // Files one delivered change: into the tree for the kinds that change the path tree, and as a
  // row of the list for every kind.
  void add(const Change& change);
  void endBatch();
  // Removes every node and every row (the Clean command).
  void clear();

  CaptureTree& tree() { return *tree_; }
  const CaptureTree& tree() const { return *tree_; }
  CaptureList& list() { return *list_; }
  const CaptureList& list() const { return *list_; }
  const CapturePresentation& presentation() const { return presentation_; }
  PathStyle pathStyle() const { return style; }
  // Bytes held by the texts both keep and by the folder icons, for the benchmarks.
  std::size_t sharedBytesUsed() const;

 private:
  PathStyle style;
  TextPool pool;
  std::unique_ptr<FolderIconCache> folderIcons;  // none without an icon source
  std::unique_ptr<CaptureTree> tree_;
  std::unique_ptr<CaptureList> list_;
  CapturePresentation presentation_;
};

}  // namespace tw
