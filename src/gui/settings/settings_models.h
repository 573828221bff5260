#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "platform/icons.h"

namespace tw {

class SystemIcons;

// The item data roles of the settings window's lists: the index of the row's image (a system
// icon index, or an index into the window's own pictures in the event checklist), and the
// caption's bytes exactly as the options hold them (paths need not be valid UTF-8).
inline constexpr int kImageIndexRole = Qt::UserRole + 1;
inline constexpr int kCaptionBytesRole = Qt::UserRole + 2;

// A list of text entries of the capture options (extensions or excluded folders), one row per
// entry, in order. The entries are the model's own: the settings window fills them from the
// options it shows and reads them back when it saves.
//
// What a row shows besides its caption (an icon, a description, a colour) is asked of the
// platform only when a view asks for the row, once, and kept; so a list of 100,000 entries
// costs the platform the rows on screen, not 100,000 queries.
//
// Thread: the user-interface thread. Uses, but does not own, the icon source and the system
// icons; they must outlive the model.
class EntryListModel : public QAbstractTableModel {
 public:
  const std::vector<std::string>& entries() const { return entries_; }
  // Replaces every row.
  void setEntries(std::vector<std::string> entries);
  // Adds rows at the end.
  void append(std::vector<std::string> entries);
  // Removes the rows with these numbers (any order; duplicates and numbers out of range are
  // ignored).
  void removeRowSet(std::vector<int> rows);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  EntryListModel(int columns, IconSource& source, SystemIcons& icons, QObject* parent);

  // What a row shows besides its caption, once asked of the platform.
  struct Look {
    bool known = false;
    std::uint64_t generation = 0;  // the model's generation when it was asked
    int icon = 0;                  // system icon index; 0: none
    QString description;
  };
  // The caption's roles, common to both lists; an invalid QVariant for other roles.
  QVariant captionData(int row, int role) const;

  IconSource& source;
  SystemIcons& icons;
  std::vector<std::string> entries_;
  mutable std::vector<Look> looks_;  // one per entry, filled when a view asks

 private:
  int columns;
};

// The extension list: column 0 the extension with its file-type icon, column 1 the file-type
// description (both asked of the platform when the row is first shown).
class ExtensionListModel final : public EntryListModel {
 public:
  ExtensionListModel(IconSource& source, SystemIcons& icons, QObject* parent = nullptr)
      : EntryListModel(2, source, icons, parent) {}
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const Look& lookOf(int row) const;
};

// The excluded-folder list: the folder with its own icon, in black while the folder exists and
// in red when it does not (the platform gives no icon for a missing folder).
class ExcludedFolderModel final : public EntryListModel {
 public:
  ExcludedFolderModel(IconSource& source, SystemIcons& icons, QObject* parent = nullptr)
      : EntryListModel(1, source, icons, parent) {}
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Forgets every row's icon and existence, so that the rows shown ask again: a folder deleted
  // or created since turns red or black. The settings window calls it once a second while shown.
  void refreshLooks();

 private:
  const Look& lookOf(int row) const;
  std::uint64_t generation = 1;
};

// The event checklist: one checkable row per event kind in event-number order, captioned with
// the kind's name; a kind to record is checked, with the tick picture, in black; a kind left
// out is unchecked, with the cross picture, in red. Changing a check changes all three. A kind
// the system never reports (setProducible) is shown in grey with a tool tip that says so, and is
// checked, stored and read like any other.
//
// Thread: the user-interface thread. `picture` turns one of the two picture indexes into an
// icon.
class EventKindModel final : public QAbstractTableModel {
 public:
  EventKindModel(int tickImage, int crossImage, std::function<QIcon(int)> picture, QObject* parent = nullptr);

  const EventKindSet& kinds() const { return kinds_; }
  void setKinds(const EventKindSet& kinds);
  // The kinds the system can report (ChangeWatching::producibleKinds); every kind by default.
  const EventKindSet& producible() const { return producible_; }
  void setProducible(const EventKindSet& kinds);
  // Turns the check of one row over.
  void toggle(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void rowChanged(int row);

  int tickImage, crossImage;
  std::function<QIcon(int)> picture;
  EventKindSet kinds_ = allEventKinds();
  EventKindSet producible_ = allEventKinds();
};

}  // namespace tw
