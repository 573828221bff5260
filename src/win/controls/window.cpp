#include "win/controls/window.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <set>
#include <stdexcept>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_support.h"

namespace tw::win {

namespace {

using DpiForWindow = UINT(WINAPI*)(HWND);

// GetDpiForWindow where the system has it (Windows 10 1607 and later, Wine), looked up once.
DpiForWindow dpiForWindowFunction() {
  static const auto function = systemFunction<DpiForWindow>(L"user32.dll", "GetDpiForWindow");
  return function;
}

}  // namespace

void* systemFunctionAddress(const wchar_t* module, const char* name) {
  HMODULE library = GetModuleHandleW(module);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(library, name));
}

std::wstring wide(std::string_view utf8) { return tw::win32::widen(utf8); }
std::string narrow(std::wstring_view utf16) { return tw::win32::narrow(utf16); }

int Dpi::px(int designPixels) const { return MulDiv(designPixels, dotsPerInch_, 96); }

Bounds Dpi::px(const Bounds& design) const {
  // Edges are scaled, not sizes, so that neighbouring controls stay neighbours.
  const int left = px(design.left), top = px(design.top);
  return Bounds{left, top, px(design.left + design.width) - left, px(design.top + design.height) - top};
}

Dpi Dpi::of(WindowHandle window) {
  if (DpiForWindow function = dpiForWindowFunction(); function != nullptr && window != nullptr) {
    if (const UINT dpi = function(window); dpi != 0) return Dpi(static_cast<int>(dpi));
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return Dpi(dpi);
}

// The one window procedure of every class of ours: finds the object and hands it the message.
struct WindowRouting {
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      window->handle_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      const LRESULT result = window->handleMessage(message, wParam, lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      window->handle_ = nullptr;
      return result;
    }
    return window->handleMessage(message, static_cast<WParam>(wParam), static_cast<LParam>(lParam));
  }
};

Window::~Window() { destroy(); }

void Window::destroy() {
  if (handle_ != nullptr) DestroyWindow(handle_);
  handle_ = nullptr;
}

Window* Window::fromHandle(WindowHandle handle) {
  if (handle == nullptr) return nullptr;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(handle, GWLP_WNDPROC)) != &WindowRouting::procedure)
    return nullptr;
  return reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
}

void Window::registerClass(const wchar_t* className, int background, bool doubleClicks) {
  static std::set<std::wstring> registered;
  if (!registered.insert(className).second) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = doubleClicks ? CS_DBLCLKS : 0;
  wc.lpfnWndProc = &WindowRouting::procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background != 0 ? reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background)) : nullptr;
  wc.lpszClassName = className;
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  RegisterClassExW(&wc);
}

void Window::create(const Creation& c) {
  const std::wstring text = wide(c.text);
  const bool child = (c.style & WS_CHILD) != 0;
  HWND hwnd = CreateWindowExW(c.exStyle, c.className, text.c_str(), c.style, c.bounds.left, c.bounds.top,
                              c.bounds.width, c.bounds.height, c.parent,
                              child ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)) : nullptr,
                              GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) {
    throw std::runtime_error("Cannot create a window: " + tw::win32::systemMessage(GetLastError()));
  }
}

MessageResult Window::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  return defaultHandling(message, wParam, lParam);
}

MessageResult Window::defaultHandling(MessageId message, WParam wParam, LParam lParam) {
  return DefWindowProcW(handle_, message, wParam, lParam);
}

Bounds Window::bounds() const {
  RECT r{};
  GetWindowRect(handle_, &r);
  if (HWND parent = GetParent(handle_);
      parent != nullptr && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)) {
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  return Bounds{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Window::setBounds(const Bounds& b) {
  SetWindowPos(handle_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::move(int left, int top) {
  SetWindowPos(handle_, nullptr, left, top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

Size Window::clientSize() const {
  RECT r{};
  GetClientRect(handle_, &r);
  return Size{r.right, r.bottom};
}

bool Window::isShown() const { return (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0; }

void Window::setShown(bool shown) {
  if (shown != isShown()) ShowWindow(handle_, shown ? SW_SHOWNA : SW_HIDE);
}

bool Window::isEnabled() const { return IsWindowEnabled(handle_) != FALSE; }

void Window::setEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }

std::string Window::text() const {
  const int length = GetWindowTextLengthW(handle_);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(handle_, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return narrow(buffer);
}

void Window::setText(std::string_view text) { SetWindowTextW(handle_, wide(text).c_str()); }

void Window::repaint() {
  RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
}

}  // namespace tw::win
