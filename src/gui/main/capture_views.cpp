#include "gui/main/capture_views.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <iterator>

#include "gui/main/capture_models.h"

namespace tw {

namespace {

// How long repaints of changed rows are gathered.
constexpr int kRepaintDelayMs = 50;

}  // namespace

// --- CaptureTreeView ---

CaptureTreeView::CaptureTreeView(QWidget* parent) : QAbstractItemView(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIconSize(QSize(16, 16));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextElideMode(Qt::ElideRight);
  repaintTimer.setSingleShot(true);
  repaintTimer.setInterval(kRepaintDelayMs);
  connect(&repaintTimer, &QTimer::timeout, this, [this] { viewport()->update(); });
  computeRowHeight();
}

void CaptureTreeView::setModel(QAbstractItemModel* newModel) {
  treeModel = qobject_cast<CaptureTreeModel*>(newModel);
  QAbstractItemView::setModel(newModel);
  scheduleDelayedItemsLayout();
}

void CaptureTreeView::computeRowHeight() {
  // What the item delegate asks for a row with an icon and a line of text.
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
  option.text = QStringLiteral("Xg");
  option.decorationSize = iconSize();
  const int hinted = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
  rowPixels = std::max({hinted, fontMetrics().height(), iconSize().height()});
}

void CaptureTreeView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    computeRowHeight();
    scheduleDelayedItemsLayout();
  }
  QAbstractItemView::changeEvent(event);
}

bool CaptureTreeView::isExpanded(const QModelIndex& index) const {
  return treeModel != nullptr && treeModel->isExpanded(index);
}

void CaptureTreeView::setExpanded(const QModelIndex& index, bool expand) {
  if (treeModel == nullptr || !index.isValid() || index.model() != treeModel ||
      treeModel->isExpanded(index) == expand) {
    return;
  }
  const QPersistentModelIndex kept(index);
  treeModel->setExpanded(index, expand);
  if (expand) {
    emit expanded(kept);
  } else {
    emit collapsed(kept);
  }
}

void CaptureTreeView::toggle(const QModelIndex& index) { setExpanded(index, !isExpanded(index)); }

int CaptureTreeView::verticalOffset() const { return verticalScrollBar()->value(); }

int CaptureTreeView::rowAt(int y) const {
  if (treeModel == nullptr) return -1;
  const qint64 at = qint64(y) + verticalOffset();
  if (at < 0) return -1;
  const qint64 row = at / rowPixels;
  return row < treeModel->rowCount() ? static_cast<int>(row) : -1;
}

QRect CaptureTreeView::rowRect(int row) const {
  return {0, row * rowPixels - verticalOffset(), viewport()->width(), rowPixels};
}

QRect CaptureTreeView::expanderRect(const QModelIndex& index) const {
  const QRect row = rowRect(index.row());
  const int level = treeModel->level(index);
  return QStyle::visualRect(layoutDirection(), viewport()->rect(),
                            QRect(level * kIndentation, row.top(), kIndentation, rowPixels));
}

QRect CaptureTreeView::visualRect(const QModelIndex& index) const {
  if (treeModel == nullptr || !index.isValid() || index.model() != treeModel) return {};
  const QRect row = rowRect(index.row());
  const int indent = (treeModel->level(index) + 1) * kIndentation;
  return QStyle::visualRect(layoutDirection(), viewport()->rect(),
                            QRect(indent, row.top(), std::max(0, row.width() - indent), rowPixels));
}

QModelIndex CaptureTreeView::indexAt(const QPoint& point) const {
  const int row = rowAt(point.y());
  return row < 0 ? QModelIndex() : treeModel->index(row);
}

void CaptureTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (treeModel == nullptr || !index.isValid() || index.model() != treeModel) return;
  const int top = index.row() * rowPixels;
  const int height = viewport()->height();
  const int offset = verticalOffset();
  int target = offset;
  switch (hint) {
    case PositionAtTop:
      target = top;
      break;
    case PositionAtBottom:
      target = top + rowPixels - height;
      break;
    case PositionAtCenter:
      target = top + rowPixels / 2 - height / 2;
      break;
    case EnsureVisible:
      if (top < offset) {
        target = top;
      } else if (top + rowPixels > offset + height) {
        target = top + rowPixels - height;
      }
      break;
  }
  verticalScrollBar()->setValue(target);
}

QModelIndex CaptureTreeView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
  if (treeModel == nullptr || treeModel->rowCount() == 0) return {};
  const int count = treeModel->rowCount();
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return treeModel->index(0);
  const int row = current.row();
  const int page = std::max(1, viewport()->height() / rowPixels);
  int target = row;
  switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
      target = row - 1;
      break;
    case MoveDown:
    case MoveNext:
      target = row + 1;
      break;
    case MovePageUp:
      target = row - page;
      break;
    case MovePageDown:
      target = row + page;
      break;
    case MoveHome:
      target = 0;
      break;
    case MoveEnd:
      target = count - 1;
      break;
    case MoveLeft: {
      // Folds an unfolded node; else goes to its parent.
      if (treeModel->nodeHasChildren(current) && isExpanded(current)) {
        collapse(current);
        return current;
      }
      const QModelIndex parent =
          treeModel->indexOf(treeModel->shownRows().tree().parent(CaptureTreeModel::nodeOf(current)));
      return parent.isValid() ? parent : current;
    }
    case MoveRight:
      // Unfolds a folded node; else goes to its first child.
      if (treeModel->nodeHasChildren(current)) {
        if (!isExpanded(current)) {
          expand(current);
          return current;
        }
        target = row + 1;
      }
      break;
  }
  return treeModel->index(std::clamp(target, 0, count - 1));
}

void CaptureTreeView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
  if (treeModel == nullptr || treeModel->rowCount() == 0) return;
  const int count = treeModel->rowCount();
  const qint64 offset = verticalOffset();
  const qint64 top = (std::min(rect.top(), rect.bottom()) + offset) / rowPixels;
  const qint64 bottom = (std::max(rect.top(), rect.bottom()) + offset) / rowPixels;
  if (bottom < 0 || top >= count) return;
  const QItemSelection selection(treeModel->index(static_cast<int>(std::max<qint64>(top, 0))),
                                 treeModel->index(static_cast<int>(std::min<qint64>(bottom, count - 1))));
  selectionModel()->select(selection, command);
}

QRegion CaptureTreeView::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  const QRect shown = viewport()->rect();
  for (const QItemSelectionRange& range : selection) {
    if (!range.isValid() || range.model() != treeModel) continue;
    const qint64 top = qint64(range.top()) * rowPixels - verticalOffset();
    const qint64 bottom = qint64(range.bottom() + 1) * rowPixels - verticalOffset();
    if (bottom < shown.top() || top > shown.bottom()) continue;
    const int from = static_cast<int>(std::max<qint64>(top, shown.top()));
    const int to = static_cast<int>(std::min<qint64>(bottom, shown.bottom() + 1));
    region += QRect(0, from, shown.width(), to - from);
  }
  return region;
}

void CaptureTreeView::updateGeometries() {
  const qint64 rows = treeModel != nullptr ? treeModel->rowCount() : 0;
  const qint64 height = viewport()->height();
  const qint64 range = std::clamp<qint64>(rows * rowPixels - height, 0, INT_MAX);
  verticalScrollBar()->setSingleStep(rowPixels);
  verticalScrollBar()->setPageStep(static_cast<int>(height));
  verticalScrollBar()->setRange(0, static_cast<int>(range));
  horizontalScrollBar()->setRange(0, 0);
  QAbstractItemView::updateGeometries();
}

void CaptureTreeView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  if (treeModel == nullptr) return;
  const QRect area = event->rect();
  const int count = treeModel->rowCount();
  const qint64 offset = verticalOffset();
  const qint64 firstRow = std::max<qint64>(0, (area.top() + offset) / rowPixels);
  const qint64 lastRow = std::min<qint64>(count - 1, (area.bottom() + offset) / rowPixels);
  QStyleOptionViewItem base;
  initViewItemOption(&base);
  const QModelIndex current = currentIndex();
  const bool focused = hasFocus() || viewport()->hasFocus();
  QItemSelectionModel* selection = selectionModel();
  for (qint64 row = firstRow; row <= lastRow; ++row) {
    const QModelIndex index = treeModel->index(static_cast<int>(row));
    QStyleOptionViewItem option = base;
    option.index = index;
    option.rect = rowRect(static_cast<int>(row));
    if (selection != nullptr && selection->isSelected(index)) option.state |= QStyle::State_Selected;
    if (focused && index == current) option.state |= QStyle::State_HasFocus;
    // The whole row first (the selection shows across the indentation where the style says so),
    // then the expander, then the item.
    style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
    if (treeModel->nodeHasChildren(index)) {
      QStyleOption branch;
      branch.initFrom(this);
      branch.rect = expanderRect(index);
      branch.state = QStyle::State_Item | QStyle::State_Children | (option.state & QStyle::State_Selected);
      if (isExpanded(index)) branch.state |= QStyle::State_Open;
      if (isEnabled()) branch.state |= QStyle::State_Enabled;
      style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, &painter, this);
    }
    option.rect = visualRect(index);
    itemDelegateForIndex(index)->paint(&painter, option, index);
  }
}

void CaptureTreeView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton && treeModel->nodeHasChildren(index) &&
      expanderRect(index).contains(event->position().toPoint())) {
    toggle(index);  // the expander folds and unfolds without selecting
    event->accept();
    return;
  }
  QAbstractItemView::mousePressEvent(event);
}

void CaptureTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton && treeModel->nodeHasChildren(index)) {
    if (expanderRect(index).contains(event->position().toPoint())) {
      toggle(index);
      event->accept();
      return;
    }
    toggle(index);
  }
  QAbstractItemView::mouseDoubleClickEvent(event);
}

void CaptureTreeView::keyPressEvent(QKeyEvent* event) {
  const QModelIndex current = currentIndex();
  if (current.isValid() && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Minus)) {
    setExpanded(current, event->key() == Qt::Key_Plus);
    event->accept();
    return;
  }
  QAbstractItemView::keyPressEvent(event);
}

void CaptureTreeView::dataChanged(const QModelIndex&, const QModelIndex&, const QList<int>&) {
  // Only texts, icons, colours and expanders change, never the height of a row: a repaint is
  // all that is needed, and one for many changes is enough.
  if (!repaintTimer.isActive()) repaintTimer.start();
}

void CaptureTreeView::rowsInserted(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsInserted(parent, start, end);
  const qint64 offset = verticalOffset();
  // Rows that arrive at or above the first row shown push it down; where the user scrolled away
  // from the top, the view follows so that the rows shown stay where they are. The range grows
  // first, as the delayed layout would grow it, or the new position would be cut.
  if (offset > 0 && qint64(start) * rowPixels <= offset) {
    updateGeometries();
    shiftBy((qint64(end) - start + 1) * rowPixels);
  }
  scheduleDelayedItemsLayout();
}

void CaptureTreeView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
  const qint64 offset = verticalOffset();
  const qint64 top = qint64(start) * rowPixels;
  const qint64 bottom = (qint64(end) + 1) * rowPixels;
  if (offset > 0 && top < offset) {
    // Rows going above the view pull the rows shown up: the view follows them; rows going
    // from under the view's top leave it at the first row after them.
    shiftBy(bottom <= offset ? top - bottom : top - offset);
  }
  scheduleDelayedItemsLayout();
}

void CaptureTreeView::shiftBy(qint64 pixels) {
  const qint64 target = std::clamp<qint64>(verticalOffset() + pixels, 0, INT_MAX);
  verticalScrollBar()->setValue(static_cast<int>(target));
}

namespace {

// The row a context menu is for, and where it goes: the row under the pointer for the mouse; for
// the keyboard the current row, the menu at its bottom left.
std::pair<QModelIndex, QPoint> menuPlace(const QAbstractItemView& view, const QContextMenuEvent& event) {
  if (event.reason() == QContextMenuEvent::Mouse) {
    return {view.indexAt(event.pos()), event.globalPos()};
  }
  const QModelIndex current = view.currentIndex();
  const QRect shown = view.visualRect(current);
  return {current, view.viewport()->mapToGlobal(shown.isValid() ? shown.bottomLeft()
                                                                : view.viewport()->rect().topLeft())};
}

}  // namespace

void CaptureTreeView::contextMenuEvent(QContextMenuEvent* event) {
  const auto [index, at] = menuPlace(*this, *event);
  if (!index.isValid()) return;
  event->accept();
  emit rowMenuRequested(index, at);
}

// --- CaptureListView ---

CaptureListView::CaptureListView(QWidget* parent) : QTableView(parent) {
  setShowGrid(true);
  setWordWrap(false);
  setSortingEnabled(false);
  setCornerButtonEnabled(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setIconSize(QSize(16, 16));
  verticalHeader()->hide();
  // Rows of one height: the view never measures a row's contents.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(qMax(fontMetrics().height(), 16) + 4);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionsClickable(false);
}

void CaptureListView::contextMenuEvent(QContextMenuEvent* event) {
  const auto [index, at] = menuPlace(*this, *event);
  if (!index.isValid()) return;
  event->accept();
  emit rowMenuRequested(index, at);
}

void CaptureListView::setModel(QAbstractItemModel* newModel) {
  QTableView::setModel(newModel);
  if (newModel == nullptr) return;
  for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
    setColumnWidth(column, kColumnWidths[column]);
  }
}

}  // namespace tw
