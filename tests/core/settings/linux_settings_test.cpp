// The settings on the real Linux platform: INI files on disk, file-type descriptions from the
// shared MIME database, the executable's folder, and a settings folder the user cannot write.
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "core/settings/base64.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_codec.h"
#include "platform/linux/linux_platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

using tw::test::readFile;

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> folderEntries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs `body` in a forked child as a user without special rights (root drops to "nobody"), and
// returns what the body returned; none when the rights cannot be dropped.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t pid = fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    close(fds[0]);
    std::string result;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      result =
          "\x01"
          "cannot drop root rights";
    } else {
      try {
        result = body();
      } catch (const std::exception& e) {
        result = std::string("unexpected error: ") + e.what();
      }
    }
    std::size_t done = 0;
    while (done < result.size()) {
      const ssize_t n = write(fds[1], result.data() + done, result.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    _exit(0);  // no destructors or leak checks of the parent's state in the child
  }
  close(fds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
    if (n > 0) result.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child died";
  if (result.starts_with('\x01')) return std::nullopt;
  return result;
}

TEST(LinuxProfile, ReadAndWriteRealFiles) {
  test::TempDir dir;
  LinuxPlatform platform;
  const std::string path = dir.file("config.ini");
  EXPECT_EQ(platform.readString(path, "S", "K", "dflt"), "dflt");
  EXPECT_EQ(platform.readString(dir.file("missing/config.ini"), "S", "K", "dflt"), "dflt");

  EXPECT_TRUE(platform.writeString(path, "S", "K", "v").ok());
  EXPECT_EQ(readFile(path), "[S]\r\nK=v\r\n");
  chmod(path.c_str(), 0640);
  writeFile(path, "\xEF\xBB\xBF; mine\n[s]\nk = 'old'\nOTHER=1");
  EXPECT_EQ(platform.readString(path, "S", "K", ""), "old");
  EXPECT_TRUE(platform.writeString(path, "S", "K", "new").ok());
  EXPECT_TRUE(platform.writeString(path, "T", "A", "b").ok());
  EXPECT_EQ(readFile(path), "\xEF\xBB\xBF; mine\n[s]\nk=new\nOTHER=1\n[T]\nA=b\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file keeps its permissions";
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"config.ini"}) << "no temporary file is left";

  const std::string big(3 << 20, 'Z');
  EXPECT_TRUE(platform.writeString(path, "T", "BIG", big).ok());
  EXPECT_EQ(platform.readString(path, "T", "BIG", ""), big);

  EXPECT_FALSE(platform.writeString(path, "T", "A", "two\nlines").ok());
  EXPECT_EQ(platform.readString(path, "T", "A", ""), "b");
  // A missing folder is made by the first write (an installed program's configuration folder);
  // a path through a file fails the write with the reason.
  EXPECT_TRUE(platform.writeString(dir.file("missing/deeper/config.ini"), "S", "K", "v").ok());
  EXPECT_EQ(readFile(dir.file("missing/deeper/config.ini")), "[S]\r\nK=v\r\n");
  const Status blocked = platform.writeString(path + "/sub/config.ini", "S", "K", "v");
  ASSERT_FALSE(blocked.ok());
  EXPECT_EQ(blocked.error(), "Cannot read " + path + "/sub/config.ini: Not a directory");
  platform.flush(path);  // nothing is buffered on Linux
  EXPECT_EQ(platform.readString(path, "S", "K", ""), "new");
}

TEST(LinuxProfile, FileThatCannotBeReadIsNeverReplaced) {
  test::TempDir dir;
  chmod(dir.path().c_str(), 0777);
  const std::string path = dir.write("config.ini", "[S]\r\nK=secret\r\nKEEP=1\r\n");
  chmod(path.c_str(), 0600);  // readable by its owner (root, or the test's user) only
  const auto result = runUnprivileged([&]() -> std::string {
    if (access(path.c_str(), R_OK) == 0) return "readable";
    LinuxPlatform platform;
    return platform.readString(path, "S", "K", "dflt") + "|" +
           platform.writeString(path, "S", "N", "v").error();
  });
  if (!result) GTEST_SKIP() << "cannot run as a user without rights here";
  if (*result == "readable") GTEST_SKIP() << "this user may read every file";
  EXPECT_EQ(result->substr(0, result->find('|')), "dflt");
  EXPECT_NE(result->find("Cannot read " + path), std::string::npos) << *result;
  EXPECT_EQ(readFile(path), "[S]\r\nK=secret\r\nKEEP=1\r\n");
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"config.ini"});
}

// A disk that fills up during the write (a file-size limit stands in for it): the write is
// refused and the old file stays whole, with no temporary file left beside it.
TEST(LinuxProfile, FullDiskLeavesTheOldFileWhole) {
  test::TempDir dir;
  LinuxPlatform platform;
  const std::string before = "[GLOBAL]\r\nAUTOCAPTURE=Y\r\nTRAY=N\r\n";
  const std::string path = dir.write("config.ini", before);
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = before.size() + 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string refused =
      platform.writeString(path, "FILTERS", "EXTENSIONS", std::string(4096, 'Q')).error();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(refused.find("Cannot write " + path), std::string::npos) << refused;
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"config.ini"});
  EXPECT_EQ(platform.readString(path, "GLOBAL", "AUTOCAPTURE", ""), "Y");
}

// A config.ini that is a FIFO or a folder is not a settings file: reads give the defaults at
// once (a FIFO would otherwise block until somebody writes to it), and writes are refused
// without replacing it.
TEST(LinuxProfile, SomethingOtherThanAFileIsNeitherReadNorReplaced) {
  test::TempDir dir;
  LinuxPlatform platform;
  const std::string fifo = dir.file("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.file("folder.ini");
  fs::create_directory(folder);
  for (const std::string& path : {fifo, folder}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(platform.readString(path, "GLOBAL", "TRAY", "N"), "N");
    const std::string refused = platform.writeString(path, "GLOBAL", "TRAY", "Y").error();
    EXPECT_EQ(refused, "Cannot write " + path + ": it is not a regular file");
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(folderEntries(dir.path()), (std::vector<std::string>{"fifo.ini", "folder.ini"}));

  // The whole read gives the defaults rather than hanging.
  CaptureOptions base;
  base.minimizeToTray = true;
  base.cleanOnStop = false;
  const CaptureOptions options = readCaptureOptions(platform, fifo, base);
  EXPECT_FALSE(options.minimizeToTray);
  EXPECT_TRUE(options.cleanOnStop);
}

// The settings folder cannot be written: the save fails with "Unable to write to <full path>",
// the file is untouched, and the options then are what the file holds.
TEST(LinuxSettings, UnwritableFolderReportsAndRestores) {
  test::TempDir dir;
  chmod(dir.path().c_str(), 0755);
  const fs::path folder = dir.path() / "Tarn watch \xC3\xA9";
  fs::create_directory(folder);
  const std::string path = (folder / "config.ini").string();
  std::string events;
  for (int i = 0; i < 19; ++i) events += i == 2 ? "N\r\n" : "Y\r\n";
  const std::string stored =
      "[EVENTS]\r\nEVENTS=" + encodeBase64(events) +
      "\r\n[GLOBAL]\r\nAUTOCAPTURE=Y\r\nTRAY=Y\r\nAUTOCLEAN=N\r\n[FILTERS]\r\nEXTENSIONS=" +
      encodeBase64(".txt\r\n") + "\r\nDIRECTORIES=" + encodeBase64("/srv/\r\n") + "\r\n";
  writeFile(path, stored);
  chmod(path.c_str(), 0644);
  chmod(folder.c_str(), 0555);

  const auto result = runUnprivileged([&]() -> std::string {
    if (access(folder.c_str(), W_OK) == 0) return "writable";
    LinuxPlatform platform;
    CaptureOptions options;
    options.excludedFolders = {"/home/"};
    options.extensions = {".c"};
    std::string out;
    try {
      saveCaptureOptions(platform, path, options);
      out = "saved";
    } catch (const IniWriteError& e) {
      out = e.what();
    }
    out += "|";
    for (std::size_t n = 0; n < options.kinds.size(); ++n) out += options.kinds.test(n) ? 'Y' : 'N';
    out += "|" + std::to_string(options.autoCapture) + std::to_string(options.minimizeToTray) +
           std::to_string(options.cleanOnStop) + "|";
    for (const auto& c : options.extensions) out += c + ",";
    out += "|";
    for (const auto& c : options.excludedFolders) out += c + ",";
    return out;
  });
  chmod(folder.c_str(), 0755);
  if (!result) GTEST_SKIP() << "cannot run as a user without rights here (root could write anyway)";
  if (*result == "writable") GTEST_SKIP() << "this user may write every folder";
  EXPECT_EQ(*result, "Unable to write to " + path + "|YYNYYYYYYYYYYYYYYYY|110|.c,.txt,|/srv/,");
  EXPECT_EQ(readFile(path), stored);
  EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"config.ini"});
}

TEST(LinuxPlatformSettings, FileTypeDescriptions) {
  LinuxPlatform platform;
  const std::string text = platform.fileTypeDescription("*..txt");
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text, "TXT File") << "the MIME database knows plain text";
  EXPECT_EQ(platform.fileTypeDescription("*.file.txt"), text);
  EXPECT_EQ(platform.fileTypeDescription("*..qqzzxy"), "QQZZXY File");
  EXPECT_EQ(platform.fileTypeDescription("*."), "File");
  EXPECT_EQ(platform.fileTypeDescription(""), "File");
  EXPECT_EQ(platform.fileTypeDescription("*.\xFF\xFE"), "\xFF\xFE File");
}

TEST(LinuxPlatformSettings, ExecutableDirectory) {
  LinuxPlatform platform;
  const std::string dir = platform.executableDirectory().valueOr("");
  EXPECT_EQ(dir, fs::canonical("/proc/self/exe").parent_path().string() + "/");

  // A scripted /proc: the link's folder, also for a replaced executable, and nothing for none.
  test::TempDir proc;
  fs::create_directory(proc.path() / "self");
  fs::create_symlink("/opt/tarn watch/bin/tarnwatch (deleted)", proc.path() / "self" / "exe");
  EXPECT_EQ(LinuxPlatform(proc.path().string()).executableDirectory().valueOr(""), "/opt/tarn watch/bin/");
  const auto none = LinuxPlatform(proc.file("nothing")).executableDirectory();
  EXPECT_FALSE(none.ok());
  EXPECT_NE(none.error().find("nothing/self/exe"), std::string::npos) << none.error();
  EXPECT_EQ(settingsFilePath(platform), dir + "config.ini");
}

// Where the settings file is, for a user without special rights, on the real platform: beside a
// program whose folder that user may write (a portable copy), else in the user's configuration
// folder, which the first save makes as the user's own (0700); when that cannot be made either,
// the save fails with the described message and nothing is left behind.
TEST(LinuxSettings, PortableCopyOrInstalledProgram) {
  test::TempDir dir;
  chmod(dir.path().c_str(), 0755);
  const fs::path portable = dir.path() / "portable";
  const fs::path installed = dir.path() / "installed";
  const fs::path homes = dir.path() / "homes";
  const fs::path lockedHome = dir.path() / "locked";
  for (const fs::path& folder : {portable, installed, homes, lockedHome}) fs::create_directory(folder);
  chmod(portable.c_str(), 0777);
  chmod(installed.c_str(), 0555);
  chmod(homes.c_str(), 0777);
  chmod(lockedHome.c_str(), 0555);
  // A scripted /proc per program folder: only its self/exe link is read.
  const auto procFor = [&](const fs::path& programFolder) {
    const fs::path proc = dir.path() / ("proc-" + programFolder.filename().string());
    fs::create_directories(proc / "self");
    fs::create_symlink(programFolder / "tarnwatch", proc / "self" / "exe");
    return proc.string();
  };
  const std::string portableProc = procFor(portable);
  const std::string installedProc = procFor(installed);
  const fs::path configHome = homes / "settings of ann";

  const auto result = runUnprivileged([&]() -> std::string {
    if (access(installed.c_str(), W_OK) == 0) return "writable";
    std::string out;
    const auto setVariable = [](const char* name, const char* value) {
      if (value != nullptr) {
        setenv(name, value, 1);
      } else {
        unsetenv(name);
      }
    };
    // Where each program would keep its settings.
    setVariable("XDG_CONFIG_HOME", configHome.c_str());
    setVariable("HOME", "/home/ann");
    LinuxPlatform portableCopy(portableProc);
    LinuxPlatform installedProgram(installedProc);
    out += "portable " + settingsFilePath(portableCopy) + "\n";
    out += "installed " + settingsFilePath(installedProgram) + "\n";
    setVariable("XDG_CONFIG_HOME", nullptr);
    out += "installed, HOME only " + settingsFilePath(installedProgram) + "\n";
    setVariable("HOME", nullptr);
    const passwd* entry = getpwuid(geteuid());
    const std::string databaseHome = entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "<none>";
    out += "installed, no HOME " +
           (settingsFilePath(installedProgram) == databaseHome + "/.config/tarnwatch/config.ini"
                ? std::string("database home")
                : settingsFilePath(installedProgram)) +
           "\n";

    // The first save makes the folders; the file reads back.
    setVariable("XDG_CONFIG_HOME", configHome.c_str());
    CaptureOptions options;
    options.extensions = {".log"};
    options.autoCapture = true;
    const std::string path = settingsFilePath(installedProgram);
    saveCaptureOptions(installedProgram, path, options);
    for (const fs::path& folder : {configHome, configHome / "tarnwatch"}) {
      struct stat st {};
      out += stat(folder.c_str(), &st) == 0 ? std::to_string(st.st_mode & 0777) + " " : "missing ";
    }
    out += readCaptureOptions(installedProgram, path) == options ? "read back\n" : "read differently\n";

    // Neither the program's folder nor the configuration folder can be written.
    setVariable("XDG_CONFIG_HOME", (lockedHome / "cfg").c_str());
    const std::string lockedPath = settingsFilePath(installedProgram);
    try {
      saveCaptureOptions(installedProgram, lockedPath, options);
      out += "saved into " + lockedPath;
    } catch (const IniWriteError& e) {
      out += e.what();
    }
    return out;
  });
  if (!result) GTEST_SKIP() << "cannot run as a user without rights here";
  if (*result == "writable") GTEST_SKIP() << "this user may write every folder";
  const std::string configFile = (configHome / "tarnwatch" / "config.ini").string();
  EXPECT_EQ(*result, "portable " + (portable / "config.ini").string() + "\ninstalled " + configFile +
                         "\ninstalled, HOME only /home/ann/.config/tarnwatch/config.ini\n"
                         "installed, no HOME database home\n" +
                         std::to_string(0700) + " " + std::to_string(0700) +
                         " read back\nUnable to write to " +
                         (lockedHome / "cfg" / "tarnwatch" / "config.ini").string());
  EXPECT_TRUE(fs::is_regular_file(configFile));
  EXPECT_TRUE(folderEntries(lockedHome).empty());
  EXPECT_TRUE(folderEntries(installed).empty());
}

}  // namespace
}  // namespace tw
