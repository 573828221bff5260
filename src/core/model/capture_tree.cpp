#include "core/model/capture_tree.h"

#include <algorithm>
#include <stdexcept>

#include "core/events/event_kinds.h"
#include "core/model/path_parts.h"
#include "core/model/presentation.h"
#include "core/text/text_lines.h"

namespace tw {

// Ends a batch when it goes out of scope, also when the filing throws (a full tree).
class CaptureTree::Batch {
 public:
  explicit Batch(CaptureTree& tree) : tree(tree) { tree.beginBatch(); }
  ~Batch() { tree.endBatch(); }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

 private:
  CaptureTree& tree;
};

bool isFiledInTree(EventKind kind) {
  switch (kind) {
    case EventKind::FileCreated:
    case EventKind::FileDeleted:
    case EventKind::FolderCreated:
    case EventKind::FolderRenamed:
    case EventKind::FileRenamed:
    case EventKind::FolderDeleted:
    case EventKind::FolderNeedsRescan:
    case EventKind::FileUpdated:
      return true;
    default:
      return false;
  }
}

namespace {

bool isFolderKind(EventKind kind) {
  return kind == EventKind::FolderCreated || kind == EventKind::FolderRenamed ||
         kind == EventKind::FolderDeleted || kind == EventKind::FolderNeedsRescan;
}

}  // namespace

CaptureTree::CaptureTree(Environment& environment, IconSource* iconSource, PathStyle style,
                         TextPool* sharedPool, FolderIconCache* sharedIcons)
    : environment_(environment),
      iconSource(iconSource),
      style(style),
      pool(sharedPool != nullptr ? sharedPool : &ownPool),
      icons(sharedIcons) {
  if (iconSource == nullptr) {
    icons = nullptr;
  } else if (icons == nullptr) {
    ownIcons = std::make_unique<FolderIconCache>(environment, *iconSource);
    icons = ownIcons.get();
  }
  nodes.push_back(Node{0, kNoNode, 0, 0, kNoNode, kNoNode, 0, Mark::Plain, 1, 0});
  childLists.emplace_back();  // slot 0 means "no children"
  nodes[0].children = static_cast<std::uint32_t>(childLists.size());
  childLists.emplace_back();  // the roots
  treatments.emplace_back();  // slot 0 means "not treated"
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
  treatments.resize(1);
  treatments.shrink_to_fit();
  freeChildLists.clear();
  freeChildLists.shrink_to_fit();
  index.assign(1024, IndexSlot{kNoNode, 0});
  index.shrink_to_fit();
  indexed = 0;
  liveNodes = 0;
  published = 1;
  touchedParents.clear();
  changedNodes.clear();
  forgetFolders();
  if (pool == &ownPool) ownPool.clear();
  if (ownIcons) ownIcons->clear();
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

std::string CaptureTree::path(NodeId node) const {
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
  const auto appendText = [this](std::string& out, NodeId n) {
    if (nodes[n].treatment == 0) {
      out += pool->text(nodes[n].name);
    } else {
      appendNodeText(out, *this, n, environment_);
    }
  };
  const char sep = pathSeparator(style);
  std::string path;
  appendText(path, at(depth - 1));
  if (depth == 1) return path;
  for (std::size_t i = depth - 1; i-- > 0;) {
    // POSIX: the root "/" already ends in the separator.
    if (style == PathStyle::Windows || path.empty() || path.back() != sep) path.push_back(sep);
    appendText(path, at(i));
  }
  path.push_back(sep);
  return path;
}

std::optional<std::chrono::system_clock::time_point> CaptureTree::deletedAt(NodeId node) const {
  if (nodes[node].mark != Mark::Deleted) return std::nullopt;
  return treatments[nodes[node].treatment].deletedAt;
}

std::vector<std::string_view> CaptureTree::renames(NodeId node) const {
  std::vector<std::string_view> names;
  std::uint32_t t = nodes[node].treatment;
  // A deletion is always a node's last treatment; every other one is a rename.
  if (t != 0 && nodes[node].mark == Mark::Deleted) t = treatments[t].earlier;
  for (; t != 0; t = treatments[t].earlier) names.push_back(pool->text(treatments[t].renamedTo));
  std::reverse(names.begin(), names.end());
  return names;
}

std::uint32_t CaptureTree::foldedOf(NodeId node) const {
  const Node& n = nodes[node];
  return n.treatment == 0 ? pool->foldedHash(n.name) : treatments[n.treatment].folded;
}

bool CaptureTree::textEquals(NodeId node, std::string_view text) const {
  const Node& n = nodes[node];
  if (n.treatment == 0) return equalsIgnoreAsciiCase(pool->text(n.name), text);
  textScratch.clear();
  appendNodeText(textScratch, *this, node, environment_);
  return equalsIgnoreAsciiCase(textScratch, text);
}

NodeId CaptureTree::find(std::string_view value, NodeId parent) const {
  const NodeId first = indexFind(parent, value, TextPool::hashFolded(value));
  if (first == kNoNode || nodes[first].mark == Mark::Deleted) return kNoNode;
  return first;
}

NodeId CaptureTree::add(const Change& change) {
  const Batch batch(*this);
  const std::string_view directoryPath = change.path;
  std::vector<std::string_view>& segments = segmentScratch;
  splitPathSegments(directoryPath, style, segments);
  const std::size_t n = segments.size();
  // A POSIX name may be all spaces; only empty segments (doubled or trailing separators) are
  // gaps there.
  const auto skipped = [this](std::string_view s) {
    return style == PathStyle::Windows ? isBlank(s) : s.empty();
  };
  const EventKind kind = change.kind;
  const bool treated = kind == EventKind::FileDeleted || kind == EventKind::FolderRenamed ||
                       kind == EventKind::FileRenamed || kind == EventKind::FolderDeleted;
  const bool lastIsFolder = change.folder || isFolderKind(kind);
  NodeId parent = kNoNode;
  std::size_t i = 0;
  // The folder part of the path (all but its last segment) may have been walked before: the
  // walk gave the node that is still the one it would give (see forgetFolders). A walk that
  // found every node is kept; one that had to add a node is not, since the same walk may add
  // another the next time (after a first match that was deleted).
  bool addedOnTheWay = false;
  TextId folderText = 0;
  if (n > 1) {
    // The folder part is a text the list keeps too (a row's folder): kept in the pool.
    folderText = pool->intern(
        directoryPath.substr(0, static_cast<std::size_t>(segments[n - 1].data() - directoryPath.data())));
    if (const NodeId known = knownFolder(folderText); known != kNoNode) {
      const Node& folder = nodes[known];
      if (folder.parent != kRemoved && folder.mark == Mark::Plain) {
        parent = known;
        i = n - 1;
      }
    }
  }
  for (; i < n; ++i) {
    if (i == n - 1 && n > 1 && parent != kNoNode && !addedOnTheWay) keepFolder(folderText, parent);
    const std::string_view s = segments[i];
    if (skipped(s)) continue;
    const bool last = i == n - 1;
    NodeId node = find(s, parent);
    if (i == 0) {
      if (node == kNoNode) {
        node = appendNode(kNoNode, s, !last || lastIsFolder);
        nodes[node].icon = iconSource != nullptr ? iconSource->fileTypeIcon(path(node)) : 0;
        addedOnTheWay = true;
      } else if (!last) {
        nodes[node].folder = 1;
      }
      parent = node;
      continue;
    }
    if (node == kNoNode) {
      node = appendNode(parent, s, !last || lastIsFolder);
      addedOnTheWay = true;
      if (icons == nullptr ||
          (last && (treated || (style == PathStyle::Posix &&
                                (kind == EventKind::FileCreated || kind == EventKind::FileUpdated))))) {
        // No disk lookup for the last node: a treatment decides its icon, and a file that
        // was created or written on a POSIX system has a path that, with the trailing "/" of
        // a node path, names nothing, so the disk would answer 0. It would answer otherwise
        // only for a folder that took the file's name in the second since, or for a
        // symbolic link to a folder (created as a file); those show no icon here. One disk
        // lookup fewer for most new nodes shown.
        nodes[node].icon = 0;
      } else {
        nodes[node].iconPending = 1;  // asked when first read
      }
    } else if (!last) {
      nodes[node].folder = 1;
    }
    if (treated && last) treat(node, change);
    parent = node;
  }
  return parent;
}

int CaptureTree::icon(NodeId node) const {
  const Node& n = nodes[node];
  if (n.iconPending != 0) {
    n.icon = icons->folderIcon(*pool, pool->intern(path(node)));
    n.iconPending = 0;
  }
  return n.icon;
}

void CaptureTree::treat(NodeId node, const Change& change) {
  const EventKind kind = change.kind;
  Node& n = nodes[node];
  n.iconPending = 0;  // the treatment decides the icon
  if (icons != nullptr) {
    if (kind == EventKind::FileDeleted || kind == EventKind::FileRenamed) {
      // The type is decided by the name, so the name is asked without the separator that
      // ends a node path (with it, the name would have no type).
      std::string named = path(node);
      if (n.parent != kNoNode && !named.empty()) named.pop_back();
      n.icon = icons->source().fileTypeIcon(named);
    } else {
      n.icon = icons->systemFolderIcon();
    }
  }
  if (kind == EventKind::FolderDeleted) removeChildren(node);
  // Walks through a node with children, as it was, would now go elsewhere.
  if (nodes[node].children != 0) forgetFolders();
  indexUnlink(node);
  Treatment treatment{};
  treatment.earlier = nodes[node].treatment;
  if (kind == EventKind::FileDeleted || kind == EventKind::FolderDeleted) {
    treatment.deletedAt = change.time;
    nodes[node].mark = Mark::Deleted;
  } else {
    treatment.renamedTo = pool->intern(lastSegment(change.newPath, style));
    nodes[node].mark = Mark::Renamed;
  }
  if (treatments.size() >= 0xFFFFFFFFu) throw std::length_error("the capture tree is full");
  nodes[node].treatment = static_cast<std::uint32_t>(treatments.size());
  treatments.push_back(treatment);
  std::string text;
  appendNodeText(text, *this, node, environment_);
  treatments.back().folded = TextPool::hashFolded(text);
  indexLink(node);
  changed(node);
}

NodeId CaptureTree::appendNode(NodeId parent, std::string_view name, bool folder) {
  if (nodes.size() >= kRemoved - 1) throw std::length_error("the capture tree is full");
  const auto id = static_cast<NodeId>(nodes.size());
  nodes.push_back(
      Node{pool->intern(name), parent, 0, 0, id, id, 0, Mark::Plain, static_cast<std::uint8_t>(folder), 0});
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

void CaptureTree::beginBatch() { ++batchDepth; }

void CaptureTree::endBatch() {
  if (batchDepth > 0 && --batchDepth == 0) {
    flush();
    if (observer != nullptr) observer->batchEnded();
  }
}

void CaptureTree::flush() {
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
                      treatments.capacity() * sizeof(Treatment) +
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
    const NodeId candidate = index[slot].node;
    if (nodes[candidate].parent == parent && foldedOf(candidate) == folded && textEquals(candidate, value)) {
      return candidate;
    }
  }
  return kNoNode;
}

std::size_t CaptureTree::slotOf(NodeId head) const {
  const std::size_t mask = index.size() - 1;
  std::size_t slot = keyHash(nodes[head].parent, foldedOf(head)) & mask;
  while (index[slot].node != head) slot = (slot + 1) & mask;
  return slot;
}

void CaptureTree::indexLink(NodeId node) {
  Node& n = nodes[node];
  const std::uint32_t folded = foldedOf(node);
  std::string composed;
  std::string_view text = pool->text(n.name);
  if (n.treatment != 0) {
    appendNodeText(composed, *this, node, environment_);
    text = composed;
  }
  const NodeId head = indexFind(n.parent, text, folded);
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
  // The node is the first of its text (the one the index holds) when its key's probe meets it;
  // no text is composed for that.
  const std::size_t mask = index.size() - 1;
  const std::uint32_t key = keyHash(n.parent, foldedOf(node));
  std::size_t headSlot = key & mask;
  while (index[headSlot].node != kNoNode && index[headSlot].node != node) headSlot = (headSlot + 1) & mask;
  const bool isHead = index[headSlot].node == node;
  if (n.nextSame != node) {
    nodes[n.prevSame].nextSame = n.nextSame;
    nodes[n.nextSame].prevSame = n.prevSame;
    if (isHead) index[headSlot].node = n.nextSame;
    n.nextSame = n.prevSame = node;
    return;
  }
  // The last of its text: free the slot and shift back the entries that probed past it.
  std::size_t hole = headSlot;
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
