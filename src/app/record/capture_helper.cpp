#include "app/record/capture_helper.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <thread>

#include "app/record/recorder.h"
#include "platform/linux/capture_helper_stream.h"

namespace tw::record {

namespace {

// Why `path` is not a folder the helper watches; empty when it is.
std::string folderRefusal(const std::string& path) {
  if (path.empty() || path.front() != '/') return "is not an absolute path";
  if (path.size() > kLongestHelperPath)
    return "is longer than " + std::to_string(kLongestHelperPath) + " bytes";
  if (path.find('\0') != std::string::npos) return "holds a NUL byte";
  std::string written = path;
  while (written.size() > 1 && written.back() == '/') written.pop_back();
  char* real = ::realpath(written.c_str(), nullptr);
  if (real == nullptr) return std::string("cannot be used: ") + std::strerror(errno);
  const std::string resolved(real);
  std::free(real);
  if (resolved != written) return "is not the folder's own name (it resolves to " + resolved + ")";
  struct stat st {};
  if (::stat(resolved.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "is not a folder";
  return {};
}

// Writes everything to the program's pipe (non-blocking). False when the pipe broke, or when the
// program read nothing for `longestStall`: a reader that stops would otherwise hold the helper in
// its write while the kernel's unlimited fanotify queue grows for it.
bool writeAll(int fd, const std::string& bytes, std::chrono::milliseconds longestStall) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd writable{fd, POLLOUT, 0};
      const int ready = ::poll(&writable, 1, static_cast<int>(longestStall.count()));
      if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
    }
    return false;
  }
  return true;
}

// Waits, on its own thread, for the end of the program's side: standard input at its end or
// broken, or a stop signal. Then it marks the end and wakes the watcher. Owned by
// runCaptureHelper; its destructor ends and joins the thread.
class EndWatch {
 public:
  EndWatch(int in, ChangeWatcher& watcher) : in(in), watcher(watcher) {
    quitFd = ::eventfd(0, EFD_CLOEXEC);
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    thread = std::jthread([this] { run(); });
  }
  ~EndWatch() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(quitFd, &one, sizeof one);
    thread.join();
    if (signalFd >= 0) ::close(signalFd);
    if (quitFd >= 0) ::close(quitFd);
  }
  EndWatch(const EndWatch&) = delete;
  EndWatch& operator=(const EndWatch&) = delete;

  bool ended() const { return end.load(); }

 private:
  void run() {
    pollfd fds[3] = {{quitFd, POLLIN, 0}, {in, POLLIN, 0}, {signalFd, POLLIN, 0}};
    char drained[256];
    for (;;) {
      if (::poll(fds, signalFd >= 0 ? 3 : 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents != 0) return;  // the helper ends for another reason
      if (signalFd >= 0 && fds[2].revents != 0) break;
      if (fds[1].revents & POLLIN) {
        // The program sends nothing; whatever comes is read and ignored, and end of file ends.
        const ssize_t n = ::read(in, drained, sizeof drained);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        break;
      }
      if (fds[1].revents != 0) break;  // hung up or invalid
    }
    end = true;
    watcher.wake();
  }

  int in;
  ChangeWatcher& watcher;
  int quitFd = -1;
  int signalFd = -1;
  std::atomic<bool> end{false};
  std::jthread thread;
};

}  // namespace

bool isCaptureHelperCommand(const std::vector<std::string>& args) {
  return !args.empty() && args.front() == "--capture-helper";
}

std::optional<CaptureHelperOptions> parseCaptureHelperArgs(const std::vector<std::string>& args,
                                                           std::string& error) {
  if (!isCaptureHelperCommand(args)) {
    error = "--capture-helper must come first";
    return std::nullopt;
  }
  // Two arguments per folder, the kinds, and the mode: anything longer is refused unread.
  if (args.size() > 1 + 2 * kMostHelperFolders + 2) {
    error = "too many arguments for --capture-helper";
    return std::nullopt;
  }
  CaptureHelperOptions options;
  bool kindsGiven = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg != "--drive" && arg != "--kinds") {
      error = "--capture-helper takes only --drive and --kinds, not '" + arg.substr(0, 64) + "'";
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--kinds") {
      unsigned long mask = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), mask);
      if (kindsGiven || ec != std::errc() || end != value.data() + value.size() ||
          mask >= (1UL << kEventCount)) {
        error = "--kinds takes one number below " + std::to_string(1UL << kEventCount) + ", not '" +
                value.substr(0, 64) + "'";
        return std::nullopt;
      }
      kindsGiven = true;
      options.kinds = EventKindSet(mask);
      continue;
    }
    if (options.folders.size() >= kMostHelperFolders) {
      error = "--capture-helper takes at most " + std::to_string(kMostHelperFolders) + " folders";
      return std::nullopt;
    }
    const std::string refusal = folderRefusal(value);
    if (!refusal.empty()) {
      error = "the folder '" + value.substr(0, kLongestHelperPath) + "' " + refusal;
      return std::nullopt;
    }
    options.folders.push_back(value);
  }
  if (options.folders.empty()) {
    error = "--capture-helper needs at least one --drive";
    return std::nullopt;
  }
  return options;
}

int runCaptureHelper(const CaptureHelperOptions& options, ChangeWatching& watching, int in, int out,
                     std::ostream& err, std::chrono::milliseconds longestStall) {
  try {
    WatchRequest request;
    request.roots = withoutNestedFolders(options.folders, PathStyle::Posix);
    request.kinds = options.kinds;
    const int flags = ::fcntl(out, F_GETFL);
    if (flags < 0 || ::fcntl(out, F_SETFL, flags | O_NONBLOCK) != 0) {
      err << "tarnwatch-record: standard output cannot be used: " << std::strerror(errno) << "\n";
      return 1;
    }
    watching.prepareThread();
    std::unique_ptr<ChangeWatcher> watcher = watching.watch(request);
    std::vector<std::string> roots = watcher->watchedRoots();
    std::string bytes;
    linuxfs::encodeHelperRoots('R', roots, bytes);
    if (!writeAll(out, bytes, longestStall)) return 0;
    if (roots.empty()) {
      // Why each folder could not be watched comes with the first wait, at once.
      ChangeBatch reasons;
      watcher->wait(reasons);
      bytes.clear();
      linuxfs::encodeHelperBatch(reasons, bytes);
      writeAll(out, bytes, longestStall);
      err << "tarnwatch-record: none of the folders could be watched\n";
      return 1;
    }
    EndWatch endWatch(in, *watcher);
    ChangeBatch batch;
    while (!endWatch.ended()) {
      batch.clear();
      watcher->wait(batch);
      bytes.clear();
      linuxfs::encodeHelperBatch(batch, bytes);
      std::vector<std::string> now = watcher->watchedRoots();
      if (now != roots) {
        roots = std::move(now);
        linuxfs::encodeHelperRoots('W', roots, bytes);
      }
      if (!bytes.empty() && !writeAll(out, bytes, longestStall)) return 0;  // the program is gone
    }
    return 0;
  } catch (const std::exception& e) {
    err << "tarnwatch-record: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace tw::record
