#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tw::linuxfs {

// The directories a change source knows, each as its parent and its name, so that renaming or
// moving a folder re-links one node and every path below it follows at once. A node without a
// parent holds a whole absolute path (a watched root, or a folder found outside the known
// tree). Full paths are cached; a move or removal invalidates every cached path in O(1) (one
// counter), and the next lookup rebuilds only what it needs.
//
// Used by one change source on the monitor thread only; not thread-safe.
class DirTree {
 public:
  using NodeId = std::uint64_t;  // never reused; 0 is "no node"

  // A node without parent that stands for `absolutePath`.
  NodeId addDetached(std::string absolutePath);
  // The child `name` of `parent`, created when it is not known yet.
  NodeId addChild(NodeId parent, std::string_view name);
  // The known child `name` of `parent`; 0 when there is none.
  NodeId child(NodeId parent, std::string_view name) const;
  // Re-links `node` as the child `newName` of `newParent` (0: detached at the absolute path
  // `newName`). A node already known under the new name there is removed first (a rename over
  // an existing folder replaces it).
  void move(NodeId node, NodeId newParent, std::string_view newName);
  // Removes `node` and everything below it; `removed` is called for each removed node.
  void remove(NodeId node, const std::function<void(NodeId)>& removed = {});
  bool contains(NodeId node) const { return nodes.count(node) != 0; }
  // The full path of a node; empty for an unknown node.
  const std::string& path(NodeId node);
  std::size_t size() const { return nodes.size(); }

  // `dir` + "/" + `name`, without a doubled separator after the root "/".
  static std::string join(std::string_view dir, std::string_view name);

 private:
  struct Node {
    NodeId parent = 0;
    std::string name;
    std::unordered_map<std::string, NodeId> children;
    std::string cachedPath;
    std::uint64_t cachedEpoch = 0;  // 0: never computed
  };
  void unlink(NodeId node);

  std::unordered_map<NodeId, Node> nodes;
  NodeId nextId = 1;
  std::uint64_t epoch = 1;
  std::string empty;
};

// True when `path` is `root` or lies below it (both without a final separator, except "/").
bool isSameOrBelowPath(std::string_view path, std::string_view root);

}  // namespace tw::linuxfs
