#pragma once

#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tw {

// A platform that tests script: every answer comes from the public fields below, and every
// call that has an effect is recorded. Set the fields before handing the fake to other
// threads; the records are guarded by a lock.
class FakePlatform : public Platform {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Windows) : style(style) {}

  PathStyle style;
  std::vector<DriveInfo> driveTable;
  // Per root: the file-system name, or none for a reported failure.
  std::map<std::string, std::optional<std::string>, std::less<>> fileSystems;
  bool fileSystemThrows = false;
  std::map<std::string, DiskSpace, std::less<>> spaces;
  bool diskSpaceThrows = false;
  std::string systemDir = "C:\\Windows";
  std::optional<std::string> systemRoot = std::string("C:\\");
  // File-type icons by lower-case extension (with its dot); unknown types get unknownTypeIcon.
  std::map<std::string, int, std::less<>> typeIcons;
  int unknownTypeIcon = 1;
  // Icons of objects that exist, by exact path; a path not listed does not exist.
  std::map<std::string, int, std::less<>> pathIcons;
  std::optional<std::string> hostName = std::string("TESTBOX");
  std::string clock = "12:34:56";

  std::vector<std::string> opened() const;

  PathStyle pathStyle() const override { return style; }
  std::vector<DriveInfo> drives() override { return driveTable; }
  std::optional<std::string> fileSystemName(std::string_view root) override;
  std::optional<DiskSpace> diskSpace(std::string_view path) override;
  std::string systemDirectory() override { return systemDir; }
  std::optional<std::string> systemDriveRoot() override { return systemRoot; }
  int fileTypeIconIndex(std::string_view name) override;
  int pathIconIndex(std::string_view path) override;
  std::string iconName(int index) override;
  void shellOpen(std::string_view target) override;
  std::optional<std::string> computerName() override { return hostName; }
  std::string timeOfDay() override { return clock; }
  // Writes real files (through a temporary file and a rename); a path listed in
  // refuseWrites fails with the message given there.
  std::map<std::string, std::string, std::less<>> refuseWrites;
  std::string writeFileAtomically(std::string_view path, std::string_view bytes) override;

  // Export report. Scripted files come first: fakeFiles holds the content of files that exist
  // only in the fake, unreadableFiles the files that exist but cannot be read. Any other path
  // is looked up on the real disk. With ansiReport set, toReportEncoding stands in for a
  // single-byte code page: every byte outside ASCII becomes '?'.
  std::map<std::string, std::string, std::less<>> fakeFiles;
  std::set<std::string, std::less<>> unreadableFiles;
  bool ansiReport = false;
  FileRead readFileContent(std::string_view path, const std::function<void(std::string_view)>& sink) override;
  bool fileExists(std::string_view path) override;
  std::string toReportEncoding(std::string_view utf8) override;
  // Settings. INI files live in memory, by exact path, kept with the same text rules as the
  // Linux platform's files; a path listed in refuseWrites refuses profile writes with the
  // message given there. File-type descriptions by lower-case extension (with its dot); other
  // names get the generic description. The files are guarded by the record lock.
  std::map<std::string, std::string, std::less<>> typeDescriptions;
  std::string exeDir = "C:\\Program Files\\Tarnwatch\\";
  // The text of an in-memory INI file; none when it does not exist.
  std::optional<std::string> profileText(std::string_view path) const;
  void setProfileText(std::string_view path, std::string text);
  int profileFlushes() const;
  std::string readProfileString(std::string_view path, std::string_view section, std::string_view key,
                                std::string_view defaultValue) override;
  std::string writeProfileString(std::string_view path, std::string_view section, std::string_view key,
                                 std::string_view value) override;
  void flushProfile(std::string_view path) override;
  std::string fileTypeDescription(std::string_view name) override;
  std::string executableDirectory() override { return exeDir; }

 private:
  mutable std::mutex recordLock;
  std::vector<std::string> openedTargets;
  // Settings.
  std::map<std::string, std::string, std::less<>> profileFiles;
  int flushes = 0;
};

}  // namespace tw
