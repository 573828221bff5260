#pragma once

#include <cstdint>
#include <vector>

#include "core/model/capture_tree.h"

namespace tw {

// Follows the rows of a TreeRows. Rows appear and go in blocks of consecutive rows; between an
// "about to" call and its partner the rows still answer as before, after the partner as after.
//
// Thread: called on the user-interface thread, from within the methods of the TreeRows or of
// the tree it follows.
class TreeRowsObserver {
 public:
  virtual ~TreeRowsObserver() = default;
  virtual void rowsAboutToBeInserted(int first, int last) = 0;
  virtual void rowsInserted(int first, int last) = 0;
  virtual void rowsAboutToBeRemoved(int first, int last) = 0;
  virtual void rowsRemoved(int first, int last) = 0;
  // What rows first..last show changed: a node's text, mark or icon, or whether it has children
  // or is expanded.
  virtual void rowsChanged(int first, int last) = 0;
  virtual void rowsAboutToBeReset() = 0;
  virtual void rowsReset() = 0;
  // The tree's batch has ended (CaptureTreeObserver::batchEnded): its changes are all in.
  virtual void batchEnded() {}
};

// The rows a tree view shows, one per node: the nodes of a capture tree in absolute order,
// except those under a collapsed node. A node is expanded from the moment it appears, so a
// tree grows fully expanded without a call per node; a node the user collapses stays collapsed
// until the user expands it, whatever arrives under it meanwhile (its new descendants come
// expanded, hidden under it).
//
// Each node knows how many rows its subtree shows below it, and each parent keeps the rows of
// its children as prefix sums (a Fenwick tree over the children in order), so the row of a node
// and the node at a row cost O(depth x log children), and a batch of new nodes or a removed
// subtree costs work in proportion to what changed, whatever the size of the tree. A view asks
// only for the rows it shows.
//
// A filter may choose which nodes are shown (showOnly): the chosen nodes and their ancestors.
// A node it hides shows no row, exactly as a node under a collapsed node, and the user's folds
// stay as they are. Each node counts the chosen nodes in its subtree, so a node chosen later
// (showAlso), a new node and a removed subtree cost O(depth) each, whatever the size of the
// tree; a new choice recomputes once over the tree.
//
// Thread: the user-interface thread. It is the tree's observer from its construction to its
// destruction (so it must not outlive the tree); uses, but does not own, its own observer.
class TreeRows : public CaptureTreeObserver {
 public:
  explicit TreeRows(CaptureTree& tree);
  ~TreeRows() override;
  TreeRows(const TreeRows&) = delete;
  TreeRows& operator=(const TreeRows&) = delete;

  const CaptureTree& tree() const { return captureTree; }
  void setObserver(TreeRowsObserver* newObserver) { observer = newObserver; }

  int rowCount() const { return static_cast<int>(below[kNoNode]); }
  // The node shown at a row (0 <= row < rowCount()).
  NodeId nodeAt(int row) const;
  // The row a node is shown at; -1 for a node not shown (under a collapsed node, hidden by the
  // filter, removed, or not
  // announced yet).
  int rowOf(NodeId node) const;
  // Whether the node has children the rows know of (with a filter: children it shows).
  bool hasChildren(NodeId node) const;
  // Whether the node's children are shown (when it has any).
  bool isExpanded(NodeId node) const { return node >= flags.size() || (flags[node] & kCollapsed) == 0; }
  // Whether the filter lets the node be shown: it is chosen or has a chosen descendant (every
  // node without a filter). A node it lets be shown has a row unless an ancestor is collapsed.
  bool isShown(NodeId node) const {
    return !filtering || node == kNoNode || (node < chosenBelow.size() && chosenBelow[node] > 0);
  }

  // Shows (expanded) or hides (collapsed) the children of a node; the user's command.
  void setExpanded(NodeId node, bool expanded);

  // The filter. showOnly shows only the given nodes and their ancestors (ids that are not
  // nodes, or not announced yet, are passed over; repeats count once); nodes that arrive later
  // are hidden until showAlso names them or a descendant. showAll ends the filter. Both
  // announce a reset; showAlso announces the rows that appear.
  void showOnly(const std::vector<NodeId>& nodes);
  void showAlso(const std::vector<NodeId>& nodes);
  void showAll();
  bool isFiltered() const { return filtering; }

  // Bytes held, for the benchmarks.
  std::size_t bytesUsed() const;

  // CaptureTreeObserver
  void nodesAboutToBeInserted(NodeId parent, int first, int last) override;
  void nodesInserted(NodeId parent, int first, int last) override;
  void nodesChanged(const std::vector<NodeId>& nodes) override;
  void nodesAboutToBeRemoved(NodeId parent, int first, int last) override;
  void nodesRemoved(NodeId parent, int first, int last) override;
  void treeAboutToBeCleared() override;
  void treeCleared() override;
  void batchEnded() override;

 private:
  // The rows of the children of one parent: a Fenwick tree over their weights (a child's weight
  // is its own row plus, when it is expanded, the rows below it). 1-based: sums[i] holds the
  // weights of children (i - lowbit(i), i].
  using Sums = std::vector<std::uint32_t>;

  void grow(NodeId node);
  // Whether the tree has announced the node (and not removed it).
  bool isKnown(NodeId node) const;
  // The same, cheaper, between the tree's announcements (when every id below knownEnd has been
  // announced).
  bool isAnnounced(NodeId node) const { return node < knownEnd && captureTree.isNode(node); }
  Sums* sumsOf(NodeId parent);
  const Sums* sumsOf(NodeId parent) const;
  Sums& makeSums(NodeId parent);
  void dropSums(NodeId parent);
  // The weight of a node in its parent's sums (0 for a node the filter hides).
  std::uint32_t weight(NodeId node) const {
    return isShown(node) ? 1 + (isExpanded(node) ? below[node] : 0) : 0;
  }
  // Changes the rows below `node` by delta and carries the change up through its expanded,
  // shown ancestors.
  void addBelow(NodeId node, std::int64_t delta);
  // The weight of `node` changed by delta: its parent's sums and rows below, and so on up
  // through expanded, shown ancestors.
  void carry(NodeId node, std::int64_t delta);
  // The chosen nodes under `node` (itself included) changed by delta, and so did those of its
  // ancestors: the nodes whose being shown flips appear or go as one block of rows.
  void recount(NodeId node, std::int64_t delta);
  // Makes every count and sum again from the chosen nodes (a new filter, or none).
  void rebuild();
  // Makes a node's sums and rows below from its children's weights.
  void sumChildren(NodeId node);
  // The row of a shown node's first child: its own row + 1 (0 for the top level); -1 when the
  // node's children are not shown.
  int childrenRow(NodeId node) const;
  // Makes up the rows of new nodes and their subtrees (all new); returns their total weight.
  std::uint64_t takeNewNodes(NodeId parent, int first, int last);

  static std::uint64_t prefix(const Sums& sums, std::size_t count);
  static void add(Sums& sums, std::size_t position, std::int64_t delta);
  static void append(Sums& sums, std::uint32_t value);

  CaptureTree& captureTree;
  TreeRowsObserver* observer = nullptr;
  // By node id: the rows shown below the node when it is expanded; its flags; where its
  // children's sums are (0: none); with a filter, the chosen nodes in its subtree.
  static constexpr std::uint8_t kCollapsed = 1;
  static constexpr std::uint8_t kChosen = 2;
  std::vector<std::uint32_t> below;
  std::vector<std::uint8_t> flags;
  std::vector<std::uint32_t> sumsIndex;
  std::vector<std::uint32_t> chosenBelow;
  bool filtering = false;
  // Every id below this one has been announced (or removed since).
  NodeId knownEnd = 1;
  std::vector<NodeId> chain;  // recount's scratch
  std::vector<Sums> sums;     // [0] is never used
  std::vector<std::uint32_t> freeSums;
  // Between nodesAboutToBeInserted and nodesInserted: the block's new rows.
  struct PendingBlock {
    std::uint64_t weight = 0;
    int firstRow = -1;  // -1: not shown
  } pending;
  // Between nodesAboutToBeRemoved and nodesRemoved: the rows going, and the chosen nodes.
  int removingFirst = -1;
  int removingLast = -1;
  std::uint32_t removingChosen = 0;
};

}  // namespace tw
