#include "app/record/replay.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "app/record/jsonl.h"

namespace tw::record {

namespace {

// Reads a file line by line in blocks, without holding more of it than one line.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : file(file) {}
  ~LineReader() { std::fclose(file); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its LF, at most `limit` bytes of it kept (`tooLong` set when more
  // was there; the rest is read and dropped). False at the end of the input. Throws
  // std::runtime_error on a read error.
  bool next(std::string& line, std::size_t limit, bool& tooLong) {
    line.clear();
    tooLong = false;
    bool any = false;
    for (;;) {
      if (at == end && !fill()) return any;
      any = true;
      const char* from = buffer + at;
      const auto* lf = static_cast<const char*>(std::memchr(from, '\n', end - at));
      const std::size_t take = lf != nullptr ? static_cast<std::size_t>(lf - from) : end - at;
      const std::size_t room = limit > line.size() ? limit - line.size() : 0;
      line.append(from, std::min(take, room));
      if (take > room) tooLong = true;
      at += take;
      if (lf != nullptr) {
        ++at;
        return true;
      }
    }
  }

 private:
  bool fill() {
    at = 0;
    end = std::fread(buffer, 1, sizeof buffer, file);
    if (end == 0 && std::ferror(file)) throw std::runtime_error(std::strerror(errno));
    return end > 0;
  }

  std::FILE* file;
  char buffer[64 * 1024];
  std::size_t at = 0;
  std::size_t end = 0;
};

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
  const std::filesystem::path path(std::u8string(file.begin(), file.end()));
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw std::runtime_error("cannot read " + file + ": it is a folder");
#ifdef _WIN32
  std::FILE* in = _wfopen(path.c_str(), L"rb");
#else
  std::FILE* in = std::fopen(path.c_str(), "rb");
#endif
  if (in == nullptr) throw std::runtime_error("cannot read " + file + ": " + std::strerror(errno));
  return std::make_unique<ReplayWatcher>(file, in, request, exhausted);
}

}  // namespace tw::record
