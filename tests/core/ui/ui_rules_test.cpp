// The layout and settings rules both desktop front ends apply, without a display.
#include <gtest/gtest.h>

#include <set>

#include "core/ui/main_window_layout.h"
#include "core/ui/settings_layout.h"

namespace tw {
namespace {

// The designed main window: toolbar 31 high, view bar 37, progress bar 9; Record 89 wide,
// settings 27, help 43; Tree and List 81, Clean and Save 31; a status text 30 wide.
MainWindowSizes designed(int width, int height, bool barShown) {
  MainWindowSizes s;
  s.clientWidth = width;
  s.clientHeight = height;
  s.toolBarHeight = 31;
  s.viewBarHeight = 37;
  s.progressBarHeight = 9;
  s.progressBarShown = barShown;
  s.statusWidth = 30;
  s.recordWidth = 89;
  s.settingsWidth = 27;
  s.helpWidth = 43;
  s.treeButtonWidth = 81;
  s.listButtonWidth = 81;
  s.cleanButtonWidth = 31;
  return s;
}

TEST(MainWindowLayout, DesignedSizeWithAndWithoutTheProgressBar) {
  const MainWindowPlaces hidden = layoutMainWindow(designed(635, 351, false));
  EXPECT_EQ(hidden.viewBar, (Rect{4, 35, 631, 72}));
  EXPECT_EQ(hidden.views, (Rect{4, 76, 631, 347}));  // 627 x 271
  EXPECT_EQ(hidden.progressBar, (Rect{4, 338, 631, 347}));
  EXPECT_EQ(hidden.helpLeft, 588);
  EXPECT_EQ(hidden.settingsLeft, 557);
  EXPECT_EQ(hidden.recordLeft, 4);
  EXPECT_EQ(hidden.pauseLeft, 97);
  EXPECT_EQ(hidden.treeButtonLeft, 4);
  EXPECT_EQ(hidden.listButtonLeft, 89);
  EXPECT_EQ(hidden.cleanButtonLeft, 174);
  EXPECT_EQ(hidden.saveButtonLeft, 209);
  EXPECT_EQ(hidden.statusLeft + 30, 627 - 8);

  // The bar shortens the views by its height and a gap; nothing else moves.
  const MainWindowPlaces shown = layoutMainWindow(designed(635, 351, true));
  EXPECT_EQ(shown.views, (Rect{4, 76, 631, 334}));  // 258 high, 4 above the bar
  EXPECT_EQ(shown.progressBar.top - shown.views.bottom, 4);
  MainWindowPlaces expected = hidden;
  expected.views = shown.views;
  EXPECT_EQ(shown, expected);
}

TEST(MainWindowLayout, AnySizeKeepsTheMarginsAndAnyGapScalesThem) {
  for (const auto& [width, height] : {std::pair{900, 500}, std::pair{200, 120}, std::pair{1920, 1080}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const MainWindowPlaces p = layoutMainWindow(designed(width, height, false));
    EXPECT_EQ(p.views.left, 4);
    EXPECT_EQ(width - p.views.right, 4);
    EXPECT_EQ(height - p.views.bottom, 4);
    EXPECT_EQ(p.viewBar.width(), width - 8);
    EXPECT_EQ(width - (p.helpLeft + 43), 4);
    EXPECT_EQ(p.helpLeft - (p.settingsLeft + 27), 4);
  }
  // At 144 dots per inch every size and the gap are half as large again.
  MainWindowSizes big = designed(953, 527, true);
  big.toolBarHeight = 47;
  big.viewBarHeight = 56;
  big.progressBarHeight = 14;
  big.helpWidth = 65;
  big.gap = 6;
  const MainWindowPlaces p = layoutMainWindow(big);
  EXPECT_EQ(p.viewBar, (Rect{6, 53, 947, 109}));
  EXPECT_EQ(p.views.top, 115);
  EXPECT_EQ(p.progressBar, (Rect{6, 507, 947, 521}));
  EXPECT_EQ(p.progressBar.top - p.views.bottom, 6);
  EXPECT_EQ(p.helpLeft, 953 - 65 - 6);
}

TEST(SettingsRules, UsageBarPlaceOverTheThirdColumn) {
  // Row bounds at (0, 19), 19 high: 190 + 4 in, 205 - 8 wide, 2 down from the top and 4 up from
  // the bottom.
  EXPECT_EQ(usageBarPlace(0, 19, 19, 190, 205), (UsageBarPlace{194, 21, 197, 13}));
  EXPECT_EQ(usageBarPlace(-30, 0, 17, 190, 205), (UsageBarPlace{164, 2, 197, 11}));
}

TEST(SettingsRules, UsagePercentageRoundsTowardZeroAndSurvivesEdgeSizes) {
  struct Case {
    std::int64_t total, free;
    int percent;
    bool high;
  };
  const std::vector<Case> cases = {
      {1000, 100, 90, true},
      {1000, 101, 89, false},  // 89.9 %
      {1000, 0, 100, true},
      {1000, 1000, 0, false},
      {0, 0, 0, false},  // a removable drive without a medium
      {0, 4096, 0, false},
      {-5, 0, 0, false},
      {std::int64_t{8'000'000'000'000'000'000}, 0, 100, true},  // no overflow of (total - free) x 100
      {std::int64_t{8'000'000'000'000'000'000}, std::int64_t{4'000'000'000'000'000'000}, 50, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(usedPercentage(c.total, c.free), c.percent) << c.total << " " << c.free;
    EXPECT_EQ(isHighUsage(usedPercentage(c.total, c.free)), c.high) << c.total << " " << c.free;
  }
}

TEST(SettingsRules, RecordLockShortensTheListsByTheNote) {
  const RecordLockLook locked = recordLockLook(true, 321);
  const RecordLockLook open = recordLockLook(false, 321);
  EXPECT_EQ(locked, (RecordLockLook{false, false, true, kImgAddLocked, kImgDeleteLocked, 266, 115}));
  EXPECT_EQ(open, (RecordLockLook{true, true, false, kImgAdd, kImgDelete, 284, 133}));
  // Both lists lose the same 18 pixels, which uncovers the note at the page's bottom.
  EXPECT_EQ(open.driveListHeight - locked.driveListHeight, 18);
  EXPECT_EQ(open.folderListHeight - locked.folderListHeight, 18);
}

TEST(SettingsRules, PickedFolderEndsInOneSeparatorAndIsAddedOnce) {
  const std::vector<std::string> existing = {"C:\\Temp\\", "D:\\"};
  struct Case {
    std::string chosen;
    PathStyle style;
    std::optional<std::string> added;
  };
  const std::vector<Case> cases = {
      {"C:\\Work", PathStyle::Windows, "C:\\Work\\"},
      {"E:\\", PathStyle::Windows, "E:\\"},  // a drive root keeps its one separator
      {"C:\\Temp", PathStyle::Windows, std::nullopt},
      {"c:\\temp\\", PathStyle::Windows, std::nullopt},  // listed, without ASCII case
      {"d:\\", PathStyle::Windows, std::nullopt},
      {"", PathStyle::Windows, std::nullopt},  // cancelled
      {" \t", PathStyle::Windows, std::nullopt},
      {"C:\\Temp\\Sub", PathStyle::Windows, "C:\\Temp\\Sub\\"},  // inside an excluded folder: its own row
      {"/srv/data", PathStyle::Posix, "/srv/data/"},
      {"/", PathStyle::Posix, "/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(excludedFolderToAdd(c.chosen, existing, c.style), c.added) << c.chosen;
}

TEST(SettingsRules, NavigationNodesStandForEveryTargetOnceUnderOneHeading) {
  std::set<NavigationTarget> targets;
  std::set<int> images;
  for (std::size_t i = 0; i < kNavigationNodes.size(); ++i) {
    const NavigationNode& node = kNavigationNodes[i];
    targets.insert(node.target);
    images.insert(node.image);
    // A child follows the heading or its sibling.
    if (node.child) {
      ASSERT_GT(i, 0u);
      EXPECT_TRUE(kNavigationNodes[i - 1].child ||
                  kNavigationNodes[i - 1].target == NavigationTarget::FiltersHeading);
    }
  }
  EXPECT_EQ(targets.size(), kNavigationNodes.size());
  EXPECT_EQ(images.size(), kNavigationNodes.size());
}

}  // namespace
}  // namespace tw
