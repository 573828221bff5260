#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/events/change.h"
#include "core/model/flat_text_map.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// The folder icons of the capture views (the icon source's `pathIcon` of a path on disk), with each
// answer kept while nothing says it has changed.
//
// Why an answer may be kept: what makes a path's icon change is a change to the path itself (created,
// its attributes set, or the file in it that gives a folder its own icon, desktop.ini, written)
// or a change that ends or moves it with everything below (a folder above it, or the path,
// deleted, renamed or read again; its drive or medium come or gone). The views receive those
// changes: the owner of the cache notes each change it files (noteChange), and an answer stops
// holding at the first change noted after it that names the path, or a folder above it with
// everything below; the disk is then asked again. Changes of plain files leave the answers alone.
// That spares the thousands of path lookups a second that a busy recording asks for the folders it
// keeps returning to: every list row asks for the icon of its work folder. A change the views do
// not receive (a kind the recording leaves out, an excluded folder) shows once the answer is
// `window` old (a minute by default): after the window the disk is asked again anyway.
//
// Within one batch of changes (beginBatch .. endBatch) an answer asked during the batch holds
// until the batch ends, however long the batch takes and whatever changes it notes: the batch's
// changes all happened before it began, so the disk answered with them already, and asking its
// folders again half way through would double its disk lookups for an answer no truer. Once the
// batch has ended, the window and the changes decide again.
//
// The system folder's icon (`pathIcon` of the system folder, the plain folder icon
// that non-file rows and treated folders show) does not change while the program runs: it is
// asked once, and again only while the answer is 0 (a failed query is not kept).
//
// Thread: the user-interface thread only, like the views it serves. Its own lookup thread
// (started at the first background lookup) only asks the platform. Uses, but does not own, the
// environment and the icon source. The memory held is bounded by the distinct paths asked within
// the last two windows or the current batch (kept by path), by the size of the text pool (kept by
// id), and by kMostChangedPaths for the changes noted.
class FolderIconCache {
 public:
  using Clock = std::chrono::steady_clock;
  // The time source; tests give their own.
  using Now = std::function<Clock::time_point()>;
  static constexpr std::chrono::milliseconds kDefaultWindow{60000};
  // The most paths whose changes are noted at once: past it every answer is forgotten, and
  // the noting starts over.
  static constexpr std::size_t kMostChangedPaths = std::size_t{1} << 18;

  FolderIconCache(Environment& environment, IconSource& icons,
                  std::chrono::milliseconds window = kDefaultWindow, Now now = &Clock::now);
  ~FolderIconCache();
  FolderIconCache(const FolderIconCache&) = delete;
  FolderIconCache& operator=(const FolderIconCache&) = delete;

  // A change filed into the views: the answers it may have made untrue stop holding (those of
  // the paths it names, and of what is below them where it ends or moves them; see above).
  void noteChange(const Change& change);
  // pathIcon(path), asked again once the answer kept stops holding.
  int folderIcon(std::string_view path);
  // The same for a path held by a text pool, kept by its id (cheaper: no path is hashed or
  // compared). The answers kept this way and those kept by path are apart; the ids' are
  // forgotten when another pool is given or the pool was cleared.
  int folderIcon(const TextPool& pool, TextId path);
  // folderIcon of each path, in order. What is not kept is asked of the platform in one call,
  // sorted, so that the paths' shared folders are looked up once.
  std::vector<int> folderIcons(const std::vector<std::string_view>& paths);
  // Background lookups, for a view that goes on with its next events while the disk is asked.
  // start() takes the kept answers at once and hands the rest to the cache's lookup thread
  // when the platform may be asked from any thread (else it asks at once); finish() waits for
  // the answers, keeps them and returns what folderIcons would have. A lookup may be dropped
  // unfinished.
  class Lookup;
  std::shared_ptr<Lookup> start(const std::vector<std::string_view>& paths);
  // The same for paths held by a text pool, kept by their ids (cheaper: no path is hashed or
  // compared). The answers kept this way and those kept by path are apart; the ids' are
  // forgotten when another pool is given or the pool was cleared.
  std::shared_ptr<Lookup> start(const TextPool& pool, const std::vector<TextId>& paths);
  std::vector<int> finish(Lookup& lookup);
  // A batch of changes begins or ends: answers asked from beginBatch on hold until the matching
  // endBatch. Batches nest (the tree and the list that share the cache both mark theirs); the
  // outermost pair counts.
  void beginBatch();
  void endBatch();
  bool inBatch() const { return batchDepth > 0; }
  // Ends a batch of the cache (if any) when it goes out of scope.
  class BatchEnd {
   public:
    explicit BatchEnd(FolderIconCache* cache) : cache(cache) {}
    ~BatchEnd() {
      if (cache != nullptr) cache->endBatch();
    }
    BatchEnd(const BatchEnd&) = delete;
    BatchEnd& operator=(const BatchEnd&) = delete;

   private:
    FolderIconCache* cache;
  };
  // The icon of the system folder with its separator, asked once.
  int systemFolderIcon();
  // The icon source the cache asks (for the icons the views ask of it directly, by file type).
  IconSource& source() { return icons; }
  // Forgets every answer.
  void clear();
  // Whether the changes filed are history (a recording being opened): they say nothing of this
  // disk now, so they are not noted, and every answer holds whatever its age until they are no
  // longer history.
  void setChangesAreHistory(bool history) { changesAreHistory = history; }
  bool changesAreHistoryNow() const { return changesAreHistory; }

  // Bytes held (entries and path texts, roughly), for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  struct Entry {
    int icon;
    std::uint32_t batch;  // the batch it was asked in (batchNumber), 0 for none
    Clock::time_point askedAt;
    std::uint64_t serial;  // the changes noted when it was asked (changeSerial)
  };
  // The answers of one window.
  using Generation = FlatTextMap<Entry>;

  // Starts a new generation when the current one is a window old, but not during a batch or
  // while the changes are history (its answers must stay); returns the time.
  Clock::time_point tick();
  // Whether an answer for `path` asked at `askedAt` in `batch`, with `serial` changes noted,
  // still holds at `at`. An answer that holds because no change since names it is brought up to
  // the changes noted now (its serial), so that the same changes are not looked at again.
  bool holds(std::string_view path, Clock::time_point askedAt, std::uint32_t batch, std::uint64_t& serial,
             Clock::time_point at);
  // The same for an answer kept by text id (askedAtMs: msSinceMade, 0 for never).
  bool holds(std::string_view path, std::int64_t askedAtMs, std::uint32_t batch, std::uint64_t& serial,
             Clock::time_point at);
  // The batch an answer asked now is asked in; 0 outside batches.
  std::uint32_t askingBatch() const { return batchDepth > 0 ? batchNumber : 0; }
  // Whether a change noted after `serial` names `path` or a folder above it.
  bool changedSince(std::string_view path, std::uint64_t serial) const;
  // Notes a change of `path`, and of everything below it when `below`.
  void noteChanged(std::string_view path, bool below);
  // Calls visit(key) with the key of each folder above `path`, from the top, while it returns
  // true; returns the key of the path itself. A key is a hash of the path's text without its
  // trailing separators, with ASCII case folded where paths are Windows ones.
  template <typename Visit>
  std::uint64_t forEachKeyAbove(std::string_view path, Visit visit) const;
  // Forgets every answer and every change noted (the system folder's icon stays).
  void forgetAnswers();
  // The kept answer for path, or none.
  const Entry* kept(std::string_view path, Clock::time_point at);
  // Keeps an answer for path in the current generation, unless a newer one is kept there.
  void keep(std::string_view path, const Entry& answer);

  struct Worker;
  // A lookup of `count` paths: keptIcon(i, icon) gives the kept answer of the i-th path, if
  // any; pathOf(i) its text; sameAs(i, j) whether two paths are the same.
  template <typename KeptIcon, typename PathOf, typename Same>
  std::shared_ptr<Lookup> begin(std::size_t count, Clock::time_point at, KeptIcon keptIcon, PathOf pathOf,
                                Same sameAs);
  // Whether there is a lookup thread: started at the first call where the platform may be asked
  // from any thread, and never again once it could not be started.
  bool haveWorker();
  // Asks the platform for a lookup's paths (on the lookup thread, or at once).
  void ask(Lookup& lookup);
  // Keeps a done lookup's answers, once: at once where it was asked on this thread (so that
  // the next lookups of a batch find them), else when it is finished.
  void keepAnswers(Lookup& lookup);
  // Milliseconds since the cache was made, plus one (0 stands for never).
  std::int64_t msSinceMade(Clock::time_point at) const;
  // Keeps answers by the ids of `pool` from now on: those kept by another pool's ids, or by the
  // ids of this one before it was cleared, are forgotten.
  void usePool(const TextPool& pool);

  Environment& environment;
  IconSource& icons;
  Clock::duration window;
  Now now;
  // Two generations: `current` holds what was asked since `currentSince`; `previous` the
  // generation before it. Entries of both are checked one by one (a generation outlives a
  // window while a batch lasts), and those of `previous` moved on while still fresh. Rotating
  // drops what is older.
  Generation current;
  Generation previous;
  Clock::time_point currentSince;
  int batchDepth = 0;
  std::uint32_t batchNumber = 0;  // of the outermost batches, counted from 1
  int systemIcon = 0;
  std::unique_ptr<Worker> worker;
  bool noWorker = false;  // a lookup thread could not be started
  // The answers kept by text id: when each was asked (msSinceMade, 0 for never) and what.
  struct IdEntry {
    std::int64_t askedAt;
    std::uint64_t serial;
    int icon;
    std::uint32_t batch;
  };
  std::vector<IdEntry> byId;
  const TextPool* idPool = nullptr;
  std::uint64_t idPoolClears = 0;
  Clock::time_point made;
  PathStyle style;
  // The changes noted: how many so far, and by path key the serials of the last one that named
  // the path and of the last one that named everything below it too (0: none).
  std::uint64_t changeSerial = 0;
  struct Changed {
    std::uint64_t own = 0;
    std::uint64_t below = 0;
  };
  std::unordered_map<std::uint64_t, Changed> changedAt;
  // Answers asked with fewer changes noted than this are forgotten (a lookup then under way
  // may still bring one).
  std::uint64_t forgottenAt = 0;
  bool changesAreHistory = false;
};

}  // namespace tw
