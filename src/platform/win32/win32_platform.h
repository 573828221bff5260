#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_change_watching.h"

namespace tw {

// The Windows platform: the shell's change notification, drive and volume queries, the
// system image list, the shell's open verb. UTF-16 is converted at this boundary only.
// Every method may be called from any thread; the shell calls initialise COM on the calling
// thread first.
class Win32Platform : public Environment,
                      public Drives,
                      public IconSource,
                      public Files,
                      public ProfileStore,
                      public Shell {
 public:
  // Every part of this platform.
  Platform parts() { return Platform{*this, *this, *this, *this, *this, *this, watching}; }

  // Environment.
  PathStyle pathStyle() const override { return PathStyle::Windows; }
  Result<std::string> computerName() override;
  Result<std::string> systemFolder() override;
  Result<std::string> systemDriveRoot() override;
  Result<std::string> executableDirectory() override;
  // The executable's folder: the Windows program keeps config.ini beside itself.
  Result<std::string> settingsFolder() override { return executableDirectory(); }
  std::string timeOfDay(std::chrono::system_clock::time_point moment) override;

  // Drives.
  std::vector<DriveInfo> drives() override;
  Result<std::string> fileSystemName(std::string_view root) override;
  Result<DiskSpace> diskSpace(std::string_view path) override;

  // Icons (asked on the user-interface thread). An icon is the system image list's index plus
  // one: the image list's index 0 is an icon like any other (the shell's generic document, which
  // every file of an unknown type shows), while the icon 0 stands for none. systemImageIndex()
  // turns an icon back into the image list's index.
  static int systemImageIndex(int icon) { return icon - 1; }
  // Asked of the shell once per extension (each ask costs registry reads, round trips to the
  // Wine server under Wine, and every filed change asks one); the types whose icon the shell
  // takes from the file itself (programs, icons, cursors, links) are asked every time.
  int fileTypeIcon(std::string_view name) override;
  // An ordinary folder (neither system nor read-only, which is how the shell marks a folder
  // with an icon of its own, nor a link to elsewhere nor a drive's root) shows the shell's
  // plain folder icon, asked once; anything else is asked of the shell, which parses the whole
  // path each time (a few milliseconds under Wine).
  int pathIcon(std::string_view path) override;
  std::string iconName(int index) override;
  std::string fileTypeDescription(std::string_view name) override;

  // Files.
  Status writeFileAtomically(std::string_view path, std::string_view bytes) override;
  ReadResult readFileContent(std::string_view path,
                             const std::function<void(std::string_view)>& sink) override;
  bool fileExists(std::string_view path) override;
  std::string toReportEncoding(std::string_view utf8) override;

  // Settings.
  std::string readString(std::string_view path, std::string_view section, std::string_view key,
                         std::string_view defaultValue) override;
  Status writeString(std::string_view path, std::string_view section, std::string_view key,
                     std::string_view value) override;
  void flush(std::string_view path) override;

  // Shell.
  void open(std::string_view target) override;

  // Tells the shell that a change happened (SHChangeNotify with SHCNF_PATHW, flushed), as any
  // program that changes files may; registrations that cover the path hear of it. `eventBit`
  // is one shell event bit; `path2` is the new path of a rename.
  static void announceChange(std::uint32_t eventBit, std::string_view path1, std::string_view path2 = {});

 private:
  // The shell's icon of an object at `path` (SHGetFileInfoW); 0 when it has none.
  static int shellIcon(std::string_view path);
  // The shell's icon of a file type from the name alone; 0 when it has none.
  static int shellTypeIcon(std::string_view name);
  // The icon of an existing object with these attributes at `path`, as pathIcon gives it.
  int iconOf(std::string_view path, std::wstring_view wide, unsigned long attributes);

  Win32ChangeWatching watching;
  std::atomic<int> plainFolderIcon{0};  // 0 until first asked (or while the shell fails)
  // fileTypeIcon's answers by extension (lower case, without the dot; empty for none), under
  // its lock: any thread may ask. Failures are not kept.
  std::mutex typeIconsLock;
  std::unordered_map<std::string, int> typeIcons;
};

}  // namespace tw
