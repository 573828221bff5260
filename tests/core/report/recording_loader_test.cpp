// The recording loader: a recording opened in steps while its reading thread reads ahead. Its
// own binary, labelled threaded, so that the ThreadSanitizer run checks the hand-over.
#include "core/report/recording_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/report/jsonl.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/shown_rows.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using test::change;
using namespace std::chrono_literals;

const std::chrono::system_clock::time_point kAt{std::chrono::milliseconds(1796864523456)};  // 2026-12-10

// A recording opened in steps: each step files changes until its time is up (a clock of the
// test's that moves 10 ms per look, looked at every 32 changes; a budget of 15 ms: 64 changes a
// step), the views end as a replay of the file leaves them, the lines that are not events are
// told once, and Cancel keeps what was loaded.
class RecordingLoaderTest : public ::testing::Test {
 protected:
  RecordingLoaderTest() {
    std::string text;
    for (int i = 0; i < kEvents; ++i) {
      if (i == 1) text += "not an event\n";
      if (i == 4500) text += "{\"event\":99}\n";
      Change c = change(EventKind::FileCreated, "/d/" + std::to_string(i) + ".txt");
      c.time = kAt + std::chrono::milliseconds(i);
      changes.push_back(c);
      text += jsonLine(c) + "\n";
    }
    file = dir.write("recording.jsonl", text);
  }
  RecordingLoader::Clock clock() {
    return [this] { return now += 10ms; };
  }

  static constexpr int kEvents = 5000;
  test::TempDir dir;
  std::string file;
  std::vector<Change> changes;
  std::chrono::steady_clock::time_point now;
  FakePlatform platform{PathStyle::Posix};
  CaptureViews views{platform, nullptr, PathStyle::Posix};
};

TEST_F(RecordingLoaderTest, LoadsInStepsOfItsTimeAndTellsTheBadLinesOnce) {
  RecordingLoader loader(views, file, clock());
  EXPECT_EQ(loader.progress(1000), 0);
  ASSERT_TRUE(loader.step(15ms));
  EXPECT_EQ(views.list().rowCount(), 64);
  EXPECT_GT(loader.progress(1000), 0);  // the file is read in blocks: roughly, not exactly
  EXPECT_LT(loader.progress(1000), 1000);
  int steps = 1;
  while (loader.step(15ms)) ++steps;
  EXPECT_EQ(steps + 1, (kEvents + 63) / 64);  // the last one files the rest and says so
  EXPECT_TRUE(loader.isFinished());
  EXPECT_FALSE(loader.step(15ms));
  EXPECT_EQ(loader.progress(1000), 1000);
  EXPECT_EQ(loader.changesLoaded(), static_cast<std::size_t>(kEvents));
  EXPECT_EQ(loader.badLines(), 2U);

  CaptureViews replayed(platform, nullptr, PathStyle::Posix);
  for (const Change& c : changes) replayed.add(c);
  EXPECT_EQ(test::shownRows(views), test::shownRows(replayed));
  EXPECT_EQ(loader.summary(),
            "5,000 changes were loaded.\n2 lines were not events and were skipped (the first: " +
                loader.firstBadLine() + ").");
  EXPECT_EQ(loader.firstBadLine().rfind("line 2: ", 0), 0U) << loader.firstBadLine();
}

// What the benchmarks print of a load: its steps, its reads of the file (2,000 lines each), and
// time spent reading, filing and announcing, each counted where it happened.
TEST_F(RecordingLoaderTest, CountsWhereItsTimeWent) {
  RecordingLoader loader(views, file, clock());
  loader.setAnnounceInterval(100ms);
  std::size_t steps = 0;
  do {
    ++steps;
    EXPECT_EQ(loader.times().steps, steps - 1);
  } while (loader.step(15ms));
  const RecordingLoader::Times& times = loader.times();
  EXPECT_EQ(times.steps, steps);
  // 5,002 lines: two full reads and one that meets the end.
  EXPECT_EQ(times.reads, 3U);
  EXPECT_GT(times.reading.count(), 0);
  EXPECT_GT(times.filing.count(), 0);
  EXPECT_GT(times.announcing.count(), 0);
  EXPECT_GT(loader.announcements(), 1U);
  // A step after the end counts nothing.
  EXPECT_FALSE(loader.step(15ms));
  EXPECT_EQ(loader.times().steps, steps);
}

TEST_F(RecordingLoaderTest, CancelEndsTheLoadAndKeepsWhatWasLoaded) {
  RecordingLoader loader(views, file, clock());
  ASSERT_TRUE(loader.step(5ms));  // the budget is over at the first look, after 32 changes
  EXPECT_EQ(views.list().rowCount(), 32);
  loader.cancel();
  EXPECT_TRUE(loader.wasCancelled());
  EXPECT_FALSE(loader.step(15ms));
  EXPECT_EQ(views.list().rowCount(), 32);
  EXPECT_LT(loader.progress(1000), 1000);
  EXPECT_EQ(loader.summary(),
            "Opening was cancelled: 32 changes were loaded.\n1 lines were not events and were skipped (the "
            "first: " +
                loader.firstBadLine() + ").");
}

// With an announce interval (a clock of the test's that moves 10 ms per look: three looks a
// step of 15 ms, a step's start, its look after 32 and after 64 changes, and the look at the
// interval) the views hear of the filed rows once the interval is over, not at every step; what
// was filed and not announced reaches them when the load ends, is cancelled or is dropped.
TEST_F(RecordingLoaderTest, AnnouncesOncePerIntervalAndWhateverIsLeftAtTheEnd) {
  enum class Ending { Finished, Cancelled, Dropped };
  for (const Ending ending : {Ending::Finished, Ending::Cancelled, Ending::Dropped}) {
    SCOPED_TRACE(static_cast<int>(ending));
    CaptureViews loaded{platform, nullptr, PathStyle::Posix};
    std::size_t filed = 0;
    {
      RecordingLoader loader(loaded, file, clock());
      loader.setAnnounceInterval(100ms);
      // Steps one and two end 40 and 80 ms after the start: nothing is told yet.
      for (int step = 1; step <= 2; ++step) {
        ASSERT_TRUE(loader.step(15ms));
        EXPECT_EQ(loader.changesLoaded(), static_cast<std::size_t>(64 * step));
        EXPECT_EQ(loaded.list().rowCount(), 0);
        EXPECT_EQ(loaded.tree().childCount(kNoNode), 0);
      }
      ASSERT_TRUE(loader.step(15ms));  // 120 ms after the start: all 192 are told at once
      EXPECT_EQ(loader.announcements(), 1U);
      EXPECT_EQ(loaded.list().rowCount(), 192);
      ASSERT_TRUE(loader.step(15ms));
      EXPECT_EQ(loaded.list().rowCount(), 192);
      filed = loader.changesLoaded();
      switch (ending) {
        case Ending::Finished:
          while (loader.step(15ms)) {
          }
          filed = loader.changesLoaded();
          EXPECT_EQ(filed, static_cast<std::size_t>(kEvents));
          // One per 100 ms of a clock that moves 30 ms a step, and the last.
          EXPECT_LT(loader.announcements(), static_cast<std::size_t>(kEvents / 64 / 3 + 2));
          break;
        case Ending::Cancelled:
          loader.cancel();
          break;
        case Ending::Dropped:
          break;
      }
    }
    EXPECT_EQ(loaded.list().rowCount(), static_cast<int>(filed));
    CaptureViews replayed(platform, nullptr, PathStyle::Posix);
    for (std::size_t i = 0; i < filed; ++i) replayed.add(changes[i]);
    EXPECT_EQ(test::shownRows(loaded), test::shownRows(replayed));
  }
}

// While a load runs its changes are history for the folder icons (kept for the whole load, not
// noted), and no longer once it has ended, however it ended.
TEST_F(RecordingLoaderTest, TheChangesAreHistoryForTheWholeLoadOnly) {
  CaptureViews withIcons{platform, &platform, PathStyle::Posix};
  EXPECT_EQ(withIcons.filedChangesAreHistory(), false);
  {
    RecordingLoader finished(withIcons, file, clock());
    EXPECT_EQ(withIcons.filedChangesAreHistory(), true);
    while (finished.step(50ms)) {
    }
    EXPECT_EQ(withIcons.filedChangesAreHistory(), false);
  }
  {
    RecordingLoader cancelled(withIcons, file, clock());
    ASSERT_TRUE(cancelled.step(5ms));
    EXPECT_EQ(withIcons.filedChangesAreHistory(), true);
    cancelled.cancel();
    EXPECT_EQ(withIcons.filedChangesAreHistory(), false);
  }
  {
    RecordingLoader dropped(withIcons, file, clock());
    ASSERT_TRUE(dropped.step(5ms));
  }
  EXPECT_EQ(withIcons.filedChangesAreHistory(), false);
  // The headless recorder's views ask no icon.
  EXPECT_EQ(views.filedChangesAreHistory(), std::nullopt);
}

// The changes of an opened recording are history: a folder deleted in it is not asked of this
// disk again for the rows that follow, as it is for a change that happens once the load ended.
TEST_F(RecordingLoaderTest, OpenedChangesDoNotMakeFolderIconsBeAskedAgain) {
  struct CountingDisk : FakePlatform {
    CountingDisk() : FakePlatform(PathStyle::Posix) { objectIcons = {{"/d/", 5}}; }
    int pathIcon(std::string_view path) override {
      if (path == "/d/") ++askedForD;
      return FakePlatform::pathIcon(path);
    }
    int askedForD = 0;
  } disk;
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += jsonLine(i == 100 ? change(EventKind::FolderDeleted, "/d")
                              : change(EventKind::FileCreated, "/d/" + std::to_string(i))) +
            "\n";
  }
  const std::string opened = dir.write("deletes.jsonl", text);
  CaptureViews withIcons{disk, &disk, PathStyle::Posix};
  const auto live = [&](const Change& c) {
    withIcons.beginBatch();
    withIcons.add(c);
    withIcons.endBatch();
  };
  const auto lastRowFolderIcon = [&] { return withIcons.list().folderIcon(withIcons.list().rowCount() - 1); };
  live(change(EventKind::FileCreated, "/d/before"));
  EXPECT_EQ(lastRowFolderIcon(), 5);
  EXPECT_EQ(disk.askedForD, 1);
  {
    RecordingLoader loader(withIcons, opened, clock());
    while (loader.step(15ms)) {
    }
  }
  EXPECT_EQ(withIcons.list().rowCount(), 301);
  EXPECT_EQ(lastRowFolderIcon(), 5);
  EXPECT_EQ(disk.askedForD, 1);  // the deletion in the recording was not noted
  live(change(EventKind::FileCreated, "/d/x"));
  EXPECT_EQ(lastRowFolderIcon(), 5);
  EXPECT_EQ(disk.askedForD, 1);
  live(change(EventKind::FolderDeleted, "/d"));
  live(change(EventKind::FileCreated, "/d/y"));
  EXPECT_EQ(lastRowFolderIcon(), 5);
  EXPECT_EQ(disk.askedForD, 2);
}

// Files whose blocks hold few or no changes: the filing goes on to the reader's last block
// however many blocks hold nothing, and ends (no step waits for ever) with the lines counted.
TEST(RecordingLoaderBlocks, BlocksWithoutChangesAreSkippedToTheEnd) {
  const std::string event = "{\"event\":2,\"item1\":\"/d/a.txt\"}";
  std::string manyBad;
  for (std::size_t i = 0; i < 3 * RecordingLoader::kLinesPerRead + 5; ++i) manyBad += "not an event\n";
  const struct {
    const char* name;
    std::string text;
    std::size_t changes;
    std::size_t badLines;
  } cases[] = {
      {"empty", "", 0, 0},
      {"blank lines only", "\n\n \r\n", 0, 0},
      {"bad lines over several blocks", manyBad, 0, 3 * RecordingLoader::kLinesPerRead + 5},
      {"bad lines over several blocks, then an event", manyBad + event + "\n", 1,
       3 * RecordingLoader::kLinesPerRead + 5},
      {"an event without a line end", event, 1, 0},
  };
  test::TempDir dir;
  FakePlatform platform{PathStyle::Posix};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureViews views{platform, nullptr, PathStyle::Posix};
    RecordingLoader loader(views, dir.write("blocks.jsonl", c.text));
    int steps = 0;
    while (loader.step(1000ms)) ASSERT_LT(++steps, 100);
    EXPECT_TRUE(loader.isFinished());
    EXPECT_TRUE(loader.error().empty()) << loader.error();
    EXPECT_EQ(loader.changesLoaded(), c.changes);
    EXPECT_EQ(views.list().rowCount(), static_cast<int>(c.changes));
    EXPECT_EQ(loader.badLines(), c.badLines);
    EXPECT_EQ(loader.progress(1000), 1000);
  }
}

// Loaders dropped or cancelled at every point of a load that the reader is far ahead of: the
// reading thread is stopped and joined whatever it is doing, and nothing more is filed.
TEST(RecordingLoaderBlocks, StoppingWhileTheReaderIsAheadKeepsWhatWasFiled) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "{\"event\":2,\"item1\":\"/d/" + std::to_string(i) + ".txt\"}\n";
  test::TempDir dir;
  const std::string file = dir.write("long.jsonl", text);
  FakePlatform platform{PathStyle::Posix};
  for (int steps = 0; steps < 4; ++steps) {
    SCOPED_TRACE(steps);
    CaptureViews cancelled{platform, nullptr, PathStyle::Posix};
    CaptureViews dropped{platform, nullptr, PathStyle::Posix};
    std::size_t filed = 0;
    {
      RecordingLoader loader(cancelled, file);
      RecordingLoader other(dropped, file);
      // A step of no time files one look's worth of changes.
      for (int i = 0; i < steps; ++i) {
        ASSERT_TRUE(loader.step(0ms));
        ASSERT_TRUE(other.step(0ms));
      }
      filed = loader.changesLoaded();
      EXPECT_EQ(filed, steps * RecordingLoader::kChangesPerLook);
      EXPECT_EQ(other.changesLoaded(), filed);
      loader.cancel();
      EXPECT_FALSE(loader.step(1000ms));
      EXPECT_EQ(loader.changesLoaded(), filed);
    }
    EXPECT_EQ(cancelled.list().rowCount(), static_cast<int>(filed));
    EXPECT_EQ(dropped.list().rowCount(), static_cast<int>(filed));
  }
}

}  // namespace
}  // namespace tw
