// tarnwatch-record as the capture helper, run for real: it takes nothing but its own options and
// folders that are what they say, and under pkexec nothing but the helper runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace {

using tw::test::readFile;

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the recorder with `args` and exactly `env`, standard input empty.
RunResult runRecorder(const tw::test::TempDir& tmp, std::vector<std::string> args,
                      std::vector<std::string> env) {
  args.insert(args.begin(), TARNWATCH_RECORD);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string out = tmp.file("out.bin");
  const std::string err = tmp.file("err.txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  RunResult run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = readFile(out);
  run.err = readFile(err);
  return run;
}

struct CaptureHelperCli : ::testing::Test {
  tw::test::TempDir tmp;
  tw::test::TempDir watched;
  std::string folder() const { return watched.path().string(); }
};

TEST_F(CaptureHelperCli, RefusesAnythingButItsOwnOptionsAndTrueFolders) {
  const std::string file = watched.write("file.txt", "x");
  const std::string link = watched.file("link");
  std::filesystem::create_directory(watched.file("sub"));
  std::filesystem::create_directory_symlink(watched.file("sub"), link);
  std::vector<std::string> manyFolders{"--capture-helper"};
  for (int i = 0; i < 65; ++i) {
    manyFolders.push_back("--drive");
    manyFolders.push_back(folder());
  }
  std::vector<std::string> tooManyArgs{"--capture-helper"};
  for (int i = 0; i < 200; ++i) tooManyArgs.push_back("--drive");
  const std::string report = tmp.file("report.txt");

  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"no folder", {"--capture-helper"}, "needs at least one --drive"},
      {"--capture-helper not first", {"--drive", folder(), "--capture-helper"}, "unknown argument"},
      {"twice", {"--capture-helper", "--capture-helper"}, "takes only --drive and --kinds"},
      {"an export",
       {"--capture-helper", "--drive", folder(), "--export", report},
       "takes only --drive and --kinds"},
      {"a settings file", {"--capture-helper", "--config", file, "--drive", folder()}, "takes only"},
      {"a replay", {"--capture-helper", "--replay", file}, "takes only"},
      {"a format", {"--capture-helper", "--drive", folder(), "--format", "tsv"}, "takes only"},
      {"a folder without its value", {"--capture-helper", "--drive"}, "--drive needs a value"},
      {"a relative folder", {"--capture-helper", "--drive", "tmp"}, "is not an absolute path"},
      {"a missing folder", {"--capture-helper", "--drive", folder() + "/missing"}, "cannot be used"},
      {"a file", {"--capture-helper", "--drive", file}, "is not a folder"},
      {"a link", {"--capture-helper", "--drive", link}, "is not the folder's own name"},
      {"a path through ..",
       {"--capture-helper", "--drive", folder() + "/sub/.."},
       "is not the folder's own name"},
      {"a path over 4096 bytes",
       {"--capture-helper", "--drive", "/" + std::string(5000, 'a')},
       "longer than 4096"},
      {"65 folders", manyFolders, "at most 64 folders"},
      {"a huge command line", tooManyArgs, "too many arguments"},
      {"kinds beyond the 19",
       {"--capture-helper", "--drive", folder(), "--kinds", "524288"},
       "--kinds takes"},
      {"negative kinds", {"--capture-helper", "--drive", folder(), "--kinds", "-1"}, "--kinds takes"},
      {"kinds with text", {"--capture-helper", "--drive", folder(), "--kinds", "12x"}, "--kinds takes"},
      {"kinds twice",
       {"--capture-helper", "--drive", folder(), "--kinds", "4", "--kinds", "4"},
       "--kinds takes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult run = runRecorder(tmp, c.args, {});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "") << "a refused helper writes nothing to the program";
    // A message quotes a long argument only in part.
    EXPECT_LT(run.err.size(), 4096u + 200u);
  }
  EXPECT_FALSE(std::filesystem::exists(report));
}

TEST_F(CaptureHelperCli, UnderPkexecOnlyTheHelperRuns) {
  const std::string report = tmp.file("report.txt");
  const std::string recording = watched.write("recording.jsonl", "");
  const std::vector<std::vector<std::string>> otherModes = {
      {"--drive", folder(), "--duration", "0"},
      {"--drive", folder(), "--duration", "0", "--export", report},
      {"--replay", recording},
      {"--help"},
      {"--version"},
  };
  for (const auto& args : otherModes) {
    SCOPED_TRACE(args.front());
    const RunResult run = runRecorder(tmp, args, {"PKEXEC_UID=1000"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("runs only as --capture-helper"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(report));

  // The helper itself runs, says it watches, and ends with its empty standard input.
  const RunResult helper =
      runRecorder(tmp, {"--capture-helper", "--drive", folder() + "/", "--kinds", "4"}, {"PKEXEC_UID=1000"});
  EXPECT_EQ(helper.exitCode, 0) << helper.err;
  ASSERT_FALSE(helper.out.empty());
  EXPECT_EQ(helper.out.front(), 'R');
  EXPECT_NE(helper.out.find(folder() + "/"), std::string::npos);
}

}  // namespace
