#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/events/change.h"
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
// (nodes under a new node come with it), so a follower maps each pair to one insertion of rows.
// Between an "about to" call and its partner the tree still answers with the old rows; after
// the partner, with the new ones.
//
// Thread: called on the user-interface thread, from within the tree's own methods; an
// observer only reads the tree while it is called.
class CaptureTreeObserver {
 public:
  virtual ~CaptureTreeObserver() = default;
  // Rows first..last of parent's children are about to appear / have appeared.
  virtual void nodesAboutToBeInserted(NodeId parent, int first, int last) = 0;
  virtual void nodesInserted(NodeId parent, int first, int last) = 0;
  // The mark, renames or icon of these shown nodes changed (each node once, in id order).
  virtual void nodesChanged(const std::vector<NodeId>& nodes) = 0;
  // Rows first..last of parent's children, with everything under them, are about to go /
  // have gone.
  virtual void nodesAboutToBeRemoved(NodeId parent, int first, int last) = 0;
  virtual void nodesRemoved(NodeId parent, int first, int last) = 0;
  // Every node is about to go / has gone (a reset).
  virtual void treeAboutToBeCleared() = 0;
  virtual void treeCleared() = 0;
  // The outermost batch (beginBatch .. endBatch) has ended and everything it changed has been
  // announced. A follower that shows the tree may wait for this to show a batch's changes at
  // once: inside a batch the tree also announces what it has so far before each removal.
  virtual void batchEnded() {}
};

// Whether a change of this kind is filed in the tree: creations, deletions, renames and the
// updates of files and folders (2, 3, 9, 12, 13, 14, 16, 18); the list takes every kind.
bool isFiledInTree(EventKind kind);

// The capture tree: every delivered change is filed under its path, one node per path segment;
// deletions and renames mark the node of the last segment (a deleted folder loses its
// subtree). A node keeps facts: its name, whether it is a folder, its mark, when it was deleted
// (the change's own time), the names it was renamed to, and its icon (decided when the change
// was filed, or asked of the disk when the node is first read). What a node reads as ("(time) name", "name ->
// new") is the presentation's (appendNodeText); lookups compare with that text.
//
// Lookups go through an index of (parent, text without ASCII case) that gives exactly what a
// scan of the children in order would give: the first match, and none when that first match is
// marked deleted. So a change costs O(path depth), whatever the size of the tree.
//
// A new node's icon is that of its path on disk, asked when the node is first read: a view reads
// only the nodes it shows, and a busy recording makes thousands of nodes a second that no one
// looks at (as the capture list does with its rows' folder icons). Those icons come through a
// FolderIconCache, which keeps an answer while no change filed says it changed. Views that
// share a cache share their text pool too: the cache keeps answers by the pool's ids. A tree
// without an icon source asks no icon at all (every icon is 0).
//
// Thread: the user-interface thread only (changes arrive through synchronised calls). Owns its
// nodes; uses, but does not own, the environment, the icon source, the text pool and the icon
// cache (when given) and the observer.
class CaptureTree {
 public:
  // `pool` may be shared with the capture list so that texts both keep are kept once, and
  // `folderIcons` so that a folder both ask for is looked up once; without them the tree keeps
  // its own. Without `iconSource` no icon is asked (`folderIcons` is then ignored).
  CaptureTree(Environment& environment, IconSource* iconSource, PathStyle style, TextPool* pool = nullptr,
              FolderIconCache* folderIcons = nullptr);
  CaptureTree(const CaptureTree&) = delete;
  CaptureTree& operator=(const CaptureTree&) = delete;

  // Files one change under its path: creates the nodes its path lacks; a deletion (Delete,
  // Delete Directory) or a rename (Rename File, Rename Folder) treats the node of the last
  // segment. Other kinds than isFiledInTree's only make sure the path's nodes exist. Returns the
  // node the change was filed on (that of the last segment; kNoNode for a blank path).
  NodeId add(const Change& change);

  // The full path of a node: a root's text alone (C:), else the texts from the root down
  // joined by the separator with one more at the end (C:\Users\bob\). POSIX style does not
  // double the separator after the root "/" (/home/).
  std::string path(NodeId node) const;

  // The first root (parent kNoNode) or first child of parent whose text (appendNodeText)
  // equals `text` without ASCII case; none when there is no match or the first match is marked
  // deleted.
  NodeId find(std::string_view text, NodeId parent) const;

  // Removes every node (the Clean command).
  void clear();

  // Groups the changes of several events into one announcement to the observer. Nestable;
  // the announcement goes out when the outermost batch ends. A method called outside a batch
  // is a batch of its own.
  void beginBatch();
  void endBatch();
  // Whether a batch is open: the changes announced now are not the batch's last.
  bool inBatch() const { return batchDepth > 0; }

  // Reading, as the observer has been told so far (outside a batch: everything).
  int childCount(NodeId parent) const;
  NodeId child(NodeId parent, int row) const { return childList(parent)[static_cast<std::size_t>(row)]; }
  NodeId parent(NodeId node) const { return nodes[node].parent; }
  int row(NodeId node) const;
  // 0 for a root.
  int level(NodeId node) const;
  // False for kNoNode, ids never handed out and removed nodes.
  bool isNode(NodeId node) const {
    return node != kNoNode && node < nodes.size() && nodes[node].parent != kRemoved;
  }

  // The facts of a node.
  // The path segment it was made for, exactly as split from the path.
  std::string_view name(NodeId node) const { return pool->text(nodes[node].name); }
  // A folder: a node that a path went through, or one named by a folder's change.
  bool isFolder(NodeId node) const { return nodes[node].folder != 0; }
  Mark mark(NodeId node) const { return nodes[node].mark; }
  // When a node marked deleted was deleted (the time of the change); none for other nodes.
  std::optional<std::chrono::system_clock::time_point> deletedAt(NodeId node) const;
  // The names a node was renamed to, in order (usually none or one).
  std::vector<std::string_view> renames(NodeId node) const;
  // The system icon index of a node; 0 for none. A new node's is asked the first time it is read.
  int icon(NodeId node) const;
  PathStyle pathStyle() const { return style; }

  // The number of nodes in the tree.
  std::size_t nodeCount() const { return liveNodes; }
  // Every node in absolute order (depth-first pre-order, siblings in insertion order) with its
  // level. Meant for use outside a batch.
  void forEachNode(const std::function<void(NodeId node, int level)>& visit) const;

  // The observer, or none; not owned.
  void setObserver(CaptureTreeObserver* newObserver) { observer = newObserver; }

  // Bytes held by the nodes, child lists, treatments, index and known folders (texts not
  // included), for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  static constexpr NodeId kRemoved = 0xFFFFFFFFu;
  struct Node {
    TextId name;
    NodeId parent;           // kNoNode for a root, kRemoved once removed
    std::uint32_t children;  // index into childLists, 0 when the node has none
    mutable std::int32_t icon;
    // The siblings whose texts are equal without ASCII case form a circular list in child
    // order; the first of them is the one the index holds.
    NodeId nextSame;
    NodeId prevSame;
    std::uint32_t treatment;  // the latest of the node's treatments (index into treatments), 0: none
    Mark mark;
    std::uint8_t folder;
    // The icon is that of the node's path on disk, still to be asked (by icon()).
    mutable std::uint8_t iconPending;
  };
  // A rename or the deletion of a node. A node is renamed any number of times, and deleted at
  // most once (a deleted node is never found again); its treatments form a chain from the latest
  // back to the first.
  struct Treatment {
    std::chrono::system_clock::time_point deletedAt;  // a deletion's time
    TextId renamedTo;                                 // a rename's new name
    std::uint32_t earlier;                            // the treatment before this one, 0 for none
    // The folded hash of the node's text after this treatment, so that the index finds the
    // node's slot without composing its text.
    std::uint32_t folded;
  };

  class Batch;

  const std::vector<NodeId>& childList(NodeId parent) const;
  NodeId appendNode(NodeId parent, std::string_view name, bool folder);
  void treat(NodeId node, const Change& change);
  void changed(NodeId node);
  void removeChildren(NodeId node);
  // The folded hash of a node's text.
  std::uint32_t foldedOf(NodeId node) const;
  // Whether a node's text equals `text` without ASCII case.
  bool textEquals(NodeId node, std::string_view text) const;
  void flush();

  // The index of first matches.
  std::uint32_t keyHash(NodeId parent, std::uint32_t folded) const;
  NodeId indexFind(NodeId parent, std::string_view text, std::uint32_t folded) const;
  void indexLink(NodeId node);
  void indexUnlink(NodeId node);
  std::size_t slotOf(NodeId head) const;
  void indexGrow();

  Environment& environment_;
  IconSource* iconSource;
  PathStyle style;
  TextPool ownPool;
  TextPool* pool;
  std::unique_ptr<FolderIconCache> ownIcons;
  FolderIconCache* icons;  // none without an icon source
  CaptureTreeObserver* observer = nullptr;

  std::vector<Node> nodes;                      // nodes[0] stands for the top level
  std::vector<std::vector<NodeId>> childLists;  // [0] is never used
  std::vector<std::uint32_t> freeChildLists;
  std::vector<Treatment> treatments;  // [0] is never used
  // Open addressing, linear probing; a free slot holds kNoNode. Each slot keeps its key's hash
  // too, so that a probe passes other keys without reading their nodes.
  struct IndexSlot {
    NodeId node;
    std::uint32_t key;
  };
  std::vector<IndexSlot> index;
  std::size_t indexed = 0;
  std::size_t liveNodes = 0;
  mutable std::string textScratch;  // the composed text of a treated node being compared

  // Batches: nodes with an id below `published` have been announced.
  int batchDepth = 0;
  NodeId published = 1;
  std::vector<NodeId> touchedParents;  // shown parents that got new children in this batch
  std::vector<NodeId> changedNodes;
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
