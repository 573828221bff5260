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
#include "util/functions.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

using tw::test::readFile;

TEST(LinuxPlatform, DrivesAreTheRealBlockFileSystemsOnly) {
  LinuxPlatform platform;
  const std::string list = getDrivesList(platform);
  ASSERT_FALSE(list.empty()) << "this machine has at least one disk";
  const auto entries = linuxfs::parseMountInfo(readFile("/proc/self/mountinfo"));
  const std::set<std::string> pseudo = {"proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2",
                                        "overlay", "squashfs", "nfs", "nfs4", "cifs", "iso9660"};
  std::vector<std::string> roots;
  std::size_t pos = 0;
  while (pos < list.size()) {
    const auto end = list.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "every root ends in CR LF";
    roots.push_back(list.substr(pos, end - pos));
    pos = end + 2;
  }
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  for (const std::string& root : roots) {
    SCOPED_TRACE(root);
    EXPECT_EQ(root.back(), '/');
    EXPECT_TRUE(fs::is_directory(root));
    const auto holder = linuxfs::mountHolding(entries, root == "/" ? root : root.substr(0, root.size() - 1));
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(pseudo.count(holder->fsType), 0u) << holder->fsType;
    EXPECT_TRUE(holder->source.starts_with("/dev/") || fs::exists("/sys/dev/block/" + std::to_string(holder->major) +
                                                                  ":" + std::to_string(holder->minor)));
  }
  for (const char* notADrive : {"/proc/", "/sys/", "/dev/", "/dev/shm/", "/run/"}) {
    EXPECT_EQ(std::find(roots.begin(), roots.end(), notADrive), roots.end()) << notADrive;
  }
}

TEST(LinuxPlatform, VolumeQueries) {
  LinuxPlatform platform;
  const std::string root = getSystemDriveRoot(platform);
  EXPECT_EQ(root.back(), '/');
  EXPECT_FALSE(getFileSystemName(platform, root).empty());
  EXPECT_EQ(getFileSystemName(platform, "/no/such/mount/"), "");

  const auto total = getDiskSpace(platform, root, true);
  const auto free = getDiskSpace(platform, root, false);
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  EXPECT_LE(free, total);
  EXPECT_EQ(getDiskSpace(platform, "/no/such/path", true), 0);
  EXPECT_EQ(getDiskSpace(platform, "", false), 0);
}

TEST(LinuxPlatform, SystemFolder) {
  LinuxPlatform platform;
  EXPECT_EQ(getWindowsDir(platform), "/usr/");
  const auto root = platform.systemDriveRoot();
  ASSERT_TRUE(root.has_value());
  EXPECT_TRUE(std::string("/usr/").starts_with(*root));
  // The system folder shows the plain folder icon, which later events reuse.
  const int folder = getFolderIconIndex(platform, getWindowsDir(platform));
  EXPECT_NE(folder, 0);
  EXPECT_NE(platform.iconName(folder).find("folder"), std::string::npos);
}

TEST(LinuxPlatform, FileTypeIconsComeFromTheNameAlone) {
  LinuxPlatform platform;
  const int txt = getFileIconIndex(platform, "report.txt");
  EXPECT_NE(txt, 0);
  EXPECT_EQ(getFileIconIndex(platform, ".txt"), txt);
  EXPECT_EQ(getFileIconIndex(platform, "/gone/for/good/notes.TXT"), txt);
  EXPECT_EQ(getFileIconIndex(platform, "\xFF\xFE bad bytes.txt"), txt);
  const int png = getFileIconIndex(platform, "photo.png");
  EXPECT_NE(png, 0);
  EXPECT_NE(png, txt);
  EXPECT_NE(platform.iconName(png).find("image"), std::string::npos) << platform.iconName(png);
  EXPECT_EQ(getFileIconIndex(platform, "archive.tar.gz"), getFileIconIndex(platform, ".tar.gz"));
  // Unknown types and empty names get the generic icon, never a failure.
  EXPECT_NE(getFileIconIndex(platform, "no-extension-at-all"), 0);
  EXPECT_NE(getFileIconIndex(platform, ""), 0);
  EXPECT_EQ(platform.iconName(0), "");
  EXPECT_EQ(platform.iconName(1'000'000), "");
}

TEST(LinuxPlatform, PathIconsLookAtTheDisk) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string gone = tmp.file("report.txt");
  EXPECT_EQ(getFolderIconIndex(platform, gone), 0);
  EXPECT_NE(getFileIconIndex(platform, gone), 0);
  EXPECT_EQ(getFolderIconIndex(platform, ""), 0);

  const int folder = getFolderIconIndex(platform, tmp.path().string());
  EXPECT_NE(folder, 0);
  EXPECT_EQ(getFolderIconIndex(platform, tmp.path().string() + "/"), folder);
  EXPECT_NE(getFolderIconIndex(platform, "/"), folder) << "a drive root has its drive icon";

  tmp.write("report.txt", "plain text\n");
  const int file = getFolderIconIndex(platform, gone);
  EXPECT_NE(file, 0);
  EXPECT_NE(file, folder);
  const std::string odd = tmp.write(std::string("odd\xFF\x01name"), "x");
  EXPECT_NE(getFolderIconIndex(platform, odd), 0);
  // A file with a trailing separator is not a folder.
  EXPECT_EQ(getFolderIconIndex(platform, gone + "/"), 0);
}

TEST(LinuxPlatform, ExistingFilesShowTheTypeOfTheirNameElseOfTheirContent) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string pdfMagic = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<>>\nendobj\n";
  const int pdf = platform.fileTypeIconIndex("x.pdf");
  const int txt = platform.fileTypeIconIndex("x.txt");
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
    EXPECT_EQ(platform.pathIconIndex(tmp.write(c.name, c.content)), c.icon)
        << c.name << ": " << platform.iconName(platform.pathIconIndex(tmp.file(c.name)));
  }
}

TEST(LinuxPlatform, MountRootsShowTheDriveIcon) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const int drive = platform.pathIconIndex("/");
  EXPECT_NE(platform.iconName(drive).find("drive"), std::string::npos) << platform.iconName(drive);
  // /proc is a mount of its own on every Linux system; a folder inside it is not.
  EXPECT_EQ(platform.pathIconIndex("/proc"), drive);
  EXPECT_EQ(platform.pathIconIndex("/proc/"), drive);
  EXPECT_EQ(platform.pathIconIndex("/proc/self/fd/../fd"), platform.pathIconIndex(tmp.path().string()));
  EXPECT_NE(platform.pathIconIndex(tmp.path().string()), drive);
}

// Many paths at once give what one path at a time gives, in any order: links, "..", doubled
// and trailing separators, relative paths, names under a file, mount roots and failures.
TEST(LinuxPlatform, BatchLookupsAgreeWithSingleLookups) {
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
  std::vector<std::string> paths = {
      t + "/a/b/c/notes.txt", t + "/a/b/c/notes.txt/", t + "/a/b/c/", t + "/a/b/c", t + "/a//b///c/notes.txt",
      t + "/a/b/file", t + "/a/b/file/x", t + "/a/b/missing/x", t + "/a/b/../d/photo.png", t + "/a/d/to-notes",
      t + "/link/c/notes.txt", t + "/link/", t + "/dangling", t + "/dangling/x", t + "/a/d/", t + "/a/./d",
      t + "/", t, "/", "//", "/proc", "/proc/self/..", "/usr/", "relative/never/there", ".", "",
      std::string(5000, 'x'), t + "/a/" + std::string(300, 'n'),
      // Runs of paths in one folder, which is opened once for them; one that is not there.
      t + "/a/b/c", t + "/a/b/c/", t + "/a/b/file", t + "/a/b/file/", t + "/a/b/..", t + "/a/b/.", t + "/a/b/gone",
      t + "/a/b//c", t + "/a/d/x1", t + "/a/d/x2/", t + "/a/d/photo.png/", t + "/none/1", t + "/none/2/",
      t + "/none/3", t + "/none/4",
  };
  // A path deeper than the folders kept open.
  std::string deep = t;
  for (int i = 0; i < 80; ++i) deep += "/d" + std::to_string(i);
  fs::create_directories(deep);
  tmp.write(deep.substr(t.size() + 1) + "/leaf.txt", "x");
  paths.push_back(deep + "/leaf.txt");
  paths.push_back(deep + "/");
  paths.push_back(deep.substr(0, deep.size() / 2) + "/");

  std::vector<std::string> sorted = paths;
  std::sort(sorted.begin(), sorted.end());
  for (const auto* order : {&paths, &sorted}) {
    const std::vector<std::string_view> views(order->begin(), order->end());
    const std::vector<int> icons = platform.pathIconIndexes(views);
    ASSERT_EQ(icons.size(), order->size());
    for (std::size_t i = 0; i < order->size(); ++i) {
      const std::string& path = (*order)[i];
      SCOPED_TRACE(path.size() > 200 ? path.substr(0, 200) + "..." : path);
      EXPECT_EQ(icons[i], platform.pathIconIndex(path));
    }
  }
  // The cases mean what they say.
  const auto icon = [&](const std::string& p) { return platform.pathIconIndexes({std::string_view(p)}).front(); };
  EXPECT_NE(icon(t + "/a/b/c/notes.txt"), 0);
  EXPECT_EQ(icon(t + "/a/b/c/notes.txt/"), 0);
  EXPECT_EQ(icon(t + "/a/b/c/"), platform.pathIconIndex(t));
  EXPECT_EQ(icon(t + "/link/c/notes.txt"), icon(t + "/a/b/c/notes.txt"));
  EXPECT_EQ(icon(t + "/a/b/../d/photo.png"), platform.fileTypeIconIndex("x.png"));
  EXPECT_EQ(icon(t + "/dangling"), 0);
  EXPECT_EQ(icon("/proc"), icon("/"));
  EXPECT_NE(icon(deep + "/leaf.txt"), 0);
  EXPECT_EQ(icon(t + "/a/d/to-notes"), icon(t + "/a/b/c/notes.txt"));
  EXPECT_TRUE(platform.pathIconIndexes({}).empty());
}

TEST(LinuxPlatform, IconIndexesAreStableAcrossThreads) {
  LinuxPlatform platform;
  const std::vector<std::string> names = {"a.txt", "b.png", "c.pdf", "d.mp3", "e.html", "f.zip", "g.cpp", "h"};
  std::vector<std::vector<int>> seen(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < seen.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        for (const auto& name : names) seen[t].push_back(platform.fileTypeIconIndex(name));
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
  } cases[] = {{"report.txt", ".txt"}, {".txt", ".txt"},       {"a.tar.gz", ".tar.gz"}, {"x.y.z.txt", ".z.txt"},
               {"Makefile", "Makefile"}, {"/d.ir/file", "file"}, {"/dir/a.b", ".b"},      {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(fileTypeKey(c.name), c.key) << c.name;
}

TEST(LinuxPlatform, ShellOpenRunsXdgOpenWithTheTargetAsOneArgument) {
  test::TempDir tmp;
  const std::string log = tmp.file("args");
  const std::string script = tmp.write("xdg-open", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + log + ".tmp\"\nmv \"" +
                                                       log + ".tmp\" \"" + log + "\"\n");
  fs::permissions(script, fs::perms::owner_all);
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";
  setenv("PATH", (tmp.path().string() + ":" + savedPath).c_str(), 1);

  LinuxPlatform platform;
  const std::string target = "/tmp/a folder; rm -rf nothing $(echo hi) `x`";
  const auto before = std::chrono::steady_clock::now();
  shellOpen(platform, target);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5)) << "must not wait for the handler";
  shellOpen(platform, "");  // nothing to open: nothing happens
  for (int i = 0; i < 500 && !fs::exists(log); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(readFile(log), "1|" + target + "|");
}

TEST(LinuxPlatform, ShellOpenWithoutXdgOpenDoesNothing) {
  const char* oldPath = getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";
  test::TempDir empty;
  setenv("PATH", empty.path().c_str(), 1);
  LinuxPlatform platform;
  EXPECT_NO_THROW(platform.shellOpen("https://example.invalid/"));
  setenv("PATH", savedPath.c_str(), 1);
}

TEST(LinuxPlatform, ComputerNameAndTimeOfDay) {
  LinuxPlatform platform;
  const auto name = platform.computerName();
  ASSERT_TRUE(name.has_value());
  char expected[256] = {};
  gethostname(expected, sizeof expected - 1);
  EXPECT_EQ(*name, expected);
  const std::string time = platform.timeOfDay();
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
  EXPECT_EQ(platform.writeFileAtomically(path, "first"), "");
  EXPECT_EQ(readFile(path), "first");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  const std::string binary("a\0b\r\n\xFF", 6);
  EXPECT_EQ(platform.writeFileAtomically(path, binary), "");
  EXPECT_EQ(readFile(path), binary);
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(platform.writeFileAtomically(path, ""), "");
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

  EXPECT_EQ(platform.writeFileAtomically(tmp.file("absolute.ini"), "one"), "");
  EXPECT_EQ(readFile(real), "one");
  EXPECT_EQ(platform.writeFileAtomically(tmp.file("chain.ini"), "two"), "");
  EXPECT_EQ(readFile(real), "two");
  EXPECT_EQ(platform.writeFileAtomically(tmp.file("dangling.ini"), "three"), "");
  EXPECT_EQ(readFile(tmp.file("real/new.ini")), "three");
  for (const char* link : {"absolute.ini", "dangling.ini", "chain.ini"}) {
    EXPECT_TRUE(fs::is_symlink(tmp.file(link))) << link;
  }
  // A loop of links ends; whatever the write does, it returns.
  platform.writeFileAtomically(tmp.file("loop-a.ini"), "four");
  EXPECT_EQ(readFile(real), "two");
}

TEST(LinuxPlatformFiles, AtomicWriteFailuresNameThePathAndLeaveTheOldFile) {
  LinuxPlatform platform;
  test::TempDir tmp;
  const std::string missing = tmp.file("no/such/dir/report.txt");
  const std::string message = platform.writeFileAtomically(missing, "x");
  EXPECT_NE(message.find(missing), std::string::npos) << message;
  EXPECT_FALSE(fs::exists(missing));

  // The target is a folder: the rename fails, nothing is replaced and no temporary is left.
  const std::string folder = tmp.file("a-folder");
  fs::create_directory(folder);
  tmp.write("a-folder/keep", "keep");
  EXPECT_NE(platform.writeFileAtomically(folder, "x"), "");
  EXPECT_EQ(readFile(tmp.file("a-folder/keep")), "keep");
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace tw
