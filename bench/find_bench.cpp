// Benchmark of finding what was recorded, offscreen, with the real Linux platform for the icons.
// Prints its figures; run it with scripts/bench.sh find. Each part runs in a process of its own
// (so that the memory figures are its own):
//
//   filter  1,000,000 list rows (realistic paths): the time a new filter text takes over them,
//           for a plain text, a text with wildcards, and a text nothing matches (goal: < 200 ms
//           each); then 1,000,000 rows arriving in batches of 10,000 with no filter and with a
//           filter set: the cost per batch with the filter over the cost without (goal: <= 1.5).
//           The tree follows the filter throughout (the nodes of the rows shown, with their
//           ancestors): its own time for a new text over the nodes of the 1,000,000 rows is
//           printed apart, and the arriving rows' cost includes it.
//   open    a recording of 1,000,000 lines in the jsonl form opened into the views, in steps as
//           the desktop program does (goal: < 10 s); the RSS afterwards.
//   live    the same 1,000,000 changes delivered into the views as a recording does; the RSS
//           afterwards (the open part's goal: no more than this).
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/report/jsonl.h"
#include "core/report/recording_loader.h"
#include "gui/main/capture_models.h"
#include "gui/main/system_icons.h"
#include "platform/linux/linux_platform.h"
#include "workload.h"

using namespace tw::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRows = 1'000'000;
constexpr int kBatch = 10'000;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: on a machine shared with other work, the wall time says more about the
// others than about the code measured, so both are printed.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The same changes in every part: a fixed seed over a fixed folder tree.
std::vector<tw::Change> makeChanges(const fs::path& root) {
  Workload work(root / "disk", 20000, 2025);
  std::vector<tw::Change> changes(kRows);
  for (tw::Change& change : changes) work.next(change);
  return changes;
}

// Delivers changes as a recording does (batches of 10,000); the milliseconds of each batch.
// (CPU time of this thread).
std::vector<double> deliver(tw::CaptureViews& views, const std::vector<tw::Change>& changes, int from,
                            int to) {
  std::vector<double> batches;
  for (int first = from; first < to; first += kBatch) {
    const double start = threadCpuMs();
    views.beginBatch();
    for (int i = first; i < std::min(to, first + kBatch); ++i)
      views.add(changes[static_cast<std::size_t>(i)]);
    views.endBatch();
    batches.push_back(threadCpuMs() - start);
  }
  return batches;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int filterPart(const std::vector<tw::Change>& changes) {
  tw::LinuxPlatform platform;
  tw::SystemIcons icons(platform);
  {
    tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
    tw::CaptureListModel listModel(views, icons);
    tw::CaptureTreeModel treeModel(views, icons);
    deliver(views, changes, 0, kRows);
    std::printf("list rows: %d, tree nodes: %zu\n", views.list().rowCount(), views.tree().nodeCount());
    for (const char* text : {"report", "src*/ma?n*.cpp", "no such name", "/", "?rc1*.t?t", "main", "*cache*",
                             "*.log", "logs2/re", "?ain", "?x?z"}) {
      double best = 1e9;
      double bestCpu = 1e9;
      double bestTree = 1e9;
      for (int run = 0; run < 5; ++run) {
        listModel.setFilterText(QString());
        treeModel.followFilter(listModel.filter());
        const auto start = Clock::now();
        const double cpuStart = threadCpuMs();
        listModel.setFilterText(QString::fromUtf8(text));
        bestCpu = std::min(bestCpu, threadCpuMs() - cpuStart);
        best = std::min(best, msSince(start));
        const double treeStart = threadCpuMs();
        treeModel.followFilter(listModel.filter());
        bestTree = std::min(bestTree, threadCpuMs() - treeStart);
      }
      std::printf(
          "new filter text \"%s\" over %d rows: %.1f ms wall, %.1f ms CPU (best of 5), %d rows shown "
          "(goal: < 200 ms); the tree then: %.1f ms CPU, %d of %zu nodes shown\n",
          text, kRows, best, bestCpu, listModel.rowCount(), bestTree, treeModel.rowCount(),
          views.tree().nodeCount());
    }
  }
  // Arriving rows: the same changes into fresh views, without and with a filter set, three
  // rounds each, alternating.
  double without = 0;
  double with = 0;
  for (int round = 0; round < 3; ++round) {
    for (const bool filtered : {false, true}) {
      tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
      tw::CaptureListModel listModel(views, icons);
      tw::CaptureTreeModel treeModel(views, icons);
      QObject::connect(&listModel, &tw::CaptureListModel::matchesAdded, [&](qsizetype firstMatch) {
        treeModel.showMatchesFrom(listModel.filter(), firstMatch);
      });
      if (filtered) {
        listModel.setFilterText(QStringLiteral("src*.txt"));
        treeModel.followFilter(listModel.filter());
      }
      const double ms = median(deliver(views, changes, 0, kRows / 2));
      (filtered ? with : without) += ms / 3;
    }
  }
  std::printf(
      "batch of %d arriving rows into the list and the tree (CPU, median, mean of 3 rounds, 500,000 rows): "
      "%.2f ms without a filter, %.2f ms with one: %.2fx (goal: <= 1.5x)\n",
      kBatch, without, with, with / without);
  return 0;
}

int openPart(std::vector<tw::Change>& changes, const fs::path& root) {
  const std::string file = (root / "recording.jsonl").string();
  {
    std::ofstream out(file, std::ios::binary);
    for (const tw::Change& change : changes) out << tw::jsonLine(change) << '\n';
  }
  std::vector<tw::Change>().swap(changes);
  malloc_trim(0);
  const long rssBefore = rssKiB("VmRSS:");
  tw::LinuxPlatform platform;
  tw::SystemIcons icons(platform);
  tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
  tw::CaptureTreeModel treeModel(views, icons);
  tw::CaptureListModel listModel(views, icons);
  const auto start = Clock::now();
  // As the desktop program's opener: the core's loader in steps of 30 ms on the event loop.
  tw::RecordingLoader loader(views, file);
  while (loader.step(std::chrono::milliseconds(30))) QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  std::printf("opened %d lines (%.0f MB) in %.2f s (goal: < 10 s), %zu bad lines\n", views.list().rowCount(),
              static_cast<double>(fs::file_size(file)) / 1e6, msSince(start) / 1000, loader.badLines());
  malloc_trim(0);
  std::printf("open: RSS of the process: %.0f MiB (%.0f MiB more than before opening)\n",
              rssKiB("VmRSS:") / 1024.0, (rssKiB("VmRSS:") - rssBefore) / 1024.0);
  return 0;
}

int livePart(std::vector<tw::Change>& changes) {
  // The changes a recording would deliver are gone once delivered: the queue holds one batch.
  tw::LinuxPlatform platform;
  tw::SystemIcons icons(platform);
  std::vector<std::vector<tw::Change>> batches;
  for (int first = 0; first < kRows; first += kBatch) {
    batches.emplace_back(std::make_move_iterator(changes.begin() + first),
                         std::make_move_iterator(changes.begin() + first + kBatch));
  }
  std::vector<tw::Change>().swap(changes);
  malloc_trim(0);
  tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
  tw::CaptureTreeModel treeModel(views, icons);
  tw::CaptureListModel listModel(views, icons);
  for (std::vector<tw::Change>& batch : batches) {
    views.beginBatch();
    for (const tw::Change& change : batch) views.add(change);
    views.endBatch();
    std::vector<tw::Change>().swap(batch);
    QCoreApplication::processEvents();
  }
  malloc_trim(0);
  std::printf("live: %d rows delivered; RSS of the process: %.0f MiB\n", views.list().rowCount(),
              rssKiB("VmRSS:") / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const std::string part = argc > 1 ? argv[1] : "filter";
  const fs::path root = fs::temp_directory_path() / ("tarnwatch-find-bench-" + std::to_string(::getpid()));
  std::vector<tw::Change> changes = makeChanges(root);
  int code = 2;
  if (part == "filter") code = filterPart(changes);
  if (part == "open") code = openPart(changes, root);
  if (part == "live") code = livePart(changes);
  std::error_code ec;
  fs::remove_all(root, ec);
  if (code == 2) std::fprintf(stderr, "usage: find_bench filter|open|live\n");
  return code;
}
