#pragma once

#include <string_view>

namespace tw {

// The desktop's shell.
//
// Threads: any thread.
class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a document, folder or web address with the desktop's default handler, without waiting
  // for it. The outcome is not looked at: the user sees whether anything opened.
  virtual void open(std::string_view target) = 0;
};

}  // namespace tw
