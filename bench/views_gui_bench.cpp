// Benchmark of the capture views, offscreen, with the real Linux platform for the icons. Prints
// its figures; run it with scripts/bench.sh gui. Changes are delivered as a recording delivers
// them: batches of 10,000 (about a second's worth), each in steps of at most 15 ms with the
// event loop running between them (layouts, paints, timers), the batch's rows announced when it
// ends; the tree view and the list view are both shown, and a 10 ms timer
// ticks throughout (its longest gap is how long the window did not respond).
//
//   1. 100,000 realistic events: the longest gap (goal: <= 100 ms) and the time per batch.
//   2. Filling on to 1,000,000 list rows: the time from empty (goal: < 15 s), the UI-thread time
//      of the batch that reaches 1,000,000 rows (goal: < 150 ms), the longest gap, the RSS
//      (goal: < 400 MiB).
//   3. A tree of 1,000,000 nodes: a batch of 10,000 changes that deletes and renames folders
//      (each deleted folder with its subtree): the longest gap (goal: <= 100 ms).
// The argument "quick" runs only the first part.
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
#include <functional>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
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

// The longest gap between the ticks of a 10 ms timer, since the last reset.
class Ticker {
 public:
  Ticker() {
    timer.setInterval(10);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      const auto now = Clock::now();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
      last = now;
    });
    timer.start();
    reset();
  }
  void reset() {
    longest = 0;
    last = Clock::now();
  }
  double longestGap() const { return longest; }

 private:
  QTimer timer;
  Clock::time_point last;
  double longest = 0;
};

// Delivers batches on the user-interface thread as the queue thread's synchronised calls do:
// one step opens the batch, steps of at most 15 ms (the budget checked every 32 events)
// deliver the changes, one step closes the batch and expands the tree. Between steps the event
// loop runs.
class Delivery {
 public:
  Delivery(tw::CaptureViews& views, tw::CaptureTreeView& view) : views(views), view(view) {}

  struct Figures {
    std::vector<double> uiMs;          // time spent in the batch's steps
    std::vector<double> closeMs;       // the closing step (announcement)
    std::vector<double> afterCloseMs;  // the event-loop turn after it (relayout, repaint)
  };

  // Runs `batches` batches of `perBatch` changes made by `make`.
  Figures run(int batches, int perBatch, const std::function<void(tw::Change&)>& make) {
    Figures figures;
    std::vector<tw::Change> changes(static_cast<std::size_t>(perBatch));
    for (int b = 0; b < batches; ++b) {
      for (tw::Change& c : changes) make(c);  // made on the queue thread in the program
      double ui = 0;
      auto stepStart = Clock::now();
      views.beginBatch();
      ui += msSince(stepStart);
      QApplication::processEvents();
      std::size_t next = 0;
      while (next < changes.size()) {
        stepStart = Clock::now();
        int inStep = 0;
        while (next < changes.size()) {
          views.add(changes[next++]);
          if (++inStep % 32 == 0 && Clock::now() - stepStart >= std::chrono::milliseconds(15)) break;
        }
        ui += msSince(stepStart);
        QApplication::processEvents();
      }
      stepStart = Clock::now();
      views.endBatch();
      const double close = msSince(stepStart);
      ui += close;
      const auto afterStart = Clock::now();
      QApplication::processEvents();  // the relayout and repaint the batch causes
      const double after = msSince(afterStart);
      figures.uiMs.push_back(ui + after);
      figures.closeMs.push_back(close);
      figures.afterCloseMs.push_back(after);
    }
    return figures;
  }

 private:
  tw::CaptureViews& views;
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
  const bool quick = argc > 1 && std::strcmp(argv[1], "quick") == 0;
  const long rssStart = rssKiB("VmRSS:");

  const fs::path root = fs::temp_directory_path() / ("tarnwatch-gui-bench-" + std::to_string(::getpid()));
  auto start = Clock::now();
  Workload work(root / "disk", 20000, 2025);
  std::printf("folder tree on disk: %zu folders (made in %.1f s)\n", work.folderCount(),
              msSince(start) / 1000);

  tw::LinuxPlatform platform;
  tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
  tw::SystemIcons icons(platform);
  tw::CaptureTreeModel treeModel(views, icons);
  tw::CaptureListModel listModel(views, icons);

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

  Ticker ticker;
  Delivery delivery(views, *treeView);
  const auto realistic = [&](tw::Change& c) { work.next(c); };

  // 1. Responsiveness.
  std::printf("== 100,000 events in batches of 10,000, both views shown, a 10 ms timer ticking\n");
  ticker.reset();
  const auto fillStart = Clock::now();
  const Delivery::Figures figures = delivery.run(10, 10000, realistic);
  std::printf("tree %zu nodes, list %d rows in %.0f ms\n", views.tree().nodeCount(), views.list().rowCount(),
              msSince(fillStart));
  std::printf("longest gap between ticks: %.1f ms (goal <= 100)\n", ticker.longestGap());
  std::printf(
      "per batch of 10,000: %.0f ms on the UI thread on average (longest %.0f); closing step (announce) "
      "%.1f ms on average, longest %.1f; the event-loop turn after it %.1f ms, longest %.1f\n",
      meanOf(figures.uiMs), maxOf(figures.uiMs), meanOf(figures.closeMs), maxOf(figures.closeMs),
      meanOf(figures.afterCloseMs), maxOf(figures.afterCloseMs));
  if (quick) {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
  }

  // 2. On to 1,000,000 rows.
  std::printf("== filling the views on to 1,000,000 rows, batches of 10,000\n");
  const Delivery::Figures fill = delivery.run(90, 10000, realistic);
  const double fillSeconds = msSince(fillStart) / 1000;
  QApplication::processEvents();
  malloc_trim(0);
  std::printf(
      "tree %zu nodes, list %d rows: filled from empty in %.1f s (goal < 15); the batch that reached them "
      "took %.0f ms on the UI thread (goal < 150), the slowest %.0f; longest gap between ticks: %.1f ms "
      "(goal <= 100)\n",
      views.tree().nodeCount(), views.list().rowCount(), fillSeconds, fill.uiMs.back(), maxOf(fill.uiMs),
      ticker.longestGap());
  std::printf("RSS: %.1f MiB (goal < 400), peak %.1f MiB; %.1f MiB at start with the views empty\n",
              rssKiB("VmRSS:") / 1024.0, rssKiB("VmHWM:") / 1024.0, rssStart / 1024.0);
  std::printf(
      "core: tree %.1f MiB, shown tree rows %.1f MiB, list %.1f MiB, texts and folder icons %.1f MiB\n",
      views.tree().bytesUsed() / 1048576.0, treeModel.shownRows().bytesUsed() / 1048576.0,
      views.list().bytesUsed() / 1048576.0, views.sharedBytesUsed() / 1048576.0);

  // 3. Folder deletions and renames on a tree of 1,000,000 nodes.
  std::printf("== a tree of 1,000,000 nodes, then a batch of 10,000 changes deleting and renaming folders\n");
  views.clear();
  QApplication::processEvents();
  start = Clock::now();
  while (views.tree().nodeCount() < 1000000)
    delivery.run(1, 10000, [&](tw::Change& c) { work.nextCreation(c); });
  std::printf("tree %zu nodes, %d rows shown (made in %.1f s)\n", views.tree().nodeCount(),
              treeModel.rowCount(), msSince(start) / 1000);
  int step = 0;
  ticker.reset();
  const Delivery::Figures churn = delivery.run(1, 10000, [&](tw::Change& c) {
    // One change in ten deletes or renames a folder, the others create files.
    if (step++ % 10 == 0) {
      work.nextFolderChange(c);
    } else {
      work.nextCreation(c);
    }
  });
  std::printf(
      "after the batch: tree %zu nodes; the batch took %.0f ms on the UI thread, its closing step %.1f ms; "
      "longest gap between ticks: %.1f ms (goal <= 100)\n",
      views.tree().nodeCount(), churn.uiMs.back(), churn.closeMs.back(), ticker.longestGap());

  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}
