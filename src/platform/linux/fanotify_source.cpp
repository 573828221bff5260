// fanotify with a filesystem mark: every change of the file system that holds the root, each
// reported with its directory's file handle and its name; renames as one event with both names.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/linux/change_source.h"
#include "platform/linux/dir_tree.h"

namespace tw::linuxfs {

namespace {

constexpr std::uint64_t kMarkMask =
    FAN_CREATE | FAN_DELETE | FAN_RENAME | FAN_ATTRIB | FAN_MODIFY | FAN_CLOSE_WRITE | FAN_ONDIR;
// Reading stops after this much in one go, so one call stays bounded under a flood.
constexpr std::size_t kMaxBatchBytes = 1u << 20;
constexpr std::size_t kReadBytes = 256u << 10;
// Reads in one wake-up while events wait for the event that names their folder, how many of them
// may bring nothing before the events count as lost, and how long each waits for more.
constexpr int kMaxRounds = 64;
constexpr int kEmptyRoundsBeforeLoss = 5;
constexpr int kStalledWaitMs = 10;
// The most one event can take: its metadata, and for a rename two directory handles with names.
constexpr std::size_t kLargestEvent = sizeof(struct fanotify_event_metadata) +
                                      3 * (sizeof(struct fanotify_event_info_fid) +
                                           sizeof(struct file_handle) + MAX_HANDLE_SZ + NAME_MAX + 1 + 8);

// A file handle as a map key: its type and its bytes.
std::string handleKey(const struct file_handle* h) {
  std::string key(reinterpret_cast<const char*>(&h->handle_type), sizeof h->handle_type);
  key.append(reinterpret_cast<const char*>(h->f_handle), h->handle_bytes);
  return key;
}

// One decoded event.
struct Decoded {
  std::uint64_t mask = 0;
  std::int32_t pid = 0;
  std::string dirKey, name;        // the directory and name (DFID_NAME, or OLD_DFID_NAME)
  std::string newDirKey, newName;  // the new directory and name of a rename
  std::string targetKey;           // the object itself
};

bool decode(const char* data, std::size_t len, Decoded& out) {
  // Events are packed on 4-byte boundaries while the metadata holds a 64-bit mask: copy it out.
  struct fanotify_event_metadata meta {};
  std::memcpy(&meta, data, sizeof meta);
  out.mask = meta.mask;
  out.pid = meta.pid;
  std::size_t at = meta.metadata_len;
  while (at + sizeof(struct fanotify_event_info_header) <= len) {
    const auto* hdr = reinterpret_cast<const struct fanotify_event_info_header*>(data + at);
    if (hdr->len == 0 || at + hdr->len > len) return false;
    const auto type = hdr->info_type;
    if (type == FAN_EVENT_INFO_TYPE_FID || type == FAN_EVENT_INFO_TYPE_DFID_NAME ||
        type == FAN_EVENT_INFO_TYPE_DFID || type == FAN_EVENT_INFO_TYPE_OLD_DFID_NAME ||
        type == FAN_EVENT_INFO_TYPE_NEW_DFID_NAME) {
      const auto* fid = reinterpret_cast<const struct fanotify_event_info_fid*>(hdr);
      const auto* handle = reinterpret_cast<const struct file_handle*>(fid->handle);
      const std::size_t handleEnd =
          static_cast<std::size_t>(fid->handle - reinterpret_cast<const unsigned char*>(hdr)) +
          sizeof(struct file_handle) + handle->handle_bytes;
      if (handleEnd > hdr->len) return false;
      std::string key = handleKey(handle);
      std::string name;
      if (type != FAN_EVENT_INFO_TYPE_FID && type != FAN_EVENT_INFO_TYPE_DFID && handleEnd < hdr->len) {
        const char* n = reinterpret_cast<const char*>(hdr) + handleEnd;
        name.assign(n, strnlen(n, hdr->len - handleEnd));
      }
      if (type == FAN_EVENT_INFO_TYPE_FID) {
        out.targetKey = std::move(key);
      } else if (type == FAN_EVENT_INFO_TYPE_NEW_DFID_NAME) {
        out.newDirKey = std::move(key);
        out.newName = std::move(name);
      } else {
        out.dirKey = std::move(key);
        out.name = std::move(name);
      }
    }
    at += hdr->len;
  }
  return true;
}

class FanotifySource : public ChangeSource {
 public:
  FanotifySource(int fd, std::string root) : fanFd(fd), root(std::move(root)) {}
  ~FanotifySource() override {
    if (mountFd >= 0) ::close(mountFd);
    ::close(fanFd);
  }

  bool start(std::string& error) {
    std::string key;
    struct stat st {};
    errno = 0;
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !handleAt(AT_FDCWD, root.c_str(), key)) {
      error = "name_to_handle_at " + root + ": " + std::strerror(errno ? errno : ENOTDIR);
      return false;
    }
    fileSystemTop = topOfFileSystem(root, st.st_dev);
    rootNode = tree.addDetached(root);
    rootKey = key;
    bind(key, rootNode);
    if (::fanotify_mark(fanFd, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, kMarkMask, AT_FDCWD, root.c_str()) != 0) {
      error = "fanotify_mark " + root + ": " + std::strerror(errno);
      return false;
    }
    // No walk of the folders: each is learned when an event first names it (its creation, or
    // its handle resolved when it first appears), so the first events flow at once on a file
    // system of any size.
    return true;
  }

  void reportExisting(ChangeSink& sink) override {
    // Everything below the root now, each object reported as created; a creation event read
    // later for one of them is not reported again.
    std::vector<std::string> folders{root};
    while (!folders.empty()) {
      const std::string dir = std::move(folders.back());
      folders.pop_back();
      const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
      if (dirFd < 0) continue;
      DIR* listing = ::fdopendir(dirFd);
      if (listing == nullptr) {
        ::close(dirFd);
        continue;
      }
      while (const struct dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const bool isDir = S_ISDIR(st.st_mode);
        std::string path = DirTree::join(dir, name);
        scanned.insert(path);
        sink.change({RawChange::Created, isDir, path});
        if (isDir) folders.push_back(std::move(path));
      }
      ::closedir(listing);
    }
  }

  int fd() const override { return fanFd; }
  bool ended() const override { return rootGone; }
  const char* kind() const override { return "fanotify"; }
  std::size_t foldersKnown() const override { return tree.size(); }

  void readAvailable(ChangeSink& sink) override {
    // An event whose folder is already gone waits for the event that names that folder, which
    // the kernel queues as the folder goes, so at the latest a moment after the look-up failed:
    // further reads find it. What still cannot be placed when reads bring nothing new for a few
    // milliseconds was lost.
    int emptyRounds = 0;
    for (int round = 0; round < kMaxRounds; ++round) {
      std::size_t bytes = 0;
      const bool drained = readQueued(bytes);
      if (bytes > 0) sink.readAgainAt(std::chrono::system_clock::now());
      emptyRounds = round > 0 && bytes == 0 ? emptyRounds + 1 : 0;
      const bool stalled = !handlePending(sink, emptyRounds >= kEmptyRoundsBeforeLoss);
      if (!drained) break;  // more to read: the next wake-up goes on where this one stopped
      if (!stalled) {
        settle(sink);
        break;
      }
      if (bytes == 0) {
        struct pollfd more {
          fanFd, POLLIN, 0
        };
        ::poll(&more, 1, kStalledWaitMs);
      }
    }
    if (mountFd >= 0) {
      ::close(mountFd);
      mountFd = -1;
    }
  }

 private:
  // Reads what the kernel has queued, up to kMaxBatchBytes, and decodes it into `pending`. True
  // when the queue was read to its end. A read that leaves room in the buffer took every event
  // queued: reading on would only catch events as they trickle in, one system call each; the
  // next wake-up takes them in bulk.
  bool readQueued(std::size_t& bytes) {
    std::size_t used = 0;
    bool drained = false;
    while (used < kMaxBatchBytes) {
      buffer.resize(used + kReadBytes);
      const ssize_t n = ::read(fanFd, buffer.data() + used, kReadBytes);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        drained = true;
        break;
      }
      used += static_cast<std::size_t>(n);
      if (static_cast<std::size_t>(n) + kLargestEvent <= kReadBytes) {
        drained = true;
        break;
      }
    }
    for (std::size_t at = 0; at + sizeof(struct fanotify_event_metadata) <= used;) {
      struct fanotify_event_metadata meta {};
      std::memcpy(&meta, buffer.data() + at, sizeof meta);
      if (meta.event_len < sizeof meta || at + meta.event_len > used) break;
      if (meta.fd >= 0) ::close(meta.fd);
      Decoded d;
      if (decode(buffer.data() + at, meta.event_len, d)) pending.push_back(std::move(d));
      at += meta.event_len;
    }
    bytes = used;
    return drained;
  }

  // What an event's folder resolves to.
  enum class Where { Inside, Outside, NotYet };

  // The highest folder above `path` on the same file system (its mount point, as far as it can
  // be seen): a folder that stays while the root may go, to open file handles from.
  static std::string topOfFileSystem(const std::string& path, dev_t device) {
    std::string top = path;
    while (top != "/") {
      const auto slash = top.rfind('/');
      const std::string parent = slash == 0 ? std::string("/") : top.substr(0, slash);
      struct stat st {};
      if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
      top = parent;
    }
    return top;
  }

  static bool handleAt(int dirFd, const char* path, std::string& key) {
    std::vector<unsigned char> storage(sizeof(struct file_handle) + MAX_HANDLE_SZ);
    auto* h = reinterpret_cast<struct file_handle*>(storage.data());
    h->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(dirFd, path, h, &mountId, 0) != 0) return false;
    key = handleKey(h);
    return true;
  }

  void bind(const std::string& key, DirTree::NodeId node) {
    if (auto old = keyOfNode.find(node); old != keyOfNode.end() && old->second != key)
      nodeOfKey.erase(old->second);
    nodeOfKey[key] = node;
    keyOfNode[node] = key;
    outside.erase(key);
  }

  DirTree::NodeId known(const std::string& key) const {
    auto it = nodeOfKey.find(key);
    return it == nodeOfKey.end() ? 0 : it->second;
  }

  // The node of a path at or below the root, made (with its missing ancestors) when new.
  DirTree::NodeId nodeForPath(const std::string& path) {
    DirTree::NodeId node = rootNode;
    std::size_t at = root == "/" ? 1 : root.size() + 1;
    while (at < path.size()) {
      std::size_t end = path.find('/', at);
      if (end == std::string::npos) end = path.size();
      if (end > at) node = tree.addChild(node, std::string_view(path).substr(at, end - at));
      at = end + 1;
    }
    return node;
  }

  // Where a folder handle lies; learns it when it is inside. An unknown folder is looked up
  // first among the events read but not handled yet: one that removes or renames it (or, for a
  // folder made since, creates it) names it by its parent as it was when the change happened;
  // else its handle is opened and its path read, which is where it is now. A folder removed
  // since cannot be opened: it is NotYet until an event that names it is read.
  Where locate(const std::string& key, std::size_t from) {
    if (key.empty()) return Where::Outside;
    if (known(key) != 0) return Where::Inside;
    if (outside.contains(key)) return Where::Outside;
    for (std::size_t i = from; i < pending.size(); ++i) {
      const Decoded& e = pending[i];
      if (e.targetKey != key || !(e.mask & FAN_ONDIR) || !(e.mask & (FAN_DELETE | FAN_RENAME | FAN_CREATE)))
        continue;
      if (e.dirKey == key) continue;
      const Where parent = locate(e.dirKey, i + 1);
      if (parent == Where::Inside) {
        bind(key, tree.addChild(known(e.dirKey), e.name));
        return Where::Inside;
      }
      if (parent == Where::Outside) return markOutside(key);
    }
    // Any descriptor on the file system serves open_by_handle_at. It is held only while events
    // are handled, so that the recording never keeps a drive from being unmounted.
    if (mountFd < 0) mountFd = ::open(fileSystemTop.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int fd = ::open_by_handle_at(mountFd, handleOf(key), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Where::NotYet;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link, path.data(), path.size());
    ::close(fd);
    if (n <= 0) return Where::NotYet;
    path.resize(static_cast<std::size_t>(n));
    // A folder removed while something still holds it open can be opened, but its path is no
    // longer where it was: its removal is queued already and places it.
    if (path.ends_with(" (deleted)")) return Where::NotYet;
    if (!isSameOrBelowPath(path, root)) return markOutside(key);
    bind(key, nodeForPath(path));
    return Where::Inside;
  }

  Where markOutside(const std::string& key) {
    if (outside.size() > 65536) outside.clear();
    outside.insert(key);
    return Where::Outside;
  }

  // The kernel's file handle of a key (the key holds its type and bytes).
  struct file_handle* handleOf(const std::string& key) {
    handleBuffer.assign(sizeof(struct file_handle) + key.size(), 0);
    auto* h = reinterpret_cast<struct file_handle*>(handleBuffer.data());
    std::memcpy(&h->handle_type, key.data(), sizeof h->handle_type);
    h->handle_bytes = static_cast<unsigned>(key.size() - sizeof h->handle_type);
    std::memcpy(h->f_handle, key.data() + sizeof h->handle_type, h->handle_bytes);
    return h;
  }

  // Handles the events read so far in order. An event whose folder cannot be placed yet waits,
  // with everything after it, for the events still to come (false is returned); with
  // `giveUp`, what cannot be placed is reported as lost instead.
  bool handlePending(ChangeSink& sink, bool giveUp) {
    bool lost = false;
    while (!pending.empty()) {
      const Decoded& d = pending.front();
      if (!(d.mask & FAN_Q_OVERFLOW)) {
        Where where = locate(d.dirKey, 1);
        if ((d.mask & FAN_RENAME) && where != Where::NotYet) {
          const Where to = locate(d.newDirKey, 1);
          if (to == Where::NotYet) where = Where::NotYet;
        }
        if (where == Where::NotYet) {
          if (!giveUp) return false;
          lost = true;
          pending.pop_front();
          continue;
        }
      }
      handle(d, sink);
      pending.pop_front();
    }
    if (lost) {
      sink.change({RawChange::Lost,
                   true,
                   root,
                   {},
                   0,
                   "Changes in folders under " + root +
                       " that were removed before their changes could be read were lost."});
    }
    return true;
  }

  // Every event queued before this moment has been read and handled: folders removed meanwhile
  // can be forgotten, and removals that the kernel merged into an earlier event of their folder
  // are reported now, after the changes made inside before the removal.
  void settle(ChangeSink& sink) {
    for (RawChange& change : deferredRemovals) sink.change(std::move(change));
    deferredRemovals.clear();
    for (const DirTree::NodeId node : removed) forget(node);
    removed.clear();
    scanned.clear();  // every creation event queued before the scan has been read
  }

  void forget(DirTree::NodeId node) {
    tree.remove(node, [this](DirTree::NodeId gone) {
      auto k = keyOfNode.find(gone);
      if (k == keyOfNode.end()) return;
      nodeOfKey.erase(k->second);
      keyOfNode.erase(k);
    });
  }

  // A folder that is gone (removed or moved out) keeps its node, detached at its last path, so
  // that its handle still names it for the events queued before it went.
  void detach(DirTree::NodeId node) {
    if (node == 0 || node == rootNode) return;
    const std::string last = tree.path(node);
    tree.move(node, 0, last);
    removed.push_back(node);
  }

  void handle(const Decoded& d, ChangeSink& sink) {
    if (rootGone) return;
    if ((d.mask & FAN_ONDIR) && d.targetKey == rootKey && (d.mask & (FAN_DELETE | FAN_RENAME))) {
      // The watched folder itself went (its removal, or a move): from here on nothing is seen
      // at its path. Reported as the removal of the folder at that path.
      rootGone = true;
      sink.change({RawChange::Deleted, true, root, {}, d.pid});
      sink.notice("The watched folder " + root + " was " +
                  ((d.mask & FAN_DELETE) ? "removed" : "moved away") +
                  ": its changes are no longer recorded; it is watched again if it comes back.");
      return;
    }
    if (d.mask & FAN_Q_OVERFLOW) {
      sink.change({RawChange::Lost,
                   true,
                   root,
                   {},
                   d.pid,
                   "The kernel's fanotify event queue overflowed: changes under " + root + " were lost."});
      return;
    }
    const bool isDir = (d.mask & FAN_ONDIR) != 0;
    const DirTree::NodeId dir = known(d.dirKey);
    if (d.mask & FAN_RENAME) {
      const DirTree::NodeId newDir = known(d.newDirKey);
      // A folder moved anywhere may bring an outside one in: forget what was learned outside.
      if (isDir) outside.clear();
      if (dir == 0 && newDir == 0) {
        if (isDir && !d.targetKey.empty()) markOutside(d.targetKey);
        return;  // entirely outside
      }
      std::string oldPath = dir ? DirTree::join(tree.path(dir), d.name) : std::string();
      std::string newPath = newDir ? DirTree::join(tree.path(newDir), d.newName) : std::string();
      if (isDir) {
        DirTree::NodeId node = known(d.targetKey);
        if (node == 0 && dir != 0) node = tree.child(dir, d.name);
        if (node != 0 && newDir != 0) {
          tree.move(node, newDir, d.newName);
        } else if (node != 0) {
          detach(node);  // moved out
        } else if (newDir != 0 && !d.targetKey.empty()) {
          bind(d.targetKey, tree.addChild(newDir, d.newName));  // moved in
        }
      }
      // The watched root turns a rename with one side outside into a create or a delete.
      sink.change({RawChange::Renamed, isDir, std::move(oldPath), std::move(newPath), d.pid});
      return;
    }
    if (dir == 0) {
      // In a folder outside the watched one. A folder made or removed there is outside too: its
      // own events need no look-up.
      if (isDir && !d.targetKey.empty() && (d.mask & (FAN_CREATE | FAN_DELETE))) markOutside(d.targetKey);
      return;
    }
    // An event of the folder itself (its attributes) names it ".".
    const std::string path =
        d.name == "." || d.name.empty() ? tree.path(dir) : DirTree::join(tree.path(dir), d.name);
    if (d.mask & FAN_CREATE) {
      if (isDir && !d.targetKey.empty()) bind(d.targetKey, tree.addChild(dir, d.name));
      if (scanned.erase(path) == 0) sink.change({RawChange::Created, isDir, path, {}, d.pid});
    }
    if (d.mask & FAN_ATTRIB) sink.change({RawChange::Attributes, isDir, path, {}, d.pid});
    if ((d.mask & FAN_MODIFY) && !isDir) sink.change({RawChange::Modified, false, path, {}, d.pid});
    if ((d.mask & FAN_CLOSE_WRITE) && !isDir) sink.change({RawChange::Closed, false, path, {}, d.pid});
    if (d.mask & FAN_DELETE) {
      if (isDir) {
        DirTree::NodeId node = known(d.targetKey);
        if (node == 0) node = tree.child(dir, d.name);
        detach(node);
        // The kernel merges a removal into an event of the same folder still queued (its
        // creation, say), ahead of the changes made inside it: reported once those are read.
        if (d.mask & (FAN_CREATE | FAN_ATTRIB)) {
          deferredRemovals.push_back({RawChange::Deleted, true, path, {}, d.pid});
          return;
        }
      }
      sink.change({RawChange::Deleted, isDir, path, {}, d.pid});
    }
  }

  int fanFd;
  int mountFd = -1;
  std::string root;
  DirTree tree;
  DirTree::NodeId rootNode = 0;
  std::string rootKey;
  std::string fileSystemTop;
  bool rootGone = false;
  std::unordered_map<std::string, DirTree::NodeId> nodeOfKey;
  std::unordered_map<DirTree::NodeId, std::string> keyOfNode;
  std::unordered_set<std::string> outside;  // folder handles found outside the root
  std::deque<Decoded> pending;              // read, not handled yet
  std::unordered_set<std::string> scanned;  // reported by reportExisting
  std::vector<DirTree::NodeId> removed;     // gone folders, forgotten once the queue is read
  std::vector<RawChange> deferredRemovals;
  std::vector<char> buffer;
  std::vector<unsigned char> handleBuffer;
};

}  // namespace

std::unique_ptr<ChangeSource> startFanotifySource(const std::string& root, std::string& error) {
  const unsigned flags =
      FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_REPORT_DFID_NAME_TARGET | FAN_UNLIMITED_QUEUE;
  const int fd = ::fanotify_init(flags, O_RDONLY | O_LARGEFILE | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("fanotify_init: ") + std::strerror(errno);
    return nullptr;
  }
  auto source = std::make_unique<FanotifySource>(fd, root);
  if (!source->start(error)) return nullptr;
  return source;
}

}  // namespace tw::linuxfs
