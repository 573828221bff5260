#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

#include "core/recording/ui_thread.h"
#include "win/controls/win_types.h"

namespace tw::win {

// The user-interface thread as the recording sees it: work posted from any thread is queued
// under a lock and run by a hidden message-only window of the user-interface thread, from
// whichever message loop runs there (the program's, a modal dialog's, a test's). One window
// message stands for everything queued since the last one, so a burst of posts costs one
// message, and the work runs in the order posted. A run takes what was queued when it began for
// at most kRunBudget: what is left, and work posted while a run goes on, waits for a timer, so
// that input and painting come first (a burst of small batches would otherwise be filed, and
// each shown, in one message of a tenth of a second). While a step shows a modal message box,
// the work behind it waits for the box to close.
//
// Threads: created and destroyed on the user-interface thread; post() from any thread. Owns its
// hidden window; work still queued when it is destroyed is dropped (the recording controller,
// which posts, is destroyed first and its posted work does nothing once it is gone).
class WindowUiThread : public UiThread {
 public:
  using Clock = std::chrono::steady_clock;
  // The time source; tests give their own.
  using Now = std::function<Clock::time_point()>;
  // How long a run goes on taking steps (a step itself may take longer).
  static constexpr std::chrono::milliseconds kRunBudget{15};

  explicit WindowUiThread(Now now = &Clock::now);
  ~WindowUiThread() override;
  WindowUiThread(const WindowUiThread&) = delete;
  WindowUiThread& operator=(const WindowUiThread&) = delete;

  void post(std::function<void()> work) override;

  // Runs what is queued now; the hidden window calls it. User-interface thread.
  void runQueued();

 private:
  Now now_;
  WindowHandle window_ = nullptr;
  std::mutex lock_;
  std::deque<std::function<void()>> queued_;
  bool messagePosted_ = false;
  int running_ = 0;  // runs under way (a modal loop inside a step nests one)
};

}  // namespace tw::win
