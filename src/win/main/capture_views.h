#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_views.h"
#include "win/controls/win_types.h"

struct tagNMHDR;

namespace tw::win {

// The capture list on screen: a native report-style list view in owner-data (virtual) mode
// over the core's CaptureList: it holds only the row count; every cell, icon and colour is asked
// of the presentation when drawn, so a million rows cost the view nothing.
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

  // The number of rows the view holds, and the texts it shows in a cell (asked as the view
  // asks when it draws), for the program's own tests.
  int shownRowCount() const;
  std::string shownCell(int row, int column) const;

  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void listAboutToBeCleared() override;
  void listCleared() override;

 private:
  CaptureViews& views_;
  CaptureList& list_;
  WindowHandle view_ = nullptr;
  std::wstring text_;  // the text last handed to the view
};

}  // namespace tw::win
