#include "core/report/change_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/model/capture_views.h"
#include "core/report/jsonl.h"
#include "core/report/recording_file.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/shown_rows.h"
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
    EXPECT_EQ(test::shownRows(loaded), test::shownRows(recorded));
  }
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

TEST(RecordingFileTest, AnythingButARegularFileIsAReadableError) {
  test::TempDir dir;
  struct Case {
    std::string file;
    std::string reason;
  };
  std::vector<Case> cases = {{dir.path().string(), "it is a folder"}, {dir.file("missing.jsonl"), ""}};
#ifndef _WIN32
  // A pipe with no writer would block the opening for ever.
  const std::string pipe = dir.file("pipe.jsonl");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  cases.push_back({pipe, "it is not a regular file"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    try {
      RecordingFile opened(c.file);
      ADD_FAILURE() << "opened " << c.file;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tw
