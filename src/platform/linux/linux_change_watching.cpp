#include "platform/linux/linux_change_watching.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/linux/dir_tree.h"

namespace tw {

namespace linuxfs {

namespace {
constexpr auto kWriteReportInterval = std::chrono::seconds(1);
constexpr auto kProcessNameLife = std::chrono::seconds(1);
}  // namespace

const std::string& ProcessNames::nameOf(std::int32_t pid, std::chrono::steady_clock::time_point now) {
  static const std::string none;
  if (pid <= 0) return none;
  auto known = names.find(pid);
  if (known != names.end() && now - known->second.readAt < kProcessNameLife) return known->second.name;
  if (names.size() > 4096) names.clear();
  std::string name;
  const std::string file = procRoot + "/" + std::to_string(pid) + "/comm";
  if (FILE* comm = std::fopen(file.c_str(), "re")) {
    char buffer[64] = {};
    if (std::fgets(buffer, sizeof buffer, comm) != nullptr) {
      name = buffer;
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    }
    std::fclose(comm);
  }
  Known& entry = names[pid];
  entry = Known{std::move(name), now};
  return entry.name;
}

void WatchedRoot::setTarget(ChangeBatch* batch, std::chrono::system_clock::time_point moment) {
  target = batch;
  readAt = moment;
}

void WatchedRoot::readAgainAt(std::chrono::system_clock::time_point moment) {
  if (target != nullptr && moment > readAt) readAt = moment;
}

void WatchedRoot::notice(std::string message) {
  if (target == nullptr) return;
  WatchNotice n{root == "/" ? root : root + "/", std::move(message)};
  // One cause is said once per batch, however many times it struck.
  if (std::find(target->notices.begin(), target->notices.end(), n) == target->notices.end()) {
    target->notices.push_back(std::move(n));
  }
}

bool WatchedRoot::covers(const std::string& path) const { return isSameOrBelowPath(path, root); }

bool WatchedRoot::wants(EventKind kind) const {
  return kinds.test(static_cast<std::size_t>(eventNumber(kind)));
}

void WatchedRoot::report(EventKind kind, bool folder, const std::string& path, const std::string& newPath,
                         std::int32_t pid) {
  if (target == nullptr) return;
  Change c;
  c.kind = kind;
  c.folder = folder;
  c.path = path;
  c.newPath = newPath;
  c.pid = pid;
  c.time = readAt;
  target->changes.push_back(std::move(c));
}

void WatchedRoot::reportIfWanted(EventKind kind, const std::string& path) {
  if (wants(kind)) report(kind, true, path, {}, 0);
}

void WatchedRoot::change(RawChange&& c) {
  const auto send = [&](EventKind kind, const std::string& path, const std::string& newPath,
                        std::int32_t pid) {
    if (wants(kind)) report(kind, c.isDir, path, newPath, pid);
  };
  switch (c.kind) {
    case RawChange::Created:
      if (covers(c.path))
        send(c.isDir ? EventKind::FolderCreated : EventKind::FileCreated, c.path, {}, c.pid);
      break;
    case RawChange::Deleted:
      written.erase(c.path);
      if (covers(c.path))
        send(c.isDir ? EventKind::FolderDeleted : EventKind::FileDeleted, c.path, {}, c.pid);
      break;
    case RawChange::Renamed: {
      const bool from = covers(c.path);
      const bool to = covers(c.path2);
      if (auto w = written.find(c.path); w != written.end()) {
        const Written moved = w->second;
        written.erase(w);
        if (to) written[c.path2] = moved;
      }
      if (from && to) {
        send(c.isDir ? EventKind::FolderRenamed : EventKind::FileRenamed, c.path, c.path2, c.pid);
      } else if (from) {
        send(c.isDir ? EventKind::FolderDeleted : EventKind::FileDeleted, c.path, {}, c.pid);
      } else if (to) {
        send(c.isDir ? EventKind::FolderCreated : EventKind::FileCreated, c.path2, {}, c.pid);
      }
      break;
    }
    case RawChange::Attributes:
      if (covers(c.path)) send(EventKind::Attributes, c.path, {}, c.pid);
      break;
    case RawChange::Modified:
      if (covers(c.path) && wants(EventKind::FileUpdated)) {
        // The first write of a file waits up to a second for its close; a file kept open and
        // written goes on being reported once a second.
        written.try_emplace(c.path, Written{Clock::now() + kWriteReportInterval, c.pid});
      }
      break;
    case RawChange::Closed:
      if (auto w = written.find(c.path); w != written.end()) {
        const std::int32_t pid = c.pid != 0 ? c.pid : w->second.pid;
        written.erase(w);
        report(EventKind::FileUpdated, false, c.path, {}, pid);
      }
      break;
    case RawChange::Lost:
      // Changes were lost: the folder must be read again. Reported whatever the chosen kinds,
      // since leaving it out would lose them in silence, with the cause for the user.
      report(EventKind::FolderNeedsRescan, true, root, {}, c.pid);
      if (!c.reason.empty()) notice(std::move(c.reason));
      break;
  }
}

void WatchedRoot::flushDue(Clock::time_point now) {
  std::vector<std::pair<std::string, std::int32_t>> due;
  for (auto it = written.begin(); it != written.end();) {
    if (it->second.due <= now) {
      due.emplace_back(it->first, it->second.pid);
      it = written.erase(it);
    } else {
      ++it;
    }
  }
  std::sort(due.begin(), due.end());
  for (const auto& [path, pid] : due) report(EventKind::FileUpdated, false, path, {}, pid);
}

WatchedRoot::Clock::time_point WatchedRoot::nextDue() const {
  auto next = Clock::time_point::max();
  for (const auto& [path, w] : written) next = std::min(next, w.due);
  return next;
}

}  // namespace linuxfs

namespace {

// After a read that found changes, the watcher lets the kernel gather the next ones for this
// long before it looks again: under a burst it then reads thousands of events per wake-up
// instead of a handful, where each wake-up costs more than the events it reads. A wake() still
// ends the wait at once.
constexpr int kGatherMs = 10;
// The set-up of a large recursive inotify watch runs in slices of this long between reads, so that
// the changes of the folders already watched flow meanwhile.
constexpr std::chrono::milliseconds kSetupSlice{20};

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::vector<DriveInfo> blockDrives(Drives& drives) {
  std::vector<DriveInfo> found;
  for (DriveInfo& d : drives.drives()) {
    if (d.type == DriveType::Fixed || d.type == DriveType::Removable) found.push_back(std::move(d));
  }
  return found;
}

class LinuxChangeWatcher : public ChangeWatcher {
 public:
  LinuxChangeWatcher(Drives& drives, const WatchRequest& request, bool inotifyOnly, std::size_t inotifyMemory)
      : drives(drives), inotifyMemoryLimit(inotifyMemory) {
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
      throw std::runtime_error(std::string("Cannot start watching (eventfd): ") + std::strerror(errno));
    mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    knownDrives = blockDrives(drives);
    const auto now = std::chrono::system_clock::now();
    forceInotify = inotifyOnly;
    for (const std::string& asked : request.roots) start(asked, request.kinds, now);
  }

  ~LinuxChangeWatcher() override {
    roots.clear();
    if (returnFd >= 0) ::close(returnFd);
    if (mountFd >= 0) ::close(mountFd);
    ::close(wakeFd);
  }

  void wait(ChangeBatch& out) override {
    const std::size_t firstNew = out.changes.size();
    // What the start found (a root that could not be watched, changes reported while adding
    // watches) comes with the first wait.
    if (!startBatch.empty()) {
      for (WatchNotice& n : startBatch.notices) out.notices.push_back(std::move(n));
      for (Change& c : startBatch.changes) out.changes.push_back(std::move(c));
      startBatch.clear();
    }
    bool woken = false;
    while (out.changes.size() == firstNew && out.notices.empty() && !woken) {
      if (gatherNext) {
        gatherNext = false;
        struct pollfd wake {
          wakeFd, POLLIN, 0
        };
        if (::poll(&wake, 1, kGatherMs) < 0 && errno != EINTR) failed("poll");
      }
      std::vector<struct pollfd> fds;
      fds.push_back({wakeFd, POLLIN, 0});
      if (mountFd >= 0) fds.push_back({mountFd, POLLPRI, 0});
      const bool awaiting = returnFd >= 0;
      if (awaiting) fds.push_back({returnFd, POLLIN, 0});
      std::vector<linuxfs::WatchedRoot*> polled;
      for (const auto& r : roots) {
        if (r->source && !r->source->ended()) {
          fds.push_back({r->source->fd(), POLLIN, 0});
          polled.push_back(r.get());
        }
      }
      if (::poll(fds.data(), fds.size(), pollTimeoutMs()) < 0) {
        if (errno == EINTR) continue;
        failed("poll");
      }
      if (fds[0].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        woken = true;
      }
      const auto readAt = std::chrono::system_clock::now();
      for (const auto& r : roots) r->setTarget(&out, readAt);
      std::size_t at = 1;
      bool retry = false;
      if (mountFd >= 0) {
        if (fds[at].revents & (POLLPRI | POLLERR)) {
          checkMounts();
          retry = true;
        }
        ++at;
      }
      if (awaiting) {
        if (fds[at].revents & POLLIN) {
          char drained[4096];
          while (::read(returnFd, drained, sizeof drained) > 0) {
          }
          retry = true;
        }
        ++at;
      }
      for (std::size_t i = 0; i < polled.size(); ++i, ++at) {
        linuxfs::WatchedRoot* r = polled[i];
        if (!r->source) continue;  // ended by the mount check above
        if (fds[at].revents & POLLIN) {
          r->source->readAvailable(*r);
          gatherNext = gatherNext || r->source->mayGather();
        }
        if (woken) r->source->catchUp(*r);
        if (fds[at].revents & (POLLERR | POLLHUP | POLLNVAL)) r->source.reset();
      }
      // A root whose folder went stops being read; it is awaited from now on.
      bool wentAway = false;
      for (const auto& r : roots) {
        if (r->source && r->source->ended()) {
          r->source.reset();
          wentAway = true;
        }
      }
      if (wentAway) awaitReturns();
      if (wentAway || retry) retryGoneRoots();
      const auto now = linuxfs::WatchedRoot::Clock::now();
      continueSetups(now);
      for (const auto& r : roots) {
        r->flushDue(now);
        r->setTarget(nullptr, readAt);
      }
    }
    // The names of the processes that made the changes, read now, while short-lived ones are
    // most likely still there.
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = firstNew; i < out.changes.size(); ++i) {
      Change& c = out.changes[i];
      if (c.pid != 0 && c.process.empty()) c.process = processes.nameOf(c.pid, now);
    }
  }

  void wake() override {
    const std::uint64_t one = 1;
    // The counter cannot overflow in practice; a failed write leaves the next wait to its events.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
  }

  std::vector<std::string> watchedRoots() const override {
    std::vector<std::string> result;
    for (const auto& r : roots) {
      if (r->source && !r->source->ended()) result.push_back(askedRootOf.at(r.get()));
    }
    return result;
  }

  std::vector<WatchMechanism> mechanisms() const {
    std::vector<WatchMechanism> result;
    for (const auto& r : roots) {
      if (r->source)
        result.push_back({askedRootOf.at(r.get()), r->source->kind(), r->source->foldersKnown()});
    }
    return result;
  }

 private:
  [[noreturn]] static void failed(const char* what) {
    throw std::runtime_error("Watching for changes failed (" + std::string(what) +
                             "): " + std::strerror(errno));
  }

  void start(const std::string& asked, EventKindSet kinds, std::chrono::system_clock::time_point now) {
    const std::string path = withoutTrailingSlash(asked);
    struct stat st {};
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      const int error = path.empty() || path.front() != '/' ? EINVAL : (errno != 0 ? errno : ENOTDIR);
      startBatch.notices.push_back({asked, "Cannot watch " + asked + ": " + std::strerror(error)});
      return;
    }
    auto root = std::make_unique<linuxfs::WatchedRoot>(path, kinds);
    root->setTarget(&startBatch, now);
    const std::string error = startSource(*root);
    root->setTarget(nullptr, now);
    if (!root->source) {
      startBatch.notices.push_back({asked, "Cannot watch " + asked + ": " + error});
      return;
    }
    askedRootOf[root.get()] = asked;
    roots.push_back(std::move(root));
  }

  // Starts the kernel source of a root: fanotify first (the whole file system, paired renames,
  // no queue limit); inotify when it cannot start (not root, or a file system without file
  // handles). Empty on success, else why neither started.
  std::string startSource(linuxfs::WatchedRoot& root) {
    std::string error;
    if (!forceInotify) root.source = linuxfs::startFanotifySource(root.root, error);
    if (!root.source) {
      std::string inotifyError;
      root.source = linuxfs::startInotifySource(root.root, true, root, inotifyError, inotifyMemoryLimit);
      if (!root.source) error += (error.empty() ? "" : "; ") + inotifyError;
    }
    return root.source ? std::string() : error;
  }

  // Roots whose folder went (removed, moved away, or unmounted) are watched again when they come
  // back. A removed or moved one is awaited through a small inotify watch of its nearest
  // folder that exists, so nothing wakes while it is away; an unmounted one when a drive is
  // mounted at its path.
  void awaitReturns() {
    if (returnFd >= 0) {
      ::close(returnFd);
      returnFd = -1;
    }
    for (const auto& r : roots) {
      if (r->source || r->unmounted) continue;
      if (returnFd < 0) returnFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      if (returnFd < 0) return;  // then a root that comes back is not seen; the user was told it went
      std::string at = r->root;
      while (at != "/") {
        const auto slash = at.rfind('/');
        at = slash == 0 ? std::string("/") : at.substr(0, slash);
        if (::inotify_add_watch(returnFd, at.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) >= 0) break;
      }
    }
  }

  // Watches again every gone root whose folder is back (after the watch that awaits it was added,
  // so that a quick return is not missed).
  void retryGoneRoots() {
    bool stillAway = false;
    for (const auto& r : roots) {
      if (r->source) continue;
      struct stat st {};
      const bool back =
          ::stat(r->root.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (!r->unmounted || isDriveRoot(r->root));
      if (!back) {
        stillAway = stillAway || !r->unmounted;
        continue;
      }
      // The target is this wait's batch (set for every root while a wait reads).
      if (startSource(*r).empty()) {
        r->unmounted = false;
        r->reportIfWanted(EventKind::FolderCreated, r->root);
        r->source->reportExisting(*r);
        r->notice("The watched folder " + r->root + " is back and watched again.");
      } else {
        stillAway = stillAway || !r->unmounted;
      }
    }
    if (!stillAway && returnFd >= 0) {
      ::close(returnFd);
      returnFd = -1;
    }
  }

  bool isDriveRoot(const std::string& path) {
    const auto found = blockDrives(drives);
    return std::any_of(found.begin(), found.end(),
                       [&](const DriveInfo& d) { return withoutTrailingSlash(d.root) == path; });
  }

  void checkMounts() {
    std::vector<DriveInfo> now = blockDrives(drives);
    const auto mountPoint = [](const DriveInfo& d) { return withoutTrailingSlash(d.root); };
    const auto has = [](const std::vector<DriveInfo>& list, const DriveInfo& d) {
      return std::any_of(list.begin(), list.end(), [&](const DriveInfo& x) { return x.root == d.root; });
    };
    // The root that reports a drive event: the deepest one that holds the mount point, else one
    // that lies on that drive.
    const auto reporter = [this](const std::string& mp) -> linuxfs::WatchedRoot* {
      linuxfs::WatchedRoot* best = nullptr;
      for (const auto& r : roots) {
        if (linuxfs::isSameOrBelowPath(mp, r->root) && (!best || r->root.size() > best->root.size()))
          best = r.get();
      }
      if (best) return best;
      for (const auto& r : roots) {
        if (linuxfs::isSameOrBelowPath(r->root, mp)) return r.get();
      }
      return nullptr;
    };
    for (const DriveInfo& d : knownDrives) {
      if (has(now, d)) continue;
      const std::string mp = mountPoint(d);
      if (auto* r = reporter(mp)) r->reportIfWanted(EventKind::DriveRemoved, mp);
      // A root on the drive that went away reads nothing more, until a drive is mounted there.
      for (const auto& r : roots) {
        if (linuxfs::isSameOrBelowPath(r->root, mp)) {
          r->source.reset();
          r->unmounted = true;
        }
      }
    }
    for (const DriveInfo& d : now) {
      if (has(knownDrives, d)) continue;
      const std::string mp = mountPoint(d);
      if (auto* r = reporter(mp)) r->reportIfWanted(EventKind::DriveAdded, mp);
    }
    knownDrives = std::move(now);
  }

  // A slice of the set-up of every root whose set-up goes on while changes flow, and its
  // progress said at most once a second, and once more when it is through.
  void continueSetups(linuxfs::WatchedRoot::Clock::time_point now) {
    for (const auto& r : roots) {
      if (!r->source || !r->source->setupPending()) continue;
      r->source->continueSetup(*r, kSetupSlice);
      const bool through = !r->source->setupPending();
      if (through || now - lastProgress >= std::chrono::seconds(1)) {
        lastProgress = now;
        r->notice(r->source->setupProgress() +
                  (through ? " (" + std::string(r->source->kind()) + ")." : "..."));
      }
    }
  }

  bool setupPending() const {
    return std::any_of(roots.begin(), roots.end(),
                       [](const auto& r) { return r->source && r->source->setupPending(); });
  }

  int pollTimeoutMs() const {
    if (setupPending()) return 0;  // the set-up goes on between reads
    auto next = linuxfs::WatchedRoot::Clock::time_point::max();
    for (const auto& r : roots) next = std::min(next, r->nextDue());
    if (next == linuxfs::WatchedRoot::Clock::time_point::max()) return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - linuxfs::WatchedRoot::Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 60'000));
  }

  Drives& drives;
  int wakeFd = -1;
  int mountFd = -1;
  int returnFd = -1;  // awaits the return of removed or moved roots
  bool forceInotify = false;
  std::size_t inotifyMemoryLimit = 0;
  std::vector<std::unique_ptr<linuxfs::WatchedRoot>> roots;
  std::unordered_map<const linuxfs::WatchedRoot*, std::string> askedRootOf;
  ChangeBatch startBatch;              // what the start found, for the first wait
  std::vector<DriveInfo> knownDrives;  // block-device drives at the last look
  bool gatherNext = false;             // the last wait read changes: let the next ones gather first
  linuxfs::WatchedRoot::Clock::time_point lastProgress{};
  linuxfs::ProcessNames processes;
};

}  // namespace

std::unique_ptr<ChangeWatcher> LinuxChangeWatching::watch(const WatchRequest& request) {
  return std::make_unique<LinuxChangeWatcher>(drives, request, forceInotify.load(),
                                              inotifyMemoryLimit.load());
}

EventKindSet LinuxChangeWatching::producibleKinds() const {
  EventKindSet kinds;
  for (const EventKind kind :
       {EventKind::Attributes, EventKind::FileCreated, EventKind::FileDeleted, EventKind::DriveAdded,
        EventKind::DriveRemoved, EventKind::FolderCreated, EventKind::FolderRenamed, EventKind::FileRenamed,
        EventKind::FolderDeleted, EventKind::FolderNeedsRescan, EventKind::FileUpdated})
    kinds.set(static_cast<std::size_t>(eventNumber(kind)));
  return kinds;
}

void LinuxChangeWatching::prepareThread() {
  // A clear boost that stays below real-time scheduling (which would be time-critical): nice -10
  // where permitted, else as far towards it as RLIMIT_NICE allows, else nothing.
  const id_t tid = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, tid);
  if (current == -1 && errno != 0) return;
  constexpr int kWanted = -10;
  if (current <= kWanted) return;
  if (::setpriority(PRIO_PROCESS, tid, kWanted) == 0) return;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NICE, &limit) != 0 || limit.rlim_cur == 0) return;
  const int floor = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
  const int best = std::max(floor, kWanted);
  if (best < current) ::setpriority(PRIO_PROCESS, tid, best);
}

std::vector<WatchMechanism> watchMechanisms(const ChangeWatcher& watcher) {
  if (const auto* linuxWatcher = dynamic_cast<const LinuxChangeWatcher*>(&watcher))
    return linuxWatcher->mechanisms();
  return {};
}

}  // namespace tw
