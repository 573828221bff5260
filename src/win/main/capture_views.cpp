#include "win/main/capture_views.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <stdexcept>

#include "core/model/presentation.h"
#include "win/controls/image_list.h"
#include "win/controls/window.h"

namespace tw::win {

namespace {

// Hands `text` to a view asking for it: its own buffer, kept in `store` until the next ask (the
// views copy it before they ask again); no length limit, so long paths are not cut.
void handText(std::wstring& store, std::string_view text, LPWSTR& target) {
  store = wide(text);
  target = store.data();
}

// Custom drawing: asks for each item, and gives it the presentation's colour (`colourOf`, asked
// only for an item); none leaves the view's own.
template <typename ColourOf>
LRESULT colourItem(NMCUSTOMDRAW& draw, COLORREF& textColour, const ColourOf& colourOf) {
  switch (draw.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const std::optional<Rgb> colour = colourOf();
      // A selected item keeps the selection's colours, as in the other front end.
      if (colour && (draw.uItemState & CDIS_SELECTED) == 0)
        textColour = RGB(colour->red, colour->green, colour->blue);
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

}  // namespace

// --- CaptureListView ---------------------------------------------------------------------------

CaptureListView::CaptureListView(WindowHandle parent, CaptureViews& views, ImageListHandle systemIcons)
    : views_(views), list_(views.list()), filter_(views.list()) {
  view_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 0, 0, 0,
      0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (view_ == nullptr) throw std::runtime_error("The capture list's view could not be created.");
  ListView_SetExtendedListViewStyle(
      view_, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_SUBITEMIMAGES);
  for (int i = 0; i < kListColumnCount; ++i) {
    const std::wstring caption = wide(kListColumnCaptions[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(caption.c_str());
    column.cx = 100;
    column.iSubItem = i;
    ListView_InsertColumn(view_, i, &column);
  }
  ListView_SetImageList(view_, systemIcons, LVSIL_SMALL);
  if (const int rows = list_.rowCount(); rows > 0) filter_.addRows(0, rows - 1);
  ListView_SetItemCountEx(view_, filter_.shownCount(), LVSICF_NOSCROLL);
  if (list_.hasProcesses()) addProcessColumn();
  list_.setObserver(this);
}

CaptureListView::~CaptureListView() {
  list_.setObserver(nullptr);
  if (IsWindow(view_)) DestroyWindow(view_);
}

void CaptureListView::setColumnWidths(const std::vector<int>& widths) {
  for (std::size_t i = 0; i < widths.size() && i < static_cast<std::size_t>(kListColumnCount); ++i)
    ListView_SetColumnWidth(view_, static_cast<int>(i), widths[i]);
  if (widths.size() > static_cast<std::size_t>(kListColumnCount)) {
    processWidth_ = widths[kListColumnCount];
    if (processColumn_) ListView_SetColumnWidth(view_, kListColumnCount, processWidth_);
  }
}

void CaptureListView::addProcessColumn() {
  const std::wstring caption = wide(kListColumnCaptions[kListColumnCount]);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(caption.c_str());
  column.cx = processWidth_;
  column.iSubItem = kListColumnCount;
  if (ListView_InsertColumn(view_, kListColumnCount, &column) >= 0) processColumn_ = true;
}

void CaptureListView::rowsShownChanged() {
  if (onRowsChanged) onRowsChanged();
}

void CaptureListView::setFilterText(std::string_view text) {
  if (text == filter_.text()) return;
  filter_.setText(text);
  // Nothing selected stays meaningful: the rows under it are others now.
  ListView_SetItemState(view_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemCountEx(view_, filter_.shownCount(), 0);
  InvalidateRect(view_, nullptr, FALSE);
  rowsShownChanged();
}

int CaptureListView::focusedListRow() const {
  int shown = ListView_GetNextItem(view_, -1, LVNI_FOCUSED);
  if (shown < 0) shown = ListView_GetNextItem(view_, -1, LVNI_SELECTED);
  if (shown < 0 || shown >= filter_.shownCount()) return -1;
  return filter_.listRow(shown);
}

void CaptureListView::rowsAboutToBeInserted(int first, int last) {
  // The new rows are readable already: they are matched now, once each.
  firstNewMatch_ = filter_.rows().size();
  filter_.addRows(first, last);
}

void CaptureListView::rowsInserted(int, int) {
  if (filter_.active() && filter_.rows().size() > firstNewMatch_ && onMatchesAdded)
    onMatchesAdded(firstNewMatch_);
  // The view holds only the count: it asks for what it draws. A count set, even to the same
  // number, resets both scroll bars' ranges, and under Wine each visible bar is repainted at once
  // twice per call (some 15 ms at 200,000 rows): a batch that adds no shown row (none of it
  // matches the filter) leaves the count alone.
  if (ListView_GetItemCount(view_) != filter_.shownCount())
    ListView_SetItemCountEx(view_, filter_.shownCount(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  if (!processColumn_ && list_.hasProcesses()) addProcessColumn();
  rowsShownChanged();
}

void CaptureListView::listAboutToBeCleared() {}

void CaptureListView::listCleared() {
  filter_.clear();
  ListView_SetItemCountEx(view_, 0, 0);
  if (processColumn_ && ListView_DeleteColumn(view_, kListColumnCount)) processColumn_ = false;
  rowsShownChanged();
}

std::optional<MessageResult> CaptureListView::notified(const NMHDR& header) {
  if (header.hwndFrom != view_) return std::nullopt;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header));
      const int shown = info.item.iItem, column = info.item.iSubItem;
      const int columns = processColumn_ ? kListColumnCountWithProcess : kListColumnCount;
      if (shown < 0 || shown >= filter_.shownCount() || column < 0 || column >= columns) return 0;
      const int row = filter_.listRow(shown);
      const CapturePresentation& presentation = views_.presentation();
      const auto cell = static_cast<ListColumn>(column);
      if ((info.item.mask & LVIF_TEXT) != 0)
        handText(text_, presentation.cellText(list_, row, cell), info.item.pszText);
      if ((info.item.mask & LVIF_IMAGE) != 0)
        info.item.iImage = systemImage(presentation.cellIcon(list_, row, cell));
      return 0;
    }
    case NM_CUSTOMDRAW: {
      auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(header));
      const auto shown = static_cast<int>(draw.nmcd.dwItemSpec);
      return colourItem(draw.nmcd, draw.clrText, [&]() -> std::optional<Rgb> {
        if (shown < 0 || shown >= filter_.shownCount()) return std::nullopt;
        return views_.presentation().rowColour(list_, filter_.listRow(shown));
      });
    }
    default:
      return std::nullopt;
  }
}

int CaptureListView::shownRowCount() const { return ListView_GetItemCount(view_); }

int CaptureListView::shownColumnCount() const { return Header_GetItemCount(ListView_GetHeader(view_)); }

std::string CaptureListView::shownCell(int row, int column) const {
  wchar_t buffer[1024] = {};
  ListView_GetItemText(view_, row, column, buffer, static_cast<int>(std::size(buffer)));
  return narrow(buffer);
}

}  // namespace tw::win
