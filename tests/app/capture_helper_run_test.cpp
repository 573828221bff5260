// The capture helper's loop over the scripted change watching: what it writes, and every way
// it ends (its input ends, its reader stops reading, the watch fails, nothing can be watched).
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "app/record/capture_helper.h"
#include "platform/fake/fake_change_watching.h"
#include "platform/linux/capture_helper_stream.h"
#include "support/changes.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() {
    if (fds[0] >= 0) ::close(fds[0]);
    fds[0] = -1;
  }
  void closeWrite() {
    if (fds[1] >= 0) ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

// The helper's loop on its own thread, as main() runs it.
class HelperRun {
 public:
  explicit HelperRun(FakeChangeWatching& watching, std::chrono::milliseconds stall = 30s,
                     std::vector<std::string> folders = {"/watched/"}) {
    record::CaptureHelperOptions options;
    options.folders = std::move(folders);
    thread = std::jthread([this, options, &watching, stall] {
      code = record::runCaptureHelper(options, watching, input.fds[0], output.fds[1], err, stall);
      output.closeWrite();
      ended = true;
    });
  }
  ~HelperRun() {
    input.closeWrite();
    output.closeRead();
  }
  // Reads and decodes the output until `done` holds or it ends.
  bool readUntil(linuxfs::HelperStreamDecoder::Decoded& decoded, const std::function<bool()>& done) {
    linuxfs::HelperStreamDecoder decoder;
    char buffer[4096];
    while (!done()) {
      const ssize_t n = ::read(output.fds[0], buffer, sizeof buffer);
      if (n <= 0) return done();
      EXPECT_EQ(decoder.feed(std::string_view(buffer, static_cast<std::size_t>(n)), decoded), "");
    }
    return true;
  }
  bool endsWithin(std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ended && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    return ended;
  }

  Pipe input;
  Pipe output;
  std::ostringstream err;
  std::atomic<int> code{-1};
  std::atomic<bool> ended{false};
  std::jthread thread;
};

TEST(CaptureHelperRun, WritesWhatItWatchesAndEndsWithItsInput) {
  FakeChangeWatching watching;
  HelperRun run(watching);
  ASSERT_TRUE(watching.waitForWatches(1, 20s));
  EXPECT_EQ(watching.requests()[0].roots, (std::vector<std::string>{"/watched/"}));
  ASSERT_TRUE(watching.send(test::change(EventKind::FileCreated, "/watched/a\nb")));
  linuxfs::HelperStreamDecoder::Decoded decoded;
  ASSERT_TRUE(run.readUntil(decoded, [&] { return !decoded.batch.changes.empty(); }));
  EXPECT_TRUE(decoded.ready);
  EXPECT_EQ(decoded.batch.changes[0].path, "/watched/a\nb");
  run.input.closeWrite();
  ASSERT_TRUE(run.endsWithin(20s));
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(watching.waitForNoWatcher(20s));
}

TEST(CaptureHelperRun, AReaderThatStopsReadingEndsIt) {
  FakeChangeWatching watching;
  HelperRun run(watching, 50ms);
  ASSERT_TRUE(watching.waitForWatches(1, 20s));
  // Far more than a pipe holds, never read.
  std::vector<Change> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back(
        test::change(EventKind::FileCreated, "/watched/" + std::string(200, 'x') + std::to_string(i)));
  ASSERT_TRUE(watching.send(std::move(many)));
  ASSERT_TRUE(run.endsWithin(20s));
  EXPECT_EQ(run.code, 0);
}

TEST(CaptureHelperRun, AFailedWatchOrNothingWatchedEndsItWithAnError) {
  {
    FakeChangeWatching watching;
    HelperRun run(watching);
    ASSERT_TRUE(watching.waitForWatches(1, 20s));
    ASSERT_TRUE(watching.failNextWait("the drive went away"));
    ASSERT_TRUE(run.endsWithin(20s));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.str().find("the drive went away"), std::string::npos) << run.err.str();
  }
  {
    FakeChangeWatching watching;
    watching.refusedRoots = {{"/watched/", "no such folder"}};
    HelperRun run(watching);
    ASSERT_TRUE(run.endsWithin(20s));
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.str().find("none of the folders could be watched"), std::string::npos);
    linuxfs::HelperStreamDecoder::Decoded decoded;
    run.readUntil(decoded, [] { return false; });
    EXPECT_TRUE(decoded.ready);
    ASSERT_EQ(decoded.batch.notices.size(), 1u) << "the program is told why";
    EXPECT_EQ(decoded.batch.notices[0].message, "no such folder");
  }
}

}  // namespace
}  // namespace tw
