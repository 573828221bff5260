#include "win/main/capture_tree_view.h"

#include "core/model/tree_filter.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>
// clang-format on

#include <algorithm>
#include <stdexcept>

#include "core/model/presentation.h"
#include "win/controls/image_list.h"

namespace tw::win {

namespace {

// The view's own timer, for the update once per batch and for a wider column: its message comes
// after input, painting and the messages posted, so the update does not follow the batch's
// announcement without a pause (under Wine each is tens of milliseconds: a count set, a repaint).
constexpr UINT_PTR kUpdateTimer = 0x7457;
// The side of an expand button, and the room left beside the text of the widest row.
constexpr int kButtonSide = 9;
constexpr int kTextMargin = 8;

// The view's window procedure in front of the list view's own. The object is found through the
// window's user data: comctl32's subclassing keeps it in a window property instead, which under
// Wine costs a round trip to the Wine server for every message the view gets.
LRESULT CALLBACK treeViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CaptureTreeView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto handled = self->viewMessage(message, wParam, lParam)) return *handled;
  return CallWindowProcW(reinterpret_cast<WNDPROC>(self->listViewProcedure()), window, message, wParam,
                         lParam);
}

}  // namespace

CaptureTreeView::CaptureTreeView(WindowHandle parent, CaptureViews& views, ImageListHandle systemIcons)
    : views_(views), rows_(views.tree()), icons_(systemIcons) {
  view_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                              LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                          0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (view_ == nullptr) throw std::runtime_error("The capture tree's view could not be created.");
  ListView_SetExtendedListViewStyle(view_, LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = 100;
  ListView_InsertColumn(view_, 0, &column);
  ListView_SetImageList(view_, systemIcons, LVSIL_SMALL);
  LOGBRUSH line{BS_SOLID, GetSysColor(COLOR_GRAYTEXT), 0};
  linePen_ = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &line, 0, nullptr);
  SetWindowLongPtrW(view_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  listViewProcedure_ = reinterpret_cast<void*>(
      SetWindowLongPtrW(view_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&treeViewProc)));
  ListView_SetItemCountEx(view_, rows_.rowCount(), LVSICF_NOSCROLL);
  rows_.setObserver(this);
}

CaptureTreeView::~CaptureTreeView() {
  rows_.setObserver(nullptr);
  if (IsWindow(view_)) {
    SetWindowLongPtrW(view_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listViewProcedure_));
    SetWindowLongPtrW(view_, GWLP_USERDATA, 0);
    DestroyWindow(view_);
  }
  if (linePen_ != nullptr) DeleteObject(linePen_);
}

// --- The rows' changes ------------------------------------------------------------------------

void CaptureTreeView::rowsMoving() {
  if (!changesWaiting_) {
    changesWaiting_ = true;
    // The rows still answer as before: the node at the top is noted while it is still there.
    const int top = ListView_GetTopIndex(view_);
    top_ = top > 0 && top < rows_.rowCount() ? rows_.nodeAt(top) : kNoNode;
  }
  if (!rows_.tree().inBatch()) askUpdate();
}

void CaptureTreeView::batchEnded() {
  if (changesWaiting_) askUpdate();
}

void CaptureTreeView::askUpdate() {
  if (updateWaiting_) return;
  updateWaiting_ = startTimer();
  if (!updateWaiting_) update();  // no timer to be had: at once
}

bool CaptureTreeView::startTimer() { return SetTimer(view_, kUpdateTimer, USER_TIMER_MINIMUM, nullptr) != 0; }

void CaptureTreeView::rowsAboutToBeInserted(int, int) { rowsMoving(); }
void CaptureTreeView::rowsInserted(int, int) {}
void CaptureTreeView::rowsAboutToBeRemoved(int, int) { rowsMoving(); }
void CaptureTreeView::rowsRemoved(int, int) {}

// What rows show changed: repainted with the batch's update (the view shows a few dozen rows;
// one repaint of them costs less than finding out which of them changed).
void CaptureTreeView::rowsChanged(int, int) { rowsMoving(); }

void CaptureTreeView::rowsAboutToBeReset() {}

void CaptureTreeView::rowsReset() {
  selected_ = kNoNode;
  top_ = kNoNode;
  changesWaiting_ = false;
  widest_ = 0;
  updating_ = true;
  ListView_SetItemCountEx(view_, rows_.rowCount(), 0);
  updating_ = false;
}

int CaptureTreeView::columnWidth() const {
  RECT client{};
  GetClientRect(view_, &client);
  return std::max<int>(widest_, client.right);
}

void CaptureTreeView::widen() {
  if (widest_ > ListView_GetColumnWidth(view_, 0)) ListView_SetColumnWidth(view_, 0, columnWidth());
}

void CaptureTreeView::update() {
  updateWaiting_ = false;
  changesWaiting_ = false;
  updating_ = true;
  // A count set repaints the visible scroll bars at once (see CaptureListView::rowsInserted): a
  // batch that only renamed, deleted as many as it added, or added inside folded nodes keeps it.
  if (const int count = rows_.rowCount(); ListView_GetItemCount(view_) != count)
    ListView_SetItemCountEx(view_, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  // The selection is a row number in the view: it follows its node.
  const int shownTop = ListView_GetTopIndex(view_);
  const int shownSelection = selectedRow();
  const int selection = selected_ != kNoNode ? rows_.rowOf(selected_) : -1;
  if (selection != shownSelection) {
    if (selection < 0) selected_ = kNoNode;
    selectRow(selection);  // the list view scrolls to a focused row: put right below
  }
  // The node that was at the top stays there (rows came or went above it); else the row.
  const int topNow = top_ != kNoNode ? rows_.rowOf(top_) : -1;
  const int wanted = topNow >= 0 ? topNow : shownTop;
  top_ = kNoNode;
  const int nowTop = ListView_GetTopIndex(view_);
  if (wanted >= 0 && wanted != nowTop) {
    RECT row{};
    if (ListView_GetItemRect(view_, nowTop, &row, LVIR_BOUNDS) != FALSE)
      ListView_Scroll(view_, 0, (wanted - nowTop) * (row.bottom - row.top));
  }
  updating_ = false;
  if (!repaintAsked_) {
    repaintAsked_ = true;
    InvalidateRect(view_, nullptr, FALSE);
  }
}

void CaptureTreeView::selectRow(int row) {
  ListView_SetItemState(view_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row >= 0) ListView_SetItemState(view_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CaptureTreeView::setExpanded(int row, bool expanded) {
  if (row < 0 || row >= rows_.rowCount()) return;
  const NodeId node = rows_.nodeAt(row);
  if (!rows_.hasChildren(node) || rows_.isExpanded(node) == expanded) return;
  rows_.setExpanded(node, expanded);
  update();
}

// --- Geometry ---------------------------------------------------------------------------------

int CaptureTreeView::indentWidth() const {
  int width = 16, height = 16;
  ImageList_GetIconSize(icons_, &width, &height);
  return width;
}

int CaptureTreeView::iconLeft(int row) const {
  RECT icon{};
  icon.left = LVIR_ICON;
  SendMessageW(view_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&icon));
  return icon.left;
}

int CaptureTreeView::rowAtHeight(int y) const {
  const int top = ListView_GetTopIndex(view_);
  RECT first{};
  if (ListView_GetItemRect(view_, top, &first, LVIR_BOUNDS) == FALSE) return -1;
  const int height = first.bottom - first.top;
  if (height <= 0 || y < first.top) return -1;
  const int row = top + (y - first.top) / height;
  return row < rows_.rowCount() ? row : -1;
}

std::optional<Bounds> CaptureTreeView::expandButton(int row) const {
  if (row < 0 || row >= rows_.rowCount() || !rows_.hasChildren(rows_.nodeAt(row))) return std::nullopt;
  RECT bounds{};
  if (ListView_GetItemRect(view_, row, &bounds, LVIR_BOUNDS) == FALSE) return std::nullopt;
  const int indent = indentWidth();
  const int centreX = iconLeft(row) - indent / 2, centreY = (bounds.top + bounds.bottom) / 2;
  return Bounds{centreX - kButtonSide / 2, centreY - kButtonSide / 2, kButtonSide, kButtonSide};
}

// --- Drawing ----------------------------------------------------------------------------------

// The lines of the tree in a row's indentation, as a tree view draws them: for each ancestor
// that has a sibling after it a vertical line through the row; at the node's own level a line
// from above (unless it is the first root), a line to the icon, and a line on down to its next
// sibling; and the expand button of a node with children.
void CaptureTreeView::drawLines(DeviceContext dc, int row) {
  const CaptureTree& tree = rows_.tree();
  const NodeId node = rows_.nodeAt(row);
  RECT bounds{};
  if (ListView_GetItemRect(view_, row, &bounds, LVIR_BOUNDS) == FALSE) return;
  const int indent = indentWidth();
  const int ownCentre = iconLeft(row) - indent / 2;
  const int middle = (bounds.top + bounds.bottom) / 2;
  const auto hasNext = [&](NodeId n) { return tree.row(n) + 1 < tree.childCount(tree.parent(n)); };

  HGDIOBJ oldPen = SelectObject(dc, linePen_);
  // Dotted lines start on an even pixel, so that rows join up.
  const int top = bounds.top, bottom = bounds.bottom;
  int x = ownCentre;
  for (NodeId above = tree.parent(node); above != kNoNode; above = tree.parent(above)) {
    x -= indent;
    if (!hasNext(above)) continue;
    MoveToEx(dc, x, top, nullptr);
    LineTo(dc, x, bottom);
  }
  const bool first = tree.parent(node) == kNoNode && tree.row(node) == 0;
  MoveToEx(dc, ownCentre, first ? middle : top, nullptr);
  LineTo(dc, ownCentre, hasNext(node) ? bottom : middle + 1);
  MoveToEx(dc, ownCentre, middle, nullptr);
  LineTo(dc, ownCentre + indent / 2 + 1, middle);
  SelectObject(dc, oldPen);

  if (!rows_.hasChildren(node)) return;
  const int left = ownCentre - kButtonSide / 2, boxTop = middle - kButtonSide / 2;
  HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ oldFramePen = SelectObject(dc, GetStockObject(DC_PEN));
  SetDCPenColor(dc, GetSysColor(COLOR_GRAYTEXT));
  Rectangle(dc, left, boxTop, left + kButtonSide, boxTop + kButtonSide);
  SetDCPenColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  MoveToEx(dc, left + 2, middle, nullptr);
  LineTo(dc, left + kButtonSide - 2, middle);
  if (!rows_.isExpanded(node)) {
    MoveToEx(dc, ownCentre, boxTop + 2, nullptr);
    LineTo(dc, ownCentre, boxTop + kButtonSide - 2);
  }
  SelectObject(dc, oldFramePen);
  SelectObject(dc, oldBrush);
}

// --- Messages ---------------------------------------------------------------------------------

std::optional<MessageResult> CaptureTreeView::viewMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kUpdateTimer) return std::nullopt;
      KillTimer(view_, kUpdateTimer);
      if (updateWaiting_) update();
      if (widthWanted_) {
        widthWanted_ = false;
        widen();
      }
      return 0;
    case WM_SIZE: {
      const int width = LOWORD(lParam);
      ListView_SetColumnWidth(view_, 0, std::max(width, widest_));
      return std::nullopt;
    }
    case WM_LBUTTONDOWN: {
      const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
      const int row = rowAtHeight(y);
      if (const auto button = expandButton(row)) {
        // The whole indentation column of the button toggles, as in a tree view.
        const int indent = indentWidth();
        const int centre = button->left + kButtonSide / 2;
        if (x >= centre - indent / 2 && x < centre + (indent + 1) / 2) {
          const NodeId node = rows_.nodeAt(row);
          setExpanded(row, !rows_.isExpanded(node));
          SetFocus(view_);
          return 0;
        }
      }
      return std::nullopt;
    }
    case WM_LBUTTONDBLCLK: {
      const int row = rowAtHeight(GET_Y_LPARAM(lParam));
      if (row >= 0) setExpanded(row, !rows_.isExpanded(rows_.nodeAt(row)));
      return std::nullopt;
    }
    case WM_CHAR:
      // The characters of the fold and unfold keys (handled as keys below) are no search.
      if (wParam == L'+' || wParam == L'-') return 0;
      return std::nullopt;
    case WM_KEYDOWN: {
      const int row = selectedRow();
      if (row < 0) return std::nullopt;
      const NodeId node = rows_.nodeAt(row);
      switch (wParam) {
        case VK_ADD:
        case VK_OEM_PLUS:
          setExpanded(row, true);
          return 0;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
          setExpanded(row, false);
          return 0;
        case VK_RIGHT:
          // Unfolds a folded node; on an unfolded one, goes to its first child.
          if (rows_.hasChildren(node)) {
            if (!rows_.isExpanded(node)) {
              setExpanded(row, true);
            } else {
              selectRow(row + 1);
              ListView_EnsureVisible(view_, row + 1, FALSE);
            }
          }
          return 0;
        case VK_LEFT: {
          // Folds an unfolded node; on a folded one or a leaf, goes to its parent.
          if (rows_.hasChildren(node) && rows_.isExpanded(node)) {
            setExpanded(row, false);
          } else if (const NodeId parent = rows_.tree().parent(node); parent != kNoNode) {
            const int parentRow = rows_.rowOf(parent);
            selectRow(parentRow);
            ListView_EnsureVisible(view_, parentRow, FALSE);
          }
          return 0;
        }
        default:
          return std::nullopt;
      }
    }
    default:
      return std::nullopt;
  }
}

std::optional<MessageResult> CaptureTreeView::notified(const NMHDR& header) {
  if (header.hwndFrom != view_) return std::nullopt;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header));
      const int row = info.item.iItem;
      if (row < 0 || row >= rows_.rowCount() || info.item.iSubItem != 0) return 0;
      const CaptureTree& tree = rows_.tree();
      const NodeId node = rows_.nodeAt(row);
      const CapturePresentation& presentation = views_.presentation();
      if ((info.item.mask & LVIF_TEXT) != 0) {
        text_ = wide(presentation.nodeText(tree, node));
        info.item.pszText = text_.data();
      }
      if ((info.item.mask & LVIF_IMAGE) != 0)
        info.item.iImage = systemImage(presentation.nodeIcon(tree, node));
      // One column more than the level: the roots' lines and buttons have theirs too.
      if ((info.item.mask & LVIF_INDENT) != 0) info.item.iIndent = tree.level(node) + 1;
      return 0;
    }
    case LVN_ODFINDITEMW:
      // Typing a name finds nothing: a search of a million rows per key press would stall the
      // thread, and the list view would otherwise take its first row for a match.
      return -1;
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if (updating_ || (change.uChanged & LVIF_STATE) == 0) return 0;
      if ((change.uNewState & LVIS_SELECTED) != 0 && change.iItem >= 0 && change.iItem < rows_.rowCount()) {
        selected_ = rows_.nodeAt(change.iItem);
      } else if ((change.uOldState & LVIS_SELECTED) != 0 && ListView_GetSelectedCount(view_) == 0) {
        selected_ = kNoNode;
      }
      return 0;
    }
    case NM_CUSTOMDRAW: {
      auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(header));
      switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
          repaintAsked_ = false;
          return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
          const auto row = static_cast<int>(draw.nmcd.dwItemSpec);
          if (row < 0 || row >= rows_.rowCount()) return CDRF_DODEFAULT;
          // A selected row keeps the selection's colours, as in the other front end.
          const std::optional<Rgb> colour = views_.presentation().nodeColour(rows_.tree(), rows_.nodeAt(row));
          if (colour && (draw.nmcd.uItemState & CDIS_SELECTED) == 0)
            draw.clrText = RGB(colour->red, colour->green, colour->blue);
          return CDRF_NOTIFYPOSTPAINT;
        }
        case CDDS_ITEMPOSTPAINT: {
          const auto row = static_cast<int>(draw.nmcd.dwItemSpec);
          if (row < 0 || row >= rows_.rowCount() || draw.nmcd.hdc == nullptr) return CDRF_DODEFAULT;
          drawLines(draw.nmcd.hdc, row);
          // The column grows to the widest row shown, so that no text is cut: measured only
          // for the rows drawn.
          RECT label{};
          label.left = LVIR_LABEL;
          SendMessageW(view_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
          const std::wstring text = wide(views_.presentation().nodeText(rows_.tree(), rows_.nodeAt(row)));
          SIZE extent{};
          GetTextExtentPoint32W(draw.nmcd.hdc, text.c_str(), static_cast<int>(text.size()), &extent);
          const int needed = label.left + extent.cx + kTextMargin + GetScrollPos(view_, SB_HORZ);
          if (needed > widest_) {
            widest_ = needed;
            // Not while painting: the column's width repaints the view.
            if (widest_ > ListView_GetColumnWidth(view_, 0) && !widthWanted_) {
              widthWanted_ = startTimer();
              if (!widthWanted_) PostMessageW(view_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(columnWidth(), 0));
            }
          }
          return CDRF_DODEFAULT;
        }
        default:
          return CDRF_DODEFAULT;
      }
    }
    default:
      return std::nullopt;
  }
}

// --- Reading what is shown --------------------------------------------------------------------

int CaptureTreeView::shownRowCount() const { return ListView_GetItemCount(view_); }

std::string CaptureTreeView::shownText(int row) const {
  wchar_t buffer[1024] = {};
  ListView_GetItemText(view_, row, 0, buffer, static_cast<int>(std::size(buffer)));
  return narrow(buffer);
}

int CaptureTreeView::shownLevel(int row) const {
  LVITEMW item{};
  item.mask = LVIF_INDENT;
  item.iItem = row;
  ListView_GetItem(view_, &item);
  return item.iIndent - 1;
}

int CaptureTreeView::shownImage(int row) const {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  ListView_GetItem(view_, &item);
  return item.iImage;
}

std::vector<std::string> CaptureTreeView::shownTexts() const {
  std::vector<std::string> texts;
  const int count = shownRowCount();
  for (int row = 0; row < count; ++row)
    texts.push_back(std::string(static_cast<std::size_t>(std::max(0, shownLevel(row))) * 2, ' ') +
                    shownText(row));
  return texts;
}

int CaptureTreeView::selectedRow() const {
  // The list view finds a selected row by looking at every row before it (a million rows take
  // it tens of milliseconds under Wine, at every batch): with nothing selected it is not asked,
  // and the focused row, which is the selected one whenever a click, a key or selectRow chose
  // it (one row at most is selected), is looked at first.
  if (ListView_GetSelectedCount(view_) == 0) return -1;
  const int focused = ListView_GetNextItem(view_, -1, LVNI_FOCUSED);
  if (focused >= 0 && ListView_GetItemState(view_, focused, LVIS_SELECTED) != 0) return focused;
  return ListView_GetNextItem(view_, -1, LVNI_SELECTED);
}

NodeId CaptureTreeView::nodeAtRow(int row) const {
  return row >= 0 && row < rows_.rowCount() ? rows_.nodeAt(row) : kNoNode;
}

void CaptureTreeView::followFilter(const ListFilter& filter) { showFilteredNodes(rows_, views_, filter); }

void CaptureTreeView::showNewMatches(const ListFilter& filter, std::size_t firstMatch) {
  tw::showNewMatches(rows_, views_, filter, firstMatch);
}

}  // namespace tw::win
