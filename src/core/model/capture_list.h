#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "core/events/change.h"
#include "core/events/event_kinds.h"
#include "core/model/folder_icon_cache.h"
#include "core/model/text_pool.h"
#include "core/text/path_style.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// Follows the capture list. Rows are only ever appended (announced in blocks when a batch
// ends) or all removed at once, so a QAbstractItemModel maps the pairs to
// beginInsertRows/endInsertRows and beginResetModel/endResetModel. Between an "about to" call
// and its partner the list still answers with the old rows.
//
// Thread: called on the user-interface thread from within the list's own methods.
class CaptureListObserver {
 public:
  virtual ~CaptureListObserver() = default;
  virtual void rowsAboutToBeInserted(int first, int last) = 0;
  virtual void rowsInserted(int first, int last) = 0;
  virtual void listAboutToBeCleared() = 0;
  virtual void listCleared() = 0;
};

// The capture list: one row per delivered change, in delivery order, never changed afterwards.
// A row keeps the change's facts: its path split into folder part and name, its new path, its
// kind, time, process id and process name, and two icons: the change's own, decided when it was
// filed, and its folder's, asked of the disk when the row is first read. What the row shows is
// the presentation's (listCells).
//
// Why the folder's icon waits for the row to be read: it is the one icon that asks the disk,
// and a view reads only the rows it shows. A busy recording files thousands of rows a second
// of which a view shows a few dozen; asking for each would cost far more than the rows
// themselves where a lookup is slow. Folder icons come through a FolderIconCache, which keeps
// an answer while no change filed says it changed. Views that share a cache share their text
// pool too: the cache keeps answers by the pool's ids. A list without an icon source asks no
// icon at all (every icon is 0).
//
// Thread: the user-interface thread only. Uses, but does not own, the environment, the icon
// source, the text pool and the icon cache (when given) and the observer.
class CaptureList {
 public:
  // `pool` and `folderIcons` may be shared with the capture tree; without them the list keeps
  // its own. Without `iconSource` no icon is asked (`folderIcons` is then ignored).
  CaptureList(Environment& environment, IconSource* iconSource, PathStyle style, TextPool* pool = nullptr,
              FolderIconCache* folderIcons = nullptr);
  CaptureList(const CaptureList&) = delete;
  CaptureList& operator=(const CaptureList&) = delete;

  // Appends the row of one change.
  void add(const Change& change);

  // Removes every row (the Clean command).
  void clear();

  // Groups the rows of several changes into one announcement. Nestable; a row added outside a
  // batch is announced at once.
  void beginBatch();
  void endBatch();

  // Reading, as the observer has been told so far (outside a batch: every row).
  int rowCount() const { return static_cast<int>(published); }
  // The folder part of the row's path, with its separator (Windows style: up to the last '\' or
  // colon); empty without one.
  std::string_view folder(int row) const { return pool->text(at(row).folder); }
  // The text pool's id of the folder part: rows of one folder share it (until clear()).
  TextId folderId(int row) const { return at(row).folder; }
  // The rest of the path: folder(row) + name(row) is the path.
  std::string_view name(int row) const { return pool->text(at(row).name); }
  // The text pool's ids of the name and of the process name: rows with equal texts share them.
  TextId nameId(int row) const { return at(row).name; }
  TextId processNameId(int row) const { return at(row).processName; }
  std::string_view newPath(int row) const { return pool->text(at(row).newPath); }
  TextId newPathId(int row) const { return at(row).newPath; }
  // The pool the ids above belong to (shared with the tree when the views share one).
  const TextPool& texts() const { return *pool; }
  EventKind kind(int row) const { return at(row).kind; }
  std::chrono::system_clock::time_point time(int row) const { return at(row).time; }
  std::int32_t processId(int row) const { return at(row).processId; }
  std::string_view processName(int row) const { return pool->text(at(row).processName); }
  // The system icon index of the row's change (the folder icon for a change that is not a
  // file's; the file type's icon otherwise), and that of its folder (asked the first time it is
  // read, then kept by the row); 0 for none.
  int icon(int row) const { return at(row).icon; }
  int folderIcon(int row) const;
  PathStyle pathStyle() const { return style; }
  // Whether a row added so far knows the process that made its change (a pid or a name).
  bool hasProcesses() const { return anyProcess; }

  void setObserver(CaptureListObserver* newObserver) { observer = newObserver; }
  // The rows live in blocks of this many, so that a growing list never copies its rows, nor
  // holds them twice while it grows (a million rows would otherwise move 60 MB at a time).
  static constexpr std::size_t kBlockRows = 4096;

  // Bytes held by the rows (texts not included), for the benchmarks.
  std::size_t bytesUsed() const {
    return blocks.size() * kBlockRows * sizeof(Row) + blocks.capacity() * sizeof(blocks[0]);
  }

 private:
  struct Row {
    std::chrono::system_clock::time_point time;
    TextId folder;
    TextId name;
    TextId newPath;
    TextId processName;
    std::int32_t processId;
    std::int32_t icon;
    mutable std::int32_t folderIcon;  // kNotAsked until first read
    EventKind kind;
  };
  static constexpr std::int32_t kNotAsked = std::numeric_limits<std::int32_t>::min();
  Row& rowAt(std::size_t row) { return blocks[row / kBlockRows][row % kBlockRows]; }
  const Row& at(int row) const {
    const auto index = static_cast<std::size_t>(row);
    return blocks[index / kBlockRows][index % kBlockRows];
  }
  void flush();

  PathStyle style;
  TextPool ownPool;
  TextPool* pool;
  std::unique_ptr<FolderIconCache> ownIcons;
  FolderIconCache* icons;  // none without an icon source
  CaptureListObserver* observer = nullptr;
  std::vector<std::unique_ptr<Row[]>> blocks;
  std::size_t rowTotal = 0;
  std::size_t published = 0;
  int batchDepth = 0;
  bool anyProcess = false;
};

}  // namespace tw
