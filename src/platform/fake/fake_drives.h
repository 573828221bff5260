#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace tw {

// Drives that tests script through their public fields. Set them before other threads use the
// fake.
class FakeDrives : public Drives {
 public:
  std::vector<DriveInfo> driveTable;
  // Per root: the file-system name, or none for a failed query.
  std::map<std::string, std::optional<std::string>, std::less<>> fileSystems;
  std::map<std::string, DiskSpace, std::less<>> spaces;  // a path not listed fails

  std::vector<DriveInfo> drives() override { return driveTable; }
  Result<std::string> fileSystemName(std::string_view root) override;
  Result<DiskSpace> diskSpace(std::string_view path) override;
};

}  // namespace tw
