#include "app/record/replay.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stdexcept>

#include "core/report/recording_file.h"

namespace tw::record {

namespace {

class ReplayWatcher : public ChangeWatcher {
 public:
  ReplayWatcher(std::string file, std::FILE* in, WatchRequest request, std::function<void()> exhausted)
      : file(std::move(file)),
        reader(std::make_unique<LineReader>(in)),
        request(std::move(request)),
        exhausted(std::move(exhausted)) {}

  void wait(ChangeBatch& out) override {
    if (!ended) {
      readSome(out);
      if (ended && exhausted) exhausted();
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
  // Up to kLinesPerWait lines, so that a stop asked meanwhile is heard between two waits and
  // no more of the file is held than the queue has not yet delivered.
  void readSome(ChangeBatch& out) {
    std::string line;
    bool tooLong = false;
    for (std::size_t lines = 0; lines < kLinesPerWait; ++lines) {
      try {
        if (!reader->next(line, ReplayWatching::kMaxLineBytes, tooLong)) {
          ended = true;
          return;
        }
      } catch (const std::runtime_error& e) {
        ended = true;
        throw std::runtime_error("cannot read " + file + ": " + e.what());
      }
      ++number;
      if (tooLong) {
        out.notices.push_back({{},
                               file + ":" + std::to_string(number) + ": the line is longer than " +
                                   std::to_string(ReplayWatching::kMaxLineBytes) + " bytes: skipped"});
        continue;
      }
      std::string error;
      std::optional<Change> change = changeOfJsonLine(line, std::chrono::system_clock::now(), error);
      if (!error.empty()) {
        out.notices.push_back({{}, file + ":" + std::to_string(number) + ": " + error});
        continue;
      }
      if (!change || !request.kinds.test(static_cast<std::size_t>(eventNumber(change->kind)))) continue;
      out.changes.push_back(std::move(*change));
    }
  }

  static constexpr std::size_t kLinesPerWait = 10000;

  const std::string file;
  std::unique_ptr<LineReader> reader;  // the waiting thread's, as are ended and number
  const WatchRequest request;
  std::function<void()> exhausted;
  bool ended = false;
  std::size_t number = 0;  // of the last line read
  std::mutex lock;
  std::condition_variable changed;
  bool woken = false;  // guarded by lock
};

}  // namespace

std::unique_ptr<ChangeWatcher> ReplayWatching::watch(const WatchRequest& request) {
  return std::make_unique<ReplayWatcher>(file, openForReading(file), request, exhausted);
}

}  // namespace tw::record
