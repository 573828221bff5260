#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/record/recorder.h"
#include "core/recording/capture_options.h"
#include "core/settings/settings_codec.h"
#include "platform/win32/win32_platform.h"
#include "support/temp_dir.h"
#include "support/ui_driver.h"
#include "win/main/application.h"

namespace tw::win::test {

// The program as it starts, with its settings in a file of the test and its drives replaced by
// one folder of the test, so that only the test's own announcements are recorded. A test that
// needs other saved options changes `options` in its constructor (before SetUp writes them).
// Runs on the tests' thread, which is the program's user-interface thread.
class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    options.cleanOnStop = false;  // the tests look at the views after the stop
  }
  void SetUp() override;
  void TearDown() override;

  MainWindow& main() { return app->mainWindow(); }

  // The list view's rows as it shows them (asked as it asks when it draws).
  std::vector<std::vector<std::string>> listRows();
  // Runs the messages until the tree view's update, which waits for its timer, and the paints
  // after it are done.
  void settleViews();

  tw::test::TempDir tmp;
  std::string root;
  std::string ini = tmp.file("config.ini");
  CaptureOptions options;
  Win32Platform real;
  record::FolderDrives folders{real, PathStyle::Windows, {tmp.path().string()}};
  // The change watching the program uses, when a test gives its own (set before SetUp).
  ChangeWatching* watching = nullptr;
  std::unique_ptr<Application> app;
  int quits = 0;  // how often the window asked the program to end
};

}  // namespace tw::win::test
