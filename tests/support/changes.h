#pragma once

#include <chrono>
#include <string>
#include <utility>

#include "core/events/change.h"

namespace tw::test {

// A change as a watcher reports it, made now unless a time is given.
inline Change changeOf(std::string path, std::string newPath, EventKind kind,
                       std::chrono::system_clock::time_point time = std::chrono::system_clock::now()) {
  Change change;
  change.kind = kind;
  change.path = std::move(path);
  change.newPath = std::move(newPath);
  change.time = time;
  return change;
}

}  // namespace tw::test
