// fanotify with a filesystem mark: every change of the file system that holds the root, each
// reported with its directory's file handle and its name; renames as one event with both names.

#include <dirent.h>
#include <fcntl.h>
#include <sys/fanotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/linux/change_source.h"
#include "platform/linux/dir_tree.h"

namespace tw::linuxfs {

namespace {

constexpr std::uint64_t kMarkMask =
    FAN_CREATE | FAN_DELETE | FAN_RENAME | FAN_ATTRIB | FAN_MODIFY | FAN_CLOSE_WRITE | FAN_ONDIR;
// Reading stops after this much in one go, so one call stays bounded under a flood.
constexpr std::size_t kMaxBatchBytes = 8u << 20;
constexpr std::size_t kReadBytes = 256u << 10;
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
  ~FanotifySource() override { ::close(fanFd); }

  bool start(std::string& error) {
    std::string key;
    struct stat st {};
    errno = 0;
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !handleAt(AT_FDCWD, root.c_str(), key)) {
      error = "name_to_handle_at " + root + ": " + std::strerror(errno ? errno : ENOTDIR);
      return false;
    }
    rootDev = st.st_dev;
    rootNode = tree.addDetached(root);
    bind(key, rootNode);
    if (::fanotify_mark(fanFd, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, kMarkMask, AT_FDCWD, root.c_str()) != 0) {
      error = "fanotify_mark " + root + ": " + std::strerror(errno);
      return false;
    }
    // Marked first, walked second: a folder made during the walk is learned from its event.
    learnTree(rootNode);
    return true;
  }

  int fd() const override { return fanFd; }
  bool ended() const override { return false; }
  const char* kind() const override { return "fanotify"; }

  void readAvailable(ChangeSink& sink) override {
    // A read that leaves room in the buffer took every event queued: reading on would only
    // catch events as they trickle in, one system call each; the next wake-up takes them in bulk.
    std::size_t used = 0;
    while (used < kMaxBatchBytes) {
      buffer.resize(used + kReadBytes);
      const ssize_t n = ::read(fanFd, buffer.data() + used, kReadBytes);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      used += static_cast<std::size_t>(n);
      if (static_cast<std::size_t>(n) + kLargestEvent <= kReadBytes) break;
    }
    for (std::size_t at = 0; at + sizeof(struct fanotify_event_metadata) <= used;) {
      struct fanotify_event_metadata meta {};
      std::memcpy(&meta, buffer.data() + at, sizeof meta);
      if (meta.event_len < sizeof meta || at + meta.event_len > used) break;
      if (meta.fd >= 0) ::close(meta.fd);
      Decoded d;
      if (decode(buffer.data() + at, meta.event_len, d)) handle(d, sink);
      at += meta.event_len;
    }
  }

 private:
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
    nodeOfKey[key] = node;
    keyOfNode[node] = key;
  }
  void forget(DirTree::NodeId node) {
    tree.remove(node, [this](DirTree::NodeId removed) {
      auto k = keyOfNode.find(removed);
      if (k == keyOfNode.end()) return;
      nodeOfKey.erase(k->second);
      keyOfNode.erase(k);
    });
  }

  // The node of a folder handle; 0 for a folder outside the watched one. Every folder inside
  // is known: from the walk at the start, from its creation, or from the walk of a folder that
  // moved in. So a folder that is gone by the time its events are read still has a path, and
  // it is the one it had when they happened (events are applied in order).
  DirTree::NodeId lookup(const std::string& key) const {
    if (key.empty()) return 0;
    auto it = nodeOfKey.find(key);
    return it == nodeOfKey.end() ? 0 : it->second;
  }

  // Learns the handles of `top` and of every folder below it on the same file system.
  void learnTree(DirTree::NodeId top) {
    std::vector<DirTree::NodeId> stack{top};
    while (!stack.empty()) {
      const DirTree::NodeId node = stack.back();
      stack.pop_back();
      const std::string dir = tree.path(node);
      const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
      if (dirFd < 0) continue;
      DIR* d = ::fdopendir(dirFd);
      if (d == nullptr) {
        ::close(dirFd);
        continue;
      }
      while (const struct dirent* entry = ::readdir(d)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)) continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (st.st_dev != rootDev) continue;  // another mount: another file system, not marked
        std::string key;
        if (!handleAt(dirFd, entry->d_name, key)) continue;
        const DirTree::NodeId child = tree.addChild(node, name);
        bind(key, child);
        stack.push_back(child);
      }
      ::closedir(d);
    }
  }

  void handle(const Decoded& d, ChangeSink& sink) {
    if (d.mask & FAN_Q_OVERFLOW) {
      sink.change({RawChange::Lost, true, root, {}, d.pid});
      return;
    }
    const bool isDir = (d.mask & FAN_ONDIR) != 0;
    const DirTree::NodeId dir = lookup(d.dirKey);
    if (d.mask & FAN_RENAME) {
      const DirTree::NodeId newDir = lookup(d.newDirKey);
      if (dir == 0 && newDir == 0) return;  // entirely outside
      std::string oldPath = dir ? DirTree::join(tree.path(dir), d.name) : std::string();
      std::string newPath = newDir ? DirTree::join(tree.path(newDir), d.newName) : std::string();
      if (isDir) {
        DirTree::NodeId node = lookup(d.targetKey);
        if (node == 0 && dir != 0) node = tree.child(dir, d.name);
        if (node != 0 && newDir != 0) {
          tree.move(node, newDir, d.newName);
        } else if (node != 0) {
          forget(node);  // moved out
        } else if (newDir != 0) {
          // Moved in: it and its subfolders are known from now on.
          const DirTree::NodeId in = tree.addChild(newDir, d.newName);
          if (!d.targetKey.empty()) bind(d.targetKey, in);
          learnTree(in);
        }
      }
      // The registration turns a rename with one side outside into a create or a delete.
      sink.change({RawChange::Renamed, isDir, std::move(oldPath), std::move(newPath), d.pid});
      return;
    }
    if (dir == 0) return;  // in a folder outside the watched one
    const std::string path = DirTree::join(tree.path(dir), d.name);
    if (d.mask & FAN_CREATE) {
      if (isDir && !d.targetKey.empty()) bind(d.targetKey, tree.addChild(dir, d.name));
      sink.change({RawChange::Created, isDir, path, {}, d.pid});
    }
    if (d.mask & FAN_ATTRIB) sink.change({RawChange::Attributes, isDir, path, {}, d.pid});
    if ((d.mask & FAN_MODIFY) && !isDir) sink.change({RawChange::Modified, false, path, {}, d.pid});
    if ((d.mask & FAN_CLOSE_WRITE) && !isDir) sink.change({RawChange::Closed, false, path, {}, d.pid});
    if (d.mask & FAN_DELETE) {
      if (isDir) {
        DirTree::NodeId node = lookup(d.targetKey);
        if (node == 0) node = tree.child(dir, d.name);
        if (node != 0 && node != rootNode) forget(node);
      }
      sink.change({RawChange::Deleted, isDir, path, {}, d.pid});
    }
  }

  int fanFd;
  std::string root;
  dev_t rootDev = 0;
  DirTree tree;
  DirTree::NodeId rootNode = 0;
  std::unordered_map<std::string, DirTree::NodeId> nodeOfKey;
  std::unordered_map<DirTree::NodeId, std::string> keyOfNode;
  std::vector<char> buffer;
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
