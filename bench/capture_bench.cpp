// Benchmarks of the capture views and the export report. Prints its figures; run it with
// scripts/bench.sh.
//
//   1. 1,000,000 realistic events into the capture tree and the capture list with the real
//      Linux platform for the icons: events per second and bytes of RSS per event;
//   2. the time per event at 10,000, 100,000 and 1,000,000 events;
//   3. MD5 throughput on a 1 GiB file, against md5sum on the same file in the same run;
//   4. building and writing the report of a 100,000-node tree and a 100,000-row list.
#include <malloc.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

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
#include "core/model/capture_views.h"
#include "core/report/export_report.h"
#include "platform/linux/linux_platform.h"
#include "workload.h"

using namespace tw::bench;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// The CPU time of the calling thread: the delivering thread's own work, whatever else the machine
// runs meanwhile (the wall time counts that too).
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct RunResult {
  double seconds;
  double cpuSeconds;  // of the delivering thread
  std::size_t nodes;
  std::size_t rows;
};

// Delivers `count` events as the queue thread does: in batches, each event to the tree and the
// list. Events are made 10,000 at a time outside the timed part.
RunResult run(Workload& work, tw::CaptureViews& views, std::size_t count) {
  std::vector<tw::Change> batch(10000);
  double total = 0;
  double cpu = 0;
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(batch.size(), count - done);
    for (std::size_t i = 0; i < n; ++i) work.next(batch[i]);
    const auto start = Clock::now();
    const double cpuStart = threadCpuSeconds();
    for (std::size_t i = 0; i < n;) {
      // One synchronised call holds about 1,000 events.
      const std::size_t end = std::min(n, i + 1000);
      views.beginBatch();
      for (; i < end; ++i) views.add(batch[i]);
      views.endBatch();
    }
    total += seconds(start);
    cpu += threadCpuSeconds() - cpuStart;
    done += n;
  }
  return {total, cpu, views.tree().nodeCount(), static_cast<std::size_t>(views.list().rowCount())};
}

void benchEvents(const fs::path& root) {
  tw::LinuxPlatform platform;
  std::printf("== Events into the capture tree and list (real Linux platform icons)\n");
  auto start = Clock::now();
  Workload work(root / "disk", 50000);
  std::printf("folder tree on disk: %zu folders (made in %.1f s)\n", work.folderCount(), seconds(start));

  malloc_trim(0);
  const long before = rssKiB();
  double perEventAt1M = 0;
  {
    tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
    const RunResult r = run(work, views, 1000000);
    const long after = rssKiB();
    perEventAt1M = r.seconds / 1e6;
    std::printf("1,000,000 events: %.2f s, %.0f events/s (goal >= 250,000); tree %zu nodes, list %zu rows\n",
                r.seconds, 1e6 / r.seconds, r.nodes, r.rows);
    std::printf("the delivering thread's CPU time: %.2f s, %.0f events per CPU second\n", r.cpuSeconds,
                1e6 / r.cpuSeconds);
    std::printf(
        "RSS: %.1f MiB before, %.1f MiB after: %.1f bytes per event (goal <= 200); "
        "whole process %.1f bytes per event\n",
        before / 1024.0, after / 1024.0, (after - before) * 1024.0 / 1e6, after * 1024.0 / 1e6);
    std::printf("held: texts and folder icons %.1f MiB, tree %.1f MiB, list %.1f MiB\n",
                views.sharedBytesUsed() / 1048576.0, views.tree().bytesUsed() / 1048576.0,
                views.list().bytesUsed() / 1048576.0);
  }
  malloc_trim(0);

  std::printf("== Time per event as the views grow\n");
  double perEventAt10k = 0;
  for (const std::size_t count : {10000u, 100000u}) {
    tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
    const RunResult r = run(work, views, count);
    const double perEvent = r.seconds / static_cast<double>(count);
    if (count == 10000) perEventAt10k = perEvent;
    std::printf("%9zu events: %.3f us per event\n", count, perEvent * 1e6);
  }
  std::printf("%9d events: %.3f us per event\n", 1000000, perEventAt1M * 1e6);
  std::printf("ratio 1,000,000 / 10,000: %.2f (goal <= 1.5)\n", perEventAt1M / perEventAt10k);
}

void benchMd5(const fs::path& root) {
  std::printf("== MD5 of a 1 GiB file\n");
  const std::string path = (root / "one-gib.bin").string();
  {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(1);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    for (int mib = 0; mib < 1024; ++mib) {
      for (auto& w : block) w = random();
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
  }
  tw::LinuxPlatform platform;
  const double mib = 1024.0;
  double best = 1e9;
  double bestPeer = 1e9;
  std::string ours;
  std::string peer;
  for (int round = 0; round < 3; ++round) {
    auto start = Clock::now();
    const std::string command = "md5sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    char out[33] = {};
    const std::size_t n = pipe != nullptr ? fread(out, 1, 32, pipe) : 0;
    if (pipe != nullptr) pclose(pipe);
    peer.assign(out, n);
    bestPeer = std::min(bestPeer, seconds(start));
    start = Clock::now();
    ours = tw::fileDigestText(platform, path);
    best = std::min(best, seconds(start));
  }
  std::printf("fileDigestText: %.0f MiB/s (%s)\nmd5sum:     %.0f MiB/s (%s)\n", mib / best, ours.c_str(),
              mib / bestPeer, peer.c_str());
  std::printf("ratio: %.2f of md5sum (goal >= 0.9); digests %s\n", bestPeer / best,
              ours == peer ? "agree" : "DIFFER");
  fs::remove(path);
}

void benchReport(const fs::path& root) {
  std::printf("== Report of a 100,000-node tree and a 100,000-row list\n");
  tw::LinuxPlatform platform;
  tw::CaptureViews views(platform, &platform, tw::PathStyle::Posix);
  tw::CaptureTree& tree = views.tree();
  tw::CaptureList& list = views.list();
  const auto created = [](std::string path, tw::EventKind kind) {
    tw::Change change;
    change.kind = kind;
    change.path = std::move(path);
    change.time = std::chrono::system_clock::now();
    return change;
  };
  // 100,000 files in 1,000 folders, of which 1,000 files exist on disk and get a digest.
  const fs::path base = root / "report";
  fs::create_directories(base);
  for (int i = 0; tree.nodeCount() < 100000; ++i) {
    const fs::path folder = base / ("folder" + std::to_string(i % 1000));
    const std::string file = (folder / ("file" + std::to_string(i) + ".txt")).string();
    if (i < 1000) {
      fs::create_directories(folder);
      std::ofstream(file) << std::string(4096, static_cast<char>('a' + i % 26));
    }
    tree.add(created(file, tw::EventKind::FileCreated));
    if (list.rowCount() < 100000) list.add(created(file, tw::EventKind::FileCreated));
  }
  while (list.rowCount() < 100000) list.add(created((base / "x.txt").string(), tw::EventKind::FileUpdated));
  const auto start = Clock::now();
  const std::string text = tw::buildExportReport("Tarnwatch v1.0 - BENCH", views, platform);
  const double built = seconds(start);
  const bool saved = tw::writeReportFile(platform, (root / "report.txt").string(), text);
  const double total = seconds(start);
  std::printf(
      "%zu nodes, %d rows: built in %.3f s, written in %.3f s, %.3f s in all (goal < 0.5); %.1f MiB, %s\n",
      tree.nodeCount(), list.rowCount(), built, total - built, total, text.size() / 1048576.0,
      saved ? "saved" : "NOT SAVED");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "all";
  std::string pattern = (fs::temp_directory_path() / "tarnwatch-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path root = pattern;
  if (only == "all" || only == "events") benchEvents(root);
  if (only == "all" || only == "md5") benchMd5(root);
  if (only == "all" || only == "report") benchReport(root);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
