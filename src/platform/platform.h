#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/path_style.h"

namespace tw {

// The kinds of drive the platform reports, numbered as the Windows drive types are.
enum class DriveType : int {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct DriveInfo {
  std::string root;  // ends in the path separator
  DriveType type = DriveType::Unknown;
  bool operator==(const DriveInfo&) const = default;
};

struct DiskSpace {
  std::int64_t total = 0;         // size of the volume in bytes
  std::int64_t freeToCaller = 0;  // free bytes the calling user may use (quotas, reserved blocks)
};

// The seam between the system and the operating system. One implementation per OS lives in
// platform/linux or platform/win32; tests script platform/fake.
//
// Threads: every method may be called from any thread at the same time (the monitor thread,
// the queue thread and the user-interface thread all use it); implementations keep their
// caches behind their own locks. Texts are UTF-8 (on Linux: the path bytes as the kernel gives
// them). Methods report failure through their result, never by throwing, unless they say so.
class Platform {
 public:
  virtual ~Platform() = default;

  // The path style of this platform's paths.
  virtual PathStyle pathStyle() const = 0;

  // Every mounted volume or drive letter in use, in the platform's order (drive letters
  // ascending; on Linux, mount points sorted), each with its kind.
  virtual std::vector<DriveInfo> drives() = 0;

  // The name of the file system on the volume whose root is `root` (NTFS, ext4, ...); none
  // when the query fails. May throw when the platform query itself raises an error.
  virtual std::optional<std::string> fileSystemName(std::string_view root) = 0;

  // Size and free bytes of the volume that holds `path`; none when the query fails.
  virtual std::optional<DiskSpace> diskSpace(std::string_view path) = 0;

  // The operating system's own folder (C:\Windows; /usr on Linux), without a final
  // separator; empty when the query fails. Its icon is the plain folder icon.
  virtual std::string systemDirectory() = 0;

  // The root of the drive that holds the operating system (C:\; on Linux the mount point of
  // the file system that holds the system folder), ending in the separator; none on failure.
  virtual std::optional<std::string> systemDriveRoot() = 0;

  // The icon of a file type, from the name alone (a bare extension, a file name or a path;
  // the disk is not consulted). 0 on failure.
  virtual int fileTypeIconIndex(std::string_view name) = 0;

  // The icon of an existing object on disk (drive, special folder, folder or file); 0 when the
  // path does not exist or the query fails.
  virtual int pathIconIndex(std::string_view path) = 0;

  // The icon that an index handed out above stands for: on Linux a freedesktop icon name; on
  // Windows the decimal system image list index. Empty for an index never handed out.
  virtual std::string iconName(int index) = 0;

  // Opens a document, folder or web address with the desktop's default handler, without
  // waiting for it. Failures are ignored.
  virtual void shellOpen(std::string_view target) = 0;

  // The computer's name; none when it cannot be read.
  virtual std::optional<std::string> computerName() = 0;

  // The current local time of day in the user's long time format (15:04:05, 3:04:05 PM, ...).
  virtual std::string timeOfDay() = 0;

  // Files.

  // Creates or replaces the file at `path` with `bytes` so that the file is either the old one
  // or the whole new one, never a part: the bytes go to a temporary file beside it, reach the
  // disk, and the temporary file is renamed over the old one. Returns an empty text on
  // success, else a message a user can read (it names the path and the system's reason).
  virtual std::string writeFileAtomically(std::string_view path, std::string_view bytes) = 0;

  // Export report.

  // What became of a request to read a file's content.
  enum class FileRead {
    Done,        // the whole content went to the sink
    Missing,     // nothing at the path, or not a file (a folder, a device, a dangling link)
    Unreadable,  // a file exists but could not be opened or read to its end
  };

  // Feeds the whole content of the file at `path` (links followed) to `sink`, in order, in
  // chunks of any size; files of any size, 64-bit lengths included. A zero-length file is
  // Done with no chunk. When reading fails part-way the result is Unreadable and the chunks
  // already fed must be thrown away. Never blocks on a FIFO or a device: those are not files.
  virtual FileRead readFileContent(std::string_view path, const std::function<void(std::string_view)>& sink) = 0;

  // True when `path` names an existing file (links followed; a folder is not a file).
  virtual bool fileExists(std::string_view path) = 0;

  // The report text (UTF-8) in the encoding report files are written in: the ANSI code page on
  // Windows (characters it lacks become its default character), UTF-8 unchanged on Linux.
  virtual std::string toReportEncoding(std::string_view utf8) = 0;
  // Settings.

  // The value stored under `key` in `section` of the INI file at `path`, read whole whatever
  // its length; `defaultValue` when the file, the section or the key is missing or the file
  // cannot be read. The rules are those of the Windows profile functions (settings/ini_text.h).
  virtual std::string readProfileString(std::string_view path, std::string_view section, std::string_view key,
                                        std::string_view defaultValue) = 0;

  // Stores `value` under `key` in `section` of the INI file at `path`, creating the file, the
  // section or the key as needed and replacing an earlier value in place; every other line stays.
  // On Linux the whole file is replaced atomically (writeFileAtomically), so a failed write
  // leaves the old file. Returns an empty text on success, else a message a user can read.
  virtual std::string writeProfileString(std::string_view path, std::string_view section,
                                         std::string_view key, std::string_view value) = 0;

  // Hands the platform's buffered profile writes of `path` to the file (Windows buffers them;
  // on Linux every write is already on disk and this does nothing).
  virtual void flushProfile(std::string_view path) = 0;

  // The description of a file type from a name alone, without touching the disk ("*.txt" ->
  // "plain text document"); for a type the system does not know, a generic description made
  // from the extension ("*.qqz" -> "QQZ File"). On Linux: the shared MIME database's comment.
  virtual std::string fileTypeDescription(std::string_view name) = 0;

  // The folder that holds the running executable, ending in the separator; empty when it
  // cannot be found. On Linux: the folder of the resolved /proc/self/exe.
  virtual std::string executableDirectory() = 0;
};

// The platform of this build, created on first use and alive until the process exits.
Platform& systemPlatform();

}  // namespace tw
