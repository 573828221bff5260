// Recursive inotify: one watch per folder below the root, added as folders appear.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/text/numbers.h"
#include "platform/linux/change_source.h"
#include "platform/linux/dir_tree.h"
#include "platform/linux/mount_table.h"

namespace tw::linuxfs {

namespace {

// How long a move out may wait for its other half.
constexpr int kMoveHalfWaitMs = 20;

constexpr std::size_t kReadBytes = 256u << 10;
// What the drain thread may hold in memory before it leaves the rest in the kernel's queue
// (about two million events).
constexpr std::size_t kDrainCapBytes = std::size_t{64} << 20;
// How long a wait for the drain thread to have read everything may take before the source goes
// on without it (the thread is only ever a read away).
constexpr std::chrono::seconds kDrainBarrierLimit{2};
// How long the drain lets a queue that a pass found far from full fill before the next pass: a
// queue of 16,384 events (the kernel's default) in 5 ms overflows only beyond 2.4 million
// events a second, a smaller one in 1 ms beyond about 700,000 for 1,024 events.
constexpr std::size_t kLongPauseQueue = 8192;
constexpr int kLongPauseMs = 5;
constexpr int kShortPauseMs = 1;

constexpr std::uint32_t kDirMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                   IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                   IN_DONT_FOLLOW | IN_EXCL_UNLINK;

// A limit of the kernel's inotify, from /proc/sys/fs/inotify; 0 when it cannot be read.
std::size_t inotifyLimit(const char* name) {
  std::ifstream in(std::string("/proc/sys/fs/inotify/") + name);
  std::size_t value = 0;
  in >> value;
  return value;
}

// Gives the calling thread the lowest real-time priority where that is permitted (root, or an
// RLIMIT_RTPRIO above 0), so that it runs the moment the kernel wakes it rather than after the
// slice of whatever runs on its processor (often the thread that handles the events it reads,
// several milliseconds, in which a small queue overflows). For a thread that only moves what
// the kernel queued into memory and sleeps again; where it is not permitted nothing changes.
void runBeforeOtherThreads() {
  struct sched_param lowest {};
  lowest.sched_priority = ::sched_get_priority_min(SCHED_FIFO);
  ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &lowest);
}

// Reads an inotify descriptor on a thread of its own as fast as the kernel fills it: the
// kernel's queue is small (fs.inotify.max_queued_events, 16,384 by default and often less) and
// overflows during a burst whenever the thread that handles the events is busy for a moment
// (a new folder's scan, a slice of set-up, the other roots, the hand-over). The events then wait
// here, in memory, in the order they were read, and the handling thread takes them in blocks.
//
// Threads: the drain thread is started by the constructor and joined by the destructor; every
// other member function is called by the one thread that handles the events.
class QueueDrain {
 public:
  struct Block {
    std::vector<char> events;
    std::chrono::system_clock::time_point readAt;  // when the read that brought them returned
    // Set on the last block of a pass that found the kernel's queue empty: when it did.
    std::optional<std::chrono::system_clock::time_point> queueEmptyAt;
  };

  // Holds at most `limitBytes` of events (at least one read's worth).
  QueueDrain(int inotifyFd, std::size_t limitBytes, std::size_t queueLimit)
      : inotifyFd(inotifyFd), limitBytes(limitBytes), queueLimit(queueLimit) {
    signal = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    wakeDrain = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (signal < 0 || wakeDrain < 0) {
      const int error = errno;
      closeAll();
      throw std::runtime_error(std::string("eventfd: ") + std::strerror(error));
    }
    thread = std::thread([this] { run(); });
  }
  ~QueueDrain() {
    {
      const std::lock_guard guard(lock);
      stopping = true;
    }
    changed.notify_all();
    poke(wakeDrain);
    thread.join();
    closeAll();
  }
  QueueDrain(const QueueDrain&) = delete;
  QueueDrain& operator=(const QueueDrain&) = delete;

  // Readable while blocks wait to be taken.
  int signalFd() const { return signal; }

  // The blocks read since the last take, oldest first.
  std::vector<Block> take() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(signal, &count, sizeof count);  // before the swap
    std::vector<Block> taken;
    {
      const std::lock_guard guard(lock);
      taken.swap(blocks);
      heldBytes = 0;
    }
    changed.notify_all();
    return taken;
  }

  // Everything the kernel had queued when this is called: waits for a pass of the drain
  // thread that began after the call and found the queue empty, then takes.
  std::vector<Block> takeAll() {
    std::uint64_t target = 0;
    {
      const std::lock_guard guard(lock);
      target = ++requested;
    }
    poke(wakeDrain);
    {
      std::unique_lock guard(lock);
      changed.wait_for(guard, kDrainBarrierLimit, [&] {
        // A full drain reads on only once something is taken.
        return drainedTo >= target || stopping || readError != 0 || full();
      });
    }
    return take();
  }

  // Waits at most `limit` for a block to be read; takes nothing.
  bool waitForMore(std::chrono::milliseconds limit) {
    std::unique_lock guard(lock);
    return changed.wait_for(guard, limit, [&] { return !blocks.empty() || readError != 0; }) &&
           !blocks.empty();
  }

  // The error that ended the drain thread's reads; 0 while it reads.
  int failure() {
    const std::lock_guard guard(lock);
    return readError;
  }

 private:
  static void poke(int fd) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
  }

  // Called with `lock` held.
  bool full() const { return heldBytes != 0 && heldBytes >= limitBytes; }

  void closeAll() {
    if (signal >= 0) ::close(signal);
    if (wakeDrain >= 0) ::close(wakeDrain);
  }

  void run() {
    // Started by the watching thread, it inherits that thread's raised priority
    // (ChangeWatching::prepareThread), which is what a thread whose delay overflows the kernel's
    // queue needs.
    runBeforeOtherThreads();
    std::vector<char> buffer(kReadBytes);
    for (;;) {
      struct pollfd fds[2] = {{inotifyFd, POLLIN, 0}, {wakeDrain, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
        fail(errno);
        return;
      }
      if (fds[1].revents & POLLIN) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeDrain, &count, sizeof count);
      }
      std::uint64_t passFor = 0;
      {
        const std::lock_guard guard(lock);
        if (stopping) return;
        passFor = requested;
      }
      // Reads until the queue is empty, holding at most limitBytes: beyond that the rest stays
      // in the kernel's queue, which overflows and says so, as it would without us.
      bool pushed = false;
      std::size_t eventsRead = 0;
      for (;;) {
        {
          std::unique_lock guard(lock);
          changed.wait(guard, [&] { return stopping || !full(); });
          if (stopping) return;
        }
        const ssize_t n = ::read(inotifyFd, buffer.data(), kReadBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        if (n <= 0) {
          fail(n < 0 ? errno : EIO);
          return;
        }
        const auto readAt = std::chrono::system_clock::now();
        {
          const std::lock_guard guard(lock);
          // A block of its own size (operator new aligns it for the events it holds).
          blocks.push_back({std::vector<char>(buffer.begin(), buffer.begin() + n), readAt, std::nullopt});
          heldBytes += static_cast<std::size_t>(n);
        }
        pushed = true;
        for (ssize_t at = 0; at < n; ++eventsRead) {
          at += static_cast<ssize_t>(sizeof(struct inotify_event) +
                                     reinterpret_cast<const struct inotify_event*>(buffer.data() + at)->len);
        }
      }
      {
        const std::lock_guard guard(lock);
        const auto now = std::chrono::system_clock::now();
        if (!blocks.empty() && pushed) {
          blocks.back().queueEmptyAt = now;
        } else if (passFor > drainedTo) {
          blocks.push_back({{}, now, now});  // a pass that was asked for says when it found nothing
          pushed = true;
        }
        drainedTo = passFor;
      }
      changed.notify_all();
      if (pushed) poke(signal);
      // Under a burst the kernel queues events one by one as they happen: a pass per event
      // would cost three system calls each. A pass that found the queue far from full lets it
      // fill for a moment (a stop or a request for a pass ends the moment at once); at the
      // queue's size that moment is too short for any burst to overflow it.
      if (eventsRead * 4 < queueLimit || queueLimit == 0) {
        struct pollfd wake {
          wakeDrain, POLLIN, 0
        };
        ::poll(&wake, 1, queueLimit >= kLongPauseQueue ? kLongPauseMs : kShortPauseMs);
      }
    }
  }

  void fail(int error) {
    {
      const std::lock_guard guard(lock);
      readError = error;
    }
    changed.notify_all();
    poke(signal);
  }

  const int inotifyFd;
  const std::size_t limitBytes;
  const std::size_t queueLimit;  // the kernel's, in events; 0 when unknown
  int signal = -1;               // readable while blocks wait
  int wakeDrain = -1;            // wakes the drain thread: a stop, or a pass asked for
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Block> blocks;
  std::size_t heldBytes = 0;
  std::uint64_t requested = 0;  // passes asked for by takeAll
  std::uint64_t drainedTo = 0;  // the last of them that a complete pass answered
  int readError = 0;
  bool stopping = false;
  std::thread thread;  // last: started once everything above exists
};

class InotifySource : public ChangeSource {
 public:
  InotifySource(int fd, std::string root, bool recursive, std::size_t memoryLimit)
      : inotifyFd(fd),
        queueLimit(inotifyLimit("max_queued_events")),
        drain(std::make_unique<QueueDrain>(fd, memoryLimit == 0 ? kDrainCapBytes : memoryLimit, queueLimit)),
        root(std::move(root)),
        recursive(recursive) {}
  ~InotifySource() override {
    drain.reset();  // its thread reads inotifyFd
    ::close(inotifyFd);
  }
  InotifySource(const InotifySource&) = delete;
  InotifySource& operator=(const InotifySource&) = delete;

  bool start(std::string& error) {
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = root + ": " + std::strerror(errno ? errno : ENOTDIR);
      return false;
    }
    rootDev = st.st_dev;
    rootNode = tree.addDetached(root);
    // The root's own watch now, so that its changes flow at once; the folders below are
    // watched a slice at a time while changes flow (continueSetup), the mount table read once
    // for that walk.
    const int wd = ::inotify_add_watch(inotifyFd, root.c_str(), kDirMask);
    if (wd < 0) {
      error = "inotify_add_watch " + root + ": " + std::strerror(errno);
      if (errno == ENOSPC) error += limitAdvice();
      return false;
    }
    bindWatch(wd, rootNode);
    ++watched;
    if (recursive) {
      mountPoints = mountPointsBelow(root);
      setup.push_back({rootNode, Walk::Listing});
    }
    return true;
  }

  int fd() const override { return drain->signalFd(); }
  bool ended() const override { return rootGone; }
  const char* kind() const override { return "inotify"; }
  std::size_t foldersKnown() const override { return watched; }
  bool setupPending() const override { return !setup.empty(); }

  void reportExisting(ChangeSink& sink) override {
    // The set-up walk of a root that came back reports what it finds: it is all new.
    for (Step& step : setup) {
      if (step.walk == Walk::Listing) step.walk = Walk::NewFolder;
    }
    if (!recursive) walkNow(rootNode, Walk::NewFolder, sink);
  }

  void continueSetup(ChangeSink& sink, std::chrono::milliseconds budget) override {
    const auto until = std::chrono::steady_clock::now() + budget;
    for (int done = 0; !setup.empty(); ++done) {
      if (done % 16 == 0 && std::chrono::steady_clock::now() >= until) break;
      const Step step = setup.back();
      setup.pop_back();
      if (!tree.contains(step.node)) continue;  // gone meanwhile
      visit(step, sink, setup);
    }
    if (setup.empty()) {
      reportBlindFolders(sink);
      reportedDuringRescan.clear();
      rescanning = false;
    }
  }

  std::string setupProgress() const override {
    std::string text =
        withThousandsSeparators(watched) + (watched == 1 ? " folder" : " folders") + " watched under " + root;
    if (!setup.empty()) text += ", more being added";
    return text;
  }

  void catchUp(ChangeSink& sink) override {
    handleBlocks(drain->takeAll(), sink);
    readAvailable(sink);
  }

  void readAvailable(ChangeSink& sink) override {
    for (;;) {
      handleBlocks(drain->take(), sink);
      // The create events of what a scan of a new folder reported are queued by now, and must
      // be read before `scanned` is forgotten below.
      while (!scanned.empty()) {
        std::vector<QueueDrain::Block> rest = drain->takeAll();
        const bool anyEvents = std::any_of(rest.begin(), rest.end(),
                                           [](const QueueDrain::Block& b) { return !b.events.empty(); });
        handleBlocks(rest, sink);
        if (!anyEvents) break;
      }
      // The kernel queues the two halves of a rename one after the other, so a read can end
      // between them: give the second half a moment before a lone first half counts as a
      // move out.
      if (!pending || !drain->waitForMore(std::chrono::milliseconds(kMoveHalfWaitMs))) break;
    }
    flushPendingMove(sink);
    // Every create event of a file that a scan already reported has been read by now.
    scanned.clear();
    if (const int error = drain->failure(); error != 0 && !readFailureReported) {
      readFailureReported = true;
      sink.change({RawChange::Lost,
                   true,
                   root,
                   {},
                   0,
                   "Reading the changes under " + root + " from inotify failed (" + std::strerror(error) +
                       "): further changes there are not seen."});
    }
  }

 private:
  void handleBlocks(const std::vector<QueueDrain::Block>& blocks, ChangeSink& sink) {
    for (const QueueDrain::Block& block : blocks) {
      sink.readAgainAt(block.readAt);
      const char* data = block.events.data();
      const std::size_t size = block.events.size();
      for (std::size_t at = 0; at + sizeof(struct inotify_event) <= size;) {
        const auto* ev = reinterpret_cast<const struct inotify_event*>(data + at);
        at += sizeof(struct inotify_event) + ev->len;
        handle(*ev, sink);
      }
      if (block.queueEmptyAt) {
        // Every change made before then has been read: an overflow from here on lost only what
        // came later, and the paths reported so far need not be kept for its rescan.
        lastDrained = *block.queueEmptyAt;
        createdThisRead.clear();
      }
    }
  }

  // How a folder is visited when its watch is added.
  enum class Walk {
    Listing,    // the start: its subfolders are watched too, nothing is reported
    NewFolder,  // it just appeared: everything found inside was made before its watch existed
    Rescan,     // after an overflow: what appeared since the last complete read is reported
  };
  struct Step {
    DirTree::NodeId node;
    Walk walk;
  };
  struct PendingMove {
    std::uint32_t cookie = 0;
    DirTree::NodeId parent = 0;
    std::string name;
    std::string path;
    bool isDir = false;
  };

  std::string limitAdvice() const {
    // The limit that binds is the user namespace's; it is the file system's setting outside
    // containers.
    std::size_t limit = 0;
    std::ifstream("/proc/sys/user/max_inotify_watches") >> limit;
    if (limit == 0) limit = inotifyLimit("max_user_watches");
    return " (the limit of inotify watches, fs.inotify.max_user_watches = " + withThousandsSeparators(limit) +
           ", is reached: raise it, for example with sysctl fs.inotify.max_user_watches=1048576)";
  }

  void bindWatch(int wd, DirTree::NodeId node) {
    nodeOfWatch[wd] = node;
    watchOfNode[node] = wd;
  }

  // Watches every folder of the subtree at `top` at once (a folder that just appeared, or one
  // moved in, is small).
  void walkNow(DirTree::NodeId top, Walk walk, ChangeSink& sink) {
    std::vector<Step> stack{{top, walk}};
    while (!stack.empty()) {
      const Step step = stack.back();
      stack.pop_back();
      visit(step, sink, stack);
    }
  }

  // Adds the watch of one folder, reads its entries and queues its subfolders on `next`.
  void visit(const Step& step, ChangeSink& sink, std::vector<Step>& next) {
    const DirTree::NodeId node = step.node;
    const std::string dir = tree.path(node);
    if (watchOfNode.find(node) == watchOfNode.end()) {
      const int wd = ::inotify_add_watch(inotifyFd, dir.c_str(), kDirMask);
      if (wd < 0) {
        refused(step, dir, errno, sink);
        return;
      }
      if (auto known = nodeOfWatch.find(wd); known != nodeOfWatch.end() && known->second != node) {
        if (tree.contains(known->second)) return;  // the same folder reached twice
      }
      bindWatch(wd, node);
      ++watched;
    }
    if (!recursive && node != rootNode) return;
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (dirFd < 0) return;
    // A large walk tells mount points by the mount table, read once, and asks the file system
    // only about folders listed there: so a folder costs its watch, an open, its entries and a
    // close, with no look-up per subfolder. A folder that just appeared is small: its subfolders
    // are asked one by one.
    const bool byTable = step.walk != Walk::NewFolder && mountPoints.has_value();
    bool foundAny = false;
    forEachEntry(dirFd, [&](std::string_view name, unsigned char type) {
      foundAny = true;
      bool isDir = type == DT_DIR;
      bool sameMount = true;
      const bool mountPoint = isDir && byTable && mountPoints->contains(DirTree::join(dir, name));
      const std::string entry(name);
      struct statx sx {};
      const bool needStat =
          type == DT_UNKNOWN || (isDir && (!byTable || mountPoint)) || step.walk == Walk::Rescan;
      if (needStat) {
        if (::statx(dirFd, entry.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BTIME, &sx) != 0) return;
        isDir = S_ISDIR(sx.stx_mode);
        sameMount = makedev(sx.stx_dev_major, sx.stx_dev_minor) == rootDev;
      }
      const bool appeared = step.walk == Walk::NewFolder ||
                            (step.walk == Walk::Rescan && (sx.stx_mask & STATX_BTIME) != 0 &&
                             sx.stx_btime.tv_sec >= std::chrono::system_clock::to_time_t(rescanSince));
      if (appeared) {
        std::string path = DirTree::join(dir, name);
        // After an overflow, what the events have reported since is not reported again.
        if (step.walk != Walk::Rescan || !reportedDuringRescan.contains(path)) {
          scanned.insert(path);
          sink.change({RawChange::Created, isDir, std::move(path), {}, 0});
        }
      }
      if (isDir && sameMount && recursive) {
        const DirTree::NodeId child = tree.addChild(node, name);
        next.push_back({child, step.walk == Walk::NewFolder || appeared ? Walk::NewFolder : step.walk});
      }
    });
    if (step.walk == Walk::NewFolder && !foundAny) {
      // Empty now, yet changed after it was made: something was made in it and removed again
      // before its watch existed.
      struct statx sx {};
      if (::statx(dirFd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &sx) == 0 &&
          (sx.stx_mask & STATX_BTIME) &&
          (sx.stx_mtime.tv_sec != sx.stx_btime.tv_sec || sx.stx_mtime.tv_nsec != sx.stx_btime.tv_nsec)) {
        lostInNewFolder(sink);
      }
    }
    ::close(dirFd);
  }

  // A watch that could not be added: what it means for the changes, said once per cause.
  void refused(const Step& step, const std::string& dir, int error, ChangeSink& sink) {
    if (error == ENOENT || error == ENOTDIR) {
      // Gone before its watch existed. A folder that just appeared may have had changes inside;
      // one that vanished during a walk is reported by its parent's watch.
      if (step.walk != Walk::Listing) lostInNewFolder(sink);
      tree.remove(step.node);
      return;
    }
    if (isRoot(step.node)) return;
    ++blind[error];
    if (blindExample.find(error) == blindExample.end()) blindExample[error] = dir;
    if (error == ENOSPC && !limitReported) {
      limitReported = true;
      sink.change(
          {RawChange::Lost,
           true,
           root,
           {},
           0,
           "Changes in " + dir + " and other folders under " + root + " are not seen" + limitAdvice() + "."});
    }
  }

  bool isRoot(DirTree::NodeId node) const { return node == rootNode; }

  // A path the events reported as made: kept for this read, in case it ends in an overflow,
  // and while a rescan after one goes on.
  void noteCreated(const std::string& path) {
    if (rescanning) {
      reportedDuringRescan.insert(path);
    } else {
      createdThisRead.insert(path);
    }
  }

  void lostInNewFolder(ChangeSink& sink) {
    sink.change(
        {RawChange::Lost,
         true,
         root,
         {},
         0,
         "A folder under " + root +
             " changed before it could be watched: inotify cannot see what is made and removed in a new "
             "folder before its watch exists (recording as root uses fanotify, which can)."});
  }

  // Once the set-up is through: the folders that could not be watched, by cause.
  void reportBlindFolders(ChangeSink& sink) {
    for (const auto& [error, count] : blind) {
      if (error == ENOSPC) continue;  // said as a loss already
      sink.notice(withThousandsSeparators(count) + (count == 1 ? " folder" : " folders") + " under " + root +
                  " (" + blindExample[error] + (count > 1 ? " and others" : "") +
                  ") cannot be watched: " + std::strerror(error) + "; changes there are not seen.");
    }
    blind.clear();
  }

  // Calls `f(name, d_type)` for each entry of an open folder but "." and "..", reading the
  // entries in large blocks.
  template <typename F>
  void forEachEntry(int dirFd, F&& f) {
    for (;;) {
      const ssize_t n = ::getdents64(dirFd, entries.data(), entries.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(entries.data() + at);
        at += entry->d_reclen;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        f(name, entry->d_type);
      }
    }
  }

  // The mount points at or below `top`, from the mount table; none when the table cannot be
  // read (then every subfolder is asked).
  static std::optional<std::unordered_set<std::string>> mountPointsBelow(const std::string& top) {
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::unordered_set<std::string> points;
    std::string text;
    char block[16 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd, block, sizeof block);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ::close(fd);
        return std::nullopt;
      }
      if (n == 0) break;
      text.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    for (MountEntry& entry : parseMountInfo(text)) {
      if (isSameOrBelowPath(entry.mountPoint, top)) points.insert(std::move(entry.mountPoint));
    }
    return points;
  }

  void unwatchTree(DirTree::NodeId node) {
    tree.remove(node, [this](DirTree::NodeId removed) {
      auto w = watchOfNode.find(removed);
      if (w == watchOfNode.end()) return;
      ::inotify_rm_watch(inotifyFd, w->second);
      nodeOfWatch.erase(w->second);
      watchOfNode.erase(w);
      if (watched > 0) --watched;
    });
  }

  void flushPendingMove(ChangeSink& sink) {
    if (!pending) return;
    PendingMove move = std::move(*pending);
    pending.reset();
    if (move.isDir) {
      if (const auto node = tree.child(move.parent, move.name)) unwatchTree(node);
    }
    sink.change({RawChange::Deleted, move.isDir, std::move(move.path), {}, 0});
  }

  void handle(const struct inotify_event& ev, ChangeSink& sink) {
    if (ev.mask & IN_Q_OVERFLOW) {
      flushPendingMove(sink);
      sink.change(
          {RawChange::Lost,
           true,
           root,
           {},
           0,
           "The kernel's inotify event queue overflowed (fs.inotify.max_queued_events = " +
               withThousandsSeparators(queueLimit) + "): changes under " + root +
               " were lost; what appeared meanwhile is reported as found (raise the limit, for example "
               "with sysctl fs.inotify.max_queued_events=1048576)."});
      // Folders made while events were lost may have no watch yet, and what appeared since the
      // last complete read is reported as it is found, but for what this read has reported.
      if (!rootGone && recursive) {
        if (!rescanning) rescanSince = lastDrained;
        rescanning = true;
        reportedDuringRescan.merge(createdThisRead);
        setup.push_back({rootNode, Walk::Rescan});
      }
      return;
    }
    auto w = nodeOfWatch.find(ev.wd);
    if (w == nodeOfWatch.end()) return;
    const DirTree::NodeId node = w->second;
    if (ev.mask & IN_IGNORED) {
      nodeOfWatch.erase(w);
      watchOfNode.erase(node);
      if (watched > 0) --watched;
      if (node == rootNode) rootGone = true;  // removed, or its file system unmounted
      return;
    }
    if (ev.mask & IN_UNMOUNT) {
      if (node == rootNode) rootGone = true;
      return;
    }
    if (!tree.contains(node)) return;
    const bool isDir = (ev.mask & IN_ISDIR) != 0;
    if (ev.len == 0 || ev.name[0] == '\0') {
      // An event of the watched folder itself: its parent's watch reports it, except for the
      // root, which has no watched parent.
      if (node == rootNode && (ev.mask & IN_ATTRIB)) sink.change({RawChange::Attributes, true, root, {}, 0});
      if (node == rootNode && (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF))) {
        // The watched folder itself went (its removal, or a move away): from here on nothing is
        // seen at its path. Reported as the removal of the folder at that path.
        rootGone = true;
        flushPendingMove(sink);
        sink.change({RawChange::Deleted, true, root, {}, 0});
        sink.notice("The watched folder " + root + " was " +
                    ((ev.mask & IN_DELETE_SELF) ? "removed" : "moved away") +
                    ": its changes are no longer recorded; it is watched again if it comes back.");
      }
      return;
    }
    const std::string_view name(ev.name);
    std::string path = DirTree::join(tree.path(node), name);

    if (!(ev.mask & IN_MOVED_TO)) flushPendingMove(sink);

    if (ev.mask & (IN_CREATE | IN_MOVED_TO)) noteCreated(path);
    if (ev.mask & IN_CREATE) {
      if (scanned.erase(path) != 0) return;  // a scan of its new parent reported it already
      if (isDir && recursive) {
        sink.change({RawChange::Created, true, path, {}, 0});
        walkNow(tree.addChild(node, name), Walk::NewFolder, sink);
      } else {
        sink.change({RawChange::Created, isDir, std::move(path), {}, 0});
      }
    } else if (ev.mask & IN_DELETE) {
      if (isDir) {
        if (const auto child = tree.child(node, name)) unwatchTree(child);
      }
      sink.change({RawChange::Deleted, isDir, std::move(path), {}, 0});
    } else if (ev.mask & IN_MOVED_FROM) {
      pending = PendingMove{ev.cookie, node, std::string(name), std::move(path), isDir};
    } else if (ev.mask & IN_MOVED_TO) {
      if (pending && pending->cookie == ev.cookie) {
        PendingMove from = std::move(*pending);
        pending.reset();
        if (isDir) {
          if (const auto moved = tree.child(from.parent, from.name)) {
            tree.move(moved, node, name);
          } else if (recursive) {
            walkNow(tree.addChild(node, name), Walk::Listing, sink);
          }
        }
        sink.change({RawChange::Renamed, isDir, std::move(from.path), std::move(path), 0});
      } else {
        flushPendingMove(sink);
        sink.change({RawChange::Created, isDir, path, {}, 0});
        if (isDir && recursive) walkNow(tree.addChild(node, name), Walk::Listing, sink);
      }
    } else if (ev.mask & IN_ATTRIB) {
      sink.change({RawChange::Attributes, isDir, std::move(path), {}, 0});
    } else {
      // Data written and a write-close may come in one event when the kernel merges them.
      if (ev.mask & IN_MODIFY) sink.change({RawChange::Modified, false, path, {}, 0});
      if (ev.mask & IN_CLOSE_WRITE) sink.change({RawChange::Closed, false, std::move(path), {}, 0});
    }
  }

  int inotifyFd;
  // The kernel's limit of queued events, taken when the instance was made (0 when unknown).
  const std::size_t queueLimit;
  std::unique_ptr<QueueDrain> drain;
  std::vector<char> entries = std::vector<char>(std::size_t{64} * 1024);  // folder entries of a walk
  std::string root;
  bool recursive;
  dev_t rootDev = 0;
  DirTree tree;
  DirTree::NodeId rootNode = 0;
  std::unordered_map<int, DirTree::NodeId> nodeOfWatch;
  std::unordered_map<DirTree::NodeId, int> watchOfNode;
  std::optional<PendingMove> pending;
  std::unordered_set<std::string> scanned;
  std::unordered_set<std::string> createdThisRead;
  std::unordered_set<std::string> reportedDuringRescan;
  std::vector<Step> setup;  // folders still to watch, in slices
  std::optional<std::unordered_set<std::string>> mountPoints;
  std::size_t watched = 0;
  std::chrono::system_clock::time_point lastDrained = std::chrono::system_clock::now();
  std::chrono::system_clock::time_point rescanSince;
  std::unordered_map<int, std::size_t> blind;  // folders that could not be watched, by errno
  std::unordered_map<int, std::string> blindExample;
  bool rootGone = false;
  bool limitReported = false;
  bool rescanning = false;  // a rescan after an overflow is under way
  bool readFailureReported = false;
};

}  // namespace

std::unique_ptr<ChangeSource> startInotifySource(const std::string& root, bool recursive, ChangeSink& sink,
                                                 std::string& error, std::size_t memoryLimit) {
  (void)sink;
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    error = std::string("inotify_init1: ") + std::strerror(errno);
    if (errno == EMFILE) {
      error += " (the limit of inotify instances, fs.inotify.max_user_instances = " +
               withThousandsSeparators(inotifyLimit("max_user_instances")) + ", is reached)";
    }
    return nullptr;
  }
  auto source = std::make_unique<InotifySource>(fd, root, recursive, memoryLimit);
  if (!source->start(error)) return nullptr;
  return source;
}

}  // namespace tw::linuxfs
