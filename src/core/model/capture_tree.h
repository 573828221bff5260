#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/model/folder_icon_cache.h"
#include "core/model/marks.h"
#include "core/model/text_pool.h"
#include "platform/environment.h"
#include "platform/icons.h"

namespace tw {

// Identifies a node of the capture tree. Ids are never reused until the tree is cleared, so a
// view may keep them (a Qt model keeps them as internal ids). kNoNode, as a parent, stands for
// the top level of the tree (the parent of the roots).
using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = 0;

// Follows the capture tree. The calls come in batches: nodes created during a batch are
// announced when the batch ends, as one block of rows per parent that was already shown
// (nodes under a new node come with it), so a QAbstractItemModel maps each pair to
// beginInsertRows/endInsertRows. Between an "about to" call and its partner the tree still
// answers with the old rows; after the partner, with the new ones.
//
// Thread: called on the user-interface thread, from within the tree's own methods; an
// observer only reads the tree while it is called.
class CaptureTreeObserver {
 public:
  virtual ~CaptureTreeObserver() = default;
  // Rows first..last of parent's children are about to appear / have appeared.
  virtual void nodesAboutToBeInserted(NodeId parent, int first, int last) = 0;
  virtual void nodesInserted(NodeId parent, int first, int last) = 0;
  // The text, mark or icons of these shown nodes changed (each node once, in id order).
  virtual void nodesChanged(const std::vector<NodeId>& nodes) = 0;
  // Rows first..last of parent's children, with everything under them, are about to go /
  // have gone.
  virtual void nodesAboutToBeRemoved(NodeId parent, int first, int last) = 0;
  virtual void nodesRemoved(NodeId parent, int first, int last) = 0;
  // Every node is about to go / has gone (a model reset).
  virtual void treeAboutToBeCleared() = 0;
  virtual void treeCleared() = 0;
};

// The capture tree: every delivered event is filed under its first path, one node per path
// segment; deletions time-stamp and mark the node of the last segment (a deleted folder loses
// its subtree), renames append the new name.
//
// Lookups go through an index of (parent, text without ASCII case) that gives exactly what a
// scan of the children in order would give: the first match, and none when that first match is
// marked deleted. So an event costs O(path depth), whatever the size of the tree.
//
// Folder icons come through a FolderIconCache: an answer may be up to its window old. Views
// that share a cache share their text pool too: the cache keeps answers by the pool's ids.
//
// Thread: the user-interface thread only (events arrive through synchronised calls). Owns its
// nodes; uses, but does not own, the environment, the icon source, the text pool and the icon cache (when
// given) and the observer.
class CaptureTree {
 public:
  // `pool` may be shared with the capture list so that texts both show are kept once, and
  // `icons` so that a folder both ask for is looked up once; without them the tree keeps its
  // own.
  CaptureTree(Environment& environment, IconSource& iconSource, TextPool* pool = nullptr,
              FolderIconCache* icons = nullptr);
  CaptureTree(const CaptureTree&) = delete;
  CaptureTree& operator=(const CaptureTree&) = delete;

  // Files one event under its first path (`directoryPath`); `newName` is the second path
  // (renames only), `eventnum` the event number.
  void addDirectoryFile(std::string_view directoryPath, std::string_view newName, int eventnum,
                        PathStyle style);
  void addDirectoryFile(std::string_view directoryPath, std::string_view newName, int eventnum) {
    addDirectoryFile(directoryPath, newName, eventnum, environment.pathStyle());
  }

  // The full path of a node: a root's text alone (C:), else the texts from the root down
  // joined by the separator with one more at the end (C:\Users\bob\). POSIX style does not
  // double the separator after the root "/" (/home/).
  std::string nodePath(NodeId node, PathStyle style) const;

  // The first root (parent kNoNode) or first child of parent whose text equals `text` without
  // ASCII case; none when there is no match or the first match is marked deleted.
  NodeId findNode(std::string_view text, NodeId parent) const;

  // Removes every node (the Clean command).
  void clear();

  // Groups the changes of several events into one announcement to the observer. Nestable;
  // the announcement goes out when the outermost batch ends. A method called outside a batch
  // is a batch of its own.
  void beginBatch() { ++batchDepth; }
  void endBatch();

  // Reading, as the observer has been told so far (outside a batch: everything).
  int childCount(NodeId parent) const;
  NodeId child(NodeId parent, int row) const { return childList(parent)[static_cast<std::size_t>(row)]; }
  NodeId parent(NodeId node) const { return nodes[node].parent; }
  int row(NodeId node) const;
  std::string_view text(NodeId node) const { return pool->text(nodes[node].text); }
  int mark(NodeId node) const { return nodes[node].mark; }
  int imageIndex(NodeId node) const { return nodes[node].image; }
  // Always the image index.
  int selectedImageIndex(NodeId node) const { return nodes[node].image; }
  // 0 for a root.
  int level(NodeId node) const;
  // False for kNoNode, ids never handed out and removed nodes.
  bool isNode(NodeId node) const {
    return node != kNoNode && node < nodes.size() && nodes[node].parent != kRemoved;
  }

  // The number of nodes in the tree.
  std::size_t nodeCount() const { return liveNodes; }
  // Every node in absolute order (depth-first pre-order, siblings in insertion order) with its
  // level. Meant for use outside a batch.
  void forEachNode(const std::function<void(NodeId node, int level)>& visit) const;

  // The observer, or none; not owned.
  void setObserver(CaptureTreeObserver* newObserver) { observer = newObserver; }

  // Bytes held by the nodes, child lists, index and known folders (texts not included), for the
  // benchmarks.
  std::size_t bytesUsed() const;

 private:
  static constexpr NodeId kRemoved = 0xFFFFFFFFu;
  struct Node {
    TextId text;
    NodeId parent;           // kNoNode for a root, kRemoved once removed
    std::uint32_t children;  // index into childLists, 0 when the node has none
    std::int32_t image;
    // The siblings whose texts are equal without ASCII case form a circular list in child
    // order; the first of them is the one the index holds.
    NodeId nextSame;
    NodeId prevSame;
    std::uint8_t mark;
    // The folder icon of a node created in this batch is still to be asked (see pendingIcons).
    std::uint8_t iconPending;
  };

  class Batch;

  const std::vector<NodeId>& childList(NodeId parent) const;
  NodeId appendNode(NodeId parent, std::string_view text);
  void setText(NodeId node, std::string_view text);
  void changed(NodeId node);
  void removeChildren(NodeId node);
  // Starts the lookup of the pending nodes' folder icons; finishes every lookup started.
  void startPendingIcons();
  void finishIcons();
  void flush();

  // The index of first matches.
  std::uint32_t keyHash(NodeId parent, std::uint32_t folded) const;
  NodeId indexFind(NodeId parent, std::string_view text, std::uint32_t folded) const;
  void indexLink(NodeId node);
  void indexUnlink(NodeId node);
  std::size_t slotOf(NodeId head) const;
  void indexGrow();

  Environment& environment;
  IconSource& iconSource;
  TextPool ownPool;
  TextPool* pool;
  FolderIconCache ownIcons;
  FolderIconCache* icons;
  CaptureTreeObserver* observer = nullptr;

  std::vector<Node> nodes;                      // nodes[0] stands for the top level
  std::vector<std::vector<NodeId>> childLists;  // [0] is never used
  std::vector<std::uint32_t> freeChildLists;
  // Open addressing, linear probing; a free slot holds kNoNode. Each slot keeps its key's hash
  // too, so that a probe passes other keys without reading their nodes.
  struct IndexSlot {
    NodeId node;
    std::uint32_t key;
  };
  std::vector<IndexSlot> index;
  std::size_t indexed = 0;
  std::size_t liveNodes = 0;

  // Batches: nodes with an id below `published` have been announced.
  int batchDepth = 0;
  NodeId published = 1;
  std::vector<NodeId> touchedParents;  // shown parents that got new children in this batch
  std::vector<NodeId> changedNodes;
  // New nodes and their paths whose folder icons are still to be asked: in groups of
  // kIconLookupGroup as a batch goes, the rest when it ends. Every answer is in when the batch
  // ends, before the observer is told of it, so no view ever shows a node without its icon.
  // (Nodes announced in the middle of a batch, before a removal, may get theirs as a change.)
  static constexpr std::size_t kIconLookupGroup = 16;
  std::vector<std::pair<NodeId, TextId>> pendingIcons;  // the nodes and their paths
  struct IconLookup {
    std::shared_ptr<FolderIconCache::Lookup> lookup;
    std::vector<NodeId> nodes;
  };
  std::vector<IconLookup> iconLookups;           // started, not finished
  std::unordered_set<NodeId> announcedParents;   // while a batch is being announced
  std::vector<std::string_view> segmentScratch;  // the segments of the path being added
  // Folder parts of paths added (their exact text up to the last segment), by text id, and the
  // node their walk gave. An entry stays right while its node is neither removed (a removal
  // marks every node below) nor treated (which changes its mark), and no node that a walk may
  // pass is given another text; forgetFolders drops them all when one is, or when a node
  // becomes the first of its siblings with a text. Entries of an older round count as none; all
  // count as none once the pool was cleared (its ids then name other texts).
  struct KnownFolder {
    NodeId node = kNoNode;
    std::uint32_t round = 0;
  };
  std::vector<KnownFolder> folders;
  std::uint32_t folderRound = 1;
  std::uint64_t foldersOf = 0;  // the pool's clears() when `folders` was filled
  NodeId knownFolder(TextId text) const;
  void keepFolder(TextId text, NodeId node);
  void forgetFolders();
};

}  // namespace tw
