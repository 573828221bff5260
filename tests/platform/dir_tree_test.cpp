#include "platform/linux/dir_tree.h"

#include <gtest/gtest.h>

#include <set>

namespace tw::linuxfs {
namespace {

TEST(DirTree, PathsFollowRenamesOfAnyAncestor) {
  DirTree tree;
  const auto root = tree.addDetached("/data");
  const auto a = tree.addChild(root, "a");
  const auto b = tree.addChild(a, "b");
  const auto c = tree.addChild(b, "c");
  EXPECT_EQ(tree.path(c), "/data/a/b/c");
  EXPECT_EQ(tree.addChild(a, "b"), b) << "a known child is found, not added twice";
  EXPECT_EQ(tree.child(a, "b"), b);
  EXPECT_EQ(tree.child(a, "x"), 0u);

  tree.move(a, root, "renamed");
  EXPECT_EQ(tree.path(c), "/data/renamed/b/c");
  EXPECT_EQ(tree.child(root, "a"), 0u);

  // Moved under another folder, and out to a place given as a whole path.
  const auto other = tree.addChild(root, "other");
  tree.move(b, other, "b2");
  EXPECT_EQ(tree.path(c), "/data/other/b2/c");
  EXPECT_EQ(tree.path(a), "/data/renamed");
  tree.move(b, 0, "/elsewhere/b3");
  EXPECT_EQ(tree.path(c), "/elsewhere/b3/c");
  EXPECT_EQ(tree.child(other, "b2"), 0u);
}

TEST(DirTree, RemovalTakesTheSubtreeAndReportsEachNode) {
  DirTree tree;
  const auto root = tree.addDetached("/");
  const auto a = tree.addChild(root, "a");
  const auto b = tree.addChild(a, "b");
  const auto c = tree.addChild(b, "c");
  const auto keep = tree.addChild(root, "keep");
  EXPECT_EQ(tree.path(a), "/a") << "no doubled separator after the root";
  std::set<DirTree::NodeId> removed;
  tree.remove(a, [&](DirTree::NodeId id) { removed.insert(id); });
  EXPECT_EQ(removed, (std::set<DirTree::NodeId>{a, b, c}));
  EXPECT_FALSE(tree.contains(c));
  EXPECT_EQ(tree.path(c), "");
  EXPECT_EQ(tree.path(keep), "/keep");
  EXPECT_EQ(tree.child(root, "a"), 0u);
  // A new folder of the same name is a new node: ids are never reused.
  EXPECT_NE(tree.addChild(root, "a"), a);
}

TEST(DirTree, MovingOverAKnownFolderReplacesIt) {
  DirTree tree;
  const auto root = tree.addDetached("/r");
  const auto src = tree.addChild(root, "src");
  const auto dst = tree.addChild(root, "dst");
  const auto inDst = tree.addChild(dst, "old");
  tree.move(src, root, "dst");
  EXPECT_EQ(tree.child(root, "dst"), src);
  EXPECT_FALSE(tree.contains(dst));
  EXPECT_FALSE(tree.contains(inDst));
  EXPECT_EQ(tree.path(src), "/r/dst");
}

TEST(DirTree, SameOrBelow) {
  const struct {
    const char* path;
    const char* root;
    bool below;
  } table[] = {
      {"/a/b", "/a", true}, {"/a", "/a", true},  {"/ab", "/a", false},
      {"/b", "/a", false},  {"/x/y", "/", true}, {"/", "/", true},
  };
  for (const auto& row : table) {
    EXPECT_EQ(isSameOrBelowPath(row.path, row.root), row.below) << row.path << " in " << row.root;
  }
}

}  // namespace
}  // namespace tw::linuxfs
