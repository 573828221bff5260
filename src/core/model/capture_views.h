#pragma once

#include <memory>

#include "core/events/change.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/folder_icon_cache.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// The capture tree and the capture list of a recording, with what they share (the text pool and
// the folder icons): what a delivered change is filed into, what the views show and what the
// report is made of.
//
// Thread: the user-interface thread only. Uses, but does not own, the environment and the icon
// source; without an icon source (the headless recorder) no icon is ever asked.
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
  PathStyle pathStyle() const { return style; }

 private:
  PathStyle style;
  TextPool pool;
  std::unique_ptr<IconSource> noIcons;
  std::unique_ptr<FolderIconCache> folderIcons;
  std::unique_ptr<CaptureTree> tree_;
  std::unique_ptr<CaptureList> list_;
};

}  // namespace tw
