// Benchmark of Open Recording in the Windows program (the real main window, its native tree view
// and owner-data list view), under Wine on a virtual screen or on Windows. Prints its figures;
// run it with scripts/bench.sh windows-open. A recording of realistic changes in the jsonl form
// (1,000,000 lines by default; "lines=N" for another count) is written, then opened through the
// window's own command: the time until the summary message shows (goal: < 10 s), the longest
// gap of a 10 ms timer on the user-interface thread meanwhile (how long the window did not
// respond), and the memory afterwards. Then where the time went, by QueryPerformanceCounter:
// the loader's steps (reading and parsing on its reading thread, waiting for it, filing into the
// tree and the list, the views' work for each announced batch), the messages the loop dispatched (the steps'
// timer with the progress bar, the tree view's update, paints, the rest), the time the loop waited for a
// message, and apart from all of these the folder-icon lookups (asked of the platform, on
// whichever thread asks them). "folder-icons=plain" answers every folder lookup with the plain
// folder icon at once, to see the rest of the time without the disk. "live" delivers the same
// changes to the views as a live recording would instead of opening the file, and prints the
// memory afterwards: the goal's "no more than the same recording made live" (each is a process
// of its own, so that neither counts the other's heap).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/record/recorder.h"
#include "core/recording/capture_options.h"
#include "core/report/jsonl.h"
#include "core/report/recording_file.h"
#include "core/report/recording_loader.h"
#include "core/settings/settings_codec.h"
#include "platform/win32/win32_platform.h"
#include "win/main/application.h"
#include "win/main/recording_opener.h"
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

std::int64_t counterNow() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double counterSeconds(std::int64_t ticks) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

// The platform's icons, with the time its folder lookups (pathIcon) took and how many paths
// they asked; the file-type icons are timed apart.
class TimedIcons : public tw::IconSource {
 public:
  // `askDisk` false: every folder lookup answers the plain folder icon at once, without asking
  // the disk (to see the rest of the time without the lookups).
  TimedIcons(tw::IconSource& icons, bool askDisk) : icons(icons), askDisk(askDisk) {}
  int fileTypeIcon(std::string_view name) override {
    const std::int64_t from = counterNow();
    const int icon = icons.fileTypeIcon(name);
    typeTicks += counterNow() - from;
    return icon;
  }
  int pathIcon(std::string_view path) override {
    const std::int64_t from = counterNow();
    const int icon = askDisk ? icons.pathIcon(path) : plainFolder();
    pathTicks += counterNow() - from;
    ++paths;
    return icon;
  }
  std::string iconName(int index) override { return icons.iconName(index); }
  std::string fileTypeDescription(std::string_view name) override { return icons.fileTypeDescription(name); }

  std::atomic<std::int64_t> pathTicks{0};
  std::atomic<std::int64_t> typeTicks{0};
  std::atomic<std::size_t> paths{0};

 private:
  int plainFolder() {
    if (plain == 0) plain = icons.fileTypeIcon("folder");
    return plain;
  }

  tw::IconSource& icons;
  bool askDisk;
  std::atomic<int> plain{0};
};

// The loop's time by what it did: waited in GetMessage (which also runs the messages sent to
// the thread's windows), or dispatched a message of one of these kinds.
struct LoopTimes {
  std::int64_t waiting = 0;
  std::int64_t steps = 0;  // the opener's step timer: a step and the progress bar
  std::int64_t treeUpdates = 0;
  std::int64_t paints = 0;
  std::int64_t other = 0;
  std::size_t stepCount = 0, treeUpdateCount = 0, paintCount = 0;
};

std::uint64_t fileTimeTicks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// User and kernel time of the calling thread, and of the whole process, in 100 ns ticks.
std::uint64_t threadCpu() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return fileTimeTicks(kernel) + fileTimeTicks(user);
}

std::uint64_t processCpuNow() {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return fileTimeTicks(kernel) + fileTimeTicks(user);
}

double cpuSeconds(std::uint64_t ticks) { return static_cast<double>(ticks) / 1e7; }

double mib(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void printMemory(const char* when) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  std::printf("memory %s: working set %.1f MiB, private bytes %.1f MiB\n", when, mib(counters.WorkingSetSize),
              mib(counters.PrivateUsage));
}

// Opens the recording through the window's own command and prints its figures (see the top).
void openAndWatch(tw::win::MainWindow& window, const std::string& file, TimedIcons& icons) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, tick);
  const auto start = Clock::now();
  watch.lastTick = start;
  const std::int64_t startTicks = counterNow();
  // CPU time as well as the wall clock's: on a shared machine the wall time of a run depends on
  // the others' load, the CPU it took much less.
  const std::uint64_t uiThreadCpuBefore = threadCpu();
  const std::uint64_t processCpuBefore = processCpuNow();
  window.openRecording(file);
  tw::RecordingLoader::Times loaderTimes;
  std::size_t announcements = 0;
  LoopTimes loop;
  const HWND openerWindow =
      window.recordingOpener() != nullptr ? window.recordingOpener()->handle() : nullptr;
  const HWND treeWindow = window.treeView().handle();
  MSG msg{};
  for (;;) {
    if (watch.summaryShown && window.recordingOpener() == nullptr) break;
    const std::int64_t waitFrom = counterNow();
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    const std::int64_t dispatchFrom = counterNow();
    loop.waiting += dispatchFrom - waitFrom;
    if (!tw::win::TopLevelWindow::route(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    const std::int64_t dispatched = counterNow() - dispatchFrom;
    if (msg.message == WM_TIMER && msg.hwnd == openerWindow && openerWindow != nullptr) {
      loop.steps += dispatched;
      ++loop.stepCount;
    } else if (msg.hwnd == treeWindow && msg.message >= WM_APP) {
      loop.treeUpdates += dispatched;
      ++loop.treeUpdateCount;
    } else if (msg.message == WM_PAINT) {
      loop.paints += dispatched;
      ++loop.paintCount;
    } else {
      loop.other += dispatched;
    }
    if (const tw::win::RecordingOpener* opener = window.recordingOpener()) {
      loaderTimes = opener->loader().times();
      announcements = opener->loader().announcements();
    }
  }
  KillTimer(nullptr, timer);
  const std::int64_t totalTicks = counterNow() - startTicks;
  const std::uint64_t uiThreadCpu = threadCpu() - uiThreadCpuBefore;
  const std::uint64_t processCpu = processCpuNow() - processCpuBefore;
  const double seconds = std::chrono::duration<double>(watch.summaryAt - start).count();
  std::printf("opened %d rows, %d tree rows, in %.2f s (goal: < 10 s)\n", window.listView().shownRowCount(),
              window.treeView().shownRowCount(), seconds);
  std::printf("longest gap of a 10 ms timer meanwhile: %.0f ms\n", watch.longestGapMs);
  printMemory("after opening");
  const auto inSeconds = [](std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
  };
  std::printf(
      "where the time went (%.2f s to the summary's close; CPU: the user-interface thread %.2f s, the "
      "process %.2f s):\n",
      counterSeconds(totalTicks), cpuSeconds(uiThreadCpu), cpuSeconds(processCpu));
  std::printf(
      "  loader: %zu steps, %zu blocks read, %zu announcements: reading and parsing %.2f s (on its reading "
      "thread), waiting for the reader %.2f s, filing %.2f s, announcing %.2f s\n",
      loaderTimes.steps, loaderTimes.reads, announcements, inSeconds(loaderTimes.reading),
      inSeconds(loaderTimes.waiting), inSeconds(loaderTimes.filing), inSeconds(loaderTimes.announcing));
  std::printf(
      "  loop: step timer %.2f s (%zu; outside the loader %.2f s), tree updates %.2f s (%zu), "
      "paints %.2f s (%zu), other messages %.2f s, waiting for a message %.2f s\n",
      counterSeconds(loop.steps), loop.stepCount,
      counterSeconds(loop.steps) -
          inSeconds(loaderTimes.waiting + loaderTimes.filing + loaderTimes.announcing),
      counterSeconds(loop.treeUpdates), loop.treeUpdateCount, counterSeconds(loop.paints), loop.paintCount,
      counterSeconds(loop.other), counterSeconds(loop.waiting));
  std::printf("  counted apart: folder-icon lookups %.2f s (%zu paths), file-type icons %.2f s\n",
              counterSeconds(icons.pathTicks), icons.paths.load(), counterSeconds(icons.typeTicks));
}

// The same changes made live: delivered to the window's views as a live recording's delivery
// hands them over (batches of 10,000, the window's messages pumped between two), then the
// memory, for comparison with an open of the recording.
void deliverLive(tw::win::MainWindow& window, const std::string& file) {
  tw::CaptureViews& views = window.captureViews();
  tw::RecordingFile recording(file);
  std::vector<tw::Change> batch;
  const auto start = Clock::now();
  bool more = true;
  while (more) {
    batch.clear();
    more = recording.read(10000, batch);
    views.beginBatch();
    for (const tw::Change& change : batch) views.add(change);
    views.endBatch();
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!tw::win::TopLevelWindow::route(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }
  std::printf("delivered live %d rows, %d tree rows, in %.2f s\n", window.listView().shownRowCount(),
              window.treeView().shownRowCount(), std::chrono::duration<double>(Clock::now() - start).count());
  printMemory("after the live delivery");
}

int run(int lines, bool askDisk, bool live) {
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
  std::fflush(stdout);  // written: what follows is the open
  tw::writeCaptureOptions(platform, ini, tw::CaptureOptions{});
  tw::record::FolderDrives drives{platform, tw::PathStyle::Windows, {root.string()}};
  TimedIcons icons(platform, askDisk);
  const tw::Platform parts = platform.parts().withDrives(drives);
  {
    auto app = std::make_unique<tw::win::Application>(
        tw::Platform{parts.environment, parts.drives, icons, parts.files, parts.profiles, parts.shell,
                     parts.watching},
        ini);
    tw::win::MainWindow& window = app->mainWindow();
    window.quit = [] {};
    app->showMainWindow();
    window.showList();
    if (live) {
      deliverLive(window, file);
    } else {
      openAndWatch(window, file, icons);
    }
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 1000000;
  bool askDisk = true;
  bool live = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "live") == 0) live = true;
    if (std::strncmp(argv[i], "lines=", 6) == 0) lines = std::atoi(argv[i] + 6);
    if (std::strcmp(argv[i], "folder-icons=plain") == 0) askDisk = false;
  }
  try {
    return run(std::max(lines, 1), askDisk, live);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "windows_open_bench: %s\n", e.what());
    return 1;
  }
}
