// The delivery thread's filter: the cost of testing one change against the excluded folders and
// the extensions to keep, with lists of one entry and of 100,000 entries, beside the linear scan
// the filter replaced (kept here as the reference). Prints Google Benchmark's figures; the
// "per_test" counter is the time of one test.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/queue/change_filter.h"
#include "core/queue/event_filter.h"
#include "core/text/path_style.h"

namespace {

using namespace tw;

constexpr PathStyle kStyle = PathStyle::Posix;

// 4,096 paths as a busy home folder has them: projects with sources and build folders.
const std::vector<std::string>& paths() {
  static const std::vector<std::string> all = [] {
    std::mt19937 random(7);
    const char* parts[] = {"src", "build", "docs", "test"};
    const char* extensions[] = {".c", ".h", ".txt", ".o", ".md", ".e42", ".e99999", ""};
    std::vector<std::string> result;
    for (int i = 0; i < 4096; ++i) {
      char text[160];
      std::snprintf(text, sizeof text, "/home/user/projects/p%05u/%s/module%u/file%u%s",
                    static_cast<unsigned>(random() % 120'000), parts[random() % 4],
                    static_cast<unsigned>(random() % 50), static_cast<unsigned>(random() % 1000),
                    extensions[random() % 8]);
      result.emplace_back(text);
    }
    return result;
  }();
  return all;
}

// The excluded folders: the build folders of `count` projects.
std::vector<std::string> folders(int count) {
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "/home/user/projects/p%05d/build/", i);
    entries.emplace_back(text);
  }
  return entries;
}

// Excluded folders of many depths and lengths (so that a path is looked up at many of its
// separators): caches, build and output folders of projects, data folders, a few entries
// without a final separator.
std::vector<std::string> variedFolders(int count) {
  std::mt19937 random(11);
  const char* kinds[] = {"build", "out", "node_modules", "cache", "target/debug", "src/gen", ".git/objects"};
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) {
    char text[160];
    const unsigned project = static_cast<unsigned>(random() % 120'000);
    switch (random() % 5) {
      case 0:
        std::snprintf(text, sizeof text, "/home/user/projects/p%05u/%s/", project, kinds[random() % 7]);
        break;
      case 1:
        std::snprintf(text, sizeof text, "/home/user/projects/p%05u/src/module%u/", project,
                      static_cast<unsigned>(random() % 50));
        break;
      case 2:
        std::snprintf(text, sizeof text, "/srv/data/d%u/", static_cast<unsigned>(random()));
        break;
      case 3:
        std::snprintf(text, sizeof text, "/home/user/.cache/app%u/v%u/",
                      static_cast<unsigned>(random() % 1000), static_cast<unsigned>(random() % 100));
        break;
      default:
        std::snprintf(text, sizeof text, "/home/user/projects/p%05u/tmp", project);
    }
    entries.emplace_back(text);
  }
  return entries;
}

// The extensions to keep: ".txt", then made-up ones.
std::vector<std::string> extensions(int count) {
  std::vector<std::string> entries = {".txt"};
  for (int i = 1; i < count; ++i) entries.push_back(".e" + std::to_string(i));
  return entries;
}

// The rules as the linear scan applied them, the reference.
bool scanExcludes(std::string_view path, const std::vector<std::string>& entries) {
  const std::string tested = withTrailingSeparator(path, kStyle);
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string& entry) { return startsWithIgnoreAsciiCase(tested, entry); });
}
bool scanKeeps(std::string_view path, const std::vector<std::string>& entries) {
  const std::string_view extension = pathExtension(path, kStyle);
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string& entry) { return equalsIgnoreAsciiCase(entry, extension); });
}

template <typename Test>
void run(benchmark::State& state, Test test) {
  const auto& all = paths();
  std::size_t i = 0;
  std::size_t hits = 0;
  for (auto _ : state) {
    hits += test(all[i]) ? 1 : 0;
    i = (i + 1) & (all.size() - 1);
  }
  benchmark::DoNotOptimize(hits);
  state.counters["per_test"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void FolderFilter(benchmark::State& state) {
  const ChangeFilter filter(folders(static_cast<int>(state.range(0))), {}, kStyle);
  run(state, [&](const std::string& path) { return filter.excludes(path); });
}
void VariedFolderFilter(benchmark::State& state) {
  const ChangeFilter filter(variedFolders(static_cast<int>(state.range(0))), {}, kStyle);
  run(state, [&](const std::string& path) { return filter.excludes(path); });
}
void VariedFolderScan(benchmark::State& state) {
  const std::vector<std::string> entries = variedFolders(static_cast<int>(state.range(0)));
  run(state, [&](const std::string& path) { return scanExcludes(path, entries); });
}
void FolderScan(benchmark::State& state) {
  const std::vector<std::string> entries = folders(static_cast<int>(state.range(0)));
  run(state, [&](const std::string& path) { return scanExcludes(path, entries); });
}
void ExtensionFilter(benchmark::State& state) {
  const ChangeFilter filter({}, extensions(static_cast<int>(state.range(0))), kStyle);
  run(state, [&](const std::string& path) { return filter.keepsExtension(path, {}); });
}
void ExtensionScan(benchmark::State& state) {
  const std::vector<std::string> entries = extensions(static_cast<int>(state.range(0)));
  run(state, [&](const std::string& path) { return scanKeeps(path, entries); });
}
// Building the filter once when a recording starts.
void BuildFilter(benchmark::State& state) {
  const std::vector<std::string> excluded = folders(static_cast<int>(state.range(0)));
  const std::vector<std::string> kept = extensions(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ChangeFilter filter(excluded, kept, kStyle);
    benchmark::DoNotOptimize(filter);
  }
}

BENCHMARK(FolderFilter)->Arg(1)->Arg(100'000);
BENCHMARK(FolderScan)->Arg(1)->Arg(100'000);
BENCHMARK(VariedFolderFilter)->Arg(1)->Arg(100'000);
BENCHMARK(VariedFolderScan)->Arg(1)->Arg(100'000);
BENCHMARK(ExtensionFilter)->Arg(1)->Arg(100'000);
BENCHMARK(ExtensionScan)->Arg(1)->Arg(100'000);
BENCHMARK(BuildFilter)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
