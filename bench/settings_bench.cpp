// The settings file on the real platform: the cost of a save (six atomic writes and the read
// that follows), of a read, the load of lists of 100,000 extensions and 100,000 excluded
// folders, and how fast the INI reader scans a large file. Prints Google Benchmark's figures.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings/base64.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"
#include "core/settings/settings_codec.h"
#include "platform/linux/linux_platform.h"

namespace {

using namespace tw;

std::string tempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwatch-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return ".";
  return pattern;
}

// Options with `paths` excluded folders and 20 extensions.
CaptureOptions optionsWith(int paths) {
  CaptureOptions options;
  addExtensions(
      options.extensions,
      ".exe,.dll,.txt,.doc,.pdf,.png,.jpg,.c,.h,.cpp,.zip,.tar,.gz,.iso,.mp3,.mp4,.log,.ini,.bat,.sh");
  for (int i = 0; i < paths; ++i)
    options.excludedFolders.push_back("/home/user/projects/folder-" + std::to_string(i) + "/");
  return options;
}

void BM_SaveSettings(benchmark::State& state) {
  LinuxPlatform platform;
  const std::string dir = tempFolder();
  const std::string file = dir + "/config.ini";
  const CaptureOptions options = optionsWith(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CaptureOptions saved = options;
    saveCaptureOptions(platform, file, saved);  // six atomic writes, then a read
    benchmark::DoNotOptimize(saved.excludedFolders.size());
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReadSettings(benchmark::State& state) {
  LinuxPlatform platform;
  const std::string dir = tempFolder();
  const std::string file = dir + "/config.ini";
  writeCaptureOptions(platform, file, optionsWith(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(readCaptureOptions(platform, file).excludedFolders.size());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReadSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

// The load of a config.ini whose EXTENSIONS (range(1) == 0) or DIRECTORIES (range(1) == 1)
// list holds range(0) entries, as the desktop program and the recorder read it at start.
void BM_LoadLongList(benchmark::State& state) {
  LinuxPlatform platform;
  const std::string dir = tempFolder();
  const std::string file = dir + "/config.ini";
  const int entries = static_cast<int>(state.range(0));
  const bool folders = state.range(1) == 1;
  std::string list;
  for (int i = 0; i < entries; ++i)
    list += folders ? "/home/user/projects/folder-" + std::to_string(i) + "/\r\n"
                    : ".ext" + std::to_string(i) + "\r\n";
  std::string text = "[FILTERS]\r\n";
  text += folders ? "DIRECTORIES=" : "EXTENSIONS=";
  text += encodeBase64(list) + "\r\n";
  if (!platform.writeFileAtomically(file, text).ok()) state.SkipWithError("cannot write the settings file");
  std::size_t loaded = 0;
  for (auto _ : state) {
    const CaptureOptions options = readCaptureOptions(platform, file);
    loaded = folders ? options.excludedFolders.size() : options.extensions.size();
    benchmark::DoNotOptimize(loaded);
  }
  if (loaded != static_cast<std::size_t>(entries)) state.SkipWithError("the list did not load whole");
  state.SetLabel(folders ? "excluded folders" : "extensions");
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadLongList)
    ->Args({20'000, 0})
    ->Args({100'000, 0})
    ->Args({20'000, 1})
    ->Args({100'000, 1})
    ->Unit(benchmark::kMillisecond);

// Adding one extension by hand to a list of range(0) entries (the extension dialog).
void BM_AddOneExtension(benchmark::State& state) {
  std::vector<std::string> list;
  for (int i = 0; i < state.range(0); ++i) list.push_back(".ext" + std::to_string(i));
  for (auto _ : state) benchmark::DoNotOptimize(extensionsToAdd(list, "new").size());
}
BENCHMARK(BM_AddOneExtension)->Arg(100'000)->Unit(benchmark::kMillisecond);

// A key at the end of a file of `range(0)` MB of other keys.
void BM_ReadKeyAtEndOfLargeFile(benchmark::State& state) {
  std::string text = "[OTHER]\r\n";
  const std::size_t size = static_cast<std::size_t>(state.range(0)) << 20;
  for (int i = 0; text.size() < size; ++i) text += "KEY" + std::to_string(i) + "=some value of a line\r\n";
  text += "[GLOBAL]\r\nTRAY=Y\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(iniReadValue(text, "GLOBAL", "TRAY"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadKeyAtEndOfLargeFile)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
