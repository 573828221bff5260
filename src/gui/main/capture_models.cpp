#include "gui/main/capture_models.h"

#include "core/model/tree_filter.h"

#include <QColor>
#include <QString>

#include <utility>

namespace tw {

QVariant foregroundOf(std::optional<Rgb> colour) {
  if (!colour) return {};
  return QColor(colour->red, colour->green, colour->blue);
}

namespace {

QString shownText(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant iconOf(SystemIcons& icons, int index) {
  const QIcon icon = icons.icon(index);
  return icon.isNull() ? QVariant() : QVariant(icon);
}

}  // namespace

// --- CaptureTreeModel ---

CaptureTreeModel::CaptureTreeModel(CaptureViews& views, SystemIcons& icons, QObject* parent)
    : QAbstractListModel(parent), views(views), icons(icons), rows(views.tree()) {
  rows.setObserver(this);
}

CaptureTreeModel::~CaptureTreeModel() { rows.setObserver(nullptr); }

QModelIndex CaptureTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || column != 0 || row < 0 || row >= rows.rowCount()) return {};
  return createIndex(row, 0, static_cast<quintptr>(rows.nodeAt(row)));
}

int CaptureTreeModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows.rowCount();
}

QModelIndex CaptureTreeModel::indexOf(NodeId node) const {
  const int row = rows.rowOf(node);
  return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(node));
}

int CaptureTreeModel::level(const QModelIndex& index) const {
  return index.isValid() ? views.tree().level(nodeOf(index)) : 0;
}

bool CaptureTreeModel::nodeHasChildren(const QModelIndex& index) const {
  return index.isValid() && rows.hasChildren(nodeOf(index));
}

bool CaptureTreeModel::isExpanded(const QModelIndex& index) const {
  return index.isValid() && rows.isExpanded(nodeOf(index));
}

void CaptureTreeModel::setExpanded(const QModelIndex& index, bool expanded) {
  if (index.isValid() && index.model() == this) rows.setExpanded(nodeOf(index), expanded);
}

void CaptureTreeModel::followFilter(const ListFilter& filter) {
  if (filter.active() && rows.isFiltered() && filter.text() == filterText) return;
  filterText = filter.active() ? filter.text() : std::string();
  showFilteredNodes(rows, views, filter);
}

void CaptureTreeModel::showMatchesFrom(const ListFilter& filter, qsizetype firstMatch) {
  if (firstMatch >= 0) showNewMatches(rows, views, filter, static_cast<std::size_t>(firstMatch));
}

QVariant CaptureTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() != 0) return {};
  const NodeId node = nodeOf(index);
  const CaptureTree& tree = views.tree();
  const CapturePresentation& presentation = views.presentation();
  switch (role) {
    case Qt::DisplayRole:
      return shownText(presentation.nodeText(tree, node));
    case Qt::DecorationRole:
      return iconOf(icons, presentation.nodeIcon(tree, node));
    case Qt::ForegroundRole:
      return foregroundOf(presentation.nodeColour(tree, node));
    default:
      return {};
  }
}

Qt::ItemFlags CaptureTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CaptureTreeModel::rowsAboutToBeInserted(int first, int last) {
  beginInsertRows(QModelIndex(), first, last);
}

void CaptureTreeModel::rowsInserted(int, int) { endInsertRows(); }

void CaptureTreeModel::rowsAboutToBeRemoved(int first, int last) {
  beginRemoveRows(QModelIndex(), first, last);
}

void CaptureTreeModel::rowsRemoved(int, int) { endRemoveRows(); }

void CaptureTreeModel::rowsChanged(int first, int last) {
  emit dataChanged(index(first), index(last), {Qt::DisplayRole, Qt::DecorationRole, Qt::ForegroundRole});
}

void CaptureTreeModel::rowsAboutToBeReset() { beginResetModel(); }

void CaptureTreeModel::rowsReset() { endResetModel(); }

// --- CaptureListModel ---

CaptureListModel::CaptureListModel(CaptureViews& views, SystemIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), views(views), icons(icons), rowFilter(views.list()) {
  views.list().setObserver(this);
  const int rows = views.list().rowCount();
  if (rows > 0) rowFilter.addRows(0, rows - 1);
  shownRows = rowFilter.shownCount();
  processColumn = views.list().hasProcesses();
}

CaptureListModel::~CaptureListModel() { views.list().setObserver(nullptr); }

int CaptureListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows; }

int CaptureListModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return processColumn ? kListColumnCountWithProcess : kListColumnCount;
}

QVariant CaptureListModel::data(const QModelIndex& index, int role) const {
  const CaptureList& list = views.list();
  if (!index.isValid() || index.row() >= shownRows || index.column() >= columnCount()) return {};
  const int row = rowFilter.listRow(index.row());
  const auto column = static_cast<ListColumn>(index.column());
  const CapturePresentation& presentation = views.presentation();
  switch (role) {
    case Qt::DisplayRole:
      return shownText(presentation.cellText(list, row, column));
    case Qt::DecorationRole:
      return iconOf(icons, presentation.cellIcon(list, row, column));
    case Qt::ForegroundRole:
      return foregroundOf(presentation.rowColour(list, row));
    default:
      return {};
  }
}

QVariant CaptureListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const std::string_view caption = kListColumnCaptions[section];
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

Qt::ItemFlags CaptureListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CaptureListModel::setFilterText(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const std::string_view wanted(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  if (wanted == rowFilter.text()) return;
  beginResetModel();
  rowFilter.setText(wanted);
  shownRows = rowFilter.shownCount();
  endResetModel();
}

void CaptureListModel::rowsAboutToBeInserted(int first, int last) {
  // The new rows are readable already: they are matched now, and only those that match are
  // announced.
  const int before = shownRows;
  const std::size_t matchesBefore = rowFilter.rows().size();
  const int matched = rowFilter.addRows(first, last);
  if (matched == 0) return;
  inserting = true;
  firstNewMatch = rowFilter.active() ? static_cast<qsizetype>(matchesBefore) : -1;
  beginInsertRows(QModelIndex(), before, before + matched - 1);
  shownRows = before + matched;
}

void CaptureListModel::rowsInserted(int, int) {
  if (inserting) {
    inserting = false;
    endInsertRows();
    if (firstNewMatch >= 0) emit matchesAdded(std::exchange(firstNewMatch, -1));
  }
  if (!processColumn && views.list().hasProcesses()) {
    beginInsertColumns(QModelIndex(), kListColumnCount, kListColumnCount);
    processColumn = true;
    endInsertColumns();
  }
}

void CaptureListModel::listAboutToBeCleared() { beginResetModel(); }

void CaptureListModel::listCleared() {
  rowFilter.clear();
  shownRows = 0;
  processColumn = false;
  endResetModel();
}

}  // namespace tw
