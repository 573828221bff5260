#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace tw {

// A shell that records what it was asked to open, from any thread.
class FakeShell : public Shell {
 public:
  void open(std::string_view target) override;
  std::vector<std::string> opened() const;

 private:
  mutable std::mutex lock;
  std::vector<std::string> openedTargets;
};

}  // namespace tw
