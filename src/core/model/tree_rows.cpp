#include "core/model/tree_rows.h"

#include <algorithm>
#include <bit>

namespace tw {

TreeRows::TreeRows(CaptureTree& tree) : captureTree(tree) {
  treeCleared();
  // The nodes the tree has already announced, as one block at the top level.
  if (const int roots = captureTree.childCount(kNoNode); roots > 0) {
    nodesAboutToBeInserted(kNoNode, 0, roots - 1);
    nodesInserted(kNoNode, 0, roots - 1);
  }
  captureTree.setObserver(this);
}

TreeRows::~TreeRows() { captureTree.setObserver(nullptr); }

// --- Prefix sums --------------------------------------------------------------------------

std::uint64_t TreeRows::prefix(const Sums& sums, std::size_t count) {
  std::uint64_t total = 0;
  for (std::size_t i = count; i > 0; i &= i - 1) total += sums[i];
  return total;
}

void TreeRows::add(Sums& sums, std::size_t position, std::int64_t delta) {
  const std::size_t n = sums.size() - 1;
  for (std::size_t i = position; i <= n; i += i & (~i + 1))
    sums[i] = static_cast<std::uint32_t>(static_cast<std::int64_t>(sums[i]) + delta);
}

void TreeRows::append(Sums& sums, std::uint32_t value) {
  // The new entry covers (i - lowbit(i), i]: its own value and the entries it takes over.
  const std::size_t i = sums.size();
  const std::size_t from = i - (i & (~i + 1));
  std::uint64_t total = value;
  for (std::size_t j = i - 1; j > from; j &= j - 1) total += sums[j];
  sums.push_back(static_cast<std::uint32_t>(total));
}

TreeRows::Sums* TreeRows::sumsOf(NodeId parent) {
  return parent < sumsIndex.size() && sumsIndex[parent] != 0 ? &sums[sumsIndex[parent]] : nullptr;
}

const TreeRows::Sums* TreeRows::sumsOf(NodeId parent) const {
  return parent < sumsIndex.size() && sumsIndex[parent] != 0 ? &sums[sumsIndex[parent]] : nullptr;
}

TreeRows::Sums& TreeRows::makeSums(NodeId parent) {
  if (Sums* existing = sumsOf(parent)) return *existing;
  std::uint32_t at = 0;
  if (!freeSums.empty()) {
    at = freeSums.back();
    freeSums.pop_back();
  } else {
    at = static_cast<std::uint32_t>(sums.size());
    sums.emplace_back();
  }
  sumsIndex[parent] = at;
  sums[at].assign(1, 0);  // [0] is not an entry
  return sums[at];
}

void TreeRows::dropSums(NodeId parent) {
  if (parent >= sumsIndex.size() || sumsIndex[parent] == 0) return;
  Sums().swap(sums[sumsIndex[parent]]);
  freeSums.push_back(sumsIndex[parent]);
  sumsIndex[parent] = 0;
}

// --- Reading ------------------------------------------------------------------------------

NodeId TreeRows::nodeAt(int row) const {
  NodeId parent = kNoNode;
  auto rest = static_cast<std::uint64_t>(row);
  for (;;) {
    const Sums& s = *sumsOf(parent);
    // The last child whose earlier siblings show no more than `rest` rows.
    const std::size_t n = s.size() - 1;
    std::size_t position = 0;
    for (std::size_t step = std::bit_floor(n); step > 0; step >>= 1) {
      if (position + step <= n && s[position + step] <= rest) {
        position += step;
        rest -= s[position];
      }
    }
    const NodeId node = captureTree.child(parent, static_cast<int>(position));
    if (rest == 0) return node;
    rest -= 1;  // the node's own row; the rest is below it
    parent = node;
  }
}

int TreeRows::rowOf(NodeId node) const {
  if (!captureTree.isNode(node) || node >= below.size() || !isShown(node)) return -1;
  std::uint64_t row = 0;
  for (NodeId at = node; at != kNoNode;) {
    const NodeId parent = captureTree.parent(at);
    if (!isExpanded(parent)) return -1;
    const Sums* s = sumsOf(parent);
    const auto index = static_cast<std::size_t>(captureTree.row(at));
    if (s == nullptr || index + 1 >= s->size()) return -1;  // not announced yet
    row += prefix(*s, index) + (parent != kNoNode ? 1 : 0);
    at = parent;
  }
  return static_cast<int>(row);
}

bool TreeRows::hasChildren(NodeId node) const {
  if (filtering) return node < below.size() && below[node] > 0;
  const Sums* s = sumsOf(node);
  return s != nullptr && s->size() > 1;
}

int TreeRows::childrenRow(NodeId node) const {
  if (node == kNoNode) return 0;
  if (!isExpanded(node)) return -1;
  const int row = rowOf(node);
  return row < 0 ? -1 : row + 1;
}

// --- Changes ------------------------------------------------------------------------------

void TreeRows::grow(NodeId node) {
  if (node < below.size()) return;
  const std::size_t size = std::max<std::size_t>(node + 1, below.size() + below.size() / 2);
  below.resize(size, 0);
  flags.resize(size, 0);
  sumsIndex.resize(size, 0);
  if (filtering) chosenBelow.resize(size, 0);
}

void TreeRows::addBelow(NodeId node, std::int64_t delta) {
  below[node] = static_cast<std::uint32_t>(static_cast<std::int64_t>(below[node]) + delta);
  // The node's weight in its parent changes with it while it is expanded and shown.
  if (node != kNoNode && isExpanded(node) && isShown(node)) carry(node, delta);
}

void TreeRows::carry(NodeId node, std::int64_t delta) {
  for (NodeId at = node; at != kNoNode;) {
    const NodeId parent = captureTree.parent(at);
    add(*sumsOf(parent), static_cast<std::size_t>(captureTree.row(at)) + 1, delta);
    below[parent] = static_cast<std::uint32_t>(static_cast<std::int64_t>(below[parent]) + delta);
    // A collapsed parent's own weight stays, and so does a hidden one's (0).
    if (!isExpanded(parent) || !isShown(parent)) return;
    at = parent;
  }
}

std::uint64_t TreeRows::takeNewNodes(NodeId parent, int first, int last) {
  // Every node under a new node is new too: their rows are made up bottom-up, each parent's
  // sums from its children's weights in one pass.
  std::uint64_t total = 0;
  struct Frame {
    NodeId node;
    int next;
  };
  std::vector<Frame> stack;
  const auto enter = [&](NodeId node) {
    grow(node);  // a new id: no rows below it, expanded, no sums yet
    stack.push_back({node, 0});
  };
  for (int r = first; r <= last; ++r) {
    enter(captureTree.child(parent, r));
    while (!stack.empty()) {
      const NodeId node = stack.back().node;
      const int count = captureTree.childCount(node);
      if (stack.back().next < count) {
        enter(captureTree.child(node, stack.back().next++));
        continue;
      }
      stack.pop_back();
      knownEnd = std::max(knownEnd, node + 1);
      if (count > 0) sumChildren(node);
    }
    total += weight(captureTree.child(parent, r));
  }
  return total;
}

void TreeRows::sumChildren(NodeId node) {
  const int count = captureTree.childCount(node);
  if (count == 0) {
    dropSums(node);
    below[node] = 0;
    return;
  }
  Sums& s = makeSums(node);
  s.resize(static_cast<std::size_t>(count) + 1);
  std::uint64_t rows = 0;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t w = weight(captureTree.child(node, i));
    s[static_cast<std::size_t>(i) + 1] = w;
    rows += w;
  }
  for (std::size_t i = 1; i < s.size(); ++i) {
    const std::size_t up = i + (i & (~i + 1));
    if (up < s.size()) s[up] += s[i];
  }
  below[node] = static_cast<std::uint32_t>(rows);
}

void TreeRows::nodesAboutToBeInserted(NodeId parent, int first, int last) {
  pending.weight = takeNewNodes(parent, first, last);
  const int childRow = childrenRow(parent);
  // Under a filter new nodes come hidden: they show no row until they are chosen.
  pending.firstRow = childRow < 0 || pending.weight == 0 ? -1 : childRow + static_cast<int>(below[parent]);
  if (pending.firstRow >= 0 && observer != nullptr) {
    observer->rowsAboutToBeInserted(pending.firstRow,
                                    pending.firstRow + static_cast<int>(pending.weight) - 1);
  }
}

void TreeRows::nodesInserted(NodeId parent, int first, int last) {
  Sums& s = makeSums(parent);
  for (int r = first; r <= last; ++r) append(s, weight(captureTree.child(parent, r)));
  addBelow(parent, static_cast<std::int64_t>(pending.weight));
  if (observer == nullptr) return;
  if (pending.firstRow >= 0) {
    observer->rowsInserted(pending.firstRow, pending.firstRow + static_cast<int>(pending.weight) - 1);
  }
  // A parent that had no children now shows that it has.
  if (first == 0 && parent != kNoNode) {
    if (const int row = rowOf(parent); row >= 0) observer->rowsChanged(row, row);
  }
}

void TreeRows::nodesChanged(const std::vector<NodeId>& nodes) {
  if (observer == nullptr) return;
  std::vector<int> rows;
  rows.reserve(nodes.size());
  for (const NodeId node : nodes) {
    if (const int row = rowOf(node); row >= 0) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t j = i + 1;
    while (j < rows.size() && rows[j] == rows[j - 1] + 1) ++j;
    observer->rowsChanged(rows[i], rows[j - 1]);
    i = j;
  }
}

void TreeRows::nodesAboutToBeRemoved(NodeId parent, int first, int last) {
  // Only all the children of a node go at once (a deleted folder's).
  removingFirst = removingLast = -1;
  const int childRow = childrenRow(parent);
  if (childRow >= 0 && below[parent] > 0) {
    removingFirst = childRow;
    removingLast = childRow + static_cast<int>(below[parent]) - 1;
    if (observer != nullptr) observer->rowsAboutToBeRemoved(removingFirst, removingLast);
  }
  // The chosen nodes that go: all below the node but itself.
  removingChosen = 0;
  if (filtering && parent != kNoNode) {
    removingChosen = chosenBelow[parent] - ((flags[parent] & kChosen) != 0 ? 1 : 0);
  } else if (filtering) {
    removingChosen = chosenBelow[kNoNode];
  }
  // The sums of the nodes that go are given back now, while the tree still holds them.
  std::vector<NodeId> stack;
  for (int r = first; r <= last; ++r) stack.push_back(captureTree.child(parent, r));
  while (!stack.empty()) {
    const NodeId node = stack.back();
    stack.pop_back();
    if (!hasChildren(node)) continue;
    const auto count = static_cast<int>(sumsOf(node)->size()) - 1;
    for (int r = 0; r < count; ++r) stack.push_back(captureTree.child(node, r));
    dropSums(node);
  }
}

void TreeRows::nodesRemoved(NodeId parent, int, int) {
  dropSums(parent);
  addBelow(parent, -static_cast<std::int64_t>(below[parent]));
  if (observer != nullptr) {
    if (removingFirst >= 0) observer->rowsRemoved(removingFirst, removingLast);
    if (parent != kNoNode) {
      if (const int row = rowOf(parent); row >= 0) observer->rowsChanged(row, row);
    }
  }
  // A folder shown only for what was under it goes now, and so may its ancestors.
  if (removingChosen > 0) recount(parent, -static_cast<std::int64_t>(removingChosen));
  removingChosen = 0;
}

void TreeRows::treeAboutToBeCleared() {
  if (observer != nullptr) observer->rowsAboutToBeReset();
}

void TreeRows::treeCleared() {
  std::vector<std::uint32_t>(1, 0).swap(below);
  std::vector<std::uint8_t>(1, 0).swap(flags);
  std::vector<std::uint32_t>(1, 0).swap(sumsIndex);
  std::vector<std::uint32_t>(filtering ? 1 : 0, 0).swap(chosenBelow);
  knownEnd = 1;
  std::vector<Sums>(1).swap(sums);
  std::vector<std::uint32_t>().swap(freeSums);
  if (observer != nullptr) observer->rowsReset();
}

void TreeRows::batchEnded() {
  if (observer != nullptr) observer->batchEnded();
}

bool TreeRows::isKnown(NodeId node) const {
  if (!captureTree.isNode(node) || node >= below.size()) return false;
  const Sums* s = sumsOf(captureTree.parent(node));
  return s != nullptr && static_cast<std::size_t>(captureTree.row(node)) + 1 < s->size();
}

void TreeRows::setExpanded(NodeId node, bool expanded) {
  // Only a node the rows know of (announced by the tree) can be folded.
  if (!isKnown(node) || isExpanded(node) == expanded) return;
  const int row = rowOf(node);
  const auto count = static_cast<int>(below[node]);
  const bool rowsMove = row >= 0 && count > 0 && observer != nullptr;
  if (rowsMove) {
    if (expanded) {
      observer->rowsAboutToBeInserted(row + 1, row + count);
    } else {
      observer->rowsAboutToBeRemoved(row + 1, row + count);
    }
  }
  // The node's weight in its parent gains or loses the rows below it (a hidden node's stays 0).
  flags[node] = static_cast<std::uint8_t>(expanded ? flags[node] & ~kCollapsed : flags[node] | kCollapsed);
  if (isShown(node)) carry(node, expanded ? count : -count);
  if (rowsMove) {
    if (expanded) {
      observer->rowsInserted(row + 1, row + count);
    } else {
      observer->rowsRemoved(row + 1, row + count);
    }
  }
  if (row >= 0 && observer != nullptr) observer->rowsChanged(row, row);
}

std::size_t TreeRows::bytesUsed() const {
  std::size_t bytes = below.capacity() * sizeof(std::uint32_t) + flags.capacity() +
                      chosenBelow.capacity() * sizeof(std::uint32_t) +
                      sumsIndex.capacity() * sizeof(std::uint32_t) + sums.capacity() * sizeof(Sums);
  for (const Sums& s : sums) bytes += s.capacity() * sizeof(std::uint32_t);
  return bytes;
}

// --- The filter ---------------------------------------------------------------------------

void TreeRows::recount(NodeId node, std::int64_t delta) {
  // The nodes whose being shown flips: from `node` up, as long as each one flips (a node's
  // count is at least its descendants', so those that flip are one unbroken chain).
  chain.clear();
  for (NodeId at = node; at != kNoNode; at = captureTree.parent(at)) {
    const std::int64_t before = chosenBelow[at];
    if ((before > 0) == (before + delta > 0)) break;
    chain.push_back(at);
  }
  const auto countAbove = [&](NodeId from) {
    for (NodeId at = from; at != kNoNode; at = captureTree.parent(at))
      chosenBelow[at] = static_cast<std::uint32_t>(chosenBelow[at] + delta);
    chosenBelow[kNoNode] = static_cast<std::uint32_t>(chosenBelow[kNoNode] + delta);
  };
  if (chain.empty()) {
    countAbove(node);
    return;
  }
  const NodeId top = chain.back();
  const NodeId above = captureTree.parent(top);
  const bool aboveHadRows = below[above] > 0;
  if (delta > 0) {
    // The chain's rows, as they will be: each node's own row and, when it is expanded, those
    // below it (the chain node under it is the only one of its children that changes).
    std::uint64_t rows = 0;
    for (const NodeId at : chain) rows = 1 + (isExpanded(at) ? below[at] + rows : 0);
    const int childRow = childrenRow(above);
    const int first = childRow < 0
                          ? -1
                          : childRow + static_cast<int>(prefix(
                                           *sumsOf(above), static_cast<std::size_t>(captureTree.row(top))));
    if (first >= 0 && observer != nullptr)
      observer->rowsAboutToBeInserted(first, first + static_cast<int>(rows) - 1);
    for (const NodeId at : chain) {
      chosenBelow[at] = static_cast<std::uint32_t>(chosenBelow[at] + delta);
      carry(at, weight(at));  // stops at the next chain node, still hidden
    }
    countAbove(above);
    if (first >= 0 && observer != nullptr) observer->rowsInserted(first, first + static_cast<int>(rows) - 1);
  } else {
    const int first = rowOf(top);
    const std::uint32_t rows = weight(top);
    if (first >= 0 && observer != nullptr)
      observer->rowsAboutToBeRemoved(first, first + static_cast<int>(rows) - 1);
    // From the top down: each node's rows leave its parent while it is still shown; below the
    // top the carry stops at the parent just hidden.
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
      const std::uint32_t was = weight(*at);
      chosenBelow[*at] = static_cast<std::uint32_t>(chosenBelow[*at] + delta);
      carry(*at, -static_cast<std::int64_t>(was));
    }
    countAbove(above);
    if (first >= 0 && observer != nullptr) observer->rowsRemoved(first, first + static_cast<int>(rows) - 1);
  }
  // The node above shows whether it has children to show.
  if (observer != nullptr && above != kNoNode && aboveHadRows != (below[above] > 0)) {
    if (const int row = rowOf(above); row >= 0) observer->rowsChanged(row, row);
  }
}

void TreeRows::rebuild() {
  // A child's id is always above its parent's: one pass down the ids sees every subtree before
  // its root.
  if (filtering) {
    for (NodeId node = knownEnd; node-- > 1;) {
      if (!captureTree.isNode(node) || chosenBelow[node] == 0) continue;
      chosenBelow[captureTree.parent(node)] += chosenBelow[node];
    }
  }
  for (NodeId node = knownEnd; node-- > 0;) {
    if (node != kNoNode && !captureTree.isNode(node)) continue;
    sumChildren(node);
  }
}

void TreeRows::showOnly(const std::vector<NodeId>& nodes) {
  if (observer != nullptr) observer->rowsAboutToBeReset();
  filtering = true;
  chosenBelow.assign(below.size(), 0);
  for (std::uint8_t& f : flags) f = static_cast<std::uint8_t>(f & ~kChosen);
  for (const NodeId node : nodes) {
    if (!isAnnounced(node) || (flags[node] & kChosen) != 0) continue;
    flags[node] |= kChosen;
    chosenBelow[node] = 1;
  }
  rebuild();
  if (observer != nullptr) observer->rowsReset();
}

void TreeRows::showAlso(const std::vector<NodeId>& nodes) {
  if (!filtering) return;
  for (const NodeId node : nodes) {
    if (!isAnnounced(node) || (flags[node] & kChosen) != 0) continue;
    flags[node] |= kChosen;
    recount(node, 1);
  }
}

void TreeRows::showAll() {
  if (!filtering) return;
  if (observer != nullptr) observer->rowsAboutToBeReset();
  filtering = false;
  std::vector<std::uint32_t>().swap(chosenBelow);
  for (std::uint8_t& f : flags) f = static_cast<std::uint8_t>(f & ~kChosen);
  rebuild();
  if (observer != nullptr) observer->rowsReset();
}

}  // namespace tw
