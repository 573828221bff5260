#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_views.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/system_icons.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/forged_names.h"

namespace tw {
namespace {

struct Event {
  const char* path;
  const char* newName;
  EventKind kind;
};

class CaptureModelsTest : public testing::Test {
 protected:
  CaptureModelsTest() {
    platform.typeIcons = {{".txt", 20}, {".doc", 21}};
    platform.unknownTypeIcon = 9;
    platform.objectIcons = {{"C:\\Windows\\", 50}, {"C:\\a\\", 60}, {"C:\\Users\\", 61}, {"C:\\docs\\", 70}};
    platform.clock = "14:03:27";
  }

  // Delivers events as a recording does: the tree (for the kinds it takes) and the list, in one
  // batch.
  void deliver(const std::vector<Event>& events) {
    views.beginBatch();
    for (const Event& e : events) views.add(test::changeOf(e.path, e.newName, e.kind));
    views.endBatch();
  }
  // One change outside a batch.
  void file(const char* path, const char* newName, EventKind kind) {
    views.add(test::changeOf(path, newName, kind));
  }

  NodeId find(const std::vector<std::string>& path) const {
    NodeId node = kNoNode;
    for (const std::string& segment : path) node = tree().find(segment, node);
    return node;
  }
  const CaptureTree& tree() const { return views.tree(); }

  // The tree as the core holds it, and as the model presents it: one line per node in absolute
  // order, indented by level.
  std::vector<std::string> coreDump() const {
    std::vector<std::string> lines;
    tree().forEachNode([&](NodeId n, int level) {
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') +
                      views.presentation().nodeText(tree(), n));
    });
    return lines;
  }
  std::vector<std::string> modelDump() const {
    std::vector<std::string> lines;
    for (int row = 0; row < treeModel.rowCount(); ++row) {
      const QModelIndex index = treeModel.index(row);
      lines.push_back(std::string(static_cast<std::size_t>(treeModel.level(index)) * 2, ' ') +
                      index.data().toString().toStdString());
    }
    return lines;
  }

  // Every node with children is expanded in the view.
  void expectFullyExpanded(const CaptureTreeView& view) const {
    int checked = 0;
    tree().forEachNode([&](NodeId n, int) {
      if (tree().childCount(n) == 0) return;
      ++checked;
      EXPECT_TRUE(view.isExpanded(treeModel.indexOf(n))) << tree().path(n);
    });
    EXPECT_GT(checked, 0);
    EXPECT_EQ(static_cast<std::size_t>(treeModel.rowCount()), tree().nodeCount());
  }

  FakePlatform platform{PathStyle::Windows};
  CaptureViews views{platform, &platform, PathStyle::Windows};
  SystemIcons icons{platform};
  CaptureTreeModel treeModel{views, icons};
  CaptureListModel listModel{views, icons};
  QAbstractItemModelTester treeTester{&treeModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
  QAbstractItemModelTester listTester{&listModel, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

// A recording: batches of creations, deletions (a folder's with its subtree, also one made in
// the same batch), renames, single events outside a batch, and Clean. After every step the
// model shows what the core holds, every node expanded; the testers check each signal against
// the model's answers.
TEST_F(CaptureModelsTest, ModelsFollowARecordingThroughBatchesRemovalsAndClean) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 400);
  view.show();
  const std::vector<std::vector<Event>> batches = {
      {{"C:\\a\\b.txt", "", EventKind::FileCreated},
       {"C:\\a\\c.txt", "", EventKind::FileCreated},
       {"C:\\Users\\bob\\doc.doc", "", EventKind::FileCreated},
       {"C:\\Users\\bob\\new", "", EventKind::FolderCreated},
       {"C:\\Users\\bob\\new\\x.txt", "", EventKind::FileCreated},
       {"D:\\tmp\\y.txt", "", EventKind::FileCreated},
       {"C:\\a\\b.txt", "", EventKind::FileUpdated},
       {"C:\\a", "", EventKind::Attributes}},
      {{"C:\\a\\b.txt", "C:\\a\\b2.txt", EventKind::FileRenamed},
       {"C:\\a\\c.txt", "", EventKind::FileDeleted},
       {"C:\\a\\c.txt", "", EventKind::FileCreated},  // a fresh node beside the deleted one
       {"C:\\a\\deep\\er\\z.txt", "", EventKind::FileCreated},
       {"C:\\Users\\bob\\new", "", EventKind::FolderDeleted},  // removes x.txt, shown since the last batch
       {"C:\\Users\\bob\\new\\again.txt", "", EventKind::FileCreated}},
      {{"C:\\a\\q\\r.txt", "", EventKind::FileCreated},  // made in this batch, then removed with its folder
       {"C:\\a", "", EventKind::FolderDeleted},
       {"C:\\a\\s.txt", "", EventKind::FileCreated},
       {"D:\\tmp", "D:\\temp", EventKind::FolderRenamed},
       {"D:\\tmp\\w.txt", "", EventKind::FileCreated}},
  };
  int rows = 0;
  for (const auto& batch : batches) {
    deliver(batch);
    rows += static_cast<int>(batch.size());
    ASSERT_EQ(modelDump(), coreDump());
    ASSERT_EQ(listModel.rowCount(), rows);
    expectFullyExpanded(view);
  }
  EXPECT_EQ(modelDump(), (std::vector<std::string>{
                             "C:", "  (14:03:27) a", "  Users", "    bob", "      doc.doc",
                             "      (14:03:27) new", "      new", "        again.txt", "  a", "    s.txt",
                             "D:", "  tmp -> temp", "    y.txt", "  tmp", "    w.txt"}));
  // A single event outside a batch is announced at once.
  file("E:\\solo.txt", "", EventKind::FileCreated);
  EXPECT_EQ(modelDump(), coreDump());
  EXPECT_EQ(listModel.rowCount(), rows + 1);

  views.clear();
  EXPECT_EQ(treeModel.rowCount(), 0);
  EXPECT_EQ(listModel.rowCount(), 0);
  deliver({{"C:\\after\\clean.txt", "", EventKind::FileCreated},
           {"C:\\after\\more\\x.doc", "", EventKind::FileCreated}});
  EXPECT_EQ(modelDump(),
            (std::vector<std::string>{"C:", "  after", "    clean.txt", "    more", "      x.doc"}));
  EXPECT_EQ(listModel.rowCount(), 2);
  expectFullyExpanded(view);
}

TEST_F(CaptureModelsTest, ChangedNodesAreSignalledAndKeepTheirPersistentIndexes) {
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated},
           {"C:\\a\\c.txt", "", EventKind::FileCreated},
           {"C:\\a\\d.txt", "", EventKind::FileCreated}});
  const QPersistentModelIndex b = treeModel.indexOf(find({"C:", "a", "b.txt"}));
  const QPersistentModelIndex c = treeModel.indexOf(find({"C:", "a", "c.txt"}));
  const QPersistentModelIndex d = treeModel.indexOf(find({"C:", "a", "d.txt"}));
  ASSERT_TRUE(b.isValid());
  QSignalSpy changed(&treeModel, &QAbstractItemModel::dataChanged);
  deliver({{"C:\\a\\b.txt", "C:\\a\\b2.txt", EventKind::FileRenamed},
           {"C:\\a\\c.txt", "", EventKind::FileDeleted}});
  // Neighbouring rows come as one range.
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>(), QModelIndex(b));
  EXPECT_EQ(changed[0][1].value<QModelIndex>(), QModelIndex(c));
  EXPECT_EQ(b.data().toString(), QStringLiteral("b.txt -> b2.txt"));
  EXPECT_EQ(c.data().toString(), QStringLiteral("(14:03:27) c.txt"));
  changed.clear();
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated},
           {"C:\\a\\d.txt", "", EventKind::FileDeleted},
           {"C:\\a", "C:\\a2", EventKind::FolderRenamed}});
  // d and a are rows apart: two ranges.
  ASSERT_EQ(changed.count(), 2);
  EXPECT_EQ(d.data().toString(), QStringLiteral("(14:03:27) d.txt"));
  const QPersistentModelIndex a = treeModel.indexOf(tree().parent(CaptureTreeModel::nodeOf(d)));
  EXPECT_EQ(a.data().toString(), QStringLiteral("a -> a2"));
  // Rows inserted above keep the persistent indexes on their nodes.
  const int dRow = d.row();
  deliver({{"C:\\a -> a2\\b.txt -> b2.txt\\under", "", EventKind::FileCreated}});
  ASSERT_EQ(treeModel.index(b.row() + 1).data().toString(), QStringLiteral("under"));
  EXPECT_EQ(d.row(), dRow + 1);
  EXPECT_EQ(d.data().toString(), QStringLiteral("(14:03:27) d.txt"));
  EXPECT_EQ(tree().name(CaptureTreeModel::nodeOf(d)), "d.txt");
  // Removing the folder's children invalidates their indexes and keeps the folder's.
  file("C:\\a", "", EventKind::FolderDeleted);  // a is renamed: a fresh a, without children
  EXPECT_TRUE(d.isValid());
  file("C:\\a\\x.txt", "", EventKind::FileCreated);
  const NodeId fresh = find({"C:", "a"});
  file("C:\\a", "", EventKind::FolderDeleted);
  EXPECT_FALSE(treeModel.nodeHasChildren(treeModel.indexOf(fresh)));
  EXPECT_TRUE(a.isValid());
  EXPECT_TRUE(d.isValid());
  // The renamed folder keeps its children; a deleted one loses them.
  file("C:\\a -> a2", "", EventKind::FolderDeleted);
  EXPECT_TRUE(a.isValid());
  EXPECT_FALSE(d.isValid());
  EXPECT_FALSE(treeModel.nodeHasChildren(a));
  EXPECT_EQ(a.data().toString(), QStringLiteral("(14:03:27) a -> a2"));
}

TEST(MarkColours, MarksBecomeTheirColours) {
  EXPECT_FALSE(foregroundOf(markColour(Mark::Plain)).isValid());
  EXPECT_EQ(foregroundOf(markColour(Mark::Renamed)).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(foregroundOf(markColour(Mark::Deleted)).value<QColor>(), QColor(255, 0, 0));
  EXPECT_EQ(foregroundOf(markColour(Mark::Created)).value<QColor>(), QColor(0, 128, 0));
}

TEST_F(CaptureModelsTest, EveryListCellTakesTheColourOfItsRowsEvent) {
  const struct {
    EventKind kind;
    std::optional<QColor> colour;
  } cases[] = {
      {EventKind::FileCreated, QColor(0, 128, 0)}, {EventKind::FolderCreated, QColor(0, 128, 0)},
      {EventKind::FileDeleted, QColor(255, 0, 0)}, {EventKind::FolderDeleted, QColor(255, 0, 0)},
      {EventKind::FileRenamed, QColor(0, 0, 255)}, {EventKind::FolderRenamed, QColor(0, 0, 255)},
      {EventKind::FileUpdated, std::nullopt},      {EventKind::FolderNeedsRescan, std::nullopt},
      {EventKind::Association, std::nullopt},      {EventKind::Attributes, std::nullopt},
  };
  for (const auto& c : cases) deliver({{"C:\\docs\\a.txt", "C:\\docs\\b.txt", c.kind}});
  ASSERT_EQ(listModel.rowCount(), static_cast<int>(std::size(cases)));
  for (int row = 0; row < listModel.rowCount(); ++row) {
    SCOPED_TRACE(eventNumber(cases[row].kind));
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
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated},
           {"C:\\a\\c.txt", "", EventKind::FileCreated},
           {"C:\\a\\d.txt", "", EventKind::FileCreated}});
  deliver({{"C:\\a\\b.txt", "C:\\a\\e.txt", EventKind::FileRenamed},
           {"C:\\a\\c.txt", "", EventKind::FileDeleted}});
  // Rows: C:, a, b.txt -> e.txt, (time) c.txt, d.txt.
  EXPECT_EQ(treeModel.index(2).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(treeModel.index(3).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
  EXPECT_FALSE(treeModel.index(4).data(Qt::ForegroundRole).isValid());
  EXPECT_FALSE(treeModel.index(1).data(Qt::ForegroundRole).isValid());
}

TEST_F(CaptureModelsTest, IconsComeFromTheSystemIconIndexes) {
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated}, {"C:\\a\\b.txt", "", EventKind::FileDeleted}});
  const auto iconOf = [](const QModelIndex& index) { return index.data(Qt::DecorationRole); };
  const auto sameIcon = [&](const QVariant& shown, int imageIndex) {
    return shown.canConvert<QIcon>() && !shown.value<QIcon>().isNull() &&
           shown.value<QIcon>().cacheKey() == icons.icon(imageIndex).cacheKey();
  };
  EXPECT_TRUE(sameIcon(iconOf(treeModel.index(0)), 9));   // C: by its name: the unknown type
  EXPECT_TRUE(sameIcon(iconOf(treeModel.index(1)), 60));  // C:\a\ on disk
  EXPECT_TRUE(sameIcon(iconOf(treeModel.index(2)), 20));  // a deleted .txt file keeps its type
  deliver({{"C:\\a\\nothere", "", EventKind::FolderCreated}});
  EXPECT_FALSE(iconOf(treeModel.index(3)).isValid());  // index 0: no icon

  // The list: the row's icon in From, the folder's in Work Path, none elsewhere.
  const int row = listModel.rowCount();
  deliver({{"C:\\docs\\a.txt", "C:\\docs\\b.txt", EventKind::FileRenamed},
           {"C:\\docs\\old", "C:\\docs\\new", EventKind::FolderRenamed}});
  const auto cell = [&](int r, ListColumn column) { return listModel.index(r, static_cast<int>(column)); };
  EXPECT_TRUE(sameIcon(iconOf(cell(row, ListColumn::From)), 20));
  EXPECT_TRUE(sameIcon(iconOf(cell(row, ListColumn::WorkPath)), 70));
  EXPECT_FALSE(iconOf(cell(row, ListColumn::To)).isValid());
  EXPECT_FALSE(iconOf(cell(row, ListColumn::Action)).isValid());
  EXPECT_TRUE(sameIcon(iconOf(cell(row + 1, ListColumn::From)), 50));  // the folder icon
  EXPECT_EQ(cell(row, ListColumn::From).data().toString(), QStringLiteral("a.txt"));
  EXPECT_EQ(cell(row, ListColumn::To).data().toString(), QStringLiteral("b.txt"));
  EXPECT_EQ(cell(row, ListColumn::Action).data().toString(), QStringLiteral("Rename File"));
  EXPECT_EQ(cell(row, ListColumn::WorkPath).data().toString(), QStringLiteral("C:\\docs\\"));
}

// The views show a name's control characters as the report does: as their control pictures,
// so that a name shows on one row and in one cell.
TEST(ForgedNamesShown, TheViewsShowWhatTheReportWrites) {
  for (const test::ForgedName& forged : test::forgedNames()) {
    SCOPED_TRACE(forged.what);
    FakePlatform platform(forged.style);
    CaptureViews views(platform, nullptr, forged.style);
    SystemIcons icons(platform);
    CaptureTreeModel treeModel(views, icons);
    CaptureListModel listModel(views, icons);
    const Change change = test::changeOf(forged.folder + forged.name, "", EventKind::FileCreated);
    views.add(change);
    const ListCells cells = listCells(change, forged.style);
    const auto shown = [](const std::string& text) { return QString::fromUtf8(visibleText(text).c_str()); };
    EXPECT_EQ(listModel.index(0, static_cast<int>(ListColumn::From)).data().toString(), shown(cells.from));
    EXPECT_EQ(listModel.index(0, static_cast<int>(ListColumn::WorkPath)).data().toString(),
              shown(cells.workPath));
    for (int column = 0; column < kListColumnCount; ++column) {
      const QString text = listModel.index(0, column).data().toString();
      EXPECT_FALSE(text.contains(u'\r') || text.contains(u'\n') || text.contains(u'\t')) << column;
    }
    for (int row = 0; row < treeModel.rowCount(); ++row) {
      const QString text = treeModel.index(row).data().toString();
      EXPECT_FALSE(text.contains(u'\r') || text.contains(u'\n') || text.contains(u'\t')) << row;
    }
    if (forged.style == PathStyle::Posix) {
      EXPECT_EQ(treeModel.index(treeModel.rowCount() - 1).data().toString(), shown(forged.name));
    }
  }
}

TEST_F(CaptureModelsTest, ListHeadersAndFlags) {
  const char* captions[] = {"From", "To", "Action", "Work Path"};
  ASSERT_EQ(listModel.columnCount(), 4);
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(listModel.headerData(column, Qt::Horizontal).toString(), QString::fromLatin1(captions[column]));
  }
  deliver({{"C:\\docs\\a.txt", "", EventKind::FileCreated}});
  const Qt::ItemFlags flags = listModel.index(0, 0).flags();
  EXPECT_TRUE(flags & Qt::ItemIsSelectable);
  EXPECT_FALSE(flags & Qt::ItemIsEditable);
  EXPECT_FALSE(treeModel.index(0).flags() & Qt::ItemIsEditable);
  EXPECT_TRUE(treeModel.index(0).flags() & Qt::ItemIsSelectable);
  // Texts that are not valid UTF-8 still show (with replacement characters), never crash.
  file("C:\\docs\\\xFF\xFE.txt", "", EventKind::FileCreated);
  EXPECT_FALSE(listModel.index(1, static_cast<int>(ListColumn::From)).data().toString().isEmpty());
}

// Where the user scrolled away from the top, rows arriving above (or removed above) what the
// view shows do not move it; at the top the view stays at the top and shows the new rows.
TEST_F(CaptureModelsTest, TreeViewKeepsWhatTheUserScrolledTo) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 200);
  view.show();
  views.beginBatch();
  for (int i = 0; i < 60; ++i)
    views.add(test::changeOf("C:\\a\\f" + std::to_string(i) + ".txt", "", EventKind::FileCreated));
  for (int i = 0; i < 60; ++i)
    views.add(test::changeOf("D:\\b\\g" + std::to_string(i) + ".txt", "", EventKind::FileCreated));
  views.endBatch();
  QApplication::processEvents();
  const auto topNode = [&] { return CaptureTreeModel::nodeOf(view.indexAt(QPoint(5, 1))); };
  EXPECT_EQ(topNode(), find({"C:"}));

  // At the top: new rows above push nothing away from the top.
  deliver({{"C:\\a\\top.txt", "", EventKind::FileCreated}});
  QApplication::processEvents();
  EXPECT_EQ(view.verticalScrollBar()->value(), 0);

  // Scrolled to D:'s files: rows arriving under C:\a (above) and below leave them in place.
  view.scrollTo(treeModel.indexOf(find({"D:", "b", "g10.txt"})), QAbstractItemView::PositionAtTop);
  const NodeId held = topNode();
  ASSERT_EQ(held, find({"D:", "b", "g10.txt"}));
  const QRect before = view.visualRect(treeModel.indexOf(held));
  deliver({{"C:\\a\\new1.txt", "", EventKind::FileCreated},
           {"C:\\c\\new2.txt", "", EventKind::FileCreated},
           {"D:\\b\\g99.txt", "", EventKind::FileCreated}});
  QApplication::processEvents();
  EXPECT_EQ(topNode(), held);
  EXPECT_EQ(view.visualRect(treeModel.indexOf(held)), before);

  // A folder above deleted with its 60 files: the view follows the rows up.
  deliver({{"C:\\a", "", EventKind::FolderDeleted}});
  QApplication::processEvents();
  EXPECT_EQ(topNode(), held);
  EXPECT_EQ(view.visualRect(treeModel.indexOf(held)), before);
}

// New nodes come expanded without a call per node: no expanded() signal, every node with
// children open, every node a row. A node the user folds stays folded across batches that add
// under it, while new nodes elsewhere come expanded; after Clean new nodes come expanded as
// before.
TEST_F(CaptureModelsTest, TreeViewShowsNewNodesExpandedAndKeepsFoldedNodesFolded) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 600);
  view.show();
  QSignalSpy expanded(&view, &CaptureTreeView::expanded);
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated}, {"C:\\c\\d\\e.txt", "", EventKind::FileCreated}});
  expectFullyExpanded(view);
  deliver({{"C:\\a\\f.txt", "", EventKind::FileCreated},
           {"C:\\g\\h.txt", "", EventKind::FileCreated},
           {"C:\\a\\b.txt", "", EventKind::FileCreated}});
  expectFullyExpanded(view);
  EXPECT_EQ(expanded.count(), 0);

  // After the relayout the deepest row is on screen.
  QApplication::processEvents();
  const NodeId e = find({"C:", "c", "d", "e.txt"});
  EXPECT_TRUE(view.visualRect(treeModel.indexOf(e)).intersects(view.viewport()->rect()));

  // A node the user folds hides its subtree, and stays folded when a batch adds under it.
  QSignalSpy collapsed(&view, &CaptureTreeView::collapsed);
  const QModelIndex c = treeModel.indexOf(find({"C:", "c"}));
  const int shown = treeModel.rowCount();
  view.collapse(c);
  EXPECT_EQ(collapsed.count(), 1);
  EXPECT_FALSE(view.isExpanded(c));
  EXPECT_EQ(treeModel.rowCount(), shown - 2);  // d and e.txt
  EXPECT_FALSE(treeModel.indexOf(e).isValid());
  deliver({{"C:\\a\\z.txt", "", EventKind::FileCreated},
           {"C:\\c\\d\\y.txt", "", EventKind::FileCreated},
           {"C:\\c\\n\\m.txt", "", EventKind::FileCreated}});
  EXPECT_EQ(treeModel.rowCount(), shown - 1) << "only z.txt shows; what arrived under c stays hidden";
  EXPECT_FALSE(view.isExpanded(c));
  EXPECT_FALSE(treeModel.indexOf(find({"C:", "c", "n"})).isValid());
  EXPECT_TRUE(treeModel.indexOf(find({"C:", "a", "z.txt"})).isValid());
  view.expand(c);
  expectFullyExpanded(view);
  EXPECT_EQ(treeModel.rowCount(), shown + 4);  // z.txt, y.txt, n, m.txt

  // After Clean, new nodes are expanded as before.
  views.clear();
  deliver({{"C:\\x\\y\\z.txt", "", EventKind::FileCreated}, {"D:\\p\\q.txt", "", EventKind::FileCreated}});
  expectFullyExpanded(view);
  QApplication::processEvents();
  expectFullyExpanded(view);
}

// The view draws every row at its node's level: the item starts one indentation past its
// level's expander; the expander folds and unfolds without selecting; clicks select rows,
// several with Ctrl or Shift; Left and Right fold, unfold and walk to the parent and child.
TEST_F(CaptureModelsTest, TreeViewRowsSelectionAndKeyboard) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  view.resize(300, 400);
  view.show();
  deliver({{"C:\\a\\b.txt", "", EventKind::FileCreated},
           {"C:\\a\\c.txt", "", EventKind::FileCreated},
           {"C:\\d.txt", "", EventKind::FileCreated}});
  QApplication::processEvents();
  // Rows: C:, a, b.txt, c.txt, d.txt.
  ASSERT_EQ(treeModel.rowCount(), 5);
  const int height = view.rowHeight();
  for (int row = 0; row < 5; ++row) {
    const QRect rect = view.visualRect(treeModel.index(row));
    EXPECT_EQ(rect.height(), height);
    EXPECT_EQ(rect.top(), row * height);
    EXPECT_EQ(rect.left(), (treeModel.level(treeModel.index(row)) + 1) * view.indentation());
    EXPECT_EQ(view.indexAt(rect.center()), treeModel.index(row));
  }
  // The expander of a (level 1) folds it, and selects nothing.
  const QPoint expanderOfA(view.indentation() + view.indentation() / 2, height + height / 2);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, expanderOfA);
  EXPECT_FALSE(view.isExpanded(treeModel.index(1)));
  EXPECT_EQ(treeModel.rowCount(), 3);
  EXPECT_FALSE(view.selectionModel()->hasSelection());
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, expanderOfA);
  EXPECT_EQ(treeModel.rowCount(), 5);

  const auto rowCentre = [&](int row) { return view.visualRect(treeModel.index(row)).center(); };
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(2));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(4));
  EXPECT_EQ(view.selectionModel()->selectedRows().size(), 2);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(0));
  EXPECT_EQ(view.selectionModel()->selectedRows().size(), 5);
  // New rows inside the selected block are not selected; the selected nodes stay selected.
  deliver({{"C:\\a\\e.txt", "", EventKind::FileCreated}});
  ASSERT_EQ(treeModel.rowCount(), 6);
  EXPECT_EQ(view.selectionModel()->selectedRows().size(), 5);
  EXPECT_FALSE(view.selectionModel()->isSelected(treeModel.indexOf(find({"C:", "a", "e.txt"}))));

  // The keyboard: Left folds a, Left again goes to C:, Right opens, Right goes to the child.
  view.setFocus();
  view.setCurrentIndex(treeModel.indexOf(find({"C:", "a"})));
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_FALSE(view.isExpanded(view.currentIndex()));
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_EQ(CaptureTreeModel::nodeOf(view.currentIndex()), find({"C:"}));
  QTest::keyClick(&view, Qt::Key_Down);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_TRUE(view.isExpanded(view.currentIndex()));
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(CaptureTreeModel::nodeOf(view.currentIndex()), find({"C:", "a", "b.txt"}));
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.currentIndex().row(), treeModel.rowCount() - 1);
}

TEST_F(CaptureModelsTest, TreeViewSettings) {
  CaptureTreeView view;
  view.setModel(&treeModel);
  EXPECT_EQ(view.indentation(), 19);
  EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_GE(view.rowHeight(), 16);
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

  deliver({{"C:\\docs\\a.txt", "", EventKind::FileCreated}, {"C:\\docs\\b.txt", "", EventKind::FileDeleted}});
  view.setColumnWidth(1, 200);  // as the user drags it
  views.list().clear();
  deliver({{"C:\\docs\\c.txt", "", EventKind::FileCreated}});
  QApplication::processEvents();
  EXPECT_EQ(view.columnWidth(0), 120);
  EXPECT_EQ(view.columnWidth(1), 200);
  EXPECT_EQ(view.columnWidth(3), 255);
  EXPECT_EQ(view.model()->rowCount(), 1);
  EXPECT_TRUE(view.visualRect(listModel.index(0, static_cast<int>(ListColumn::WorkPath))).isValid());
}

}  // namespace
}  // namespace tw
