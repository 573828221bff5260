#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/linux/change_source.h"
#include "platform/platform.h"

namespace tw {

namespace linuxfs {

// What parseDisplayName hands out: the path, normalised to end without a separator (except
// the root "/").
struct IdList {
  static constexpr std::uint32_t kMagic = 0x54574944;  // marks a live list
  std::uint32_t magic = kMagic;
  std::string path;
};

// A thread's posted-message queue: the messages and an eventfd that is readable while any is
// waiting. Shared by the windows of that thread and by posters (through the registry).
struct ThreadQueue {
  ThreadQueue();
  ~ThreadQueue();
  void post(const ThreadMessage& msg);
  bool tryPop(ThreadMessage& msg);
  void drainSignal();

  int eventFd = -1;
  std::mutex lock;
  std::deque<ThreadMessage> messages;
};

// The message queues by thread id, for postThreadMessage from any thread.
class ThreadRegistry {
 public:
  static ThreadRegistry& instance();
  // The queue of the calling thread, created (and registered) when it has none.
  std::shared_ptr<ThreadQueue> queueOfCurrentThread();
  bool post(std::uint64_t threadId, const ThreadMessage& msg);

 private:
  std::mutex lock;
  std::unordered_map<std::uint64_t, std::weak_ptr<ThreadQueue>> queues;
};

std::uint64_t currentKernelThreadId();

// Turns raw changes of one registration into WM_SHELLNOTIFY messages: keeps only paths under
// its root and kinds in its mask, pairs a write with its close, and reports a file held open
// and written at most once a second.
class Registration : public ChangeSink {
 public:
  using Clock = std::chrono::steady_clock;
  using Deliver = std::function<void(std::uint32_t message, std::uint32_t bit, std::string path1,
                                     std::string path2, std::int32_t pid)>;

  Registration(std::uint32_t id, std::string root, bool recursive, std::int32_t events, std::uint32_t message,
               Deliver deliver);

  void change(RawChange&& change) override;
  // A written file not closed within a second after its last report is reported now.
  void flushDue(Clock::time_point now);
  // When flushDue has something to do next; max() when nothing is waiting.
  Clock::time_point nextDue() const;
  // Sends one event of a kind when the mask has it (drive events come from the window).
  void sendIfWanted(int eventNum, const std::string& path1);

  const std::uint32_t id;
  const std::string root;
  const bool recursive;
  const std::int32_t events;
  const std::uint32_t message;
  std::unique_ptr<linuxfs::ChangeSource> source;  // null once ended

 private:
  bool covers(const std::string& path) const;
  bool wants(int eventNum) const;
  void send(int eventNum, const std::string& path1, const std::string& path2, std::int32_t pid);

  Deliver deliver;
  struct Written {
    Clock::time_point due;
    std::int32_t pid = 0;
  };
  std::unordered_map<std::string, Written> written;  // files written since their last report
};

}  // namespace linuxfs

class LinuxPlatform;

// The hidden window of a monitor thread on Linux: a poll() loop over the thread's posted
// messages, the descriptors of the registrations made for it, and the mount table. Created,
// used and destroyed on one thread.
class LinuxNotifyWindow : public NotifyWindow {
 public:
  LinuxNotifyWindow(LinuxPlatform& platform, NotifyHandler handler);
  ~LinuxNotifyWindow() override;

  std::int32_t getMessage(ThreadMessage& msg) override;
  void dispatchMessage(const ThreadMessage& msg) override;

  // Adds a registration; the source must already be started. Returns its id.
  void add(std::unique_ptr<linuxfs::Registration> registration);
  bool remove(std::uint32_t id);
  // How a registration's changes reach this window's queue of decoded messages.
  linuxfs::Registration::Deliver deliverer(std::uint32_t registrationId);
  // The process that made the change of the message getMessage returned last; 0 when unknown.
  std::int32_t currentProcessId() const { return currentPid; }
  // That process's short name (/proc/<pid>/comm); empty when unknown or gone. Names are kept
  // for a second, so a burst from one process reads its name once.
  std::string currentProcessName();

 private:
  struct Pending {
    std::uint32_t registration;
    std::uint32_t message;
    std::uint32_t bit;
    std::string path1, path2;
    std::int32_t pid;
  };
  void checkMounts();
  int pollTimeoutMs() const;

  LinuxPlatform& platform;
  NotifyHandler handler;
  std::shared_ptr<linuxfs::ThreadQueue> queue;
  std::vector<std::unique_ptr<linuxfs::Registration>> registrations;
  std::deque<Pending> pending;
  int mountFd = -1;
  bool gatherNext = false;             // the last poll read changes: let the next ones gather first
  std::vector<DriveInfo> knownDrives;  // block-device drives at the last look
  // The items of the message getMessage returned last; valid until the next call.
  linuxfs::IdList currentItems[2];
  ItemIdList currentPointers[2] = {nullptr, nullptr};
  std::int32_t currentPid = 0;
  struct KnownProcess {
    std::string name;
    std::chrono::steady_clock::time_point readAt;
  };
  std::unordered_map<std::int32_t, KnownProcess> processNames;
};

}  // namespace tw
