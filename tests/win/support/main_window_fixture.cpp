#include "support/main_window_fixture.h"

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::win::test {

void MainWindowTest::SetUp() {
  root = tmp.path().string();
  writeCaptureOptions(real, ini, options);
  const Platform parts = real.parts().withDrives(folders);
  app = std::make_unique<Application>(watching == nullptr
                                          ? parts
                                          : Platform{parts.environment, parts.drives, parts.icons,
                                                     parts.files, parts.profiles, parts.shell, *watching},
                                      ini);
  // Closing the window in a test must not post a quit message to the tests' thread.
  app->mainWindow().quit = [this] { ++quits; };
  app->showMainWindow();
  ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(main().handle()) != FALSE; }));
}

void MainWindowTest::TearDown() {
  stopWatching();
  app.reset();
}

void MainWindowTest::settleViews() {
  ASSERT_TRUE(pumpUntil([&] { return !main().treeView().updateWaiting(); }));
  pumpPending();
}

std::vector<std::vector<std::string>> MainWindowTest::listRows() {
  std::vector<std::vector<std::string>> rows;
  CaptureListView& list = main().listView();
  for (int row = 0; row < list.shownRowCount(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < kListColumnCount; ++column) cells.push_back(list.shownCell(row, column));
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace tw::win::test
