#pragma once

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QVariant>

#include <optional>

#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "core/model/presentation.h"
#include "core/model/tree_rows.h"
#include "gui/main/system_icons.h"

namespace tw {

// A colour of the presentation for a view's ForegroundRole: a QColor, or an invalid QVariant
// where the view's own text colour stays.
QVariant foregroundOf(std::optional<Rgb> colour);

// Presents the capture tree to a CaptureTreeView as a flat list: one row per node shown (a
// TreeRows: every node in absolute order, except those under a collapsed node), the node's id
// as the internal id of its index, and its level, children and expansion through the methods
// below. Rows of a batch come as one block per parent that got new nodes, a deleted folder's
// subtree goes as one block, so a view does work in proportion to what changed. Text, icon and
// colour come from the presentation when a view asks, so nothing is spent on rows no one looks
// at.
//
// Thread: the user-interface thread. Owns its TreeRows (the tree's observer from the model's
// construction to its destruction, so the model must not outlive the views); uses, but does not
// own, the capture views and the icons.
class CaptureTreeModel : public QAbstractListModel, public TreeRowsObserver {
  Q_OBJECT

 public:
  CaptureTreeModel(CaptureViews& views, SystemIcons& icons, QObject* parent = nullptr);
  ~CaptureTreeModel() override;

  QModelIndex index(int row, int column = 0, const QModelIndex& parent = QModelIndex()) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The node of an index (kNoNode for an invalid index).
  static NodeId nodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<NodeId>(index.internalId()) : kNoNode;
  }
  // The index of a node; invalid for a node not shown (under a collapsed node, removed, or
  // made in a batch not announced yet).
  QModelIndex indexOf(NodeId node) const;
  // The depth of a row's node (0 for a root), whether it has children and whether they are
  // shown.
  int level(const QModelIndex& index) const;
  bool nodeHasChildren(const QModelIndex& index) const;
  bool isExpanded(const QModelIndex& index) const;
  // Shows or hides the children of a row's node (the user's command).
  void setExpanded(const QModelIndex& index, bool expanded);

  // Follows the list's filter: with a text set, only the nodes of the rows it shows and their
  // ancestors (a reset of the model when the text changed); every node without one.
  void followFilter(const ListFilter& filter);
  // Shows also the nodes of the filter's matches from `firstMatch` on (rows that arrived).
  void showMatchesFrom(const ListFilter& filter, qsizetype firstMatch);

  const TreeRows& shownRows() const { return rows; }

  // TreeRowsObserver
  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void rowsAboutToBeRemoved(int first, int last) override;
  void rowsRemoved(int first, int last) override;
  void rowsChanged(int first, int last) override;
  void rowsAboutToBeReset() override;
  void rowsReset() override;

 private:
  CaptureViews& views;
  SystemIcons& icons;
  TreeRows rows;
  std::string filterText;  // the text followed last
};

// Presents the capture list to a table view: four columns with the captions of
// kListColumnCaptions, and a fifth, Process, from the moment a row knows the process that made
// its change (until the list is cleared). The From column shows the row's icon, the Work Path
// column the icon of the folder; every cell takes the row's colour. With a filter text set it
// shows only the rows the text matches (ListFilter), in list order; rows arriving meanwhile are
// matched once each as their batch is announced, and matchesAdded tells the tree which.
//
// Thread: the user-interface thread. It is the list's observer from its construction to its
// destruction (so it must not outlive the views); uses, but does not own, the capture views
// and the icons.
class CaptureListModel : public QAbstractTableModel, public CaptureListObserver {
  Q_OBJECT

 public:
  CaptureListModel(CaptureViews& views, SystemIcons& icons, QObject* parent = nullptr);
  ~CaptureListModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Shows only the rows that match `text` (every row for a blank text).
  void setFilterText(const QString& text);
  const ListFilter& filter() const { return rowFilter; }
  // The list row a row of the model shows.
  int listRow(int row) const { return rowFilter.listRow(row); }
  // Whether the Process column is shown.
  bool showsProcess() const { return processColumn; }

  // CaptureListObserver
  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void listAboutToBeCleared() override;
  void listCleared() override;

 signals:
  // Rows that arrived matched the filter: filter().rows() from `firstMatch` on.
  void matchesAdded(qsizetype firstMatch);

 private:
  CaptureViews& views;
  SystemIcons& icons;
  ListFilter rowFilter;
  int shownRows = 0;             // as announced to the views
  bool inserting = false;        // between a begin and an end of inserted rows
  qsizetype firstNewMatch = -1;  // the inserted rows' first place in filter().rows()
  bool processColumn = false;
};

}  // namespace tw
