#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "core/events/event_kinds.h"

namespace tw {

// One change to the file system, as a change watcher reports it: plain facts, the same on every
// system. Paths are UTF-8 (on Linux: the bytes exactly as the kernel gives them).
struct Change {
  EventKind kind = EventKind::Association;
  bool folder = false;   // the object is a folder, where the system says so
  std::string path;      // the object that changed; the old path of a rename
  std::string newPath;   // the new path of a rename; empty otherwise
  std::int32_t pid = 0;  // the process that made the change; 0 when the system does not say
  std::string process;   // its short name; empty when unknown (never a guess)
  // When the change was read from the system: the time every view and export shows for it.
  std::chrono::system_clock::time_point time;

  bool operator==(const Change&) const = default;
};

}  // namespace tw
