#include "platform/icon_registry.h"

#include <mutex>

namespace tw {

int IconRegistry::intern(const std::string& name) {
  if (name.empty()) return 0;
  {
    std::shared_lock read(lock);
    auto it = indexOf.find(name);
    if (it != indexOf.end()) return it->second;
  }
  std::unique_lock write(lock);
  auto [it, inserted] = indexOf.try_emplace(name, static_cast<int>(names.size()) + 1);
  if (inserted) names.push_back(name);
  return it->second;
}

std::string IconRegistry::name(int index) const {
  std::shared_lock read(lock);
  if (index < 1 || static_cast<std::size_t>(index) > names.size()) return {};
  return names[static_cast<std::size_t>(index) - 1];
}

}  // namespace tw
