#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/change_watching.h"
#include "platform/drives.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/icons.h"
#include "platform/profile_store.h"
#include "platform/shell.h"

namespace tw {

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

// The shell's change notification as the monitor thread uses it. Every method may be called
// from any thread unless it says otherwise.
class ShellNotify {
 public:
  virtual ~ShellNotify() = default;
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

// The system's services, one small interface per concern. A program makes its platform once at
// start and hands each part to what needs it; tests hand fakes. The referenced objects outlive
// every user.
struct Platform {
  Environment& environment;
  Drives& drives;
  IconSource& icons;
  Files& files;
  ProfileStore& profiles;
  Shell& shell;
  ShellNotify& notify;
  ChangeWatching& watching;

  // The same platform with other drives.
  Platform withDrives(Drives& other) const {
    return Platform{environment, other, icons, files, profiles, shell, notify, watching};
  }
};

// The platform of this build, created on first use and alive until the process exits.
Platform systemPlatform();

}  // namespace tw
