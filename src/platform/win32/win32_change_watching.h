#pragma once

#include <cstdint>
#include <optional>

#include "platform/change_watching.h"

namespace tw {

// Change watching through the shell's change notifications, as the system is designed on: one
// hidden message-only window per watch, one recursive registration per root
// (SHChangeNotifyRegister with the interrupt-level, shell-level and recursive-interrupt sources,
// the chosen kinds' event bits and message 1026), and the thread's own message loop. Every
// notification is decoded on the watching thread into a change record.
//
// Threads: watch() and the watcher's waits on one thread (which must pump no other window's
// messages meanwhile); wake() from any thread (it posts a message to that thread).
class Win32ChangeWatching : public ChangeWatching {
 public:
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override;
  // THREAD_PRIORITY_HIGHEST.
  void prepareThread() override;
};

namespace win32 {

// The shell event bit (SHCNE_*) of each kind, by event number, and back.
std::uint32_t shellEventBit(EventKind kind);
// The kind whose bit equals `value` as a whole (SHCNE_INTERRUPT already cleared); none for no
// bit, several bits or a bit without a kind: such a notification is dropped.
std::optional<EventKind> kindOfShellEvent(std::uint32_t value);
// The OR of the bits of the kinds in the set.
std::uint32_t shellEventMask(const EventKindSet& kinds);

}  // namespace win32

}  // namespace tw
