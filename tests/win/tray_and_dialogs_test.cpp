// The Windows program's main window driven as a user would beyond recording: closing it to the
// notification area and back (and where there is none), the colours of what was recorded as the
// views draw it, the export through the save dialog, and the settings window's extension dialog
// and folder picker driven by keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/ui/texts.h"
#include "support/main_window_fixture.h"

// Last: its macros would clash with the names above.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

namespace tw::win {
namespace {

using namespace tw::win::test;

constexpr std::uint32_t kShellRenameItem = 0x00000001;
constexpr std::uint32_t kShellCreate = 0x00000002;
constexpr std::uint32_t kShellDelete = 0x00000004;

// What the window asked of the notification area: each call's message and data.
struct ShellCall {
  unsigned long message;
  unsigned flags;
  HWND owner;
  unsigned callbackMessage;
  bool hasIcon;
  std::wstring tip, infoTitle, info;
};

// The window with "Minimize to tray" saved, and a notification area of the test's that says yes
// (or no, `accepts`) and keeps what it was asked.
class TrayTest : public MainWindowTest {
 protected:
  TrayTest() { options.minimizeToTray = true; }
  void SetUp() override {
    MainWindowTest::SetUp();
    main().trayIcon().shellNotify = [this](unsigned long message, void* data) {
      const auto& d = *static_cast<const NOTIFYICONDATAW*>(data);
      calls.push_back(ShellCall{message, d.uFlags, d.hWnd, d.uCallbackMessage, d.hIcon != nullptr, d.szTip,
                                d.szInfoTitle, d.szInfo});
      return accepts;
    };
  }
  void closeWindow() { SendMessageW(main().handle(), WM_CLOSE, 0, 0); }
  // The shell reports a mouse message on the icon.
  void iconMessage(unsigned mouseMessage) {
    PostMessageW(main().handle(), MainWindow::kTrayMessage, 1, static_cast<LPARAM>(mouseMessage));
    pumpPending();
  }

  bool accepts = true;
  std::vector<ShellCall> calls;
};

TEST_F(TrayTest, CloseHidesToTheIconWithABalloonAndTheIconsClicksBringTheWindowBack) {
  for (const unsigned click : {static_cast<unsigned>(WM_LBUTTONUP), static_cast<unsigned>(WM_LBUTTONDBLCLK),
                               static_cast<unsigned>(NIN_BALLOONUSERCLICK)}) {
    SCOPED_TRACE(click);
    calls.clear();
    closeWindow();
    pumpPending();
    EXPECT_TRUE(IsWindow(main().handle()));
    EXPECT_FALSE(IsWindowVisible(main().handle()));
    EXPECT_EQ(quits, 0);
    ASSERT_EQ(calls.size(), 2u);
    // The icon: the window's own message, an icon, the tip.
    EXPECT_EQ(calls[0].message, static_cast<unsigned long>(NIM_ADD));
    EXPECT_EQ(calls[0].flags, static_cast<unsigned>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(calls[0].owner, main().handle());
    EXPECT_EQ(calls[0].callbackMessage, MainWindow::kTrayMessage);
    EXPECT_TRUE(calls[0].hasIcon);
    EXPECT_EQ(narrow(calls[0].tip), kTrayTip);
    // The balloon over it.
    EXPECT_EQ(calls[1].message, static_cast<unsigned long>(NIM_MODIFY));
    EXPECT_NE(calls[1].flags & NIF_INFO, 0u);
    EXPECT_EQ(narrow(calls[1].infoTitle), kTrayBalloonTitle);
    EXPECT_EQ(narrow(calls[1].info), kTrayBalloonText);
    EXPECT_TRUE(main().trayIcon().isShown());

    // The right button is not one of the clicks that bring it back.
    iconMessage(WM_RBUTTONUP);
    EXPECT_FALSE(IsWindowVisible(main().handle()));

    iconMessage(click);
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(main().handle()) != FALSE; }));
    // Shown again, the icon goes.
    ASSERT_TRUE(pumpUntil([&] { return !main().trayIcon().isShown(); }));
    EXPECT_EQ(calls.back().message, static_cast<unsigned long>(NIM_DELETE));
    EXPECT_EQ(quits, 0);
  }
}

// The shell restarted while the window was hidden: the icon is put back, or the window could not
// be found again.
TEST_F(TrayTest, TheIconComesBackWhenTheShellRestarts) {
  closeWindow();
  pumpPending();
  calls.clear();
  SendMessageW(main().handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].message, static_cast<unsigned long>(NIM_ADD));
  EXPECT_TRUE(main().trayIcon().isShown());
  // Not while shown normally: there is no icon to put back.
  iconMessage(WM_LBUTTONUP);
  ASSERT_TRUE(pumpUntil([&] { return !main().trayIcon().isShown(); }));
  calls.clear();
  SendMessageW(main().handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(calls.empty());
}

// Without a notification area a hidden window could never come back: Close minimises it.
TEST_F(TrayTest, WithoutANotificationAreaCloseMinimises) {
  accepts = false;
  closeWindow();
  ASSERT_TRUE(pumpUntil([&] { return IsIconic(main().handle()) != FALSE; }));
  EXPECT_TRUE(IsWindowVisible(main().handle()));
  EXPECT_FALSE(main().trayIcon().isShown());
  EXPECT_EQ(quits, 0);
  ShowWindow(main().handle(), SW_RESTORE);
  pumpPending();
  EXPECT_FALSE(IsIconic(main().handle()));
}

// Without the option, Close ends the program; the icon never shows.
TEST_F(MainWindowTest, CloseWithoutTheTrayOptionEndsTheProgram) {
  SendMessageW(main().handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(main().handle()));
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(main().trayIcon().isShown());
}

// A create, a rename and a delete announced in this process, recorded and stopped.
class RecordedTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    click(main().recordButton().handle());
    ASSERT_TRUE(pumpUntil([&] { return !main().watchedRoots().empty(); }));
    const std::string a = root + "\\plan.txt", b = root + "\\plan-v2.txt";
    Win32Platform::announceChange(kShellCreate, a);
    Win32Platform::announceChange(kShellRenameItem, a, b);
    Win32Platform::announceChange(kShellDelete, b);
    ASSERT_TRUE(pumpUntil([&] { return main().listView().shownRowCount() >= 3; }));
    settleViews();  // the tree view's update, on its timer after the batch's end
    click(main().recordButton().handle());
    ASSERT_TRUE(pumpUntil([&] { return main().recording().state() == RecordingState::Idle; }));
  }

  // The text colour the window gives an item when its view asks before drawing it (custom
  // drawing's item stage); `kUntouched` when it leaves the view's own.
  static constexpr COLORREF kUntouched = RGB(1, 2, 3);
  COLORREF listColour(int row, bool selected) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = main().listView().handle();
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.nmcd.uItemState = selected ? CDIS_SELECTED : 0;
    draw.clrText = kUntouched;
    SendMessageW(main().handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
  }
  COLORREF treeColour(int row, bool selected) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = main().treeView().handle();
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    draw.nmcd.uItemState = selected ? CDIS_SELECTED : 0;
    draw.clrText = kUntouched;
    SendMessageW(main().handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
  }
};

TEST_F(RecordedTest, RowsAndNodesAreDrawnInTheColoursOfWhatHappened) {
  constexpr COLORREF green = RGB(0x00, 0x80, 0x00), blue = RGB(0x00, 0x00, 0xFF), red = RGB(0xFF, 0x00, 0x00);
  const struct {
    int row;
    COLORREF colour;
  } rows[] = {{0, green}, {1, blue}, {2, red}};
  for (const auto& r : rows) {
    EXPECT_EQ(listColour(r.row, false), r.colour) << "row " << r.row;
    // A selected row keeps the selection's colours.
    EXPECT_EQ(listColour(r.row, true), kUntouched) << "row " << r.row;
  }

  // The tree: the folders in the view's own colour, the renamed file blue, the deleted one red
  // (the files are the rows of the deepest level); a selected row keeps the selection's colours.
  const CaptureTreeView& tree = main().treeView();
  int deepest = 0;
  for (int row = 0; row < tree.shownRowCount(); ++row) deepest = std::max(deepest, tree.shownLevel(row));
  std::vector<std::pair<std::string, COLORREF>> nodes;
  for (int row = 0; row < tree.shownRowCount(); ++row) {
    if (tree.shownLevel(row) == deepest) {
      nodes.emplace_back(tree.shownText(row), treeColour(row, false));
      EXPECT_EQ(treeColour(row, true), kUntouched) << "row " << row;
    } else {
      EXPECT_EQ(treeColour(row, false), kUntouched) << "row " << row;
    }
  }
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0].first, "plan.txt -> plan-v2.txt");
  EXPECT_EQ(nodes[0].second, blue);
  EXPECT_NE(nodes[1].first.find("plan-v2.txt"), std::string::npos);
  EXPECT_EQ(nodes[1].second, red);
}

// The save dialog (the system's common dialog) is driven through its own controls: the file name
// typed without an extension, then its OK button; the "Exportation" message names the file,
// which holds the report of what the views show.
TEST_F(RecordedTest, ExportWritesTheReportToTheFileChosenInTheSaveDialog) {
  const std::string typed = root + "\\report";
  const std::string written = typed + ".txt";
  bool saveShown = false;
  std::wstring doneText;
  whenShown(L"Save As", [&](WindowHandle dialog) {
    saveShown = true;
    // The file name box of the explorer-style dialog (cmb13), or the older edit box (edt1).
    HWND name = GetDlgItem(dialog, 0x47C);
    if (name == nullptr) name = GetDlgItem(dialog, 0x480);
    ASSERT_NE(name, nullptr);
    SetWindowTextW(name, wide(typed).c_str());
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  });
  whenShown(wide(kExportTitle), [&](WindowHandle box) {
    for (const std::wstring& t : childTexts(box)) doneText += t + L"\n";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  click(main().saveButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return watchedWindows() == 0; }));
  pumpPending();
  EXPECT_TRUE(saveShown);
  EXPECT_NE(narrow(doneText).find(written), std::string::npos) << narrow(doneText);

  std::ifstream in(written, std::ios::binary);
  ASSERT_TRUE(in.is_open()) << written;
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string caption = narrow(windowText(main().handle()));
  EXPECT_EQ(content.rfind("Generated by " + caption + "\r\n", 0), 0u) << content;
  const std::string folder = root + "\\";
  for (const std::string& row : {"plan.txt\t-\tCreate\t" + folder + "\t\r\n",
                                 "plan.txt\tplan-v2.txt\tRename File\t" + folder + "\t\r\n",
                                 "plan-v2.txt\t-\tDelete\t" + folder + "\t\r\n"})
    EXPECT_NE(content.find(row), std::string::npos) << row << "\nin:\n" << content;
  EXPECT_NE(content.find("plan.txt -> plan-v2.txt"), std::string::npos) << content;
}

// A file of a type the system does not know shows the shell's generic document, the system image
// list's index 0, in the list and in the tree (index 0 is an icon, not "none").
TEST_F(MainWindowTest, AFileOfAnUnknownTypeShowsTheGenericDocument) {
  SHFILEINFOW info{};
  ASSERT_NE(SHGetFileInfoW(L"data.qqzz", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                           SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES),
            0u);
  const int generic = info.iIcon;
  click(main().recordButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return !main().watchedRoots().empty(); }));
  // On disk: the tree asks the disk for the icons of the nodes it shows.
  { std::ofstream(root + "\\data.qqzz") << "x"; }
  Win32Platform::announceChange(kShellCreate, root + "\\data.qqzz");
  // The tree view takes the batch's rows on its timer after the batch's end.
  ASSERT_TRUE(pumpUntil(
      [&] { return main().listView().shownRowCount() == 1 && main().treeView().shownRowCount() > 1; }));

  LVITEMW row{};
  row.mask = LVIF_IMAGE;
  row.iItem = 0;
  row.iSubItem = 0;
  ASSERT_TRUE(ListView_GetItem(main().listView().handle(), &row));
  EXPECT_EQ(row.iImage, generic);

  // The tree's last row is the file (the rows above it are the folders of its path).
  const CaptureTreeView& tree = main().treeView();
  ASSERT_GT(tree.shownRowCount(), 1);
  const int leaf = tree.shownRowCount() - 1;
  EXPECT_EQ(tree.shownText(leaf), "data.qqzz");
  EXPECT_EQ(tree.shownImage(leaf), generic);
}

// The extension list of the settings window, as it shows it.
std::vector<std::string> shownEntries(HWND list) {
  std::vector<std::string> entries;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    wchar_t text[256] = {};
    ListView_GetItemText(list, row, 0, text, 256);
    entries.push_back(narrow(text));
  }
  return entries;
}

// The extension dialog by keys: Enter adds what was typed, Escape adds nothing, each showing
// starts empty. The folder picker by keys: Escape adds nothing, Enter adds the folder it opened
// on (the system drive).
TEST_F(MainWindowTest, ExtensionDialogAndFolderPickerAnswerKeys) {
  SettingsWindow& settings = app->settingsWindow();
  ExtensionDialog& extension = app->extensionDialog();
  const std::vector<std::string> before = shownEntries(settings.extensionList());
  const std::vector<std::string> foldersBefore = shownEntries(settings.excludedFolderList());
  struct Entry {
    std::wstring typed;
    unsigned key;
  };
  const Entry entries[] = {{L"qqa; qqb", VK_RETURN}, {L"qqz", VK_ESCAPE}, {L".QQA,qqc", VK_RETURN}};
  std::vector<std::wstring> fieldAtStart;
  std::string pickerTitle;
  bool done = false;
  whenShown(L"Settings", [&](WindowHandle) {
    for (const Entry& entry : entries) {
      whenShown(L"Extension Filter", [&](WindowHandle) {
        fieldAtStart.push_back(windowText(extension.extensionField()));
        EXPECT_EQ(GetFocus(), extension.extensionField());
        typeText(extension.extensionField(), entry.typed);
        pressKey(extension.extensionField(), entry.key);
      });
      SendMessageW(settings.addExtensionButton().handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      SendMessageW(settings.addExtensionButton().handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    for (const unsigned key : {static_cast<unsigned>(VK_ESCAPE), static_cast<unsigned>(VK_RETURN)}) {
      whenShown(L"Browse for Folder", [&, key](WindowHandle picker) {
        // Keys go to whatever has the focus in it, as typed.
        HWND focused = GetFocus();
        pressKey(focused != nullptr ? focused : picker, key);
      });
      SendMessageW(settings.addFolderButton().handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      SendMessageW(settings.addFolderButton().handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    settings.close();
    done = true;
  });
  click(main().settingsButton().handle());
  ASSERT_TRUE(pumpUntil([&] { return done; }));
  EXPECT_EQ(watchedWindows(), 0u);

  EXPECT_EQ(fieldAtStart, (std::vector<std::wstring>{L"", L"", L""}));
  std::vector<std::string> expected = before;
  for (const char* added : {".qqa", ".qqb", ".qqc"}) expected.push_back(added);
  EXPECT_EQ(shownEntries(settings.extensionList()), expected);
  // Saved on close.
  EXPECT_EQ(readCaptureOptions(real, ini).extensions, expected);

  std::vector<std::string> folders = foldersBefore;
  folders.push_back(real.systemDriveRoot().valueOr("C:\\"));
  EXPECT_EQ(shownEntries(settings.excludedFolderList()), folders);
}

}  // namespace
}  // namespace tw::win
