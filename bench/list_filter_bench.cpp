// Benchmark of the list's filter alone (core only, no Qt): the time a new filter text takes
// over 1,000,000 list rows of realistic paths, and the memory its caches keep. Quicker to run
// and to profile than find_bench's filter part, which measures the views around it too:
//   build/dev/bench/list_filter_bench [--views] [TEXT...]
//   perf record -g build/dev/bench/list_filter_bench --views
// With --views the rows are filed through the capture views (the tree's texts then share the
// list's pool, as in the desktop program and find_bench); the caches are made cold before each
// new text, as the tree's own work between two texts leaves them there. Both together give
// find_bench's figures for the list. Texts given on the command line are measured in place of
// the usual ones (to profile one).
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "platform/linux/linux_platform.h"
#include "workload.h"

using namespace tw::bench;

namespace {

constexpr int kRows = 1'000'000;

// CPU time of this thread: the wall time on a shared machine says more about the other work.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root =
      fs::temp_directory_path() / ("tarnwatch-list-filter-bench-" + std::to_string(::getpid()));
  tw::LinuxPlatform platform;
  // With --views the rows are filed as the desktop program files them: through the capture
  // views, whose tree shares the list's text pool (as find_bench's rows are).
  const bool throughViews = argc > 1 && std::string_view(argv[1]) == "--views";
  if (throughViews) {
    --argc;
    ++argv;
  }
  tw::CaptureList ownList(platform, nullptr, tw::PathStyle::Posix);
  tw::CaptureViews views(platform, nullptr, tw::PathStyle::Posix);
  tw::CaptureList& list = throughViews ? views.list() : ownList;
  {
    Workload work(root / "disk", 20000, 2025);  // the same changes as find_bench's
    tw::Change change;
    if (throughViews) {
      views.beginBatch();
    } else {
      list.beginBatch();
    }
    for (int i = 0; i < kRows; ++i) {
      work.next(change);
      if (throughViews) {
        views.add(change);
      } else {
        list.add(change);
      }
    }
    if (throughViews) {
      views.endBatch();
    } else {
      list.endBatch();
    }
  }
  std::printf("text pool: %zu texts, %.1f MB\n", list.texts().size(),
              static_cast<double>(list.texts().bytesUsed()) / 1e6);
  tw::ListFilter filter(list);
  filter.addRows(0, list.rowCount() - 1);
  // What a user types: a word, parts of a path, an extension, '?' for a character not known.
  std::vector<std::string> texts = {"report",  "src*/ma?n*.cpp", "no such name", "/",    "?rc1*.t?t", "main",
                                    "*cache*", "*.log",          "logs2/re",     "?ain", "?x?z"};
  if (argc > 1) texts.assign(argv + 1, argv + argc);
  // A user types a new text after other work (in the desktop program the tree follows each
  // text over its 270,000 nodes): the caches are cold then, not warm from the text before.
  std::vector<char> otherWork(std::size_t{64} << 20);
  for (const std::string& text : texts) {
    double best = 1e9;
    for (int run = 0; run < 7; ++run) {
      filter.setText("");
      for (std::size_t at = 0; at < otherWork.size(); at += 64)
        otherWork[at] = static_cast<char>(otherWork[at] + 1);
      const double start = threadCpuMs();
      filter.setText(text);
      best = std::min(best, threadCpuMs() - start);
    }
    std::printf(
        "new filter text \"%s\" over %d rows: %.1f ms CPU (best of 7), %d rows shown (goal: < 200 ms)\n",
        text.c_str(), kRows, best, filter.shownCount());
  }
  filter.setText("src*/ma?n*.cpp");
  std::printf("the filter's rows shown and caches after \"src*/ma?n*.cpp\": %.1f MB for %d rows\n",
              static_cast<double>(filter.bytesUsed()) / 1e6, kRows);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
