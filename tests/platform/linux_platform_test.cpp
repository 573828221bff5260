#include "platform/linux/linux_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/linux/mount_table.h"
#include "support/temp_dir.h"

namespace tw {

namespace {

namespace fs = std::filesystem;

using tw::test::readFile;

TEST(LinuxPlatform, DrivesAreTheRealBlockFileSystemsOnly) {
  LinuxPlatform platform;
  const std::vector<std::string> roots = recordableDriveRoots(platform);
  ASSERT_FALSE(roots.empty()) << "this machine has at least one disk";
  const auto entries = linuxfs::parseMountInfo(readFile("/proc/self/mountinfo"));
  const std::set<std::string> pseudo = {"proc",   "sysfs",   "tmpfs",   "devtmpfs", "devpts",
                                        "cgroup", "cgroup2", "overlay", "squashfs", "nfs",
                                        "nfs4",   "cifs",    "iso9660"};
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  for (const std::string& root : roots) {
    SCOPED_TRACE(root);
    EXPECT_EQ(root.back(), '/');
    EXPECT_TRUE(fs::is_directory(root));
    const auto holder = linuxfs::mountHolding(entries, root == "/" ? root : root.substr(0, root.size() - 1));
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(pseudo.count(holder->fsType), 0u) << holder->fsType;
    EXPECT_TRUE(
        holder->source.starts_with("/dev/") ||
        fs::exists("/sys/dev/block/" + std::to_string(holder->major) + ":" + std::to_string(holder->minor)));
  }
  for (const char* notADrive : {"/proc/", "/sys/", "/dev/", "/dev/shm/", "/run/"}) {
    EXPECT_EQ(std::find(roots.begin(), roots.end(), notADrive), roots.end()) << notADrive;
  }
}

// The drive scan over a /proc and a /sys made in a temporary folder: sysfs decides fixed or
// removable (a partition by its disk's "removable"), a device's kernel name is where its
// /sys/dev/block link leads (a CD by name even with an unknown file system), and mounts without
// a block device behind them are neither fixed nor removable.
TEST(LinuxPlatform, DrivesFromAFixtureSysfs) {
  test::TempDir tmp;
  const fs::path sys = tmp.path() / "sys";
  const fs::path proc = tmp.path() / "proc";
  const fs::path mnt = tmp.path() / "mnt";
  const auto disk = [&](const std::string& path, const char* removable) {
    fs::create_directories(sys / "devices" / path);
    if (removable != nullptr) tmp.write("sys/devices/" + path + "/removable", removable);
  };
  disk("pci/block/nvme0n1", "0\n");
  disk("pci/block/nvme0n1/nvme0n1p2", nullptr);
  disk("pci/block/nvme0n1/nvme0n1p3", nullptr);
  disk("usb/block/sdb", "1\n");
  disk("usb/block/sdb/sdb1", nullptr);
  disk("usb/block/sdc", "1");  // a whole removable disk with a file system and no partitions
  disk("ata/block/sr0", "1\n");
  disk("virtual/block/zram0", "0\n");
  fs::create_directories(sys / "dev" / "block");
  const std::pair<const char*, const char*> links[] = {
      {"259:2", "../../devices/pci/block/nvme0n1/nvme0n1p2"},
      {"259:3", "../../devices/pci/block/nvme0n1/nvme0n1p3"},
      {"8:17", "../../devices/usb/block/sdb/sdb1"},
      {"8:32", "../../devices/usb/block/sdc"},
      {"11:0", "../../devices/ata/block/sr0"},
      {"252:0", "../../devices/virtual/block/zram0"},
  };
  for (const auto& [number, target] : links)
    fs::create_directory_symlink(target, sys / "dev" / "block" / number);

  for (const char* point :
       {"root", "home", "USB STICK", "whole", "cd", "zram", "nas", "tmp", "gone-device", "home-bind"}) {
    fs::create_directories(mnt / point);
  }
  const std::string m = mnt.string();
  fs::create_directories(proc / "self");
  tmp.write("proc/self/mountinfo",
            "22 1 259:2 / " + m + "/root rw - ext4 /dev/nvme0n1p2 rw\n" + "23 22 259:3 / " + m +
                "/home rw - ext4 /dev/nvme0n1p3 rw\n" + "24 22 8:17 / " + m +
                "/USB\\040STICK rw - vfat /dev/sdb1 rw\n" + "25 22 8:32 / " + m +
                "/whole rw - ext4 /dev/sdc rw\n" + "26 22 11:0 / " + m + "/cd ro - udf /dev/sr0 ro\n" +
                "27 22 252:0 / " + m + "/zram rw - ext4 /dev/zram0 rw\n" + "28 22 0:50 / " + m +
                "/nas rw - nfs4 nas:/export rw\n" + "29 22 0:51 / " + m + "/tmp rw - tmpfs tmpfs rw\n" +
                "30 22 0:52 / " + m + "/gone-device rw - btrfs /dev/no-such-device rw\n" + "31 22 259:3 /u " +
                m + "/home-bind rw - ext4 /dev/nvme0n1p3 rw\n" + "broken line\n");

  LinuxPlatform platform(proc.string(), sys.string());
  const std::vector<DriveInfo> drives = platform.drives();
  std::string shown;
  for (const DriveInfo& d : drives) shown += d.root + " " + std::to_string(static_cast<int>(d.type)) + "\n";
  EXPECT_EQ(drives, (std::vector<DriveInfo>{
                        {m + "/USB STICK/", DriveType::Removable},
                        {m + "/cd/", DriveType::CdRom},
                        {m + "/gone-device/", DriveType::Unknown},
                        {m + "/home/", DriveType::Fixed},
                        {m + "/nas/", DriveType::Remote},
                        {m + "/root/", DriveType::Fixed},
                        {m + "/tmp/", DriveType::RamDisk},
                        {m + "/whole/", DriveType::Removable},
                        {m + "/zram/", DriveType::RamDisk},
                    }))
      << shown;
  EXPECT_EQ(recordableDriveRoots(platform),
            (std::vector<std::string>{m + "/USB STICK/", m + "/home/", m + "/root/", m + "/whole/"}));
}

TEST(LinuxPlatform, VolumeQueries) {
  LinuxPlatform platform;
  const std::string root = platform.systemDriveRoot().valueOrThrow();
  EXPECT_EQ(root.back(), '/');
  EXPECT_FALSE(platform.fileSystemName(root).valueOr("").empty());
  const auto noMount = platform.fileSystemName("/no/such/mount/");
  EXPECT_FALSE(noMount.ok());
  EXPECT_NE(noMount.error().find("/no/such/mount"), std::string::npos) << noMount.error();

  const DiskSpace space = platform.diskSpace(root).valueOrThrow();
  EXPECT_GT(space.total, 0);
  EXPECT_GE(space.freeToCaller, 0);
  EXPECT_LE(space.freeToCaller, space.total);
  const auto noPath = platform.diskSpace("/no/such/path");
  EXPECT_FALSE(noPath.ok());
  EXPECT_NE(noPath.error().find("/no/such/path"), std::string::npos) << noPath.error();
  EXPECT_FALSE(platform.diskSpace("").ok());
}

TEST(LinuxPlatform, SystemFolder) {
  LinuxPlatform platform;
  EXPECT_EQ(platform.systemFolder().valueOr(""), "/usr");
  const auto root = platform.systemDriveRoot();
  ASSERT_TRUE(root.ok()) << root.error();
  EXPECT_TRUE(std::string("/usr/").starts_with(*root));
  // The system folder shows the plain folder icon, which later events reuse.
  const int folder = platform.pathIcon("/usr/");
  EXPECT_NE(folder, 0);
  test::TempDir plain;
  EXPECT_EQ(folder, platform.pathIcon(plain.path().string()))
      << platform.iconName(folder) << " is not the icon of a plain folder";
}

TEST(LinuxPlatform, FileTypeIconsComeFromTheNameAlone) {
  LinuxPlatform platform;
  const int txt = platform.fileTypeIcon("report.txt");
  EXPECT_NE(txt, 0);
  EXPECT_EQ(platform.fileTypeIcon(".txt"), txt);
  EXPECT_EQ(platform.fileTypeIcon("/gone/for/good/notes.TXT"), txt);
  EXPECT_EQ(platform.fileTypeIcon("\xFF\xFE bad bytes.txt"), txt);
  const int png = platform.fileTypeIcon("photo.png");
  EXPECT_NE(png, 0);
  EXPECT_NE(png, txt);
  EXPECT_NE(platform.iconName(png).find("image"), std::string::npos) << platform.iconName(png);
  EXPECT_EQ(platform.fileTypeIcon("archive.tar.gz"), platform.fileTypeIcon(".tar.gz"));
  // Unknown types and empty names get the generic icon, never a failure.
  EXPECT_NE(platform.fileTypeIcon("no-extension-at-all"), 0);
  EXPECT_NE(platform.fileTypeIcon(""), 0);
  EXPECT_EQ(platform.iconName(0), "");
  EXPECT_EQ(platform.iconName(1'000'000), "");
}

TEST(LinuxPlatform, PathIconsLookAtTheDisk) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string gone = tmp.file("report.txt");
  EXPECT_EQ(platform.pathIcon(gone), 0);
  EXPECT_NE(platform.fileTypeIcon(gone), 0);
  EXPECT_EQ(platform.pathIcon(""), 0);

  const int folder = platform.pathIcon(tmp.path().string());
  EXPECT_NE(folder, 0);
  EXPECT_EQ(platform.pathIcon(tmp.path().string() + "/"), folder);
  EXPECT_NE(platform.pathIcon("/"), folder) << "a drive root has its drive icon";

  tmp.write("report.txt", "plain text\n");
  const int file = platform.pathIcon(gone);
  EXPECT_NE(file, 0);
  EXPECT_NE(file, folder);
  const std::string odd = tmp.write(std::string("odd\xFF\x01name"), "x");
  EXPECT_NE(platform.pathIcon(odd), 0);
  // A file with a trailing separator is not a folder.
  EXPECT_EQ(platform.pathIcon(gone + "/"), 0);
}

TEST(LinuxPlatform, ExistingFilesShowTheTypeOfTheirNameElseOfTheirContent) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string pdfMagic = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<>>\nendobj\n";
  const int pdf = platform.fileTypeIcon("x.pdf");
  const int txt = platform.fileTypeIcon("x.txt");
  ASSERT_NE(pdf, txt);
  struct Case {
    const char* name;
    std::string content;
    int icon;
  } cases[] = {
      {"notes.txt", "plain text\n", txt},
      {"looks-like.txt", pdfMagic, txt},  // the name decides when it tells a type
      {"no-extension", pdfMagic, pdf},    // else the content does
      {"paper.PDF", "not really\n", pdf},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform.pathIcon(tmp.write(c.name, c.content)), c.icon)
        << c.name << ": " << platform.iconName(platform.pathIcon(tmp.file(c.name)));
  }
}

TEST(LinuxPlatform, MountRootsShowTheDriveIcon) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const int drive = platform.pathIcon("/");
  EXPECT_NE(platform.iconName(drive).find("drive"), std::string::npos) << platform.iconName(drive);
  // /proc is a mount of its own on every Linux system; a folder inside it is not.
  EXPECT_EQ(platform.pathIcon("/proc"), drive);
  EXPECT_EQ(platform.pathIcon("/proc/"), drive);
  EXPECT_EQ(platform.pathIcon("/proc/self/fd/../fd"), platform.pathIcon(tmp.path().string()));
  EXPECT_NE(platform.pathIcon(tmp.path().string()), drive);
}

// Odd paths: links, "..", doubled and trailing separators, names under a file, mount roots,
// relative paths and failures.
TEST(LinuxPlatform, PathIconsOfOddPaths) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string t = tmp.path().string();
  fs::create_directories(t + "/a/b/c");
  fs::create_directories(t + "/a/d");
  tmp.write("a/b/c/notes.txt", "text\n");
  tmp.write("a/b/file", "x");
  tmp.write("a/d/photo.png", "not a png");
  ASSERT_EQ(symlink((t + "/a/b").c_str(), (t + "/link").c_str()), 0);
  ASSERT_EQ(symlink((t + "/gone").c_str(), (t + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink((t + "/a/b/c/notes.txt").c_str(), (t + "/a/d/to-notes").c_str()), 0);
  std::string deep = t;
  for (int i = 0; i < 80; ++i) deep += "/d" + std::to_string(i);
  fs::create_directories(deep);
  tmp.write(deep.substr(t.size() + 1) + "/leaf.txt", "x");
  const auto icon = [&](const std::string& p) { return platform.pathIcon(p); };
  const int notes = icon(t + "/a/b/c/notes.txt");
  EXPECT_NE(notes, 0);
  EXPECT_EQ(icon(t + "/a//b///c/notes.txt"), notes);
  EXPECT_EQ(icon(t + "/link/c/notes.txt"), notes);
  EXPECT_EQ(icon(t + "/a/d/to-notes"), notes);
  EXPECT_EQ(icon(t + "/a/b/../d/photo.png"), platform.fileTypeIcon("x.png"));
  EXPECT_EQ(icon(t + "/a/b/c/"), platform.pathIcon(t));
  EXPECT_EQ(icon(t + "/a/./d"), platform.pathIcon(t));
  EXPECT_NE(icon(deep + "/leaf.txt"), 0);
  EXPECT_EQ(icon("/proc"), icon("/"));
  for (const std::string& nothing :
       {t + "/a/b/c/notes.txt/", t + "/a/b/file/x", t + "/a/b/missing/x", t + "/dangling", t + "/dangling/x",
        std::string("relative/never/there"), std::string(), std::string(5000, 'x'),
        t + "/a/" + std::string(300, 'n')}) {
    EXPECT_EQ(icon(nothing), 0) << nothing.substr(0, 200);
  }
}

TEST(LinuxPlatform, IconIndexesAreStableAcrossThreads) {
  LinuxPlatform platform;
  const std::vector<std::string> names = {"a.txt",  "b.png", "c.pdf", "d.mp3",
                                          "e.html", "f.zip", "g.cpp", "h"};
  std::vector<std::vector<int>> seen(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < seen.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        for (const auto& name : names) seen[t].push_back(platform.fileTypeIcon(name));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t t = 1; t < seen.size(); ++t) EXPECT_EQ(seen[t], seen[0]);
}

TEST(LinuxPlatform, FileTypeKey) {
  struct Case {
    const char* name;
    const char* key;
  } cases[] = {
      {"report.txt", ".txt"},   {".txt", ".txt"},       {"a.tar.gz", ".tar.gz"}, {"x.y.z.txt", ".z.txt"},
      {"Makefile", "Makefile"}, {"/d.ir/file", "file"}, {"/dir/a.b", ".b"},      {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(fileTypeKey(c.name), c.key) << c.name;
}

// The handler is run with the target as its one argument, and shellOpen returns while the
// handler still runs: this xdg-open waits for the test to let it go.
TEST(LinuxPlatform, ShellOpenRunsXdgOpenWithTheTargetAsOneArgument) {
  test::TempDir tmp;
  const std::string log = tmp.file("args");
  const std::string release = tmp.file("release");
  const std::string done = tmp.file("done");
  const std::string script =
      tmp.write("xdg-open", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + log + ".tmp\"\nmv \"" + log +
                                ".tmp\" \"" + log + "\"\ni=0\nwhile [ ! -e \"" + release +
                                "\" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done\n" + "touch \"" +
                                done + "\"\n");
  fs::permissions(script, fs::perms::owner_all);
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";
  setenv("PATH", (tmp.path().string() + ":" + savedPath).c_str(), 1);

  LinuxPlatform platform;
  const std::string target = "/tmp/a folder; rm -rf nothing $(echo hi) `x`";
  platform.open(target);
  platform.open("");  // nothing to open: nothing happens
  setenv("PATH", savedPath.c_str(), 1);
  const auto waitFor = [](const std::string& path) {
    for (int i = 0; i < 1000 && !fs::exists(path); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
  };
  ASSERT_TRUE(waitFor(log)) << "xdg-open was not run";
  EXPECT_FALSE(fs::exists(done)) << "shellOpen waited for the handler to end";
  EXPECT_EQ(readFile(log), "1|" + target + "|");
  tmp.write("release", "");
  EXPECT_TRUE(waitFor(done));
}

TEST(LinuxPlatform, ShellOpenWithoutXdgOpenDoesNothing) {
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";
  test::TempDir empty;
  setenv("PATH", empty.path().c_str(), 1);
  LinuxPlatform platform;
  EXPECT_NO_THROW(platform.open("https://example.invalid/"));
  setenv("PATH", savedPath.c_str(), 1);
}

TEST(LinuxPlatform, ComputerNameAndTimeOfDay) {
  LinuxPlatform platform;
  const auto name = platform.computerName();
  ASSERT_TRUE(name.ok()) << name.error();
  // The kernel's own record of the name, read another way.
  std::string expected = readFile("/proc/sys/kernel/hostname");
  while (!expected.empty() && expected.back() == '\n') expected.pop_back();
  EXPECT_EQ(*name, expected);
  const std::string time = platform.timeOfDay(std::chrono::system_clock::now());
  EXPECT_TRUE(std::regex_search(time, std::regex("[0-9]{1,2}.[0-9]{2}.[0-9]{2}"))) << time;
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(LinuxPlatformFiles, AtomicWriteCreatesReplacesAndKeepsModes) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string path = tmp.file("config.ini");
  EXPECT_TRUE(platform.writeFileAtomically(path, "first").ok());
  EXPECT_EQ(readFile(path), "first");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  const std::string binary("a\0b\r\n\xFF", 6);
  EXPECT_TRUE(platform.writeFileAtomically(path, binary).ok());
  EXPECT_EQ(readFile(path), binary);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(platform.writeFileAtomically(path, "").ok());
  EXPECT_EQ(fs::file_size(path), 0u);
  // Only the file is left behind: no temporary files.
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

// A path that is a symbolic link: the file it points to is replaced and the link stays, also
// for a link whose file does not exist yet and for a relative link through another link.
TEST(LinuxPlatformFiles, AtomicWriteReplacesWhatALinkPointsTo) {
  LinuxPlatform platform;
  test::TempDir tmp;
  fs::create_directory(tmp.file("real"));
  const std::string real = tmp.write("real/config.ini", "old");
  fs::create_symlink(real, tmp.file("absolute.ini"));
  fs::create_symlink("real/new.ini", tmp.file("dangling.ini"));
  fs::create_symlink("absolute.ini", tmp.file("chain.ini"));
  fs::create_symlink("loop-b.ini", tmp.file("loop-a.ini"));
  fs::create_symlink("loop-a.ini", tmp.file("loop-b.ini"));

  EXPECT_TRUE(platform.writeFileAtomically(tmp.file("absolute.ini"), "one").ok());
  EXPECT_EQ(readFile(real), "one");
  EXPECT_TRUE(platform.writeFileAtomically(tmp.file("chain.ini"), "two").ok());
  EXPECT_EQ(readFile(real), "two");
  EXPECT_TRUE(platform.writeFileAtomically(tmp.file("dangling.ini"), "three").ok());
  EXPECT_EQ(readFile(tmp.file("real/new.ini")), "three");
  for (const char* link : {"absolute.ini", "dangling.ini", "chain.ini"}) {
    EXPECT_TRUE(fs::is_symlink(tmp.file(link))) << link;
  }
  // A loop of links ends; whatever the write does, it returns.
  platform.writeFileAtomically(tmp.file("loop-a.ini"), "four");
  EXPECT_EQ(readFile(real), "two");
}

// A link that another user made is not followed: the write replaces the link itself and the
// file it points to is left alone (a planted link must not redirect a write).
TEST(LinuxPlatformFiles, AtomicWriteDoesNotFollowAnotherUsersLink) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can make a link owned by somebody else";
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string victim = tmp.write("victim", "keep");
  const std::string planted = tmp.file("report.txt");
  fs::create_symlink(victim, planted);
  ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
  EXPECT_TRUE(platform.writeFileAtomically(planted, "report").ok());
  EXPECT_EQ(readFile(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(planted));
  EXPECT_EQ(readFile(planted), "report");
}

TEST(LinuxPlatformFiles, AtomicWriteFailuresNameThePathAndLeaveTheOldFile) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string missing = tmp.file("no/such/dir/report.txt");
  const std::string message = platform.writeFileAtomically(missing, "x").error();
  EXPECT_NE(message.find(missing), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(missing));

  // The target is a folder: the rename fails, nothing is replaced and no temporary is left.
  const std::string folder = tmp.file("a-folder");
  fs::create_directory(folder);
  tmp.write("a-folder/keep", "keep");
  EXPECT_FALSE(platform.writeFileAtomically(folder, "x").ok());
  EXPECT_EQ(readFile(tmp.file("a-folder/keep")), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tw
