// The settings file on the real platform: the cost of a save (six atomic writes) and of a
// restore, and how fast the INI reader scans a large file. Prints Google Benchmark's figures.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/settings/extensions.h"
#include "core/settings/ini_text.h"
#include "core/settings/settings_file.h"
#include "platform/linux/linux_platform.h"

namespace {

using namespace tw;

struct Rows : EventCheckList, FilterList {
  struct Row {
    std::string caption;
    bool checked;
  };
  std::vector<Row> rows;
  int rowCount() const override { return static_cast<int>(rows.size()); }
  std::string caption(int row) const override { return rows[static_cast<std::size_t>(row)].caption; }
  bool isChecked(int row) const override { return rows[static_cast<std::size_t>(row)].checked; }
  void clearRows() override { rows.clear(); }
  void addRow(const std::string& caption, bool checked, int) override { rows.push_back({caption, checked}); }
  void addRow(const std::string& caption, const std::string&, int) override {
    rows.push_back({caption, false});
  }
};

struct Box : CheckBox {
  bool on = false;
  bool isChecked() const override { return on; }
  void setChecked(bool value) override { on = value; }
};

struct Controls : SettingsControls {
  Rows drives, events, ext, paths;
  Box autoclean, autoCapture, tray;
  CheckList& ListDrives() override { return static_cast<EventCheckList&>(drives); }
  EventCheckList& lstevents() override { return events; }
  FilterList& lstext() override { return ext; }
  FilterList& lstpath() override { return paths; }
  CheckBox& cautoclean() override { return autoclean; }
  CheckBox& cAutoCapture() override { return autoCapture; }
  CheckBox& cTray() override { return tray; }
};

std::string tempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarnwatch-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return ".";
  return pattern;
}

// A settings window with `paths` excluded folders and 20 extensions.
void fill(Controls& c, LinuxPlatform& platform, int paths) {
  defaultEventList(c);
  addExtensions(
      c.ext, platform,
      ".exe,.dll,.txt,.doc,.pdf,.png,.jpg,.c,.h,.cpp,.zip,.tar,.gz,.iso,.mp3,.mp4,.log,.ini,.bat,.sh");
  for (int i = 0; i < paths; ++i)
    c.paths.addRow("/home/user/projects/folder-" + std::to_string(i) + "/", "", 0);
}

void BM_SaveSettings(benchmark::State& state) {
  LinuxPlatform platform;
  const std::string dir = tempFolder();
  const std::string file = dir + "/config.ini";
  Controls controls;
  fill(controls, platform, static_cast<int>(state.range(0)));
  for (auto _ : state) saveSettings(controls, platform, platform, file);  // six atomic writes, then a restore
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SaveSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RestoreSettings(benchmark::State& state) {
  LinuxPlatform platform;
  const std::string dir = tempFolder();
  const std::string file = dir + "/config.ini";
  Controls controls;
  fill(controls, platform, static_cast<int>(state.range(0)));
  saveSettings(controls, platform, platform, file);
  for (auto _ : state) {
    Controls fresh;
    restoreSettings(fresh, platform, platform, file);
    benchmark::DoNotOptimize(fresh.paths.rows.size());
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RestoreSettings)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond);

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
