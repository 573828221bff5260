#include "support/ui_driver.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <deque>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "win/controls/canvas.h"
#include "win/controls/top_level_window.h"

namespace tw::win::test {

namespace {

constexpr UINT kStepMessage = WM_APP + 100;

// A message-only window of the test thread whose messages carry the posted steps.
HWND stepWindow() {
  static HWND window = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == kStepMessage) {
        std::unique_ptr<std::function<void()>> step(reinterpret_cast<std::function<void()>*>(lParam));
        (*step)();
        return 0;
      }
      return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TarnwatchTestSteps";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           nullptr);
  }();
  return window;
}

struct Watch {
  std::wstring title;
  std::function<void(WindowHandle)> action;
};
std::deque<Watch>& watches() {
  static std::deque<Watch> list;
  return list;
}
HHOOK hook = nullptr;

void dispatch(MSG& msg) {
  if (!TopLevelWindow::route(msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A window of ours or of the system has been activated: the first watch for its caption takes
// it, and acts once the messages its showing queued have run.
LRESULT CALLBACK watchActivations(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    const std::wstring title = windowText(window);
    auto& list = watches();
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->title != title) continue;
      auto action = std::move(it->action);
      list.erase(it);
      post([window, action] { action(window); });
      break;
    }
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

void postMouse(HWND window, UINT message, WPARAM keys, int x, int y) {
  PostMessageW(window, message, keys, MAKELPARAM(x, y));
}

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> children(HWND window) {
  std::vector<HWND> list;
  EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&list));
  return list;
}

}  // namespace

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  MSG msg{};
  while (!done()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // Sleeps until a message arrives (or the limit).
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      dispatch(msg);
      if (done()) return true;
    }
  }
  return true;
}

void pumpPending() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    dispatch(msg);
  }
}

void post(std::function<void()> step) {
  auto* owned = new std::function<void()>(std::move(step));
  if (!PostMessageW(stepWindow(), kStepMessage, 0, reinterpret_cast<LPARAM>(owned))) {
    delete owned;
    throw std::runtime_error("Cannot post a test step.");
  }
}

void whenShown(const std::wstring& title, std::function<void(WindowHandle)> action) {
  if (hook == nullptr) hook = SetWindowsHookExW(WH_CBT, watchActivations, nullptr, GetCurrentThreadId());
  watches().push_back(Watch{title, std::move(action)});
}

std::size_t watchedWindows() { return watches().size(); }

void stopWatching() { watches().clear(); }

void clickAt(WindowHandle window, int x, int y) {
  postMouse(window, WM_MOUSEMOVE, 0, x, y);
  postMouse(window, WM_LBUTTONDOWN, MK_LBUTTON, x, y);
  postMouse(window, WM_LBUTTONUP, 0, x, y);
}

void click(WindowHandle window) {
  RECT r{};
  GetClientRect(window, &r);
  clickAt(window, r.right / 2, r.bottom / 2);
}

void doubleClickAt(WindowHandle window, int x, int y) {
  clickAt(window, x, y);
  postMouse(window, WM_LBUTTONDBLCLK, MK_LBUTTON, x, y);
  postMouse(window, WM_LBUTTONUP, 0, x, y);
}

void pressKey(WindowHandle window, unsigned virtualKey) {
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(window, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scan << 16)));
  if (virtualKey == VK_RETURN || virtualKey == VK_ESCAPE || virtualKey == VK_SPACE)
    PostMessageW(window, WM_CHAR, virtualKey == VK_SPACE ? L' ' : (virtualKey == VK_RETURN ? L'\r' : 0x1B),
                 static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageW(window, WM_KEYUP, virtualKey, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

void typeText(WindowHandle window, const std::wstring& text) {
  for (wchar_t c : text) PostMessageW(window, WM_CHAR, c, 1);
}

std::wstring windowText(WindowHandle window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::vector<std::wstring> childTexts(WindowHandle window) {
  std::vector<std::wstring> texts;
  for (HWND child : children(window)) texts.push_back(windowText(child));
  return texts;
}

WindowHandle findChild(WindowHandle window, const std::wstring& className, const std::wstring& text) {
  for (HWND child : children(window)) {
    wchar_t name[256] = {};
    GetClassNameW(child, name, 256);
    if (lstrcmpiW(name, className.c_str()) == 0 && (text.empty() || windowText(child) == text)) return child;
  }
  return nullptr;
}

WindowHandle dialogItem(WindowHandle dialog, int id) { return GetDlgItem(dialog, id); }

RgbaImage captureScreen(WindowHandle window) {
  RECT r{};
  GetWindowRect(window, &r);
  Canvas canvas(r.right - r.left, r.bottom - r.top);
  HDC screen = GetDC(nullptr);
  BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  return canvas.picture();
}

void writeBmp(const RgbaImage& image, const std::string& path) {
  const int w = image.width(), h = image.height();
  const int stride = (w * 3 + 3) / 4 * 4;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * h);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  std::vector<char> row(static_cast<std::size_t>(stride), 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Color c = image.pixel(x, y);
      row[static_cast<std::size_t>(x) * 3] = static_cast<char>(blueOf(c));
      row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<char>(greenOf(c));
      row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<char>(redOf(c));
    }
    out.write(row.data(), stride);
  }
  if (!out) throw std::runtime_error("Cannot write " + path);
}

}  // namespace tw::win::test
