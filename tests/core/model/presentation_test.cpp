#include "core/model/presentation.h"

#include <gtest/gtest.h>

#include <atomic>

#include "core/model/capture_views.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::changeOf;

TEST(Presentation, MarksColoursAndTheMarkOfEveryKind) {
  EXPECT_EQ(markColour(Mark::Plain), std::nullopt);
  EXPECT_EQ(markColour(Mark::Renamed), (Rgb{0, 0, 255}));
  EXPECT_EQ(markColour(Mark::Deleted), (Rgb{255, 0, 0}));
  EXPECT_EQ(markColour(Mark::Created), (Rgb{0, 128, 0}));
  for (int number = 0; number < kEventCount; ++number) {
    const EventKind kind = *eventKindOf(number);
    Mark expected = Mark::Plain;
    if (number == 2 || number == 9) expected = Mark::Created;
    if (number == 3 || number == 14) expected = Mark::Deleted;
    if (number == 12 || number == 13) expected = Mark::Renamed;
    EXPECT_EQ(listMarkOf(kind), expected) << number;
    // The tree takes 2, 3, 9, 12, 13, 14, 16 and 18; the list takes every kind.
    const bool filed = number == 2 || number == 3 || number == 9 || number == 12 || number == 13 ||
                       number == 14 || number == 16 || number == 18;
    EXPECT_EQ(isFiledInTree(kind), filed) << number;
  }
}

TEST(Presentation, TheViewsFileEachChangeWhereItBelongs) {
  FakePlatform platform(PathStyle::Windows);
  CaptureViews views(platform, &platform, PathStyle::Windows);
  for (int number = 0; number < kEventCount; ++number)
    views.add(changeOf("C:\\k" + std::to_string(number), "", *eventKindOf(number)));
  EXPECT_EQ(views.list().rowCount(), kEventCount);
  // C: and one node per kind the tree takes.
  EXPECT_EQ(views.tree().nodeCount(), 1u + 8u);
  views.clear();
  EXPECT_EQ(views.list().rowCount(), 0);
  EXPECT_EQ(views.tree().nodeCount(), 0u);
  views.add(changeOf("C:\\after\\clean", "", EventKind::FileCreated));
  EXPECT_EQ(views.presentation().cellText(views.list(), 0, ListColumn::WorkPath), "C:\\after\\");
}

// Views without an icon source ask nothing: no file type, no folder on disk; every icon is none.
TEST(Presentation, ViewsWithoutIconsAskNothing) {
  struct CountingPlatform : FakePlatform {
    using FakePlatform::FakePlatform;
    int fileTypeIcon(std::string_view name) override {
      ++asked;
      return FakePlatform::fileTypeIcon(name);
    }
    int pathIcon(std::string_view path) override {
      ++asked;
      return FakePlatform::pathIcon(path);
    }
    std::atomic<int> asked{0};
  } platform(PathStyle::Posix);
  platform.systemDir = "/usr";
  platform.objectIcons = {{"/usr/", 5}, {"/srv/", 6}};
  CaptureViews views(platform, nullptr, PathStyle::Posix);
  views.beginBatch();
  for (int number = 0; number < kEventCount; ++number)
    views.add(changeOf("/srv/d" + std::to_string(number) + "/f", "/srv/x", *eventKindOf(number)));
  views.endBatch();
  EXPECT_EQ(platform.asked, 0);
  views.tree().forEachNode([&](NodeId node, int) { EXPECT_EQ(views.tree().icon(node), 0); });
  for (int row = 0; row < views.list().rowCount(); ++row) {
    EXPECT_EQ(views.list().icon(row), 0);
    EXPECT_EQ(views.list().folderIcon(row), 0);
  }
  // The same views with icons ask.
  CaptureViews shown(platform, &platform, PathStyle::Posix);
  shown.add(changeOf("/srv/d/f", "", EventKind::FileCreated));
  EXPECT_GT(platform.asked, 0);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(Presentation, ProcessCellShowsWhatIsKnownAndNothingElse) {
  struct Case {
    std::int32_t pid;
    const char* name;
    const char* cell;
  } cases[] = {{0, "", ""}, {4242, "cp", "cp (4242)"}, {4242, "", "(4242)"}, {0, "cp", "cp"}};
  for (const Case& c : cases) EXPECT_EQ(processCellText(c.pid, c.name), c.cell) << c.pid << c.name;
  FakePlatform platform(PathStyle::Posix);
  CaptureViews views(platform, nullptr, PathStyle::Posix);
  Change made = test::change(EventKind::FileCreated, "/a");
  views.add(made);
  EXPECT_FALSE(views.list().hasProcesses());
  made.pid = 7;
  made.process = "tab\there";
  views.add(made);
  EXPECT_TRUE(views.list().hasProcesses());
  EXPECT_EQ(views.presentation().cellText(views.list(), 0, ListColumn::Process), "");
  EXPECT_EQ(views.presentation().cellText(views.list(), 1, ListColumn::Process), "tab\xE2\x90\x89here (7)");
  views.clear();
  EXPECT_FALSE(views.list().hasProcesses());
}

}  // namespace
}  // namespace tw
