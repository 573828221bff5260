// Finding what was recorded, offscreen: the filter over the list (live during a recording), the
// Process column, opening a recording in the jsonl form, and the CSV and jsonl exports.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QTest>

#include "app/record/replay.h"
#include "core/report/jsonl.h"
#include "gui/main/capture_models.h"
#include "gui/main/main_window.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/fake_dialogs.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using test::change;
using namespace std::chrono_literals;

const std::chrono::system_clock::time_point kAt{std::chrono::milliseconds(1796864523456)};

Change withProcess(Change c, std::int32_t pid, std::string process) {
  c.pid = pid;
  c.process = std::move(process);
  return c;
}

// The cells of every row the model shows, columns joined by '|'.
std::vector<std::string> cells(const QAbstractItemModel& model) {
  std::vector<std::string> rows;
  for (int row = 0; row < model.rowCount(); ++row) {
    std::string line;
    for (int column = 0; column < model.columnCount(); ++column) {
      line += model.index(row, column).data().toString().toStdString() + "|";
    }
    rows.push_back(line);
  }
  return rows;
}

std::vector<std::string> treeLines(const CaptureTreeModel& model) {
  std::vector<std::string> lines;
  for (int row = 0; row < model.rowCount(); ++row) {
    const QModelIndex index = model.index(row);
    lines.push_back(std::to_string(model.level(index)) + ":" + index.data().toString().toStdString());
  }
  return lines;
}

class FilteredListModelTest : public ::testing::Test {
 protected:
  void deliver(const std::vector<Change>& changes) {
    views.beginBatch();
    for (const Change& c : changes) views.add(c);
    views.endBatch();
  }

  FakePlatform platform{PathStyle::Posix};
  CaptureViews views{platform, nullptr, PathStyle::Posix};
  SystemIcons icons{platform};
  CaptureListModel model{views, icons};
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(FilteredListModelTest, RowsArrivingWithAFilterSetShowOnlyWhenTheyMatch) {
  deliver({change(EventKind::FileCreated, "/home/u/a.txt"), change(EventKind::FileCreated, "/tmp/b.txt")});
  model.setFilterText("HOME");
  EXPECT_EQ(cells(model), (std::vector<std::string>{"a.txt|-|Create|/home/u/|"}));
  // A batch with nothing that matches announces nothing; one with matches announces them only.
  deliver({change(EventKind::FileCreated, "/tmp/c")});
  EXPECT_EQ(model.rowCount(), 1);
  deliver({change(EventKind::FileDeleted, "/tmp/d"), change(EventKind::FileCreated, "/home/v/e"),
           change(EventKind::FileRenamed, "/tmp/f", "/home/u/f")});
  EXPECT_EQ(cells(model), (std::vector<std::string>{"a.txt|-|Create|/home/u/|", "e|-|Create|/home/v/|",
                                                    "f|f|Rename File|/tmp/|"}));
  EXPECT_EQ(model.filter().totalCount(), 6);
  EXPECT_EQ(views.list().rowCount(), 6);  // nothing is dropped
  model.setFilterText("");
  EXPECT_EQ(model.rowCount(), 6);
  views.clear();
  EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(FilteredListModelTest, TheProcessColumnComesWithTheFirstKnownProcessAndGoesWithClean) {
  deliver({change(EventKind::FileCreated, "/a")});
  EXPECT_EQ(model.columnCount(), 4);
  deliver({withProcess(change(EventKind::FileUpdated, "/b"), 4242, "rsync"),
           change(EventKind::FileCreated, "/c")});
  ASSERT_EQ(model.columnCount(), 5);
  EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), "Process");
  EXPECT_EQ(cells(model), (std::vector<std::string>{"a|-|Create|/||", "b|-|Update File|/|rsync (4242)|",
                                                    "c|-|Create|/||"}));
  model.setFilterText("rsync");
  EXPECT_EQ(model.rowCount(), 1);
  views.clear();
  EXPECT_EQ(model.columnCount(), 4);
}

class FindWindowTest : public ::testing::Test {
 protected:
  FindWindowTest() : window(platform.parts(), dialogs) {}

  // Opens a recording and runs the load to its end.
  void open(const std::string& file, MainWindow& into) {
    into.openRecording(QString::fromStdString(file));
    for (int i = 0; i < 100'000 && into.isOpeningRecording(); ++i) QCoreApplication::processEvents();
    ASSERT_FALSE(into.isOpeningRecording());
  }
  std::string recordingFile(const std::vector<Change>& changes, const std::string& extra = {}) {
    std::string text;
    for (const Change& c : changes) text += jsonLine(c) + "\n";
    return tmp.write("recording.jsonl", text + extra);
  }
  QString lastMessage() const { return dialogs.shown.empty() ? QString() : dialogs.shown.back().text; }

  std::vector<Change> sample() {
    std::vector<Change> changes = {
        change(EventKind::FolderCreated, "/srv/data"),
        withProcess(change(EventKind::FileCreated, "/srv/data/a,b \"1\".csv"), 4242, "rsync"),
        change(EventKind::FileRenamed, "/srv/data/x.tmp", "/srv/data/line\nbreak.txt"),
        withProcess(change(EventKind::FileDeleted, "/home/u/old.txt"), 77, ""),
    };
    for (std::size_t i = 0; i < changes.size(); ++i) changes[i].time = kAt + std::chrono::seconds(i);
    return changes;
  }

  test::TempDir tmp;
  FakePlatform platform{PathStyle::Posix};
  test::FakeDialogs dialogs;
  MainWindow window;
};

TEST_F(FindWindowTest, OpeningARecordingShowsItsProcessesAndReportsBadLinesOnce) {
  QAbstractItemModelTester tester(&window.listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  const std::string file =
      recordingFile(sample(), "garbage\n{\"event\":42,\"item1\":\"/x\"}\nmore garbage\n");
  open(file, window);
  EXPECT_EQ(window.captureViews().list().rowCount(), 4);
  ASSERT_EQ(window.listModel().columnCount(), 5);
  EXPECT_EQ(window.listModel().index(1, 4).data().toString(), "rsync (4242)");
  EXPECT_EQ(window.listModel().index(0, 4).data().toString(), "");  // unknown: empty, never a guess
  EXPECT_EQ(window.listModel().index(3, 4).data().toString(), "(77)");
  const auto messages = std::count_if(dialogs.shown.begin(), dialogs.shown.end(),
                                      [](const auto& s) { return s.kind == "message"; });
  EXPECT_EQ(messages, 1);
  EXPECT_TRUE(lastMessage().contains("4 changes were loaded")) << lastMessage().toStdString();
  EXPECT_TRUE(lastMessage().contains("3 lines were not events")) << lastMessage().toStdString();
  EXPECT_TRUE(lastMessage().contains("line 5:")) << lastMessage().toStdString();

  // Views that hold changes are replaced only when the user agrees.
  dialogs.yesNo = {false};
  window.openRecording(QString::fromStdString(file));
  EXPECT_FALSE(window.isOpeningRecording());
  EXPECT_EQ(dialogs.shown.back().kind, "yesno");
  EXPECT_EQ(window.captureViews().list().rowCount(), 4);
  dialogs.yesNo = {true};
  open(file, window);
  EXPECT_EQ(window.captureViews().list().rowCount(), 4);  // replaced, not added to
}

TEST_F(FindWindowTest, AFileThatCannotBeReadLeavesTheViewsAsTheyAre) {
  open(recordingFile(sample()), window);
  dialogs.yesNo = {true};
  EXPECT_THROW(window.openRecording(QString::fromStdString(tmp.file("missing.jsonl"))), std::runtime_error);
  EXPECT_FALSE(window.isOpeningRecording());
  EXPECT_EQ(window.captureViews().list().rowCount(), 4);
}

TEST_F(FindWindowTest, AJsonlExportOpensIntoTheSameViews) {
  open(recordingFile(sample()), window);
  const std::string exported = tmp.file("export.jsonl");
  dialogs.exports = {ExportTarget{QString::fromStdString(exported), ExportFormat::Jsonl, false}};
  window.onExport();
  EXPECT_EQ(dialogs.shown.back().kind, "message");
  EXPECT_TRUE(lastMessage().contains(QString::fromStdString(exported)));

  test::FakeDialogs otherDialogs;
  MainWindow other(platform.parts(), otherDialogs);
  other.openRecording(QString::fromStdString(exported));
  for (int i = 0; i < 100'000 && other.isOpeningRecording(); ++i) QCoreApplication::processEvents();
  EXPECT_EQ(cells(other.listModel()), cells(window.listModel()));
  EXPECT_EQ(treeLines(other.treeModel()), treeLines(window.treeModel()));
  EXPECT_FALSE(cells(window.listModel()).empty());
  EXPECT_FALSE(treeLines(window.treeModel()).empty());
}

TEST_F(FindWindowTest, FilterBoxChoosesRowsCountsThemAndExportsThemWhenAsked) {
  window.show();
  open(recordingFile(sample()), window);
  EXPECT_TRUE(window.filterBar->isHidden());
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(window.filterBar->isVisible());
  QTest::keyClicks(window.filterBar->edit(), "srv/*.csv");
  EXPECT_EQ(window.listModel().rowCount(), 1);
  EXPECT_EQ(window.filterBar->countLabel()->text(), "1 of 4");
  EXPECT_EQ(window.listView->y(), window.filterBar->geometry().bottom() + 1 + 4);

  // The export offers the shown rows; everything is written unless they are chosen.
  const std::string all = tmp.file("all.csv");
  const std::string shown = tmp.file("shown.csv");
  dialogs.exports = {ExportTarget{QString::fromStdString(all), ExportFormat::Csv, false},
                     ExportTarget{QString::fromStdString(shown), ExportFormat::Csv, true}};
  window.onExport();
  EXPECT_TRUE(dialogs.offeredShownRowsOnly);
  window.onExport();
  const std::string header = "time,action,path,new path,process,pid\r\n";
  const std::string csvRow =
      "2026-12-10T01:02:04.456Z,Create,\"/srv/data/a,b \"\"1\"\".csv\",,rsync,4242\r\n";
  EXPECT_EQ(test::readFile(shown), header + csvRow);
  const std::string everything = test::readFile(all);
  EXPECT_EQ(std::count(everything.begin(), everything.end(), '\n'), 6) << everything;  // one name holds LF

  QTest::keyClick(window.filterBar->edit(), Qt::Key_Escape);
  EXPECT_TRUE(window.filterBar->isHidden());
  EXPECT_EQ(window.listModel().rowCount(), 4);
  window.onExport();  // no filter: nothing to choose
  EXPECT_FALSE(dialogs.offeredShownRowsOnly);
}

// The same filter box drives the tree: the nodes of the rows the list shows, with their
// ancestors, also as rows arrive; folds stay; Escape shows every node again.
TEST_F(FindWindowTest, FilterBoxChoosesTheTreesNodesToo) {
  QAbstractItemModelTester tester(&window.treeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  window.show();
  open(recordingFile(sample()), window);
  const std::vector<std::string> everything = treeLines(window.treeModel());
  ASSERT_EQ(everything.size(), 8u);
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(window.filterBar->edit(), "RSYNC");
  EXPECT_EQ(treeLines(window.treeModel()),
            (std::vector<std::string>{"0:/", "1:srv", "2:data", "3:a,b \"1\".csv"}));
  EXPECT_EQ(window.filterBar->countLabel()->text(), "1 of 4");

  // Rows arriving while the filter is set (here a recording opened in batches, as a recording
  // delivers them): a match shows with the folders on its way.
  std::vector<Change> more = sample();
  more.push_back(withProcess(change(EventKind::FileCreated, "/home/u/new.txt"), 4242, "rsync"));
  more.push_back(change(EventKind::FileCreated, "/home/u/other.txt"));
  dialogs.yesNo = {true};
  open(recordingFile(more), window);
  EXPECT_EQ(
      treeLines(window.treeModel()),
      (std::vector<std::string>{"0:/", "1:srv", "2:data", "3:a,b \"1\".csv", "1:home", "2:u", "3:new.txt"}));
  EXPECT_EQ(window.filterBar->countLabel()->text(), "2 of 6");
  // A fold under the filter stays, also when the filter goes.
  const QModelIndex data = window.treeModel().index(2);
  ASSERT_EQ(data.data().toString(), "data");
  window.treeModel().setExpanded(data, false);
  EXPECT_EQ(window.treeModel().rowCount(), 6);
  QTest::keyClick(window.filterBar->edit(), Qt::Key_Escape);
  EXPECT_FALSE(window.treeModel().isExpanded(window.treeModel().index(2)));
  window.treeModel().setExpanded(window.treeModel().index(2), true);
  EXPECT_EQ(treeLines(window.treeModel()).size(), everything.size() + 2);
}

// The changes of a replay carry the pid and process their lines have, up to the list's cells.
TEST_F(FindWindowTest, ProcessCellsOfARecordingReplayed) {
  const std::string file = recordingFile(sample());
  record::ReplayWatching replay(file, [] {});
  const WatchRequest request;
  auto watcher = replay.watch(request);
  ChangeBatch batch;
  watcher->wait(batch);
  CaptureViews views(platform, nullptr, PathStyle::Posix);
  SystemIcons icons(platform);
  CaptureListModel model(views, icons);
  views.beginBatch();
  for (const Change& c : batch.changes) views.add(c);
  views.endBatch();
  ASSERT_EQ(model.columnCount(), 5);
  std::vector<QString> processes;
  for (int row = 0; row < model.rowCount(); ++row) processes.push_back(model.index(row, 4).data().toString());
  EXPECT_EQ(processes, (std::vector<QString>{"", "rsync (4242)", "", "(77)"}));
}

}  // namespace
}  // namespace tw
