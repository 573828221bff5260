#include "core/model/folder_icon_cache.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/model/text_pool.h"

namespace tw {

FolderIconCache::FolderIconCache(Environment& environment, IconSource& icons,
                                 std::chrono::milliseconds window, Now now)
    : environment(environment),
      icons(icons),
      window(window),
      now(std::move(now)),
      currentSince(this->now()),
      made(currentSince) {}

std::int64_t FolderIconCache::msSinceMade(Clock::time_point at) const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at - made).count() + 1;
}

FolderIconCache::Clock::time_point FolderIconCache::tick() {
  const Clock::time_point at = now();
  if (batchDepth == 0 && at - currentSince >= window) {
    previous.swap(current);
    current.clear();
    currentSince = at;
  }
  return at;
}

bool FolderIconCache::fresh(std::int64_t askedAtMs, std::int64_t atMs) const {
  if (askedAtMs == 0) return false;
  const std::int64_t windowMs = std::chrono::duration_cast<std::chrono::milliseconds>(window).count();
  return atMs - askedAtMs < windowMs || (batchDepth > 0 && askedAtMs >= msSinceMade(batchSince));
}

void FolderIconCache::beginBatch() {
  // A generation that is a window old goes now, before the batch holds it.
  if (batchDepth == 0) batchSince = tick();
  ++batchDepth;
}

void FolderIconCache::endBatch() {
  if (batchDepth > 0) --batchDepth;
}

const FolderIconCache::Entry* FolderIconCache::kept(std::string_view path, Clock::time_point at) {
  const std::uint64_t hash = TextPool::hashExact(path);
  if (const Entry* entry = current.find(path, hash)) return fresh(entry->askedAt, at) ? entry : nullptr;
  if (const Entry* entry = previous.find(path, hash); entry != nullptr && fresh(entry->askedAt, at)) {
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
  const int icon = icons.pathIcon(path);
  keep(path, Entry{icon, at});
  return icon;
}

class FolderIconCache::Lookup {
 public:
  Clock::time_point at;
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
  if (idPool != &pool || idPoolClears != pool.clears()) {
    std::vector<IdEntry>().swap(byId);
    idPool = &pool;
    idPoolClears = pool.clears();
  }
  const Clock::time_point at = now();
  const std::int64_t atMs = msSinceMade(at);
  auto lookup = begin(
      paths.size(), at,
      [&](std::size_t i, int& icon) {
        if (paths[i] >= byId.size()) return false;
        const IdEntry& entry = byId[paths[i]];
        if (!fresh(entry.askedAt, atMs)) return false;
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
        byId.resize(std::max<std::size_t>(id + 1, byId.size() + byId.size() / 2), IdEntry{0, 0});
      byId[id] = IdEntry{askedAt, lookup.answers[j]};
    }
  } else {
    for (std::size_t j = 0; j < lookup.ask.size(); ++j)
      keep(lookup.ask[j], Entry{lookup.answers[j], lookup.at});
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

void FolderIconCache::clear() {
  Generation().swap(current);
  Generation().swap(previous);
  std::vector<IdEntry>().swap(byId);
  idPool = nullptr;
  currentSince = now();
  if (batchDepth > 0) batchSince = currentSince;
  systemIcon = 0;
}

std::size_t FolderIconCache::bytesUsed() const {
  return current.bytesUsed() + previous.bytesUsed() + byId.capacity() * sizeof(IdEntry);
}

}  // namespace tw
