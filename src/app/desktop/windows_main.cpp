// The desktop program on Windows: the Win32 front end over the core. Creates the application
// (the event names, then the main window, the settings window, which reads config.ini beside the
// executable, the extension dialog and the about box), shows the main window and runs the message
// loop. With --quit-after-show it ends as soon as its window has been shown and painted, and says
// how long that took since the process was created (for the start-up benchmark). With --open FILE
// the window opens a recording in the jsonl form once it is shown.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <exception>
#include <string>

#include "core/settings/settings_codec.h"
#include "platform/win32/win32_platform.h"
#include "win/controls/window.h"
#include "win/main/application.h"

namespace {

bool hasArgument(const wchar_t* wanted) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  bool found = false;
  for (int i = 1; arguments != nullptr && i < count; ++i)
    found = found || lstrcmpW(arguments[i], wanted) == 0;
  LocalFree(arguments);
  return found;
}

// The argument after `wanted`; empty when there is none.
std::wstring argumentAfter(const wchar_t* wanted) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring value;
  for (int i = 1; arguments != nullptr && i + 1 < count && value.empty(); ++i) {
    if (lstrcmpW(arguments[i], wanted) == 0) value = arguments[i + 1];
  }
  LocalFree(arguments);
  return value;
}

// Milliseconds since the process was created.
long long millisecondsSinceStart() {
  FILETIME created{}, exited{}, kernel{}, user{}, now{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<long long>(t.dwHighDateTime) << 32) | static_cast<long long>(t.dwLowDateTime);
  };
  return (ticks(now) - ticks(created)) / 10000;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    static tw::Win32Platform platform;
    const tw::Platform parts = platform.parts();
    tw::win::Application app(parts, tw::settingsFilePath(platform));
    app.showMainWindow();
    if (hasArgument(L"--quit-after-show")) {
      std::printf("shown after %lld ms\n", millisecondsSinceStart());
      std::fflush(stdout);
      return 0;
    }
    if (const std::wstring file = argumentAfter(L"--open"); !file.empty()) {
      try {
        app.mainWindow().openRecording(tw::win::narrow(file));
      } catch (const std::exception& e) {
        app.dialogs().message(app.mainWindow().handle(), "Open Recording", e.what(),
                              tw::win::MessageIcon::Error);
      }
    }
    return app.run();
  } catch (const std::exception& e) {
    MessageBoxW(nullptr, tw::win::wide(e.what()).c_str(), L"Tarnwatch", MB_OK | MB_ICONERROR);
    return 1;
  }
}
