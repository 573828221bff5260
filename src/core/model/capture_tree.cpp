#include "core/model/capture_tree.h"

#include <algorithm>
#include <stdexcept>

#include "core/events/event_kinds.h"
#include "core/model/path_parts.h"
#include "core/text/text_lines.h"

namespace tw {

// Ends a batch when it goes out of scope, also when an icon lookup throws.
class CaptureTree::Batch {
 public:
  explicit Batch(CaptureTree& tree) : tree(tree) { tree.beginBatch(); }
  ~Batch() { tree.endBatch(); }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

 private:
  CaptureTree& tree;
};

CaptureTree::CaptureTree(Environment& environment, IconSource& iconSource, TextPool* sharedPool,
                         FolderIconCache* sharedIcons)
    : environment(environment),
      iconSource(iconSource),
      pool(sharedPool != nullptr ? sharedPool : &ownPool),
      ownIcons(environment, iconSource),
      icons(sharedIcons != nullptr ? sharedIcons : &ownIcons) {
  nodes.push_back(Node{0, kNoNode, 0, 0, kNoNode, kNoNode, markPlain, 0});
  childLists.emplace_back();  // slot 0 means "no children"
  nodes[0].children = static_cast<std::uint32_t>(childLists.size());
  childLists.emplace_back();  // the roots
  index.assign(1024, IndexSlot{kNoNode, 0});
}

void CaptureTree::clear() {
  if (observer != nullptr) observer->treeAboutToBeCleared();
  nodes.resize(1);
  nodes.shrink_to_fit();
  childLists.resize(2);
  childLists[1].clear();
  childLists[1].shrink_to_fit();
  childLists.shrink_to_fit();
  freeChildLists.clear();
  freeChildLists.shrink_to_fit();
  index.assign(1024, IndexSlot{kNoNode, 0});
  index.shrink_to_fit();
  indexed = 0;
  liveNodes = 0;
  published = 1;
  touchedParents.clear();
  changedNodes.clear();
  pendingIcons.clear();
  iconLookups.clear();
  forgetFolders();
  if (pool == &ownPool) ownPool.clear();
  if (icons == &ownIcons) ownIcons.clear();
  if (observer != nullptr) observer->treeCleared();
}

const std::vector<NodeId>& CaptureTree::childList(NodeId parent) const {
  return childLists[nodes[parent].children];
}

int CaptureTree::childCount(NodeId parent) const {
  const auto& list = childList(parent);
  // Children are appended in id order, so those not yet announced are a tail of the list.
  if (list.empty() || list.back() < published || (parent != kNoNode && parent >= published) ||
      (!announcedParents.empty() && announcedParents.contains(parent))) {
    return static_cast<int>(list.size());
  }
  return static_cast<int>(std::lower_bound(list.begin(), list.end(), published) - list.begin());
}

int CaptureTree::row(NodeId node) const {
  const auto& list = childList(nodes[node].parent);
  return static_cast<int>(std::lower_bound(list.begin(), list.end(), node) - list.begin());
}

int CaptureTree::level(NodeId node) const {
  int depth = 0;
  for (NodeId n = nodes[node].parent; n != kNoNode; n = nodes[n].parent) ++depth;
  return depth;
}

std::string CaptureTree::nodePath(NodeId node, PathStyle style) const {
  NodeId chain[64];
  std::vector<NodeId> longChain;
  std::size_t depth = 0;
  for (NodeId n = node; n != kNoNode; n = nodes[n].parent) {
    if (depth < std::size(chain)) {
      chain[depth] = n;
    } else {
      if (longChain.empty()) longChain.assign(chain, chain + depth);
      longChain.push_back(n);
    }
    ++depth;
  }
  const auto at = [&](std::size_t i) { return longChain.empty() ? chain[i] : longChain[i]; };
  const char sep = pathSeparator(style);
  std::string path(text(at(depth - 1)));
  if (depth == 1) return path;
  for (std::size_t i = depth - 1; i-- > 0;) {
    // POSIX: the root "/" already ends in the separator.
    if (style == PathStyle::Windows || path.empty() || path.back() != sep) path.push_back(sep);
    path += text(at(i));
  }
  path.push_back(sep);
  return path;
}

NodeId CaptureTree::findNode(std::string_view value, NodeId parent) const {
  const NodeId first = indexFind(parent, value, TextPool::hashFolded(value));
  if (first == kNoNode || nodes[first].mark == markDeleted) return kNoNode;
  return first;
}

void CaptureTree::addDirectoryFile(std::string_view directoryPath, std::string_view newName, int eventnum,
                                   PathStyle style) {
  const Batch batch(*this);
  std::vector<std::string_view>& segments = segmentScratch;
  splitPathSegments(directoryPath, style, segments);
  const std::size_t n = segments.size();
  // A POSIX name may be all spaces; only empty segments (doubled or trailing separators) are
  // gaps there.
  const auto skipped = [style](std::string_view s) {
    return style == PathStyle::Windows ? isBlank(s) : s.empty();
  };
  const bool treated =
      eventnum == evDelete || eventnum == evRenameFolder || eventnum == evRenameItem || eventnum == evRmDir;
  NodeId parent = kNoNode;
  std::size_t i = 0;
  // The folder part of the path (all but its last segment) may have been walked before: the
  // walk gave the node that is still the one it would give (see forgetFolders). A walk that
  // found every node is kept; one that had to add a node is not, since the same walk may add
  // another the next time (after a first match that was deleted).
  bool addedOnTheWay = false;
  TextId folderText = 0;
  if (n > 1) {
    // The folder part is a text the list shows too (a row's work folder): kept in the pool.
    folderText = pool->intern(
        directoryPath.substr(0, static_cast<std::size_t>(segments[n - 1].data() - directoryPath.data())));
    if (const NodeId known = knownFolder(folderText); known != kNoNode) {
      const Node& folder = nodes[known];
      if (folder.parent != kRemoved && folder.mark == markPlain) {
        parent = known;
        i = n - 1;
      }
    }
  }
  for (; i < n; ++i) {
    if (i == n - 1 && n > 1 && parent != kNoNode && !addedOnTheWay) keepFolder(folderText, parent);
    const std::string_view s = segments[i];
    if (skipped(s)) continue;
    NodeId node = findNode(s, parent);
    if (i == 0) {
      if (node == kNoNode) {
        node = appendNode(kNoNode, s);
        nodes[node].image = iconSource.fileTypeIcon(nodePath(node, style));
        addedOnTheWay = true;
      }
      parent = node;
      continue;
    }
    if (node == kNoNode) {
      node = appendNode(parent, s);
      addedOnTheWay = true;
      if (i == n - 1 &&
          (treated || (style == PathStyle::Posix && (eventnum == evCreate || eventnum == evUpdateItem)))) {
        // No disk lookup for the last node: a treatment decides its icon, and a file that
        // was created or written on a POSIX system has a path that, with the trailing "/" of
        // a node path, names nothing, so the disk would answer 0. It would answer otherwise
        // only for a folder that took the file's name in the second since, or for a
        // symbolic link to a folder (created as a file); those show no icon here. One disk
        // lookup fewer for most new nodes of a busy recording.
        nodes[node].image = 0;
      } else {
        nodes[node].iconPending = 1;
        pendingIcons.emplace_back(node, pool->intern(nodePath(node, style)));
        if (pendingIcons.size() >= kIconLookupGroup) startPendingIcons();
      }
    }
    if (treated && i == n - 1) {
      nodes[node].iconPending = 0;  // the treatment decides the icon
      std::string path = nodePath(node, style);
      if (eventnum == evDelete || eventnum == evRenameItem) {
        // The type is decided by the name, so the name is asked without the separator that
        // ends a node path (with it, the name would have no type).
        if (nodes[node].parent != kNoNode && !path.empty()) path.pop_back();
        nodes[node].image = iconSource.fileTypeIcon(path);
      } else {
        nodes[node].image = icons->systemFolderIcon();
      }
      if (eventnum == evDelete || eventnum == evRmDir) {
        if (eventnum == evRmDir) removeChildren(node);
        setText(node, "(" + environment.timeOfDay(std::chrono::system_clock::now()) + ") " +
                          std::string(text(node)));
        nodes[node].mark = markDeleted;
      } else {
        setText(node, std::string(text(node)) + " -> " + std::string(getLastSegment(newName, style)));
        nodes[node].mark = markRenamed;
      }
      changed(node);
    }
    parent = node;
  }
}

NodeId CaptureTree::appendNode(NodeId parent, std::string_view value) {
  if (nodes.size() >= kRemoved - 1) throw std::length_error("the capture tree is full");
  const auto id = static_cast<NodeId>(nodes.size());
  nodes.push_back(Node{pool->intern(value), parent, 0, 0, id, id, markPlain, 0});
  Node& p = nodes[parent];
  if (p.children == 0) {
    if (!freeChildLists.empty()) {
      p.children = freeChildLists.back();
      freeChildLists.pop_back();
    } else {
      p.children = static_cast<std::uint32_t>(childLists.size());
      childLists.emplace_back();
    }
  }
  auto& list = childLists[p.children];
  // The first new child of a node already shown: the batch will announce a block of rows there.
  if ((parent == kNoNode || parent < published) && (list.empty() || list.back() < published)) {
    touchedParents.push_back(parent);
  }
  list.push_back(id);
  indexLink(id);
  ++liveNodes;
  return id;
}

void CaptureTree::setText(NodeId node, std::string_view value) {
  // Walks through a node with children, as it was, would now go elsewhere.
  if (nodes[node].children != 0) forgetFolders();
  indexUnlink(node);
  nodes[node].text = pool->intern(value);
  indexLink(node);
}

void CaptureTree::forgetFolders() {
  // Every entry of an older round counts as none.
  if (++folderRound == 0) {
    std::vector<KnownFolder>().swap(folders);
    folderRound = 1;
  }
}

NodeId CaptureTree::knownFolder(TextId text) const {
  if (foldersOf != pool->clears() || text >= folders.size() || folders[text].round != folderRound)
    return kNoNode;
  return folders[text].node;
}

void CaptureTree::keepFolder(TextId text, NodeId node) {
  if (foldersOf != pool->clears()) {
    std::vector<KnownFolder>().swap(folders);
    foldersOf = pool->clears();
  }
  if (text >= folders.size())
    folders.resize(std::max<std::size_t>(text + 1, folders.size() + folders.size() / 2));
  folders[text] = KnownFolder{node, folderRound};
}

void CaptureTree::changed(NodeId node) {
  if (node < published) changedNodes.push_back(node);
}

void CaptureTree::removeChildren(NodeId node) {
  if (nodes[node].children == 0 || childList(node).empty()) return;
  // The observer must see the rows before they go: announce what the batch has added so far.
  flush();
  const int count = static_cast<int>(childList(node).size());
  if (observer != nullptr) observer->nodesAboutToBeRemoved(node, 0, count - 1);
  std::vector<NodeId> stack(childList(node).begin(), childList(node).end());
  while (!stack.empty()) {
    const NodeId n = stack.back();
    stack.pop_back();
    if (nodes[n].children != 0) {
      auto& list = childLists[nodes[n].children];
      stack.insert(stack.end(), list.begin(), list.end());
      std::vector<NodeId>().swap(list);
      freeChildLists.push_back(nodes[n].children);
      nodes[n].children = 0;
    }
    indexUnlink(n);
    nodes[n].parent = kRemoved;
    --liveNodes;
  }
  std::vector<NodeId>().swap(childLists[nodes[node].children]);
  freeChildLists.push_back(nodes[node].children);
  nodes[node].children = 0;
  if (observer != nullptr) observer->nodesRemoved(node, 0, count - 1);
}

void CaptureTree::endBatch() {
  if (batchDepth > 0 && --batchDepth == 0) flush();
}

void CaptureTree::startPendingIcons() {
  if (pendingIcons.empty()) return;
  std::vector<TextId> paths;
  std::vector<NodeId> asking;
  paths.reserve(pendingIcons.size());
  asking.reserve(pendingIcons.size());
  for (const auto& [node, path] : pendingIcons) {
    if (nodes[node].iconPending == 0) continue;  // treated meanwhile
    paths.emplace_back(path);
    asking.push_back(node);
  }
  if (!paths.empty()) iconLookups.push_back(IconLookup{icons->start(*pool, paths), std::move(asking)});
  pendingIcons.clear();
}

void CaptureTree::finishIcons() {
  startPendingIcons();
  for (IconLookup& started : iconLookups) {
    const std::vector<int> answers = icons->finish(*started.lookup);
    for (std::size_t i = 0; i < started.nodes.size(); ++i) {
      const NodeId node = started.nodes[i];
      Node& n = nodes[node];
      if (n.iconPending == 0 || n.parent == kRemoved) continue;
      n.image = answers[i];
      n.iconPending = 0;
      changed(node);  // when it was announced before its icon came
    }
  }
  iconLookups.clear();
}

void CaptureTree::flush() {
  // At a batch's end every icon is in before the observer hears of the nodes; a flush inside a
  // batch (before a removal) does not wait for the disk.
  if (batchDepth == 0) {
    finishIcons();
  } else {
    startPendingIcons();
  }
  if (observer != nullptr) {
    for (const NodeId parent : touchedParents) {
      const int first = childCount(parent);
      const int last = static_cast<int>(childList(parent).size()) - 1;
      if (first > last) continue;
      observer->nodesAboutToBeInserted(parent, first, last);
      announcedParents.insert(parent);
      observer->nodesInserted(parent, first, last);
    }
    if (!changedNodes.empty()) {
      std::sort(changedNodes.begin(), changedNodes.end());
      changedNodes.erase(std::unique(changedNodes.begin(), changedNodes.end()), changedNodes.end());
      std::erase_if(changedNodes, [this](NodeId n) { return !isNode(n); });
      if (!changedNodes.empty()) observer->nodesChanged(changedNodes);
    }
  }
  announcedParents.clear();
  touchedParents.clear();
  changedNodes.clear();
  published = static_cast<NodeId>(nodes.size());
}

void CaptureTree::forEachNode(const std::function<void(NodeId node, int level)>& visit) const {
  struct Frame {
    const std::vector<NodeId>* list;
    std::size_t next;
  };
  std::vector<Frame> stack;
  stack.push_back({&childList(kNoNode), 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.list->size()) {
      stack.pop_back();
      continue;
    }
    const NodeId n = (*top.list)[top.next++];
    visit(n, static_cast<int>(stack.size()) - 1);
    if (nodes[n].children != 0 && !childList(n).empty()) stack.push_back({&childList(n), 0});
  }
}

std::size_t CaptureTree::bytesUsed() const {
  std::size_t bytes = nodes.capacity() * sizeof(Node) + index.capacity() * sizeof(IndexSlot) +
                      childLists.capacity() * sizeof(std::vector<NodeId>) +
                      folders.capacity() * sizeof(KnownFolder);
  for (const auto& list : childLists) bytes += list.capacity() * sizeof(NodeId);
  return bytes;
}

// The index. It holds, for each (parent, text without ASCII case), the first of the siblings
// with that text; the others follow it in their circular list.

std::uint32_t CaptureTree::keyHash(NodeId parent, std::uint32_t folded) const {
  std::uint64_t h = (static_cast<std::uint64_t>(parent) << 32 | folded) * 0x9e3779b97f4a7c15ULL;
  h ^= h >> 29;
  return static_cast<std::uint32_t>(h >> 16);
}

NodeId CaptureTree::indexFind(NodeId parent, std::string_view value, std::uint32_t folded) const {
  const std::size_t mask = index.size() - 1;
  const std::uint32_t key = keyHash(parent, folded);
  for (std::size_t slot = key & mask; index[slot].node != kNoNode; slot = (slot + 1) & mask) {
    if (index[slot].key != key) continue;
    const Node& candidate = nodes[index[slot].node];
    if (candidate.parent == parent && pool->foldedHash(candidate.text) == folded &&
        equalsIgnoreAsciiCase(pool->text(candidate.text), value)) {
      return index[slot].node;
    }
  }
  return kNoNode;
}

std::size_t CaptureTree::slotOf(NodeId head) const {
  const std::size_t mask = index.size() - 1;
  std::size_t slot = keyHash(nodes[head].parent, pool->foldedHash(nodes[head].text)) & mask;
  while (index[slot].node != head) slot = (slot + 1) & mask;
  return slot;
}

void CaptureTree::indexLink(NodeId node) {
  Node& n = nodes[node];
  const std::uint32_t folded = pool->foldedHash(n.text);
  const NodeId head = indexFind(n.parent, pool->text(n.text), folded);
  if (head == kNoNode) {
    n.nextSame = n.prevSame = node;
    const std::size_t mask = index.size() - 1;
    const std::uint32_t key = keyHash(n.parent, folded);
    std::size_t slot = key & mask;
    while (index[slot].node != kNoNode) slot = (slot + 1) & mask;
    index[slot] = IndexSlot{node, key};
    if (++indexed * 2 > index.size()) indexGrow();
    return;
  }
  // Siblings are in id order; a new node is normally the last, a renamed one may fall between.
  NodeId after = nodes[head].prevSame;
  while (after > node && after != head) after = nodes[after].prevSame;
  if (after > node) {
    // Before the current first: the node becomes the one the index holds (same key), and walks
    // that went to the old first would now come here.
    forgetFolders();
    index[slotOf(head)].node = node;
    after = nodes[head].prevSame;
  }
  const NodeId before = nodes[after].nextSame;
  n.prevSame = after;
  n.nextSame = before;
  nodes[after].nextSame = node;
  nodes[before].prevSame = node;
}

void CaptureTree::indexUnlink(NodeId node) {
  Node& n = nodes[node];
  const NodeId head = indexFind(n.parent, pool->text(n.text), pool->foldedHash(n.text));
  if (n.nextSame != node) {
    nodes[n.prevSame].nextSame = n.nextSame;
    nodes[n.nextSame].prevSame = n.prevSame;
    if (head == node) index[slotOf(node)].node = n.nextSame;
    n.nextSame = n.prevSame = node;
    return;
  }
  // The last of its text: free the slot and shift back the entries that probed past it.
  const std::size_t mask = index.size() - 1;
  std::size_t hole = slotOf(node);
  std::size_t slot = hole;
  for (;;) {
    slot = (slot + 1) & mask;
    if (index[slot].node == kNoNode) break;
    const std::size_t home = index[slot].key & mask;
    const bool stays = hole <= slot ? (hole < home && home <= slot) : (hole < home || home <= slot);
    if (!stays) {
      index[hole] = index[slot];
      hole = slot;
    }
  }
  index[hole] = IndexSlot{kNoNode, 0};
  --indexed;
}

void CaptureTree::indexGrow() {
  std::vector<IndexSlot> old(index.size() * 2, IndexSlot{kNoNode, 0});
  old.swap(index);
  const std::size_t mask = index.size() - 1;
  for (const IndexSlot& entry : old) {
    if (entry.node == kNoNode) continue;
    std::size_t slot = entry.key & mask;
    while (index[slot].node != kNoNode) slot = (slot + 1) & mask;
    index[slot] = entry;
  }
}

}  // namespace tw
