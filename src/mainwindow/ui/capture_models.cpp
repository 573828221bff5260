#include "mainwindow/ui/capture_models.h"

#include <QString>

namespace tw {

QVariant markForeground(int mark) {
  const auto colour = markColour(mark);
  if (!colour) return {};
  // The value is laid out 0x00BBGGRR: red in the low byte.
  const std::uint32_t c = *colour;
  return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu), static_cast<int>((c >> 16) & 0xFFu));
}

namespace {

QString displayText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// --- CaptureTreeModel ---

CaptureTreeModel::CaptureTreeModel(TCaptureTree& tree, SystemIcons& icons, QObject* parent)
    : QAbstractItemModel(parent), tree(tree), icons(icons) {
  tree.setObserver(this);
}

CaptureTreeModel::~CaptureTreeModel() { tree.setObserver(nullptr); }

QModelIndex CaptureTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0)) return {};
  const NodeId p = nodeOf(parent);
  if (row >= tree.childCount(p)) return {};
  return createIndex(row, 0, static_cast<quintptr>(tree.child(p, row)));
}

QModelIndex CaptureTreeModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  return parentIndex(tree.parent(nodeOf(child)));
}

QModelIndex CaptureTreeModel::parentIndex(NodeId parent) const {
  if (parent == kNoNode) return {};
  return createIndex(tree.row(parent), 0, static_cast<quintptr>(parent));
}

QModelIndex CaptureTreeModel::indexOf(NodeId node) const {
  if (!tree.isNode(node)) return {};
  return parentIndex(node);
}

int CaptureTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  return tree.childCount(nodeOf(parent));
}

int CaptureTreeModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() && parent.column() != 0 ? 0 : 1;
}

bool CaptureTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant CaptureTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() != 0) return {};
  const NodeId node = nodeOf(index);
  switch (role) {
    case Qt::DisplayRole:
      return displayText(tree.text(node));
    case Qt::DecorationRole: {
      const QIcon icon = icons.icon(tree.imageIndex(node));
      return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::ForegroundRole:
      return markForeground(tree.mark(node));
    default:
      return {};
  }
}

Qt::ItemFlags CaptureTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

std::vector<NodeId> CaptureTreeModel::takeNodesToExpand() {
  std::vector<NodeId> taken;
  taken.swap(toExpand);
  return taken;
}

void CaptureTreeModel::nodesAboutToBeInserted(NodeId parent, int first, int last) {
  beginInsertRows(parentIndex(parent), first, last);
}

void CaptureTreeModel::nodesInserted(NodeId parent, int first, int last) {
  endInsertRows();
  if (parent != kNoNode) toExpand.push_back(parent);
  // Nodes under a new node come with it: each new node that has children needs expanding, and
  // so on down. Only new nodes are walked, so this costs what the batch added.
  std::vector<NodeId> stack;
  for (int row = first; row <= last; ++row) stack.push_back(tree.child(parent, row));
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    const int count = tree.childCount(node);
    if (count == 0) continue;
    toExpand.push_back(node);
    for (int row = 0; row < count; ++row) stack.push_back(tree.child(node, row));
  }
}

void CaptureTreeModel::nodesChanged(const std::vector<NodeId>& nodes) {
  // One signal per run of neighbouring rows under one parent; the ids come in increasing
  // order, and siblings created one after the other have neighbouring rows.
  std::size_t i = 0;
  while (i < nodes.size()) {
    const NodeId first = nodes[i];
    const NodeId parent = tree.parent(first);
    const int firstRow = tree.row(first);
    int lastRow = firstRow;
    NodeId last = first;
    std::size_t j = i + 1;
    while (j < nodes.size() && tree.parent(nodes[j]) == parent && tree.row(nodes[j]) == lastRow + 1) {
      last = nodes[j];
      ++lastRow;
      ++j;
    }
    emit dataChanged(createIndex(firstRow, 0, static_cast<quintptr>(first)),
                     createIndex(lastRow, 0, static_cast<quintptr>(last)),
                     {Qt::DisplayRole, Qt::DecorationRole, Qt::ForegroundRole});
    i = j;
  }
}

void CaptureTreeModel::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
  beginRemoveRows(parentIndex(parent), first, last);
}

void CaptureTreeModel::nodesRemoved(NodeId, int, int) { endRemoveRows(); }

void CaptureTreeModel::treeAboutToBeCleared() {
  beginResetModel();
  toExpand.clear();
}

void CaptureTreeModel::treeCleared() { endResetModel(); }

// --- CaptureListModel ---

CaptureListModel::CaptureListModel(TCaptureList& list, SystemIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), list(list), icons(icons) {
  list.setObserver(this);
}

CaptureListModel::~CaptureListModel() { list.setObserver(nullptr); }

int CaptureListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : list.rowCount(); }

int CaptureListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kListColumnCount; }

QVariant CaptureListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list.rowCount() || index.column() >= kListColumnCount) return {};
  const int row = index.row();
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      return displayText(list.cell(row, column));
    case Qt::DecorationRole: {
      QIcon icon;
      if (column == colFrom) {
        icon = icons.icon(list.imageIndex(row));
      } else if (column == colWorkPath) {
        icon = icons.icon(list.workPathImageIndex(row));
      }
      return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::ForegroundRole:
      return markForeground(list.mark(row));
    default:
      return {};
  }
}

QVariant CaptureListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kListColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return displayText(kListColumnCaptions[section]);
}

Qt::ItemFlags CaptureListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CaptureListModel::rowsAboutToBeInserted(int first, int last) { beginInsertRows(QModelIndex(), first, last); }

void CaptureListModel::rowsInserted(int, int) { endInsertRows(); }

void CaptureListModel::listAboutToBeCleared() { beginResetModel(); }

void CaptureListModel::listCleared() { endResetModel(); }

}  // namespace tw
