#pragma once

#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

// Hands out one index per distinct icon name, from 1 up (0 stays "no icon"). Thread-safe: any
// number of threads may intern and look up names at once.
class IconRegistry {
 public:
  int intern(const std::string& name);
  std::string name(int index) const;

 private:
  mutable std::shared_mutex lock;
  std::unordered_map<std::string, int> indexOf;
  std::vector<std::string> names;  // names[i - 1] is the name of index i
};

}  // namespace tw
