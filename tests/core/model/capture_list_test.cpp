#include "core/model/capture_list.h"

#include <gtest/gtest.h>

#include "core/events/event_kinds.h"
#include "core/model/presentation.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::changeOf;

struct RowCase {
  const char* what;
  PathStyle style;
  std::string item1, item2;
  EventKind event;
  std::vector<std::string> cells;  // From, To, Action, Work Path
  int image;
  int workPathImage;
  int mark;
};

TEST(CaptureList, CellsIconsAndMarksOfEveryRowKind) {
  FakePlatform win(PathStyle::Windows);
  win.typeIcons = {{".txt", 20}};
  win.unknownTypeIcon = 9;
  win.objectIcons = {{"C:\\Windows\\", 50}, {"C:\\docs\\", 60}, {"D:\\tmp\\", 61}, {"E:\\", 62}};
  FakePlatform posix(PathStyle::Posix);
  posix.systemDir = "/usr";
  posix.typeIcons = {{".txt", 30}};
  posix.unknownTypeIcon = 8;
  posix.objectIcons = {{"/usr/", 40}, {"/home/u/", 41}};
  const auto W = PathStyle::Windows;
  const auto P = PathStyle::Posix;
  const RowCase cases[] = {
      {"rename file",
       W,
       "C:\\docs\\a.txt",
       "C:\\docs\\b.txt",
       EventKind::FileRenamed,
       {"a.txt", "b.txt", "Rename File", "C:\\docs\\"},
       20,
       60,
       1},
      {"rename folder",
       W,
       "C:\\docs\\old",
       "C:\\docs\\new",
       EventKind::FolderRenamed,
       {"old", "new", "Rename Folder", "C:\\docs\\"},
       50,
       60,
       1},
      {"create",
       W,
       "C:\\docs\\c.txt",
       "",
       EventKind::FileCreated,
       {"c.txt", "-", "Create", "C:\\docs\\"},
       20,
       60,
       3},
      {"new directory",
       W,
       "C:\\docs\\n",
       "",
       EventKind::FolderCreated,
       {"n", "-", "New Directory", "C:\\docs\\"},
       50,
       60,
       3},
      {"delete",
       W,
       "C:\\docs\\gone.bin",
       "",
       EventKind::FileDeleted,
       {"gone.bin", "-", "Delete", "C:\\docs\\"},
       9,
       60,
       2},
      {"delete directory",
       W,
       "D:\\tmp\\x",
       "",
       EventKind::FolderDeleted,
       {"x", "-", "Delete Directory", "D:\\tmp\\"},
       50,
       61,
       2},
      {"drive", W, "E:\\", "", EventKind::DriveAdded, {"E:\\", "-", "Adding Drive", "E:\\"}, 50, 62, 0},
      {"both empty", W, "", "", EventKind::Association, {"-", "-", "Association", ""}, 50, 0, 0},
      {"second path a root",
       W,
       "C:\\docs\\a",
       "D:\\",
       EventKind::FolderRenamed,
       {"a", "", "Rename Folder", "C:\\docs\\"},
       50,
       60,
       1},
      {"update file",
       W,
       "C:\\docs\\a.txt",
       "",
       EventKind::FileUpdated,
       {"a.txt", "-", "Update File", "C:\\docs\\"},
       20,
       60,
       0},
      {"update directory",
       W,
       "C:\\docs\\",
       "",
       EventKind::FolderNeedsRescan,
       {"C:\\docs\\", "-", "Update Directory", "C:\\docs\\"},
       50,
       60,
       0},
      {"colon ends the folder",
       W,
       "C:x.txt",
       "",
       EventKind::FileCreated,
       {"x.txt", "-", "Create", "C:"},
       20,
       0,
       3},
      {"spaces kept", W, " \\ a ", "  ", EventKind::FileCreated, {" a ", "-", "Create", " \\"}, 9, 0, 3},
      {"blank name, whole path",
       W,
       "C:\\docs\\ ",
       "",
       EventKind::FileCreated,
       {"C:\\docs\\ ", "-", "Create", "C:\\docs\\"},
       9,
       60,
       3},
      {"blank first path", W, "   ", "C:\\b", EventKind::FileRenamed, {"-", "b", "Rename File", ""}, 9, 0, 1},
      {"posix rename",
       P,
       "/home/u/a.txt",
       "/home/u/b:c",
       EventKind::FileRenamed,
       {"a.txt", "b:c", "Rename File", "/home/u/"},
       30,
       41,
       1},
      {"posix colon is ordinary",
       P,
       "/home/u/x:y",
       "",
       EventKind::FileCreated,
       {"x:y", "-", "Create", "/home/u/"},
       8,
       41,
       3},
      {"posix root", P, "/", "", EventKind::FolderNeedsRescan, {"/", "-", "Update Directory", "/"}, 40, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform& platform = c.style == W ? win : posix;
    CaptureList list(platform, &platform, c.style);
    const Change change = changeOf(c.item1, c.item2, c.event);
    list.add(change);
    ASSERT_EQ(list.rowCount(), 1);
    const CapturePresentation presentation(platform);
    std::vector<std::string> cells;
    for (int col = 0; col < kListColumnCount; ++col)
      cells.emplace_back(presentation.cellText(list, 0, static_cast<ListColumn>(col)));
    EXPECT_EQ(cells, c.cells);
    // The cells of the change alone (for a recorder that keeps no list) are the same.
    const ListCells alone = listCells(change, c.style);
    EXPECT_EQ((std::vector<std::string>{alone.from, alone.to, alone.action, alone.workPath}), c.cells);
    EXPECT_EQ(list.icon(0), c.image);
    EXPECT_EQ(list.folderIcon(0), c.workPathImage);
    EXPECT_EQ(static_cast<int>(listMarkOf(list.kind(0))), c.mark);
    EXPECT_EQ(presentation.cellIcon(list, 0, ListColumn::From), c.image);
    EXPECT_EQ(presentation.cellIcon(list, 0, ListColumn::WorkPath), c.workPathImage);
    EXPECT_EQ(presentation.cellIcon(list, 0, ListColumn::To), 0);
    EXPECT_EQ(presentation.cellIcon(list, 0, ListColumn::Action), 0);
    // The row keeps the change's facts.
    EXPECT_EQ(std::string(list.folder(0)) + std::string(list.name(0)), c.item1);
    EXPECT_EQ(list.newPath(0), c.item2);
    EXPECT_EQ(list.kind(0), c.event);
  }
}

TEST(CaptureList, RowsInDeliveryOrderAnnouncedInBatches) {
  FakePlatform platform(PathStyle::Windows);
  CaptureList list(platform, &platform, PathStyle::Windows);
  struct Recorder : CaptureListObserver {
    const CaptureList* list = nullptr;
    std::vector<std::string> calls;
    void rowsAboutToBeInserted(int f, int l) override {
      calls.push_back("about " + std::to_string(f) + ".." + std::to_string(l) + " of " +
                      std::to_string(list->rowCount()));
    }
    void rowsInserted(int f, int l) override {
      calls.push_back("inserted " + std::to_string(f) + ".." + std::to_string(l) + " of " +
                      std::to_string(list->rowCount()));
    }
    void listAboutToBeCleared() override { calls.push_back("clearing"); }
    void listCleared() override { calls.push_back("cleared " + std::to_string(list->rowCount())); }
  } recorder;
  recorder.list = &list;
  list.setObserver(&recorder);
  list.add(changeOf("C:\\0", "", EventKind::FileCreated));
  list.beginBatch();
  for (int i = 1; i <= 10; ++i) list.add(changeOf("C:\\" + std::to_string(i), "", EventKind::FileCreated));
  EXPECT_EQ(list.rowCount(), 1);  // not announced yet
  list.endBatch();
  ASSERT_EQ(list.rowCount(), 11);
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(list.name(i), std::to_string(i));
  list.clear();
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"about 0..0 of 0", "inserted 0..0 of 1", "about 1..10 of 1",
                                      "inserted 1..10 of 11", "clearing", "cleared 0"}));
}

// Rows are kept in blocks: rows on either side of a block's end keep their own facts and icons; a Clean drops
// the blocks and the list fills again from row 0.
TEST(CaptureList, RowsAcrossBlocksKeepTheirFactsAndIcons) {
  FakePlatform platform(PathStyle::Windows);
  platform.objectIcons = {{"C:\\a\\", 21}, {"C:\\b\\", 22}, {"C:\\c\\", 23}};
  CaptureList list(platform, &platform, PathStyle::Windows);
  const char* folders[] = {"C:\\a\\", "C:\\b\\", "C:\\c\\"};
  const auto fill = [&](int rows) {
    list.beginBatch();
    for (int i = 0; i < rows; ++i) {
      const EventKind kind = i % 2 == 0 ? EventKind::FileCreated : EventKind::FolderCreated;
      list.add(changeOf(std::string(folders[i % 3]) + std::to_string(i), "", kind));
    }
    list.endBatch();
  };
  const int rows = static_cast<int>(2 * CaptureList::kBlockRows + 5);
  for (int round = 0; round < 2; ++round) {
    fill(rows);
    ASSERT_EQ(list.rowCount(), rows);
    for (int i = 0; i < rows; ++i) {
      ASSERT_EQ(list.folder(i), folders[i % 3]) << "row " << i;
      ASSERT_EQ(list.name(i), std::to_string(i)) << "row " << i;
      ASSERT_EQ(list.kind(i), i % 2 == 0 ? EventKind::FileCreated : EventKind::FolderCreated) << "row " << i;
      ASSERT_EQ(list.folderIcon(i), 21 + i % 3) << "row " << i;
    }
    list.clear();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.bytesUsed(), 0u);
  }
}

TEST(CaptureList, SharedPoolKeepsEachTextOnce) {
  FakePlatform platform(PathStyle::Windows);
  TextPool pool;
  CaptureList list(platform, &platform, PathStyle::Windows, &pool);
  for (int i = 0; i < 100; ++i) list.add(changeOf("C:\\docs\\a.txt", "", EventKind::FileUpdated));
  // The empty text (no new path, no process), a.txt, C:\docs\.
  EXPECT_EQ(pool.size(), 3u);
  EXPECT_EQ(list.folder(99), "C:\\docs\\");
}

// Rows after a Clean (the list's and its shared pool's) show their own texts, whatever ids the
// pool hands out then.
TEST(CaptureList, RowsAfterAClearedPoolShowTheirOwnTexts) {
  FakePlatform platform(PathStyle::Windows);
  TextPool pool;
  CaptureList shared(platform, &platform, PathStyle::Windows, &pool);
  CaptureList own(platform, &platform, PathStyle::Windows);
  const CapturePresentation presentation(platform);
  for (CaptureList* list : {&shared, &own}) {
    list->add(changeOf("C:\\docs\\a.txt", "", EventKind::FileUpdated));
    list->add(changeOf("C:\\docs\\b", "", EventKind::FolderDeleted));
    list->clear();
    if (list == &shared) pool.clear();
    pool.intern("filler");  // so that old ids now name other texts
    list->add(changeOf("C:\\x\\b", "", EventKind::FolderDeleted));
    list->add(changeOf("C:\\x\\c.txt", "", EventKind::FileUpdated));
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(presentation.cellText(*list, 0, ListColumn::Action), "Delete Directory");
    EXPECT_EQ(presentation.cellText(*list, 1, ListColumn::Action), "Update File");
    EXPECT_EQ(presentation.cellText(*list, 1, ListColumn::To), "-");
    EXPECT_EQ(presentation.cellText(*list, 1, ListColumn::From), "c.txt");
    EXPECT_EQ(presentation.cellText(*list, 1, ListColumn::WorkPath), "C:\\x\\");
  }
}

// A row keeps the change's time, process id and process name.
TEST(CaptureList, RowsKeepTheChangesTimeAndProcess) {
  FakePlatform platform(PathStyle::Posix);
  CaptureList list(platform, nullptr, PathStyle::Posix);
  Change change = changeOf("/srv/a.txt", "", EventKind::FileCreated);
  change.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1234567));
  change.pid = 77;
  change.process = "cp";
  list.add(change);
  EXPECT_EQ(list.time(0), change.time);
  EXPECT_EQ(list.processId(0), 77);
  EXPECT_EQ(list.processName(0), "cp");
  EXPECT_EQ(list.icon(0), 0);  // no icon source: no icons
  EXPECT_EQ(list.folderIcon(0), 0);
}

TEST(TextPool, InternsAndFoldsOnlyAsciiCase) {
  TextPool pool;
  std::vector<TextId> ids;
  for (int i = 0; i < 5000; ++i) ids.push_back(pool.intern("name" + std::to_string(i)));
  for (int i = 0; i < 5000; ++i) {
    EXPECT_EQ(pool.intern("name" + std::to_string(i)), ids[static_cast<std::size_t>(i)]);
    EXPECT_EQ(pool.text(ids[static_cast<std::size_t>(i)]), "name" + std::to_string(i));
  }
  const std::string longText(10000, 'x');
  EXPECT_EQ(pool.text(pool.intern(longText)), longText);
  EXPECT_EQ(pool.intern(""), 0u);
  EXPECT_EQ(pool.foldedHash(pool.intern("abc.TXT")), pool.foldedHash(pool.intern("ABC.txt")));
  EXPECT_NE(pool.intern("abc.TXT"), pool.intern("ABC.txt"));
  EXPECT_EQ(TextPool::hashFolded("\xC3\xA4"), TextPool::hashFolded("\xC3\xA4"));
  EXPECT_NE(TextPool::hashFolded("\xC3\xA4"), TextPool::hashFolded("\xC3\x84"));
  pool.clear();
  EXPECT_EQ(pool.size(), 1u);
  EXPECT_EQ(pool.text(pool.intern("again")), "again");
}

}  // namespace
}  // namespace tw
