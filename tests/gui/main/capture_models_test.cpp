#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/system_icons.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

constexpr auto Win = PathStyle::Windows;

struct Event {
  const char* path;
  const char* newName;
  int num;
};

class CaptureModelsTest : public testing::Test {
 protected:
  CaptureModelsTest() {
    platform.typeIcons = {{".txt", 20}, {".doc", 21}};
    platform.unknownTypeIcon = 9;
    platform.objectIcons = {{"C:\\Windows\\", 50}, {"C:\\a\\", 60}, {"C:\\Users\\", 61}, {"C:\\docs\\", 70}};
    platform.clock = "14:03:27";
  }

  // Delivers events as the queue thread does: the tree (for the events it takes) and the
  // list, in one batch.
  void deliver(const std::vector<Event>& events) {
    tree.beginBatch();
    list.beginBatch();
    for (const Event& e : events) {
      if (isTreeEvent(e.num)) tree.addDirectoryFile(e.path, e.newName, e.num, Win);
      list.addListItem(e.path, e.newName, e.num, Win);
    }
    list.endBatch();
    tree.endBatch();
  }

  static bool isTreeEvent(int num) {
    return num == evCreate || num == evDelete || num == evMkDir || num == evRenameFolder ||
           num == evRenameItem || num == evRmDir || num == evUpdateDir || num == evUpdateItem;
  }

  // The tree as the core holds it, and as the model presents it: one line per node in absolute
  // order, indented by level.
  std::vector<std::string> coreDump() const {
    std::vector<std::string> lines;
    tree.forEachNode([&](NodeId n, int level) {
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') + std::string(tree.text(n)));
    });
    return lines;
  }
  void modelDump(const QModelIndex& parent, int level, std::vector<std::string>& lines) const {
    for (int row = 0; row < treeModel.rowCount(parent); ++row) {
      const QModelIndex index = treeModel.index(row, 0, parent);
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') +
                      treeModel.data(index).toString().toStdString());
      modelDump(index, level + 1, lines);
    }
  }
  std::vector<std::string> modelDump() const {
    std::vector<std::string> lines;
    modelDump(QModelIndex(), 0, lines);
    return lines;
  }

  // Every node with children is expanded in the view.
  void expectFullyExpanded(const CaptureTreeView& view) const {
    int checked = 0;
    tree.forEachNode([&](NodeId n, int) {
      if (tree.childCount(n) == 0) return;
      ++checked;
      EXPECT_TRUE(view.isExpanded(treeModel.indexOf(n))) << tree.nodePath(n, Win);
    });
    EXPECT_GT(checked, 0);
  }

  FakePlatform platform{PathStyle::Windows};
  CaptureTree tree{platform, platform};
  CaptureList list{platform, platform};
  SystemIcons icons{platform};
  CaptureTreeModel treeModel{tree, icons};
  CaptureListModel listModel{list, icons};
  QAbstractItemModelTester treeTester{&treeModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
  QAbstractItemModelTester listTester{&listModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// A recording: batches of creations, deletions (a folder's with its subtree, also one made in
// the same batch), renames, single events outside a batch, and Clean. After every step the
// models say what the core holds; the testers check each signal against the model's answers.
TEST_F(CaptureModelsTest, ModelsFollowARecordingThroughBatchesRemovalsAndClean) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 400);
  view.show();
  const std::vector<std::vector<Event>> batches = {
      {{"C:\\a\\b.txt", "", evCreate},
       {"C:\\a\\c.txt", "", evCreate},
       {"C:\\Users\\bob\\doc.doc", "", evCreate},
       {"C:\\Users\\bob\\new", "", evMkDir},
       {"C:\\Users\\bob\\new\\x.txt", "", evCreate},
       {"D:\\tmp\\y.txt", "", evCreate},
       {"C:\\a\\b.txt", "", evUpdateItem},
       {"C:\\a", "", evAttributes}},
      {{"C:\\a\\b.txt", "C:\\a\\b2.txt", evRenameItem},
       {"C:\\a\\c.txt", "", evDelete},
       {"C:\\a\\c.txt", "", evCreate},  // a fresh node beside the deleted one
       {"C:\\a\\deep\\er\\z.txt", "", evCreate},
       {"C:\\Users\\bob\\new", "", evRmDir},  // removes x.txt, shown since the last batch
       {"C:\\Users\\bob\\new\\again.txt", "", evCreate}},
      {{"C:\\a\\q\\r.txt", "", evCreate},  // made in this batch, then removed with its folder
       {"C:\\a", "", evRmDir},
       {"C:\\a\\s.txt", "", evCreate},
       {"D:\\tmp", "D:\\temp", evRenameFolder},
       {"D:\\tmp\\w.txt", "", evCreate}},
  };
  int rows = 0;
  for (const auto& batch : batches) {
    deliver(batch);
    rows += static_cast<int>(batch.size());
    view.expandNew();
    ASSERT_EQ(modelDump(), coreDump());
    ASSERT_EQ(listModel.rowCount(), rows);
    expectFullyExpanded(view);
  }
  EXPECT_EQ(modelDump(), (std::vector<std::string>{
                             "C:", "  (14:03:27) a", "  Users", "    bob", "      doc.doc",
                             "      (14:03:27) new", "      new", "        again.txt", "  a", "    s.txt",
                             "D:", "  tmp -> temp", "    y.txt", "  tmp", "    w.txt"}));
  // A single event outside a batch is announced at once.
  tree.addDirectoryFile("E:\\solo.txt", "", evCreate, Win);
  list.addListItem("E:\\solo.txt", "", evCreate, Win);
  EXPECT_EQ(modelDump(), coreDump());
  EXPECT_EQ(listModel.rowCount(), rows + 1);

  tree.clear();
  list.clear();
  EXPECT_EQ(treeModel.rowCount(), 0);
  EXPECT_EQ(listModel.rowCount(), 0);
  deliver({{"C:\\after\\clean.txt", "", evCreate}, {"C:\\after\\more\\x.doc", "", evCreate}});
  view.expandNew();
  EXPECT_EQ(modelDump(),
            (std::vector<std::string>{"C:", "  after", "    clean.txt", "    more", "      x.doc"}));
  EXPECT_EQ(listModel.rowCount(), 2);
  expectFullyExpanded(view);
}

TEST_F(CaptureModelsTest, ChangedNodesAreSignalledAndKeepTheirPersistentIndexes) {
  deliver({{"C:\\a\\b.txt", "", evCreate}, {"C:\\a\\c.txt", "", evCreate}, {"C:\\a\\d.txt", "", evCreate}});
  const QPersistentModelIndex b =
      treeModel.indexOf(tree.findNode("b.txt", tree.findNode("a", tree.findNode("C:", kNoNode))));
  const QPersistentModelIndex c = b.sibling(1, 0);
  const QPersistentModelIndex d = b.sibling(2, 0);
  ASSERT_TRUE(b.isValid());
  QSignalSpy changed(&treeModel, &QAbstractItemModel::dataChanged);
  deliver({{"C:\\a\\b.txt", "C:\\a\\b2.txt", evRenameItem}, {"C:\\a\\c.txt", "", evDelete}});
  // Neighbouring rows under one parent come as one range.
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>(), QModelIndex(b));
  EXPECT_EQ(changed[0][1].value<QModelIndex>(), QModelIndex(c));
  EXPECT_EQ(b.data().toString(), QStringLiteral("b.txt -> b2.txt"));
  EXPECT_EQ(c.data().toString(), QStringLiteral("(14:03:27) c.txt"));
  changed.clear();
  deliver(
      {{"C:\\a\\b.txt", "", evCreate}, {"C:\\a\\d.txt", "", evDelete}, {"C:\\a", "C:\\a2", evRenameFolder}});
  // d (row 2 of a) and a (row 0 of C:) are two ranges.
  ASSERT_EQ(changed.count(), 2);
  EXPECT_EQ(d.data().toString(), QStringLiteral("(14:03:27) d.txt"));
  EXPECT_EQ(d.parent().data().toString(), QStringLiteral("a -> a2"));
  // Removing the folder's children invalidates their indexes and keeps the folder's.
  const QPersistentModelIndex a = d.parent();
  tree.addDirectoryFile("C:\\a", "", evRmDir, Win);  // a is renamed: a fresh a, without children
  EXPECT_TRUE(d.isValid());
  tree.addDirectoryFile("C:\\a\\x.txt", "", evCreate, Win);
  const NodeId fresh = tree.findNode("a", tree.findNode("C:", kNoNode));
  tree.addDirectoryFile("C:\\a", "", evRmDir, Win);
  EXPECT_EQ(treeModel.rowCount(treeModel.indexOf(fresh)), 0);
  EXPECT_TRUE(a.isValid());
  EXPECT_TRUE(d.isValid());
  // The renamed folder keeps its children; a deleted one loses them.
  tree.addDirectoryFile("C:\\a -> a2", "", evRmDir, Win);
  EXPECT_TRUE(a.isValid());
  EXPECT_FALSE(d.isValid());
  EXPECT_EQ(treeModel.rowCount(a), 0);
}

TEST(MarkColours, BgrValuesBecomeTheirColours) {
  EXPECT_FALSE(markForeground(markPlain).isValid());
  EXPECT_FALSE(markForeground(7).isValid());
  EXPECT_FALSE(markForeground(-1).isValid());
  EXPECT_EQ(markForeground(markRenamed).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(markForeground(markDeleted).value<QColor>(), QColor(255, 0, 0));
  EXPECT_EQ(markForeground(markCreated).value<QColor>(), QColor(0, 128, 0));
}

TEST_F(CaptureModelsTest, EveryListCellTakesTheColourOfItsRowsEvent) {
  const struct {
    int event;
    std::optional<QColor> colour;
  } cases[] = {
      {evCreate, QColor(0, 128, 0)}, {evMkDir, QColor(0, 128, 0)},      {evDelete, QColor(255, 0, 0)},
      {evRmDir, QColor(255, 0, 0)},  {evRenameItem, QColor(0, 0, 255)}, {evRenameFolder, QColor(0, 0, 255)},
      {evUpdateItem, std::nullopt},  {evUpdateDir, std::nullopt},       {evAssociation, std::nullopt},
      {evAttributes, std::nullopt},
  };
  for (const auto& c : cases) deliver({{"C:\\docs\\a.txt", "C:\\docs\\b.txt", c.event}});
  ASSERT_EQ(listModel.rowCount(), static_cast<int>(std::size(cases)));
  for (int row = 0; row < listModel.rowCount(); ++row) {
    SCOPED_TRACE(cases[row].event);
    for (int column = 0; column < kListColumnCount; ++column) {
      const QVariant colour = listModel.index(row, column).data(Qt::ForegroundRole);
      if (cases[row].colour) {
        EXPECT_EQ(colour.value<QColor>(), *cases[row].colour) << column;
      } else {
        EXPECT_FALSE(colour.isValid()) << column;
      }
    }
  }
}

TEST_F(CaptureModelsTest, TreeNodesTakeTheColourOfTheirMark) {
  deliver({{"C:\\a\\b.txt", "", evCreate}, {"C:\\a\\c.txt", "", evCreate}, {"C:\\a\\d.txt", "", evCreate}});
  deliver({{"C:\\a\\b.txt", "C:\\a\\e.txt", evRenameItem}, {"C:\\a\\c.txt", "", evDelete}});
  const QModelIndex a = treeModel.index(0, 0, treeModel.index(0, 0));
  EXPECT_EQ(treeModel.index(0, 0, a).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(treeModel.index(1, 0, a).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
  EXPECT_FALSE(treeModel.index(2, 0, a).data(Qt::ForegroundRole).isValid());
  EXPECT_FALSE(a.data(Qt::ForegroundRole).isValid());
}

TEST_F(CaptureModelsTest, IconsComeFromTheSystemIconIndexes) {
  deliver({{"C:\\a\\b.txt", "", evCreate}, {"C:\\a\\b.txt", "", evDelete}});
  const auto iconOf = [](const QModelIndex& index) { return index.data(Qt::DecorationRole); };
  const auto sameIcon = [&](const QVariant& shown, int imageIndex) {
    return shown.canConvert<QIcon>() && !shown.value<QIcon>().isNull() &&
           shown.value<QIcon>().cacheKey() == icons.icon(imageIndex).cacheKey();
  };
  const QModelIndex root = treeModel.index(0, 0);
  const QModelIndex a = treeModel.index(0, 0, root);
  const QModelIndex b = treeModel.index(0, 0, a);
  EXPECT_TRUE(sameIcon(iconOf(root), 9));  // C: by its name: the unknown type
  EXPECT_TRUE(sameIcon(iconOf(a), 60));    // C:\a\ on disk
  EXPECT_TRUE(sameIcon(iconOf(b), 20));    // a deleted .txt file keeps its type
  deliver({{"C:\\a\\nothere", "", evMkDir}});
  EXPECT_FALSE(iconOf(treeModel.index(1, 0, a)).isValid());  // index 0: no icon

  // The list: the row's icon in From, the folder's in Work Path, none elsewhere.
  const int row = listModel.rowCount();
  deliver({{"C:\\docs\\a.txt", "C:\\docs\\b.txt", evRenameItem},
           {"C:\\docs\\old", "C:\\docs\\new", evRenameFolder}});
  EXPECT_TRUE(sameIcon(iconOf(listModel.index(row, colFrom)), 20));
  EXPECT_TRUE(sameIcon(iconOf(listModel.index(row, colWorkPath)), 70));
  EXPECT_FALSE(iconOf(listModel.index(row, colTo)).isValid());
  EXPECT_FALSE(iconOf(listModel.index(row, colAction)).isValid());
  EXPECT_TRUE(sameIcon(iconOf(listModel.index(row + 1, colFrom)), 50));  // the folder icon
  EXPECT_EQ(listModel.index(row, colFrom).data().toString(), QStringLiteral("a.txt"));
  EXPECT_EQ(listModel.index(row, colTo).data().toString(), QStringLiteral("b.txt"));
  EXPECT_EQ(listModel.index(row, colAction).data().toString(), QStringLiteral("Rename File"));
  EXPECT_EQ(listModel.index(row, colWorkPath).data().toString(), QStringLiteral("C:\\docs\\"));
}

TEST_F(CaptureModelsTest, ListHeadersAndFlags) {
  const char* captions[] = {"From", "To", "Action", "Work Path"};
  ASSERT_EQ(listModel.columnCount(), 4);
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(listModel.headerData(column, Qt::Horizontal).toString(), QString::fromLatin1(captions[column]));
  }
  deliver({{"C:\\docs\\a.txt", "", evCreate}});
  const Qt::ItemFlags flags = listModel.index(0, 0).flags();
  EXPECT_TRUE(flags & Qt::ItemIsSelectable);
  EXPECT_FALSE(flags & Qt::ItemIsEditable);
  EXPECT_FALSE(treeModel.index(0, 0).flags() & Qt::ItemIsEditable);
  // Texts that are not valid UTF-8 still show (with replacement characters), never crash.
  list.addListItem("C:\\docs\\\xFF\xFE.txt", "", evCreate, Win);
  EXPECT_FALSE(listModel.index(1, colFrom).data().toString().isEmpty());
}

// expandNew() expands exactly what is new: the expanded() signals of each call count the nodes
// that got children since the last call.
TEST_F(CaptureModelsTest, TreeViewExpandsOnlyNewNodesAndTheWholeTreeEndsExpanded) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 600);
  view.show();
  QSignalSpy expanded(&view, &QTreeView::expanded);
  deliver({{"C:\\a\\b.txt", "", evCreate}, {"C:\\c\\d\\e.txt", "", evCreate}});
  view.expandNew();
  EXPECT_EQ(expanded.count(), 4);  // C:, a, c, d
  expectFullyExpanded(view);

  expanded.clear();
  deliver({{"C:\\a\\f.txt", "", evCreate}, {"C:\\g\\h.txt", "", evCreate}, {"C:\\a\\b.txt", "", evCreate}});
  view.expandNew();
  EXPECT_EQ(expanded.count(), 1);  // g; C: and a were expanded already
  expectFullyExpanded(view);

  expanded.clear();
  view.expandNew();  // nothing new
  EXPECT_EQ(expanded.count(), 0);

  // After the relayout the deepest row is on screen.
  QApplication::processEvents();
  const NodeId e =
      tree.findNode("e.txt", tree.findNode("d", tree.findNode("c", tree.findNode("C:", kNoNode))));
  EXPECT_TRUE(view.visualRect(treeModel.indexOf(e)).isValid());

  // A node the user folds opens again with the next batch.
  const QModelIndex c = treeModel.indexOf(tree.findNode("c", tree.findNode("C:", kNoNode)));
  view.collapse(c);
  EXPECT_FALSE(view.isExpanded(c));
  deliver({{"C:\\a\\z.txt", "", evCreate}});
  view.expandNew();
  expectFullyExpanded(view);

  // After Clean, new nodes are expanded as before.
  tree.clear();
  deliver({{"C:\\x\\y\\z.txt", "", evCreate}, {"D:\\p\\q.txt", "", evCreate}});
  expanded.clear();
  view.expandNew();
  EXPECT_EQ(expanded.count(), 5);  // C:, x, y, D:, p
  expectFullyExpanded(view);
  QApplication::processEvents();
  expectFullyExpanded(view);
}

TEST_F(CaptureModelsTest, TreeViewSettings) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  EXPECT_TRUE(view.isHeaderHidden());
  EXPECT_TRUE(view.uniformRowHeights());
  EXPECT_EQ(view.indentation(), 19);
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(view.isSortingEnabled());
}

TEST_F(CaptureModelsTest, ListViewIsAReportWithItsColumnWidthsAlsoAfterClean) {
  CaptureListView view;
  view.setModel(&listModel);
  view.resize(640, 300);
  view.show();
  const int widths[] = {120, 120, 100, 255};
  for (int column = 0; column < 4; ++column) EXPECT_EQ(view.columnWidth(column), widths[column]);
  EXPECT_TRUE(view.showGrid());
  EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(view.verticalHeader()->isVisible());
  EXPECT_EQ(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  EXPECT_EQ(view.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Work Path"));

  deliver({{"C:\\docs\\a.txt", "", evCreate}, {"C:\\docs\\b.txt", "", evDelete}});
  view.setColumnWidth(1, 200);  // as the user drags it
  list.clear();
  deliver({{"C:\\docs\\c.txt", "", evCreate}});
  QApplication::processEvents();
  EXPECT_EQ(view.columnWidth(0), 120);
  EXPECT_EQ(view.columnWidth(1), 200);
  EXPECT_EQ(view.columnWidth(3), 255);
  EXPECT_EQ(view.model()->rowCount(), 1);
  EXPECT_TRUE(view.visualRect(listModel.index(0, colWorkPath)).isValid());
}

}  // namespace
}  // namespace tw
