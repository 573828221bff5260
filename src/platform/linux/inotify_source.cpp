// Recursive inotify: one watch per folder below the root, added as folders appear.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/linux/change_source.h"
#include "platform/linux/dir_tree.h"
#include "platform/linux/mount_table.h"

namespace tw::linuxfs {

namespace {

// How long a move out may wait for its other half.
constexpr int kMoveHalfWaitMs = 20;

constexpr std::size_t kReadBytes = 256u << 10;
constexpr std::size_t kLargestEvent = sizeof(struct inotify_event) + NAME_MAX + 1;

constexpr std::uint32_t kDirMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                   IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW |
                                   IN_EXCL_UNLINK;

class InotifySource : public ChangeSource {
 public:
  InotifySource(int fd, std::string root, bool recursive)
      : inotifyFd(fd), root(std::move(root)), recursive(recursive) {}
  ~InotifySource() override { ::close(inotifyFd); }

  bool start(ChangeSink& sink, std::string& error) {
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = root + ": " + std::strerror(errno ? errno : ENOTDIR);
      return false;
    }
    rootDev = st.st_dev;
    rootNode = tree.addDetached(root);
    if (!watchTree(rootNode, false, sink)) {
      error = "inotify_add_watch " + root + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  int fd() const override { return inotifyFd; }
  bool ended() const override { return rootGone; }
  const char* kind() const override { return "inotify"; }

  void readAvailable(ChangeSink& sink) override {
    for (;;) {
      for (;;) {
        const ssize_t n = ::read(inotifyFd, buffer.data(), kReadBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
          const auto* ev = reinterpret_cast<const struct inotify_event*>(buffer.data() + at);
          at += static_cast<ssize_t>(sizeof(struct inotify_event) + ev->len);
          handle(*ev, sink);
        }
        // A read that leaves room in the buffer took every event queued: reading on would only
        // catch events as they trickle in, one system call each; the next wake-up takes them
        // in bulk. Not after a scan of a new folder, though: the create events of what it
        // reported are queued by now and must be read before `scanned` is forgotten below.
        if (scanned.empty() && static_cast<std::size_t>(n) + kLargestEvent <= kReadBytes) break;
      }
      // The kernel queues the two halves of a rename one after the other, so a read can end
      // between them: give the second half a moment before a lone first half counts as a
      // move out.
      if (!pending) break;
      struct pollfd wait {
        inotifyFd, POLLIN, 0
      };
      if (::poll(&wait, 1, kMoveHalfWaitMs) <= 0) break;
    }
    flushPendingMove(sink);
    // Every create event of a file that a scan already reported has been read by now.
    scanned.clear();
  }

 private:
  struct PendingMove {
    std::uint32_t cookie = 0;
    DirTree::NodeId parent = 0;
    std::string name;
    std::string path;
    bool isDir = false;
  };

  // Adds a watch on `node` and, when recursive, on every folder below it on the same mount.
  // With `report`, what is found inside is reported as created (a folder that just appeared:
  // its content was made before its watch existed). False when the first watch fails.
  bool watchTree(DirTree::NodeId top, bool report, ChangeSink& sink) {
    // A large walk (the start, or after an overflow) tells mount points by the mount table,
    // read once, and asks the file system only about folders listed there: so a folder costs
    // its watch, an open, its entries and a close, with no look-up per subfolder. A folder that
    // just appeared is small: its subfolders are asked one by one.
    std::optional<std::unordered_set<std::string>> mountPoints;
    if (!report && recursive) mountPoints = mountPointsBelow(tree.path(top));
    std::vector<DirTree::NodeId> stack{top};
    bool first = true;
    while (!stack.empty()) {
      const DirTree::NodeId node = stack.back();
      stack.pop_back();
      const std::string dir = tree.path(node);
      const int wd = ::inotify_add_watch(inotifyFd, dir.c_str(), kDirMask);
      if (wd < 0) {
        if (errno == ENOSPC && !limitReported) {
          // Out of watches: changes below this folder would go unseen; say so once.
          limitReported = true;
          sink.change({RawChange::Lost, true, root, {}, 0});
        }
        if (first) return false;
        continue;
      }
      first = false;
      if (auto known = nodeOfWatch.find(wd); known != nodeOfWatch.end() && known->second != node) {
        if (tree.contains(known->second)) continue;  // the same folder reached twice
      }
      nodeOfWatch[wd] = node;
      watchOfNode[node] = wd;
      if (!recursive && node != rootNode) continue;
      const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
      if (dirFd < 0) continue;
      forEachEntry(dirFd, [&](std::string_view name, unsigned char type) {
        bool isDir = type == DT_DIR;
        bool sameMount = true;
        const bool mountPoint = isDir && mountPoints && mountPoints->contains(DirTree::join(dir, name));
        if (type == DT_UNKNOWN || (isDir && (!mountPoints || mountPoint))) {
          struct stat st {};
          if (::fstatat(dirFd, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
          isDir = S_ISDIR(st.st_mode);
          sameMount = st.st_dev == rootDev;
        }
        if (report) {
          std::string path = DirTree::join(dir, name);
          scanned.insert(path);
          sink.change({RawChange::Created, isDir, std::move(path), {}, 0});
        }
        if (isDir && sameMount && recursive) stack.push_back(tree.addChild(node, name));
      });
      ::close(dirFd);
    }
    return true;
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
      sink.change({RawChange::Lost, true, root, {}, 0});
      // Folders made while events were lost may have no watch yet.
      if (!rootGone) watchTree(rootNode, false, sink);
      return;
    }
    auto w = nodeOfWatch.find(ev.wd);
    if (w == nodeOfWatch.end()) return;
    const DirTree::NodeId node = w->second;
    if (ev.mask & IN_IGNORED) {
      nodeOfWatch.erase(w);
      watchOfNode.erase(node);
      if (node == rootNode) rootGone = true;
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
      if (node == rootNode && (ev.mask & IN_DELETE_SELF)) rootGone = true;
      return;
    }
    const std::string_view name(ev.name);
    std::string path = DirTree::join(tree.path(node), name);

    if (!(ev.mask & IN_MOVED_TO)) flushPendingMove(sink);

    if (ev.mask & IN_CREATE) {
      if (scanned.erase(path) != 0) return;  // a scan of its new parent reported it already
      if (isDir && recursive) {
        sink.change({RawChange::Created, true, path, {}, 0});
        watchTree(tree.addChild(node, name), true, sink);
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
            watchTree(tree.addChild(node, name), false, sink);
          }
        }
        sink.change({RawChange::Renamed, isDir, std::move(from.path), std::move(path), 0});
      } else {
        flushPendingMove(sink);
        sink.change({RawChange::Created, isDir, path, {}, 0});
        if (isDir && recursive) watchTree(tree.addChild(node, name), false, sink);
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
  std::vector<char> buffer = std::vector<char>(kReadBytes);
  std::vector<char> entries = std::vector<char>(
      std::size_t{64} * 1024);  // folder entries of a walk  // operator new aligns it for the events
  std::string root;
  bool recursive;
  dev_t rootDev = 0;
  DirTree tree;
  DirTree::NodeId rootNode = 0;
  std::unordered_map<int, DirTree::NodeId> nodeOfWatch;
  std::unordered_map<DirTree::NodeId, int> watchOfNode;
  std::optional<PendingMove> pending;
  std::unordered_set<std::string> scanned;
  bool rootGone = false;
  bool limitReported = false;
};

}  // namespace

std::unique_ptr<ChangeSource> startInotifySource(const std::string& root, bool recursive, ChangeSink& sink,
                                                 std::string& error) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    error = std::string("inotify_init1: ") + std::strerror(errno);
    return nullptr;
  }
  auto source = std::make_unique<InotifySource>(fd, root, recursive);
  if (!source->start(sink, error)) return nullptr;
  return source;
}

}  // namespace tw::linuxfs
