#include "platform/win32/win32_change_watching.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <array>
#include <stdexcept>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_support.h"

namespace tw {

namespace win32 {

namespace {

// The shell's event bits by event number (the numbers follow the alphabetical order of the
// SHCNE_ constants).
constexpr std::array<std::uint32_t, kEventCount> kShellEventBits = {
    0x08000000,  // 0  SHCNE_ASSOCCHANGED
    0x00000800,  // 1  SHCNE_ATTRIBUTES
    0x00000002,  // 2  SHCNE_CREATE
    0x00000004,  // 3  SHCNE_DELETE
    0x00000100,  // 4  SHCNE_DRIVEADD
    0x00010000,  // 5  SHCNE_DRIVEADDGUI
    0x00000080,  // 6  SHCNE_DRIVEREMOVED
    0x00000020,  // 7  SHCNE_MEDIAINSERTED
    0x00000040,  // 8  SHCNE_MEDIAREMOVED
    0x00000008,  // 9  SHCNE_MKDIR
    0x00000200,  // 10 SHCNE_NETSHARE
    0x00000400,  // 11 SHCNE_NETUNSHARE
    0x00020000,  // 12 SHCNE_RENAMEFOLDER
    0x00000001,  // 13 SHCNE_RENAMEITEM
    0x00000010,  // 14 SHCNE_RMDIR
    0x00004000,  // 15 SHCNE_SERVERDISCONNECT
    0x00001000,  // 16 SHCNE_UPDATEDIR
    0x00008000,  // 17 SHCNE_UPDATEIMAGE
    0x00002000,  // 18 SHCNE_UPDATEITEM
};

}  // namespace

std::uint32_t shellEventBit(EventKind kind) {
  const int n = eventNumber(kind);
  return n >= 0 && n < kEventCount ? kShellEventBits[static_cast<std::size_t>(n)] : 0;
}

std::optional<EventKind> kindOfShellEvent(std::uint32_t value) {
  for (int n = 0; n < kEventCount; ++n) {
    if (kShellEventBits[static_cast<std::size_t>(n)] == value) return eventKindOf(n);
  }
  return std::nullopt;
}

std::uint32_t shellEventMask(const EventKindSet& kinds) {
  std::uint32_t mask = 0;
  for (int n = 0; n < kEventCount; ++n) {
    if (kinds.test(static_cast<std::size_t>(n))) mask |= kShellEventBits[static_cast<std::size_t>(n)];
  }
  return mask;
}

}  // namespace win32

namespace {

using win32::narrow;
using win32::widen;

// The message every registration asks the shell to send, and the one wake() posts to the
// watching thread.
constexpr UINT kShellNotifyMessage = WM_USER + 2;  // 1026
constexpr UINT kWakeMessage = WM_USER + 1;         // 1025
// Interrupt level, shell level and recursive interrupt notifications.
constexpr int kSourceFlags = SHCNRF_InterruptLevel | SHCNRF_ShellLevel | SHCNRF_RecursiveInterrupt;
constexpr DWORD kInterruptFlag = 0x80000000u;  // SHCNE_INTERRUPT

const wchar_t kWindowClass[] = L"TarnwatchChangeWindow";

class Win32ChangeWatcher;

LRESULT CALLBACK changeWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

bool registerWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = changeWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// The file-system path of an item; empty when there is none (or no item). The extended call takes
// a buffer of the longest path Windows has, so long paths are not cut; the buffer is the calling
// thread's own and kept, since every notification asks two paths (64 KiB each, zeroed per ask
// otherwise).
std::string pathOfItem(PCIDLIST_ABSOLUTE item) {
  if (item == nullptr) return {};
  thread_local std::wstring buffer(32768, L'\0');
  buffer[0] = L'\0';
  if (!SHGetPathFromIDListEx(item, buffer.data(), static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT))
    return {};
  return narrow(std::wstring_view(buffer.c_str()));
}

class Win32ChangeWatcher : public ChangeWatcher {
 public:
  explicit Win32ChangeWatcher(const WatchRequest& request) : threadId(GetCurrentThreadId()) {
    win32::ensureCom();
    if (!registerWindowClass()) {
      throw std::runtime_error("Cannot create the window that receives change notifications: " +
                               win32::systemMessage(GetLastError()));
    }
    window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
      throw std::runtime_error("Cannot create the window that receives change notifications: " +
                               win32::systemMessage(GetLastError()));
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const LONG mask = static_cast<LONG>(win32::shellEventMask(request.kinds));
    for (const std::string& root : request.roots) {
      PIDLIST_ABSOLUTE item = nullptr;
      SFGAOF attributes = 0;
      const HRESULT parsed = SHParseDisplayName(widen(root).c_str(), nullptr, &item, 0, &attributes);
      if (parsed != S_OK || item == nullptr) {
        notices.push_back(
            {root, "Cannot watch " + root + ": " + win32::systemMessage(static_cast<DWORD>(parsed))});
        continue;
      }
      SHChangeNotifyEntry entry{};
      entry.pidl = item;
      entry.fRecursive = TRUE;
      const ULONG id = SHChangeNotifyRegister(window, kSourceFlags, mask, kShellNotifyMessage, 1, &entry);
      if (id == 0) {
        notices.push_back({root, "Cannot watch " + root + ": the shell refused to report its changes"});
        CoTaskMemFree(item);
        continue;
      }
      registrations.push_back({id, item, root});
    }
  }

  ~Win32ChangeWatcher() override {
    // Each registration ends before its item is freed; the last one first.
    for (auto it = registrations.rbegin(); it != registrations.rend(); ++it) {
      SHChangeNotifyDeregister(it->id);
      CoTaskMemFree(it->item);
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }

  void wait(ChangeBatch& out) override {
    for (WatchNotice& n : notices) out.notices.push_back(std::move(n));
    notices.clear();
    target = &out.changes;
    const std::size_t before = out.changes.size();
    bool woken = false;
    MSG msg{};
    // A message is waited for; those queued behind it come with it.
    while (out.changes.size() == before && out.notices.empty() && !woken) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0)
        throw std::runtime_error("The message loop of the change notifications was asked to quit");
      if (got < 0) {
        throw std::runtime_error("The message loop of the change notifications failed: " +
                                 win32::systemMessage(GetLastError()));
      }
      woken = handle(msg);
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));  // for the next wait to see
          break;
        }
        woken = handle(msg) || woken;
      }
    }
    target = nullptr;
    returnPosted = false;
  }

  void wake() override { PostThreadMessageW(threadId, kWakeMessage, 0, 0); }

  std::vector<std::string> watchedRoots() const override {
    std::vector<std::string> roots;
    for (const Registration& r : registrations) roots.push_back(r.root);
    return roots;
  }

  // A notification sent to the window: decoded into a change record.
  void notified(WPARAM wParam, LPARAM lParam) {
    if (target == nullptr) return;
    const auto value = static_cast<std::uint32_t>(lParam) & ~kInterruptFlag;
    // A value that is not exactly one of the kinds is dropped rather than filed under a kind
    // nobody chose.
    const auto kind = win32::kindOfShellEvent(value);
    if (!kind) return;
    // The message carries the address of its two items in its integer parameter.
    const auto* items =
        reinterpret_cast<const PCIDLIST_ABSOLUTE*>(wParam);  // NOLINT(performance-no-int-to-ptr)
    Change c;
    c.kind = *kind;
    c.folder = *kind == EventKind::FolderCreated || *kind == EventKind::FolderDeleted ||
               *kind == EventKind::FolderRenamed || *kind == EventKind::FolderNeedsRescan;
    if (items != nullptr) {
      c.path = pathOfItem(items[0]);
      c.newPath = pathOfItem(items[1]);
    }
    c.time = std::chrono::system_clock::now();
    target->push_back(std::move(c));
    // The shell may send the notification rather than post it; a sent message is handled inside
    // GetMessageW, which then goes on waiting. A message of our own makes it return.
    if (!returnPosted) returnPosted = PostThreadMessageW(threadId, kWakeMessage, 0, 0) != 0;
  }

 private:
  // Handles one message of the thread; true for a wake.
  bool handle(MSG& msg) {
    if (msg.hwnd == nullptr && msg.message == kWakeMessage) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return false;
  }

  struct Registration {
    ULONG id;
    PIDLIST_ABSOLUTE item;
    std::string root;
  };
  const DWORD threadId;
  HWND window = nullptr;
  std::vector<Registration> registrations;
  std::vector<WatchNotice> notices;       // of the start, for the first wait
  std::vector<Change>* target = nullptr;  // while a wait runs
  bool returnPosted = false;              // a message that ends this wait is on its way
};

LRESULT CALLBACK changeWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kShellNotifyMessage) {
    if (auto* watcher = reinterpret_cast<Win32ChangeWatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      watcher->notified(wParam, lParam);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

std::unique_ptr<ChangeWatcher> Win32ChangeWatching::watch(const WatchRequest& request) {
  return std::make_unique<Win32ChangeWatcher>(request);
}

void Win32ChangeWatching::prepareThread() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

}  // namespace tw
