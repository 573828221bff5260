#pragma once

#include <QAbstractItemView>
#include <QTableView>
#include <QTimer>

namespace tw {

class CaptureTreeModel;

// The view of the capture tree, built for very large, mostly expanded trees: read-only,
// several nodes selectable at once, whole rows, no header, child indentation 19 pixels, no
// sorting, rows of one height.
//
// It shows a CaptureTreeModel, the tree's shown rows as a flat list, and draws each row at its
// node's level with the node's expander, icon and text. Nothing is laid out per row: the rows'
// positions follow from their numbers, so a batch of new rows, a removed subtree or a collapsed
// node costs the view the same at a million rows as at ten, and painting asks only for the rows
// on screen. New nodes come expanded; the user folds and unfolds a node with its expander, a
// double click, or the Left, Right, + and - keys, and a folded node stays folded when changes
// arrive under it. Where the user scrolled away from the top, rows arriving above the first
// row shown do not move what the view shows. Repaints for changed rows are gathered and done at
// most once per 50 ms.
//
// Thread: the user-interface thread.
class CaptureTreeView : public QAbstractItemView {
  Q_OBJECT

 public:
  explicit CaptureTreeView(QWidget* parent = nullptr);

  // Takes a CaptureTreeModel; any other model shows nothing.
  void setModel(QAbstractItemModel* model) override;

  // The indentation of a level, in pixels.
  int indentation() const { return kIndentation; }
  static constexpr int kIndentation = 19;
  // The height of every row, in pixels.
  int rowHeight() const { return rowPixels; }

  bool isExpanded(const QModelIndex& index) const;
  void setExpanded(const QModelIndex& index, bool expanded);
  void expand(const QModelIndex& index) { setExpanded(index, true); }
  void collapse(const QModelIndex& index) { setExpanded(index, false); }

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

 signals:
  // The user folded or unfolded a node.
  void expanded(const QModelIndex& index);
  void collapsed(const QModelIndex& index);
  // The context menu was asked for a row: under the pointer, or (from the keyboard) the
  // current row; `globalPos` is where the menu goes.
  void rowMenuRequested(const QModelIndex& index, const QPoint& globalPos);

 protected:
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

 private:
  // The row under a viewport position's height; -1 for none.
  int rowAt(int y) const;
  // A row's rectangle across the whole viewport.
  QRect rowRect(int row) const;
  // The expander of a row's node: the last step of its indentation.
  QRect expanderRect(const QModelIndex& index) const;
  void toggle(const QModelIndex& index);
  void computeRowHeight();
  // Moves the scroll position by `pixels` (down for more than 0).
  void shiftBy(qint64 pixels);

  CaptureTreeModel* treeModel = nullptr;
  int rowPixels = 20;
  QTimer repaintTimer;
};

// The view of the capture list, in report style: a header with the columns "From" 120, "To"
// 120, "Action" 100 and "Work Path" 255 pixels wide, grid lines, whole-row selection of one row
// at a time, rows of one height, no sorting, read-only. The header keeps the column widths
// across a model reset (the Clean command).
//
// Thread: the user-interface thread.
class CaptureListView : public QTableView {
  Q_OBJECT

 public:
  explicit CaptureListView(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;

  // The design widths of the four columns, in column order.
  static constexpr int kColumnWidths[4] = {120, 120, 100, 255};

 signals:
  // As CaptureTreeView::rowMenuRequested.
  void rowMenuRequested(const QModelIndex& index, const QPoint& globalPos);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace tw
