// What the views' context menu acts on, and the two exclusions it offers.
#include "core/settings/exclusions.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

TEST(PathTarget, OfAPath) {
  struct Case {
    const char* path;
    bool folder;
    PathStyle style;
    PathTarget expected;
  };
  const Case cases[] = {
      {"C:\\a\\b.TXT", false, PathStyle::Windows, {"C:\\a\\b.TXT", false, "C:\\a\\", "C:\\a\\", ".TXT"}},
      {"C:\\a\\noext", false, PathStyle::Windows, {"C:\\a\\noext", false, "C:\\a\\", "C:\\a\\", ""}},
      // A dot before the last separator is no extension.
      {"C:\\a.d\\readme",
       false,
       PathStyle::Windows,
       {"C:\\a.d\\readme", false, "C:\\a.d\\", "C:\\a.d\\", ""}},
      {"C:\\a\\sub\\", true, PathStyle::Windows, {"C:\\a\\sub", true, "C:\\a\\sub", "C:\\a\\sub\\", ""}},
      {"C:", true, PathStyle::Windows, {"C:", true, "C:\\", "C:\\", ""}},
      {"C:\\", true, PathStyle::Windows, {"C:\\", true, "C:\\", "C:\\", ""}},
      {"/home/u/x.tar.gz",
       false,
       PathStyle::Posix,
       {"/home/u/x.tar.gz", false, "/home/u/", "/home/u/", ".gz"}},
      // A colon is ordinary in POSIX names; a backslash too.
      {"/m/a:b\\c.d", false, PathStyle::Posix, {"/m/a:b\\c.d", false, "/m/", "/m/", ".d"}},
      {"/home/u//", true, PathStyle::Posix, {"/home/u", true, "/home/u", "/home/u/", ""}},
      {"/", true, PathStyle::Posix, {"/", true, "/", "/", ""}},
      {"", false, PathStyle::Posix, {"", false, "", "", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(pathTargetOf(c.path, c.folder, c.style), c.expected) << c.path;
}

// A tree node's target: the path it has now (renamed nodes by their last name), folder or not;
// a list row's: its folder part and name.
TEST(PathTarget, OfATreeNodeAndAListRow) {
  FakePlatform platform(PathStyle::Posix);
  CaptureTree tree(platform, nullptr, PathStyle::Posix);
  CaptureList list(platform, nullptr, PathStyle::Posix);
  for (const Change& c : {test::changeOf("/home/u/a.txt", "", EventKind::FileCreated),
                          test::changeOf("/home/u", "/home/v", EventKind::FolderRenamed),
                          test::changeOf("/srv/d", "", EventKind::FolderCreated)}) {
    tree.add(c);
    list.add(c);
  }
  const NodeId home = tree.find("home", tree.find("/", kNoNode));
  const NodeId u = tree.child(home, 0);
  ASSERT_EQ(tree.renames(u).size(), 1u);
  const NodeId file = tree.child(u, 0);
  EXPECT_EQ(pathTargetOf(tree, file), pathTargetOf("/home/v/a.txt", false, PathStyle::Posix));
  EXPECT_EQ(pathTargetOf(tree, u), pathTargetOf("/home/v", true, PathStyle::Posix));
  EXPECT_EQ(pathTargetOf(tree, tree.find("/", kNoNode))->openedFolder, "/");
  EXPECT_FALSE(pathTargetOf(tree, NodeId{9999}));

  EXPECT_EQ(pathTargetOf(list, 0, PathStyle::Posix), pathTargetOf("/home/u/a.txt", false, PathStyle::Posix));
  EXPECT_TRUE(pathTargetOf(list, 1, PathStyle::Posix).folder) << "Rename Folder";
  EXPECT_EQ(pathTargetOf(list, 2, PathStyle::Posix), pathTargetOf("/srv/d", true, PathStyle::Posix));
}

TEST(Exclusions, FolderOnceWithoutAsciiCase) {
  CaptureOptions options;
  options.excludedFolders = {"C:\\Temp\\"};
  const PathTarget temp = pathTargetOf("c:\\TEMP\\x.txt", false, PathStyle::Windows);
  EXPECT_EQ(folderExclusion(options, temp), FolderExclusion::AlreadyExcluded);
  EXPECT_FALSE(excludeFolder(options, temp, PathStyle::Windows));
  const PathTarget other = pathTargetOf("C:\\Data", true, PathStyle::Windows);
  EXPECT_EQ(folderExclusion(options, other), FolderExclusion::Possible);
  EXPECT_TRUE(excludeFolder(options, other, PathStyle::Windows));
  EXPECT_EQ(options.excludedFolders, (std::vector<std::string>{"C:\\Temp\\", "C:\\Data\\"}));
  EXPECT_EQ(folderExclusion(options, pathTargetOf("", false, PathStyle::Windows)), FolderExclusion::NoFolder);
  EXPECT_FALSE(folderExclusionReason(FolderExclusion::AlreadyExcluded).empty());
  EXPECT_TRUE(folderExclusionReason(FolderExclusion::Possible).empty());
}

// The extension list names what to keep, so leaving one out removes it, and only where the
// list keeps others.
TEST(Exclusions, ExtensionLeavesTheKeptListOnlyWhereOthersStay) {
  const PathTarget txt = pathTargetOf("/d/a.txt", false, PathStyle::Posix);
  struct Case {
    std::vector<std::string> kept;
    PathTarget target;
    ExtensionExclusion outcome;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {{".TXT", ".doc", ".txt"}, txt, ExtensionExclusion::Possible, {".doc"}},
      {{}, txt, ExtensionExclusion::EveryKept, {}},
      {{".doc"}, txt, ExtensionExclusion::NotKept, {".doc"}},
      {{".txt", ".Txt"}, txt, ExtensionExclusion::OnlyOneKept, {".txt", ".Txt"}},
      {{".txt", ".doc"},
       pathTargetOf("/d/a", false, PathStyle::Posix),
       ExtensionExclusion::NoExtension,
       {".txt", ".doc"}},
      {{".txt", ".doc"},
       pathTargetOf("/d/x.txt", true, PathStyle::Posix),
       ExtensionExclusion::NoExtension,
       {".txt", ".doc"}},
  };
  for (const Case& c : cases) {
    CaptureOptions options;
    options.extensions = c.kept;
    EXPECT_EQ(extensionExclusion(options, c.target), c.outcome) << c.target.path;
    EXPECT_EQ(excludeExtension(options, c.target), c.outcome == ExtensionExclusion::Possible);
    EXPECT_EQ(options.extensions, c.after);
    EXPECT_EQ(extensionExclusionReason(c.outcome).empty(), c.outcome == ExtensionExclusion::Possible);
  }
}

}  // namespace
}  // namespace tw
