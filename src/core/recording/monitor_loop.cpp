#include "core/recording/monitor_loop.h"

#include <exception>

#include "core/text/text_lines.h"

namespace tw {

std::vector<std::string> rootsToWatch(Drives& drives, const CaptureOptions& options) {
  std::vector<std::string> roots;
  for (std::string& root : recordableDriveRoots(drives)) {
    if (!isInStringList(root, options.skippedDrives)) roots.push_back(std::move(root));
  }
  return roots;
}

MonitorLoop::MonitorLoop(ChangeWatching& watching, Drives& drives, CaptureOptions options, ChangeQueue& queue,
                         MonitorEvents& events)
    : watching(watching), drives(drives), options(std::move(options)), queue(queue), events(events) {}

MonitorLoop::~MonitorLoop() = default;

void MonitorLoop::requestStop() {
  std::lock_guard guard(lock);
  stopRequested = true;
  if (watcher) watcher->wake();
}

bool MonitorLoop::step() {
  if (stage == Stage::Over) return false;
  try {
    if (stage == Stage::Setup) {
      setUp();
    } else {
      waitOnce();
    }
  } catch (const std::exception& e) {
    end(e.what());
  } catch (...) {
    end("The watch of the drives failed for an unknown reason.");
  }
  return stage != Stage::Over;
}

void MonitorLoop::run() {
  while (step()) {
  }
}

void MonitorLoop::setUp() {
  watching.prepareThread();
  WatchRequest request;
  request.roots = rootsToWatch(drives, options);
  request.kinds = options.kinds;
  bool stopping = false;
  {
    std::lock_guard guard(lock);
    stopping = stopRequested;
  }
  if (stopping) {
    end({});
    return;
  }
  std::unique_ptr<ChangeWatcher> started = watching.watch(request);
  std::vector<std::string> roots = started->watchedRoots();
  {
    std::lock_guard guard(lock);
    watcher = std::move(started);
    // A stop asked while the watch was being set up: the first wait returns at once.
    if (stopRequested) watcher->wake();
  }
  stage = Stage::Watching;
  events.watchStarted(std::move(roots));
}

void MonitorLoop::waitOnce() {
  batch.clear();
  watcher->wait(batch);
  handOver(batch);
  bool stopping = false;
  {
    std::lock_guard guard(lock);
    stopping = stopRequested;
  }
  if (!stopping) return;
  // The stop woke the wait above, which may have returned before reading what the system had
  // queued by then: one more wait, woken at once, takes it.
  watcher->wake();
  batch.clear();
  watcher->wait(batch);
  handOver(batch);
  end({});
}

void MonitorLoop::handOver(ChangeBatch& taken) {
  queue.append(taken.changes);
  if (!taken.notices.empty()) events.noticesReceived(std::move(taken.notices));
  taken.clear();
}

void MonitorLoop::end(const std::string& failure) {
  std::unique_ptr<ChangeWatcher> ending;
  {
    std::lock_guard guard(lock);
    ending = std::move(watcher);
  }
  // Destroyed here, on the thread that created it, outside the lock that requestStop takes.
  ending.reset();
  stage = Stage::Over;
  if (!failure.empty()) events.monitorFailed(failure);
  events.monitorEnded();
}

}  // namespace tw
