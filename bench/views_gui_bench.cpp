// Benchmark of the capture views, offscreen, with the real Linux platform for the icons. Prints
// its figures; run it with scripts/bench.sh gui.
//
//   1. Responsiveness: 100,000 realistic events delivered as the queue thread delivers them
//      (batches of 10,000, about a second's worth; each batch in steps of at most 15 ms, the
//      tree and the list inside beginBatch/endBatch, expandNew() after each batch) to the tree
//      and the list, both shown, while a 10 ms timer ticks: the longest gap between two ticks
//      (goal: <= 100 ms) and the time per batch.
//   2. Memory: the same views filled up to 1,000,000 rows and their tree: the process RSS
//      (goal: <= 400 MiB for the whole program). The argument "quick" runs only the first part.
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/system_icons.h"
#include "platform/linux/linux_platform.h"
#include "workload.h"

using namespace tw::bench;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double msSince(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Delivers batches on the user-interface thread as the queue thread's synchronised calls do:
// one step opens the batch, steps of at most 15 ms (the budget checked every 32 events)
// deliver the events, one step closes the batch and expands the tree. Between steps the event
// loop runs (layouts, paints, timers).
class Delivery {
 public:
  Delivery(Workload& work, tw::CaptureTree& tree, tw::CaptureList& list, tw::CaptureTreeView& view)
      : work(work), tree(tree), list(list), view(view) {}

  struct Figures {
    std::vector<double> batchMs;       // from the batch's first step to the end of its last
    std::vector<double> uiMs;          // time spent in the batch's steps
    std::vector<double> closeMs;       // the closing step (announcement and expandNew)
    std::vector<double> listCloseMs;   // of which the list's endBatch (icons, announcement)
    std::vector<double> treeCloseMs;   // the tree's endBatch (icons, announcement)
    std::vector<double> expandMs;      // expandNew()
    std::vector<double> afterCloseMs;  // the event-loop turn after it (relayout, repaint)
  };

  // Runs `batches` batches of `perBatch` events; returns when the last one is closed.
  Figures run(int batches, int perBatch) {
    Figures figures;
    std::vector<Event> events(static_cast<std::size_t>(perBatch));
    for (int b = 0; b < batches; ++b) {
      for (Event& e : events) work.next(e);  // made on the queue thread in the program
      const auto batchStart = Clock::now();
      double ui = 0;
      auto stepStart = Clock::now();
      tree.beginBatch();
      list.beginBatch();
      ui += msSince(stepStart);
      QApplication::processEvents();
      std::size_t next = 0;
      while (next < events.size()) {
        stepStart = Clock::now();
        int inStep = 0;
        while (next < events.size()) {
          const Event& e = events[next++];
          if (goesToTree(e.num)) tree.addDirectoryFile(e.item1, e.item2, e.num, tw::PathStyle::Posix);
          list.addListItem(e.item1, e.item2, e.num, tw::PathStyle::Posix);
          if (++inStep % 32 == 0 && Clock::now() - stepStart >= std::chrono::milliseconds(15)) break;
        }
        ui += msSince(stepStart);
        QApplication::processEvents();
      }
      stepStart = Clock::now();
      list.endBatch();
      figures.listCloseMs.push_back(msSince(stepStart));
      auto partStart = Clock::now();
      tree.endBatch();
      figures.treeCloseMs.push_back(msSince(partStart));
      partStart = Clock::now();
      view.expandNew();
      figures.expandMs.push_back(msSince(partStart));
      const double close = msSince(stepStart);
      ui += close;
      partStart = Clock::now();
      QApplication::processEvents();  // the relayout and repaint the batch causes
      figures.afterCloseMs.push_back(msSince(partStart));
      figures.batchMs.push_back(msSince(batchStart));
      figures.uiMs.push_back(ui);
      figures.closeMs.push_back(close);
    }
    return figures;
  }

 private:
  Workload& work;
  tw::CaptureTree& tree;
  tw::CaptureList& list;
  tw::CaptureTreeView& view;
};

double maxOf(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }
double meanOf(const std::vector<double>& v) {
  double sum = 0;
  for (const double x : v) sum += x;
  return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // figures show as they come, also through a pipe
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  tw::SystemIcons::chooseIconTheme();
  const long rssStart = rssKiB("VmRSS:");

  const fs::path root = fs::temp_directory_path() / ("tarnwatch-gui-bench-" + std::to_string(::getpid()));
  auto start = Clock::now();
  Workload work(root / "disk", 20000, 2025);
  std::printf("folder tree on disk: %zu folders (made in %.1f s)\n", work.folderCount(),
              msSince(start) / 1000);

  tw::LinuxPlatform platform;
  tw::TextPool pool;
  tw::FolderIconCache folderIcons(platform, platform);
  tw::CaptureTree tree(platform, platform, &pool, &folderIcons);
  tw::CaptureList list(platform, platform, &pool, &folderIcons);
  tw::SystemIcons icons(platform);
  tw::CaptureTreeModel treeModel(tree, icons);
  tw::CaptureListModel listModel(list, icons);

  // Both views shown side by side (the program shows one at a time: this is the harder case).
  QWidget window;
  auto* layout = new QHBoxLayout(&window);
  auto* treeView = new tw::CaptureTreeView;
  auto* listView = new tw::CaptureListView;
  layout->addWidget(treeView);
  layout->addWidget(listView);
  treeView->setModel(&treeModel);
  listView->setModel(&listModel);
  window.resize(1000, 700);
  window.show();
  QApplication::processEvents();

  // 1. Responsiveness.
  std::printf("== 100,000 events in batches of 10,000, both views shown, a 10 ms timer ticking\n");
  double longestGap = 0;
  auto lastTick = Clock::now();
  int ticks = 0;
  QTimer ticker;
  ticker.setInterval(10);
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    longestGap = std::max(longestGap, std::chrono::duration<double, std::milli>(now - lastTick).count());
    lastTick = now;
    ++ticks;
  });
  Delivery delivery(work, tree, list, *treeView);
  ticker.start();
  lastTick = Clock::now();
  start = Clock::now();
  const Delivery::Figures figures = delivery.run(10, 10000);
  const double total = msSince(start);
  ticker.stop();
  std::printf("tree %zu nodes, list %d rows, %d ticks in %.0f ms\n", tree.nodeCount(), list.rowCount(), ticks,
              total);
  std::printf("longest gap between ticks: %.1f ms (goal <= 100)\n", longestGap);
  std::printf(
      "per batch of 10,000: %.0f ms on the UI thread on average (longest %.0f), %.0f ms wall; "
      "closing step (announce + expandNew) %.1f ms on average, longest %.1f\n",
      meanOf(figures.uiMs), maxOf(figures.uiMs), meanOf(figures.batchMs), meanOf(figures.closeMs),
      maxOf(figures.closeMs));
  std::printf(
      "closing step on average: list endBatch %.1f ms, tree endBatch %.1f ms, expandNew %.1f ms; "
      "the event-loop turn after it (relayout, repaint) %.1f ms, longest %.1f\n",
      meanOf(figures.listCloseMs), meanOf(figures.treeCloseMs), meanOf(figures.expandMs),
      meanOf(figures.afterCloseMs), maxOf(figures.afterCloseMs));

  // 2. Memory at 1,000,000 rows (left out with the argument "quick").
  if (argc > 1 && std::strcmp(argv[1], "quick") == 0) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
  }
  std::printf("== filling the views up to 1,000,000 rows\n");
  start = Clock::now();
  const Delivery::Figures fill = delivery.run(45, 20000);
  QApplication::processEvents();
  malloc_trim(0);
  std::printf(
      "tree %zu nodes, list %d rows (filled in %.1f s; the last batch took %.0f ms on the UI thread, "
      "its closing step %.1f ms)\n",
      tree.nodeCount(), list.rowCount(), msSince(start) / 1000, fill.uiMs.back(), fill.closeMs.back());
  std::printf("RSS: %.1f MiB (goal <= 400), peak %.1f MiB; %.1f MiB at start with the views empty\n",
              rssKiB("VmRSS:") / 1024.0, rssKiB("VmHWM:") / 1024.0, rssStart / 1024.0);
  std::printf("core: tree %.1f MiB, list %.1f MiB, texts %.1f MiB\n", tree.bytesUsed() / 1048576.0,
              list.bytesUsed() / 1048576.0, pool.bytesUsed() / 1048576.0);

  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}
