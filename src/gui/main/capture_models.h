#pragma once

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QColor>
#include <QVariant>

#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "gui/main/system_icons.h"

namespace tw {

// The text colour of a mark for a view's ForegroundRole: the colour of markColour (0x00BBGGRR)
// as a QColor, or an invalid QVariant for a mark that leaves the view's own colour.
QVariant markForeground(int mark);

// Presents the capture tree to a QTreeView: one column, a node's id as the internal id of its
// index. Text, icon (by the node's system icon index) and colour (by its mark) are computed
// when a view asks, so that nothing is spent on rows no one looks at.
//
// It records, between two calls of takeNodesToExpand(), the nodes that got their first shown
// children: the parents of each inserted block and the new nodes that arrived with children.
// CaptureTreeView::expandNew() takes them to expand only what is new.
//
// Thread: the user-interface thread. Uses, but does not own, the tree and the icons; it is the
// tree's observer from its construction to its destruction (so it must not outlive the tree).
class CaptureTreeModel : public QAbstractItemModel, public CaptureTreeObserver {
  Q_OBJECT

 public:
  CaptureTreeModel(CaptureTree& tree, SystemIcons& icons, QObject* parent = nullptr);
  ~CaptureTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The index of a node (invalid for kNoNode, for ids that are no node of the tree and for
  // nodes of a batch not yet announced).
  QModelIndex indexOf(NodeId node) const;
  // The node of an index (kNoNode for an invalid index).
  static NodeId nodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : kNoNode;
  }

  // The nodes recorded since the last call that may need expanding (each may appear more than
  // once; some may be gone again by now), and forgets them. Emptied by a model reset.
  std::vector<NodeId> takeNodesToExpand();

  // CaptureTreeObserver
  void nodesAboutToBeInserted(NodeId parent, int first, int last) override;
  void nodesInserted(NodeId parent, int first, int last) override;
  void nodesChanged(const std::vector<NodeId>& nodes) override;
  void nodesAboutToBeRemoved(NodeId parent, int first, int last) override;
  void nodesRemoved(NodeId parent, int first, int last) override;
  void treeAboutToBeCleared() override;
  void treeCleared() override;

 private:
  QModelIndex parentIndex(NodeId parent) const;
  void noteRow(NodeId node, int row);

  CaptureTree& tree;
  SystemIcons& icons;
  std::vector<NodeId> toExpand;
  // The row of each node the views know, by id. Rows never change: children are only
  // appended, and only removed all at once. Qt asks for parents a great deal (for every
  // persistent index, each time rows are removed), so they are kept rather than searched.
  std::vector<std::int32_t> rows;
};

// Presents the capture list to a table or report-style view: four columns with the captions of
// kListColumnCaptions. The From column shows the row's icon, the Work Path column the icon of
// the folder; every cell takes the row's colour by mark.
//
// Thread: the user-interface thread. Uses, but does not own, the list and the icons; it is the
// list's observer from its construction to its destruction (so it must not outlive the list).
class CaptureListModel : public QAbstractTableModel, public CaptureListObserver {
  Q_OBJECT

 public:
  CaptureListModel(CaptureList& list, SystemIcons& icons, QObject* parent = nullptr);
  ~CaptureListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // CaptureListObserver
  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void listAboutToBeCleared() override;
  void listCleared() override;

 private:
  CaptureList& list;
  SystemIcons& icons;
};

}  // namespace tw
