#include "win/controls/top_level_window.h"

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::win {

namespace {

using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

constexpr DWORD kFixedStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kResizableStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

RECT outerRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, const Dpi& dpi) {
  RECT r{0, 0, clientWidth, clientHeight};
  static const auto adjust = systemFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (adjust != nullptr) {
    adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi.dotsPerInch()));
  } else {
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  return r;
}

}  // namespace

TopLevelWindow::TopLevelWindow(const wchar_t* className, std::string_view caption, int designWidth,
                               int designHeight, bool fixedSize)
    : designWidth_(designWidth), designHeight_(designHeight), fixedSize_(fixedSize) {
  registerClass(className, COLOR_BTNFACE + 1);
  Creation c;
  c.className = className;
  c.style = fixedSize ? kFixedStyle : kResizableStyle;
  c.exStyle = WS_EX_CONTROLPARENT | (fixedSize ? WS_EX_DLGMODALFRAME : 0);
  c.bounds = Bounds{CW_USEDEFAULT, CW_USEDEFAULT, designWidth, designHeight};
  c.text = caption;
  create(c);
  dpi_ = Dpi::of(handle());
  fonts_ = std::make_unique<Fonts>(dpi_);
  setDesignClientSize(designWidth, designHeight);
}

TopLevelWindow::~TopLevelWindow() { destroy(); }

void TopLevelWindow::setDesignClientSize(int designWidth, int designHeight) {
  designWidth_ = designWidth;
  designHeight_ = designHeight;
  const DWORD style = static_cast<DWORD>(GetWindowLongW(handle(), GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(handle(), GWL_EXSTYLE));
  const RECT r = outerRect(dpi_.px(designWidth), dpi_.px(designHeight), style, exStyle, dpi_);
  SetWindowPos(handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TopLevelWindow::centreOver(WindowHandle other) {
  RECT area{};
  if (other != nullptr && IsWindowVisible(other) && !IsIconic(other)) {
    GetWindowRect(other, &area);
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(other != nullptr ? other : handle(), MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    area = monitor.rcWork;
  }
  RECT own{};
  GetWindowRect(handle(), &own);
  const int w = own.right - own.left, h = own.bottom - own.top;
  const int left = area.left + (area.right - area.left - w) / 2;
  const int top = area.top + (area.bottom - area.top - h) / 2;
  SetWindowPos(handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TopLevelWindow::showModal(WindowHandle owner) {
  if (modal_) return;
  HWND ownerTop = owner != nullptr ? GetAncestor(owner, GA_ROOT) : nullptr;
  SetWindowLongPtrW(handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerTop));
  centreOver(ownerTop);
  modalOwner_ = ownerTop;
  if (ownerTop != nullptr) EnableWindow(ownerTop, FALSE);
  modal_ = true;
  ShowWindow(handle(), SW_SHOW);
  SetForegroundWindow(handle());
  MSG msg{};
  while (IsWindowVisible(handle())) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop below ours
      break;
    }
    if (got < 0) break;
    if (!route(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  modal_ = false;
  if (modalOwner_ != nullptr) EnableWindow(modalOwner_, TRUE);
  if (IsWindowVisible(handle())) ShowWindow(handle(), SW_HIDE);
  modalOwner_ = nullptr;
}

void TopLevelWindow::close() { SendMessageW(handle(), WM_CLOSE, 0, 0); }

bool TopLevelWindow::preTranslate(QueuedMessage&) { return false; }

bool TopLevelWindow::route(QueuedMessage& message) {
  if (message.hwnd == nullptr) return false;
  HWND top = GetAncestor(message.hwnd, GA_ROOT);
  auto* window = dynamic_cast<TopLevelWindow*>(Window::fromHandle(top));
  if (window == nullptr) return false;
  if (window->preTranslate(message)) return true;
  return IsDialogMessageW(top, &message) != FALSE;
}

MessageResult TopLevelWindow::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_CLOSE:
      if (modal_) {
        // The owner first, so that it becomes the active window when this one hides.
        if (modalOwner_ != nullptr) EnableWindow(modalOwner_, TRUE);
        ShowWindow(handle(), SW_HIDE);
        return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if ((pos->flags & SWP_HIDEWINDOW) != 0) hidden();
      if ((pos->flags & SWP_SHOWWINDOW) != 0) shown();
      break;
    }
    case WM_DPICHANGED: {
      dpi_ = Dpi(HIWORD(wParam));
      fonts_->rebuild(dpi_);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      placeControls();
      repaint();
      return 0;
    }
    case WM_GETMINMAXINFO:
      if (fixedSize_ && handle() != nullptr) {
        // A fixed window keeps its designed client size.
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(handle(), GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(handle(), GWL_EXSTYLE));
        const RECT r = outerRect(dpi_.px(designWidth_), dpi_.px(designHeight_), style, exStyle, dpi_);
        limits->ptMinTrackSize = POINT{r.right - r.left, r.bottom - r.top};
        limits->ptMaxTrackSize = limits->ptMinTrackSize;
        return 0;
      }
      break;
    default:
      break;
  }
  return Window::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
