// What the tree view and the list view show after each batch of a recording: rows, texts,
// colours, icons and expansion, for a table of batches (creations, deletions of files and
// folders, renames, a folded node, overflows, Clean). The expected values were recorded from the
// views as they were when the models kept display texts (a hierarchical model in a QTreeView);
// the models of facts, their presentation and the flat tree view must show the same.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QColor>
#include <QIcon>

#include <string>
#include <string_view>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_views.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/system_icons.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using Lines = std::vector<std::string>;

struct Event {
  std::string path;
  std::string newPath;
  EventKind kind;
};

struct Step {
  const char* what;
  std::vector<Event> batch;
  Lines tree;  // level|text|colour|icon|expansion, one line per row shown
  Lines list;  // From|To|Action|Work Path|colour|icon|Work Path icon
};

class ShownViews {
 public:
  explicit ShownViews(PathStyle style) : platform(style) {
    platform.typeIcons = {{".txt", 20}, {".doc", 21}};
    platform.unknownTypeIcon = 9;
    platform.clock = "14:03:27";
    if (style == PathStyle::Windows) {
      platform.objectIcons = {{"C:\\Windows\\", 50},    {"C:\\a\\", 60}, {"C:\\Users\\", 61},
                              {"C:\\Users\\bob\\", 62}, {"C:\\", 63},    {"E:\\", 64}};
    } else {
      platform.systemDir = "/usr";
      platform.objectIcons = {{"/usr/", 50}, {"/home/", 60}, {"/home/u/", 61}, {"/", 63}};
    }
    treeView.setModel(&treeModel);
    listView.setModel(&listModel);
    treeView.resize(400, 600);
    listView.resize(640, 600);
    treeView.show();
    listView.show();
  }

  void deliver(const std::vector<Event>& events) {
    views.beginBatch();
    for (const Event& e : events) views.add(test::changeOf(e.path, e.newPath, e.kind));
    views.endBatch();
    QApplication::processEvents();
  }

  void clean() { views.clear(); }

  // Folds the node shown with this text, as the user would.
  void collapse(const std::string& text) {
    for (const auto& [index, level] : shownIndexes()) {
      if (index.data().toString().toStdString() == text) {
        treeView.collapse(index);
        return;
      }
    }
    ADD_FAILURE() << "no row " << text;
  }

  // Unfolds the node shown with this text, as the user would.
  void expand(const std::string& text) {
    for (const auto& [index, level] : shownIndexes()) {
      if (index.data().toString().toStdString() == text) {
        treeView.expand(index);
        return;
      }
    }
    ADD_FAILURE() << "no row " << text;
  }

  Lines shownTree() {
    Lines lines;
    for (const auto& [index, level] : shownIndexes()) {
      const bool children = treeModel.nodeHasChildren(index);
      const char* expansion = !children ? "" : treeView.isExpanded(index) ? "open" : "closed";
      lines.push_back(std::to_string(level) + "|" + index.data().toString().toStdString() + "|" +
                      colourOf(index) + "|" + iconOf(index) + "|" + expansion);
    }
    return lines;
  }

  Lines shownList() {
    Lines lines;
    for (int row = 0; row < listModel.rowCount(); ++row) {
      std::string line;
      for (int column = 0; column < kListColumnCount; ++column) {
        line += listModel.index(row, column).data().toString().toStdString() + "|";
        if (column > 0) {
          EXPECT_EQ(colourOf(listModel.index(row, column)), colourOf(listModel.index(row, 0)));
        }
      }
      const QModelIndex from = listModel.index(row, static_cast<int>(ListColumn::From));
      line += colourOf(from) + "|" + iconOf(from) + "|" +
              iconOf(listModel.index(row, static_cast<int>(ListColumn::WorkPath)));
      EXPECT_EQ(iconOf(listModel.index(row, static_cast<int>(ListColumn::To))), "-");
      EXPECT_EQ(iconOf(listModel.index(row, static_cast<int>(ListColumn::Action))), "-");
      lines.push_back(line);
    }
    return lines;
  }

 private:
  // The rows the tree view shows, in order, with their levels.
  std::vector<std::pair<QModelIndex, int>> shownIndexes() {
    std::vector<std::pair<QModelIndex, int>> shown;
    for (int row = 0; row < treeModel.rowCount(); ++row) {
      const QModelIndex index = treeModel.index(row);
      shown.emplace_back(index, treeModel.level(index));
    }
    return shown;
  }

  static std::string colourOf(const QModelIndex& index) {
    const QVariant colour = index.data(Qt::ForegroundRole);
    return colour.isValid() ? colour.value<QColor>().name().toStdString() : "-";
  }

  // The system icon index whose picture the cell shows; "-" for none.
  std::string iconOf(const QModelIndex& index) {
    const QVariant shown = index.data(Qt::DecorationRole);
    if (!shown.isValid()) return "-";
    const qint64 key = shown.value<QIcon>().cacheKey();
    for (int i = 1; i < 100; ++i) {
      if (icons.icon(i).cacheKey() == key) return std::to_string(i);
    }
    return "?";
  }

 public:
  // The scripted platform, counting the paths asked of its disk.
  struct Platform : FakePlatform {
    using FakePlatform::FakePlatform;
    int pathIcon(std::string_view path) override {
      ++lookups;
      return FakePlatform::pathIcon(path);
    }
    int lookups = 0;
  } platform;
  CaptureViews views{platform, &platform, platform.style};
  SystemIcons icons{platform};
  CaptureTreeModel treeModel{views, icons};
  CaptureListModel listModel{views, icons};
  QAbstractItemModelTester treeTester{&treeModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
  QAbstractItemModelTester listTester{&listModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
  CaptureTreeView treeView;
  CaptureListView listView;
};

void run(ShownViews& views, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const std::string what = step.what;
    if (what.starts_with("clean")) views.clean();
    if (what.starts_with("fold ")) {
      views.collapse(what.substr(5));  // shown folded until the user unfolds it
    } else {
      // "unfold x, then ...": the user unfolds x before the batch comes.
      if (what.starts_with("unfold ")) views.expand(what.substr(7, what.find(',') - 7));
      views.deliver(step.batch);
    }
    const Lines tree = views.shownTree();
    const Lines list = views.shownList();
    EXPECT_EQ(tree, step.tree);
    EXPECT_EQ(list, step.list);
  }
}

TEST(ShownViews, RecordInWindowsStyle) {
  ShownViews views(PathStyle::Windows);
  const std::vector<Step> steps = {
      {"creations",
       {{"C:\\a\\b.txt", "", EventKind::FileCreated},
        {"C:\\a\\c.doc", "", EventKind::FileCreated},
        {"C:\\Users\\bob", "", EventKind::FolderCreated},
        {"C:\\Users\\bob\\notes.txt", "", EventKind::FileCreated},
        {"C:\\a\\b.txt", "", EventKind::FileUpdated},
        {"C:\\a\\c.doc", "", EventKind::Attributes},
        {"E:\\", "", EventKind::DriveAdded}},
       {"0|C:|-|9|open", "1|a|-|60|open", "2|b.txt|-|-|", "2|c.doc|-|-|", "1|Users|-|61|open",
        "2|bob|-|62|open", "3|notes.txt|-|-|"},
       {"b.txt|-|Create|C:\\a\\|#008000|20|60", "c.doc|-|Create|C:\\a\\|#008000|21|60",
        "bob|-|New Directory|C:\\Users\\|#008000|50|61", "notes.txt|-|Create|C:\\Users\\bob\\|#008000|20|62",
        "b.txt|-|Update File|C:\\a\\|-|20|60", "c.doc|-|Attributes|C:\\a\\|-|50|60",
        "E:\\|-|Adding Drive|E:\\|-|50|64"}},
      {"deletions of files and folders",
       {{"C:\\a\\b.txt", "", EventKind::FileDeleted},
        {"C:\\a\\b.txt", "", EventKind::FileCreated},
        {"C:\\Users\\bob", "", EventKind::FolderDeleted},
        {"C:\\gone\\x.txt", "", EventKind::FileDeleted},
        {"C:\\a\\sub\\deep\\f.txt", "", EventKind::FileCreated}},
       {"0|C:|-|9|open", "1|a|-|60|open", "2|(14:03:27) b.txt|#ff0000|20|", "2|c.doc|-|-|", "2|b.txt|-|-|",
        "2|sub|-|-|open", "3|deep|-|-|open", "4|f.txt|-|-|", "1|Users|-|61|open",
        "2|(14:03:27) bob|#ff0000|50|", "1|gone|-|-|open", "2|(14:03:27) x.txt|#ff0000|20|"},
       {"b.txt|-|Create|C:\\a\\|#008000|20|60", "c.doc|-|Create|C:\\a\\|#008000|21|60",
        "bob|-|New Directory|C:\\Users\\|#008000|50|61", "notes.txt|-|Create|C:\\Users\\bob\\|#008000|20|62",
        "b.txt|-|Update File|C:\\a\\|-|20|60", "c.doc|-|Attributes|C:\\a\\|-|50|60",
        "E:\\|-|Adding Drive|E:\\|-|50|64", "b.txt|-|Delete|C:\\a\\|#ff0000|20|60",
        "b.txt|-|Create|C:\\a\\|#008000|20|60", "bob|-|Delete Directory|C:\\Users\\|#ff0000|50|61",
        "x.txt|-|Delete|C:\\gone\\|#ff0000|20|-", "f.txt|-|Create|C:\\a\\sub\\deep\\|#008000|20|-"}},
      {"fold a",
       {},
       {"0|C:|-|9|open", "1|a|-|60|closed", "1|Users|-|61|open", "2|(14:03:27) bob|#ff0000|50|",
        "1|gone|-|-|open", "2|(14:03:27) x.txt|#ff0000|20|"},
       {"b.txt|-|Create|C:\\a\\|#008000|20|60", "c.doc|-|Create|C:\\a\\|#008000|21|60",
        "bob|-|New Directory|C:\\Users\\|#008000|50|61", "notes.txt|-|Create|C:\\Users\\bob\\|#008000|20|62",
        "b.txt|-|Update File|C:\\a\\|-|20|60", "c.doc|-|Attributes|C:\\a\\|-|50|60",
        "E:\\|-|Adding Drive|E:\\|-|50|64", "b.txt|-|Delete|C:\\a\\|#ff0000|20|60",
        "b.txt|-|Create|C:\\a\\|#008000|20|60", "bob|-|Delete Directory|C:\\Users\\|#ff0000|50|61",
        "x.txt|-|Delete|C:\\gone\\|#ff0000|20|-", "f.txt|-|Create|C:\\a\\sub\\deep\\|#008000|20|-"}},
      {"renames: a folded node stays folded",
       {{"C:\\a\\c.doc", "C:\\a\\d.doc", EventKind::FileRenamed},
        {"C:\\Users", "C:\\People", EventKind::FolderRenamed},
        {"C:\\a\\sub", "C:\\a\\new\\", EventKind::FolderRenamed},
        {"C:\\a\\c.doc -> d.doc", "C:\\a\\e.doc", EventKind::FileRenamed},
        {"C:\\a\\C.DOC", "", EventKind::FileUpdated}},
       {"0|C:|-|9|open", "1|a|-|60|closed", "1|Users -> People|#0000ff|50|open",
        "2|(14:03:27) bob|#ff0000|50|", "1|gone|-|-|open", "2|(14:03:27) x.txt|#ff0000|20|"},
       {"b.txt|-|Create|C:\\a\\|#008000|20|60", "c.doc|-|Create|C:\\a\\|#008000|21|60",
        "bob|-|New Directory|C:\\Users\\|#008000|50|61", "notes.txt|-|Create|C:\\Users\\bob\\|#008000|20|62",
        "b.txt|-|Update File|C:\\a\\|-|20|60", "c.doc|-|Attributes|C:\\a\\|-|50|60",
        "E:\\|-|Adding Drive|E:\\|-|50|64", "b.txt|-|Delete|C:\\a\\|#ff0000|20|60",
        "b.txt|-|Create|C:\\a\\|#008000|20|60", "bob|-|Delete Directory|C:\\Users\\|#ff0000|50|61",
        "x.txt|-|Delete|C:\\gone\\|#ff0000|20|-", "f.txt|-|Create|C:\\a\\sub\\deep\\|#008000|20|-",
        "c.doc|d.doc|Rename File|C:\\a\\|#0000ff|21|60", "Users|People|Rename Folder|C:\\|#0000ff|50|63",
        "sub||Rename Folder|C:\\a\\|#0000ff|50|60", "c.doc -> d.doc|e.doc|Rename File|C:\\a\\|#0000ff|21|60",
        "C.DOC|-|Update File|C:\\a\\|-|21|60"}},
      {"unfold a, then overflows and a renamed folder deleted",
       {{"C:\\", "", EventKind::FolderNeedsRescan},
        {"D:\\deep\\er\\", "", EventKind::FolderNeedsRescan},
        {"C:\\Users -> People", "", EventKind::FolderDeleted},
        {"E:\\", "", EventKind::DriveRemoved},
        {"", "", EventKind::Association}},
       {"0|C:|-|9|open", "1|a|-|60|open", "2|(14:03:27) b.txt|#ff0000|20|",
        "2|c.doc -> d.doc -> e.doc|#0000ff|21|", "2|b.txt|-|-|", "2|sub -> |#0000ff|50|open",
        "3|deep|-|-|open", "4|f.txt|-|-|", "2|C.DOC|-|-|", "1|(14:03:27) Users -> People|#ff0000|50|",
        "1|gone|-|-|open", "2|(14:03:27) x.txt|#ff0000|20|", "0|D:|-|9|open", "1|deep|-|-|open", "2|er|-|-|"},
       {"b.txt|-|Create|C:\\a\\|#008000|20|60",
        "c.doc|-|Create|C:\\a\\|#008000|21|60",
        "bob|-|New Directory|C:\\Users\\|#008000|50|61",
        "notes.txt|-|Create|C:\\Users\\bob\\|#008000|20|62",
        "b.txt|-|Update File|C:\\a\\|-|20|60",
        "c.doc|-|Attributes|C:\\a\\|-|50|60",
        "E:\\|-|Adding Drive|E:\\|-|50|64",
        "b.txt|-|Delete|C:\\a\\|#ff0000|20|60",
        "b.txt|-|Create|C:\\a\\|#008000|20|60",
        "bob|-|Delete Directory|C:\\Users\\|#ff0000|50|61",
        "x.txt|-|Delete|C:\\gone\\|#ff0000|20|-",
        "f.txt|-|Create|C:\\a\\sub\\deep\\|#008000|20|-",
        "c.doc|d.doc|Rename File|C:\\a\\|#0000ff|21|60",
        "Users|People|Rename Folder|C:\\|#0000ff|50|63",
        "sub||Rename Folder|C:\\a\\|#0000ff|50|60",
        "c.doc -> d.doc|e.doc|Rename File|C:\\a\\|#0000ff|21|60",
        "C.DOC|-|Update File|C:\\a\\|-|21|60",
        "C:\\|-|Update Directory|C:\\|-|50|63",
        "D:\\deep\\er\\|-|Update Directory|D:\\deep\\er\\|-|50|-",
        "Users -> People|-|Delete Directory|C:\\|#ff0000|50|63",
        "E:\\|-|Drive removed|E:\\|-|50|64",
        "-|-|Association||-|50|-"}},
      {"clean, then creations",
       {{"C:\\after\\clean.txt", "", EventKind::FileCreated},
        {"C:\\after\\sub", "", EventKind::FolderCreated}},
       {"0|C:|-|9|open", "1|after|-|-|open", "2|clean.txt|-|-|", "2|sub|-|-|"},
       {"clean.txt|-|Create|C:\\after\\|#008000|20|-", "sub|-|New Directory|C:\\after\\|#008000|50|-"}},
  };
  run(views, steps);
}

TEST(ShownViews, RecordInPosixStyle) {
  ShownViews views(PathStyle::Posix);
  const std::vector<Step> steps = {
      {"creations and renames",
       {{"/home/u/a.txt", "", EventKind::FileCreated},
        {"/home/u/dir", "", EventKind::FolderCreated},
        {"/home/u/dir/x", "", EventKind::FileUpdated},
        {"/home/u/a.txt", "/home/u/b.txt", EventKind::FileRenamed},
        {"/home/u/dir", "/home/u/dir2", EventKind::FolderRenamed}},
       {"0|/|-|9|open", "1|home|-|60|open", "2|u|-|61|open", "3|a.txt -> b.txt|#0000ff|20|",
        "3|dir -> dir2|#0000ff|50|open", "4|x|-|-|"},
       {"a.txt|-|Create|/home/u/|#008000|20|61", "dir|-|New Directory|/home/u/|#008000|50|61",
        "x|-|Update File|/home/u/dir/|-|9|-", "a.txt|b.txt|Rename File|/home/u/|#0000ff|20|61",
        "dir|dir2|Rename Folder|/home/u/|#0000ff|50|61"}},
      {"deletions and an overflow",
       {{"/home/u/dir -> dir2", "", EventKind::FolderDeleted},
        {"/home/u/a.txt", "", EventKind::FileDeleted},
        {"/", "", EventKind::FolderNeedsRescan},
        {"/home/u/c:d", "", EventKind::FileCreated}},
       {"0|/|-|9|open", "1|home|-|60|open", "2|u|-|61|open", "3|a.txt -> b.txt|#0000ff|20|",
        "3|(14:03:27) dir -> dir2|#ff0000|50|", "3|(14:03:27) a.txt|#ff0000|20|", "3|c:d|-|-|"},
       {"a.txt|-|Create|/home/u/|#008000|20|61", "dir|-|New Directory|/home/u/|#008000|50|61",
        "x|-|Update File|/home/u/dir/|-|9|-", "a.txt|b.txt|Rename File|/home/u/|#0000ff|20|61",
        "dir|dir2|Rename Folder|/home/u/|#0000ff|50|61",
        "dir -> dir2|-|Delete Directory|/home/u/|#ff0000|50|61", "a.txt|-|Delete|/home/u/|#ff0000|20|61",
        "/|-|Update Directory|/|-|50|63", "c:d|-|Create|/home/u/|#008000|9|61"}},
  };
  run(views, steps);
}

// A recording far bigger than the windows: the views ask the disk for the icons of the rows they
// show only, and those rows show the right ones; scrolling asks for the rows that come into
// view.
TEST(ShownViews, OnlyTheRowsShownAskTheDiskForTheirIcons) {
  ShownViews shown(PathStyle::Posix);
  constexpr int kFolders = 500;
  constexpr int kRows = 10 * kFolders;
  for (int i = 0; i < kFolders; ++i) shown.platform.objectIcons["/d/f" + std::to_string(i) + "/"] = 100 + i;
  std::vector<Event> batch;
  for (int i = 0; i < kRows; ++i)
    batch.push_back({"/d/f" + std::to_string(i % kFolders) + "/n" + std::to_string(i) + ".txt", "",
                     EventKind::FileCreated});
  shown.deliver(batch);
  ASSERT_EQ(shown.listModel.rowCount(), kRows);
  const int asked = shown.platform.lookups;
  EXPECT_GT(asked, 0) << "nothing shown asked";
  EXPECT_LT(asked, 200) << "rows not shown asked the disk";
  const auto workPathIcon = [&](int row) {
    return shown.listModel.index(row, static_cast<int>(ListColumn::WorkPath))
        .data(Qt::DecorationRole)
        .value<QIcon>()
        .cacheKey();
  };
  EXPECT_EQ(workPathIcon(3), shown.icons.icon(103).cacheKey());
  EXPECT_EQ(shown.platform.lookups, asked);  // row 3 is in view: asked already
  shown.listView.scrollToBottom();
  QApplication::processEvents();
  EXPECT_GT(shown.platform.lookups, asked);
  EXPECT_LT(shown.platform.lookups, 2 * 200);
  EXPECT_EQ(workPathIcon(kRows - 1), shown.icons.icon(100 + (kRows - 1) % kFolders).cacheKey());
}

}  // namespace
}  // namespace tw
