#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text/result.h"

namespace tw {

// The kinds of drive the platform reports, numbered as the Windows drive types are.
enum class DriveType : int {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct DriveInfo {
  std::string root;  // ends in the path separator
  DriveType type = DriveType::Unknown;
  bool operator==(const DriveInfo&) const = default;
};

struct DiskSpace {
  std::int64_t total = 0;         // size of the volume in bytes
  std::int64_t freeToCaller = 0;  // free bytes the calling user may use (quotas, reserved blocks)
};

// The drives and volumes of the system.
//
// Threads: any method from any thread; implementations keep their caches behind their own locks.
class Drives {
 public:
  virtual ~Drives() = default;

  // Every mounted volume or drive letter in use, in the platform's order (drive letters
  // ascending; on Linux, mount points sorted), each with its kind.
  virtual std::vector<DriveInfo> drives() = 0;
  // The name of the file system on the volume whose root is `root` (NTFS, ext4, ...).
  virtual Result<std::string> fileSystemName(std::string_view root) = 0;
  // Size and free bytes of the volume that holds `path`.
  virtual Result<DiskSpace> diskSpace(std::string_view path) = 0;
};

// The roots of the fixed and removable drives, in the platform's order: the drives a recording
// may watch.
inline std::vector<std::string> recordableDriveRoots(Drives& drives) {
  std::vector<std::string> roots;
  for (DriveInfo& drive : drives.drives()) {
    if (drive.type == DriveType::Fixed || drive.type == DriveType::Removable)
      roots.push_back(std::move(drive.root));
  }
  return roots;
}

}  // namespace tw
