#include "platform/fake/fake_shell.h"

namespace tw {

void FakeShell::open(std::string_view target) {
  std::lock_guard guard(lock);
  openedTargets.emplace_back(target);
}

std::vector<std::string> FakeShell::opened() const {
  std::lock_guard guard(lock);
  return openedTargets;
}

}  // namespace tw
