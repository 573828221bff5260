#include "platform/linux/mount_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tw::linuxfs {
namespace {

// A stand-in for sysfs: block devices by "major:minor", and the mount points that are files.
class FixtureProbe : public MountProbe {
 public:
  std::map<std::string, BlockDevice> devices;
  std::set<std::string> fileMounts;

  std::optional<BlockDevice> blockDevice(const MountEntry& e) override {
    auto it = devices.find(std::to_string(e.major) + ":" + std::to_string(e.minor));
    if (it == devices.end()) return std::nullopt;
    return it->second;
  }
  bool isDirectory(const std::string& mountPoint) override { return fileMounts.count(mountPoint) == 0; }
};

// A desktop: /, /home, /boot/efi on an NVMe disk, a USB stick with a space in its label, a CD,
// an NFS share, tmpfs, proc, sysfs, cgroups, an overlay, a squashfs image, a zram swap
// folder, and a bind mount of a folder of /home.
const char* const kDesktop =
    "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
    "23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "24 22 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:2 - sysfs sysfs rw\n"
    "25 24 0:26 / /sys/fs/cgroup rw,nosuid,nodev,noexec,relatime shared:4 - cgroup2 cgroup2 rw\n"
    "26 24 0:27 / /sys/fs/cgroup/cpu rw,relatime shared:5 - cgroup cgroup rw,cpu\n"
    "27 22 0:5 / /dev rw,nosuid,relatime shared:3 - devtmpfs udev rw,size=8000000k\n"
    "28 22 0:25 / /run rw,nosuid,nodev,noexec,relatime shared:6 - tmpfs tmpfs rw,size=1600000k\n"
    "29 22 259:3 / /home rw,relatime shared:7 - ext4 /dev/nvme0n1p3 rw\n"
    "30 22 259:1 / /boot/efi rw,relatime shared:8 - vfat /dev/nvme0n1p1 rw,fmask=0077\n"
    "31 28 8:17 / /media/u/USB\\040STICK rw,nosuid,nodev,relatime shared:9 - vfat /dev/sdb1 rw\n"
    "32 28 11:0 / /media/u/CDROM ro,nosuid,nodev,relatime shared:10 - iso9660 /dev/sr0 ro\n"
    "33 22 0:50 / /mnt/nas rw,relatime shared:11 - nfs4 nas:/export rw,vers=4.2\n"
    "34 22 0:51 / /var/lib/docker/overlay2/x/merged rw,relatime - overlay overlay rw,lowerdir=/a\n"
    "35 22 7:3 / /snap/core/1 ro,nodev,relatime shared:13 - squashfs /dev/loop3 ro\n"
    "36 22 252:0 / /var/cache/zram rw,relatime - ext4 /dev/zram0 rw\n"
    "37 22 259:3 /u/projects /srv/projects rw,relatime shared:7 - ext4 /dev/nvme0n1p3 rw\n"
    "38 22 0:52 / /tmp rw,nosuid,nodev - tmpfs tmpfs rw\n";

FixtureProbe desktopProbe() {
  FixtureProbe probe;
  probe.devices["259:1"] = {"nvme0n1p1", false};
  probe.devices["259:2"] = {"nvme0n1p2", false};
  probe.devices["259:3"] = {"nvme0n1p3", false};
  probe.devices["8:17"] = {"sdb1", true};
  probe.devices["11:0"] = {"sr0", true};
  probe.devices["7:3"] = {"loop3", false};
  probe.devices["252:0"] = {"zram0", false};
  return probe;
}

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
  const auto entries = parseMountInfo(kDesktop);
  ASSERT_EQ(entries.size(), 17u);
  EXPECT_EQ(entries[0].mountId, 22);
  EXPECT_EQ(entries[0].parentId, 1);
  EXPECT_EQ(entries[0].major, 259u);
  EXPECT_EQ(entries[0].minor, 2u);
  EXPECT_EQ(entries[0].fsType, "ext4");
  EXPECT_EQ(entries[0].source, "/dev/nvme0n1p2");
  EXPECT_EQ(entries[9].mountPoint, "/media/u/USB STICK");
  EXPECT_EQ(entries[15].root, "/u/projects");
  EXPECT_EQ(entries[11].fsType, "nfs4");

  struct Case {
    const char* field;
    std::string decoded;
  } cases[] = {
      {"/a\\040b", "/a b"},
      {"/tab\\011x", "/tab\tx"},
      {"/nl\\012x", "/nl\nx"},
      {"/back\\134slash", "/back\\slash"},
      {"/raw\\xyz", "/raw\\xyz"},
      {"/end\\04", "/end\\04"},
      {"/high\\377", "/high\xFF"},
      {"/over\\777", "/over\\777"},
      {"\\", "\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(unescapeMountField(c.field), c.decoded) << c.field;
}

TEST(MountTable, DesktopDrivesAreTheBlockFileSystemsSorted) {
  FixtureProbe probe = desktopProbe();
  const auto drives = drivesFromMountInfo(kDesktop, probe);
  const std::vector<DriveInfo> expected = {
      {"/", DriveType::Fixed},
      {"/boot/efi/", DriveType::Fixed},
      {"/dev/", DriveType::Unknown},
      {"/home/", DriveType::Fixed},
      {"/media/u/CDROM/", DriveType::CdRom},
      {"/media/u/USB STICK/", DriveType::Removable},
      {"/mnt/nas/", DriveType::Remote},
      {"/proc/", DriveType::Unknown},
      {"/run/", DriveType::RamDisk},
      {"/snap/core/1/", DriveType::Unknown},
      {"/sys/", DriveType::Unknown},
      {"/sys/fs/cgroup/", DriveType::Unknown},
      {"/sys/fs/cgroup/cpu/", DriveType::Unknown},
      {"/tmp/", DriveType::RamDisk},
      {"/var/cache/zram/", DriveType::RamDisk},
      {"/var/lib/docker/overlay2/x/merged/", DriveType::Unknown},
  };
  EXPECT_EQ(drives, expected);  // the bind mount /srv/projects is not a drive of its own
}

TEST(MountTable, OvermountsFileBindsAndDuplicateBinds) {
  FixtureProbe probe;
  probe.devices["8:1"] = {"sda1", false};
  probe.devices["8:17"] = {"sdb1", true};
  probe.fileMounts.insert("/etc/hosts");
  const char* table =
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:1 /var/lib/x/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"  // a file, not a drive
      "3 1 0:40 / /mnt rw - tmpfs tmpfs rw\n"
      "4 1 8:17 / /mnt rw - vfat /dev/sdb1 rw\n"           // hides the tmpfs below it
      "5 1 8:17 / /media/again rw - vfat /dev/sdb1 rw\n";  // the same stick bound again
  const std::vector<DriveInfo> expected = {{"/", DriveType::Fixed}, {"/mnt/", DriveType::Removable}};
  EXPECT_EQ(drivesFromMountInfo(table, probe), expected);
}

TEST(MountTable, SubvolumesOfOneFileSystemAreSeparateDrives) {
  FixtureProbe probe;
  probe.devices["0:33"] = {"sda2", false};  // btrfs reports one anonymous device for both
  const char* table =
      "1 0 0:33 /@ / rw - btrfs /dev/sda2 rw,subvol=/@\n"
      "2 1 0:33 /@home /home rw - btrfs /dev/sda2 rw,subvol=/@home\n";
  const std::vector<DriveInfo> expected = {{"/", DriveType::Fixed}, {"/home/", DriveType::Fixed}};
  EXPECT_EQ(drivesFromMountInfo(table, probe), expected);
}

TEST(MountTable, MalformedLinesAreSkippedTheRestIsRead) {
  FixtureProbe probe;
  probe.devices["8:1"] = {"sda1", false};
  probe.devices["8:2"] = {"sda2", false};
  probe.devices["8:3"] = {"sda3", false};
  const std::string table =
      std::string(
          "garbage\n"
          "\n"
          "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
          "x 0 8:1 / /bad-id rw - ext4 /dev/sda1 rw\n"
          "2 1 8-2 / /bad-dev rw - ext4 /dev/sda2 rw\n"
          "3 1 8:2 / /no-dash rw ext4 /dev/sda2 rw\n"
          "4 1 8:2 / relative rw - ext4 /dev/sda2 rw\n"
          "5 1 8:2 / /short rw -\n"
          "6 1 99999999999:2 / /huge rw - ext4 /dev/sda2 rw\n") +
      std::string("7 1 8:3 / /nul\0byte rw - ext4 /dev/sda3 rw\n", 43) +
      "8 1 8:2 / /data rw shared:3 master:1 - ext4 /dev/sda2 rw";  // no final line break
  const auto entries = parseMountInfo(table);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].mountPoint, std::string("/nul\0byte", 9));
  EXPECT_EQ(entries[2].mountPoint, "/data");
  EXPECT_EQ(parseMountInfo("").size(), 0u);
  const auto drives = drivesFromMountInfo(table, probe);
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_EQ(drives[0].root, "/");
  EXPECT_EQ(drives[1].root, "/data/");
}

TEST(MountTable, MountHoldingPicksTheDeepestVisibleMount) {
  const auto entries = parseMountInfo(kDesktop);
  EXPECT_EQ(mountHolding(entries, "/usr")->mountPoint, "/");
  EXPECT_EQ(mountHolding(entries, "/home/u/x")->mountPoint, "/home");
  EXPECT_EQ(mountHolding(entries, "/homework")->mountPoint, "/");
  EXPECT_EQ(mountHolding(entries, "/boot/efi")->mountPoint, "/boot/efi");
  EXPECT_FALSE(mountHolding(entries, "relative").has_value());
  EXPECT_FALSE(mountHolding({}, "/").has_value());
}

}  // namespace
}  // namespace tw::linuxfs
