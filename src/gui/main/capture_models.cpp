#include "gui/main/capture_models.h"

#include <QString>

#include <algorithm>

namespace tw {

QVariant markForeground(int mark) {
  const auto colour = markColour(mark);
  if (!colour) return {};
  // The value is laid out 0x00BBGGRR: red in the low byte.
  const std::uint32_t c = *colour;
  return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu),
                static_cast<int>((c >> 16) & 0xFFu));
}

namespace {

QString displayText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// --- CaptureTreeModel ---

CaptureTreeModel::CaptureTreeModel(CaptureTree& tree, SystemIcons& icons, QObject* parent)
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
  return createIndex(rows[parent], 0, static_cast<quintptr>(parent));
}

QModelIndex CaptureTreeModel::indexOf(NodeId node) const {
  // Only nodes the views have been told of: a node made in a batch still open has no row yet.
  if (!tree.isNode(node) || node >= rows.size()) return {};
  const NodeId parent = tree.parent(node);
  const int row = rows[node];
  if (row >= tree.childCount(parent) || tree.child(parent, row) != node) return {};
  return createIndex(row, 0, static_cast<quintptr>(node));
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
  // The new nodes are in the tree's child lists already (only the counts still give the old
  // rows): note their rows before the views hear of them, and which of them, or their parent,
  // will need expanding. Nodes under a new node come with it, so each new node with children is
  // walked too; only new nodes are walked, so this costs what the batch added.
  if (parent != kNoNode) toExpand.push_back(parent);
  std::vector<NodeId> stack;
  for (int row = first; row <= last; ++row) {
    const NodeId node = tree.child(parent, row);
    noteRow(node, row);
    stack.push_back(node);
  }
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    const int count = tree.childCount(node);
    if (count == 0) continue;
    toExpand.push_back(node);
    for (int row = 0; row < count; ++row) {
      const NodeId child = tree.child(node, row);
      noteRow(child, row);
      stack.push_back(child);
    }
  }
  beginInsertRows(parentIndex(parent), first, last);
}

void CaptureTreeModel::nodesInserted(NodeId, int, int) { endInsertRows(); }

void CaptureTreeModel::noteRow(NodeId node, int row) {
  if (node >= rows.size()) rows.resize(std::max<std::size_t>(node + 1, rows.size() * 2), 0);
  rows[node] = row;
}

void CaptureTreeModel::nodesChanged(const std::vector<NodeId>& nodes) {
  // One signal per run of neighbouring rows under one parent; the ids come in increasing
  // order, and siblings created one after the other have neighbouring rows.
  std::size_t i = 0;
  while (i < nodes.size()) {
    const NodeId first = nodes[i];
    const NodeId parent = tree.parent(first);
    const int firstRow = rows[first];
    int lastRow = firstRow;
    NodeId last = first;
    std::size_t j = i + 1;
    while (j < nodes.size() && tree.parent(nodes[j]) == parent && rows[nodes[j]] == lastRow + 1) {
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

void CaptureTreeModel::treeAboutToBeCleared() { beginResetModel(); }

void CaptureTreeModel::treeCleared() {
  toExpand.clear();
  rows.clear();
  rows.shrink_to_fit();
  endResetModel();
}

// --- CaptureListModel ---

CaptureListModel::CaptureListModel(CaptureList& list, SystemIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), list(list), icons(icons) {
  list.setObserver(this);
}

CaptureListModel::~CaptureListModel() { list.setObserver(nullptr); }

int CaptureListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list.rowCount();
}

int CaptureListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kListColumnCount;
}

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
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kListColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return displayText(kListColumnCaptions[section]);
}

Qt::ItemFlags CaptureListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CaptureListModel::rowsAboutToBeInserted(int first, int last) {
  beginInsertRows(QModelIndex(), first, last);
}

void CaptureListModel::rowsInserted(int, int) { endInsertRows(); }

void CaptureListModel::listAboutToBeCleared() { beginResetModel(); }

void CaptureListModel::listCleared() { endResetModel(); }

}  // namespace tw
