#include "gui/main/capture_views.h"

#include <QHeaderView>

#include <algorithm>
#include <iterator>

#include "gui/main/capture_models.h"

namespace tw {

namespace {

// How long repaints of changed nodes are gathered.
constexpr int kRepaintDelayMs = 50;

}  // namespace

// --- CaptureTreeView ---

CaptureTreeView::CaptureTreeView(QWidget* parent) : QTreeView(parent) {
  setHeaderHidden(true);
  setUniformRowHeights(true);
  setIndentation(19);
  setSortingEnabled(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  setIconSize(QSize(16, 16));
  repaintTimer.setSingleShot(true);
  repaintTimer.setInterval(kRepaintDelayMs);
  connect(&repaintTimer, &QTimer::timeout, this, [this] { viewport()->update(); });
  // A node the user folds is unfolded again by the next expandNew(), as the whole tree is
  // expanded after every batch.
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (qobject_cast<CaptureTreeModel*>(model()) != nullptr)
      collapsedByUser.push_back(CaptureTreeModel::nodeOf(index));
  });
}

void CaptureTreeView::setModel(QAbstractItemModel* newModel) {
  collapsedByUser.clear();
  disconnect(resetConnection);
  QTreeView::setModel(newModel);
  if (auto* tree = qobject_cast<CaptureTreeModel*>(newModel)) {
    // Node ids are not reused until the tree is cleared; after that, none of them is valid.
    resetConnection =
        connect(tree, &QAbstractItemModel::modelReset, this, [this] { collapsedByUser.clear(); });
    tree->takeNodesToExpand();
    expandAll();
  }
}

void CaptureTreeView::expandNew() {
  auto* tree = qobject_cast<CaptureTreeModel*>(model());
  if (tree == nullptr) {
    expandAll();
    return;
  }
  std::vector<NodeId> nodes = tree->takeNodesToExpand();
  nodes.insert(nodes.end(), collapsedByUser.begin(), collapsedByUser.end());
  collapsedByUser.clear();
  if (nodes.empty()) return;
  // A parent that got children in several places of a batch is noted each time.
  std::sort(nodes.begin(), nodes.end());
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  // With a relayout pending, QTreeView::expand only notes the index: the whole batch then costs
  // one layout instead of one per expanded node.
  scheduleDelayedItemsLayout();
  for (const NodeId node : nodes) {
    const QModelIndex index = tree->indexOf(node);
    if (index.isValid() && tree->hasChildren(index)) expand(index);
  }
}

void CaptureTreeView::dataChanged(const QModelIndex&, const QModelIndex&, const QList<int>&) {
  // Only texts, icons and colours change, never the height of a row (uniform rows) or the
  // children of a node (those come as row signals): a repaint is all that is needed, and one
  // for many changes is enough.
  if (!repaintTimer.isActive()) repaintTimer.start();
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

void CaptureListView::setModel(QAbstractItemModel* newModel) {
  QTableView::setModel(newModel);
  if (newModel == nullptr) return;
  for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
    setColumnWidth(column, kColumnWidths[column]);
  }
}

}  // namespace tw
