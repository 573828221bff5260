#include "core/model/capture_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "core/events/event_kinds.h"
#include "core/model/path_parts.h"
#include "core/text/text_lines.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

using Segs = std::vector<std::string_view>;
constexpr auto Win = PathStyle::Windows;
constexpr auto Posix = PathStyle::Posix;

TEST(PathSegments, SplitTable) {
  struct Case {
    PathStyle style;
    std::string path;
    Segs segments;
  } cases[] = {
      {Win, "C:\\a\\b.txt", {"C:", "a", "b.txt"}},
      {Win, "C:\\a\\", {"C:", "a"}},
      {Win, "C:\\\\a", {"C:", "", "a"}},
      {Win, "\\\\srv\\share", {"", "", "srv", "share"}},
      {Win, "C:\\a/b\\c", {"C:", "a/b", "c"}},  // a forward slash is ordinary
      {Win, "C:\\ a \\ ", {"C:", " a ", " "}},
      {Win, "C:\\a\r\nb\rc\nd", {"C:", "a", "b", "c", "d"}},
      {Win, "C:\\a\r\\b", {"C:", "a", "", "b"}},  // a lone CR, then the separator's break
      {Win, "C:", {"C:"}},
      {Win, "", {}},
      {Win, "\\", {""}},
      {Posix, "/home/u/a.txt", {"/", "home", "u", "a.txt"}},
      {Posix, "/home//u/", {"/", "home", "", "u"}},
      {Posix, "/", {"/"}},
      {Posix, "rel/x", {"rel", "x"}},
      {Posix, "/a\\b/c:d", {"/", "a\\b", "c:d"}},
      {Posix, "/d/line\nbreak\r.txt", {"/", "d", "line\nbreak\r.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(splitPathSegments(c.path, c.style), c.segments);
  }
}

TEST(PathSegments, WindowsSplitIsTheLineSplitOfThePathWithBreaksForBackslashes) {
  std::mt19937 random(7);
  const std::string alphabet = "ab\\\r\n ";
  for (int round = 0; round < 5000; ++round) {
    std::string path;
    const int length = static_cast<int>(random() % 12);
    for (int i = 0; i < length; ++i) path.push_back(alphabet[random() % alphabet.size()]);
    std::string replaced;
    for (const char c : path) {
      if (c == '\\') {
        replaced += "\r\n";
      } else {
        replaced.push_back(c);
      }
    }
    const auto lines = splitLines(replaced);
    const auto segments = splitPathSegments(path, Win);
    ASSERT_EQ(std::vector<std::string>(segments.begin(), segments.end()), lines)
        << testing::PrintToString(path);
  }
}

TEST(PathSegments, PartsOfAPath) {
  EXPECT_EQ(getLastSegment("C:\\a\\new.txt", Win), "new.txt");
  EXPECT_EQ(getLastSegment("new.txt", Win), "new.txt");
  EXPECT_EQ(getLastSegment("C:\\a\\", Win), "");
  EXPECT_EQ(getLastSegment("C:x", Win), "C:x");  // only the backslash counts here
  EXPECT_EQ(getLastSegment("/a/b:c", Posix), "b:c");
  EXPECT_EQ(fileNamePart("C:x", Win), "x");
  EXPECT_EQ(folderPart("C:x", Win), "C:");
  EXPECT_EQ(folderPart("x", Win), "");
  EXPECT_EQ(fileNamePart("/a/b:c", Posix), "b:c");
  EXPECT_EQ(folderPart("/a/b:c", Posix), "/a/");
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank(" \t\r\n\x01 "));
  EXPECT_FALSE(isBlank(" a "));
  EXPECT_FALSE(isBlank("\xC2\xA0"));  // a no-break space is not blank
}

// A fixture that files events in a tree over a scripted platform and prints the tree.
class TreeTest : public testing::Test {
 protected:
  TreeTest() {
    platform.typeIcons = {{".txt", 20}, {".doc", 21}};
    platform.unknownTypeIcon = 9;
    platform.objectIcons = {{"C:\\Windows\\", 50}, {"C:\\a\\", 60}, {"C:\\Users\\", 61}};
    platform.clock = "14:03:27";
  }

  // Each node in absolute order as indentation, text and {mark,icon}.
  std::vector<std::string> dump() const {
    std::vector<std::string> lines;
    tree.forEachNode([&](NodeId n, int level) {
      EXPECT_EQ(tree.level(n), level);
      EXPECT_EQ(tree.selectedImageIndex(n), tree.imageIndex(n));
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') + std::string(tree.text(n)) +
                      " {" + std::to_string(tree.mark(n)) + "," + std::to_string(tree.imageIndex(n)) + "}");
    });
    return lines;
  }

  FakePlatform platform{PathStyle::Windows};
  CaptureTree tree{platform, platform};
};

TEST_F(TreeTest, CreateFilesOneNodePerSegmentWithIcons) {
  tree.addDirectoryFile("C:\\a\\b.txt", "", evCreate, Win);
  // The root's icon comes from its name; the others from their disk path with the separator.
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "    b.txt {0,0}"}));
  tree.addDirectoryFile("C:\\a\\b.txt", "", evUpdateItem, Win);
  tree.addDirectoryFile("c:\\A\\B.TXT", "", evUpdateItem, Win);
  EXPECT_EQ(tree.nodeCount(), 3u);
  const NodeId c = tree.findNode("C:", kNoNode);
  const NodeId a = tree.findNode("a", c);
  const NodeId b = tree.findNode("b.txt", a);
  EXPECT_EQ(tree.nodePath(c, Win), "C:");
  EXPECT_EQ(tree.nodePath(a, Win), "C:\\a\\");
  EXPECT_EQ(tree.nodePath(b, Win), "C:\\a\\b.txt\\");
}

TEST_F(TreeTest, CaseFoldingIsAsciiOnlyAndSpacesCount) {
  tree.addDirectoryFile("C:\\\xC3\x84", "", evCreate, Win);  // Ä
  tree.addDirectoryFile("C:\\\xC3\xA4", "", evCreate, Win);  // ä: another node
  tree.addDirectoryFile("C:\\ a ", "", evCreate, Win);
  tree.addDirectoryFile("C:\\a", "", evCreate, Win);
  tree.addDirectoryFile("C:\\A", "", evCreate, Win);
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  \xC3\x84 {0,0}", "  \xC3\xA4 {0,0}",
                                              "   a  {0,0}", "  a {0,60}"}));
}

TEST_F(TreeTest, SegmentGapsAndRoots) {
  tree.addDirectoryFile("C:\\\\a", "", evCreate, Win);            // a directly under C:
  tree.addDirectoryFile("\\\\srv\\share\\f", "", evCreate, Win);  // srv becomes a root
  tree.addDirectoryFile("C:\\a/b", "", evCreate, Win);            // one segment a/b
  tree.addDirectoryFile("C:\\a\\ ", "", evDelete, Win);           // blank last segment: no treatment
  tree.addDirectoryFile("C:", "", evDelete, Win);                 // one segment: no treatment
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "  a/b {0,0}", "srv {0,0}",
                                              "  share {0,0}", "    f {0,0}"}));
  const NodeId srv = tree.findNode("SRV", kNoNode);
  EXPECT_EQ(tree.nodePath(srv, Win), "srv");
  EXPECT_EQ(tree.nodePath(tree.child(tree.child(srv, 0), 0), Win), "srv\\share\\f\\");
  // A root reached past blank segments can be treated: it is the last segment.
  tree.addDirectoryFile("\\\\srv", "", evDelete, Win);
  EXPECT_EQ(tree.text(srv), "(14:03:27) srv");
}

TEST_F(TreeTest, TreatmentsAndTheFreshNodeBesideATreatedOne) {
  struct Step {
    std::string path;
    std::string newName;
    int event;
  } steps[] = {
      {"C:\\a\\b.txt", "", evCreate},
      {"C:\\a\\b.txt", "", evDelete},      // the plain node is treated
      {"C:\\a\\b.txt", "", evCreate},      // a fresh node beside it
      {"C:\\a\\B.TXT", "", evUpdateItem},  // finds the fresh one
      {"C:\\a\\b.txt", "C:\\a\\c.doc", evRenameItem},
      {"C:\\a\\b.txt", "", evDelete},  // no plain b.txt left: a new node, treated at once
      {"C:\\a\\old", "C:\\a\\new\\", evRenameFolder},
      {"C:\\a\\x", "", evRmDir},
  };
  for (const auto& s : steps) tree.addDirectoryFile(s.path, s.newName, s.event, Win);
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "    (14:03:27) b.txt {2,20}",
                                              "    b.txt -> c.doc {1,20}", "    (14:03:27) b.txt {2,20}",
                                              "    old ->  {1,50}", "    (14:03:27) x {2,50}"}));
  // A treated node is found again only by its new text, and never when marked deleted.
  const NodeId a = tree.findNode("C:", kNoNode);
  const NodeId folder = tree.findNode("a", a);
  EXPECT_EQ(tree.findNode("(14:03:27) b.txt", folder), kNoNode);
  EXPECT_EQ(tree.findNode("B.TXT -> C.DOC", folder), tree.child(folder, 1));
  EXPECT_EQ(tree.findNode("b.txt", folder), kNoNode);
}

TEST_F(TreeTest, DeleteDirectoryRemovesTheSubtreeAndLookupsStayRight) {
  tree.addDirectoryFile("C:\\a\\s\\deep.txt", "", evCreate, Win);
  tree.addDirectoryFile("C:\\a\\t.txt", "", evCreate, Win);
  tree.addDirectoryFile("C:\\b\\u.txt", "", evCreate, Win);
  EXPECT_EQ(tree.nodeCount(), 7u);
  tree.addDirectoryFile("C:\\a", "", evRmDir, Win);
  EXPECT_EQ(dump(),
            (std::vector<std::string>{"C: {0,9}", "  (14:03:27) a {2,50}", "  b {0,0}", "    u.txt {0,0}"}));
  EXPECT_EQ(tree.nodeCount(), 4u);
  // The removed nodes are gone from the index: the folder comes back as a fresh node.
  tree.addDirectoryFile("C:\\a\\s\\deep.txt", "", evUpdateItem, Win);
  EXPECT_EQ(tree.nodeCount(), 7u);
  const NodeId c = tree.findNode("C:", kNoNode);
  EXPECT_EQ(tree.childCount(c), 3);
  EXPECT_EQ(tree.text(tree.child(c, 2)), "a");
  EXPECT_EQ(tree.findNode("a", c), tree.child(c, 2));
  tree.addDirectoryFile("C:\\b", "", evRmDir, Win);
  tree.addDirectoryFile("C:\\B\\u.txt", "", evCreate, Win);
  EXPECT_EQ(tree.text(tree.child(c, 3)), "B");
}

TEST_F(TreeTest, ClearEmptiesEverything) {
  tree.addDirectoryFile("C:\\a\\b.txt", "", evCreate, Win);
  tree.clear();
  EXPECT_EQ(tree.nodeCount(), 0u);
  EXPECT_EQ(tree.childCount(kNoNode), 0);
  EXPECT_EQ(tree.findNode("C:", kNoNode), kNoNode);
  tree.addDirectoryFile("C:\\a\\b.txt", "", evCreate, Win);
  EXPECT_EQ(dump().size(), 3u);
}

TEST(PosixTree, RootSlashAndNoDoubledSeparator) {
  FakePlatform platform(PathStyle::Posix);
  platform.systemDir = "/usr";
  platform.objectIcons = {{"/home/", 3}, {"/usr/", 4}};
  platform.typeIcons = {{".txt", 5}};
  platform.clock = "09:00:00";
  CaptureTree tree(platform, platform);
  tree.addDirectoryFile("/home/u/a.txt", "", evCreate, Posix);
  tree.addDirectoryFile("/home//u/ ", "", evCreate, Posix);  // a name of one space is a name
  tree.addDirectoryFile("/home/u/a\\b:c", "", evCreate, Posix);
  tree.addDirectoryFile("/home/u/a.txt", "/home/u/z.txt", evRenameItem, Posix);
  tree.addDirectoryFile("/home/u/line\nbreak", "", evDelete, Posix);
  const NodeId root = tree.findNode("/", kNoNode);
  ASSERT_NE(root, kNoNode);
  const NodeId home = tree.findNode("home", root);
  const NodeId u = tree.findNode("u", home);
  EXPECT_EQ(tree.nodePath(root, Posix), "/");
  EXPECT_EQ(tree.nodePath(home, Posix), "/home/");
  EXPECT_EQ(tree.nodePath(u, Posix), "/home/u/");
  EXPECT_EQ(tree.imageIndex(home), 3);
  ASSERT_EQ(tree.childCount(u), 4);
  EXPECT_EQ(tree.text(tree.child(u, 0)), "a.txt -> z.txt");
  EXPECT_EQ(tree.imageIndex(tree.child(u, 0)), 5);
  EXPECT_EQ(tree.text(tree.child(u, 1)), " ");
  EXPECT_EQ(tree.text(tree.child(u, 2)), "a\\b:c");
  EXPECT_EQ(tree.text(tree.child(u, 3)), "(09:00:00) line\nbreak");
  EXPECT_EQ(tree.nodeCount(), 7u);
}

// A new node's folder icon is asked of the disk with its path and a trailing separator, except
// for the file a POSIX create or write names (such a path names nothing, so the answer is 0
// unasked) and for a node that a treatment gives its icon.
TEST(PosixTree, CreatedFileNodeIsNotAskedForAFolderIcon) {
  struct AskingPlatform : FakePlatform {
    using FakePlatform::FakePlatform;
    int pathIcon(std::string_view path) override {
      asked.emplace_back(path);
      return FakePlatform::pathIcon(path);
    }
    std::vector<std::string> asked;
  };
  struct Case {
    PathStyle style;
    const char* path;
    int event;
    const char* filePath;  // the new file node's path as the disk would be asked
    bool asked;
    int icon;  // of the new file node
  } cases[] = {
      {Posix, "/d/a.txt", evCreate, "/d/a.txt/", false, 0},
      {Posix, "/d/a.txt", evUpdateItem, "/d/a.txt/", false, 0},
      {Posix, "/d/a.txt", evMkDir, "/d/a.txt/", true, 70},
      {Posix, "/d/a.txt", evUpdateDir, "/d/a.txt/", true, 70},
      {Posix, "/d/a.txt", evDelete, "/d/a.txt/", false, 5},         // the file type's icon
      {Posix, "/d/a.txt", evRmDir, "/d/a.txt/", false, 9},          // the system folder's icon
      {Win, "C:\\d\\a.txt", evCreate, "C:\\d\\a.txt\\", true, 70},  // the shell is asked
  };
  for (const Case& c : cases) {
    AskingPlatform platform(c.style);
    platform.objectIcons = {{"/d/", 60}, {"C:\\d\\", 60}, {c.filePath, 70}, {"/usr/", 9}};
    platform.systemDir = "/usr";
    platform.typeIcons = {{".txt", 5}};
    CaptureTree tree(platform, platform);
    tree.addDirectoryFile(c.path, "", c.event, c.style);
    const NodeId d = tree.findNode("d", tree.child(kNoNode, 0));
    ASSERT_NE(d, kNoNode) << c.path;
    EXPECT_EQ(tree.imageIndex(d), 60) << c.path;  // the folder above is asked as before
    ASSERT_EQ(tree.childCount(d), 1) << c.path;
    EXPECT_EQ(tree.imageIndex(tree.child(d, 0)), c.icon) << c.path << " " << c.event;
    const bool asked = std::count(platform.asked.begin(), platform.asked.end(), c.filePath) > 0;
    EXPECT_EQ(asked, c.asked) << c.path << " " << c.event;
  }
}

// The lookups exactly as described: scans in order, over a plain tree.
class ScanTree {
 public:
  struct Node {
    std::string text;
    int mark = 0;
    int image = 0;
    int parent = -1;
    std::vector<int> children;
    bool removed = false;
  };

  explicit ScanTree(FakePlatform& platform) : platform(platform) {}

  void add(std::string_view path, std::string_view newName, int eventnum, PathStyle style) {
    const auto segments = splitPathSegments(path, style);
    const std::size_t n = segments.size();
    int parent = -1;
    for (std::size_t i = 0; i < n; ++i) {
      const std::string s(segments[i]);
      if (style == Win ? isBlank(s) : s.empty()) continue;
      int node = find(s, parent);
      if (i == 0) {
        if (node < 0) {
          node = append(-1, s);
          nodes[node].image = platform.fileTypeIcon(path_(node, style));
        }
        parent = node;
        continue;
      }
      if (node < 0) {
        node = append(parent, s);
        nodes[node].image = platform.pathIcon(path_(node, style));
      }
      if ((eventnum == 3 || eventnum == 12 || eventnum == 13 || eventnum == 14) && i == n - 1) {
        std::string p = path_(node, style);
        if (eventnum == 3 || eventnum == 13) {
          if (nodes[node].parent >= 0) p.pop_back();
          nodes[node].image = platform.fileTypeIcon(p);
        } else {
          nodes[node].image =
              platform.pathIcon(platform.systemFolder().value() + (platform.pathStyle() == Win ? "\\" : "/"));
        }
        if (eventnum == 3 || eventnum == 14) {
          nodes[node].text = "(" + platform.timeOfDay({}) + ") " + nodes[node].text;
          nodes[node].mark = 2;
          if (eventnum == 14) {
            for (int c : nodes[node].children) removeTree(c);
            nodes[node].children.clear();
          }
        } else {
          nodes[node].text += " -> " + std::string(getLastSegment(newName, style));
          nodes[node].mark = 1;
        }
      }
      parent = node;
    }
  }

  std::vector<int> absoluteOrder() const {
    std::vector<int> order;
    std::vector<int> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
      const int n = stack.back();
      stack.pop_back();
      order.push_back(n);
      stack.insert(stack.end(), nodes[n].children.rbegin(), nodes[n].children.rend());
    }
    return order;
  }

  std::vector<Node> nodes;
  std::vector<int> roots;

 private:
  int find(const std::string& text, int parent) const {
    const std::vector<int> candidates = parent < 0 ? absoluteOrder() : nodes[parent].children;
    for (int c : candidates) {
      if (parent < 0 && nodes[c].parent >= 0) continue;
      if (equalsIgnoreAsciiCase(nodes[c].text, text)) return nodes[c].mark == 2 ? -1 : c;
    }
    return -1;
  }
  int append(int parent, const std::string& text) {
    nodes.push_back(Node{text, 0, 0, parent, {}, false});
    const int id = static_cast<int>(nodes.size()) - 1;
    (parent < 0 ? roots : nodes[parent].children).push_back(id);
    return id;
  }
  void removeTree(int n) {
    nodes[n].removed = true;
    for (int c : nodes[n].children) removeTree(c);
  }
  std::string path_(int n, PathStyle style) const {
    if (nodes[n].parent < 0) return nodes[n].text;
    std::vector<int> chain;
    for (int at = n; at >= 0; at = nodes[at].parent) chain.push_back(at);
    std::string p = nodes[chain.back()].text;
    const char sep = pathSeparator(style);
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
      if (style == Win || p.back() != sep) p.push_back(sep);
      p += nodes[chain[i]].text;
    }
    p.push_back(sep);
    return p;
  }

  FakePlatform& platform;
};

std::vector<std::string> describe(const CaptureTree& tree) {
  std::vector<std::string> lines;
  tree.forEachNode([&](NodeId n, int level) {
    lines.push_back(std::to_string(level) + "|" + std::string(tree.text(n)) + "|" +
                    std::to_string(tree.mark(n)) + "|" + std::to_string(tree.imageIndex(n)));
  });
  return lines;
}

std::vector<std::string> describe(const ScanTree& scan) {
  std::vector<std::string> lines;
  for (int n : scan.absoluteOrder()) {
    int level = 0;
    for (int p = scan.nodes[n].parent; p >= 0; p = scan.nodes[p].parent) ++level;
    lines.push_back(std::to_string(level) + "|" + scan.nodes[n].text + "|" +
                    std::to_string(scan.nodes[n].mark) + "|" + std::to_string(scan.nodes[n].image));
  }
  return lines;
}

// Random events over a small set of names that collide in every way the index must get right:
// case, treated texts that equal later segments, renames back and forth, folder deletions.
TEST(TreeIndex, GivesExactlyWhatTheScansGive) {
  for (const PathStyle style : {Win, Posix}) {
    FakePlatform platform(style);
    platform.clock = "1";
    platform.typeIcons = {{".t", 7}};
    platform.objectIcons = {{style == Win ? "C:\\Windows\\" : "C:\\Windows/", 8}};
    CaptureTree tree(platform, platform);
    ScanTree scan(platform);
    std::mt19937 random(style == Win ? 11 : 12);
    const std::vector<std::string> names = {
        "a", "A", "b.t", "B.T", "(1) a", "(1) b.t", "a -> b", "a -> b.t", "b.t -> a", "(1) A", " ", "", "x"};
    const std::vector<std::string> roots = {"R", "r", "Q"};
    const int events[] = {evCreate,     evDelete, evMkDir,     evRenameFolder,
                          evRenameItem, evRmDir,  evUpdateDir, evUpdateItem};
    const char sep = pathSeparator(style);
    for (int round = 0; round < 4000; ++round) {
      const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
      std::string path = style == Win ? pick(roots) : "/" + pick(roots);
      const int depth = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < depth; ++i) path += sep + pick(names);
      const std::string newName = "n" + std::string(1, sep) + pick(names);
      const int event = events[random() % std::size(events)];
      tree.addDirectoryFile(path, newName, event, style);
      scan.add(path, newName, event, style);
      if (round % 50 == 0 || round == 3999) {
        ASSERT_EQ(describe(tree), describe(scan))
            << "after " << round << " events, last " << path << " " << event;
      }
    }
    EXPECT_GT(tree.nodeCount(), 100u);
    EXPECT_EQ(tree.nodeCount(), describe(scan).size());
  }
}

// An observer that keeps its own copy of the tree, as a view would, from the calls alone,
// and checks every call against what the tree answers at that moment.
class MirrorObserver : public CaptureTreeObserver {
 public:
  explicit MirrorObserver(const CaptureTree& tree) : tree(tree) { children[kNoNode]; }

  void nodesAboutToBeInserted(NodeId parent, int first, int last) override {
    ++insertCalls;
    ASSERT_TRUE(children.contains(parent));
    EXPECT_EQ(tree.childCount(parent), static_cast<int>(children[parent].size()));
    EXPECT_EQ(first, static_cast<int>(children[parent].size()));
    EXPECT_LE(first, last);
    pending = {parent, first, last};
  }
  void nodesInserted(NodeId parent, int first, int last) override {
    EXPECT_EQ(pending, std::make_tuple(parent, first, last));
    EXPECT_EQ(tree.childCount(parent), last + 1);
    for (int r = first; r <= last; ++r) take(parent, tree.child(parent, r));
  }
  void nodesChanged(const std::vector<NodeId>& nodes) override {
    EXPECT_TRUE(std::is_sorted(nodes.begin(), nodes.end()));
    for (const NodeId n : nodes) {
      ASSERT_TRUE(texts.contains(n)) << "a change of a node not shown";
      texts[n] = std::string(tree.text(n));
    }
  }
  void nodesAboutToBeRemoved(NodeId parent, int first, int last) override {
    EXPECT_EQ(tree.childCount(parent), static_cast<int>(children[parent].size()));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, static_cast<int>(children[parent].size()) - 1);
  }
  void nodesRemoved(NodeId parent, int, int) override {
    EXPECT_EQ(tree.childCount(parent), 0);
    drop(parent);
    children[parent].clear();
  }
  void treeAboutToBeCleared() override {}
  void treeCleared() override {
    children.clear();
    texts.clear();
    children[kNoNode];
  }

  // The mirror equals the tree.
  void check() const {
    std::vector<std::string> mine;
    std::vector<std::pair<NodeId, int>> stack;
    for (auto it = children.at(kNoNode).rbegin(); it != children.at(kNoNode).rend(); ++it)
      stack.push_back({*it, 0});
    while (!stack.empty()) {
      const auto [n, level] = stack.back();
      stack.pop_back();
      mine.push_back(std::to_string(level) + texts.at(n));
      const auto& list = children.at(n);
      for (auto it = list.rbegin(); it != list.rend(); ++it) stack.push_back({*it, level + 1});
    }
    std::vector<std::string> real;
    tree.forEachNode(
        [&](NodeId n, int level) { real.push_back(std::to_string(level) + std::string(tree.text(n))); });
    EXPECT_EQ(mine, real);
  }

  int insertCalls = 0;

 private:
  void take(NodeId parent, NodeId node) {
    children[parent].push_back(node);
    texts[node] = std::string(tree.text(node));
    children[node];
    for (int r = 0; r < tree.childCount(node); ++r) take(node, tree.child(node, r));
  }
  void drop(NodeId parent) {
    for (const NodeId c : children[parent]) {
      drop(c);
      children.erase(c);
      texts.erase(c);
    }
  }

  const CaptureTree& tree;
  std::map<NodeId, std::vector<NodeId>> children;
  std::map<NodeId, std::string> texts;
  std::tuple<NodeId, int, int> pending;
};

TEST(TreeObserver, BatchesAnnounceEveryChangeAndAViewCanFollow) {
  FakePlatform platform(Win);
  CaptureTree tree(platform, platform);
  MirrorObserver mirror(tree);
  tree.setObserver(&mirror);
  std::mt19937 random(5);
  const std::vector<std::string> names = {"a", "b", "c", "d.t"};
  const int events[] = {evCreate, evDelete, evRenameItem, evRmDir, evUpdateItem, evCreate, evCreate};
  for (int batch = 0; batch < 300; ++batch) {
    tree.beginBatch();
    const int size = static_cast<int>(random() % 8);
    for (int i = 0; i < size; ++i) {
      std::string path = "C:";
      const int depth = 1 + static_cast<int>(random() % 3);
      for (int d = 0; d < depth; ++d) path += "\\" + names[random() % names.size()];
      tree.addDirectoryFile(path, "x\\y", events[random() % std::size(events)], Win);
      // Inside a batch the tree answers as announced: new children stay out of sight.
    }
    tree.endBatch();
    mirror.check();
    if (batch == 150) {
      tree.clear();
      mirror.check();
    }
  }
  EXPECT_GT(mirror.insertCalls, 50);
}

TEST(TreeObserver, ABatchAnnouncesOneBlockPerShownParent) {
  FakePlatform platform(Win);
  CaptureTree tree(platform, platform);
  struct Recorder : CaptureTreeObserver {
    std::vector<std::string> calls;
    const CaptureTree* tree = nullptr;
    void nodesAboutToBeInserted(NodeId p, int f, int l) override {
      calls.push_back("insert " + (p == kNoNode ? std::string("top") : std::string(tree->text(p))) + " " +
                      std::to_string(f) + ".." + std::to_string(l));
    }
    void nodesInserted(NodeId, int, int) override {}
    void nodesChanged(const std::vector<NodeId>& n) override {
      for (NodeId id : n) calls.push_back("changed " + std::string(tree->text(id)));
    }
    void nodesAboutToBeRemoved(NodeId p, int f, int l) override {
      calls.push_back("remove " + std::string(tree->text(p)) + " " + std::to_string(f) + ".." +
                      std::to_string(l));
    }
    void nodesRemoved(NodeId, int, int) override {}
    void treeAboutToBeCleared() override { calls.push_back("clear"); }
    void treeCleared() override {}
  } recorder;
  recorder.tree = &tree;
  tree.setObserver(&recorder);
  tree.addDirectoryFile("C:\\a\\1", "", evCreate, Win);  // outside a batch: at once
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"insert top 0..0"}));
  recorder.calls.clear();
  tree.beginBatch();
  tree.addDirectoryFile("C:\\a\\2", "", evCreate, Win);
  tree.addDirectoryFile("C:\\a\\3", "", evCreate, Win);
  tree.addDirectoryFile("C:\\b\\1", "", evCreate, Win);
  tree.addDirectoryFile("C:\\a\\1", "", evDelete, Win);
  tree.addDirectoryFile("C:\\a\\3", "", evDelete, Win);  // new in this batch: comes changed already
  tree.addDirectoryFile("D:\\x", "", evCreate, Win);
  EXPECT_TRUE(recorder.calls.empty());
  EXPECT_EQ(tree.childCount(tree.findNode("a", tree.findNode("C:", kNoNode))), 1);
  tree.endBatch();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"insert a 1..2", "insert C: 1..1", "insert top 1..1",
                                                      "changed (12:34:56) 1"}));
  recorder.calls.clear();
  tree.beginBatch();
  tree.addDirectoryFile("C:\\a\\4", "", evCreate, Win);
  tree.addDirectoryFile("C:\\a", "", evRmDir, Win);  // announces what came before, then removes
  tree.endBatch();
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"insert a 3..3", "remove a 0..3", "changed (12:34:56) a"}));
}

}  // namespace
}  // namespace tw
