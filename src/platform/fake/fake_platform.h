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

class FakeNotifyWindow;

// A platform that tests script: every answer comes from the public fields below, and every
// call that has an effect is recorded. Set the fields before handing the fake to other
// threads; the records are guarded by a lock.
class FakePlatform : public Environment,
                     public Drives,
                     public IconSource,
                     public Files,
                     public ProfileStore,
                     public Shell,
                     public ShellNotify {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Windows) : style(style) {}

  // Every part of this fake.
  Platform parts() { return Platform{*this, *this, *this, *this, *this, *this, *this, watching}; }

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

 public:
  // Change capture, scripted. Set the script fields before other threads use the fake; the
  // records and the message queues are guarded by notifyLock and may be used from any thread.

  // Paths that parseDisplayName accepts (exactly as listed); any other path gives null.
  std::set<std::string, std::less<>> parseablePaths;
  bool shellMallocFails = false;
  // changeNotifyRegister returns 0 (and records nothing) while this is set.
  bool registerFails = false;

  struct NotifyRegistration {
    std::uint32_t id = 0;
    std::uint64_t threadId = 0;  // the thread of the window it was made for
    std::int32_t sourceFlags = 0;
    std::int32_t events = 0;
    std::uint32_t message = 0;
    std::string path;  // the path of the entry's item
    std::int32_t fRecursive = 0;
    bool active = true;  // false once deregistered
  };
  std::vector<NotifyRegistration> registrations() const;
  // Every parse, free, register and deregister in call order: "parse C:\", "free C:\",
  // "register 1 C:\", "deregister 1".
  std::vector<std::string> notifyCalls() const;
  int idListsAllocated() const;
  int idListsFreed() const;
  // Windows that exist now.
  int liveWindows() const;

  // Waits until at least `count` registrations have been made (active or not); false on timeout.
  bool waitForRegistrations(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits until a notify window exists on some thread; that thread's id in `threadId`.
  bool waitForWindow(std::chrono::milliseconds timeout, std::uint64_t* threadId = nullptr) const;

  // From any thread: sends WM_SHELLNOTIFY as the registration `id` would (its message number,
  // its window) with the items `path1` and `path2` (empty: no second item). False when that
  // registration is not active or its window is gone.
  bool injectShellNotify(std::uint32_t id, std::uint32_t bit, std::string path1, std::string path2 = {});
  // From any thread: puts a window message into the queue of the window of `threadId`.
  bool injectWindowMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
  // From any thread: the next getMessage of that thread, in turn with the messages queued
  // before, returns `result` (0 or -1) instead of a message.
  bool injectGetMessageResult(std::uint64_t threadId, std::int32_t result);

  bool getShellMalloc() override;
  ItemIdList parseDisplayName(std::string_view path) override;
  void freeIdList(ItemIdList pidl) override;
  std::string pathFromIdList(ItemIdList pidl) override;
  std::unique_ptr<NotifyWindow> createNotifyWindow(NotifyHandler handler) override;
  std::uint32_t changeNotifyRegister(NotifyWindow& window, std::int32_t sourceFlags, std::int32_t events,
                                     std::uint32_t message, const NotifyEntry& entry) override;
  void changeNotifyDeregister(std::uint32_t id) override;
  std::uint64_t currentThreadId() override;
  bool postThreadMessage(std::uint64_t threadId, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;
  void setCurrentThreadPriorityHighest() override;
  int priorityRaises() const;

  // One entry of a fake thread's message queue.
  struct QueuedMessage {
    ThreadMessage msg;
    std::int32_t result = 1;   // what getMessage returns for it
    std::string path1, path2;  // the items of an injected WM_SHELLNOTIFY
    bool shellNotify = false;
  };
  struct ThreadQueue {
    std::deque<QueuedMessage> messages;
    std::condition_variable ready;
  };

 private:
  friend class FakeNotifyWindow;
  bool enqueue(std::uint64_t threadId, QueuedMessage&& entry);

  mutable std::mutex notifyLock;
  mutable std::condition_variable notifyChanged;
  std::vector<NotifyRegistration> notifyRecords;
  std::vector<std::string> notifyLog;
  std::unordered_map<std::uint64_t, std::shared_ptr<ThreadQueue>> queues;  // threads with a window
  std::unordered_map<std::uint64_t, int> windowsOfThread;
  int allocated = 0;
  int freed = 0;
  int raises = 0;
  std::uint32_t nextRegistration = 1;
};

}  // namespace tw
