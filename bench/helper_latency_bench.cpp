// Whole-drive capture through the capture helper: from Record to the first change made after it
// being delivered to the views, with the program's own delivery pacing (a batch at most once a
// second) and every drive of the machine watched.
//
// Usage (as root): helper_latency_bench TARNWATCH_RECORD [ELEVATE]
// ELEVATE is what runs the helper (a stand-in for pkexec); without it the helper is started
// directly, as root. Five runs; each prints Record -> helper watching, Record -> first change
// shown, and that change's own age when shown. Changes are made under /var/tmp every 20 ms from
// Record on, so "the first change made after Record" is the first one the helper can see.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "core/model/capture_views.h"
#include "core/recording/monitor_loop.h"
#include "core/recording/posted_work_loop.h"
#include "core/recording/recording_controller.h"
#include "platform/linux/helper_change_watching.h"
#include "platform/linux/linux_platform.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Notes when the helper said it watches and when each probe was delivered. UI thread only.
class Timings : public tw::RecordingListener {
 public:
  void stateChanged(tw::RecordingState s) override { state = s; }
  void noticeReceived(const tw::WatchNotice& notice) override {
    if (notice.message.find("capture helper") != std::string::npos && !ready) ready = Clock::now();
    std::printf("  notice: %s\n", notice.message.c_str());
  }
  void changesDelivered(std::span<const tw::Change> changes) override {
    for (const tw::Change& c : changes) {
      if (!firstShown && c.path.starts_with(prefix)) {
        firstShown = Clock::now();
        firstPath = c.path;
      }
    }
  }
  std::string prefix;
  tw::RecordingState state = tw::RecordingState::Idle;
  std::optional<Clock::time_point> ready;
  std::optional<Clock::time_point> firstShown;
  std::string firstPath;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s TARNWATCH_RECORD [ELEVATE]\n", argv[0]);
    return 2;
  }
  if (::geteuid() != 0 && argc < 3) {
    std::fprintf(stderr, "the helper watches whole drives as root: run as root, or give a setuid stand-in\n");
    return 2;
  }
  tw::LinuxPlatform platform;
  tw::LinuxChangeWatching inotify(platform);
  inotify.setForceInotify(true);
  tw::HelperChangeWatching watching({argv[1], argc > 2 ? argv[2] : ""}, inotify);
  tw::PostedWorkLoop ui;
  Timings timings;
  tw::CaptureViews views(platform, nullptr, tw::PathStyle::Posix);
  tw::RecordingController controller(
      tw::RecordingServices{watching, platform, platform, ui, timings, &views, tw::PathStyle::Posix},
      tw::DeliverySchedule{});
  tw::CaptureOptions options;
  std::printf("watched:");
  for (const auto& root : tw::rootsToWatch(platform, options)) std::printf(" %s", root.c_str());
  std::printf("\n");

  const std::filesystem::path probes = "/var/tmp/tarnwatch-latency-probes";
  std::filesystem::create_directories(probes);
  for (int run = 1; run <= 5; ++run) {
    timings = Timings{};
    timings.prefix = (probes / ("run" + std::to_string(run) + "-")).string();
    std::mutex lock;
    std::unordered_map<std::string, Clock::time_point> made;
    std::atomic<bool> making{true};
    const auto record = Clock::now();
    controller.record(options);
    std::jthread maker([&] {
      for (int i = 0; making && i < 1000; ++i) {
        const std::string path = timings.prefix + std::to_string(i);
        {
          std::lock_guard guard(lock);
          made[path] = Clock::now();
        }
        std::ofstream(path) << "x";
        std::this_thread::sleep_for(20ms);
      }
    });
    const bool shown = ui.runUntil([&] { return timings.firstShown.has_value(); }, 20s);
    making = false;
    maker.join();
    if (!shown) {
      std::printf("run %d: no change shown within 20 s\n", run);
    } else {
      std::printf(
          "run %d: Record -> helper watching %.0f ms; Record -> first change shown %.0f ms; "
          "that change made -> shown %.0f ms\n",
          run, timings.ready ? ms(*timings.ready - record) : -1.0, ms(*timings.firstShown - record),
          ms(*timings.firstShown - made.at(timings.firstPath)));
    }
    controller.stop();
    ui.runUntil([&] { return controller.state() == tw::RecordingState::Idle; }, 20s);
  }
  std::filesystem::remove_all(probes);
  return 0;
}
