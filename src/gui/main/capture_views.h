#pragma once

#include <QTableView>
#include <QTimer>
#include <QTreeView>

#include <vector>

#include "core/model/capture_tree.h"

namespace tw {

// The view of the capture tree: read-only, several nodes selectable at once, whole rows, no
// header, child indentation 19 pixels, no sorting, rows of one height.
//
// The tree is shown expanded in full. Rather than expanding every node after each batch (a
// walk of the whole tree), expandNew() expands what is new since its last call: the nodes that
// a CaptureTreeModel recorded as having got children, and the nodes the user has collapsed
// since. Repaints for changed nodes are gathered and done at most once per 50 ms.
//
// Thread: the user-interface thread.
class CaptureTreeView : public QTreeView {
  Q_OBJECT

 public:
  explicit CaptureTreeView(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;

  // Expands every node not yet expanded that has children; call it after each delivered batch.
  // With a model other than CaptureTreeModel it expands the whole tree.
  void expandNew();

 protected:
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;

 private:
  std::vector<NodeId> collapsedByUser;
  QTimer repaintTimer;
  QMetaObject::Connection resetConnection;
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
};

}  // namespace tw
