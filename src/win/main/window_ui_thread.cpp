#include "win/main/window_ui_thread.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <stdexcept>
#include <utility>

namespace tw::win {

namespace {

constexpr const wchar_t* kClassName = L"TarnwatchUiThread";
constexpr UINT kRunQueued = WM_APP + 40;

constexpr UINT_PTR kLaterTimer = 1;

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunQueued || (message == WM_TIMER && wParam == kLaterTimer)) {
    if (message == WM_TIMER) KillTimer(window, kLaterTimer);
    auto* self = reinterpret_cast<WindowUiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) self->runQueued();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void registerOnce() {
  static const bool registered = [] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = kClassName;
    return RegisterClassExW(&c) != 0;
  }();
  if (!registered) throw std::runtime_error("The program could not register its message window class.");
}

}  // namespace

WindowUiThread::WindowUiThread(Now now) : now_(std::move(now)) {
  registerOnce();
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw std::runtime_error("The program could not create its message window.");
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowUiThread::~WindowUiThread() {
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void WindowUiThread::post(std::function<void()> work) {
  std::lock_guard guard(lock_);
  queued_.push_back(std::move(work));
  // While a run goes on, its end takes care of what was added (see runQueued).
  if (messagePosted_ || running_ > 0) return;
  // A failed post (the thread's queue full) leaves the flag clear: the next post tries again.
  messagePosted_ = PostMessageW(window_, kRunQueued, 0, 0) != FALSE;
}

void WindowUiThread::runQueued() {
  std::size_t count = 0;
  {
    std::lock_guard guard(lock_);
    messagePosted_ = false;
    ++running_;
    count = queued_.size();
  }
  // What was queued when the run began, one step at a time off the shared queue: a step that
  // opens a modal loop (a message box), which may run this again, lets that loop take the next
  // steps in order instead of overtaking them. The run ends at its budget.
  const Clock::time_point began = now_();
  for (std::size_t i = 0; i < count && now_() - began < kRunBudget; ++i) {
    std::function<void()> step;
    {
      std::lock_guard guard(lock_);
      if (queued_.empty()) break;
      step = std::move(queued_.front());
      queued_.pop_front();
    }
    step();
  }
  // What is left, and what was added meanwhile (the recording applies a long batch in steps,
  // each posting the next), runs on a timer, whose message comes after input and painting: a
  // posted message would come before them, and a long batch would freeze the window.
  std::lock_guard guard(lock_);
  --running_;
  if (!queued_.empty()) SetTimer(window_, kLaterTimer, USER_TIMER_MINIMUM, nullptr);
}

}  // namespace tw::win
