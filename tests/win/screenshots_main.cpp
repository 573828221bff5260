// The pictures of the Windows program (scripts/screenshots-windows.sh): the main window idle and
// during a recording of a demonstration folder (tree and list), the four settings pages, the
// about box and a recording opened and filtered (with its Process column), as the screen shows them, written
// as BMP files into the folder given (the script turns them into PNG files). Not a test.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "app/record/recorder.h"
#include "core/settings/settings_codec.h"
#include "platform/win32/win32_platform.h"
#include "support/ui_driver.h"
#include "win/main/application.h"

namespace {

namespace fs = std::filesystem;
using namespace tw::win;
using namespace tw::win::test;

void shoot(WindowHandle window, const fs::path& file) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  pumpPending();
  GdiFlush();
  writeBmp(captureScreen(window), file.string());
  std::printf("%s\n", file.string().c_str());
}

// Clicks the navigation tree's node `index` (in the order of the tree, all expanded).
void clickNode(WindowHandle tree, int index) {
  HTREEITEM item = TreeView_GetRoot(tree);
  for (int i = 0; i < index && item != nullptr; ++i) item = TreeView_GetNextVisible(tree, item);
  RECT r{};
  TreeView_GetItemRect(tree, item, &r, TRUE);
  clickAt(tree, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnwatch_win_screenshots OUTPUT-FOLDER\n");
    return 2;
  }
  try {
    const fs::path out = argv[1];
    fs::create_directories(out);
    // Settings to show: a few extensions, an excluded folder that exists and one that does not
    // (shown in red), two event kinds left out.
    const fs::path ini = fs::temp_directory_path() / "tarnwatch-screenshots.ini";
    fs::remove(ini);
    tw::Win32Platform platform;
    tw::CaptureOptions options;
    options.extensions = {".txt", ".log", ".exe", ".doc"};
    const std::string windows = platform.systemFolder().valueOr("C:\\windows");
    options.excludedFolders = {windows + "\\Temp\\", "C:\\Archive\\old-builds\\"};
    options.kinds.reset(0);
    options.kinds.reset(17);
    options.minimizeToTray = true;
    tw::writeCaptureOptions(platform, ini.string(), options);

    // The pointer out of the way: no control shows its hover look.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    // The recording watches a demonstration folder only, and hears of the changes the shell is
    // told of in this process.
    const fs::path demo = fs::temp_directory_path() / "tarnwatch-demo";
    fs::remove_all(demo);
    fs::create_directories(demo / "projects" / "old");
    tw::record::FolderDrives folders(platform, tw::PathStyle::Windows, {demo.string()});
    Application app(platform.parts().withDrives(folders), ini.string());
    MainWindow& main = app.mainWindow();
    main.quit = [] {};
    app.showMainWindow();
    pumpUntil([&] { return IsWindowVisible(main.handle()) != FALSE; });
    shoot(main.handle(), out / "win-main.bmp");

    click(main.recordButton().handle());
    pumpUntil([&] { return !main.watchedRoots().empty(); });
    const std::string d = demo.string() + "\\";
    const struct {
      std::uint32_t bit;
      std::string path, newPath;
    } changes[] = {{0x00000008, d + "projects", ""},  // folder created
                   {0x00000002, d + "projects\\plan.txt", ""},
                   {0x00002000, d + "projects\\plan.txt", ""},  // updated
                   {0x00000001, d + "projects\\plan.txt", d + "projects\\plan-v2.txt"},
                   {0x00000002, d + "projects\\old\\a.doc", ""},
                   {0x00000002, d + "projects\\notes.log", ""},
                   {0x00000004, d + "projects\\notes.log", ""},
                   {0x00000002, d + "setup.exe", ""}};
    for (const auto& c : changes) tw::Win32Platform::announceChange(c.bit, c.path, c.newPath);
    pumpUntil([&] { return main.listView().shownRowCount() >= 8; });
    pumpUntil([&] { return !main.progressBar().isShown(); });
    pumpUntil([&] { return !main.treeView().updateWaiting(); });
    shoot(main.handle(), out / "win-main-tree.bmp");
    click(main.listButton().handle());
    pumpUntil([&] { return IsWindowVisible(main.listView().handle()) != FALSE; });
    shoot(main.handle(), out / "win-main-list.bmp");

    SettingsWindow& settings = app.settingsWindow();
    whenShown(L"Settings", [&](WindowHandle window) {
      const struct {
        int node;
        SettingsWindow::Page page;
        const char* file;
      } pages[] = {{0, SettingsWindow::Page::General, "win-settings-general.bmp"},
                   {1, SettingsWindow::Page::Drives, "win-settings-drives.bmp"},
                   {3, SettingsWindow::Page::Filters, "win-settings-filters.bmp"},
                   {4, SettingsWindow::Page::Events, "win-settings-events.bmp"}};
      for (const auto& p : pages) {
        clickNode(settings.navigationTree(), p.node);
        pumpUntil([&] { return settings.shownPage() == p.page; });
        shoot(window, out / p.file);
      }
      settings.close();
    });
    SendMessageW(main.settingsButton().handle(), BM_CLICK, 0, 0);

    whenShown(L"About", [&](WindowHandle window) {
      shoot(window, out / "win-about.bmp");
      app.aboutBox().close();
    });
    SendMessageW(main.handle(), WM_COMMAND, MainWindow::kAboutCommand, 0);
    click(main.recordButton().handle());
    pumpUntil([&] { return main.recording().state() == tw::RecordingState::Idle; });

    // A recording made by the headless recorder, with the processes that made the changes,
    // opened and filtered: the filter box and the Process column.
    const fs::path recording = demo / "server.jsonl";
    {
      const auto json = [](std::string text) {
        std::string out;
        for (const char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return '"' + out + '"';
      };
      const struct {
        int event;
        std::string path, newPath, process;
        int pid;
      } lines[] = {{9, d + "projects", "", "explorer.exe", 4120},
                   {2, d + "projects\\plan.txt", "", "winword.exe", 5316},
                   {18, d + "projects\\plan.txt", "", "winword.exe", 5316},
                   {13, d + "projects\\plan.txt", d + "projects\\plan-v2.txt", "explorer.exe", 4120},
                   {2, d + "logs\\service.log", "", "svchost.exe", 1088},
                   {18, d + "logs\\service.log", "", "svchost.exe", 1088},
                   {2, d + "projects\\old\\a.doc", "", "", 0},
                   {3, d + "projects\\notes.log", "", "cmd.exe", 7712}};
      std::FILE* f = std::fopen(recording.string().c_str(), "wb");
      if (f == nullptr) throw std::runtime_error("cannot write " + recording.string());
      for (const auto& l : lines) {
        std::string text = "{\"event\":" + std::to_string(l.event) + ",\"item1\":" + json(l.path);
        if (!l.newPath.empty()) text += ",\"item2\":" + json(l.newPath);
        if (l.pid != 0) text += ",\"pid\":" + std::to_string(l.pid) + ",\"process\":" + json(l.process);
        text += "}\n";
        std::fputs(text.c_str(), f);
      }
      std::fclose(f);
    }
    whenShown(L"Open Recording", [](WindowHandle box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
    main.openRecording(recording.string());
    pumpUntil([&] { return main.recordingOpener() == nullptr && watchedWindows() == 0; });
    // Wide enough for the Process column after the four.
    SetWindowPos(main.handle(), nullptr, 4, 4, 990, 430, SWP_NOZORDER);
    pumpPending();
    main.openFilter();
    SetWindowTextW(main.filterBox().edit(), L"projects");
    pumpUntil([&] { return !main.treeView().updateWaiting(); });
    pumpPending();
    shoot(main.handle(), out / "win-main-filter.bmp");
    fs::remove(ini);
    fs::remove_all(demo);
    return watchedWindows() == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "screenshots: %s\n", e.what());
    return 1;
  }
}
