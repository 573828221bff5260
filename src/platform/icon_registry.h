#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

// Hands out one index per distinct icon name, from 1 up (0 stays "no icon"). Thread-safe: any
// number of threads may intern and look up names at once.
//
// One plain mutex guards both tables. A reader-writer lock would be the textbook choice, but the
// mingw-w64 runtime's std::shared_mutex sits on a winpthreads rwlock that lets a reader in while a
// writer grows the vector (the concurrency test of this class caught a wrong name under Wine); the critical
// sections here are a hash lookup long, so readers lose nothing measurable by taking turns.
class IconRegistry {
 public:
  int intern(const std::string& name);
  std::string name(int index) const;

 private:
  mutable std::mutex lock;
  std::unordered_map<std::string, int> indexOf;
  std::vector<std::string> names;  // names[i - 1] is the name of index i
};

}  // namespace tw
