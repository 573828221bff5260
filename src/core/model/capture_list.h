#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/folder_icon_cache.h"
#include "core/model/marks.h"
#include "core/model/text_pool.h"
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

// The columns of the capture list.
enum ListColumn : int { colFrom = 0, colTo = 1, colAction = 2, colWorkPath = 3 };
inline constexpr int kListColumnCount = 4;
// The column captions, in column order.
inline constexpr std::string_view kListColumnCaptions[kListColumnCount] = {"From", "To", "Action",
                                                                           "Work Path"};

// The capture list: one row per delivered event, in delivery order, never changed afterwards.
//
// Folder icons come through a FolderIconCache: an answer may be up to its window old. Views
// that share a cache share their text pool too: the cache keeps answers by the pool's ids.
//
// Thread: the user-interface thread only. Uses, but does not own, the environment, the icon source, the text
// pool and the icon cache (when given) and the observer.
class CaptureList {
 public:
  // `pool` and `icons` may be shared with the capture tree; without them the list keeps its
  // own.
  CaptureList(Environment& environment, IconSource& iconSource, TextPool* pool = nullptr,
              FolderIconCache* icons = nullptr);
  CaptureList(const CaptureList&) = delete;
  CaptureList& operator=(const CaptureList&) = delete;

  // Appends the row of one event: its first and second paths and its event number.
  void addListItem(std::string_view item1, std::string_view item2, int eventNum, PathStyle style);
  void addListItem(std::string_view item1, std::string_view item2, int eventNum) {
    addListItem(item1, item2, eventNum, environment.pathStyle());
  }

  // Removes every row (the Clean command).
  void clear();

  // Groups the rows of several events into one announcement. Nestable; a row added outside a
  // batch is announced at once.
  void beginBatch() { ++batchDepth; }
  void endBatch();

  // Reading, as the observer has been told so far (outside a batch: every row).
  int rowCount() const { return static_cast<int>(published); }
  // The cell of a column: From (the row's caption), To, Action, Work Path.
  std::string_view cell(int row, int column) const;
  int imageIndex(int row) const { return at(row).image; }
  int workPathImageIndex(int row) const { return at(row).workPathImage; }
  int mark(int row) const { return at(row).mark; }

  void setObserver(CaptureListObserver* newObserver) { observer = newObserver; }
  // During a long batch, the folder icons of this many new rows are asked together, so that
  // no single step at the batch's end does all the asking.
  static constexpr std::size_t kIconLookupGroup = 64;

  // Bytes held by the rows (texts not included), for the benchmarks.
  std::size_t bytesUsed() const { return rows.capacity() * sizeof(Row); }

 private:
  struct Row {
    TextId cells[kListColumnCount];
    std::int32_t image;
    std::int32_t workPathImage;
    std::uint8_t mark;
  };
  const Row& at(int row) const { return rows[static_cast<std::size_t>(row)]; }
  // The id of a text every row may show (an action name, or the dash of an empty To), asked of
  // the pool once for as long as the pool keeps its ids. `which`: the event number, or kDash.
  TextId constantText(std::size_t which);
  static constexpr std::size_t kDash = kEventCount;
  static constexpr TextId kEmptyText = 0;  // not asked yet (no constant is empty)
  void flush();
  // Starts the lookup of the pending rows' Work Path icons; finishes every lookup started.
  void startPendingIcons();
  void finishIcons();

  Environment& environment;
  IconSource& iconSource;
  TextPool ownPool;
  TextPool* pool;
  FolderIconCache ownIcons;
  FolderIconCache* icons;
  CaptureListObserver* observer = nullptr;
  std::vector<Row> rows;
  // Rows whose Work Path icon is still to be asked: in groups of kIconLookupGroup as a batch
  // goes, the rest when it ends; every answer is in before the observer hears of the rows.
  std::vector<std::size_t> pendingIcons;
  struct IconLookup {
    std::shared_ptr<FolderIconCache::Lookup> lookup;
    std::vector<std::size_t> rows;
  };
  std::vector<IconLookup> iconLookups;  // started, not finished
  std::size_t published = 0;
  std::array<TextId, kEventCount + 1> constants{};
  std::uint64_t constantsOf = 0;  // the pool's clears() when `constants` were asked
  int batchDepth = 0;
};

// The mark of a list row by event number: created, deleted, renamed or plain.
int listMarkForEvent(int eventNum);

}  // namespace tw
