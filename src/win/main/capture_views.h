#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "win/controls/win_types.h"

struct tagNMHDR;

namespace tw::win {

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
  // Called after a batch whose rows matched a filter that is set: the index into
  // filter().rows() of the first of the new matches (for the tree, which shows their nodes).
  std::function<void(std::size_t)> onMatchesAdded;

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
  std::size_t firstNewMatch_ = 0;  // filter_.rows().size() before the batch being announced
  std::wstring text_;              // the text last handed to the view
};

}  // namespace tw::win
