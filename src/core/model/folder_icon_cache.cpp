#include "core/model/folder_icon_cache.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/model/path_parts.h"
#include "core/model/text_pool.h"

namespace tw {

FolderIconCache::FolderIconCache(Environment& environment, IconSource& icons,
                                 std::chrono::milliseconds window, Now now)
    : environment(environment),
      icons(icons),
      window(window),
      now(std::move(now)),
      currentSince(this->now()),
      made(currentSince),
      style(environment.pathStyle()) {}

std::int64_t FolderIconCache::msSinceMade(Clock::time_point at) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at - made).count() + 1;
}

FolderIconCache::Clock::time_point FolderIconCache::tick() {
  const Clock::time_point at = now();
  if (batchDepth == 0 && !changesAreHistory && at - currentSince >= window) {
    previous.swap(current);
    current.clear();
    currentSince = at;
  }
  return at;
}

bool FolderIconCache::holds(std::string_view path, Clock::time_point askedAt, std::uint32_t batch,
                            std::uint64_t& serial, Clock::time_point at) {
  if (changesAreHistory || (batch != 0 && batch == askingBatch())) return true;
  if (at - askedAt >= window || changedSince(path, serial)) return false;
  serial = changeSerial;
  return true;
}

bool FolderIconCache::holds(std::string_view path, std::int64_t askedAtMs, std::uint32_t batch,
                            std::uint64_t& serial, Clock::time_point at) {
  return askedAtMs != 0 && holds(path, made + std::chrono::milliseconds(askedAtMs - 1), batch, serial, at);
}

template <typename Visit>
std::uint64_t FolderIconCache::forEachKeyAbove(std::string_view path, Visit visit) const {
  // FNV-1a: the hash of each folder above comes on the way to the path's.
  constexpr std::uint64_t kOffset = 14695981039346656037ULL, kPrime = 1099511628211ULL;
  const char separator = pathSeparator(style);
  const bool fold = style == PathStyle::Windows;
  while (!path.empty() && path.back() == separator) path.remove_suffix(1);
  std::uint64_t hash = kOffset;
  for (const char c : path) {
    if (c == separator && !visit(hash)) return hash;
    hash = (hash ^ static_cast<unsigned char>(fold ? asciiUpper(c) : c)) * kPrime;
  }
  return hash;
}

bool FolderIconCache::changedSince(std::string_view path, std::uint64_t serial) const {
  if (serial < forgottenAt) return true;  // asked before the changes noted were forgotten
  if (changeSerial <= serial) return false;
  bool changed = false;
  const std::uint64_t own = forEachKeyAbove(path, [&](std::uint64_t key) {
    const auto noted = changedAt.find(key);
    changed = noted != changedAt.end() && noted->second.below > serial;
    return !changed;
  });
  if (changed) return true;
  const auto noted = changedAt.find(own);
  return noted != changedAt.end() && noted->second.own > serial;
}

void FolderIconCache::noteChanged(std::string_view path, bool below) {
  if (path.empty()) return;
  if (changedAt.size() >= kMostChangedPaths) forgetAnswers();
  Changed& noted = changedAt[forEachKeyAbove(path, [](std::uint64_t) { return true; })];
  noted.own = ++changeSerial;
  if (below) noted.below = changeSerial;
}

void FolderIconCache::noteChange(const Change& change) {
  if (changesAreHistory) return;
  bool below = false;
  switch (change.kind) {
    case EventKind::FileCreated:
    case EventKind::FileDeleted:
    case EventKind::FileRenamed:
    case EventKind::FileUpdated:
      if (change.folder) {
        below = change.kind == EventKind::FileDeleted || change.kind == EventKind::FileRenamed;
        break;
      }
      // A plain file changes no icon but its own, which is asked once (by the tree, for a new
      // node); the one that gives its folder an icon changes the folder's.
      for (const std::string_view path : {std::string_view(change.path), std::string_view(change.newPath)}) {
        const std::string_view name = lastSegment(path, style);
        if (equalsIgnoreAsciiCase(name, "desktop.ini"))
          noteChanged(path.substr(0, path.size() - name.size()), false);
      }
      return;
    case EventKind::FolderCreated:
    case EventKind::Attributes:
    case EventKind::ImageUpdated:
    case EventKind::Association:
      // The path itself: what is below a folder created or given attributes was there (or not)
      // before, and the changes that ended it were noted then.
      break;
    default:
      // Paths deleted, renamed or read again, drives and media come or gone, shares and
      // servers: everything below too.
      below = true;
      break;
  }
  noteChanged(change.path, below);
  noteChanged(change.newPath, below);
}

void FolderIconCache::beginBatch() {
  // A generation that is a window old goes now, before the batch holds it.
  if (batchDepth == 0) {
    tick();
    if (++batchNumber == 0) batchNumber = 1;
  }
  ++batchDepth;
}

void FolderIconCache::endBatch() {
  if (batchDepth > 0) --batchDepth;
}

const FolderIconCache::Entry* FolderIconCache::kept(std::string_view path, Clock::time_point at) {
  const std::uint64_t hash = TextPool::hashExact(path);
  if (Entry* entry = current.find(path, hash))
    return holds(path, entry->askedAt, entry->batch, entry->serial, at) ? entry : nullptr;
  if (Entry* entry = previous.find(path, hash);
      entry != nullptr && holds(path, entry->askedAt, entry->batch, entry->serial, at)) {
    return &current.add(path, hash, *entry);
  }
  return nullptr;
}

void FolderIconCache::keep(std::string_view path, const Entry& answer) {
  const std::uint64_t hash = TextPool::hashExact(path);
  if (Entry* entry = current.find(path, hash)) {
    // An older answer (one that has stopped holding), or one another lookup kept meanwhile.
    if (entry->askedAt <= answer.askedAt) *entry = answer;
  } else {
    current.add(path, hash, answer);
  }
}

int FolderIconCache::folderIcon(std::string_view path) {
  const Clock::time_point at = tick();
  if (const Entry* entry = kept(path, at)) return entry->icon;
  const std::uint64_t serial = changeSerial;
  const int icon = icons.pathIcon(path);
  keep(path, Entry{icon, askingBatch(), at, serial});
  return icon;
}

void FolderIconCache::usePool(const TextPool& pool) {
  if (idPool != &pool || idPoolClears != pool.clears()) {
    std::vector<IdEntry>().swap(byId);
    idPool = &pool;
    idPoolClears = pool.clears();
  }
}

int FolderIconCache::folderIcon(const TextPool& pool, TextId path) {
  usePool(pool);
  const Clock::time_point at = now();
  if (path < byId.size()) {
    IdEntry& entry = byId[path];
    if (holds(pool.text(path), entry.askedAt, entry.batch, entry.serial, at)) return entry.icon;
  } else {
    byId.resize(std::max<std::size_t>(path + 1, byId.size() + byId.size() / 2), IdEntry{0, 0, 0, 0});
  }
  const std::uint64_t serial = changeSerial;
  const int icon = icons.pathIcon(pool.text(path));
  byId[path] = IdEntry{msSinceMade(at), serial, icon, askingBatch()};
  return icon;
}

class FolderIconCache::Lookup {
 public:
  Clock::time_point at;
  std::uint64_t serial = 0;  // the changes noted when it began
  std::uint32_t batch = 0;   // the batch it began in, 0 for none
  std::vector<int> result;
  std::vector<std::size_t> missing;   // indexes into result, in the order of their paths
  std::vector<std::size_t> askOf;     // for each of `missing`, its path's place in `ask`
  std::vector<std::string> ask;       // the distinct paths of `missing`, sorted
  std::vector<std::size_t> askFirst;  // for each of `ask`, the first index of `result` with it
  std::vector<TextId> askIds;         // for each of `ask`, its text id (lookups by id only)
  std::vector<int> answers;           // one per path of `ask` once done
  bool done = false;                  // written under the worker's lock when there is one
  // The user-interface thread's own: asked on it in begin(), and the answers kept.
  bool askedHere = false;
  bool answersKept = false;
};

struct FolderIconCache::Worker {
  std::mutex lock;
  std::condition_variable wake;      // a lookup queued, or the end
  std::condition_variable finished;  // a lookup done
  std::deque<std::shared_ptr<Lookup>> queue;
  bool stopping = false;
  std::thread thread;
};

FolderIconCache::~FolderIconCache() {
  if (!worker) return;
  {
    const std::lock_guard<std::mutex> hold(worker->lock);
    worker->stopping = true;
    worker->queue.clear();
  }
  worker->wake.notify_all();
  worker->thread.join();
}

std::vector<int> FolderIconCache::folderIcons(const std::vector<std::string_view>& paths) {
  return finish(*start(paths));
}

bool FolderIconCache::haveWorker() {
  if (worker || noWorker || !icons.lookupsOnAnyThread()) return worker != nullptr;
  worker = std::make_unique<Worker>();
  try {
    worker->thread = std::thread([this, &w = *worker] {
      std::unique_lock<std::mutex> hold(w.lock);
      for (;;) {
        w.wake.wait(hold, [&] { return w.stopping || !w.queue.empty(); });
        if (w.stopping) return;
        const std::shared_ptr<Lookup> next = std::move(w.queue.front());
        w.queue.pop_front();
        hold.unlock();
        ask(*next);
        hold.lock();
        next->done = true;
        w.finished.notify_all();
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: asked here, now and from now on.
    worker.reset();
    noWorker = true;
  }
  return worker != nullptr;
}

template <typename KeptIcon, typename PathOf, typename Same>
std::shared_ptr<FolderIconCache::Lookup> FolderIconCache::begin(std::size_t count, Clock::time_point at,
                                                                KeptIcon keptIcon, PathOf pathOf,
                                                                Same sameAs) {
  auto lookup = std::make_shared<Lookup>();
  lookup->at = at;
  lookup->serial = changeSerial;
  lookup->batch = askingBatch();
  lookup->result.assign(count, 0);
  for (std::size_t i = 0; i < count; ++i) {
    if (!keptIcon(i, lookup->result[i])) lookup->missing.push_back(i);
  }
  if (lookup->missing.empty()) {
    lookup->done = true;
    return lookup;
  }
  // Sorted, so that paths in one folder come together (the platform may look them up from it).
  std::sort(lookup->missing.begin(), lookup->missing.end(),
            [&](std::size_t a, std::size_t b) { return pathOf(a) < pathOf(b); });
  for (std::size_t k = 0; k < lookup->missing.size(); ++k) {
    const std::size_t i = lookup->missing[k];
    if (k == 0 || !sameAs(lookup->missing[k - 1], i)) {
      lookup->ask.emplace_back(pathOf(i));
      lookup->askFirst.push_back(i);
    }
    lookup->askOf.push_back(lookup->ask.size() - 1);
  }
  if (!haveWorker()) {
    // Asked here and now where the platform may not be asked from another thread (the caller
    // keeps the answers at once, for the next lookups of the batch).
    ask(*lookup);
    lookup->done = true;
    lookup->askedHere = true;
    return lookup;
  }
  {
    const std::lock_guard<std::mutex> hold(worker->lock);
    worker->queue.push_back(lookup);
  }
  worker->wake.notify_one();
  return lookup;
}

std::shared_ptr<FolderIconCache::Lookup> FolderIconCache::start(const std::vector<std::string_view>& paths) {
  const Clock::time_point at = tick();
  auto lookup = begin(
      paths.size(), at,
      [&](std::size_t i, int& icon) {
        const Entry* entry = kept(paths[i], at);
        if (entry != nullptr) icon = entry->icon;
        return entry != nullptr;
      },
      [&](std::size_t i) { return paths[i]; },
      [&](std::size_t a, std::size_t b) { return paths[a] == paths[b]; });
  if (lookup->askedHere) keepAnswers(*lookup);
  return lookup;
}

std::shared_ptr<FolderIconCache::Lookup> FolderIconCache::start(const TextPool& pool,
                                                                const std::vector<TextId>& paths) {
  usePool(pool);
  const Clock::time_point at = now();
  auto lookup = begin(
      paths.size(), at,
      [&](std::size_t i, int& icon) {
        if (paths[i] >= byId.size()) return false;
        IdEntry& entry = byId[paths[i]];
        if (!holds(pool.text(paths[i]), entry.askedAt, entry.batch, entry.serial, at)) return false;
        icon = entry.icon;
        return true;
      },
      [&](std::size_t i) { return pool.text(paths[i]); },
      [&](std::size_t a, std::size_t b) { return paths[a] == paths[b]; });
  for (const std::size_t i : lookup->askFirst) lookup->askIds.push_back(paths[i]);
  if (lookup->askedHere) keepAnswers(*lookup);
  return lookup;
}

void FolderIconCache::ask(Lookup& lookup) {
  const std::vector<std::string_view> paths(lookup.ask.begin(), lookup.ask.end());
  try {
    lookup.answers = icons.pathIcons(paths);
  } catch (const std::exception&) {
    lookup.answers.clear();  // every answer 0, as a failed query gives
  }
  lookup.answers.resize(paths.size(), 0);
}

std::vector<int> FolderIconCache::finish(Lookup& lookup) {
  if (worker) {
    std::unique_lock<std::mutex> hold(worker->lock);
    auto& queue = worker->queue;
    if (const auto queued =
            std::find_if(queue.begin(), queue.end(), [&](const auto& l) { return l.get() == &lookup; });
        queued != queue.end()) {
      // Not begun yet: asked here rather than waited for.
      queue.erase(queued);
      hold.unlock();
      ask(lookup);
      lookup.done = true;
    } else {
      worker->finished.wait(hold, [&] { return lookup.done; });
    }
  }
  for (std::size_t k = 0; k < lookup.missing.size(); ++k) {
    lookup.result[lookup.missing[k]] = lookup.answers[lookup.askOf[k]];
  }
  if (!lookup.answersKept) keepAnswers(lookup);
  lookup.missing.clear();
  lookup.ask.clear();
  lookup.askIds.clear();
  return std::move(lookup.result);
}

void FolderIconCache::keepAnswers(Lookup& lookup) {
  lookup.answersKept = true;
  if (!lookup.askIds.empty()) {
    const std::int64_t askedAt = msSinceMade(lookup.at);
    for (std::size_t j = 0; j < lookup.askIds.size(); ++j) {
      const TextId id = lookup.askIds[j];
      if (id >= byId.size())
        byId.resize(std::max<std::size_t>(id + 1, byId.size() + byId.size() / 2), IdEntry{0, 0, 0, 0});
      byId[id] = IdEntry{askedAt, lookup.serial, lookup.answers[j], lookup.batch};
    }
  } else {
    for (std::size_t j = 0; j < lookup.ask.size(); ++j)
      keep(lookup.ask[j], Entry{lookup.answers[j], lookup.batch, lookup.at, lookup.serial});
  }
}

int FolderIconCache::systemFolderIcon() {
  if (systemIcon == 0) {
    // The lone separator when the system folder is unknown (its icon is then that of the root).
    std::string folder = environment.systemFolder().valueOr(std::string());
    folder.push_back(pathSeparator(environment.pathStyle()));
    systemIcon = icons.pathIcon(folder);
  }
  return systemIcon;
}

void FolderIconCache::forgetAnswers() {
  Generation().swap(current);
  Generation().swap(previous);
  std::vector<IdEntry>().swap(byId);
  idPool = nullptr;
  std::unordered_map<std::uint64_t, Changed>().swap(changedAt);
  forgottenAt = changeSerial;
  currentSince = now();
}

void FolderIconCache::clear() {
  forgetAnswers();
  systemIcon = 0;
}

std::size_t FolderIconCache::bytesUsed() const {
  // A node of the changes noted holds its key, its serial and a link; the buckets one more.
  return current.bytesUsed() + previous.bytesUsed() + byId.capacity() * sizeof(IdEntry) +
         changedAt.size() * (sizeof(Changed) + 2 * sizeof(std::uint64_t)) +
         changedAt.bucket_count() * sizeof(void*);
}

}  // namespace tw
