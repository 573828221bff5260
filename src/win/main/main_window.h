#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/model/capture_views.h"
#include "core/recording/capture_options.h"
#include "platform/platform.h"
#include "win/controls/bars.h"
#include "win/controls/buttons.h"
#include "win/controls/gradient_panel.h"
#include "win/controls/image_list.h"
#include "win/controls/labels.h"
#include "win/controls/progress_bar.h"
#include "win/controls/top_level_window.h"
#include "win/main/dialogs.h"
#include "win/main/tray_icon.h"

namespace tw::win {

// What the main window uses of the settings window, which is created after it.
// Thread: the user-interface thread.
class SettingsLink {
 public:
  virtual ~SettingsLink() = default;
  // The capture options as last saved (what config.ini holds): a recording takes a snapshot of
  // them when it starts; the tray and automatic start options are read from them when needed.
  virtual const CaptureOptions& captureOptions() = 0;
  // Locks (true) or unlocks (false) the choices that must not change while recording.
  virtual void setRecordMode(bool recording) = 0;
  // Shows the settings window modally over the main window.
  virtual void showSettings() = 0;
};

// The recording, as the main window's buttons command it. The recording controller takes this
// place when the views and the recording are connected; until then the window has none, and
// Record and Pause do nothing.
// Thread: the user-interface thread.
class RecordingCommands {
 public:
  virtual ~RecordingCommands() = default;
  // No recording runs: Record starts one; otherwise Record stops it.
  virtual bool isIdle() const = 0;
  // The recording is paused: Pause resumes it; otherwise Pause pauses it.
  virtual bool isPaused() const = 0;
  virtual void record(const CaptureOptions& snapshot) = 0;
  virtual void stop() = 0;
  virtual void pause() = 0;
  virtual void resume() = 0;
};

// The main window: the toolbar (Record, Pause, settings, help), the view bar (Tree, List, Clean,
// Save and the status text), the capture tree and the capture list, the batch progress bar, the
// help menu and the notification-area icon; processResize lays them out as the core's
// layoutMainWindow says. It holds the capture views (the tree and the list of the recording) and
// exports them.
//
// Threads: everything runs on the user-interface thread. Owns its controls, its image list, the
// capture views, its menu and its notification-area icon. Uses, but does not own, the platform,
// the dialogs, the settings window (SettingsLink), the about box and the recording commands,
// which outlive it.
class MainWindow : public TopLevelWindow {
 public:
  // The window's own messages: the notification-area icon's clicks.
  static constexpr unsigned kTrayMessage = 0x8000 + 1;  // WM_APP + 1
  // The help menu's commands.
  static constexpr int kLikeUsCommand = 101;
  static constexpr int kAboutCommand = 102;
  static constexpr int kExitCommand = 103;

  MainWindow(Platform platform, Dialogs& dialogs);
  ~MainWindow() override;

  // Set once at start-up, after the settings window and the about box exist.
  void setSettingsLink(SettingsLink* link) { settings_ = link; }
  void setAboutBox(std::function<void()> show) { showAbout_ = std::move(show); }
  void setRecordingCommands(RecordingCommands* commands) { commands_ = commands; }

  void processResize();
  // Starts a recording with a snapshot of the saved options.
  void startCapture();
  // Asks for confirmation ("Close Program"), then ends the process at once (exitProcess).
  void closeProgram();
  // The status text, right-aligned in the view bar.
  void setStatus(std::string_view text);
  // Shows or hides the batch progress bar and lays the window out again.
  void setProgressShown(bool shown);
  // Tree or list on screen; the disabled view button names it.
  void showTree();
  void showList();

  // The controls, by their names, for the program's own tests and screenshots.
  ToolBar& toolBar() { return *toolBar_; }
  ToolButton& recordButton() { return *record_; }
  ToolButton& pauseButton() { return *pause_; }
  ToolButton& settingsButton() { return *settingsButton_; }
  ToolButton& helpButton() { return *help_; }
  GradientPanel& viewBar() { return *viewBar_; }
  SpeedButton& treeButton() { return *treeButton_; }
  SpeedButton& listButton() { return *listButton_; }
  SpeedButton& cleanButton() { return *clean_; }
  SpeedButton& saveButton() { return *save_; }
  ActiveLabel& statusLabel() { return *status_; }
  ProgressBar& progressBar() { return *progress_; }
  WindowHandle treeView() const { return treeView_; }
  WindowHandle listView() const { return listView_; }
  MenuHandle helpMenu() const { return helpMenu_; }
  TrayIcon& trayIcon() { return *tray_; }
  const ImageList& images() const { return *images_; }
  CaptureViews& captureViews() { return views_; }

  // How the process ends at once (Exit Program answered Yes) and how the program ends when the
  // window closes; the tests replace them.
  std::function<void(int)> exitProcess;
  std::function<void()> quit;

 protected:
  void placeControls() override;
  void shown() override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  void buildControls();
  void buildHelpMenu();
  void onCommand(int command);
  void onRecord();
  void onPause();
  void onHelp();
  void onClean();
  void onExport();
  void onClose();
  void restoreFromTray();
  // Runs a command; an exception from it reaches the user in the general error message box.
  void runCommand(const std::function<void()>& command);
  void showError(const std::string& message);

  Platform platform_;
  Dialogs& dialogs_;
  SettingsLink* settings_ = nullptr;
  RecordingCommands* commands_ = nullptr;
  std::function<void()> showAbout_;
  bool loaded_ = false;

  CaptureViews views_;
  std::unique_ptr<ImageList> images_;
  std::unique_ptr<ToolBar> toolBar_;
  std::unique_ptr<ToolButton> record_;
  std::unique_ptr<ToolButton> pause_;
  std::unique_ptr<ToolButton> settingsButton_;
  std::unique_ptr<ToolButton> help_;
  std::unique_ptr<GradientPanel> viewBar_;
  std::unique_ptr<SpeedButton> treeButton_;
  std::unique_ptr<SpeedButton> listButton_;
  std::unique_ptr<SpeedButton> clean_;
  std::unique_ptr<SpeedButton> save_;
  std::unique_ptr<ActiveLabel> status_;
  std::unique_ptr<ProgressBar> progress_;
  WindowHandle treeView_ = nullptr;
  WindowHandle listView_ = nullptr;
  MenuHandle helpMenu_ = nullptr;
  BitmapHandle menuPictures_[3] = {};
  IconHandle trayPicture_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  unsigned taskbarCreatedMessage_ = 0;
};

}  // namespace tw::win
