#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "win/controls/win_types.h"

struct tagNMHDR;

namespace tw::win {

// The capture tree on screen: a native tree view that follows the core's CaptureTree. Nodes are
// inserted as the tree announces them, expanded; a node the user collapsed stays collapsed
// whatever arrives under it, until the user expands it again (the view tells of both,
// TVN_ITEMEXPANDED). Texts, icons and colours are asked of the presentation when the view draws
// (callback items): renamed blue, deleted red.
//
// Thread: the user-interface thread. Owns the native tree view (a child of `parent`, destroyed
// with it or with this object); observes, but does not own, the capture views' tree, which
// outlive it.
// The system image list it shows is shared and not destroyed.
class CaptureTreeView : public CaptureTreeObserver {
 public:
  CaptureTreeView(WindowHandle parent, CaptureViews& views, ImageListHandle systemIcons);
  ~CaptureTreeView() override;
  CaptureTreeView(const CaptureTreeView&) = delete;
  CaptureTreeView& operator=(const CaptureTreeView&) = delete;

  WindowHandle handle() const { return view_; }
  // A notification the parent received from the view; the result when it is one handled here.
  std::optional<MessageResult> notified(const tagNMHDR& header);

  // The native items, in the view's order, as "  "-indented texts (two spaces per level), for
  // the program's own tests.
  std::vector<std::string> shownTexts() const;
  // The native item of a node (an HTREEITEM; null when none), and whether the user collapsed it.
  void* itemOf(NodeId node) const;
  bool isCollapsedByUser(NodeId node) const { return node < collapsed_.size() && collapsed_[node] != 0; }

  void nodesAboutToBeInserted(NodeId parent, int first, int last) override;
  void nodesInserted(NodeId parent, int first, int last) override;
  void nodesChanged(const std::vector<NodeId>& nodes) override;
  void nodesAboutToBeRemoved(NodeId parent, int first, int last) override;
  void nodesRemoved(NodeId parent, int first, int last) override;
  void treeAboutToBeCleared() override;
  void treeCleared() override;

 private:
  // Inserts `node` with everything under it, after `after` (a native item or TVI_ code).
  void insertNode(NodeId node, void* parentItem, void* after);
  void forgetNode(NodeId node);
  // Expands a node's item unless the user collapsed it.
  void expandUnlessCollapsed(NodeId node, void* item);

  CaptureViews& views_;
  CaptureTree& tree_;
  WindowHandle view_ = nullptr;
  std::vector<void*> items_;             // the native item (HTREEITEM) of each node id; null when none
  std::vector<std::uint8_t> collapsed_;  // by node id: collapsed by the user
  std::wstring text_;                    // the text last handed to the view
};

// The capture list on screen: a native report-style list view in owner-data (virtual) mode
// over the core's CaptureList: it holds only the row count; every cell, icon and colour is asked
// of the presentation when drawn, so a million rows cost the view nothing. With a filter text set
// it shows only the rows the text matches (ListFilter), in list order; rows arriving meanwhile
// are matched once each as their batch is announced. The four described columns are always
// there; a fifth, Process, is added when the first row that knows its process arrives and goes
// when the list is cleared.
//
// Thread: the user-interface thread. Owns the native list view (a child of `parent`);
// observes, but does not own, the capture views' list, which outlive it.
class CaptureListView : public CaptureListObserver {
 public:
  CaptureListView(WindowHandle parent, CaptureViews& views, ImageListHandle systemIcons);
  ~CaptureListView() override;
  CaptureListView(const CaptureListView&) = delete;
  CaptureListView& operator=(const CaptureListView&) = delete;

  WindowHandle handle() const { return view_; }
  std::optional<MessageResult> notified(const tagNMHDR& header);
  // The columns' widths in device pixels, in column order.
  void setColumnWidths(const std::vector<int>& widths);

  // Shows only the rows that match `text` (UTF-8; every row for a blank text).
  void setFilterText(std::string_view text);
  const ListFilter& filter() const { return filter_; }
  // The list row shown at a row of the view.
  int listRow(int shownRow) const { return filter_.listRow(shownRow); }
  // The list row of the item with the focus (else the first selected); -1 when none.
  int focusedListRow() const;
  // Whether the Process column is there.
  bool showsProcess() const { return processColumn_; }
  // Called after the shown rows changed (a batch announced, the filter changed, cleared).
  std::function<void()> onRowsChanged;

  // The number of rows the view holds, its columns, and the texts it shows in a cell (asked as
  // the view asks when it draws), for the program's own tests.
  int shownRowCount() const;
  int shownColumnCount() const;
  std::string shownCell(int row, int column) const;

  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void listAboutToBeCleared() override;
  void listCleared() override;

 private:
  void addProcessColumn();
  void rowsShownChanged();

  CaptureViews& views_;
  CaptureList& list_;
  ListFilter filter_;
  WindowHandle view_ = nullptr;
  bool processColumn_ = false;
  int processWidth_ = 150;
  std::wstring text_;  // the text last handed to the view
};

}  // namespace tw::win
