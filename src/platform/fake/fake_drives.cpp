#include "platform/fake/fake_drives.h"

namespace tw {

Result<std::string> FakeDrives::fileSystemName(std::string_view root) {
  auto it = fileSystems.find(root);
  if (it == fileSystems.end() || !it->second)
    return Result<std::string>::failure("no volume at " + std::string(root));
  return *it->second;
}

Result<DiskSpace> FakeDrives::diskSpace(std::string_view path) {
  auto it = spaces.find(path);
  if (it == spaces.end()) return Result<DiskSpace>::failure("no volume at " + std::string(path));
  return it->second;
}

}  // namespace tw
