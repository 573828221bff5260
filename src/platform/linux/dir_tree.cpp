#include "platform/linux/dir_tree.h"

#include <vector>

namespace tw::linuxfs {

std::string DirTree::join(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

bool isSameOrBelowPath(std::string_view path, std::string_view root) {
  if (root == "/") return path.starts_with('/');
  if (!path.starts_with(root)) return false;
  return path.size() == root.size() || path[root.size()] == '/';
}

DirTree::NodeId DirTree::addDetached(std::string absolutePath) {
  const NodeId id = nextId++;
  Node& node = nodes[id];
  node.name = std::move(absolutePath);
  return id;
}

DirTree::NodeId DirTree::addChild(NodeId parent, std::string_view name) {
  auto p = nodes.find(parent);
  if (p == nodes.end()) return 0;
  const std::string key(name);
  if (auto it = p->second.children.find(key); it != p->second.children.end()) return it->second;
  const NodeId id = nextId++;
  p->second.children.emplace(key, id);  // before inserting: the insert may move `p`'s element
  Node& node = nodes[id];
  node.parent = parent;
  node.name = key;
  return id;
}

DirTree::NodeId DirTree::child(NodeId parent, std::string_view name) const {
  auto p = nodes.find(parent);
  if (p == nodes.end()) return 0;
  auto it = p->second.children.find(std::string(name));
  return it == p->second.children.end() ? 0 : it->second;
}

void DirTree::unlink(NodeId node) {
  auto n = nodes.find(node);
  if (n == nodes.end() || n->second.parent == 0) return;
  auto p = nodes.find(n->second.parent);
  if (p != nodes.end()) p->second.children.erase(n->second.name);
  n->second.parent = 0;
}

void DirTree::move(NodeId node, NodeId newParent, std::string_view newName) {
  if (!contains(node)) return;
  if (newParent != 0 && !contains(newParent)) newParent = 0;
  if (newParent != 0) {
    const NodeId replaced = child(newParent, newName);
    if (replaced == node) return;
    if (replaced != 0) remove(replaced);
  }
  unlink(node);
  Node& n = nodes[node];
  n.name = std::string(newName);
  n.parent = newParent;
  if (newParent != 0) nodes[newParent].children[n.name] = node;
  ++epoch;
}

void DirTree::remove(NodeId node, const std::function<void(NodeId)>& removed) {
  if (!contains(node)) return;
  unlink(node);
  std::vector<NodeId> stack{node};
  while (!stack.empty()) {
    const NodeId id = stack.back();
    stack.pop_back();
    auto it = nodes.find(id);
    if (it == nodes.end()) continue;
    for (const auto& [name, childId] : it->second.children) stack.push_back(childId);
    nodes.erase(it);
    if (removed) removed(id);
  }
  ++epoch;
}

const std::string& DirTree::path(NodeId node) {
  auto it = nodes.find(node);
  if (it == nodes.end()) return empty;
  // Walk up to the nearest node whose cache is current, then build the paths back down.
  std::vector<Node*> chain;
  Node* n = &it->second;
  while (n->cachedEpoch != epoch) {
    chain.push_back(n);
    if (n->parent == 0) break;
    auto p = nodes.find(n->parent);
    if (p == nodes.end()) break;
    n = &p->second;
  }
  for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
    Node* cur = *c;
    if (cur->parent == 0) {
      cur->cachedPath = cur->name;
    } else {
      auto p = nodes.find(cur->parent);
      cur->cachedPath = p == nodes.end() ? cur->name : join(p->second.cachedPath, cur->name);
    }
    cur->cachedEpoch = epoch;
  }
  return it->second.cachedPath;
}

}  // namespace tw::linuxfs
