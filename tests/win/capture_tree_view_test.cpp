// The capture tree's view of the Windows program (an owner-data list view drawing the tree's shown
// rows): batches delivered to the main window's capture views become the rows, texts and levels
// the view shows; the user folds and unfolds nodes by keys, buttons and double clicks; the
// selected node and the node at the top stay where they are as rows come and go around them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "support/main_window_fixture.h"

// Last: its macros would clash with the names above.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace tw::win {
namespace {

using namespace tw::win::test;
using Texts = std::vector<std::string>;

Change created(const std::string& path) {
  Change c;
  c.kind = EventKind::FileCreated;
  c.path = path;
  c.time = std::chrono::system_clock::now();
  return c;
}

// Counts the count changes (LVM_SETITEMCOUNT) a list view is sent while it lives: each resets
// and repaints the view's visible scroll bars at once, which under Wine costs milliseconds.
class CountChanges {
 public:
  explicit CountChanges(HWND view) : view_(view) {
    SetWindowSubclass(view_, &procedure, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~CountChanges() { RemoveWindowSubclass(view_, &procedure, 1); }
  CountChanges(const CountChanges&) = delete;
  CountChanges& operator=(const CountChanges&) = delete;
  int sent = 0;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR self) {
    if (message == LVM_SETITEMCOUNT) ++reinterpret_cast<CountChanges*>(self)->sent;
    return DefSubclassProc(window, message, wParam, lParam);
  }
  HWND view_;
};

Change treated(EventKind kind, const std::string& path, const std::string& newPath = {}) {
  Change c = created(path);
  c.kind = kind;
  c.folder = kind == EventKind::FolderDeleted || kind == EventKind::FolderRenamed;
  c.newPath = newPath;
  return c;
}

class CaptureTreeViewTest : public MainWindowTest {
 protected:
  CaptureTreeView& tree() { return main().treeView(); }
  HWND view() { return tree().handle(); }

  // One batch, as a recording delivers it, and the messages after it (the view's update).
  void deliver(const std::vector<Change>& batch) {
    CaptureViews& views = main().captureViews();
    views.beginBatch();
    for (const Change& c : batch) views.add(c);
    views.endBatch();
    settleViews();
  }

  // The core tree's nodes in absolute order as the view should show them all expanded: each
  // node's text indented by two spaces per level.
  Texts treeNodes() {
    const CaptureViews& views = main().captureViews();
    Texts texts;
    views.tree().forEachNode([&](NodeId node, int level) {
      texts.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') +
                      views.presentation().nodeText(views.tree(), node));
    });
    return texts;
  }

  RECT rowRect(int row, int part) {
    RECT r{};
    r.left = part;
    SendMessageW(view(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    return r;
  }
  void clickLabel(int row) {
    const RECT r = rowRect(row, LVIR_LABEL);
    clickAt(view(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    pumpPending();
  }
  void press(unsigned key) {
    pressKey(view(), key);
    pumpPending();
  }

  // Selects row `selected` and scrolls row `top` to the top of the view, as a user would.
  void selectAndScroll(int selected, int top) {
    ListView_SetItemState(view(), selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    pumpPending();
    const RECT first = rowRect(0, LVIR_BOUNDS);
    ListView_Scroll(view(), 0, (top - ListView_GetTopIndex(view())) * (first.bottom - first.top));
    pumpPending();
  }

  const std::vector<Change> firstBatch = {created("Q:\\a\\x.txt"), created("Q:\\a\\b\\y.txt"),
                                          created("Q:\\c.txt")};
  const Texts firstRows = {"Q:", "  a", "    x.txt", "    b", "      y.txt", "  c.txt"};
};

// Each batch's rows appear where their nodes belong (new children after the subtrees of the
// older ones), renames and deletions change the texts, and a deleted folder's subtree goes.
TEST_F(CaptureTreeViewTest, BatchesShowTheTreesNodesInOrderAtTheirLevels) {
  const struct {
    std::vector<Change> batch;
    Texts rows;  // empty: as the core tree has them (texts with times)
  } steps[] = {
      {firstBatch, firstRows},
      {{created("Q:\\a\\z.txt"), created("Q:\\a\\b\\w.txt"), created("R:\\n.txt")},
       {"Q:", "  a", "    x.txt", "    b", "      y.txt", "      w.txt", "    z.txt", "  c.txt",
        "R:", "  n.txt"}},
      {{treated(EventKind::FolderRenamed, "Q:\\a\\b", "Q:\\a\\e"),
        treated(EventKind::FileRenamed, "R:\\n.txt", "R:\\m.txt")},
       {"Q:", "  a", "    x.txt", "    b -> e", "      y.txt", "      w.txt", "    z.txt", "  c.txt",
        "R:", "  n.txt -> m.txt"}},
      {{treated(EventKind::FileDeleted, "Q:\\a\\x.txt")}, {}},
      {{treated(EventKind::FolderDeleted, "Q:\\a"), created("Q:\\f\\g.txt")}, {}},
  };
  int step = 0;
  for (const auto& s : steps) {
    deliver(s.batch);
    const Texts shown = tree().shownTexts();
    EXPECT_EQ(shown, treeNodes()) << "batch " << step;
    if (!s.rows.empty()) {
      EXPECT_EQ(shown, s.rows) << "batch " << step;
    }
    ++step;
  }
  // The deleted file and the deleted folder show their time; the folder lost its subtree.
  const Texts last = tree().shownTexts();
  ASSERT_EQ(last.size(), 7u);
  EXPECT_EQ(last[1].rfind("  (", 0), 0u) << last[1];
  EXPECT_EQ(last[1].substr(last[1].size() - 3), ") a") << last[1];
  EXPECT_EQ(last[2], "  c.txt");
  EXPECT_EQ(last[3], "  f");
  EXPECT_EQ(last[4], "    g.txt");

  // Clean empties the view.
  main().captureViews().clear();
  pumpPending();
  EXPECT_EQ(tree().shownRowCount(), 0);
}

// Left folds the selected node (or, on a folded one or a leaf, goes to its parent), Right
// unfolds it (or goes to its first child), - and + fold and unfold; a node's button and a
// double click toggle it. What arrives under a folded node stays hidden until it is unfolded.
TEST_F(CaptureTreeViewTest, TheUserFoldsAndUnfoldsNodesThatStayFoldedAsChangesArrive) {
  deliver(firstBatch);
  ASSERT_EQ(tree().shownTexts(), firstRows);
  clickLabel(1);
  ASSERT_EQ(tree().selectedRow(), 1);

  press(VK_LEFT);
  EXPECT_EQ(tree().shownTexts(), (Texts{"Q:", "  a", "  c.txt"}));
  deliver({created("Q:\\a\\new.txt"), created("Q:\\d.txt")});
  EXPECT_EQ(tree().shownTexts(), (Texts{"Q:", "  a", "  c.txt", "  d.txt"}));
  EXPECT_EQ(tree().selectedRow(), 1);
  const Texts unfolded = {"Q:",          "  a",         "    x.txt", "    b",
                          "      y.txt", "    new.txt", "  c.txt",   "  d.txt"};
  press(VK_RIGHT);
  EXPECT_EQ(tree().shownTexts(), unfolded);
  press(VK_RIGHT);
  EXPECT_EQ(tree().selectedRow(), 2);  // the first child
  press(VK_LEFT);
  EXPECT_EQ(tree().selectedRow(), 1);  // a leaf goes to its parent
  press(VK_SUBTRACT);
  EXPECT_EQ(tree().shownRowCount(), 4);
  press(VK_ADD);
  EXPECT_EQ(tree().shownTexts(), unfolded);

  // The button of "b" (row 3) folds it and unfolds it again; the selection stays on "a".
  const auto button = tree().expandButton(3);
  ASSERT_TRUE(button.has_value());
  EXPECT_FALSE(tree().expandButton(2).has_value());  // a leaf has none
  clickAt(view(), button->left + button->width / 2, button->top + button->height / 2);
  pumpPending();
  EXPECT_EQ(tree().shownTexts(),
            (Texts{"Q:", "  a", "    x.txt", "    b", "    new.txt", "  c.txt", "  d.txt"}));
  EXPECT_EQ(tree().selectedRow(), 1);
  clickAt(view(), button->left + button->width / 2, button->top + button->height / 2);
  pumpPending();
  EXPECT_EQ(tree().shownTexts(), unfolded);

  // A double click on the root's text folds everything under it.
  const RECT root = rowRect(0, LVIR_LABEL);
  doubleClickAt(view(), (root.left + root.right) / 2, (root.top + root.bottom) / 2);
  pumpPending();
  EXPECT_EQ(tree().shownTexts(), (Texts{"Q:"}));
}

// Rows that arrive or go above the selected node move the selection with it; rows arriving
// above the first row shown leave the view showing the same rows.
TEST_F(CaptureTreeViewTest, TheSelectedNodeAndTheTopRowStayAsRowsComeAndGo) {
  // Children keep the order they came in: "a" comes before "z".
  std::vector<Change> many = {created("Q:\\a\\keep.txt")};
  for (int i = 0; i < 200; ++i) many.push_back(created("Q:\\z\\file" + std::to_string(1000 + i) + ".txt"));
  deliver(many);
  ASSERT_EQ(tree().shownRowCount(), 204);
  // Selected: a file far down; scrolled so that row 51 is at the top.
  selectAndScroll(101, 51);
  ASSERT_EQ(ListView_GetTopIndex(view()), 51);
  const std::string topText = tree().shownText(51), selectedText = tree().shownText(101);

  // Two rows above both.
  deliver({created("Q:\\a\\one.txt"), created("Q:\\a\\two.txt")});
  EXPECT_EQ(tree().shownRowCount(), 206);
  EXPECT_EQ(tree().selectedRow(), 103);
  EXPECT_EQ(tree().shownText(tree().selectedRow()), selectedText);
  EXPECT_EQ(ListView_GetTopIndex(view()), 53);
  EXPECT_EQ(tree().shownText(ListView_GetTopIndex(view())), topText);

  // The folder above deleted (it keeps its own row, its subtree goes): the rows move back.
  deliver({treated(EventKind::FolderDeleted, "Q:\\a")});
  EXPECT_EQ(tree().shownRowCount(), 203);
  EXPECT_EQ(tree().selectedRow(), 100);
  EXPECT_EQ(tree().shownText(tree().selectedRow()), selectedText);
  EXPECT_EQ(ListView_GetTopIndex(view()), 50);
  EXPECT_EQ(tree().shownText(ListView_GetTopIndex(view())), topText);

  // The selected node itself deleted (its folder's subtree goes): nothing is selected.
  deliver({treated(EventKind::FolderDeleted, "Q:\\z")});
  EXPECT_EQ(tree().selectedRow(), -1);
}

// A batch reaches the view whole when it ends, however often the tree announced within it (it
// announces what it has before each removal) and whatever messages ran between its steps: until
// then the view keeps its rows, selection and top row; then it shows the batch's result with
// the selected node and the top node where they were.
// A batch sets a view's count only when the view shows a different number of rows after it, and
// the views show every row of the batch all the same: texts, counts, the selection.
TEST_F(CaptureTreeViewTest, ABatchSetsAViewsCountOnlyWhenItsShownRowsCountChanged) {
  deliver(firstBatch);
  ASSERT_EQ(tree().shownTexts(), firstRows);
  selectAndScroll(3, 0);
  const struct {
    const char* what;
    const char* filter;
    std::vector<Change> batch;
    int treeSets, listSets;
  } cases[] = {
      {"files seen before: new list rows, no new node",
       "",
       {created("Q:\\a\\x.txt"), created("Q:\\c.txt")},
       0,
       1},
      {"a new file: a new node and a list row", "", {created("Q:\\a\\b\\z.txt")}, 1, 1},
      {"a renamed file: the node's text changes, not the count",
       "",
       {treated(EventKind::FileRenamed, "Q:\\c.txt", "Q:\\d.txt")},
       0,
       1},
      {"list rows the filter hides", "x.txt", {created("Q:\\a\\b\\z.txt"), created("Q:\\a\\b\\y.txt")}, 0, 0},
      {"a list row the filter shows", "x.txt", {created("Q:\\a\\x.txt")}, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureListView& list = main().listView();
    list.setFilterText(c.filter);
    pumpPending();
    const std::string selected = tree().shownText(tree().selectedRow());
    {
      CountChanges treeSets(view()), listSets(list.handle());
      deliver(c.batch);
      EXPECT_EQ(treeSets.sent, c.treeSets);
      EXPECT_EQ(listSets.sent, c.listSets);
    }
    EXPECT_EQ(tree().shownTexts(), treeNodes());
    EXPECT_EQ(tree().shownText(tree().selectedRow()), selected);
    EXPECT_EQ(list.shownRowCount(), list.filter().shownCount());
    // The last row shown is the last row that matches, as the presentation writes it.
    const int last = list.shownRowCount() - 1;
    ASSERT_GE(last, 0);
    const CaptureViews& views = main().captureViews();
    for (int column = 0; column < kListColumnCount; ++column)
      EXPECT_EQ(list.shownCell(last, column), views.presentation().cellText(views.list(), list.listRow(last),
                                                                            static_cast<ListColumn>(column)));
  }
}

TEST_F(CaptureTreeViewTest, ABatchWithRemovalsReachesTheViewOnceWhenItEnds) {
  std::vector<Change> many = {created("Q:\\a\\keep.txt"), created("Q:\\b\\keep.txt")};
  for (int i = 0; i < 200; ++i) many.push_back(created("Q:\\z\\file" + std::to_string(1000 + i) + ".txt"));
  deliver(many);
  ASSERT_EQ(tree().shownRowCount(), 206);
  selectAndScroll(103, 53);
  ASSERT_EQ(ListView_GetTopIndex(view()), 53);
  const std::string topText = tree().shownText(53), selectedText = tree().shownText(103);

  // Steps of one batch, with the thread's messages run between them, as a recording delivers.
  const std::vector<std::vector<Change>> steps = {
      {created("Q:\\a\\one.txt"), created("Q:\\a\\two.txt")},
      {treated(EventKind::FolderDeleted, "Q:\\a"), created("Q:\\b\\three.txt")},
      {treated(EventKind::FolderDeleted, "Q:\\b"), created("Q:\\c\\four.txt")},
  };
  CaptureViews& views = main().captureViews();
  views.beginBatch();
  for (const auto& step : steps) {
    for (const Change& c : step) views.add(c);
    pumpPending();
    EXPECT_EQ(tree().shownRowCount(), 206);
    EXPECT_EQ(tree().selectedRow(), 103);
    EXPECT_EQ(ListView_GetTopIndex(view()), 53);
  }
  views.endBatch();
  settleViews();
  // "a" and "b" lost their subtrees' rows above both; "c" and its file came after "z".
  EXPECT_EQ(tree().shownTexts(), treeNodes());
  ASSERT_EQ(tree().shownRowCount(), 206);
  EXPECT_EQ(tree().shownText(205), "four.txt");
  EXPECT_EQ(tree().selectedRow(), 101);
  EXPECT_EQ(tree().shownText(tree().selectedRow()), selectedText);
  EXPECT_EQ(ListView_GetTopIndex(view()), 51);
  EXPECT_EQ(tree().shownText(ListView_GetTopIndex(view())), topText);
}

}  // namespace
}  // namespace tw::win
