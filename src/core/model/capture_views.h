#pragma once

#include <memory>
#include <optional>
#include <vector>

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
// cache and the presentation; uses, but does not own, the environment and the icon source.
// Without an icon source (the headless recorder) no icon is ever asked: no look at the disk.
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
  // The tree node a list row's change was filed on; kNoNode for a kind the tree does not file
  // (or a blank path). The node may have gone since (a deleted folder's subtree): check with
  // CaptureTree::isNode.
  NodeId nodeOfRow(int row) const { return rowNodes[static_cast<std::size_t>(row)]; }
  // The nodes of rows[from..]: what a tree shows for the rows a list filter shows
  // (TreeRows::showOnly, showAlso). Rows without a node are left out.
  std::vector<NodeId> nodesOfRows(const std::vector<int>& rows, std::size_t from = 0) const;
  void endBatch();
  // Removes every node and every row (the Clean command).
  void clear();
  // Whether the changes filed are history (a recording being opened) rather than what happens
  // to this disk now: a folder's icon, once asked, is then kept for as long as they are, and
  // they do not make it be asked again (FolderIconCache::setChangesAreHistory). None without an
  // icon source.
  void setFiledChangesAreHistory(bool history);
  std::optional<bool> filedChangesAreHistory() const;

  CaptureTree& tree() { return *tree_; }
  const CaptureTree& tree() const { return *tree_; }
  CaptureList& list() { return *list_; }
  const CaptureList& list() const { return *list_; }
  const CapturePresentation& presentation() const { return presentation_; }
  PathStyle pathStyle() const { return style; }
  // Bytes held by the texts both keep, by the folder icons and by the rows' nodes, for the
  // benchmarks.
  std::size_t sharedBytesUsed() const;

 private:
  PathStyle style;
  TextPool pool;
  std::unique_ptr<FolderIconCache> folderIcons;  // none without an icon source
  std::unique_ptr<CaptureTree> tree_;
  std::unique_ptr<CaptureList> list_;
  // By list row: the node its change was filed on (nodeOfRow).
  std::vector<NodeId> rowNodes;
  CapturePresentation presentation_;
};

}  // namespace tw
