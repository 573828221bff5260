#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/flat_text_map.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// The folder icons of the capture views (the icon source's `pathIcon` of a path on disk), with each
// answer kept for a short window.
//
// Why an answer may be kept: the views receive each event up to a second after it happened
// (the queue thread delivers once a second), so the disk they look at is already a snapshot of
// up to a second later than the change. An answer at most `window` old (one second by
// default) is as good a picture of the disk as a fresh one, and it spares the thousands of
// path lookups a second that a busy recording asks for the same few folders: every list row
// asks for the icon of its work folder. After the window the disk is asked again, so a folder
// deleted meanwhile then gives 0 and a folder created meanwhile its icon.
//
// Within one batch of changes (beginBatch .. endBatch) an answer asked during the batch holds
// until the batch ends, however long the batch takes: a big batch lasts longer than a window,
// and asking its folders again half way through would double its disk lookups for an answer
// no truer (the batch's changes all happened before it began). Once the batch has ended, the
// window alone decides again, so nothing is kept longer between batches than before.
//
// The system folder's icon (`pathIcon` of the system folder, the plain folder icon
// that non-file rows and treated folders show) does not change while the program runs: it is
// asked once, and again only while the answer is 0 (a failed query is not kept).
//
// Thread: the user-interface thread only, like the views it serves. Its own lookup thread
// (started at the first background lookup) only asks the platform. Uses, but does not own, the
// environment and the icon source. The memory held is bounded by the distinct paths asked within the last two
// windows or the current batch (kept by path) or by the size of the text pool (kept by id).
class FolderIconCache {
 public:
  using Clock = std::chrono::steady_clock;
  // The time source; tests give their own.
  using Now = std::function<Clock::time_point()>;
  static constexpr std::chrono::milliseconds kDefaultWindow{1000};

  FolderIconCache(Environment& environment, IconSource& icons,
                  std::chrono::milliseconds window = kDefaultWindow, Now now = &Clock::now);
  ~FolderIconCache();
  FolderIconCache(const FolderIconCache&) = delete;
  FolderIconCache& operator=(const FolderIconCache&) = delete;

  // pathIcon(path), asked at most once per window for the same path.
  int folderIcon(std::string_view path);
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
  // How long an answer is kept; a new length holds for the answers already kept too.
  void setWindow(std::chrono::milliseconds length) { window = length; }
  Clock::duration windowLength() const { return window; }

  // Bytes held (entries and path texts, roughly), for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  struct Entry {
    int icon;
    Clock::time_point askedAt;
  };
  // The answers of one window.
  using Generation = FlatTextMap<Entry>;

  // Starts a new generation when the current one is a window old, but not during a batch (its
  // answers must stay); returns the time.
  Clock::time_point tick();
  // Whether an answer asked at `askedAt` still holds at `at`.
  bool fresh(Clock::time_point askedAt, Clock::time_point at) const {
    return at - askedAt < window || (batchDepth > 0 && askedAt >= batchSince);
  }
  bool fresh(std::int64_t askedAtMs, std::int64_t atMs) const;
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
  Clock::time_point batchSince;  // when the outermost batch began
  int systemIcon = 0;
  std::unique_ptr<Worker> worker;
  bool noWorker = false;  // a lookup thread could not be started
  // The answers kept by text id: when each was asked (msSinceMade, 0 for never) and what.
  struct IdEntry {
    std::int64_t askedAt;
    int icon;
  };
  std::vector<IdEntry> byId;
  const TextPool* idPool = nullptr;
  std::uint64_t idPoolClears = 0;
  Clock::time_point made;
};

}  // namespace tw
