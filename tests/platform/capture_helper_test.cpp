// The capture helper from the desktop program's side: the stream the two ends speak, and the
// watcher that starts the real tarnwatch-record --capture-helper through a stand-in for the
// elevating command (a script), reads its changes, falls back when the stand-in refuses, and
// reports a helper that dies. No Qt: the ThreadSanitizer run takes these.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/fake/fake_change_watching.h"
#include "platform/linux/capture_helper_stream.h"
#include "platform/linux/helper_change_watching.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using tw::Change;
using tw::ChangeBatch;
using tw::EventKind;
using tw::linuxfs::HelperStreamDecoder;

Change changeWith(EventKind kind, bool folder, std::string path, std::string newPath, std::int32_t pid,
                  std::string process) {
  Change c;
  c.kind = kind;
  c.folder = folder;
  c.path = std::move(path);
  c.newPath = std::move(newPath);
  c.pid = pid;
  c.process = std::move(process);
  c.time = std::chrono::system_clock::time_point(std::chrono::nanoseconds(1'765'000'000'123'456'789LL));
  return c;
}

// ---- The stream ----

TEST(CaptureHelperStream, EveryRecordComesBackWholeHoweverThePipeCutsIt) {
  ChangeBatch sent;
  sent.changes = {
      changeWith(EventKind::FileCreated, false, "/tmp/a.txt", "", 42, "touch"),
      // A name with a line feed, one with bytes that are not UTF-8, and an empty name field.
      changeWith(EventKind::FolderRenamed, true, "/tmp/old\nname", "/tmp/new\r\nname", 0, ""),
      changeWith(EventKind::FileDeleted, false, std::string("/tmp/\xff\xfe\0z", 9), "", -1, "a\nb"),
      changeWith(EventKind::FolderNeedsRescan, true, "/", "", 2147483647, ""),
  };
  sent.notices = {{"/tmp/", "Cannot watch /tmp/x: no such folder"}, {"", "line\nbreak"}};
  std::string bytes;
  tw::linuxfs::encodeHelperRoots('R', {"/tmp/", "/home/\nu/"}, bytes);
  tw::linuxfs::encodeHelperBatch(sent, bytes);

  for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, bytes.size()}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    HelperStreamDecoder decoder;
    HelperStreamDecoder::Decoded decoded;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
      ASSERT_EQ(decoder.feed(std::string_view(bytes).substr(at, piece), decoded), "");
    EXPECT_TRUE(decoded.ready);
    ASSERT_TRUE(decoded.roots.has_value());
    EXPECT_EQ(*decoded.roots, (std::vector<std::string>{"/tmp/", "/home/\nu/"}));
    EXPECT_EQ(decoded.batch.changes, sent.changes);
    EXPECT_EQ(decoded.batch.notices, sent.notices);
    EXPECT_EQ(decoder.pending(), 0u);
  }
}

TEST(CaptureHelperStream, ABrokenStreamIsAnErrorAndStaysOne) {
  const auto frame = [](char type, std::string payload) {
    std::string out(1, type);
    const auto n = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    return out + payload;
  };
  std::string goodChange;
  {
    ChangeBatch one;
    one.changes = {changeWith(EventKind::FileCreated, false, "/a", "", 1, "p")};
    tw::linuxfs::encodeHelperBatch(one, goodChange);
  }
  std::string unknownKind = goodChange;
  unknownKind[5] = 19;  // one past the last event number
  std::string extraByte = goodChange;
  extraByte[1] = static_cast<char>(extraByte[1] + 1);
  extraByte.push_back('x');
  struct Case {
    const char* name;
    std::string bytes;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"unknown type", frame('Z', ""), "unknown type"},
      {"a length over the limit", std::string("C\xff\xff\xff\x7f", 5), "bytes"},
      {"a change cut short", frame('C', std::string(10, '\0')), "change record"},
      {"an event number of no kind", unknownKind, "change record"},
      {"a change with bytes left over", extraByte, "change record"},
      {"a notice whose string runs past its frame", frame('N', std::string("\x09\0\0\0ab", 6)), "notice"},
      {"a list claiming more roots than it holds", frame('W', std::string("\xff\xff\xff\xff", 4)), "list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HelperStreamDecoder decoder;
    HelperStreamDecoder::Decoded decoded;
    const std::string error = decoder.feed(c.bytes, decoded);
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_TRUE(decoded.batch.changes.empty());
    // Nothing after a broken frame is trusted.
    EXPECT_EQ(decoder.feed(goodChange, decoded), error);
    EXPECT_TRUE(decoded.batch.changes.empty());
  }
}

TEST(CaptureHelperStream, TheCommandLineCarriesTheRootsAndKinds) {
  tw::WatchRequest request;
  request.roots = {"/", "/media/usb stick/"};
  request.kinds.reset();
  request.kinds.set(2).set(18);
  EXPECT_EQ(tw::linuxfs::captureHelperArgs(request),
            (std::vector<std::string>{"--capture-helper", "--drive", "/", "--drive", "/media/usb stick/",
                                      "--kinds", std::to_string((1 << 2) | (1 << 18))}));
}

// ---- The watcher with the real helper ----

// Writes an executable shell script.
std::string script(const tw::test::TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir.write(name, "#!/bin/sh\n" + body + "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

// Waits on a watcher on the test thread, with a guard that wakes it after a generous time so
// that a fault fails the test instead of hanging it.
class Waiting {
 public:
  explicit Waiting(tw::ChangeWatcher& watcher) : watcher(watcher) {
    guard = std::jthread([this](std::stop_token stop) {
      std::unique_lock held(lock);
      done.wait_for(held, stop, 20s, [] { return false; });
      if (!stop.stop_requested()) this->watcher.wake();
    });
  }
  ~Waiting() {
    guard.request_stop();
    guard.join();
  }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;

  // Waits until `found` holds for what came so far; false when the guard ran out or a wait
  // returned nothing (woken).
  bool until(const std::function<bool()>& found) {
    while (!found()) {
      ChangeBatch batch;
      watcher.wait(batch);
      if (batch.empty()) return false;
      for (Change& c : batch.changes) changes.push_back(std::move(c));
      for (tw::WatchNotice& n : batch.notices) notices.push_back(std::move(n.message));
    }
    return true;
  }
  bool noticeSays(const std::string& text) const {
    for (const auto& n : notices)
      if (n.find(text) != std::string::npos) return true;
    return false;
  }
  bool hasChange(EventKind kind, const std::string& path) const {
    for (const auto& c : changes)
      if (c.kind == kind && c.path == path) return true;
    return false;
  }

  std::vector<Change> changes;
  std::vector<std::string> notices;

 private:
  tw::ChangeWatcher& watcher;
  std::mutex lock;
  std::condition_variable_any done;
  std::jthread guard;
};

constexpr const char* kStarted = "Whole-drive capture runs in the capture helper.";

struct HelperFixture : ::testing::Test {
  tw::test::TempDir scripts;
  tw::test::TempDir watched;
  tw::FakeChangeWatching fallback;

  tw::WatchRequest request() const {
    tw::WatchRequest r;
    r.roots = {watched.path().string() + "/"};
    return r;
  }
  std::unique_ptr<tw::ChangeWatcher> watchThrough(const std::string& elevate) {
    tw::HelperChangeWatching watching({TARNWATCH_RECORD, elevate}, fallback);
    return watching.watch(request());
  }
};

TEST_F(HelperFixture, ChangesComeThroughTheHelperAndItEndsWithTheWatcher) {
  auto watcher = watchThrough(script(scripts, "elevate", "exec \"$@\""));
  const int pid = tw::captureHelperPid(*watcher);
  ASSERT_GT(pid, 0);
  {
    Waiting waiting(*watcher);
    ASSERT_TRUE(waiting.until([&] { return waiting.noticeSays(kStarted); }));
    const std::string name = watched.file("two\nlines");
    std::ofstream(name) << "x";
    ASSERT_TRUE(waiting.until([&] { return waiting.hasChange(EventKind::FileCreated, name); }));
  }
  EXPECT_EQ(watcher->watchedRoots(), request().roots);
  EXPECT_EQ(fallback.requests().size(), 0u);
  watcher.reset();
  // Reaped: the process is gone, not a zombie.
  EXPECT_EQ(::kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST_F(HelperFixture, ARefusedOrMissingElevationSaysSoOnceAndFallsBack) {
  struct Case {
    const char* name;
    std::string elevate;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"cancelled (126)", script(scripts, "cancel", "exit 126"), "not authorised"},
      {"not authorised (127)", script(scripts, "refuse", "echo 'Not authorized' >&2; exit 127"),
       "not authorised"},
      {"no pkexec", scripts.file("no-such-pkexec"), "needs polkit"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    auto watcher = watchThrough(c.elevate);
    Waiting waiting(*watcher);
    ASSERT_TRUE(waiting.until([&] { return !waiting.notices.empty(); }));
    ASSERT_EQ(waiting.notices.size(), 1u);
    EXPECT_NE(waiting.notices[0].find(c.says), std::string::npos) << waiting.notices[0];
    EXPECT_NE(waiting.notices[0].find("inotify"), std::string::npos) << waiting.notices[0];
    // The recording goes on with the fallback, for the same roots and kinds.
    ASSERT_EQ(fallback.requests().size(), i + 1);
    EXPECT_EQ(fallback.requests().back().roots, request().roots);
    const std::string path = watched.file("after fallback");
    fallback.send(tw::Change{EventKind::FileCreated, false, path, {}, 0, {}, {}});
    ASSERT_TRUE(waiting.until([&] { return waiting.hasChange(EventKind::FileCreated, path); }));
    EXPECT_EQ(watcher->watchedRoots(), request().roots);
    EXPECT_EQ(waiting.notices.size(), 1u);
  }
}

TEST_F(HelperFixture, AHelperThatDiesFailsTheWatchWithItsStatusAndLastWords) {
  struct Case {
    const char* name;
    std::string elevate;
    bool killAfterStart;
    std::vector<const char*> says;
  };
  const std::string pidFile = scripts.file("pid");
  const std::vector<Case> cases = {
      {"killed while recording",
       script(scripts, "record-pid", "echo $$ > '" + pidFile + "'; exec \"$@\""),
       true,
       {"killed by signal 9"}},
      {"exits at once with a message",
       script(scripts, "crash", "echo first >&2; echo 'out of memory' >&2; exit 1"),
       false,
       {"exit status 1", ": out of memory"}},
      {"exit 127 after the helper said it watches",
       script(scripts, "late-127", "printf 'R\\004\\000\\000\\000\\000\\000\\000\\000'; exit 127"),
       false,
       {"exit status 127"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto watcher = watchThrough(c.elevate);
    Waiting waiting(*watcher);
    std::string failure;
    try {
      if (c.killAfterStart) {
        ASSERT_TRUE(waiting.until([&] { return waiting.noticeSays(kStarted); }));
        const int pid = std::stoi(tw::test::readFile(pidFile));
        ASSERT_EQ(pid, tw::captureHelperPid(*watcher));
        ::kill(pid, SIGKILL);
      }
      waiting.until([] { return false; });
    } catch (const std::runtime_error& e) {
      failure = e.what();
    }
    for (const char* text : c.says) EXPECT_NE(failure.find(text), std::string::npos) << failure;
    EXPECT_EQ(fallback.requests().size(), 0u) << "a helper that died is not replaced in silence";
    // Every later wait fails the same way.
    ChangeBatch batch;
    EXPECT_THROW(watcher->wait(batch), std::runtime_error);
  }
}

}  // namespace
