// Benchmark of Open Recording in the Windows program (the real main window, its native tree view
// and owner-data list view), under Wine on a virtual screen or on Windows. Prints its figures;
// run it with scripts/bench.sh windows-open. A recording of realistic changes in the jsonl form
// (1,000,000 lines by default; "lines=N" for another count) is written, then opened through the
// window's own command: the time until the summary message shows (goal: < 10 s), the longest
// gap of a 10 ms timer on the user-interface thread meanwhile (how long the window did not
// respond), and the memory afterwards.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/record/recorder.h"
#include "core/recording/capture_options.h"
#include "core/report/jsonl.h"
#include "core/settings/settings_codec.h"
#include "platform/win32/win32_platform.h"
#include "win/main/application.h"
#include "workload.h"

// Last: its macros would clash with the names above.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// What the 10 ms timer saw: the longest gap between two of its ticks, and when the summary
// message (a dialog titled "Open Recording") first showed.
struct Watch {
  Clock::time_point lastTick = Clock::now();
  double longestGapMs = 0;
  bool summaryShown = false;
  Clock::time_point summaryAt;
};
Watch watch;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
  const auto now = Clock::now();
  watch.longestGapMs =
      std::max(watch.longestGapMs, std::chrono::duration<double, std::milli>(now - watch.lastTick).count());
  watch.lastTick = now;
  if (watch.summaryShown) return;
  if (HWND box = FindWindowW(L"#32770", L"Open Recording"); box != nullptr && IsWindowVisible(box)) {
    watch.summaryShown = true;
    watch.summaryAt = now;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

double mib(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

int run(int lines) {
  tw::Win32Platform platform;
  const fs::path root =
      fs::temp_directory_path() / ("tarnwatch-open-bench-" + std::to_string(GetCurrentProcessId()));
  const std::string ini = (root / "config.ini").string();
  const std::string file = (root / "recording.jsonl").string();
  {
    tw::bench::Workload workload(root / "disk", 5000);
    std::ofstream out(file, std::ios::binary);
    tw::Change change;
    for (int i = 0; i < lines; ++i) {
      workload.next(change);
      std::replace(change.path.begin(), change.path.end(), '/', '\\');
      std::replace(change.newPath.begin(), change.newPath.end(), '/', '\\');
      change.pid = 1000 + i % 50;
      change.process = "worker" + std::to_string(i % 50) + ".exe";
      out << tw::jsonLine(change) << '\n';
    }
  }
  std::printf("recording: %d lines, %.0f MB\n", lines, static_cast<double>(fs::file_size(file)) / 1e6);
  tw::writeCaptureOptions(platform, ini, tw::CaptureOptions{});
  tw::record::FolderDrives drives{platform, tw::PathStyle::Windows, {root.string()}};
  {
    auto app = std::make_unique<tw::win::Application>(platform.parts().withDrives(drives), ini);
    tw::win::MainWindow& window = app->mainWindow();
    window.quit = [] {};
    app->showMainWindow();
    window.showList();
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, tick);
    const auto start = Clock::now();
    watch.lastTick = start;
    window.openRecording(file);
    MSG msg{};
    while (!(watch.summaryShown && window.recordingOpener() == nullptr) &&
           GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (!tw::win::TopLevelWindow::route(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    KillTimer(nullptr, timer);
    const double seconds = std::chrono::duration<double>(watch.summaryAt - start).count();
    std::printf("opened %d rows, %d tree rows, in %.2f s (goal: < 10 s)\n", window.listView().shownRowCount(),
                window.treeView().shownRowCount(), seconds);
    std::printf("longest gap of a 10 ms timer meanwhile: %.0f ms\n", watch.longestGapMs);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    std::printf("memory after opening: working set %.1f MiB, private bytes %.1f MiB\n",
                mib(counters.WorkingSetSize), mib(counters.PrivateUsage));
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 1000000;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "lines=", 6) == 0) lines = std::atoi(argv[i] + 6);
  }
  try {
    return run(std::max(lines, 1));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "windows_open_bench: %s\n", e.what());
    return 1;
  }
}
