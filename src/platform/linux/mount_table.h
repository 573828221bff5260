#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tw::linuxfs {

// One line of /proc/<pid>/mountinfo, with the octal escapes (\040, \011, \012, \134) of its
// path fields decoded to the bytes they stand for.
struct MountEntry {
  int mountId = 0;
  int parentId = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;        // the directory of the file system that is mounted here
  std::string mountPoint;  // where it is mounted
  std::string fsType;
  std::string source;
};

// Parses mountinfo text. A line that does not have the fields of the format is skipped; the
// rest of the table is still read.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// Decodes the octal escapes the kernel writes into mount table path fields.
std::string unescapeMountField(std::string_view field);

struct BlockDevice {
  std::string name;  // kernel name: sda1, nvme0n1p2, sr0, zram0, loop3, ...
  bool removable = false;
};

// What the drive scan asks of the running system, so that fixture tables can be tested
// without it.
class MountProbe {
 public:
  virtual ~MountProbe() = default;
  // The block device behind a mount, when it has one.
  virtual std::optional<BlockDevice> blockDevice(const MountEntry& entry) = 0;
  // True when the mount point is a directory (file bind mounts are not drives).
  virtual bool isDirectory(const std::string& mountPoint) = 0;
};

// The kind of drive a mount is: network file systems are Remote, optical ones CdRom, RAM
// backed ones RamDisk, pseudo and image file systems Unknown; a block device file system is
// Removable or Fixed as sysfs says.
DriveType classifyMount(const MountEntry& entry, MountProbe& probe);

// The drives of a mount table: one per visible mount point (a later mount over the same point
// hides the earlier), bind mounts of a folder of a file system already listed left out,
// sorted by mount point, each root ending in '/'.
std::vector<DriveInfo> drivesFromMountInfo(std::string_view text, MountProbe& probe);

// The mount entry that holds `path` (the visible mount with the longest matching mount point).
std::optional<MountEntry> mountHolding(const std::vector<MountEntry>& entries, std::string_view path);

}  // namespace tw::linuxfs
