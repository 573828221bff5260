#include "core/report/change_export.h"

#include <gtest/gtest.h>

#include "core/model/capture_views.h"
#include "core/report/jsonl.h"
#include "core/report/recording_file.h"
#include "core/report/recording_loader.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using test::change;
using namespace std::chrono_literals;

const std::chrono::system_clock::time_point kAt{std::chrono::milliseconds(1796864523456)};  // 2026-12-10

TEST(CsvExport, QuotesCommasQuotesAndLineBreaksInNames) {
  struct Case {
    std::string field;
    std::string written;
  } cases[] = {
      {"plain.txt", "plain.txt"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"line\nbreak", "\"line\nbreak\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"caf\xC3\xA9", "caf\xC3\xA9"},  // UTF-8 as it is
  };
  for (const Case& c : cases) {
    std::string out;
    appendCsvField(out, c.field);
    EXPECT_EQ(out, c.written) << c.field;
  }
}

TEST(CsvExport, WritesTheHeaderAndOneRowPerChangeOrOnlyTheChosenRows) {
  FakePlatform platform(PathStyle::Posix);
  CaptureList list(platform, nullptr, PathStyle::Posix);
  Change renamed = change(EventKind::FileRenamed, "/d/a,b.txt", "/d/\"q\".txt");
  renamed.time = kAt;
  renamed.pid = 4242;
  renamed.process = "mv";
  list.add(renamed);
  Change created = change(EventKind::FileCreated, "/d/two\nlines");
  created.time = kAt + 1s;
  list.add(created);
  EXPECT_EQ(listRowsExport(list, ExportFormat::Csv),
            "time,action,path,new path,process,pid\r\n"
            "2026-12-10T01:02:03.456Z,Rename File,\"/d/a,b.txt\",\"/d/\"\"q\"\".txt\",mv,4242\r\n"
            "2026-12-10T01:02:04.456Z,Create,\"/d/two\nlines\",,,\r\n");
  const std::vector<int> second{1};
  EXPECT_EQ(listRowsExport(list, ExportFormat::Csv, &second),
            "time,action,path,new path,process,pid\r\n"
            "2026-12-10T01:02:04.456Z,Create,\"/d/two\nlines\",,,\r\n");
}

// What the views show, to compare two sets of views.
std::vector<std::string> shownRows(const CaptureViews& views) {
  std::vector<std::string> rows;
  const CaptureList& list = views.list();
  for (int row = 0; row < list.rowCount(); ++row) {
    std::string line;
    for (int column = 0; column < kListColumnCountWithProcess; ++column) {
      line += views.presentation().cellText(list, row, static_cast<ListColumn>(column)) + "|";
    }
    rows.push_back(line);
  }
  const CaptureTree& tree = views.tree();
  tree.forEachNode([&](NodeId node, int level) {
    rows.push_back(std::to_string(level) + ":" + views.presentation().nodeText(tree, node));
  });
  return rows;
}

TEST(JsonlExport, OpeningAnExportGivesTheSameViews) {
  for (const PathStyle style : {PathStyle::Posix, PathStyle::Windows}) {
    FakePlatform platform(style);
    CaptureViews recorded(platform, nullptr, style);
    const bool posix = style == PathStyle::Posix;
    const std::string root = posix ? "/data/" : "C:\\data\\";
    std::vector<Change> changes = {
        change(EventKind::FolderCreated, root + "dir"),
        change(EventKind::FileCreated, root + "dir" + (posix ? "/" : "\\") + "a,\"b\".txt"),
        change(EventKind::FileRenamed, root + "x.txt", root + "y\nz.txt"),
        change(EventKind::FileUpdated, root + "caf\xC3\xA9\xFF"),
        change(EventKind::FileDeleted, root + "x.txt"),
    };
    changes[1].pid = 31;
    changes[1].process = "touch";
    changes[3].pid = 9;
    for (std::size_t i = 0; i < changes.size(); ++i) {
      changes[i].time = kAt + std::chrono::seconds(i);
      recorded.add(changes[i]);
    }
    test::TempDir dir;
    const std::string file = dir.file("export.jsonl");
    ASSERT_TRUE(writeListRows(platform, file, recorded.list(), ExportFormat::Jsonl).ok());

    RecordingFile opened(file);
    std::vector<Change> read;
    while (opened.read(2, read)) {
    }
    EXPECT_EQ(opened.badLines(), 0U);
    EXPECT_EQ(opened.bytesRead(), opened.size());
    EXPECT_EQ(read, changes);
    CaptureViews loaded(platform, nullptr, style);
    for (const Change& c : read) loaded.add(c);
    EXPECT_EQ(shownRows(loaded), shownRows(recorded));
  }
}

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
  EXPECT_EQ(shownRows(views), shownRows(replayed));
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
    EXPECT_EQ(shownRows(loaded), shownRows(replayed));
  }
}

// A folder's icon is asked of the disk once for the whole load: the icon cache keeps its
// answers for the load's length, and keeps them for its own window again after the load,
// however it ended.
TEST_F(RecordingLoaderTest, FolderIconsAreKeptForTheWholeLoadOnly) {
  CaptureViews withIcons{platform, &platform, PathStyle::Posix};
  const std::optional<std::chrono::milliseconds> live = withIcons.folderIconWindow();
  ASSERT_TRUE(live.has_value());
  EXPECT_EQ(*live, FolderIconCache::kDefaultWindow);
  const auto during =
      std::chrono::duration_cast<std::chrono::milliseconds>(RecordingLoader::kFolderIconWindow);
  {
    RecordingLoader finished(withIcons, file, clock());
    EXPECT_EQ(withIcons.folderIconWindow(), during);
    while (finished.step(50ms)) {
    }
    EXPECT_EQ(withIcons.folderIconWindow(), live);
  }
  {
    RecordingLoader cancelled(withIcons, file, clock());
    ASSERT_TRUE(cancelled.step(5ms));
    EXPECT_EQ(withIcons.folderIconWindow(), during);
    cancelled.cancel();
    EXPECT_EQ(withIcons.folderIconWindow(), live);
  }
  {
    RecordingLoader dropped(withIcons, file, clock());
    ASSERT_TRUE(dropped.step(5ms));
  }
  EXPECT_EQ(withIcons.folderIconWindow(), live);
  // The headless recorder's views ask no icon and have no window to change.
  EXPECT_EQ(views.folderIconWindow(), std::nullopt);
}

TEST(RecordingFileTest, CountsLinesThatAreNotEventsAndKeepsTheFirstReason) {
  test::TempDir dir;
  Change c = change(EventKind::FileCreated, "/a");
  c.time = kAt;
  const std::string good = jsonLine(c);
  const std::string file = dir.write("mixed.jsonl", good + "\n" + "not json\n" + "\n" + "{\"event\":99}\r\n" +
                                                        std::string(RecordingFile::kMaxLineBytes + 1, 'x') +
                                                        "\n" + good + "\r\n" + "{\"item1\":\"/b\"}");
  RecordingFile opened(file);
  std::vector<Change> read;
  while (opened.read(1000, read)) {
  }
  EXPECT_EQ(read.size(), 2U);
  EXPECT_EQ(opened.badLines(), 4U);  // the blank line is none
  EXPECT_EQ(opened.firstBadLine().rfind("line 2: ", 0), 0U) << opened.firstBadLine();
}

TEST(RecordingFileTest, AFolderOrAMissingFileIsAReadableError) {
  test::TempDir dir;
  for (const std::string& file : {dir.path().string(), dir.file("missing.jsonl")}) {
    try {
      RecordingFile opened(file);
      ADD_FAILURE() << "opened " << file;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw
