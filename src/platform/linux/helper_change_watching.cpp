#include "platform/linux/helper_change_watching.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/linux/capture_helper_stream.h"

extern char** environ;

namespace tw {

namespace {

// How long the watcher waits for a helper that closed its output, or was told to end, to exit.
constexpr int kExitWaitMs = 2000;
// The longest line of the helper's standard error kept for a report.
constexpr std::size_t kLongestErrorLine = 1000;

// `name` as a program on PATH (a name with a slash is taken as it is); empty when not found.
std::string findProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (folder.empty()) continue;
    std::string candidate = std::move(folder);
    candidate += '/';
    candidate += name;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

std::string describeStatus(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    const char* name = ::strsignal(WTERMSIG(status));
    return "killed by signal " + std::to_string(WTERMSIG(status)) +
           (name != nullptr ? std::string(" (") + name + ")" : "");
  }
  return "status " + std::to_string(status);
}

class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds, O_CLOEXEC) != 0)
      throw std::runtime_error(std::string("Cannot start the capture helper (pipe): ") +
                               std::strerror(errno));
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  int read() const { return fds[0]; }
  int write() const { return fds[1]; }
  void closeRead() { closeEnd(0); }
  void closeWrite() { closeEnd(1); }

 private:
  void closeEnd(int i) {
    if (fds[i] >= 0) ::close(fds[i]);
    fds[i] = -1;
  }
  int fds[2] = {-1, -1};
};

// The helper process and its three pipes. Owned by one watcher, on the thread that waits on it.
class HelperProcess {
 public:
  // Starts `program` with `args` (argv[0] included); throws with the reason when it cannot.
  explicit HelperProcess(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output.write(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors.write(), STDERR_FILENO);
    // The helper does not get the watcher's own stop signals blocked (the recorder's main
    // blocks them; a desktop thread may too): a default mask and default actions.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int failed = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
      pid = 0;
      throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(failed));
    }
    input.closeRead();
    output.closeWrite();
    errors.closeWrite();
    ::fcntl(output.read(), F_SETFL, O_NONBLOCK);
    ::fcntl(errors.read(), F_SETFL, O_NONBLOCK);
    pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  }

  // Ends the helper: its input closes (the helper ends at that), its output too (a helper
  // stuck in a write gets EPIPE); then it is waited for, killed when it may be and lingers.
  ~HelperProcess() {
    input.closeWrite();
    output.closeRead();
    errors.closeRead();
    if (pid > 0 && !exited) {
      if (!awaitExit(kExitWaitMs)) {
        ::kill(pid, SIGKILL);  // fails for a helper running as root for a user program: it ends at EOF
        awaitExit(kExitWaitMs);
      }
    }
    if (pidFd >= 0) ::close(pidFd);
  }
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  int outputFd() const { return output.read(); }
  int errorsFd() const { return errors.read(); }
  int processId() const { return exited ? 0 : pid; }

  // Reads what standard error holds now, keeping its last non-empty line. Returns false at its
  // end.
  bool readErrors() {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(errors.read(), buffer, sizeof buffer);
      if (n > 0) {
        for (ssize_t i = 0; i < n; ++i) {
          const char c = buffer[i];
          if (c == '\n') {
            if (!partial.empty()) lastLine = std::move(partial);
            partial.clear();
          } else if (partial.size() < kLongestErrorLine) {
            partial.push_back(c);
          }
        }
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) {
        if (!partial.empty()) lastLine = std::move(partial);
        partial.clear();
        return false;
      }
      return true;  // EAGAIN: nothing more now
    }
  }

  // The helper's output ended: reads the rest of its standard error and waits for it to exit.
  // Returns its wait status, or none when it did not exit in time.
  std::optional<int> finish() {
    pollfd fd{errors.read(), POLLIN, 0};
    while (readErrors() && ::poll(&fd, 1, kExitWaitMs) > 0) {
    }
    if (!awaitExit(kExitWaitMs)) return std::nullopt;
    return status;
  }

  const std::string& lastErrorLine() const { return lastLine; }

 private:
  bool awaitExit(int timeoutMs) {
    if (exited) return true;
    if (pidFd >= 0) {
      pollfd fd{pidFd, POLLIN, 0};
      while (::poll(&fd, 1, timeoutMs) < 0 && errno == EINTR) {
      }
    }
    int waited = 0;
    const pid_t r = ::waitpid(pid, &waited, pidFd >= 0 ? WNOHANG : 0);
    if (r != pid) return false;
    status = waited;
    exited = true;
    return true;
  }

  Pipe input;
  Pipe output;
  Pipe errors;
  pid_t pid = 0;
  int pidFd = -1;
  bool exited = false;
  int status = 0;
  std::string partial;
  std::string lastLine;
};

class HelperChangeWatcher : public ChangeWatcher {
 public:
  HelperChangeWatcher(const CaptureHelperCommand& command, ChangeWatching& fallback,
                      const WatchRequest& request)
      : fallback(fallback), request(request), roots(request.roots) {
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
      throw std::runtime_error(std::string("Cannot start watching (eventfd): ") + std::strerror(errno));
    std::vector<std::string> args;
    if (!command.elevate.empty()) {
      elevated = true;
      std::string found = findProgram(command.elevate);
      if (found.empty()) {
        fallBack("Whole-drive capture needs polkit (" + command.elevate +
                 " was not found), so the folders are watched with inotify; install polkit (pkexec) for "
                 "whole-drive capture.");
        return;
      }
      args.push_back(std::move(found));
    }
    args.push_back(command.helper);
    for (std::string& a : linuxfs::captureHelperArgs(request)) args.push_back(std::move(a));
    try {
      helper = std::make_unique<HelperProcess>(args);
    } catch (const std::exception& e) {
      fallBack(std::string("Whole-drive capture could not start (") + e.what() +
               "), so the folders are watched with inotify.");
    }
  }

  ~HelperChangeWatcher() override {
    {
      std::lock_guard guard(innerLock);
      inner.reset();
    }
    helper.reset();
    ::close(wakeFd);
  }

  void wait(ChangeBatch& out) override {
    if (!failure.empty()) throw std::runtime_error(failure);
    if (!pending.empty()) {
      for (WatchNotice& n : pending.notices) out.notices.push_back(std::move(n));
      for (Change& c : pending.changes) out.changes.push_back(std::move(c));
      pending.clear();
      return;
    }
    if (!helper) {
      if (takeWake()) return;
      inner->wait(out);
      return;
    }
    const std::size_t before = out.changes.size() + out.notices.size();
    while (helper && out.changes.size() + out.notices.size() == before) {
      pollfd fds[3] = {{wakeFd, POLLIN, 0}, {helper->outputFd(), POLLIN, 0}, {helper->errorsFd(), POLLIN, 0}};
      if (::poll(fds, 3, -1) < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error(std::string("Watching for changes failed (poll): ") + std::strerror(errno));
      }
      if (fds[2].revents != 0) helper->readErrors();
      bool ended = false;
      if (fds[1].revents != 0) ended = readOutput(out);
      if (ended) helperEnded(out);
      if (fds[0].revents != 0) {
        takeWake();
        return;
      }
    }
    // Fell back while waiting: the fallback's first wait (its set-up notices) comes next.
  }

  void wake() override {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    std::lock_guard guard(innerLock);
    if (inner) inner->wake();
  }

  std::vector<std::string> watchedRoots() const override {
    std::lock_guard guard(innerLock);
    if (inner) return inner->watchedRoots();
    return helper ? roots : std::vector<std::string>();
  }

  int helperPid() const { return helper ? helper->processId() : 0; }

 private:
  bool takeWake() {
    std::uint64_t count = 0;
    return ::read(wakeFd, &count, sizeof count) > 0;
  }

  // Reads what the helper wrote. Returns true at the end of its output.
  bool readOutput(ChangeBatch& out) {
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(helper->outputFd(), buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno != EAGAIN;
      if (n == 0) return true;
      linuxfs::HelperStreamDecoder::Decoded decoded;
      decoded.batch = std::move(scratch);
      decoded.batch.clear();
      const std::string broken = decoder.feed(std::string_view(buffer, static_cast<std::size_t>(n)), decoded);
      if (decoded.ready) {
        started = true;
        out.notices.push_back({{}, "Whole-drive capture runs in the capture helper."});
      }
      if (decoded.roots) {
        std::lock_guard guard(innerLock);
        roots = std::move(*decoded.roots);
      }
      for (WatchNotice& notice : decoded.batch.notices) out.notices.push_back(std::move(notice));
      for (Change& change : decoded.batch.changes) out.changes.push_back(std::move(change));
      scratch = std::move(decoded.batch);
      if (!broken.empty()) throw std::runtime_error("Whole-drive capture failed: " + broken + ".");
      if (static_cast<std::size_t>(n) < sizeof buffer) return false;
    }
  }

  // The helper's output ended: either the user did not let it start (fall back) or it died.
  void helperEnded(ChangeBatch& out) {
    const std::optional<int> status = helper->finish();
    const std::string lastLine = helper->lastErrorLine();
    helper.reset();
    const bool refused = elevated && !started && status && WIFEXITED(*status) &&
                         (WEXITSTATUS(*status) == 126 || WEXITSTATUS(*status) == 127);
    if (refused) {
      fallBack(
          "Whole-drive capture was not authorised (cancelled, or polkit refused it), so the folders "
          "are watched with inotify.");
      // The changes read before are this wait's; the notice and the fallback come next.
      if (!out.changes.empty()) return;
      for (WatchNotice& n : pending.notices) out.notices.push_back(std::move(n));
      pending.clear();
      return;
    }
    std::string message = "The capture helper ended (" +
                          (status ? describeStatus(*status) : std::string("it did not exit")) + ")";
    if (!lastLine.empty()) message += ": " + lastLine;
    // What it sent before it died is delivered first; the next wait fails.
    failure = message + ". Changes are no longer recorded; record again to restart it.";
    if (out.changes.empty() && out.notices.empty()) throw std::runtime_error(failure);
  }

  // Goes on with the fallback watch, after one notice that says why.
  void fallBack(std::string why) {
    pending.notices.push_back({{}, std::move(why)});
    auto watcher = fallback.watch(request);
    std::lock_guard guard(innerLock);
    inner = std::move(watcher);
  }

  ChangeWatching& fallback;
  WatchRequest request;
  int wakeFd = -1;
  bool elevated = false;
  bool started = false;  // the helper said it watches
  std::unique_ptr<HelperProcess> helper;
  linuxfs::HelperStreamDecoder decoder;
  ChangeBatch scratch;
  ChangeBatch pending;           // for the next wait: the notice of a fallback
  std::string failure;           // the helper died: every wait from now on fails with this
  mutable std::mutex innerLock;  // inner and roots, which wake() and watchedRoots() read
  std::vector<std::string> roots;
  std::unique_ptr<ChangeWatcher> inner;
};

}  // namespace

std::unique_ptr<ChangeWatcher> HelperChangeWatching::watch(const WatchRequest& request) {
  return std::make_unique<HelperChangeWatcher>(command, fallback, request);
}

int captureHelperPid(const ChangeWatcher& watcher) {
  if (const auto* helperWatcher = dynamic_cast<const HelperChangeWatcher*>(&watcher))
    return helperWatcher->helperPid();
  return 0;
}

}  // namespace tw
