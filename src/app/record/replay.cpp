#include "app/record/replay.h"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "app/record/jsonl.h"

namespace tw::record {

namespace {

class ReplayWatcher : public ChangeWatcher {
 public:
  ReplayWatcher(std::string file, std::ifstream in, WatchRequest request, std::function<void()> exhausted)
      : file(std::move(file)),
        in(std::move(in)),
        request(std::move(request)),
        exhausted(std::move(exhausted)) {}

  void wait(ChangeBatch& out) override {
    if (!read) {
      read = true;
      readAll(out);
      if (exhausted) exhausted();
      return;
    }
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return woken; });
    woken = false;
  }

  void wake() override {
    std::lock_guard guard(lock);
    woken = true;
    changed.notify_all();
  }

  std::vector<std::string> watchedRoots() const override { return {file}; }

 private:
  void readAll(ChangeBatch& out) {
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      std::string error;
      auto event = parseJsonEvent(line, error);
      std::optional<EventKind> kind;
      if (event) {
        kind = eventKindOf(event->event);
        if (!kind) error = "event " + std::to_string(event->event) + " is not an event kind";
      }
      if (!error.empty()) {
        out.notices.push_back({{}, file + ":" + std::to_string(number) + ": " + error});
        continue;
      }
      if (!request.kinds.test(static_cast<std::size_t>(eventNumber(*kind)))) continue;
      Change change;
      change.kind = *kind;
      change.path = std::move(event->item1);
      change.newPath = std::move(event->item2);
      change.pid = event->pid;
      change.process = std::move(event->process);
      change.time = event->time.value_or(std::chrono::system_clock::now());
      out.changes.push_back(std::move(change));
    }
  }

  const std::string file;
  std::ifstream in;
  const WatchRequest request;
  std::function<void()> exhausted;
  bool read = false;  // the waiting thread's
  std::mutex lock;
  std::condition_variable changed;
  bool woken = false;  // guarded by lock
};

}  // namespace

std::unique_ptr<ChangeWatcher> ReplayWatching::watch(const WatchRequest& request) {
  const std::filesystem::path path(std::u8string(file.begin(), file.end()));
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw std::runtime_error("cannot read " + file + ": it is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file);
  return std::make_unique<ReplayWatcher>(file, std::move(in), request, exhausted);
}

}  // namespace tw::record
