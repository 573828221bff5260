#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

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

// A change as a watcher reports it.
inline Change change(EventKind kind, std::string path, std::string newPath = {}) {
  Change c;
  c.kind = kind;
  c.path = std::move(path);
  c.newPath = std::move(newPath);
  return c;
}

// `count` creations named prefix0, prefix1, ...
inline std::vector<Change> creations(const std::string& prefix, int count, int first = 0) {
  std::vector<Change> changes;
  changes.reserve(static_cast<std::size_t>(count));
  for (int i = first; i < first + count; ++i)
    changes.push_back(change(EventKind::FileCreated, prefix + std::to_string(i)));
  return changes;
}

// The first paths of `changes`, in order.
inline std::vector<std::string> pathsOf(const std::vector<Change>& changes) {
  std::vector<std::string> paths;
  paths.reserve(changes.size());
  for (const Change& c : changes) paths.push_back(c.path);
  return paths;
}

}  // namespace tw::test
