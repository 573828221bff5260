#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "win/main/about_box.h"
#include "win/main/dialogs.h"
#include "win/main/main_window.h"
#include "win/settings/extension_dialog.h"
#include "win/settings/settings_window.h"

namespace tw::win {

// The desktop program: builds the event names, then creates its four windows in order (the main
// window, the settings window, which reads the settings file, the extension dialog and the about
// box), links them, and runs the message loop. The program's main() and the window tests both
// start it this way.
//
// Thread: the user-interface thread, which must be the thread that creates it. Owns the windows
// and the dialogs; uses, but does not own, the platform, which outlives it.
class Application {
 public:
  Application(Platform platform, std::string iniFile);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Shows the main window, centred on the screen, and paints it.
  void showMainWindow();
  // Runs the message loop until the program is asked to quit; the quit code.
  int run();

  MainWindow& mainWindow() { return *main_; }
  SettingsWindow& settingsWindow() { return *settings_; }
  ExtensionDialog& extensionDialog() { return *extension_; }
  AboutBox& aboutBox() { return *about_; }
  Dialogs& dialogs() { return dialogs_; }

 private:
  // The main window's view of the settings window.
  class Link : public SettingsLink {
   public:
    explicit Link(Application& app) : app_(app) {}
    const CaptureOptions& captureOptions() override { return app_.settings_->options(); }
    void setRecordMode(bool recording) override { app_.settings_->setRecordMode(recording); }
    void saveOptions(const CaptureOptions& options) override { app_.settings_->saveOptions(options); }
    void showSettings() override { app_.settings_->showModal(app_.main_->handle()); }

   private:
    Application& app_;
  };

  Dialogs dialogs_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<SettingsWindow> settings_;
  std::unique_ptr<ExtensionDialog> extension_;
  std::unique_ptr<AboutBox> about_;
  Link link_{*this};
};

}  // namespace tw::win
