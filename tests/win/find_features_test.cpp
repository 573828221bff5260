// The Windows program's find features driven through its real windows: a recording opened from
// a jsonl file (with its processes and its lines that are not events), the filter box over the
// list, the export's file types, the context menu's commands, the keyboard's commands and the
// tree keeping the user's folds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/events/change.h"
#include "core/ui/texts.h"
#include "support/main_window_fixture.h"

// Last: its macros would clash with the names above.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

namespace tw::win {
namespace {

using namespace tw::win::test;
using Rows = std::vector<std::vector<std::string>>;

// A text as a JSON string (the paths hold backslashes).
std::string json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Presses `key` on `window` with the modifier keys `held` down, as the accelerators see them
// (the thread's key state), and handles it; the key state is restored after.
void pressChord(WindowHandle window, std::vector<int> held, unsigned key) {
  BYTE before[256] = {};
  GetKeyboardState(before);
  BYTE state[256];
  std::copy(std::begin(before), std::end(before), std::begin(state));
  for (const int k : held) state[k] = 0x80;
  SetKeyboardState(state);
  pressKey(window, key);
  pumpPending();
  SetKeyboardState(before);
}

// The main window with a recording opened from a jsonl file of the test: five changes under
// the test's folder, three of them with their process, and two lines that are not events.
class OpenedRecordingTest : public MainWindowTest {
 protected:
  OpenedRecordingTest() { options.extensions = {".txt", ".log"}; }

  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    projects = root + "\\projects";
    logs = root + "\\logs";
    const auto line = [](int event, const std::string& path, const std::string& newPath, int pid,
                         const std::string& process, int second) {
      std::string text = "{\"event\":" + std::to_string(event) + ",\"item1\":" + json(path);
      if (!newPath.empty()) text += ",\"item2\":" + json(newPath);
      if (pid != 0) text += ",\"pid\":" + std::to_string(pid) + ",\"process\":" + json(process);
      return text + ",\"time\":\"2026-12-10T01:02:0" + std::to_string(second) + ".000Z\"}\n";
    };
    file = tmp.file("recording.jsonl");
    std::ofstream(file, std::ios::binary)
        << line(9, projects, "", 4242, "explorer.exe", 1)
        << line(2, projects + "\\plan.txt", "", 77, "notepad.exe", 2)
        << line(13, projects + "\\plan.txt", projects + "\\Plan-v2.TXT", 0, "", 3) << "this is not an event\n"
        << line(2, logs + "\\today.log", "", 88, "svc.exe", 4)
        << line(3, logs + "\\today.log", "", 88, "svc.exe", 5) << "{\"event\":99}\n";
    ASSERT_EQ(main().listView().shownColumnCount(), kListColumnCount);
    openAndCloseMessage();
  }

  // The next message box of the opening is kept in `messages` (its texts, one a line) and closed.
  void keepTheOutcomeMessage() {
    messages.clear();
    whenShown(L"Open Recording", [this](WindowHandle box) {
      std::wstring all;
      for (const std::wstring& t : childTexts(box)) all += t + L"\n";
      messages.push_back(narrow(all));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
  }

  // Opens the file, waits for the one message that tells the outcome and closes it.
  void openAndCloseMessage() {
    keepTheOutcomeMessage();
    main().openRecording(file);
    ASSERT_TRUE(pumpUntil([&] { return watchedWindows() == 0 && main().recordingOpener() == nullptr; }));
  }

  // The From cell of each row the list shows.
  std::vector<std::string> shownNames() {
    std::vector<std::string> names;
    for (int row = 0; row < main().listView().shownRowCount(); ++row)
      names.push_back(main().listView().shownCell(row, 0));
    return names;
  }

  void setFilter(const std::string& text) {
    SetWindowTextW(main().filterBox().edit(), wide(text).c_str());
    settleViews();
  }

  // Exports through the save dialog with the file type at `typeIndex` (1-based, as the dialog
  // counts), and returns what the file holds.
  std::string exportAs(const std::string& name, int typeIndex) {
    const std::string path = root + "\\" + name;
    whenShown(L"Save As", [&](WindowHandle dialog) {
      HWND types = GetDlgItem(dialog, 0x470);  // cmb1: the file types
      ASSERT_NE(types, nullptr);
      SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(typeIndex - 1), 0);
      // As a choice in the list ends: the selection changes, then is confirmed.
      for (const WORD code : {WORD{CBN_SELCHANGE}, WORD{CBN_SELENDOK}})
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, code), reinterpret_cast<LPARAM>(types));
      HWND edit = GetDlgItem(dialog, 0x47C);
      if (edit == nullptr) edit = GetDlgItem(dialog, 0x480);
      ASSERT_NE(edit, nullptr);
      SetWindowTextW(edit, wide(path).c_str());
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    });
    whenShown(wide(kExportTitle), [](WindowHandle box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
    pressChord(main().handle(), {VK_CONTROL}, 'E');
    EXPECT_TRUE(pumpUntil([&] { return watchedWindows() == 0; }));
    pumpPending();
    return readFile(path);
  }

  std::string file, projects, logs;
  std::vector<std::string> messages;
};

TEST_F(OpenedRecordingTest, LoadsEveryEventWithItsProcessAndTellsTheBadLinesOnce) {
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_NE(messages[0].find("5 changes were loaded."), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("2 lines were not events and were skipped (the first: line 4: "),
            std::string::npos)
      << messages[0];
  // No second message follows.
  whenShown(L"Open Recording", [](WindowHandle box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  pumpUntil([] { return false; }, 300ms);
  EXPECT_EQ(watchedWindows(), 1U);
  stopWatching();

  // The Process column follows the four, with a process where the line names one, else empty.
  CaptureListView& list = main().listView();
  ASSERT_EQ(list.shownColumnCount(), kListColumnCountWithProcess);
  Rows rows;
  for (int row = 0; row < list.shownRowCount(); ++row) {
    rows.push_back(
        {list.shownCell(row, 0), list.shownCell(row, 1), list.shownCell(row, 2), list.shownCell(row, 4)});
  }
  EXPECT_EQ(rows, (Rows{{"projects", "-", "New Directory", "explorer.exe (4242)"},
                        {"plan.txt", "-", "Create", "notepad.exe (77)"},
                        {"plan.txt", "Plan-v2.TXT", "Rename File", ""},
                        {"today.log", "-", "Create", "svc.exe (88)"},
                        {"today.log", "-", "Delete", "svc.exe (88)"}}));
  HWND header = ListView_GetHeader(list.handle());
  wchar_t caption[32] = {};
  HDITEMW item{};
  item.mask = HDI_TEXT;
  item.pszText = caption;
  item.cchTextMax = 32;
  Header_GetItem(header, kListColumnCount, &item);
  EXPECT_EQ(std::wstring(caption), L"Process");

  // Clean (Ctrl+Shift+Del) empties the views and takes the column away with the rows.
  pressChord(main().handle(), {VK_CONTROL, VK_SHIFT}, VK_DELETE);
  ASSERT_TRUE(pumpUntil([&] { return list.shownRowCount() == 0; }));
  EXPECT_EQ(list.shownColumnCount(), kListColumnCount);
  EXPECT_TRUE(main().treeView().shownTexts().empty());
}

// A recording that outlasts a step shows its progress and Cancel over the main window; Cancel
// ends the load at once, and the views show every change it loaded, those filed since the views
// last heard of a batch included (the load tells them in batches of about a quarter second).
TEST_F(OpenedRecordingTest, CancelKeepsEveryLoadedChangeShown) {
  const std::string big = tmp.file("big.jsonl");
  constexpr int kLines = 100000;
  {
    std::ofstream out(big, std::ios::binary);
    for (int i = 0; i < kLines; ++i) {
      const std::string path =
          root + "\\big\\part" + std::to_string(i % 40) + "\\file" + std::to_string(i) + ".txt";
      out << "{\"event\":2,\"item1\":" << json(path) << "}\n";
    }
  }
  whenShown(L"Open Recording", [](WindowHandle box) { PostMessageW(box, WM_COMMAND, IDYES, 0); });
  int progressWhenShown = -1;
  whenShown(L"Open Recording", [&](WindowHandle opener) {
    ASSERT_NE(main().recordingOpener(), nullptr);
    EXPECT_EQ(opener, main().recordingOpener()->handle());
    progressWhenShown = main().recordingOpener()->progressPosition();
    const WindowHandle cancel = findChild(opener, L"Button", L"Cancel");
    ASSERT_NE(cancel, nullptr);
    PostMessageW(cancel, BM_CLICK, 0, 0);
  });
  keepTheOutcomeMessage();
  main().openRecording(big);
  ASSERT_TRUE(pumpUntil([&] { return watchedWindows() == 0 && main().recordingOpener() == nullptr; }, 60s));

  ASSERT_EQ(messages.size(), 1U);
  const std::string cancelled = "Opening was cancelled: ";
  const std::size_t at = messages[0].find(cancelled);
  ASSERT_NE(at, std::string::npos) << messages[0];
  std::string count;
  for (std::size_t i = at + cancelled.size(); i < messages[0].size() && messages[0][i] != ' '; ++i) {
    if (messages[0][i] != ',') count.push_back(messages[0][i]);
  }
  const int loaded = std::stoi(count);
  EXPECT_GT(loaded, 0);
  EXPECT_LT(loaded, kLines);
  EXPECT_GE(progressWhenShown, 0);
  EXPECT_LT(progressWhenShown, 1000);
  // Every loaded change is a row, in the file's order, and its folders are in the tree.
  CaptureListView& list = main().listView();
  ASSERT_EQ(list.shownRowCount(), loaded);
  EXPECT_EQ(list.shownCell(0, 0), "file0.txt");
  EXPECT_EQ(list.shownCell(loaded - 1, 0), "file" + std::to_string(loaded - 1) + ".txt");
  settleViews();
  std::set<std::string> files, folders;
  for (std::string text : main().treeView().shownTexts()) {
    text.erase(0, text.find_first_not_of(' '));
    (text.ends_with(".txt") ? files : folders).insert(text);
  }
  EXPECT_EQ(files.size(), static_cast<std::size_t>(loaded));
  EXPECT_TRUE(files.contains("file" + std::to_string(loaded - 1) + ".txt"));
  EXPECT_TRUE(folders.contains("part0"));
}

TEST_F(OpenedRecordingTest, FilterShowsTheMatchingRowsLiveAndEscapeClearsIt) {
  pressChord(main().handle(), {VK_CONTROL}, 'F');
  ASSERT_TRUE(main().filterBox().isShown());
  EXPECT_EQ(GetFocus(), main().filterBox().edit());
  // The list gives the box the top of its place.
  RECT box{}, list{};
  GetWindowRect(main().filterBox().edit(), &box);
  GetWindowRect(main().listView().handle(), &list);
  EXPECT_LT(box.bottom, list.top);

  const struct {
    std::string text;
    std::vector<std::string> names;
  } cases[] = {
      {"", {"projects", "plan.txt", "plan.txt", "today.log", "today.log"}},
      {"NOTEPAD", {"plan.txt"}},                           // the process, without case
      {"plan-v2", {"plan.txt"}},                           // the new path
      {"rename file", {"plan.txt"}},                       // the action
      {"\\logs\\*.log", {"today.log", "today.log"}},       // the whole path, a run of anything
      {"t?day", {"today.log", "today.log"}},               // one character
      {"projects", {"projects", "plan.txt", "plan.txt"}},  // the folder part of the path
      {"nothing here", {}},
  };
  for (const auto& c : cases) {
    setFilter(c.text);
    EXPECT_EQ(shownNames(), c.names) << c.text;
    EXPECT_EQ(narrow(windowText(main().filterBox().countLabel())), std::to_string(c.names.size()) + " of 5")
        << c.text;
  }

  // Rows arriving meanwhile are matched as they come; the recording keeps every row.
  setFilter("svc");
  CaptureViews& views = main().captureViews();
  Change other;
  other.kind = EventKind::FileCreated;
  other.path = projects + "\\other.txt";
  Change matching = other;
  matching.path = logs + "\\tomorrow.log";
  matching.pid = 88;
  matching.process = "svc.exe";
  views.beginBatch();
  views.add(other);
  views.add(matching);
  views.endBatch();
  pumpPending();
  EXPECT_EQ(shownNames(), (std::vector<std::string>{"today.log", "today.log", "tomorrow.log"}));
  EXPECT_EQ(narrow(windowText(main().filterBox().countLabel())), "3 of 7");

  // Escape empties and hides the box; every row shows again, the view takes the focus.
  pressKey(main().filterBox().edit(), VK_ESCAPE);
  pumpPending();
  EXPECT_FALSE(main().filterBox().isShown());
  EXPECT_EQ(main().filterBox().text(), "");
  EXPECT_EQ(main().listView().shownRowCount(), 7);
  EXPECT_EQ(views.list().rowCount(), 7);
  EXPECT_NE(GetFocus(), main().filterBox().edit());
}

// The save dialog's file types: CSV of every row although a filter is set, then CSV of only the
// shown rows. (The jsonl type writes the same rows in the recorder's form; that its file opens as
// the same views is the core's test.)
TEST_F(OpenedRecordingTest, ExportWritesCsvOfEveryRowOrOfTheShownRows) {
  main().openFilter();
  setFilter("svc");
  const std::string header = "time,action,path,new path,process,pid\r\n";
  const std::string svcRows = "2026-12-10T01:02:04.000Z,Create," + logs + "\\today.log,,svc.exe,88\r\n" +
                              "2026-12-10T01:02:05.000Z,Delete," + logs + "\\today.log,,svc.exe,88\r\n";
  EXPECT_EQ(exportAs("every.csv", 2), header + "2026-12-10T01:02:01.000Z,New Directory," + projects +
                                          ",,explorer.exe,4242\r\n" + "2026-12-10T01:02:02.000Z,Create," +
                                          projects + "\\plan.txt,,notepad.exe,77\r\n" +
                                          "2026-12-10T01:02:03.000Z,Rename File," + projects + "\\plan.txt," +
                                          projects + "\\Plan-v2.TXT,,\r\n" + svcRows);
  EXPECT_EQ(exportAs("shown.csv", 4), header + svcRows);
}

TEST_F(OpenedRecordingTest, ContextMenuCopiesThePathAndItsExclusionsLandInConfigIni) {
  struct Item {
    int command;
    std::string text;
    bool greyed;
  };
  std::vector<Item> items;
  int answer = 0;
  main().chooseFromMenu = [&](MenuHandle menu, int, int) {
    items.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[512] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), text, 512, MF_BYPOSITION);
      items.push_back({static_cast<int>(GetMenuItemID(menu, i)), narrow(text),
                       (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0});
    }
    return answer;
  };
  std::string copied;
  main().copyText = [&](const std::string& text) { copied = text; };

  // From the keyboard on the list's focused row (the menu key), Copy Path.
  main().showList();
  HWND list = main().listView().handle();
  ListView_SetItemState(list, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  answer = MainWindow::kCopyPathCommand;
  SendMessageW(main().handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
  EXPECT_EQ(copied, projects + "\\plan.txt");
  ASSERT_EQ(items.size(), 5U);
  EXPECT_EQ(items[0].text, std::string(kMenuOpenContainingFolder));
  EXPECT_EQ(items[4].text, std::string(kMenuExcludeExtension));
  for (const Item& item : items) {
    if (item.command != 0) {  // 0: the separator
      EXPECT_FALSE(item.greyed) << item.text;
    }
  }

  answer = MainWindow::kExcludeFolderCommand;
  main().showListMenu(1, 0, 0);
  answer = MainWindow::kExcludeExtensionCommand;
  main().showListMenu(1, 0, 0);
  CaptureOptions saved = readCaptureOptions(real, ini);
  EXPECT_EQ(saved.excludedFolders, std::vector<std::string>{projects + "\\"});
  EXPECT_EQ(saved.extensions, std::vector<std::string>{".log"});

  // Excluded already, and the only extension kept: greyed, with the reason.
  main().showListMenu(1, 0, 0);
  ASSERT_EQ(items.size(), 5U);
  EXPECT_TRUE(items[3].greyed);
  EXPECT_NE(items[3].text.find("excluded already"), std::string::npos) << items[3].text;

  // While a recording runs the settings are locked: both exclusions greyed with the reason, and
  // choosing one anyway changes nothing.
  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return app->settingsWindow().recordMode(); }));
  answer = MainWindow::kExcludeFolderCommand;
  main().showListMenu(3, 0, 0);
  ASSERT_EQ(items.size(), 5U);
  for (const int i : {3, 4}) {
    EXPECT_TRUE(items[i].greyed) << items[i].text;
    EXPECT_NE(items[i].text.find(std::string(kSettingsLockedReason)), std::string::npos) << items[i].text;
  }
  EXPECT_EQ(readCaptureOptions(real, ini), saved);
  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Idle; }));
}

// F5 records and stops, the Pause key pauses and resumes, Enter clicks the focused button, and
// Tab goes along the toolbar, the view bar and the view shown.
TEST_F(MainWindowTest, KeysReachTheirCommandsAndTabGoesInOrder) {
  pressKey(main().handle(), VK_F5);
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Recording; }));
  pressKey(main().handle(), VK_PAUSE);
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Paused; }));
  pressKey(main().handle(), VK_PAUSE);
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Recording; }));
  pressKey(main().handle(), VK_F5);
  ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Idle; }));
  // Idle, the Pause key has nothing to pause.
  pressKey(main().handle(), VK_PAUSE);
  pumpPending();
  EXPECT_EQ(main().recording().state(), RecordingState::Idle);

  const std::vector<HWND> expected = {main().recordButton().handle(), main().settingsButton().handle(),
                                      main().helpButton().handle(),   main().listButton().handle(),
                                      main().cleanButton().handle(),  main().saveButton().handle(),
                                      main().treeView().handle()};
  std::vector<HWND> order;
  HWND at = expected.front();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    order.push_back(at);
    at = GetNextDlgTabItem(main().handle(), at, FALSE);
  }
  EXPECT_EQ(order, expected);
  EXPECT_EQ(at, expected.front());

  SetFocus(main().listButton().handle());
  pressKey(main().listButton().handle(), VK_RETURN);
  ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(main().listView().handle()) != FALSE; }));
  SetFocus(main().treeButton().handle());
  pressKey(main().treeButton().handle(), VK_SPACE);
  ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(main().treeView().handle()) != FALSE; }));
}

// The tree shows the nodes of the rows the filter shows, with their ancestors, also for rows
// arriving meanwhile; Escape shows every node again. (The user's folds kept across batches are
// checked with the tree view itself, in capture_tree_view_test.)
TEST_F(OpenedRecordingTest, TheTreeShowsTheMatchingNodesWithTheirAncestors) {
  main().showTree();
  pumpPending();
  const auto shownNames = [&] {
    std::set<std::string> names;
    for (std::string text : main().treeView().shownTexts()) {
      text.erase(0, text.find_first_not_of(' '));
      if (text.starts_with('(')) text.erase(0, text.find(") ") + 2);  // a deletion's time
      names.insert(text);
    }
    return names;
  };
  const std::set<std::string> all = shownNames();
  for (const char* name : {"projects", "logs", "today.log"}) ASSERT_TRUE(all.contains(name)) << name;

  pressChord(main().handle(), {VK_CONTROL}, 'F');
  setFilter("svc");
  std::set<std::string> filtered = shownNames();
  EXPECT_TRUE(filtered.contains("logs"));
  EXPECT_TRUE(filtered.contains("today.log"));
  EXPECT_FALSE(filtered.contains("projects"));
  for (const std::string& name : filtered) EXPECT_EQ(name.find("plan"), std::string::npos) << name;

  CaptureViews& views = main().captureViews();
  Change other;
  other.kind = EventKind::FileCreated;
  other.path = projects + "\\other.txt";
  Change matching = other;
  matching.path = logs + "\\tomorrow.log";
  matching.process = "svc.exe";
  views.beginBatch();
  views.add(other);
  views.add(matching);
  views.endBatch();
  settleViews();
  filtered = shownNames();
  EXPECT_TRUE(filtered.contains("tomorrow.log"));
  EXPECT_FALSE(filtered.contains("other.txt"));
  EXPECT_FALSE(filtered.contains("projects"));

  pressKey(main().filterBox().edit(), VK_ESCAPE);
  settleViews();
  const std::set<std::string> again = shownNames();
  for (const std::string& name : all) EXPECT_TRUE(again.contains(name)) << name;
  EXPECT_TRUE(again.contains("other.txt"));
  EXPECT_TRUE(again.contains("tomorrow.log"));
}

// A system whose mechanism never reports two of the kinds (the Windows shell reports them all).
class NarrowWatching : public ChangeWatching {
 public:
  explicit NarrowWatching(ChangeWatching& real) : real(real) {}
  std::unique_ptr<ChangeWatcher> watch(const WatchRequest& request) override { return real.watch(request); }
  EventKindSet producibleKinds() const override {
    EventKindSet kinds = allEventKinds();
    kinds.reset(0);
    kinds.reset(5);
    return kinds;
  }

 private:
  ChangeWatching& real;
};

class NarrowSystemTest : public MainWindowTest {
 protected:
  NarrowSystemTest() {
    options.kinds.reset(7);  // a kind unticked: red, as before
    watching = &narrowWatching;
  }
  NarrowWatching narrowWatching{real.parts().watching};
};

// The kinds the system never reports are greyed in the settings window's checklist, with a tool
// tip that says so; the others keep their black (ticked) or red (unticked) text and no such tip.
TEST_F(NarrowSystemTest, KindsTheSystemNeverReportsAreGreyedWithATip) {
  SettingsWindow& settings = app->settingsWindow();
  const HWND list = settings.eventList();
  const auto colour = [&](int row) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.clrText = RGB(1, 2, 3);
    SendMessageW(GetParent(list), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
  };
  const auto tip = [&](int row) {
    wchar_t text[512] = L"";
    NMLVGETINFOTIPW info{};
    info.hdr.hwndFrom = list;
    info.hdr.code = LVN_GETINFOTIPW;
    info.iItem = row;
    info.pszText = text;
    info.cchTextMax = 512;
    SendMessageW(GetParent(list), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return narrow(text);
  };
  const struct {
    int row;
    COLORREF colour;
    bool tip;
  } rows[] = {{0, RGB(128, 128, 128), true},
              {5, RGB(128, 128, 128), true},
              {2, RGB(0, 0, 0), false},
              {7, RGB(255, 0, 0), false}};
  for (const auto& r : rows) {
    EXPECT_EQ(colour(r.row), r.colour) << "row " << r.row;
    EXPECT_EQ(tip(r.row), r.tip ? std::string(kKindNeverReported) : std::string()) << "row " << r.row;
  }
}

}  // namespace
}  // namespace tw::win
