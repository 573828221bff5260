// The export over the real Linux platform: digests checked against md5sum, files that cannot
// be read, and report paths that cannot be written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/events/event_kinds.h"
#include "core/report/export_report.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

// The digest md5sum gives for a file.
std::string md5sum(const std::string& path) {
  const std::string command = "md5sum '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "md5sum did not start";
  char out[33] = {};
  const std::size_t n = fread(out, 1, 32, pipe);
  pclose(pipe);
  return std::string(out, n);
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ExportLinux, DigestsAgreeWithMd5sum) {
  LinuxPlatform platform;
  test::TempDir dir;
  std::string big(3 * 128 * 1024 + 17, '\0');  // spans several chunks, not a whole number of them
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 9));
  for (const auto& [name, content] : std::vector<std::pair<std::string, std::string>>{
           {"small.txt", "hello\n"}, {"empty", ""}, {"big.bin", big}}) {
    const std::string path = dir.write(name, content);
    EXPECT_EQ(fileDigestText(platform, path), md5sum(path)) << name;
  }
  EXPECT_EQ(fileDigestText(platform, dir.file("empty")), "d41d8cd98f00b204e9800998ecf8427e");
  // Links are followed; a folder, a dangling link and nothing at all are not files.
  ASSERT_EQ(symlink(dir.file("small.txt").c_str(), dir.file("link").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("gone").c_str(), dir.file("dangling").c_str()), 0);
  EXPECT_EQ(fileDigestText(platform, dir.file("link")), md5sum(dir.file("small.txt")));
  EXPECT_EQ(fileDigestText(platform, dir.path().string()), "");
  EXPECT_EQ(fileDigestText(platform, dir.file("dangling")), "");
  EXPECT_EQ(fileDigestText(platform, dir.file("nothing")), "");
  EXPECT_EQ(fileDigestText(platform, ""), "");
  // A FIFO is not a file, and asking for its digest must not block.
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(fileDigestText(platform, dir.file("fifo")), "");
  EXPECT_FALSE(platform.fileExists(dir.file("fifo")));
  EXPECT_TRUE(platform.fileExists(dir.file("link")));
}

// A platform that cannot list folders: the export then asks the disk for every node.
class NoListing : public Files {
 public:
  explicit NoListing(Files& base) : base(base) {}
  Status writeFileAtomically(std::string_view path, std::string_view bytes) override {
    return base.writeFileAtomically(path, bytes);
  }
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override {
    return base.readFileContent(path, sink);
  }
  bool fileExists(std::string_view path) override { return base.fileExists(path); }
  ReadResult folderNames(std::string_view, std::vector<std::string>& names) override {
    names.clear();
    return ReadResult::Unreadable;
  }
  std::string toReportEncoding(std::string_view utf8) override { return base.toReportEncoding(utf8); }

 private:
  Files& base;
};

// Folders with many nodes are listed once; the report is the one that asking for every node
// gives: files that exist get their digest, names that are gone, folders, deleted nodes, links
// and nodes under a folder that is gone do not (links to files do).
TEST(ExportLinux, ListedFoldersGiveTheSameReportAsAskingEachPath) {
  LinuxPlatform platform;
  NoListing perPath(platform);
  test::TempDir dir;
  const std::string root = dir.path().string();
  CaptureViews views(platform, &platform, PathStyle::Posix);
  CaptureTree& tree = views.tree();
  const auto add = [&](std::string path, EventKind kind) {
    Change change;
    change.kind = kind;
    change.path = std::move(path);
    change.time = std::chrono::system_clock::now();
    tree.add(change);
  };
  for (int i = 0; i < 20; ++i) {
    const std::string file = root + "/many/f" + std::to_string(i) + ".txt";
    if (i % 3 == 0) {
      std::filesystem::create_directories(root + "/many");
      std::ofstream(file) << "content " << i;
    }
    add(file, EventKind::FileCreated);
  }
  std::filesystem::create_directories(root + "/many/sub");
  add(root + "/many/sub", EventKind::FolderCreated);
  ASSERT_EQ(symlink((root + "/many/f0.txt").c_str(), (root + "/many/link").c_str()), 0);
  add(root + "/many/link", EventKind::FileCreated);
  add(root + "/many/f3.txt", EventKind::FileDeleted);  // "(time) f3.txt"
  for (int i = 0; i < 10; ++i) add(root + "/gone/g" + std::to_string(i), EventKind::FileCreated);
  add(root + "/gone/deeper/x", EventKind::FileCreated);

  const std::string listed = buildExportReport("T", views, platform);
  const std::string asked = buildExportReport("T", views, perPath);
  EXPECT_EQ(listed, asked);
  EXPECT_NE(listed.find("f6.txt - [MD5:"), std::string::npos) << listed;
  EXPECT_NE(listed.find("link - [MD5:"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("f1.txt - [MD5:"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("f3.txt - [MD5:"), std::string::npos) << "deleted since: " << listed;
}

TEST(ExportLinux, AFileThatCannotBeReadIsSaidSo) {
  LinuxPlatform platform;
  // Readable as a file by its owner, but reading it from the start fails (address 0 is not
  // mapped), whoever runs the test.
  EXPECT_TRUE(platform.fileExists("/proc/self/mem"));
  EXPECT_EQ(fileDigestText(platform, "/proc/self/mem"), "unreadable");
  EXPECT_EQ(fileDigest(platform, "/proc/self/mem"), std::nullopt);
  // Files that say they are empty but never end, or whose content is made as it is read: no
  // known size, not read.
  for (const char* endless : {"/proc/self/pagemap", "/proc/self/status"}) {
    SCOPED_TRACE(endless);
    EXPECT_EQ(fileDigestText(platform, endless), "unreadable");
  }
  // A real empty file is read, and its digest is that of nothing.
  {
    test::TempDir dir;
    EXPECT_EQ(fileDigestText(platform, dir.write("empty", "")), "d41d8cd98f00b204e9800998ecf8427e");
  }
  if (geteuid() != 0) {
    test::TempDir dir;
    const std::string path = dir.write("locked", "secret");
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_EQ(fileDigestText(platform, path), "unreadable");
  }
}

TEST(ExportLinux, ReportFilesCreatedReplacedOrRefused) {
  LinuxPlatform platform;
  test::TempDir dir;
  CaptureViews views(platform, &platform, PathStyle::Posix);
  const std::string data = dir.write("data.txt", "content");
  Change created;
  created.kind = EventKind::FileCreated;
  created.path = data;
  views.add(created);
  const std::string report = buildExportReport("Tarnwatch", views, platform);
  EXPECT_NE(report.find("-->data.txt - [MD5:" + md5sum(data) + "]\r\n"), std::string::npos);

  const std::string out = dir.file("report.txt");
  ASSERT_TRUE(writeReportFile(platform, out, report));
  const std::string written = readAll(out);
  EXPECT_EQ(written, report + "\r\n");
  // Replaced without a question.
  ASSERT_TRUE(writeReportFile(platform, out, "short"));
  EXPECT_EQ(readAll(out), "short\r\n");

  // Paths that cannot be written: a missing folder, a folder itself.
  std::string error;
  EXPECT_FALSE(writeReportFile(platform, dir.file("missing/report.txt"), report, &error));
  EXPECT_NE(error.find("missing/report.txt"), std::string::npos);
  EXPECT_FALSE(writeReportFile(platform, dir.path().string(), report, &error));

  // A write that fails part-way (the file size limit stands in for a full disk) leaves the
  // old report whole and nothing else behind.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = writeReportFile(platform, out, report, &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(readAll(out), "short\r\n");
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2);  // data.txt and report.txt
}

// Files whose reads end in an exception once `allowed` files were read: a stop request that
// comes while the report is being made.
class StopsAfter : public Files {
 public:
  struct Stopped {};
  StopsAfter(Files& base, int allowed) : base(base), allowed(allowed) {}
  Status writeFileAtomically(std::string_view path, std::string_view bytes) override {
    return base.writeFileAtomically(path, bytes);
  }
  Status writeFileAtomicallyFrom(std::string_view path,
                                 const std::function<void(const ChunkWriter&)>& produce) override {
    return base.writeFileAtomicallyFrom(path, produce);
  }
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override {
    if (allowed-- == 0) throw Stopped{};
    return base.readFileContent(path, sink);
  }
  bool fileExists(std::string_view path) override { return base.fileExists(path); }
  ReadResult folderNames(std::string_view folder, std::vector<std::string>& names) override {
    return base.folderNames(folder, names);
  }
  std::string toReportEncoding(std::string_view utf8) override { return base.toReportEncoding(utf8); }

 private:
  Files& base;
  int allowed;
};

// The report written as it is made is the file that the whole report gives, byte for byte,
// over many pieces; a write that fails or a stop part-way leaves the old report whole and
// nothing else behind.
TEST(ExportLinux, AReportWrittenAsItIsMadeIsTheWholeReport) {
  LinuxPlatform platform;
  test::TempDir dir;
  const std::string root = dir.path().string() + "/data";
  std::filesystem::create_directories(root + "/caf\xC3\xA9");
  CaptureViews views(platform, &platform, PathStyle::Posix);
  const auto add = [&](const std::string& path, const std::string& newPath, EventKind kind) {
    Change change;
    change.kind = kind;
    change.path = path;
    change.newPath = newPath;
    change.time = std::chrono::system_clock::now();
    views.add(change);
  };
  // Enough rows for the report to go out in many pieces; every tenth file exists, and names
  // hold a line break, a TAB and text beyond ASCII.
  for (int i = 0; i < 6000; ++i) {
    const std::string name =
        root + "/caf\xC3\xA9/" + (i % 7 == 0 ? "odd\r\nname\t" : "f") + std::to_string(i) + ".txt";
    if (i % 10 == 0) std::ofstream(name) << "content " << i;
    add(name, "", EventKind::FileCreated);
    if (i % 50 == 0) add(name, name + ".renamed", EventKind::FileRenamed);
  }
  const std::string whole = dir.file("whole.txt");
  ASSERT_TRUE(writeReportFile(platform, whole, buildExportReport("Tarnwatch", views, platform)));
  const std::string expected = readAll(whole);
  ASSERT_GT(expected.size(), std::size_t{512} * 1024);  // several pieces of 256 KiB

  const std::string streamed = dir.file("streamed.txt");
  std::string error;
  ASSERT_TRUE(exportReportFile(platform, streamed, "Tarnwatch", views, &error)) << error;
  EXPECT_TRUE(readAll(streamed) == expected) << "the streamed report differs from the whole one";

  const auto entries = [&] {
    int count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++count;
    return count;
  };
  const int before = entries();  // data, whole.txt, streamed.txt
  std::ofstream(streamed, std::ios::binary | std::ios::trunc) << "the old report\r\n";

  // A full disk part-way (the file size limit stands in for it).
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 256 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = exportReportFile(platform, streamed, "Tarnwatch", views, &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(readAll(streamed), "the old report\r\n");
  EXPECT_EQ(entries(), before);

  // A stop after some of the files were read for their digests: thrown on, nothing written.
  StopsAfter stopping(platform, 100);
  EXPECT_THROW(exportReportFile(stopping, streamed, "Tarnwatch", views, &error), StopsAfter::Stopped);
  EXPECT_EQ(readAll(streamed), "the old report\r\n");
  EXPECT_EQ(entries(), before);
}

// A report replaces only a file: a device, a pipe, a socket or a folder at the path, or behind a
// link, is refused with a message and left as it was. The test makes its own nodes (a device
// node only as root).
TEST(ExportLinux, WhatIsNotAFileIsNeverReplaced) {
  LinuxPlatform platform;
  test::TempDir dir;
  const auto makeFifo = [](const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; };
  const auto makeDevice = [](const std::string& path) {
    // The kernel's null device numbers: the node is the test's own, /dev is never touched.
    return ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  };
  const auto makeSocket = [](const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
  };
  const auto makeFolder = [](const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; };
  struct Case {
    const char* name;
    std::function<bool(const std::string&)> make;
    mode_t kind;
  };
  const std::vector<Case> cases = {{"fifo", makeFifo, S_IFIFO},
                                   {"device", makeDevice, S_IFCHR},
                                   {"socket", makeSocket, S_IFSOCK},
                                   {"folder", makeFolder, S_IFDIR}};
  for (const Case& c : cases) {
    for (const bool behindLink : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (behindLink ? " behind a link" : ""));
      const std::string node = dir.file(std::string(c.name) + (behindLink ? "-target" : ""));
      if (!c.make(node)) {
        ASSERT_NE(std::string(c.name), "fifo") << std::strerror(errno);
        continue;  // a device node needs root
      }
      std::string path = node;
      if (behindLink) {
        path = dir.file(std::string(c.name) + "-link");
        ASSERT_EQ(::symlink(node.c_str(), path.c_str()), 0);
      }
      std::string error;
      EXPECT_FALSE(writeReportFile(platform, path, "report", &error));
      EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
      struct stat st {};
      ASSERT_EQ(::stat(node.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
      if (behindLink) {
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
      }
    }
  }
  // Nothing else was left behind: only the test's own nodes and links.
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_FALSE(e.path().filename().string().starts_with(".tarnwatch-")) << e.path();
}

}  // namespace
}  // namespace tw
