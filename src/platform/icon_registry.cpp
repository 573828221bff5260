#include "platform/icon_registry.h"

#include <mutex>

namespace tw {

int IconRegistry::intern(const std::string& name) {
  if (name.empty()) return 0;
  const std::lock_guard guard(lock);
  auto [it, inserted] = indexOf.try_emplace(name, static_cast<int>(names.size()) + 1);
  if (inserted) names.push_back(name);
  return it->second;
}

std::string IconRegistry::name(int index) const {
  const std::lock_guard guard(lock);
  if (index < 1 || static_cast<std::size_t>(index) > names.size()) return {};
  return names[static_cast<std::size_t>(index) - 1];
}

}  // namespace tw
