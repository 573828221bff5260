#include "core/model/tree_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::changeOf;

// The rows a view shows, computed the plain way: every node in absolute order, skipping what is
// under a collapsed node.
std::vector<NodeId> shownByWalking(const CaptureTree& tree, const TreeRows& rows) {
  std::vector<NodeId> shown;
  std::vector<NodeId> stack;
  for (int r = tree.childCount(kNoNode) - 1; r >= 0; --r) stack.push_back(tree.child(kNoNode, r));
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    shown.push_back(node);
    if (!rows.isExpanded(node)) continue;
    for (int r = tree.childCount(node) - 1; r >= 0; --r) stack.push_back(tree.child(node, r));
  }
  return shown;
}

// A view's copy of the rows, kept from the calls alone; each call is checked against what the
// rows answer at that moment.
class MirrorRows : public TreeRowsObserver {
 public:
  explicit MirrorRows(const TreeRows& rows) : rows(rows) {}

  void rowsAboutToBeInserted(int first, int last) override {
    ASSERT_EQ(rows.rowCount(), static_cast<int>(shown.size())) << "still the old rows";
    ASSERT_LE(first, static_cast<int>(shown.size()));
    ASSERT_LE(first, last);
    pending = {first, last};
  }
  void rowsInserted(int first, int last) override {
    ASSERT_EQ(pending, std::make_pair(first, last));
    ASSERT_EQ(rows.rowCount(), static_cast<int>(shown.size()) + last - first + 1);
    std::vector<NodeId> added;
    for (int row = first; row <= last; ++row) added.push_back(rows.nodeAt(row));
    shown.insert(shown.begin() + first, added.begin(), added.end());
    ++insertions;
  }
  void rowsAboutToBeRemoved(int first, int last) override {
    ASSERT_EQ(rows.rowCount(), static_cast<int>(shown.size()));
    ASSERT_LE(0, first);
    ASSERT_LT(last, static_cast<int>(shown.size()));
    pending = {first, last};
  }
  void rowsRemoved(int first, int last) override {
    ASSERT_EQ(pending, std::make_pair(first, last));
    shown.erase(shown.begin() + first, shown.begin() + last + 1);
    ASSERT_EQ(rows.rowCount(), static_cast<int>(shown.size()));
    ++removals;
  }
  void rowsChanged(int first, int last) override {
    ASSERT_LE(0, first);
    ASSERT_LE(first, last);
    ASSERT_LT(last, rows.rowCount());
  }
  void rowsAboutToBeReset() override {}
  // A view that shows a batch when it ends finds every change in: no pair half done, the
  // rows as the calls left them.
  void batchEnded() override {
    ASSERT_EQ(rows.rowCount(), static_cast<int>(shown.size()));
    for (int row = 0; row < rows.rowCount(); ++row)
      ASSERT_EQ(rows.nodeAt(row), shown[static_cast<std::size_t>(row)]) << "row " << row;
    ++batchEnds;
  }
  // After a reset a view reads every row again.
  void rowsReset() override {
    shown.clear();
    for (int row = 0; row < rows.rowCount(); ++row) shown.push_back(rows.nodeAt(row));
  }

  std::vector<NodeId> shown;
  int insertions = 0;
  int removals = 0;
  int batchEnds = 0;

 private:
  const TreeRows& rows;
  std::pair<int, int> pending;
};

void expectRowsAre(const CaptureTree& tree, const TreeRows& rows, const std::vector<NodeId>& expected) {
  ASSERT_EQ(rows.rowCount(), static_cast<int>(expected.size()));
  for (int row = 0; row < rows.rowCount(); ++row) {
    ASSERT_EQ(rows.nodeAt(row), expected[static_cast<std::size_t>(row)]) << "row " << row;
    ASSERT_EQ(rows.rowOf(expected[static_cast<std::size_t>(row)]), row);
  }
  // Nodes not shown have no row.
  std::vector<bool> isShown(expected.empty() ? 1 : *std::max_element(expected.begin(), expected.end()) + 1);
  for (const NodeId node : expected) isShown[node] = true;
  tree.forEachNode([&](NodeId node, int) {
    if (node >= isShown.size() || !isShown[node]) {
      EXPECT_EQ(rows.rowOf(node), -1) << node;
    }
  });
}

// Random batches of creations, deletions (folders with their subtrees), renames and updates,
// with nodes folded and unfolded between and inside them: the rows are always those of the
// plain walk, and a view that follows the calls alone has the same rows.
TEST(TreeRows, FollowBatchesFoldsAndRemovalsExactly) {
  for (const PathStyle style : {PathStyle::Windows, PathStyle::Posix}) {
    FakePlatform platform(style);
    CaptureTree tree(platform, nullptr, style);
    TreeRows rows(tree);
    MirrorRows mirror(rows);
    rows.setObserver(&mirror);
    std::mt19937 random(style == PathStyle::Windows ? 21 : 22);
    const std::vector<std::string> names = {"a", "b", "c", "d", "e.t", "f.t"};
    const EventKind kinds[] = {EventKind::FileCreated,   EventKind::FileCreated,   EventKind::FolderCreated,
                               EventKind::FileDeleted,   EventKind::FolderDeleted, EventKind::FileRenamed,
                               EventKind::FolderRenamed, EventKind::FileUpdated};
    const char sep = pathSeparator(style);
    const auto someNode = [&]() -> NodeId {
      std::vector<NodeId> all;
      tree.forEachNode([&](NodeId node, int) { all.push_back(node); });
      return all.empty() ? kNoNode : all[random() % all.size()];
    };
    for (int batch = 0; batch < 400; ++batch) {
      tree.beginBatch();
      // Every fifth batch holds a nested one, whose end is not the batch's.
      if (batch % 5 == 0) tree.beginBatch();
      const int size = static_cast<int>(random() % 12);
      for (int i = 0; i < size; ++i) {
        if (batch % 5 == 0 && i == size / 2) {
          tree.endBatch();
          ASSERT_EQ(mirror.batchEnds, batch) << "a nested batch's end";
        }
        std::string path = style == PathStyle::Windows ? "R" : "/R";
        const int depth = 1 + static_cast<int>(random() % 5);
        for (int d = 0; d < depth; ++d) path += sep + names[random() % names.size()];
        tree.add(changeOf(path, "n" + std::string(1, sep) + names[random() % names.size()],
                          kinds[random() % std::size(kinds)]));
        if (random() % 8 == 0) rows.setExpanded(someNode(), random() % 2 == 0);  // the user, mid-batch
      }
      if (batch % 5 == 0 && size == 0) tree.endBatch();
      tree.endBatch();
      ASSERT_EQ(mirror.batchEnds, batch + 1) << "the batch's end, once";
      for (int fold = static_cast<int>(random() % 3); fold > 0; --fold) rows.setExpanded(someNode(), false);
      // The user unfolds what is folded: every third batch all of it, else one node.
      std::vector<NodeId> folded;
      tree.forEachNode([&](NodeId node, int) {
        if (!rows.isExpanded(node)) folded.push_back(node);
      });
      if (batch % 3 == 0) {
        for (const NodeId node : folded) rows.setExpanded(node, true);
      } else if (!folded.empty()) {
        rows.setExpanded(folded[random() % folded.size()], true);
      }
      const std::vector<NodeId> expected = shownByWalking(tree, rows);
      expectRowsAre(tree, rows, expected);
      ASSERT_EQ(mirror.shown, expected) << "after batch " << batch;
      if (batch == 200) {
        tree.clear();
        ASSERT_EQ(rows.rowCount(), 0);
        ASSERT_TRUE(mirror.shown.empty());
      }
    }
    EXPECT_GT(mirror.insertions, 100);
    EXPECT_GT(mirror.removals, 20);
  }
}

// New nodes come expanded; a node the user folds stays folded while changes arrive under it
// (and beside it), and unfolding it shows what arrived meanwhile, its new descendants expanded.
TEST(TreeRows, NodesComeExpandedAndFoldedOnesStayFolded) {
  FakePlatform platform(PathStyle::Windows);
  CaptureTree tree(platform, nullptr, PathStyle::Windows);
  TreeRows rows(tree);
  tree.add(changeOf("C:\\a\\b\\c.txt", "", EventKind::FileCreated));
  tree.add(changeOf("C:\\d.txt", "", EventKind::FileCreated));
  ASSERT_EQ(rows.rowCount(), 5);  // C:, a, b, c.txt, d.txt
  const NodeId a = tree.find("a", tree.find("C:", kNoNode));
  const NodeId b = tree.find("b", a);
  EXPECT_TRUE(rows.isExpanded(a));
  rows.setExpanded(b, false);
  rows.setExpanded(a, false);
  EXPECT_EQ(rows.rowCount(), 3);
  EXPECT_EQ(rows.rowOf(b), -1);
  EXPECT_EQ(rows.nodeAt(2), tree.find("d.txt", tree.find("C:", kNoNode)));
  tree.beginBatch();
  tree.add(changeOf("C:\\a\\b\\e.txt", "", EventKind::FileCreated));  // under two folded nodes
  tree.add(changeOf("C:\\a\\f\\g.txt", "", EventKind::FileCreated));  // a new folder under one
  tree.add(changeOf("C:\\h\\i.txt", "", EventKind::FileCreated));     // elsewhere
  tree.endBatch();
  EXPECT_FALSE(rows.isExpanded(a));
  EXPECT_FALSE(rows.isExpanded(b));
  const NodeId h = tree.find("h", tree.find("C:", kNoNode));
  EXPECT_TRUE(rows.isExpanded(h)) << "new nodes elsewhere still come expanded";
  EXPECT_EQ(rows.rowCount(), 5);  // C:, a, d.txt, h, i.txt
  EXPECT_EQ(rows.rowOf(tree.find("e.txt", b)), -1);
  rows.setExpanded(a, true);
  const NodeId f = tree.find("f", a);
  EXPECT_TRUE(rows.isExpanded(f));
  EXPECT_FALSE(rows.isExpanded(b)) << "unfolding a keeps the fold of b below it";
  EXPECT_EQ(rows.rowCount(), 8);  // C:, a, b, f, g.txt, d.txt, h, i.txt
  EXPECT_EQ(rows.rowOf(f), 3);
  rows.setExpanded(b, true);
  EXPECT_EQ(rows.rowCount(), 10);
  EXPECT_EQ(rows.rowOf(tree.find("e.txt", b)), 4);
}

// The rows a view shows under a filter, computed the plain way: a node shows when it or a
// descendant is chosen, and nothing under a collapsed node shows.
std::vector<NodeId> shownByWalkingFiltered(const CaptureTree& tree, const TreeRows& rows,
                                           const std::vector<bool>& chosen) {
  const auto isChosen = [&](NodeId node) { return node < chosen.size() && chosen[node]; };
  // Whether each node has a chosen node in its subtree, by walking it.
  const auto anyChosen = [&](NodeId top) {
    std::vector<NodeId> stack{top};
    while (!stack.empty()) {
      const NodeId node = stack.back();
      stack.pop_back();
      if (isChosen(node)) return true;
      for (int r = 0; r < tree.childCount(node); ++r) stack.push_back(tree.child(node, r));
    }
    return false;
  };
  std::vector<NodeId> shown;
  for (const NodeId node : shownByWalking(tree, rows)) {
    bool ancestorsShown = true;
    for (NodeId at = node; at != kNoNode; at = tree.parent(at))
      ancestorsShown = ancestorsShown && anyChosen(at);
    if (ancestorsShown) shown.push_back(node);
  }
  return shown;
}

// Random batches as above with a filter: nodes chosen now and then as they arrive (as list
// rows that match do), folders deleted with chosen nodes under them, folds made and undone,
// new choices and the filter's end. The rows are always those of the plain walk, and a view
// that follows the calls alone has the same rows.
TEST(TreeRows, FilterShowsChosenNodesWithTheirAncestorsThroughBatchesFoldsAndRemovals) {
  for (const PathStyle style : {PathStyle::Windows, PathStyle::Posix}) {
    FakePlatform platform(style);
    CaptureTree tree(platform, nullptr, style);
    TreeRows rows(tree);
    MirrorRows mirror(rows);
    rows.setObserver(&mirror);
    std::mt19937 random(style == PathStyle::Windows ? 31 : 32);
    const std::vector<std::string> names = {"a", "b", "c", "d", "e.t", "f.t"};
    const EventKind kinds[] = {EventKind::FileCreated, EventKind::FileCreated,   EventKind::FolderCreated,
                               EventKind::FileDeleted, EventKind::FolderDeleted, EventKind::FileRenamed,
                               EventKind::FileUpdated};
    const char sep = pathSeparator(style);
    std::vector<bool> chosen;
    const auto allNodes = [&] {
      std::vector<NodeId> all;
      tree.forEachNode([&](NodeId node, int) { all.push_back(node); });
      return all;
    };
    const auto choose = [&](std::vector<NodeId>& into, NodeId node) {
      if (chosen.size() <= node) chosen.resize(node + 1);
      chosen[node] = true;
      into.push_back(node);
    };
    int filteredChecks = 0;
    for (int batch = 0; batch < 300; ++batch) {
      tree.beginBatch();
      std::vector<NodeId> filed;
      const int size = static_cast<int>(random() % 12);
      for (int i = 0; i < size; ++i) {
        std::string path = style == PathStyle::Windows ? "R" : "/R";
        const int depth = 1 + static_cast<int>(random() % 5);
        for (int d = 0; d < depth; ++d) path += sep + names[random() % names.size()];
        filed.push_back(tree.add(changeOf(path, "n" + std::string(1, sep) + names[random() % names.size()],
                                          kinds[random() % std::size(kinds)])));
      }
      tree.endBatch();
      // Under a filter, some of the nodes just filed are chosen (a few twice, one perhaps gone
      // already).
      std::vector<NodeId> more;
      for (const NodeId node : filed) {
        if (rows.isFiltered() && random() % 3 == 0) choose(more, node);
      }
      if (!more.empty()) more.push_back(more.front());
      rows.showAlso(more);
      const std::vector<NodeId> all = allNodes();
      if (!all.empty() && random() % 3 == 0) rows.setExpanded(all[random() % all.size()], random() % 3 != 0);
      if (batch % 50 == 25) {  // a new choice: a few of the nodes there are
        chosen.assign(chosen.size(), false);
        std::vector<NodeId> nodes;
        for (const NodeId node : all) {
          if (random() % 5 == 0) choose(nodes, node);
        }
        rows.showOnly(nodes);
        EXPECT_TRUE(rows.isFiltered());
      } else if (batch % 50 == 49) {
        rows.showAll();
        chosen.assign(chosen.size(), false);
      } else if (batch % 50 == 0) {  // a choice of nothing, to which nodes are added as they come
        chosen.assign(chosen.size(), false);
        rows.showOnly({});
      }
      if (batch == 150) tree.clear();
      const std::vector<NodeId> expected =
          rows.isFiltered() ? shownByWalkingFiltered(tree, rows, chosen) : shownByWalking(tree, rows);
      expectRowsAre(tree, rows, expected);
      ASSERT_EQ(mirror.shown, expected) << "after batch " << batch;
      for (const NodeId node : expected) {
        // A node shows an expander only for children it shows.
        bool childShown = false;
        for (int r = 0; r < tree.childCount(node); ++r)
          childShown =
              childShown || (rows.isShown(tree.child(node, r)) && rows.isFiltered()) || !rows.isFiltered();
        ASSERT_EQ(rows.hasChildren(node), childShown && tree.childCount(node) > 0) << node;
      }
      if (rows.isFiltered() && expected.size() > 3) ++filteredChecks;
    }
    EXPECT_GT(filteredChecks, 50);
    EXPECT_GT(mirror.insertions, 100);
    EXPECT_GT(mirror.removals, 10);
  }
}

// Rows made for a tree that already has nodes.
TEST(TreeRows, StartFromATreeThatHasNodes) {
  FakePlatform platform(PathStyle::Posix);
  CaptureTree tree(platform, nullptr, PathStyle::Posix);
  tree.add(changeOf("/a/b/c", "", EventKind::FileCreated));
  tree.add(changeOf("/a/d", "", EventKind::FileCreated));
  TreeRows rows(tree);
  expectRowsAre(tree, rows, shownByWalking(tree, rows));
  EXPECT_EQ(rows.rowCount(), 5);
}

}  // namespace
}  // namespace tw
