#include "core/model/capture_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "core/events/event_kinds.h"
#include "core/model/path_parts.h"
#include "core/model/presentation.h"
#include "core/text/text_lines.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using Segs = std::vector<std::string_view>;
constexpr auto Win = PathStyle::Windows;
constexpr auto Posix = PathStyle::Posix;

// Files a change made now.
void add(CaptureTree& tree, std::string path, std::string newPath, EventKind kind) {
  tree.add(test::changeOf(std::move(path), std::move(newPath), kind));
}

// What a node reads as (the text lookups compare with).
std::string textOf(const CaptureTree& tree, NodeId node, Environment& environment) {
  std::string text;
  appendNodeText(text, tree, node, environment);
  return text;
}

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
  EXPECT_EQ(lastSegment("C:\\a\\new.txt", Win), "new.txt");
  EXPECT_EQ(lastSegment("new.txt", Win), "new.txt");
  EXPECT_EQ(lastSegment("C:\\a\\", Win), "");
  EXPECT_EQ(lastSegment("C:x", Win), "C:x");  // only the backslash counts here
  EXPECT_EQ(lastSegment("/a/b:c", Posix), "b:c");
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
      lines.push_back(std::string(static_cast<std::size_t>(level) * 2, ' ') + text(n) + " {" +
                      std::to_string(static_cast<int>(tree.mark(n))) + "," + std::to_string(tree.icon(n)) +
                      "}");
    });
    return lines;
  }

  std::string text(NodeId node) const { return textOf(tree, node, platform); }

  mutable FakePlatform platform{PathStyle::Windows};
  CaptureTree tree{platform, &platform, Win};
};

TEST_F(TreeTest, CreateFilesOneNodePerSegmentWithIcons) {
  add(tree, "C:\\a\\b.txt", "", EventKind::FileCreated);
  // The root's icon comes from its name; the others from their disk path with the separator.
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "    b.txt {0,0}"}));
  add(tree, "C:\\a\\b.txt", "", EventKind::FileUpdated);
  add(tree, "c:\\A\\B.TXT", "", EventKind::FileUpdated);
  EXPECT_EQ(tree.nodeCount(), 3u);
  const NodeId c = tree.find("C:", kNoNode);
  const NodeId a = tree.find("a", c);
  const NodeId b = tree.find("b.txt", a);
  EXPECT_EQ(tree.path(c), "C:");
  EXPECT_EQ(tree.path(a), "C:\\a\\");
  EXPECT_EQ(tree.path(b), "C:\\a\\b.txt\\");
}

TEST_F(TreeTest, CaseFoldingIsAsciiOnlyAndSpacesCount) {
  add(tree, "C:\\\xC3\x84", "", EventKind::FileCreated);  // Ä
  add(tree, "C:\\\xC3\xA4", "", EventKind::FileCreated);  // ä: another node
  add(tree, "C:\\ a ", "", EventKind::FileCreated);
  add(tree, "C:\\a", "", EventKind::FileCreated);
  add(tree, "C:\\A", "", EventKind::FileCreated);
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  \xC3\x84 {0,0}", "  \xC3\xA4 {0,0}",
                                              "   a  {0,0}", "  a {0,60}"}));
}

TEST_F(TreeTest, SegmentGapsAndRoots) {
  add(tree, "C:\\\\a", "", EventKind::FileCreated);            // a directly under C:
  add(tree, "\\\\srv\\share\\f", "", EventKind::FileCreated);  // srv becomes a root
  add(tree, "C:\\a/b", "", EventKind::FileCreated);            // one segment a/b
  add(tree, "C:\\a\\ ", "", EventKind::FileDeleted);           // blank last segment: no treatment
  add(tree, "C:", "", EventKind::FileDeleted);                 // one segment: no treatment
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "  a/b {0,0}", "srv {0,0}",
                                              "  share {0,0}", "    f {0,0}"}));
  const NodeId srv = tree.find("SRV", kNoNode);
  EXPECT_EQ(tree.path(srv), "srv");
  EXPECT_EQ(tree.path(tree.child(tree.child(srv, 0), 0)), "srv\\share\\f\\");
  // A root reached past blank segments can be treated: it is the last segment.
  add(tree, "\\\\srv", "", EventKind::FileDeleted);
  EXPECT_EQ(text(srv), "(14:03:27) srv");
}

TEST_F(TreeTest, TreatmentsAndTheFreshNodeBesideATreatedOne) {
  struct Step {
    std::string path;
    std::string newName;
    EventKind event;
  } steps[] = {
      {"C:\\a\\b.txt", "", EventKind::FileCreated},
      {"C:\\a\\b.txt", "", EventKind::FileDeleted},  // the plain node is treated
      {"C:\\a\\b.txt", "", EventKind::FileCreated},  // a fresh node beside it
      {"C:\\a\\B.TXT", "", EventKind::FileUpdated},  // finds the fresh one
      {"C:\\a\\b.txt", "C:\\a\\c.doc", EventKind::FileRenamed},
      {"C:\\a\\b.txt", "", EventKind::FileDeleted},  // no plain b.txt left: a new node, treated at once
      {"C:\\a\\old", "C:\\a\\new\\", EventKind::FolderRenamed},
      {"C:\\a\\x", "", EventKind::FolderDeleted},
  };
  for (const auto& s : steps) add(tree, s.path, s.newName, s.event);
  EXPECT_EQ(dump(), (std::vector<std::string>{"C: {0,9}", "  a {0,60}", "    (14:03:27) b.txt {2,20}",
                                              "    b.txt -> c.doc {1,20}", "    (14:03:27) b.txt {2,20}",
                                              "    old ->  {1,50}", "    (14:03:27) x {2,50}"}));
  // A treated node is found again only by its new text, and never when marked deleted.
  const NodeId a = tree.find("C:", kNoNode);
  const NodeId folder = tree.find("a", a);
  EXPECT_EQ(tree.find("(14:03:27) b.txt", folder), kNoNode);
  EXPECT_EQ(tree.find("B.TXT -> C.DOC", folder), tree.child(folder, 1));
  EXPECT_EQ(tree.find("b.txt", folder), kNoNode);
}

TEST_F(TreeTest, DeleteDirectoryRemovesTheSubtreeAndLookupsStayRight) {
  add(tree, "C:\\a\\s\\deep.txt", "", EventKind::FileCreated);
  add(tree, "C:\\a\\t.txt", "", EventKind::FileCreated);
  add(tree, "C:\\b\\u.txt", "", EventKind::FileCreated);
  EXPECT_EQ(tree.nodeCount(), 7u);
  add(tree, "C:\\a", "", EventKind::FolderDeleted);
  EXPECT_EQ(dump(),
            (std::vector<std::string>{"C: {0,9}", "  (14:03:27) a {2,50}", "  b {0,0}", "    u.txt {0,0}"}));
  EXPECT_EQ(tree.nodeCount(), 4u);
  // The removed nodes are gone from the index: the folder comes back as a fresh node.
  add(tree, "C:\\a\\s\\deep.txt", "", EventKind::FileUpdated);
  EXPECT_EQ(tree.nodeCount(), 7u);
  const NodeId c = tree.find("C:", kNoNode);
  EXPECT_EQ(tree.childCount(c), 3);
  EXPECT_EQ(text(tree.child(c, 2)), "a");
  EXPECT_EQ(tree.find("a", c), tree.child(c, 2));
  add(tree, "C:\\b", "", EventKind::FolderDeleted);
  add(tree, "C:\\B\\u.txt", "", EventKind::FileCreated);
  EXPECT_EQ(text(tree.child(c, 3)), "B");
}

TEST_F(TreeTest, ClearEmptiesEverything) {
  add(tree, "C:\\a\\b.txt", "", EventKind::FileCreated);
  tree.clear();
  EXPECT_EQ(tree.nodeCount(), 0u);
  EXPECT_EQ(tree.childCount(kNoNode), 0);
  EXPECT_EQ(tree.find("C:", kNoNode), kNoNode);
  add(tree, "C:\\a\\b.txt", "", EventKind::FileCreated);
  EXPECT_EQ(dump().size(), 3u);
}

// A node keeps facts, not texts: its name, whether it is a folder, its mark, the time of its
// deletion as the change says (a deletion held back during a pause and delivered later keeps
// the time it happened), and the names it was renamed to; its text is made from them.
TEST(TreeFacts, NodesKeepNamesKindsTimesAndRenames) {
  // The time of day shows the moment's seconds, so that a wrong moment shows.
  struct ClockPlatform : FakePlatform {
    using FakePlatform::FakePlatform;
    std::string timeOfDay(std::chrono::system_clock::time_point moment) override {
      return "t" + std::to_string(
                       std::chrono::duration_cast<std::chrono::seconds>(moment.time_since_epoch()).count());
    }
  } platform(Win);
  CaptureTree tree(platform, &platform, Win);
  const auto at = [](int seconds) {
    return std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  };
  const auto file = [&](std::string path, std::string newPath, EventKind kind, int seconds,
                        bool folder = false) {
    Change change = test::changeOf(std::move(path), std::move(newPath), kind, at(seconds));
    change.folder = folder;
    tree.add(change);
  };
  file("C:\\docs\\a.txt", "", EventKind::FileCreated, 100);
  file("C:\\docs\\a.txt", "C:\\docs\\b.txt", EventKind::FileRenamed, 200);
  file("C:\\docs\\a.txt -> b.txt", "C:\\docs\\c.txt", EventKind::FileRenamed, 300);
  file("C:\\docs\\a.txt -> b.txt -> c.txt", "", EventKind::FileDeleted, 400);  // held back, delivered now
  file("C:\\docs\\sub", "", EventKind::FolderCreated, 500);
  file("C:\\docs\\link", "", EventKind::FileCreated, 600, true);  // the system says: a folder
  const NodeId docs = tree.find("docs", tree.find("C:", kNoNode));
  ASSERT_EQ(tree.childCount(docs), 3);
  const NodeId a = tree.child(docs, 0);
  EXPECT_EQ(tree.name(a), "a.txt");
  EXPECT_EQ(tree.mark(a), Mark::Deleted);
  EXPECT_EQ(tree.deletedAt(a), at(400));
  EXPECT_EQ(tree.renames(a), (std::vector<std::string_view>{"b.txt", "c.txt"}));
  EXPECT_EQ(textOf(tree, a, platform), "(t400) a.txt -> b.txt -> c.txt");
  EXPECT_FALSE(tree.isFolder(a));
  EXPECT_TRUE(tree.isFolder(docs));
  EXPECT_TRUE(tree.isFolder(tree.child(docs, 1)));
  EXPECT_TRUE(tree.isFolder(tree.child(docs, 2)));
  EXPECT_EQ(tree.mark(docs), Mark::Plain);
  EXPECT_EQ(tree.deletedAt(docs), std::nullopt);
  EXPECT_TRUE(tree.renames(docs).empty());
  // The deleted node answers to its text of that moment and is never found.
  EXPECT_EQ(tree.find("(t400) A.TXT -> B.TXT -> C.TXT", docs), kNoNode);
  file("C:\\docs\\(t400) a.txt -> b.txt -> c.txt", "", EventKind::FileUpdated, 700);
  ASSERT_EQ(tree.childCount(docs), 4) << "the first match is the deleted node: a fresh node beside it";
  EXPECT_EQ(tree.name(tree.child(docs, 3)), "(t400) a.txt -> b.txt -> c.txt");
  file("C:\\docs", "", EventKind::FolderDeleted, 800);
  EXPECT_EQ(textOf(tree, docs, platform), "(t800) docs");
  EXPECT_EQ(tree.childCount(docs), 0);
}

TEST(PosixTree, RootSlashAndNoDoubledSeparator) {
  FakePlatform platform(PathStyle::Posix);
  platform.systemDir = "/usr";
  platform.objectIcons = {{"/home/", 3}, {"/usr/", 4}};
  platform.typeIcons = {{".txt", 5}};
  platform.clock = "09:00:00";
  CaptureTree tree(platform, &platform, Posix);
  const auto text = [&](NodeId node) { return textOf(tree, node, platform); };
  add(tree, "/home/u/a.txt", "", EventKind::FileCreated);
  add(tree, "/home//u/ ", "", EventKind::FileCreated);  // a name of one space is a name
  add(tree, "/home/u/a\\b:c", "", EventKind::FileCreated);
  add(tree, "/home/u/a.txt", "/home/u/z.txt", EventKind::FileRenamed);
  add(tree, "/home/u/line\nbreak", "", EventKind::FileDeleted);
  const NodeId root = tree.find("/", kNoNode);
  ASSERT_NE(root, kNoNode);
  const NodeId home = tree.find("home", root);
  const NodeId u = tree.find("u", home);
  EXPECT_EQ(tree.path(root), "/");
  EXPECT_EQ(tree.path(home), "/home/");
  EXPECT_EQ(tree.path(u), "/home/u/");
  EXPECT_EQ(tree.icon(home), 3);
  ASSERT_EQ(tree.childCount(u), 4);
  EXPECT_EQ(text(tree.child(u, 0)), "a.txt -> z.txt");
  EXPECT_EQ(tree.icon(tree.child(u, 0)), 5);
  EXPECT_EQ(text(tree.child(u, 1)), " ");
  EXPECT_EQ(text(tree.child(u, 2)), "a\\b:c");
  EXPECT_EQ(text(tree.child(u, 3)), "(09:00:00) line\nbreak");
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
    EventKind event;
    const char* filePath;  // the new file node's path as the disk would be asked
    bool asked;
    int icon;  // of the new file node
  } cases[] = {
      {Posix, "/d/a.txt", EventKind::FileCreated, "/d/a.txt/", false, 0},
      {Posix, "/d/a.txt", EventKind::FileUpdated, "/d/a.txt/", false, 0},
      {Posix, "/d/a.txt", EventKind::FolderCreated, "/d/a.txt/", true, 70},
      {Posix, "/d/a.txt", EventKind::FolderNeedsRescan, "/d/a.txt/", true, 70},
      {Posix, "/d/a.txt", EventKind::FileDeleted, "/d/a.txt/", false, 5},         // the file type's icon
      {Posix, "/d/a.txt", EventKind::FolderDeleted, "/d/a.txt/", false, 9},       // the system folder's icon
      {Win, "C:\\d\\a.txt", EventKind::FileCreated, "C:\\d\\a.txt\\", true, 70},  // the shell is asked
  };
  for (const Case& c : cases) {
    AskingPlatform platform(c.style);
    platform.objectIcons = {{"/d/", 60}, {"C:\\d\\", 60}, {c.filePath, 70}, {"/usr/", 9}};
    platform.systemDir = "/usr";
    platform.typeIcons = {{".txt", 5}};
    CaptureTree tree(platform, &platform, c.style);
    add(tree, c.path, "", c.event);
    const NodeId d = tree.find("d", tree.child(kNoNode, 0));
    ASSERT_NE(d, kNoNode) << c.path;
    EXPECT_EQ(tree.icon(d), 60) << c.path;  // the folder above is asked as before
    ASSERT_EQ(tree.childCount(d), 1) << c.path;
    EXPECT_EQ(tree.icon(tree.child(d, 0)), c.icon) << c.path << " " << eventNumber(c.event);
    const bool asked = std::count(platform.asked.begin(), platform.asked.end(), c.filePath) > 0;
    EXPECT_EQ(asked, c.asked) << c.path << " " << eventNumber(c.event);
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
          nodes[node].text += " -> " + std::string(lastSegment(newName, style));
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

std::vector<std::string> describe(const CaptureTree& tree, Environment& environment) {
  std::vector<std::string> lines;
  tree.forEachNode([&](NodeId n, int level) {
    lines.push_back(std::to_string(level) + "|" + textOf(tree, n, environment) + "|" +
                    std::to_string(static_cast<int>(tree.mark(n))) + "|" + std::to_string(tree.icon(n)));
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
    CaptureTree tree(platform, &platform, style);
    ScanTree scan(platform);
    std::mt19937 random(style == Win ? 11 : 12);
    const std::vector<std::string> names = {
        "a", "A", "b.t", "B.T", "(1) a", "(1) b.t", "a -> b", "a -> b.t", "b.t -> a", "(1) A", " ", "", "x"};
    const std::vector<std::string> roots = {"R", "r", "Q"};
    const EventKind events[] = {EventKind::FileCreated,       EventKind::FileDeleted,
                                EventKind::FolderCreated,     EventKind::FolderRenamed,
                                EventKind::FileRenamed,       EventKind::FolderDeleted,
                                EventKind::FolderNeedsRescan, EventKind::FileUpdated};
    const char sep = pathSeparator(style);
    for (int round = 0; round < 4000; ++round) {
      const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
      std::string path = style == Win ? pick(roots) : "/" + pick(roots);
      const int depth = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < depth; ++i) path += sep + pick(names);
      const std::string newName = "n" + std::string(1, sep) + pick(names);
      const EventKind event = events[random() % std::size(events)];
      add(tree, path, newName, event);
      scan.add(path, newName, eventNumber(event), style);
      if (round % 50 == 0 || round == 3999) {
        ASSERT_EQ(describe(tree, platform), describe(scan))
            << "after " << round << " events, last " << path << " " << eventNumber(event);
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
  MirrorObserver(const CaptureTree& tree, Environment& environment) : tree(tree), environment(environment) {
    children[kNoNode];
  }

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
      texts[n] = textOf(tree, n, environment);
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
        [&](NodeId n, int level) { real.push_back(std::to_string(level) + textOf(tree, n, environment)); });
    EXPECT_EQ(mine, real);
  }

  int insertCalls = 0;

 private:
  void take(NodeId parent, NodeId node) {
    children[parent].push_back(node);
    texts[node] = textOf(tree, node, environment);
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
  Environment& environment;
  std::map<NodeId, std::vector<NodeId>> children;
  std::map<NodeId, std::string> texts;
  std::tuple<NodeId, int, int> pending;
};

TEST(TreeObserver, BatchesAnnounceEveryChangeAndAViewCanFollow) {
  FakePlatform platform(Win);
  CaptureTree tree(platform, &platform, Win);
  MirrorObserver mirror(tree, platform);
  tree.setObserver(&mirror);
  std::mt19937 random(5);
  const std::vector<std::string> names = {"a", "b", "c", "d.t"};
  const EventKind events[] = {EventKind::FileCreated,   EventKind::FileDeleted, EventKind::FileRenamed,
                              EventKind::FolderDeleted, EventKind::FileUpdated, EventKind::FileCreated,
                              EventKind::FileCreated};
  for (int batch = 0; batch < 300; ++batch) {
    tree.beginBatch();
    const int size = static_cast<int>(random() % 8);
    for (int i = 0; i < size; ++i) {
      std::string path = "C:";
      const int depth = 1 + static_cast<int>(random() % 3);
      for (int d = 0; d < depth; ++d) path += "\\" + names[random() % names.size()];
      add(tree, path, "x\\y", events[random() % std::size(events)]);
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
  CaptureTree tree(platform, &platform, Win);
  struct Recorder : CaptureTreeObserver {
    std::vector<std::string> calls;
    const CaptureTree* tree = nullptr;
    Environment* environment = nullptr;
    std::string text(NodeId node) const { return textOf(*tree, node, *environment); }
    void nodesAboutToBeInserted(NodeId p, int f, int l) override {
      calls.push_back("insert " + (p == kNoNode ? std::string("top") : text(p)) + " " + std::to_string(f) +
                      ".." + std::to_string(l));
    }
    void nodesInserted(NodeId, int, int) override {}
    void nodesChanged(const std::vector<NodeId>& n) override {
      for (NodeId id : n) calls.push_back("changed " + text(id));
    }
    void nodesAboutToBeRemoved(NodeId p, int f, int l) override {
      calls.push_back("remove " + text(p) + " " + std::to_string(f) + ".." + std::to_string(l));
    }
    void nodesRemoved(NodeId, int, int) override {}
    void treeAboutToBeCleared() override { calls.push_back("clear"); }
    void treeCleared() override {}
  } recorder;
  recorder.tree = &tree;
  recorder.environment = &platform;
  tree.setObserver(&recorder);
  add(tree, "C:\\a\\1", "", EventKind::FileCreated);  // outside a batch: at once
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"insert top 0..0"}));
  recorder.calls.clear();
  tree.beginBatch();
  add(tree, "C:\\a\\2", "", EventKind::FileCreated);
  add(tree, "C:\\a\\3", "", EventKind::FileCreated);
  add(tree, "C:\\b\\1", "", EventKind::FileCreated);
  add(tree, "C:\\a\\1", "", EventKind::FileDeleted);
  add(tree, "C:\\a\\3", "", EventKind::FileDeleted);  // new in this batch: comes changed already
  add(tree, "D:\\x", "", EventKind::FileCreated);
  EXPECT_TRUE(recorder.calls.empty());
  EXPECT_EQ(tree.childCount(tree.find("a", tree.find("C:", kNoNode))), 1);
  tree.endBatch();
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"insert a 1..2", "insert C: 1..1", "insert top 1..1",
                                                      "changed (12:34:56) 1"}));
  recorder.calls.clear();
  tree.beginBatch();
  add(tree, "C:\\a\\4", "", EventKind::FileCreated);
  add(tree, "C:\\a", "", EventKind::FolderDeleted);  // announces what came before, then removes
  tree.endBatch();
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"insert a 3..3", "remove a 0..3", "changed (12:34:56) a"}));
}

}  // namespace
}  // namespace tw
