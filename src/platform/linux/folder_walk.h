#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw::linuxfs {

// Looks up many paths relative to open folders: a folder that a path shares with the next
// one is opened once and kept open, and each path is then looked up from the deepest such
// folder with what remains of it, so that paths in sorted order cost one lookup each plus one
// per folder they share, not a walk from the root each. The answer for each path is that of a
// lookup of the whole path (the kernel resolves ".." and links component by component either
// way).
//
// Thread: one owner at a time; the descriptors are closed when the object goes.
class FolderWalk {
 public:
  FolderWalk() = default;
  ~FolderWalk();
  FolderWalk(const FolderWalk&) = delete;
  FolderWalk& operator=(const FolderWalk&) = delete;

  // Where to look `path` up, given the path that will be asked next (empty for none): a
  // folder descriptor (AT_FDCWD for the whole path) and the rest of the path from there,
  // which keeps a trailing separator. `error` is an errno value when a folder on the way
  // cannot be entered (nothing is at the path then), else 0.
  struct Place {
    int dirFd;
    std::string rest;
    int error;
  };
  Place locate(std::string_view path, std::string_view next);

  // A folder component of a path: its name and where it ends in the path.
  struct Component {
    std::string_view name;
    std::size_t end;
  };

 private:
  void closeFrom(std::size_t depth);

  int rootFd = -1;
  std::vector<std::string> folders;  // the folder components (of an absolute path) that are open, outermost first
  std::vector<int> fds;              // their descriptors
  std::vector<Component> partsOfPath;  // kept to spare an allocation per path
};

}  // namespace tw::linuxfs
