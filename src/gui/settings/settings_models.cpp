#include "gui/settings/settings_models.h"

#include <QBrush>
#include <QByteArray>
#include <QColor>

#include <algorithm>

#include "core/settings/extensions.h"
#include "core/ui/texts.h"
#include "gui/main/system_icons.h"

namespace tw {

namespace {

const QColor kRowBlack(0, 0, 0);
const QColor kRowRed(255, 0, 0);
const QColor kRowGrey(128, 128, 128);  // a kind the system never reports

// Above this many separate runs of rows, a removal resets the model instead of removing run by
// run (each run moves the rows after it).
constexpr std::size_t kMaxRemovalRuns = 64;

QString fromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// --- EntryListModel ------------------------------------------------------------------------

EntryListModel::EntryListModel(int columns, IconSource& source, SystemIcons& icons, QObject* parent)
    : QAbstractTableModel(parent), source(source), icons(icons), columns(columns) {}

void EntryListModel::setEntries(std::vector<std::string> entries) {
  beginResetModel();
  entries_ = std::move(entries);
  looks_.assign(entries_.size(), Look{});
  endResetModel();
}

void EntryListModel::append(std::vector<std::string> entries) {
  if (entries.empty()) return;
  const int first = static_cast<int>(entries_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
  entries_.reserve(entries_.size() + entries.size());
  for (std::string& entry : entries) entries_.push_back(std::move(entry));
  looks_.resize(entries_.size());
  endInsertRows();
}

void EntryListModel::removeRowSet(std::vector<int> rows) {
  const int count = static_cast<int>(entries_.size());
  std::erase_if(rows, [count](int row) { return row < 0 || row >= count; });
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

  // Runs of consecutive rows, [first, last].
  std::vector<std::pair<int, int>> runs;
  for (int row : rows) {
    if (!runs.empty() && runs.back().second + 1 == row) {
      runs.back().second = row;
    } else {
      runs.emplace_back(row, row);
    }
  }
  if (runs.size() > kMaxRemovalRuns) {
    beginResetModel();
    std::vector<bool> gone(entries_.size(), false);
    for (int row : rows) gone[static_cast<std::size_t>(row)] = true;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (gone[i]) continue;
      if (kept != i) {
        entries_[kept] = std::move(entries_[i]);
        looks_[kept] = std::move(looks_[i]);
      }
      ++kept;
    }
    entries_.resize(kept);
    looks_.resize(kept);
    endResetModel();
    return;
  }
  // From the back, so that the numbers of the runs still to go stay right.
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    beginRemoveRows(QModelIndex(), run->first, run->second);
    entries_.erase(entries_.begin() + run->first, entries_.begin() + run->second + 1);
    looks_.erase(looks_.begin() + run->first, looks_.begin() + run->second + 1);
    endRemoveRows();
  }
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns; }

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant EntryListModel::captionData(int row, int role) const {
  const std::string& caption = entries_[static_cast<std::size_t>(row)];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return fromBytes(caption);
    case kCaptionBytesRole:
      return QByteArray(caption.data(), static_cast<qsizetype>(caption.size()));
    default:
      return {};
  }
}

// --- ExtensionListModel --------------------------------------------------------------------

const EntryListModel::Look& ExtensionListModel::lookOf(int row) const {
  Look& look = looks_[static_cast<std::size_t>(row)];
  if (!look.known) {
    const std::string& extension = entries_[static_cast<std::size_t>(row)];
    look.icon = source.fileTypeIcon(extension);
    look.description = fromBytes(extensionTypeDescription(source, extension));
    look.known = true;
  }
  return look;
}

QVariant ExtensionListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const int row = index.row();
  if (index.column() == 1) return role == Qt::DisplayRole ? QVariant(lookOf(row).description) : QVariant();
  switch (role) {
    case Qt::DecorationRole:
      return icons.icon(lookOf(row).icon);
    case kImageIndexRole:
      return lookOf(row).icon;
    default:
      return captionData(row, role);
  }
}

// --- ExcludedFolderModel -------------------------------------------------------------------

const EntryListModel::Look& ExcludedFolderModel::lookOf(int row) const {
  Look& look = looks_[static_cast<std::size_t>(row)];
  if (!look.known || look.generation != generation) {
    look.icon = source.pathIcon(entries_[static_cast<std::size_t>(row)]);
    look.generation = generation;
    look.known = true;
  }
  return look;
}

QVariant ExcludedFolderModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const int row = index.row();
  switch (role) {
    case Qt::DecorationRole:
      return icons.icon(lookOf(row).icon);
    case kImageIndexRole:
      return lookOf(row).icon;
    case Qt::ForegroundRole:
      return QBrush(lookOf(row).icon != 0 ? kRowBlack : kRowRed);
    default:
      return captionData(row, role);
  }
}

void ExcludedFolderModel::refreshLooks() {
  if (entries_.empty()) return;
  ++generation;
  emit dataChanged(index(0, 0), index(rowCount() - 1, 0),
                   {Qt::DecorationRole, Qt::ForegroundRole, kImageIndexRole});
}

// --- EventKindModel ------------------------------------------------------------------------

EventKindModel::EventKindModel(int tickImage, int crossImage, std::function<QIcon(int)> picture,
                               QObject* parent)
    : QAbstractTableModel(parent),
      tickImage(tickImage),
      crossImage(crossImage),
      picture(std::move(picture)) {}

void EventKindModel::setKinds(const EventKindSet& kinds) {
  if (kinds == kinds_) return;
  kinds_ = kinds;
  emit dataChanged(index(0, 0), index(rowCount() - 1, 0),
                   {Qt::CheckStateRole, Qt::DecorationRole, Qt::ForegroundRole, kImageIndexRole});
}

void EventKindModel::setProducible(const EventKindSet& kinds) {
  if (kinds == producible_) return;
  producible_ = kinds;
  emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::ForegroundRole, Qt::ToolTipRole});
}

void EventKindModel::toggle(int row) {
  if (row < 0 || row >= rowCount()) return;
  kinds_.flip(static_cast<std::size_t>(row));
  rowChanged(row);
}

void EventKindModel::rowChanged(int row) {
  const QModelIndex changed = index(row, 0);
  emit dataChanged(changed, changed,
                   {Qt::CheckStateRole, Qt::DecorationRole, Qt::ForegroundRole, kImageIndexRole});
}

int EventKindModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kEventCount; }

int EventKindModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant EventKindModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const auto kind = static_cast<std::size_t>(index.row());
  const bool on = kinds_.test(kind);
  switch (role) {
    case Qt::DisplayRole: {
      const std::string name = getEventName(index.row());
      return fromBytes(name);
    }
    case kCaptionBytesRole: {
      const std::string name = getEventName(index.row());
      return QByteArray(name.data(), static_cast<qsizetype>(name.size()));
    }
    case Qt::CheckStateRole:
      return on ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole:
      return picture ? picture(on ? tickImage : crossImage) : QIcon();
    case kImageIndexRole:
      return on ? tickImage : crossImage;
    case Qt::ForegroundRole:
      if (!producible_.test(kind)) return QBrush(kRowGrey);
      return QBrush(on ? kRowBlack : kRowRed);
    case Qt::ToolTipRole:
      if (producible_.test(kind)) return {};
      return QString::fromUtf8(kKindNeverReported.data(), static_cast<qsizetype>(kKindNeverReported.size()));
    default:
      return {};
  }
}

bool EventKindModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return false;
  const bool on = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
  const auto kind = static_cast<std::size_t>(index.row());
  if (kinds_.test(kind) != on) {
    kinds_.set(kind, on);
    rowChanged(index.row());
  }
  return true;
}

Qt::ItemFlags EventKindModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

}  // namespace tw
