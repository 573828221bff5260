// The tarnwatch-record program, started, driven and stopped for real on a temporary folder:
// its stop path (the signals as a table, a second signal, a deadline, an output that fails or
// does not read), its options, and what it prints.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
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

// Where a run's standard output goes.
struct Output {
  std::string file;                     // a file (when pipeFd is -1)
  int pipeFd = -1;                      // or the write end of a pipe, closed here once spawned
  std::optional<rlim_t> fileSizeLimit;  // the child's RLIMIT_FSIZE
};

// One run of the program, its standard output and error in files (or a pipe).
class Recorder {
 public:
  Recorder(const tw::test::TempDir& tmp, std::vector<std::string> args, Output output = {})
      : out(output.pipeFd < 0 && output.file.empty() ? tmp.file("out.txt") : output.file),
        err(tmp.file("err.txt")) {
    args.insert(args.begin(), TARNWATCH_RECORD);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Opened before the fork, so that the child only duplicates descriptors and sets its limit
    // (calls that are safe between fork and exec).
    const int outFd =
        output.pipeFd >= 0 ? output.pipeFd : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int inFd = open("/dev/null", O_RDONLY);
    pid = fork();
    if (pid == 0) {
      if (output.fileSizeLimit) {
        const rlimit limit{*output.fileSizeLimit, *output.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      dup2(inFd, 0);
      dup2(outFd, 1);
      dup2(errFd, 2);
      execve(TARNWATCH_RECORD, argv.data(), environ);
      _exit(127);
    }
    close(outFd);
    close(errFd);
    close(inFd);
  }
  ~Recorder() {
    if (pid > 0 && running()) {
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
    return waitForExit(timeout);
  }
  // Sends `signal` again and again until the program ends; its exit code, -1 when it did not.
  int stopInsisting(int signal, std::chrono::milliseconds timeout = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (running()) kill(pid, signal);
      waitForExit(200ms);
      if (const auto code = exitCode()) return *code;
    }
    return -1;
  }
  // The exit code once the program has ended (-1 when a signal ended it); none while it runs.
  std::optional<int> exitCode() {
    if (!ended) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) != pid) return std::nullopt;
      ended = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      if (WIFSIGNALED(status)) endedBy = WTERMSIG(status);
    }
    return ended;
  }
  int waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (const auto code = exitCode()) return *code;
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }
  bool running() { return !exitCode().has_value(); }
  Lines output() const { return linesOf(readFile(out)); }
  std::string errors() const { return readFile(err); }
  pid_t pid = -1;
  int endedBy = 0;  // the signal that ended the program, if one did

 private:
  std::string out, err;
  std::optional<int> ended;
};

// Waits until the recorder has set up its watch: it prints nothing until then, so the test
// makes a probe file and waits for its line.
void waitUntilWatching(Recorder& recorder, const fs::path& dir) {
  for (int i = 0; i < 100; ++i) {
    std::ofstream(dir / ("probe" + std::to_string(i))).put('x');
    if (recorder.waitForLines(1, 300ms)) return;
  }
}

bool has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
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

  // The folder is seen before anything is moved into it: a folder made and filled before the
  // recorder has read of it cannot be told apart by inotify. The rest is delivered at the stop.
  std::ofstream(watched / "a.txt") << "hello";
  fs::create_directory(watched / "dir");
  ASSERT_TRUE(recorder.waitForLines(before + 3)) << recorder.errors();  // create, update, folder
  fs::rename(watched / "a.txt", watched / "dir" / "b.txt");
  fs::remove_all(watched / "dir");
  EXPECT_EQ(recorder.stop(SIGINT), 0) << recorder.errors();

  const Lines out = recorder.output();
  const Lines events(out.begin() + static_cast<long>(before), out.end());
  const std::string dir = watched.string() + "/";
  EXPECT_TRUE(has(events, "a.txt\t-\tCreate\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has(events, "dir\t-\tNew Directory\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has(events, "a.txt\tb.txt\tRename File\t" + dir)) << testing::PrintToString(events);
  EXPECT_TRUE(has(events, "dir\t-\tDelete Directory\t" + dir)) << testing::PrintToString(events);
  const std::string report = readFile(tmp.file("report.txt"));
  EXPECT_TRUE(report.starts_with("Generated by Tarnwatch v1.0 - ")) << report;
  EXPECT_NE(report.find("a.txt -> b.txt"), std::string::npos) << report;
}

// Every stop signal stops the recording as the Stop button does: every change made before it
// is printed, and the program exits 0.
TEST_P(RecordCli, EveryStopSignalDeliversEverythingReadBeforeIt) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(strsignal(signal));
    fs::remove_all(watched);
    fs::create_directory(watched);
    Recorder recorder(tmp, args({}));
    waitUntilWatching(recorder, watched);
    for (int i = 0; i < 200; ++i) fs::create_directory(watched / ("d" + std::to_string(i)));
    EXPECT_EQ(recorder.stop(signal), 0) << recorder.errors();
    const Lines out = recorder.output();
    for (int i = 0; i < 200; ++i) {
      ASSERT_TRUE(has(out, "d" + std::to_string(i) + "\t-\tNew Directory\t" + watched.string() + "/"))
          << "d" << i << " of " << out.size() << " lines; " << recorder.errors();
    }
  }
}

// An output nobody reads holds the recorder at its stop; a second signal ends it without the
// rest, says how much was read and not delivered, and exits non-zero.
TEST_P(RecordCli, ASecondSignalEndsAStopThatCannotFinish) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  Recorder recorder(tmp, args({}), Output{{}, ends[1], {}});
  const std::string name(120, 'n');
  for (int i = 0; i < 300; ++i) fs::create_directory(watched / (name + std::to_string(i)));
  // More than a pipe holds (64 KiB): the recorder is stuck writing.
  for (int i = 0; i < 100 && recorder.running(); ++i) {
    for (int k = 0; k < 20; ++k) std::ofstream(watched / ("f" + std::to_string(i * 20 + k) + name)).put('x');
  }
  kill(recorder.pid, SIGINT);
  EXPECT_EQ(recorder.stopInsisting(SIGTERM), 1) << recorder.errors();
  const std::string errors = recorder.errors();
  EXPECT_NE(errors.find("tarnwatch-record: stopped before the end: "), std::string::npos) << errors;
  EXPECT_NE(errors.find(" changes read were not delivered"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("stopped before the end: 0 changes"), std::string::npos) << errors;
  close(ends[0]);
}

TEST_P(RecordCli, TheStopTimeoutEndsAStopThatCannotFinish) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  Recorder recorder(tmp, args({"--stop-timeout", "0.5"}), Output{{}, ends[1], {}});
  const std::string name(120, 'n');
  // Files until the pipe is all but full (the recorder has started, watches and is stuck
  // writing), then more that it reads and cannot deliver.
  int held = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  for (int i = 0; held < 60000 && std::chrono::steady_clock::now() < deadline && recorder.running(); ++i) {
    std::ofstream(watched / ("f" + std::to_string(i) + name)).put('x');
    if (i % 50 == 49) {
      ASSERT_EQ(ioctl(ends[0], FIONREAD, &held), 0);
    }
  }
  ASSERT_GE(held, 60000) << recorder.errors();
  for (int i = 0; i < 2000; ++i) std::ofstream(watched / ("g" + std::to_string(i) + name)).put('x');
  EXPECT_EQ(recorder.stop(SIGTERM), 1) << recorder.errors();
  EXPECT_NE(recorder.errors().find(" changes read were not delivered"), std::string::npos)
      << recorder.errors();
  close(ends[0]);
}

// A write to standard output that fails is an error with a message and exit code 1, not success:
// a pipe whose reader has gone, and a file beyond the file-size limit (as a full disk).
TEST_P(RecordCli, AFailedWriteToStandardOutputEndsWithAnError) {
  {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);  // the reader is gone before anything is written
    Recorder recorder(tmp, args({}), Output{{}, ends[1], {}});
    for (int i = 0; i < 500 && recorder.running(); ++i) {
      std::ofstream(watched / ("p" + std::to_string(i))).put('x');
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(recorder.stop(0), 1) << recorder.errors();
    EXPECT_NE(recorder.errors().find("tarnwatch-record: cannot write to standard output: Broken pipe"),
              std::string::npos)
        << recorder.errors();
  }
  {
    Recorder recorder(tmp, args({}), Output{tmp.file("limited.txt"), -1, 4096});
    for (int i = 0; i < 500 && recorder.running(); ++i) {
      std::ofstream(watched / ("l" + std::to_string(i) + std::string(60, 'x'))).put('x');
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(recorder.stop(0), 1) << recorder.errors();
    EXPECT_NE(recorder.errors().find("tarnwatch-record: cannot write to standard output: File too large"),
              std::string::npos)
        << recorder.errors();
    EXPECT_LE(fs::file_size(tmp.file("limited.txt")), 4096u);
  }
}

TEST_P(RecordCli, AFolderInsideAnotherGivenIsWatchedOnce) {
  fs::create_directories(watched / "inner");
  Recorder recorder(tmp, args({"--drive", (watched / "inner").string(), "--drive", watched.string() + "/"}));
  waitUntilWatching(recorder, watched);
  std::ofstream(watched / "inner" / "once.txt").put('x');
  EXPECT_EQ(recorder.stop(SIGTERM), 0) << recorder.errors();
  const Lines out = recorder.output();
  EXPECT_EQ(std::count(out.begin(), out.end(), "once.txt\t-\tCreate\t" + (watched / "inner").string() + "/"),
            1)
      << testing::PrintToString(out);
}

TEST_P(RecordCli, DurationEndsTheRecordingAndAVeryLongOneDoesNot) {
  Recorder timed(tmp, args({"--duration", "0.5", "--format", "jsonl"}));
  EXPECT_EQ(timed.stop(0), 0) << timed.errors();

  // 1e10 seconds: a limit far beyond any run, not one that ends at once.
  Recorder forever(tmp, args({"--duration", "1e10"}));
  waitUntilWatching(forever, watched);
  EXPECT_FALSE(forever.output().empty());
  EXPECT_TRUE(forever.running());
  EXPECT_EQ(forever.stop(SIGTERM), 0) << forever.errors();
}

// fanotify says which process made a change; inotify does not, and then the keys are absent. A
// process that has already ended when its event is handled keeps its "pid" but has no "process".
// "time" is when the change was read from the system.
TEST_P(RecordCli, JsonlNamesTheProcessWhereTheKernelSaysAndTheTimeOfTheChange) {
  Recorder recorder(tmp, args({"--format", "jsonl"}));
  waitUntilWatching(recorder, watched);
  const std::size_t before = recorder.output().size();
  const auto madeAfter = std::chrono::system_clock::now() - 1s;
  std::ofstream(watched / "mine.txt") << "x";  // made by this test, which stays alive
  pid_t child = -1;
  char program[] = "touch";
  std::string path = (watched / "touched.txt").string();
  char* argv[] = {program, path.data(), nullptr};
  child = fork();
  if (child == 0) {
    execvp(program, argv);
    _exit(127);
  }
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
  // "time":"2026-12-10T01:02:03.456Z", within the test's own run.
  ASSERT_TRUE(mine.starts_with("{\"time\":\"")) << mine;
  const std::string time = mine.substr(9, 24);
  const auto isoOf = [](std::chrono::system_clock::time_point t) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return std::string(text);
  };
  EXPECT_EQ(time.size(), 24u);
  EXPECT_GE(time.substr(0, 19), isoOf(madeAfter)) << time;
  EXPECT_LE(time.substr(0, 19), isoOf(std::chrono::system_clock::now())) << time;
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordCli, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "inotify" : "fanotify"; });

TEST(RecordCliArgs, BadArgumentsExitTwoAndRuntimeFailuresOne) {
  tw::test::TempDir tmp;
  Recorder bad(tmp, {"--format", "xml"});
  EXPECT_EQ(bad.stop(0), 2);
  EXPECT_NE(bad.errors().find("Usage: tarnwatch-record"), std::string::npos) << bad.errors();

  Recorder tooLong(tmp, {"--duration", "1e300"});
  EXPECT_EQ(tooLong.stop(0), 2);
  EXPECT_NE(tooLong.errors().find("--duration takes at most"), std::string::npos) << tooLong.errors();

  Recorder help(tmp, {"--help"});
  EXPECT_EQ(help.stop(0), 0);
  EXPECT_FALSE(help.output().empty());

  // The version is the build's, the one the packages carry.
  Recorder version(tmp, {"--version"});
  EXPECT_EQ(version.stop(0), 0);
  EXPECT_EQ(version.output(), Lines{"tarnwatch-record " TARNWATCH_VERSION});

  Recorder missing(tmp, {"--drive", tmp.file("nowhere"), "--duration", "1"});
  EXPECT_EQ(missing.stop(0), 1);
  EXPECT_NE(missing.errors().find("no such folder"), std::string::npos) << missing.errors();
}

// Under systemd with standard error on the journal (JOURNAL_STREAM names it), every notice line
// carries the warning priority prefix, so that the journal tells it from the jsonl lines; with
// standard error elsewhere nothing changes.
TEST(RecordCliArgs, NoticesOnTheJournalCarryTheWarningPriority) {
  tw::test::TempDir tmp;
  const std::string errFile = tmp.write("err.txt", "");  // reopened by the run: same device and inode
  struct stat st {};
  ASSERT_EQ(stat(errFile.c_str(), &st), 0);
  const std::string journalStream = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  struct Case {
    std::string journalStream;
    std::string expected;
  } cases[] = {
      {journalStream, "<4>tarnwatch-record: cannot watch " + tmp.file("nowhere") + ": no such folder\n"},
      {std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1),
       "tarnwatch-record: cannot watch " + tmp.file("nowhere") + ": no such folder\n"},
  };
  for (const Case& c : cases) {
    setenv("JOURNAL_STREAM", c.journalStream.c_str(), 1);
    Recorder missing(tmp, {"--drive", tmp.file("nowhere"), "--duration", "1"});
    unsetenv("JOURNAL_STREAM");
    EXPECT_EQ(missing.stop(0), 1);
    EXPECT_EQ(missing.errors(), c.expected) << c.journalStream;
  }
}

// A settings file named with --config must be readable: a typing error, a folder or a FIFO is
// an error with the reason, not a recording of everything. Without --config a missing
// config.ini beside the program still gives the defaults.
// A replay of a stream that never ends (a FIFO its writer keeps feeding) is read as it comes and
// ends at a stop signal like a recording, with what was read delivered.
TEST(RecordCliArgs, AReplayOfAnEndlessStreamStopsAtASignal) {
  tw::test::TempDir tmp;
  const std::string fifo = tmp.file("events.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    // Without blocking, so that the test never hangs on a reader that is not there.
    int fd = -1;
    while (writing && (fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0)
      std::this_thread::sleep_for(10ms);
    const std::string line = "{\"event\":2,\"item1\":\"/a.txt\"}\n";
    while (writing) {
      const ssize_t n = write(fd, line.data(), line.size());
      if (n < 0 && errno == EAGAIN)
        std::this_thread::sleep_for(1ms);
      else if (n < 0)
        break;  // the reader is gone
    }
    if (fd >= 0) close(fd);
  });
  Recorder recorder(tmp, {"--replay", fifo, "--path-style", "posix"});
  EXPECT_TRUE(recorder.waitForLines(1000));
  EXPECT_EQ(recorder.stop(SIGTERM, 10s), 0);
  writing = false;
  writer.join();
  std::signal(SIGPIPE, oldPipeHandler);
  for (const std::string& line : linesOf(readFile(tmp.file("out.txt"))))
    EXPECT_EQ(line, "a.txt\t-\tCreate\t/");
}

// A signal during a long export ends it promptly with an error, and the report file the export
// would have replaced stays whole.
TEST(RecordCliArgs, ASignalDuringTheExportEndsItAndLeavesTheOldReport) {
  tw::test::TempDir tmp;
  // Sparse: no disk, but reading it for its digest takes many seconds.
  const std::string big = tmp.file("big.bin");
  {
    const int fd = open(big.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{64} << 30), 0);
    close(fd);
  }
  const std::string events = tmp.write("events.jsonl", "{\"event\":2,\"item1\":\"" + big + "\"}\n");
  const std::string report = tmp.write("report.txt", "the old report\r\n");
  Recorder recorder(tmp, {"--replay", events, "--path-style", "posix", "--export", report});
  ASSERT_TRUE(recorder.waitForLines(1));
  std::this_thread::sleep_for(300ms);  // the replay is over and the export reads the file
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(recorder.stop(SIGINT, 10s), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 5s);
  EXPECT_NE(readFile(tmp.file("err.txt")).find("the export was interrupted"), std::string::npos)
      << readFile(tmp.file("err.txt"));
  EXPECT_EQ(readFile(report), "the old report\r\n");
}

// A report that could not be written is refused before anything is recorded, with the reason;
// what is at its path is left as it is.
TEST(RecordCliArgs, AReportThatCannotBeWrittenIsRefusedBeforeRecording) {
  tw::test::TempDir tmp;
  const std::string events = tmp.write("events.jsonl", "{\"event\":2,\"item1\":\"/a.txt\"}\n");
  const std::string fifo = tmp.file("report.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = tmp.file("link-to-fifo.txt");
  ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
  fs::create_directory(tmp.file("folder"));
  const std::string locked = tmp.file("locked");
  fs::create_directory(locked);
  chmod(locked.c_str(), 0500);
  struct Case {
    std::string report, reason;
  };
  std::vector<Case> cases = {{fifo, "it is not a regular file (a device, a pipe or a socket)"},
                             {link, "it is not a regular file (a device, a pipe or a socket)"},
                             {tmp.file("folder"), "it is a folder"},
                             {tmp.file("missing/report.txt"), "its folder does not exist"}};
  if (access(locked.c_str(), W_OK) != 0)
    cases.push_back({locked + "/report.txt", "its folder cannot be written to"});  // not as root
  for (const Case& c : cases) {
    Recorder run(tmp, {"--replay", events, "--export", c.report});
    EXPECT_EQ(run.stop(0), 1) << c.report;
    EXPECT_EQ(run.errors(), "tarnwatch-record: cannot write the report " + c.report + ": " + c.reason + "\n");
    EXPECT_TRUE(run.output().empty()) << "nothing replayed";
  }
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  for (const auto& e : fs::directory_iterator(tmp.path()))
    EXPECT_FALSE(e.path().filename().string().starts_with(".tarnwatch-")) << e.path();
}

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
