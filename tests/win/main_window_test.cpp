// The Windows program's main window, started for real (under Wine on a virtual screen, or on
// Windows) and driven through its messages as a user would: Record, changes that the shell hears
// of in this process, the rows and nodes they become, Stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/record/recorder.h"
#include "core/recording/capture_options.h"
#include "core/settings/settings_codec.h"
#include "core/ui/texts.h"
#include "platform/win32/win32_platform.h"
#include "support/main_window_fixture.h"
#include "win/main/application.h"

// Last: its macros would clash with the names above.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace tw::win {
namespace {

using namespace tw::win::test;
using Rows = std::vector<std::vector<std::string>>;

// Shell event bits, as a program that changes files announces them.
constexpr std::uint32_t kShellRenameItem = 0x00000001;
constexpr std::uint32_t kShellCreate = 0x00000002;
constexpr std::uint32_t kShellDelete = 0x00000004;

TEST_F(MainWindowTest, OpensIdleWithTheComputerNameInItsCaption) {
  const std::string name = real.computerName().valueOr("Unknow");
  EXPECT_EQ(narrow(windowText(main().handle())), "Tarnwatch v1.0 - " + name);
  EXPECT_EQ(main().recordButton().caption(), "&Record");
  EXPECT_FALSE(main().pauseButton().isShown());
  EXPECT_EQ(main().statusLabel().text(), std::string(kStatusIdle));
  EXPECT_FALSE(main().treeButton().isEnabled());
  EXPECT_TRUE(main().listButton().isEnabled());
  EXPECT_TRUE(IsWindowVisible(main().treeView().handle()));
  EXPECT_FALSE(IsWindowVisible(main().listView().handle()));
  EXPECT_FALSE(main().progressBar().isShown());
  // The list is owner-data, in report style, with the four columns.
  const LONG_PTR style = GetWindowLongPtrW(main().listView().handle(), GWL_STYLE);
  EXPECT_NE(style & LVS_OWNERDATA, 0);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_EQ(main().listView().shownRowCount(), 0);
}

TEST_F(MainWindowTest, RecordsAnnouncedChangesAsRowsAndNodesUntilStopped) {
  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return !main().watchedRoots().empty(); }));
  EXPECT_EQ(main().watchedRoots(), std::vector<std::string>{root + "\\"});
  EXPECT_EQ(main().recordButton().caption(), "&Stop");
  EXPECT_TRUE(main().pauseButton().isShown());
  EXPECT_EQ(main().pauseButton().caption(), "&Pause");
  EXPECT_EQ(main().statusLabel().text(), std::string(kStatusLiveCapture));

  const std::string a = root + "\\plan.txt", b = root + "\\plan-v2.txt";
  Win32Platform::announceChange(kShellCreate, a);
  Win32Platform::announceChange(kShellRenameItem, a, b);
  Win32Platform::announceChange(kShellDelete, b);

  ASSERT_TRUE(pumpUntil([&] { return main().listView().shownRowCount() >= 3; }));
  const std::string folder = root + "\\";
  EXPECT_EQ(listRows(), (Rows{{"plan.txt", "-", "Create", folder},
                              {"plan.txt", "plan-v2.txt", "Rename File", folder},
                              {"plan-v2.txt", "-", "Delete", folder}}));
  // The batch is delivered: the bar is hidden again.
  ASSERT_TRUE(pumpUntil([&] { return !main().progressBar().isShown(); }));

  // The tree files the same changes under the folder's path, one node per segment; the
  // renamed node shows its new name, the deleted one its time of deletion.
  std::vector<std::string> expected;
  std::string indent;
  for (std::size_t start = 0; start <= root.size();) {
    const std::size_t end = std::min(root.find('\\', start), root.size());
    expected.push_back(indent + root.substr(start, end - start));
    indent += "  ";
    start = end + 1;
  }
  expected.push_back(indent + "plan.txt -> plan-v2.txt");
  // The tree view takes a batch's rows on its timer after the batch's end.
  ASSERT_TRUE(
      pumpUntil([&] { return main().treeView().shownRowCount() == static_cast<int>(expected.size()) + 1; }));
  std::vector<std::string> nodes = main().treeView().shownTexts();
  ASSERT_EQ(nodes.size(), expected.size() + 1);
  const std::string deleted = nodes.back();
  nodes.pop_back();
  EXPECT_EQ(nodes, expected);
  EXPECT_EQ(deleted.rfind(indent + "(", 0), 0u) << deleted;
  EXPECT_EQ(deleted.substr(deleted.size() - 13), ") plan-v2.txt") << deleted;

  // Paused, changes are kept and nothing is shown; Resume delivers them.
  click(main().pauseButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Paused; }));
  EXPECT_EQ(main().pauseButton().caption(), "&Resume");
  const std::string kept = root + "\\kept.txt";
  Win32Platform::announceChange(kShellCreate, kept);
  pumpUntil([] { return false; }, 1500ms);
  EXPECT_EQ(main().listView().shownRowCount(), 3);
  click(main().pauseButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return main().listView().shownRowCount() == 4; }));
  EXPECT_EQ(main().pauseButton().caption(), "&Pause");
  EXPECT_EQ(main().listView().shownCell(3, 0), "kept.txt");

  // Both views show the list: List shows it, Tree brings the tree back.
  click(main().listButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(main().listView().handle()) != FALSE; }));
  EXPECT_FALSE(IsWindowVisible(main().treeView().handle()));
  EXPECT_FALSE(main().listButton().isEnabled());

  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Idle; }));
  EXPECT_EQ(main().recordButton().caption(), "&Record");
  EXPECT_FALSE(main().pauseButton().isShown());
  EXPECT_EQ(main().statusLabel().text(), std::string(kStatusIdle));
  // Stopped: the shell's later announcements reach nothing.
  Win32Platform::announceChange(kShellCreate, root + "\\late.txt");
  pumpUntil([] { return false; }, 500ms);
  EXPECT_EQ(main().listView().shownRowCount(), 4);

  // Clean empties both views.
  click(main().cleanButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return main().listView().shownRowCount() == 0; }));
  EXPECT_TRUE(main().treeView().shownTexts().empty());
}

// The three designed commands, and Open Recording above Exit Program.
TEST_F(MainWindowTest, HelpMenuHoldsItsThreeCommandsAndOpenRecording) {
  const MenuHandle menu = main().helpMenu();
  ASSERT_EQ(GetMenuItemCount(menu), 5);
  const struct {
    int position;
    int command;
    std::wstring text;
  } items[] = {{0, MainWindow::kLikeUsCommand, L"Like us !"},
               {1, MainWindow::kAboutCommand, L"About"},
               {3, MainWindow::kOpenRecordingCommand, L"&Open Recording...\tCtrl+O"},
               {4, MainWindow::kExitCommand, L"Exit Program"}};
  for (const auto& item : items) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(item.position), text, 64, MF_BYPOSITION);
    EXPECT_EQ(text, item.text);
    EXPECT_EQ(GetMenuItemID(menu, item.position), static_cast<UINT>(item.command));
  }
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
}

// "Exit Program" asks first, in a dialog titled with the window's caption: No changes nothing,
// Yes ends the process with code 0.
TEST_F(MainWindowTest, ExitProgramAsksAndOnlyYesEnds) {
  std::vector<int> exits;
  main().exitProcess = [&](int code) { exits.push_back(code); };
  const std::wstring caption = windowText(main().handle());
  for (const int answer : {IDNO, IDYES}) {
    std::vector<std::wstring> texts;
    whenShown(caption, [&](WindowHandle dialog) {
      texts = childTexts(dialog);
      texts.push_back(windowText(dialog));
      PostMessageW(dialog, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    });
    SendMessageW(main().handle(), WM_COMMAND, MainWindow::kExitCommand, 0);
    EXPECT_EQ(watchedWindows(), 0u);
    stopWatching();
    std::wstring all;
    for (const auto& t : texts) all += t + L"\n";
    EXPECT_NE(all.find(L"Close Program"), std::wstring::npos) << narrow(all);
    EXPECT_NE(all.find(L"This action will close the process and all its background tasks. Are you sure?"),
              std::wstring::npos)
        << narrow(all);
    EXPECT_EQ(exits, answer == IDNO ? std::vector<int>{} : std::vector<int>{0});
    EXPECT_TRUE(IsWindowVisible(main().handle()));
  }
}

// The settings window opens modally from the gear, saves to config.ini when closed, and locks the
// drives, filters and event kinds while a recording runs.
TEST_F(MainWindowTest, SettingsAreSavedWhenClosedAndLockedWhileRecording) {
  SettingsWindow& settings = app->settingsWindow();
  EXPECT_FALSE(settings.recordMode());
  bool seen = false;
  whenShown(L"Settings", [&](WindowHandle) {
    seen = true;
    EXPECT_EQ(SendMessageW(settings.trayBox(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(settings.trayBox(), BM_CLICK, 0, 0);
    settings.close();
  });
  click(main().settingsButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return seen && !IsWindowVisible(settings.handle()); }));
  EXPECT_TRUE(readCaptureOptions(real, ini).minimizeToTray);
  EXPECT_TRUE(settings.options().minimizeToTray);

  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return settings.recordMode(); }));
  click(main().recordButton().handle());
  // Unlocked as soon as Stop is clicked, while what was read is still being delivered.
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() != RecordingState::Recording; }));
  EXPECT_FALSE(settings.recordMode());
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Idle; }));
  EXPECT_FALSE(settings.recordMode());
}

}  // namespace
}  // namespace tw::win
