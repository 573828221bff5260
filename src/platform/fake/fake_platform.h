#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/fake/fake_change_watching.h"
#include "platform/platform.h"

namespace tw {

// A platform that tests script: every answer comes from the public fields below, and every
// call that has an effect is recorded. Set the fields before handing the fake to other
// threads; the records are guarded by a lock.
class FakePlatform : public Environment,
                     public Drives,
                     public IconSource,
                     public Files,
                     public ProfileStore,
                     public Shell {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Windows) : style(style) {}

  // Every part of this fake.
  Platform parts() { return Platform{*this, *this, *this, *this, *this, *this, watching}; }

  // Change watching, scripted.
  FakeChangeWatching watching;

  PathStyle style;
  std::vector<DriveInfo> driveTable;
  // Per root: the file-system name, or none for a failed query.
  std::map<std::string, std::optional<std::string>, std::less<>> fileSystems;
  std::map<std::string, DiskSpace, std::less<>> spaces;  // a path not listed fails
  std::string systemDir = "C:\\Windows";                 // empty: the query fails
  std::optional<std::string> systemRoot = std::string("C:\\");
  // File-type icons by lower-case extension (with its dot); unknown types get unknownTypeIcon.
  std::map<std::string, int, std::less<>> typeIcons;
  int unknownTypeIcon = 1;
  // Icons of objects that exist, by exact path; a path not listed does not exist.
  std::map<std::string, int, std::less<>> objectIcons;
  std::optional<std::string> hostName = std::string("TESTBOX");
  // The time of day every moment is shown as.
  std::string clock = "12:34:56";

  std::vector<std::string> opened() const;

  PathStyle pathStyle() const override { return style; }
  Result<std::string> computerName() override;
  Result<std::string> systemFolder() override;
  Result<std::string> systemDriveRoot() override;
  Result<std::string> executableDirectory() override { return exeDir; }
  std::string timeOfDay(std::chrono::system_clock::time_point) override { return clock; }
  std::vector<DriveInfo> drives() override { return driveTable; }
  Result<std::string> fileSystemName(std::string_view root) override;
  Result<DiskSpace> diskSpace(std::string_view path) override;
  int fileTypeIcon(std::string_view name) override;
  int pathIcon(std::string_view path) override;
  std::string iconName(int index) override;
  void open(std::string_view target) override;
  // Writes real files (through a temporary file and a rename); a path listed in
  // refuseWrites fails with the message given there.
  std::map<std::string, std::string, std::less<>> refuseWrites;
  Status writeFileAtomically(std::string_view path, std::string_view bytes) override;

  // Export report. Scripted files come first: fakeFiles holds the content of files that exist
  // only in the fake, unreadableFiles the files that exist but cannot be read. Any other path
  // is looked up on the real disk. With ansiReport set, toReportEncoding stands in for a
  // single-byte code page: every byte outside ASCII becomes '?'.
  std::map<std::string, std::string, std::less<>> fakeFiles;
  std::set<std::string, std::less<>> unreadableFiles;
  bool ansiReport = false;
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override;
  bool fileExists(std::string_view path) override;
  std::string toReportEncoding(std::string_view utf8) override;
  // Settings. INI files live in memory, by exact path, kept with the same text rules as the
  // Linux platform's files (readFileContent and fileExists see them as files); a path listed in refuseWrites
  // refuses profile writes with the message given there. File-type descriptions by lower-case extension (with
  // its dot); other names get the generic description. The files are guarded by the record lock.
  std::map<std::string, std::string, std::less<>> typeDescriptions;
  std::string exeDir = "C:\\Program Files\\Tarnwatch\\";
  // The text of an in-memory INI file; none when it does not exist.
  std::optional<std::string> profileText(std::string_view path) const;
  void setProfileText(std::string_view path, std::string text);
  int profileFlushes() const;
  std::string readString(std::string_view path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) override;
  Status writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override;
  void flush(std::string_view path) override;
  std::string fileTypeDescription(std::string_view name) override;

 private:
  mutable std::mutex recordLock;
  std::vector<std::string> openedTargets;
  // Settings.
  std::map<std::string, std::string, std::less<>> profileFiles;
  int flushes = 0;
};

}  // namespace tw
