// fanotify with a filesystem mark: every change of the file system that holds the root, each
// reported with its directory's file handle and its name; renames as one event with both names.

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

// A file handle as a map key: its type and its bytes.
std::string handleKey(const struct file_handle* h) {
  std::string key(reinterpret_cast<const char*>(&h->handle_type), sizeof h->handle_type);
  key.append(reinterpret_cast<const char*>(h->f_handle), h->handle_bytes);
  return key;
}

struct file_handle* keyToHandle(const std::string& key, std::vector<unsigned char>& storage) {
  const std::size_t bytes = key.size() - sizeof(int);
  storage.assign(sizeof(struct file_handle) + bytes, 0);
  auto* h = reinterpret_cast<struct file_handle*>(storage.data());
  h->handle_bytes = static_cast<unsigned>(bytes);
  std::memcpy(&h->handle_type, key.data(), sizeof(int));
  std::memcpy(h->f_handle, key.data() + sizeof(int), bytes);
  return h;
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
  const auto* meta = reinterpret_cast<const struct fanotify_event_metadata*>(data);
  out.mask = meta->mask;
  out.pid = meta->pid;
  std::size_t at = meta->metadata_len;
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
    if (!handleOf(root, key)) {
      error = "name_to_handle_at " + root + ": " + std::strerror(errno);
      return false;
    }
    rootNode = tree.addDetached(root);
    bind(key, rootNode);
    if (::fanotify_mark(fanFd, FAN_MARK_ADD | FAN_MARK_FILESYSTEM, kMarkMask, AT_FDCWD, root.c_str()) != 0) {
      error = "fanotify_mark " + root + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  int fd() const override { return fanFd; }
  bool ended() const override { return false; }
  const char* kind() const override { return "fanotify"; }

  void readAvailable(ChangeSink& sink) override {
    buffer.resize(0);
    std::size_t used = 0;
    while (used < kMaxBatchBytes) {
      buffer.resize(used + 256 * 1024);
      const ssize_t n = ::read(fanFd, buffer.data() + used, buffer.size() - used);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      used += static_cast<std::size_t>(n);
    }
    batch.clear();
    for (std::size_t at = 0; at + sizeof(struct fanotify_event_metadata) <= used;) {
      const auto* meta = reinterpret_cast<const struct fanotify_event_metadata*>(buffer.data() + at);
      if (meta->event_len < sizeof *meta || at + meta->event_len > used) break;
      if (meta->fd >= 0) ::close(meta->fd);
      Decoded d;
      if (decode(buffer.data() + at, meta->event_len, d)) batch.push_back(std::move(d));
      at += meta->event_len;
    }
    if (batch.empty()) return;
    // Later events of the batch that name a folder by its parent and name (its removal, its
    // rename) tell where that folder was before: the path its earlier events need, even when
    // the folder is gone by now.
    laterPlace.clear();
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const Decoded& d = batch[i];
      if ((d.mask & FAN_ONDIR) && (d.mask & (FAN_DELETE | FAN_RENAME)) && !d.targetKey.empty()) {
        laterPlace.try_emplace(d.targetKey, i);
      }
    }
    lostReported = false;
    for (cursor = 0; cursor < batch.size(); ++cursor) handle(batch[cursor], sink);
    if (mountFd >= 0) {
      ::close(mountFd);
      mountFd = -1;
    }
  }

 private:
  static bool handleOf(const std::string& path, std::string& key) {
    std::vector<unsigned char> storage(sizeof(struct file_handle) + MAX_HANDLE_SZ);
    auto* h = reinterpret_cast<struct file_handle*>(storage.data());
    h->handle_bytes = MAX_HANDLE_SZ;
    int mountId = 0;
    if (::name_to_handle_at(AT_FDCWD, path.c_str(), h, &mountId, AT_SYMLINK_FOLLOW) != 0) return false;
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

  // The node of a folder handle, found from what is known, from a later event of the batch,
  // or from the kernel (for a folder that still exists). 0 when none of these knows it.
  DirTree::NodeId resolve(const std::string& key, int depth = 0) {
    if (key.empty()) return 0;
    if (auto it = nodeOfKey.find(key); it != nodeOfKey.end() && tree.contains(it->second)) return it->second;
    if (depth > 64) return 0;
    if (auto later = laterPlace.find(key); later != laterPlace.end() && later->second > cursor) {
      const Decoded& d = batch[later->second];
      if (const DirTree::NodeId parent = resolve(d.dirKey, depth + 1)) {
        const DirTree::NodeId node = tree.addChild(parent, d.name);
        bind(key, node);
        return node;
      }
    }
    return resolveFromKernel(key);
  }

  DirTree::NodeId resolveFromKernel(const std::string& key) {
    if (mountFd < 0) mountFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (mountFd < 0) return 0;
    std::vector<unsigned char> storage;
    const int fd = ::open_by_handle_at(mountFd, keyToHandle(key, storage), O_PATH | O_CLOEXEC);
    if (fd < 0) return 0;
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    ::close(fd);
    if (n <= 0 || target[0] != '/') return 0;
    const std::string path(target, static_cast<std::size_t>(n));
    if (!isSameOrBelowPath(path, root)) {
      // Outside the watched folder: kept as a whole path, which is all the registration needs
      // to tell that a change there is not its own.
      const DirTree::NodeId node = tree.addDetached(path);
      bind(key, node);
      return node;
    }
    // Link every folder between the root and this one, so that a later rename of any of them
    // moves this one too.
    DirTree::NodeId node = rootNode;
    std::size_t at = root == "/" ? 1 : root.size() + 1;
    while (at <= path.size()) {
      std::size_t end = path.find('/', at);
      if (end == std::string::npos) end = path.size();
      const std::string prefix = path.substr(0, end);
      std::string prefixKey;
      DirTree::NodeId next = 0;
      if (handleOf(prefix, prefixKey)) {
        auto known = nodeOfKey.find(prefixKey);
        if (known != nodeOfKey.end() && tree.contains(known->second)) next = known->second;
      }
      if (next == 0) {
        next = tree.addChild(node, std::string_view(path).substr(at, end - at));
        if (!prefixKey.empty()) bind(prefixKey, next);
      }
      node = next;
      at = end + 1;
    }
    bind(key, node);
    return node;
  }

  void lost(ChangeSink& sink) {
    if (lostReported) return;
    lostReported = true;
    sink.change({RawChange::Lost, true, root, {}, 0});
  }

  void handle(const Decoded& d, ChangeSink& sink) {
    if (d.mask & FAN_Q_OVERFLOW) {
      sink.change({RawChange::Lost, true, root, {}, d.pid});
      return;
    }
    const bool isDir = (d.mask & FAN_ONDIR) != 0;
    const DirTree::NodeId dir = resolve(d.dirKey);
    if (dir == 0) {
      // A change in a folder that is gone and was never seen: it happened, but where cannot be
      // told. Reported as a change of the whole watched folder, never dropped.
      lost(sink);
      return;
    }
    const std::string path = DirTree::join(tree.path(dir), d.name);
    if (d.mask & FAN_RENAME) {
      const DirTree::NodeId newDir = resolve(d.newDirKey);
      if (newDir == 0) {
        lost(sink);
        return;
      }
      std::string newPath = DirTree::join(tree.path(newDir), d.newName);
      if (isDir) {
        DirTree::NodeId node = 0;
        if (auto it = nodeOfKey.find(d.targetKey); it != nodeOfKey.end()) node = it->second;
        if (node == 0) node = tree.child(dir, d.name);
        if (node != 0) {
          tree.move(node, newDir, d.newName);
        } else if (!d.targetKey.empty()) {
          bind(d.targetKey, tree.addChild(newDir, d.newName));
        }
      }
      sink.change({RawChange::Renamed, isDir, path, std::move(newPath), d.pid});
      return;
    }
    if (d.mask & FAN_CREATE) {
      if (isDir && !d.targetKey.empty()) bind(d.targetKey, tree.addChild(dir, d.name));
      sink.change({RawChange::Created, isDir, path, {}, d.pid});
    }
    if (d.mask & FAN_ATTRIB) sink.change({RawChange::Attributes, isDir, path, {}, d.pid});
    if ((d.mask & FAN_MODIFY) && !isDir) sink.change({RawChange::Modified, false, path, {}, d.pid});
    if ((d.mask & FAN_CLOSE_WRITE) && !isDir) sink.change({RawChange::Closed, false, path, {}, d.pid});
    if (d.mask & FAN_DELETE) {
      if (isDir) {
        DirTree::NodeId node = 0;
        if (auto it = nodeOfKey.find(d.targetKey); it != nodeOfKey.end()) node = it->second;
        if (node == 0) node = tree.child(dir, d.name);
        if (node != 0 && node != rootNode) forget(node);
      }
      sink.change({RawChange::Deleted, isDir, path, {}, d.pid});
    }
  }

  int fanFd;
  std::string root;
  DirTree tree;
  DirTree::NodeId rootNode = 0;
  std::unordered_map<std::string, DirTree::NodeId> nodeOfKey;
  std::unordered_map<DirTree::NodeId, std::string> keyOfNode;
  std::vector<char> buffer;
  std::vector<Decoded> batch;
  std::unordered_map<std::string, std::size_t> laterPlace;
  std::size_t cursor = 0;
  int mountFd = -1;  // open only while a batch is handled, so the mount is never held busy
  bool lostReported = false;
};

}  // namespace

std::unique_ptr<ChangeSource> startFanotifySource(const std::string& root, std::string& error) {
  const unsigned flags = FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_REPORT_DFID_NAME_TARGET | FAN_UNLIMITED_QUEUE;
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
