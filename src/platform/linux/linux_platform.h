#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/icon_registry.h"
#include "platform/linux/helper_change_watching.h"
#include "platform/linux/linux_change_watching.h"
#include "platform/platform.h"

namespace tw {

// The real Linux platform: drives from the mount table and sysfs, icons from the shared MIME
// database, xdg-open for the desktop, fanotify or recursive inotify for changes. Every method is
// safe to call from any thread.
class LinuxPlatform : public Environment,
                      public Drives,
                      public IconSource,
                      public Files,
                      public ProfileStore,
                      public Shell {
 public:
  // `procRoot` and `sysRoot` are where /proc and /sys are read from.
  explicit LinuxPlatform(std::string procRoot = "/proc", std::string sysRoot = "/sys");
  ~LinuxPlatform() override;

  // Every part of this platform.
  Platform parts() { return Platform{*this, *this, *this, *this, *this, *this, *chosenWatching}; }

  // Environment.
  PathStyle pathStyle() const override { return PathStyle::Posix; }
  Result<std::string> computerName() override;
  Result<std::string> systemFolder() override;
  Result<std::string> systemDriveRoot() override;
  Result<std::string> executableDirectory() override;
  Result<std::string> settingsFolder() override;
  std::string timeOfDay(std::chrono::system_clock::time_point moment) override;

  // Drives.
  std::vector<DriveInfo> drives() override;
  Result<std::string> fileSystemName(std::string_view root) override;
  Result<DiskSpace> diskSpace(std::string_view path) override;

  // Icons. The icon tables are locked, so the type icons may be asked from any thread.
  int fileTypeIcon(std::string_view name) override;
  int pathIcon(std::string_view path) override;
  std::string iconName(int index) override;
  std::string fileTypeDescription(std::string_view name) override;

  // Files.
  Status writeFileAtomically(std::string_view path, std::string_view bytes) override;
  Status writeFileAtomicallyFrom(std::string_view path,
                                 const std::function<void(const ChunkWriter&)>& produce) override;
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override;
  bool fileExists(std::string_view path) override;
  ReadResult folderNames(std::string_view folder, std::vector<std::string>& names) override;
  std::string toReportEncoding(std::string_view utf8) override { return std::string(utf8); }

  // Settings.
  std::string readString(std::string_view path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) override;
  Status writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override;
  void flush(std::string_view path) override;

  // Shell.
  void open(std::string_view target) override;

  // Changes are watched with recursive inotify even where fanotify could start (fanotify is
  // tried first otherwise, and inotify used when it cannot start). Set before watching.
  void setForceInotify(bool force) { watching.setForceInotify(force); }
  void setInotifyMemoryLimit(std::size_t bytes) { watching.setInotifyMemoryLimit(bytes); }

  // The desktop program's choice of change watching, made here once for every front end on
  // Linux, before parts() is taken: a process running as root watches in process (fanotify; a
  // helper would only add a process and a pipe); a user's process watches through the capture
  // helper (tarnwatch-record beside the program, run as root by `elevate`, falling back to
  // inotify when that is refused) when the helper is installed there; else in process
  // (inotify). Returns true when the helper is used. Thread: the one that makes the platform.
  bool useCaptureHelper(std::string elevate = "pkexec");

 private:
  std::string readMountInfo() const;
  // The icon of a name's type, and whether the name tells a type at all (an unknown
  // extension or no extension gets the generic icon and known false).
  struct TypeIcon {
    int index;
    bool known;
  };
  TypeIcon typeIconByName(std::string_view name);

  std::string procRoot;
  std::string sysRoot;
  LinuxChangeWatching watching{*this};
  std::unique_ptr<HelperChangeWatching> helperWatching;
  ChangeWatching* chosenWatching = &watching;
  IconRegistry icons;
  // File-type icons by the name's type key (see fileTypeKey), so that the MIME database is
  // asked once per type, not once per event.
  mutable std::shared_mutex typeLock;
  std::unordered_map<std::string, TypeIcon> typeIcon;
  // Settings: profile writes read, change and replace the whole file; one at a time, so that
  // two writes from different threads never lose each other's key.
  std::mutex profileLock;
};

// The part of a file name that decides its type by name: from the second-to-last dot
// ("a.tar.gz" -> ".tar.gz"), else from the last dot ("report.txt" -> ".txt"), else the whole
// name ("Makefile"). Only the last segment of a path counts.
std::string fileTypeKey(std::string_view name);

}  // namespace tw
