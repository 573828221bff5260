#include "platform/linux/folder_walk.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tw::linuxfs {

namespace {

// Deeper folders are not kept open: one descriptor per folder level.
constexpr std::size_t kMaxOpenFolders = 64;

// The folder components of an absolute path (every component but the last), empty ones
// skipped as the kernel skips doubled separators.
void folderComponents(std::string_view path, std::vector<FolderWalk::Component>& parts) {
  parts.clear();
  if (path.empty() || path.front() != '/') return;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (i > start) parts.push_back({path.substr(start, i - start), i});
      start = i + 1;
    }
  }
  if (!parts.empty()) parts.pop_back();  // the last name
}

}  // namespace

FolderWalk::~FolderWalk() {
  closeFrom(0);
  if (rootFd >= 0) ::close(rootFd);
}

void FolderWalk::closeFrom(std::size_t depth) {
  while (fds.size() > depth) {
    ::close(fds.back());
    fds.pop_back();
    folders.pop_back();
  }
}

FolderWalk::Place FolderWalk::locate(std::string_view path, std::string_view next) {
  std::vector<Component>& parts = partsOfPath;
  folderComponents(path, parts);
  // The folders this path shares with the next one are worth opening: those that end before
  // the first difference of the two paths (and where the next path has a separator too).
  std::size_t differ = 0;
  while (differ < path.size() && differ < next.size() && path[differ] == next[differ]) ++differ;
  std::size_t keep = 0;
  while (keep < parts.size() && keep < kMaxOpenFolders && parts[keep].end < differ && next[parts[keep].end] == '/') {
    ++keep;
  }
  std::size_t same = 0;
  while (same < parts.size() && same < folders.size() && folders[same] == parts[same].name) ++same;
  // Open folders off this path's way are not needed again: the paths come in sorted order.
  closeFrom(same);
  if (keep > fds.size() && rootFd < 0) rootFd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (rootFd >= 0) {
    while (fds.size() < keep) {
      const std::size_t i = fds.size();
      const std::string name(parts[i].name);
      const int fd = ::openat(i == 0 ? rootFd : fds.back(), name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) {
        // Out of descriptors or memory says nothing of the path: ask it whole.
        if (errno == EMFILE || errno == ENFILE || errno == ENOMEM) break;
        return Place{-1, {}, errno};
      }
      folders.push_back(name);
      fds.push_back(fd);
    }
  }
  // Look up from the deepest open folder on this path's way.
  const std::size_t open = std::min(fds.size(), parts.size());
  if (open == 0) return Place{AT_FDCWD, std::string(path), 0};
  std::string_view rest = path.substr(parts[open - 1].end);
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  return Place{fds[open - 1], std::string(rest), 0};
}

}  // namespace tw::linuxfs
