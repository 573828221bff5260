// The tree under the views' filter: the nodes of the rows the list shows, with their ancestors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "core/model/tree_rows.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::change;
using Lines = std::vector<std::string>;

Change withProcess(Change c, std::int32_t pid, std::string process) {
  c.pid = pid;
  c.process = std::move(process);
  return c;
}

// The views with a list filter and the tree's rows following it, as a front end wires them.
class FilteredViews {
 public:
  void deliver(const std::vector<Change>& changes) {
    const int first = views.list().rowCount();
    views.beginBatch();
    for (const Change& c : changes) views.add(c);
    views.endBatch();
    const std::size_t before = filter.rows().size();
    if (views.list().rowCount() > first) filter.addRows(first, views.list().rowCount() - 1);
    rows.showAlso(views.nodesOfRows(filter.rows(), before));
  }
  void setText(const std::string& text) {
    filter.setText(text);
    if (filter.active()) {
      rows.showOnly(views.nodesOfRows(filter.rows()));
    } else {
      rows.showAll();
    }
  }
  // The rows of the tree, each as its level and its text.
  Lines lines() const {
    Lines shown;
    for (int row = 0; row < rows.rowCount(); ++row) {
      const NodeId node = rows.nodeAt(row);
      shown.push_back(std::to_string(views.tree().level(node)) + ":" +
                      views.presentation().nodeText(views.tree(), node));
    }
    return shown;
  }
  NodeId node(const std::vector<std::string>& path) const {
    NodeId at = kNoNode;
    for (const std::string& segment : path) at = views.tree().find(segment, at);
    return at;
  }

  FakePlatform platform{PathStyle::Posix};
  CaptureViews views{platform, nullptr, PathStyle::Posix};
  ListFilter filter{views.list()};
  TreeRows rows{views.tree()};
};

const std::vector<Change> kRecording = {
    change(EventKind::FileCreated, "/home/u/a.txt"),
    change(EventKind::FileCreated, "/home/v/b.txt"),
    withProcess(change(EventKind::FileCreated, "/tmp/c.log"), 42, "cp"),
    change(EventKind::FileDeleted, "/tmp/d.log"),
    change(EventKind::FileRenamed, "/home/u/e.txt", "/home/u/zeta.txt"),
    change(EventKind::FolderCreated, "/srv/w"),
    change(EventKind::FileCreated, "/srv/w/x/f.txt"),
    change(EventKind::FolderDeleted, "/srv/w/x"),
    change(EventKind::Attributes, "/var/g.conf"),
};

// A node shows when a change filed on it is a row the list shows (its path, new path, action
// or process matched); its ancestors show with it.
TEST(TreeFilter, ShowsTheNodesOfTheRowsTheListShowsWithTheirAncestors) {
  struct Case {
    const char* text;
    Lines tree;
  } cases[] = {
      {"b.txt", {"0:/", "1:home", "2:v", "3:b.txt"}},
      {"*.LOG", {"0:/", "1:tmp", "2:c.log", "2:(12:34:56) d.log"}},
      // A folder's name: every row under it, with the folders on the way.
      {"home/", {"0:/", "1:home", "2:u", "3:a.txt", "3:e.txt -> zeta.txt", "2:v", "3:b.txt"}},
      // A rename's new path; the node reads as renamed.
      {"zeta", {"0:/", "1:home", "2:u", "3:e.txt -> zeta.txt"}},
      // An action: the deletions, also of a folder (its subtree gone with it).
      {"delete", {"0:/", "1:tmp", "2:(12:34:56) d.log", "1:srv", "2:w", "3:(12:34:56) x"}},
      {"Rename ?ile", {"0:/", "1:home", "2:u", "3:e.txt -> zeta.txt"}},
      // A process, as the Process cell reads: "cp (42)".
      {"cp (4?)", {"0:/", "1:tmp", "2:c.log"}},
      // A row whose node went with a deleted folder, and one the tree does not file: no node.
      {"f.txt", {}},
      {"Attributes", {}},
      {"no such thing", {}},
  };
  FilteredViews views;
  views.deliver(kRecording);
  const Lines everything = views.lines();
  ASSERT_EQ(everything.size(), 13u);  // /var/g.conf has no node: the tree files no attributes
  for (const Case& c : cases) {
    views.setText(c.text);
    EXPECT_EQ(views.lines(), c.tree) << c.text;
    EXPECT_TRUE(views.rows.isFiltered());
  }
  // A blank text shows every node again; the list keeps every row throughout.
  for (const char* text : {"", "*", "**"}) {
    views.setText(text);
    EXPECT_EQ(views.lines(), everything) << text;
    EXPECT_FALSE(views.rows.isFiltered());
  }
  EXPECT_EQ(views.views.list().rowCount(), static_cast<int>(kRecording.size()));
}

// Nodes arriving while a filter is set: a match shows with its ancestors, the rest stays hidden
// (also the ancestors it makes); a deleted folder takes the rows of what was under it, and
// ancestors shown only for those go with them.
TEST(TreeFilter, FollowsArrivingNodesAndDeletedFolders) {
  FilteredViews views;
  views.setText("report");
  views.deliver(
      {change(EventKind::FileCreated, "/a/b/report.txt"), change(EventKind::FileCreated, "/a/c/o.txt")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "3:report.txt"}));
  views.deliver({change(EventKind::FileCreated, "/a/c/report2.txt"), change(EventKind::FileCreated, "/d/e")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "3:report.txt", "2:c", "3:report2.txt"}));
  EXPECT_FALSE(views.rows.hasChildren(views.node({"/", "a", "b", "report.txt"})));
  EXPECT_TRUE(views.rows.hasChildren(views.node({"/", "a", "c"})));
  // The same node named again by another row counts once.
  views.deliver({change(EventKind::FileUpdated, "/a/b/report.txt")});
  EXPECT_EQ(views.lines().size(), 6u);
  views.deliver({change(EventKind::FolderDeleted, "/a/b")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:c", "3:report2.txt"}));
  views.deliver({change(EventKind::FolderDeleted, "/a")});
  EXPECT_EQ(views.lines(), Lines{});
  // A deleted folder that matches itself stays, marked.
  views.deliver(
      {change(EventKind::FileCreated, "/r/report/x"), change(EventKind::FolderDeleted, "/r/report")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:r", "2:(12:34:56) report"}));
  // The filter's end shows everything that is there.
  views.setText("");
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:(12:34:56) a", "1:d", "2:e", "1:r", "2:(12:34:56) report"}));
}

// A renamed folder shows for its rename's row; what was under it shows for its own rows.
TEST(TreeFilter, RenamedFolders) {
  FilteredViews views;
  views.deliver(
      {change(EventKind::FileCreated, "/p/old/a.txt"), change(EventKind::FileCreated, "/p/old/b.dat")});
  views.setText("new");
  EXPECT_EQ(views.lines(), Lines{});
  views.deliver({change(EventKind::FolderRenamed, "/p/old", "/p/new")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:p", "2:old -> new"}));
  EXPECT_FALSE(views.rows.hasChildren(views.node({"/", "p", "old -> new"})));
  views.setText("txt");
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:p", "2:old -> new", "3:a.txt"}));
}

// The user's folds stay as they are under a filter: what arrives under a folded node stays
// under it, unfolding shows it, and the filter's end keeps the fold.
TEST(TreeFilter, FoldsStayUnderAFilter) {
  FilteredViews views;
  views.deliver({change(EventKind::FileCreated, "/a/b/1.txt"), change(EventKind::FileCreated, "/a/c/2.txt")});
  const NodeId b = views.node({"/", "a", "b"});
  views.rows.setExpanded(b, false);
  views.setText("txt");
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "2:c", "3:2.txt"}));
  EXPECT_FALSE(views.rows.isExpanded(b));
  views.deliver({change(EventKind::FileCreated, "/a/b/3.txt"), change(EventKind::FileCreated, "/a/b/4.dat")});
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "2:c", "3:2.txt"}));
  views.rows.setExpanded(b, true);
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "3:1.txt", "3:3.txt", "2:c", "3:2.txt"}));
  // Folding a node the filter hides, then showing it: it comes folded.
  const NodeId c = views.node({"/", "a", "c"});
  views.setText("1.txt");
  views.rows.setExpanded(c, false);
  views.setText("");
  EXPECT_FALSE(views.rows.isExpanded(c));
  EXPECT_EQ(views.lines(), (Lines{"0:/", "1:a", "2:b", "3:1.txt", "3:3.txt", "3:4.dat", "2:c"}));
}

}  // namespace
}  // namespace tw
