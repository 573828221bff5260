// The tarnwatch-record program, started, driven and stopped for real on a temporary folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

using tw::test::readFile;

Lines linesOf(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One run of the program, its standard output and error in files.
class Recorder {
 public:
  Recorder(const tw::test::TempDir& tmp, std::vector<std::string> args)
      : out(tmp.file("out.txt")), err(tmp.file("err.txt")) {
    args.insert(args.begin(), TARNWATCH_RECORD);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    if (posix_spawn(&pid, TARNWATCH_RECORD, &files, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&files);
  }
  ~Recorder() {
    if (pid > 0 && !finished) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  // Waits until the program prints `lines` lines (or the time runs out).
  bool waitForLines(std::size_t lines, std::chrono::milliseconds timeout = 10s) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (linesOf(readFile(out)).size() >= lines) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  // Sends `signal` (none: just waits) and returns the exit code, -1 when it did not end.
  int stop(int signal = SIGINT, std::chrono::milliseconds timeout = 15s) {
    if (signal != 0) kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        finished = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }
  Lines output() const { return linesOf(readFile(out)); }
  std::string errors() const { return readFile(err); }
  pid_t pid = -1;

 private:
  std::string out, err;
  bool finished = false;
};

// Waits until the recorder has set up its watch: it prints nothing until then, so the test
// makes a probe file and waits for its line.
void waitUntilWatching(Recorder& recorder, const fs::path& dir) {
  for (int i = 0; i < 100; ++i) {
    std::ofstream(dir / ("probe" + std::to_string(i))).put('x');
    if (recorder.waitForLines(1, 300ms)) return;
  }
}

class RecordCli : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam() && geteuid() != 0) GTEST_SKIP() << "fanotify needs root";
    fs::create_directory(watched);
    std::ofstream(tmp.file("config.ini")) << "";  // defaults: every kind, no filters
  }
  std::vector<std::string> args(std::vector<std::string> more) {
    std::vector<std::string> all = {"--config", tmp.file("config.ini"), "--drive", watched.string()};
    if (GetParam()) all.push_back("--inotify");
    all.insert(all.end(), more.begin(), more.end());
    return all;
  }
  tw::test::TempDir tmp;
  fs::path watched = tmp.path() / "watched";
};

TEST_P(RecordCli, RecordsChangesUntilInterruptedAndWritesTheReport) {
  Recorder recorder(tmp, args({"--export", tmp.file("report.txt")}));
  waitUntilWatching(recorder, watched);
  const std::size_t before = recorder.output().size();
  ASSERT_GT(before, 0u) << recorder.errors();

  // One change at a time, each seen before the next, as a person makes them: a folder made and
  // removed again before the recorder has read of it cannot be told apart by inotify.
  std::ofstream(watched / "a.txt") << "hello";
  ASSERT_TRUE(recorder.waitForLines(before + 2)) << recorder.errors();  // create, update
  fs::create_directory(watched / "dir");
  ASSERT_TRUE(recorder.waitForLines(before + 3)) << recorder.errors();
  fs::rename(watched / "a.txt", watched / "dir" / "b.txt");
  ASSERT_TRUE(recorder.waitForLines(before + 4)) << recorder.errors();
  fs::remove_all(watched / "dir");
  ASSERT_TRUE(recorder.waitForLines(before + 6)) << recorder.errors();  // the file, then the folder
  EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.errors();

  const Lines out = recorder.output();
  const Lines events(out.begin() + static_cast<long>(before), out.end());
  const std::string dir = watched.string() + "/";
  const auto has = [&](const std::string& line) {
    return std::find(events.begin(), events.end(), line) != events.end();
  };
  EXPECT_TRUE(has("a.txt\t-\tCreate\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has("dir\t-\tNew Directory\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has("a.txt\tb.txt\tRename File\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has("dir\t-\tDelete Directory\t" + dir)) << testing::PrintToString(events);
  const std::string report = readFile(tmp.file("report.txt"));
  EXPECT_TRUE(report.starts_with("Generated by Tarnwatch v1.0 - ")) << report;
  EXPECT_NE(report.find("a.txt -> b.txt"), std::string::npos) << report;
}

TEST_P(RecordCli, DurationEndsTheRecordingAndSigtermToo) {
  Recorder timed(tmp, args({"--duration", "0.5", "--format", "jsonl"}));
  EXPECT_EQ(timed.stop(0), 0) << timed.errors();

  Recorder stopped(tmp, args({}));
  waitUntilWatching(stopped, watched);
  EXPECT_EQ(stopped.stop(SIGTERM), 0) << stopped.errors();
}

// fanotify says which process made a change; inotify does not, and then the keys are absent. A
// process that has already ended when its event is handled keeps its "pid" but has no "process".
TEST_P(RecordCli, JsonlNamesTheProcessWhereTheKernelSays) {
  Recorder recorder(tmp, args({"--format", "jsonl"}));
  waitUntilWatching(recorder, watched);
  const std::size_t before = recorder.output().size();
  std::ofstream(watched / "mine.txt") << "x";  // made by this test, which stays alive
  pid_t child = -1;
  char program[] = "touch";
  std::string path = (watched / "touched.txt").string();
  char* argv[] = {program, path.data(), nullptr};
  ASSERT_EQ(posix_spawnp(&child, "touch", nullptr, nullptr, argv, environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(recorder.waitForLines(before + 3)) << recorder.errors();  // two creates, one update
  EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.errors();

  const auto createOf = [&](const std::string& name) {
    for (const auto& line : recorder.output())
      if (line.find("\"event\":2,") != std::string::npos && line.find(name) != std::string::npos) return line;
    return std::string();
  };
  const std::string mine = createOf("mine.txt");
  const std::string touched = createOf("touched.txt");
  ASSERT_FALSE(mine.empty()) << testing::PrintToString(recorder.output());
  ASSERT_FALSE(touched.empty()) << testing::PrintToString(recorder.output());
  if (GetParam()) {
    EXPECT_EQ(mine.find("\"pid\""), std::string::npos) << mine;
    EXPECT_EQ(touched.find("\"pid\""), std::string::npos) << touched;
  } else {
    std::string self = readFile("/proc/self/comm");
    while (!self.empty() && self.back() == '\n') self.pop_back();
    EXPECT_TRUE(mine.ends_with(",\"pid\":" + std::to_string(getpid()) + ",\"process\":\"" + self + "\"}"))
        << mine;
    EXPECT_NE(touched.find(",\"pid\":" + std::to_string(child)), std::string::npos) << touched;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordCli, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "inotify" : "fanotify"; });

TEST(RecordCliArgs, BadArgumentsExitTwoAndRuntimeFailuresOne) {
  tw::test::TempDir tmp;
  Recorder bad(tmp, {"--format", "xml"});
  EXPECT_EQ(bad.stop(0), 2);
  EXPECT_NE(bad.errors().find("Usage: tarnwatch-record"), std::string::npos) << bad.errors();

  Recorder help(tmp, {"--help"});
  EXPECT_EQ(help.stop(0), 0);
  EXPECT_FALSE(help.output().empty());

  Recorder missing(tmp, {"--drive", tmp.file("nowhere"), "--duration", "1"});
  EXPECT_EQ(missing.stop(0), 1);
  EXPECT_NE(missing.errors().find("no such folder"), std::string::npos) << missing.errors();
}

// A settings file named with --config must be readable: a typing error, a folder or a FIFO is
// an error with the reason, not a recording of everything. Without --config a missing
// config.ini beside the program still gives the defaults.
TEST(RecordCliArgs, ConfigThatCannotBeReadIsAnError) {
  tw::test::TempDir tmp;
  const std::string events = tmp.write("events.jsonl", "{\"event\":2,\"item1\":\"/a.txt\"}\n");
  const std::string fifo = tmp.file("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(tmp.file("folder.ini"));
  const std::string locked = tmp.write("locked.ini", "[GLOBAL]\r\nTRAY=Y\r\n");
  chmod(locked.c_str(), 0);
  struct Case {
    std::string config, reason;
  };
  std::vector<Case> cases = {{tmp.file("missing.ini"), "no such file"},
                             {tmp.file("folder.ini"), "it is a folder"},
                             {fifo, "it is a FIFO, not a file"}};
  if (access(locked.c_str(), R_OK) != 0)
    cases.push_back({locked, "it cannot be read (no permission, or a read error)"});  // not as root
  for (const Case& c : cases) {
    Recorder run(tmp, {"--config", c.config, "--replay", events});
    EXPECT_EQ(run.stop(0), 1) << c.config;
    EXPECT_EQ(run.errors(),
              "tarnwatch-record: cannot read the settings file " + c.config + ": " + c.reason + "\n");
    EXPECT_TRUE(run.output().empty()) << "nothing replayed";
  }
  const std::string readable = tmp.write("config.ini", "[GLOBAL]\r\nTRAY=Y\r\n");
  Recorder fine(tmp, {"--config", readable, "--replay", events});
  EXPECT_EQ(fine.stop(0), 0) << fine.errors();
  EXPECT_EQ(fine.output(), Lines{"a.txt\t-\tCreate\t/"});
  Recorder unnamed(tmp, {"--replay", events});
  EXPECT_EQ(unnamed.stop(0), 0) << unnamed.errors();
}

}  // namespace
