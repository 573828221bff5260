#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/path_style.h"

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

// Change notification. The monitor thread works with these exactly as with the shell's change
// notification service: a path is parsed into an item identifier list, a registration for it
// makes the platform send WM_SHELLNOTIFY messages to a hidden window of the monitor thread, and
// the thread pulls them from its message queue.

// What a path was parsed into. Opaque outside the platform; freed with Platform::freeIdList.
using ItemIdList = const void*;

// What a registration is made for: the parsed path, and -1 to watch everything below it or 0
// for the item alone.
struct NotifyEntry {
  ItemIdList pidl = nullptr;
  std::int32_t fRecursive = 0;
};

// One message of a thread's message queue. A message sent to the hidden window has forWindow
// set and is delivered to the window's handler by dispatchMessage; a message posted to the
// thread (postThreadMessage) has it clear and is not dispatched.
//
// WM_SHELLNOTIFY layout: wParam is the address of two consecutive ItemIdList values, the first
// and the second item (the second may be null); lParam is the event's shell bit (kEventBits),
// possibly with bit 31 set. The items stay valid until the next getMessage on that window.
struct ThreadMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  bool forWindow = false;
};

// A hidden window and the message queue of the thread that created it. Created, used and
// destroyed on that thread only (postThreadMessage is the one way in from other threads);
// destroying it destroys the window.
class NotifyWindow {
 public:
  virtual ~NotifyWindow() = default;
  // Waits for the next message of the thread: > 0 for a message, 0 for a quit message, -1 on
  // an error.
  virtual std::int32_t getMessage(ThreadMessage& msg) = 0;
  // Delivers a window message to the window's handler, on the calling thread.
  virtual void dispatchMessage(const ThreadMessage& msg) = 0;
};

using NotifyHandler = std::function<void(const ThreadMessage&)>;

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
  virtual FileRead readFileContent(std::string_view path,
                                   const std::function<void(std::string_view)>& sink) = 0;

  // True when `path` names an existing file (links followed; a folder is not a file).
  virtual bool fileExists(std::string_view path) = 0;

  // The names in the folder at `folder` (links followed; "." and ".." left out), in any order,
  // so that the export can tell which of many nodes of one folder exist with one call instead
  // of one per node: Done with the names; Missing when no folder is there; Unreadable when it
  // cannot be listed, or where a platform has no such listing (then each path is asked).
  virtual FileRead folderNames(std::string_view folder, std::vector<std::string>& names) {
    (void)folder;
    names.clear();
    return FileRead::Unreadable;
  }

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
  // Change notification and threads (see NotifyWindow above).

  // Obtains the shell's task allocator: true on success.
  virtual bool getShellMalloc() = 0;
  // Parses a path into an item identifier list; null when the path cannot be parsed (for
  // example a drive that is no longer there).
  virtual ItemIdList parseDisplayName(std::string_view path) = 0;
  // Frees a list that parseDisplayName gave out.
  virtual void freeIdList(ItemIdList pidl) = 0;
  // The file-system path of an item; empty when there is none (or no item).
  virtual std::string pathFromIdList(ItemIdList pidl) = 0;
  // Creates a hidden window on the calling thread whose window messages go to `handler`; the
  // thread's message queue exists from then on.
  virtual std::unique_ptr<NotifyWindow> createNotifyWindow(NotifyHandler handler) = 0;
  // Starts sending `message` to `window` for every change of the kinds in `events` (a mask of
  // shell bits) to the entry's item, and below it when the entry is recursive. Returns the
  // registration id, 0 on failure. Called on the window's thread.
  virtual std::uint32_t changeNotifyRegister(NotifyWindow& window, std::int32_t sourceFlags,
                                             std::int32_t events, std::uint32_t message,
                                             const NotifyEntry& entry) = 0;
  // Ends the registration with that id. Called on the thread that registered it.
  virtual void changeNotifyDeregister(std::uint32_t id) = 0;
  // The calling thread's id, for postThreadMessage.
  virtual std::uint64_t currentThreadId() = 0;
  // Posts a message to a thread's message queue without waiting; false when that thread has
  // no message queue (no window created yet, or already destroyed).
  virtual bool postThreadMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) = 0;
  // Gives the calling thread the highest priority below time-critical that the process may
  // set; does nothing where it may not.
  virtual void setCurrentThreadPriorityHighest() = 0;

  // Capture views: many paths asked at once. Each answer is that of the
  // single call for the same path. In sorted order, paths that share folders come cheaper: the
  // Linux layer then looks each shared folder up once rather than once per path. Platforms
  // without a faster way ask one path after the other.

  // Whether pathIconIndex and pathIconIndexes may be called from any thread, while other
  // calls run on others. Where not, the capture views ask on the user-interface thread.
  virtual bool iconLookupsOnAnyThread() const { return false; }
  // pathIconIndex of each path, in order; 0 for a path whose query failed or threw.
  virtual std::vector<int> pathIconIndexes(const std::vector<std::string_view>& paths) {
    std::vector<int> result;
    result.reserve(paths.size());
    for (const std::string_view path : paths) {
      int icon = 0;
      try {
        icon = pathIconIndex(path);
      } catch (...) {
        icon = 0;  // as a failed query
      }
      result.push_back(icon);
    }
    return result;
  }

  // Headless recorder: who made a change.

  // The process that made the change whose notification the monitor thread is handling now
  // (inside the handler given to createNotifyWindow): its id and short name; pid 0 and an
  // empty name where the system does not say (inotify, Windows).
  struct ChangeProcess {
    std::int32_t pid = 0;
    std::string name;
  };
  virtual ChangeProcess notifyProcess(NotifyWindow& window) {
    (void)window;
    return {};
  }
};

// The platform of this build, created on first use and alive until the process exits.
Platform& systemPlatform();

}  // namespace tw
