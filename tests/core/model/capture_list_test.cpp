#include "core/model/capture_list.h"

#include <gtest/gtest.h>

#include "core/events/event_kinds.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

struct RowCase {
  const char* what;
  PathStyle style;
  std::string item1, item2;
  int event;
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
       evRenameItem,
       {"a.txt", "b.txt", "Rename File", "C:\\docs\\"},
       20,
       60,
       1},
      {"rename folder",
       W,
       "C:\\docs\\old",
       "C:\\docs\\new",
       evRenameFolder,
       {"old", "new", "Rename Folder", "C:\\docs\\"},
       50,
       60,
       1},
      {"create", W, "C:\\docs\\c.txt", "", evCreate, {"c.txt", "-", "Create", "C:\\docs\\"}, 20, 60, 3},
      {"new directory", W, "C:\\docs\\n", "", evMkDir, {"n", "-", "New Directory", "C:\\docs\\"}, 50, 60, 3},
      {"delete", W, "C:\\docs\\gone.bin", "", evDelete, {"gone.bin", "-", "Delete", "C:\\docs\\"}, 9, 60, 2},
      {"delete directory",
       W,
       "D:\\tmp\\x",
       "",
       evRmDir,
       {"x", "-", "Delete Directory", "D:\\tmp\\"},
       50,
       61,
       2},
      {"drive", W, "E:\\", "", evDriveAdd, {"E:\\", "-", "Adding Drive", "E:\\"}, 50, 62, 0},
      {"both empty", W, "", "", evAssociation, {"-", "-", "Association", ""}, 50, 0, 0},
      {"second path a root",
       W,
       "C:\\docs\\a",
       "D:\\",
       evRenameFolder,
       {"a", "", "Rename Folder", "C:\\docs\\"},
       50,
       60,
       1},
      {"update file",
       W,
       "C:\\docs\\a.txt",
       "",
       evUpdateItem,
       {"a.txt", "-", "Update File", "C:\\docs\\"},
       20,
       60,
       0},
      {"update directory",
       W,
       "C:\\docs\\",
       "",
       evUpdateDir,
       {"C:\\docs\\", "-", "Update Directory", "C:\\docs\\"},
       50,
       60,
       0},
      {"colon ends the folder", W, "C:x.txt", "", evCreate, {"x.txt", "-", "Create", "C:"}, 20, 0, 3},
      {"spaces kept", W, " \\ a ", "  ", evCreate, {" a ", "-", "Create", " \\"}, 9, 0, 3},
      {"blank name, whole path",
       W,
       "C:\\docs\\ ",
       "",
       evCreate,
       {"C:\\docs\\ ", "-", "Create", "C:\\docs\\"},
       9,
       60,
       3},
      {"blank first path", W, "   ", "C:\\b", evRenameItem, {"-", "b", "Rename File", ""}, 9, 0, 1},
      {"unknown number", W, "C:\\a", "", 42, {"a", "-", "Unknown", "C:\\"}, 50, 0, 0},
      {"posix rename",
       P,
       "/home/u/a.txt",
       "/home/u/b:c",
       evRenameItem,
       {"a.txt", "b:c", "Rename File", "/home/u/"},
       30,
       41,
       1},
      {"posix colon is ordinary",
       P,
       "/home/u/x:y",
       "",
       evCreate,
       {"x:y", "-", "Create", "/home/u/"},
       8,
       41,
       3},
      {"posix root", P, "/", "", evUpdateDir, {"/", "-", "Update Directory", "/"}, 40, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform& platform = c.style == W ? win : posix;
    CaptureList list(platform, platform);
    list.addListItem(c.item1, c.item2, c.event, c.style);
    ASSERT_EQ(list.rowCount(), 1);
    std::vector<std::string> cells;
    for (int col = 0; col < kListColumnCount; ++col) cells.emplace_back(list.cell(0, col));
    EXPECT_EQ(cells, c.cells);
    EXPECT_EQ(list.imageIndex(0), c.image);
    EXPECT_EQ(list.workPathImageIndex(0), c.workPathImage);
    EXPECT_EQ(list.mark(0), c.mark);
  }
}

TEST(CaptureList, RowsInDeliveryOrderAnnouncedInBatches) {
  FakePlatform platform(PathStyle::Windows);
  CaptureList list(platform, platform);
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
  list.addListItem("C:\\0", "", evCreate, PathStyle::Windows);
  list.beginBatch();
  for (int i = 1; i <= 10; ++i)
    list.addListItem("C:\\" + std::to_string(i), "", evCreate, PathStyle::Windows);
  EXPECT_EQ(list.rowCount(), 1);  // not announced yet
  list.endBatch();
  ASSERT_EQ(list.rowCount(), 11);
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(list.cell(i, colFrom), std::to_string(i));
  list.clear();
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"about 0..0 of 0", "inserted 0..0 of 1", "about 1..10 of 1",
                                      "inserted 1..10 of 11", "clearing", "cleared 0"}));
}

// A batch longer than one group of icon lookups: every row still gets its folder's icon, and
// the rows are still announced once, at the end.
TEST(CaptureList, LongBatchesAskFolderIconsInGroupsAndAnnounceOnce) {
  FakePlatform platform(PathStyle::Windows);
  platform.objectIcons = {{"C:\\a\\", 21}, {"C:\\b\\", 22}, {"C:\\c\\", 23}};
  CaptureList list(platform, platform);
  struct Counter : CaptureListObserver {
    int announcements = 0;
    void rowsAboutToBeInserted(int, int) override {}
    void rowsInserted(int, int) override { ++announcements; }
    void listAboutToBeCleared() override {}
    void listCleared() override {}
  } counter;
  list.setObserver(&counter);
  const int rows = static_cast<int>(3 * CaptureList::kIconLookupGroup + 7);
  const char* folders[] = {"C:\\a\\", "C:\\b\\", "C:\\c\\"};
  list.beginBatch();
  for (int i = 0; i < rows; ++i)
    list.addListItem(std::string(folders[i % 3]) + "f" + std::to_string(i), "", evCreate);
  EXPECT_EQ(counter.announcements, 0);
  list.endBatch();
  EXPECT_EQ(counter.announcements, 1);
  ASSERT_EQ(list.rowCount(), rows);
  for (int i = 0; i < rows; ++i) ASSERT_EQ(list.workPathImageIndex(i), 21 + i % 3) << "row " << i;
}

TEST(CaptureList, SharedPoolKeepsEachTextOnce) {
  FakePlatform platform(PathStyle::Windows);
  TextPool pool;
  CaptureList list(platform, platform, &pool);
  for (int i = 0; i < 100; ++i) list.addListItem("C:\\docs\\a.txt", "", evUpdateItem, PathStyle::Windows);
  // The empty text, a.txt, "-", "Update File", C:\docs\.
  EXPECT_EQ(pool.size(), 5u);
  EXPECT_EQ(list.cell(99, colWorkPath), "C:\\docs\\");
}

// The list keeps the ids of the texts every row shows (action names, the dash); a cleared
// pool hands out new ones, and the rows after it still show the right texts.
TEST(CaptureList, RowsAfterAClearedPoolShowTheirOwnTexts) {
  FakePlatform platform(PathStyle::Windows);
  TextPool pool;
  CaptureList shared(platform, platform, &pool);
  CaptureList own(platform, platform);
  for (CaptureList* list : {&shared, &own}) {
    list->addListItem("C:\\docs\\a.txt", "", evUpdateItem, PathStyle::Windows);
    list->addListItem("C:\\docs\\b", "", evRmDir, PathStyle::Windows);
    list->clear();
    if (list == &shared) pool.clear();
    pool.intern("filler");  // so that old ids now name other texts
    list->addListItem("C:\\x\\b", "", evRmDir, PathStyle::Windows);
    list->addListItem("C:\\x\\c.txt", "", evUpdateItem, PathStyle::Windows);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->cell(0, colAction), getEventName(evRmDir));
    EXPECT_EQ(list->cell(1, colAction), getEventName(evUpdateItem));
    EXPECT_EQ(list->cell(1, colTo), "-");
    EXPECT_EQ(list->cell(1, colFrom), "c.txt");
  }
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
