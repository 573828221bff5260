#include "win/main/recording_opener.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <chrono>

#include "win/controls/fonts.h"

namespace tw::win {

namespace {

// The steps run on a window timer: its message comes only when no input, paint or posted
// message waits, so the window answers (Cancel among it) between two steps.
constexpr UINT_PTR kStepTimer = 1;
// How long one step may hold the message loop.
constexpr std::chrono::milliseconds kStepTime{30};
// How often the views hear of what was loaded: the native views pay for each batch whatever its
// size (a new row count, which under Wine costs 10 to 40 ms, the tree's rows placed again, a
// repaint), so a load hands them a few large batches rather than one per step, four a second so
// that the views still move while the load runs.
constexpr std::chrono::milliseconds kAnnounceInterval{250};
// How often the progress bar moves: each new position repaints it (about 2 ms under Wine), and
// ten times a second is as smooth to the eye as every step.
constexpr std::chrono::milliseconds kProgressInterval{100};
// The progress bar's range: the file's bytes scaled to it.
constexpr int kProgressRange = 1000;
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 96;

}  // namespace

RecordingOpener::RecordingOpener(CaptureViews& views, std::string file, WindowHandle owner)
    : TopLevelWindow(L"TarnwatchRecordingOpener", "Open Recording", kClientWidth, kClientHeight, true),
      loader_(views, std::move(file)),
      owner_(owner) {
  loader_.setAnnounceInterval(kAnnounceInterval);
  // Owned by the main window: above it, and gone with it.
  SetWindowLongPtrW(handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  text_ = CreateWindowExW(0, L"STATIC", L"Opening the recording...", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 0,
                          0, 0, 0, handle(), nullptr, instance, nullptr);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, handle(), nullptr,
                         instance, nullptr);
  cancelButton_ = CreateWindowExW(0, L"BUTTON", L"Cancel",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0, handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, kProgressRange);
  placeControls();
}

RecordingOpener::~RecordingOpener() { destroy(); }

void RecordingOpener::placeControls() {
  for (HWND control : {text_, cancelButton_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->window()), TRUE);
  MoveWindow(text_, dpi_.px(12), dpi_.px(12), dpi_.px(kClientWidth - 24), dpi_.px(18), TRUE);
  MoveWindow(bar_, dpi_.px(12), dpi_.px(34), dpi_.px(kClientWidth - 24), dpi_.px(16), TRUE);
  MoveWindow(cancelButton_, dpi_.px(kClientWidth - 12 - 88), dpi_.px(60), dpi_.px(88), dpi_.px(26), TRUE);
}

void RecordingOpener::start() { SetTimer(handle(), kStepTimer, USER_TIMER_MINIMUM, nullptr); }

void RecordingOpener::cancel() {
  if (finished_) return;
  loader_.cancel();
  finish();
}

int RecordingOpener::progressPosition() const {
  return static_cast<int>(SendMessageW(bar_, PBM_GETPOS, 0, 0));
}

void RecordingOpener::step() {
  if (finished_) return;
  const bool more = loader_.step(kStepTime);
  const auto now = std::chrono::steady_clock::now();
  if (!more || now - progressShownAt_ >= kProgressInterval) {
    progressShownAt_ = now;
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(loader_.progress(kProgressRange)), 0);
  }
  if (!more) {
    finish();
    return;
  }
  // A load longer than one step shows its progress and its Cancel.
  if (!IsWindowVisible(handle())) {
    centreOver(owner_);
    ShowWindow(handle(), SW_SHOW);
    SetFocus(cancelButton_);
  }
}

void RecordingOpener::finish() {
  finished_ = true;
  KillTimer(handle(), kStepTimer);
  if (IsWindowVisible(handle())) ShowWindow(handle(), SW_HIDE);
  if (onFinished) onFinished();
}

MessageResult RecordingOpener::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kStepTimer) break;
      step();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) cancel();
      return 0;
    case WM_CLOSE:
      cancel();
      return 0;
    default:
      break;
  }
  return TopLevelWindow::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
