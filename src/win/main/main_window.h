#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/capture_views.h"
#include "core/recording/capture_options.h"
#include "core/recording/recording_controller.h"
#include "core/settings/exclusions.h"
#include "platform/platform.h"
#include "win/controls/bars.h"
#include "win/controls/buttons.h"
#include "win/controls/gradient_panel.h"
#include "win/controls/image_list.h"
#include "win/controls/labels.h"
#include "win/controls/progress_bar.h"
#include "win/controls/top_level_window.h"
#include "win/main/capture_tree_view.h"
#include "win/main/capture_views.h"
#include "win/main/dialogs.h"
#include "win/main/filter_box.h"
#include "win/main/recording_opener.h"
#include "win/main/tray_icon.h"
#include "win/main/window_ui_thread.h"

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
  // Saves `options` to config.ini and shows them (the context menu's exclusions). Throws
  // IniWriteError when the file cannot be written (the options are taken all the same).
  virtual void saveOptions(const CaptureOptions& options) = 0;
  // Shows the settings window modally over the main window.
  virtual void showSettings() = 0;
};

// The main window: the toolbar (Record, Pause, settings, help), the view bar (Tree, List, Clean,
// Save and the status text), the capture tree and the capture list, the batch progress bar, the
// help menu and the notification-area icon; processResize lays them out as the core's
// layoutMainWindow says. It sends the recording controller its commands and renders what the
// controller tells it (RecordingListener): the recording state on the buttons, the status text
// and the settings lock; a batch on the progress bar; errors in the general error message box.
//
// Threads: everything runs on the user-interface thread; the recording's threads reach it only
// through work posted to that thread (WindowUiThread). Owns its controls, its image list, the
// capture views and their native views, its menu, its notification-area icon and the recording
// controller, whose threads end before the views go. Uses, but does not own, the platform (its
// change watching among it), the dialogs, the settings window (SettingsLink) and the about box,
// which outlive it.
class MainWindow : public TopLevelWindow, public RecordingListener {
 public:
  // The window's own messages: the notification-area icon's clicks; a finished opening of a
  // recording.
  static constexpr unsigned kTrayMessage = 0x8000 + 1;  // WM_APP + 1
  static constexpr unsigned kRecordingOpenedMessage = 0x8000 + 2;
  // The help menu's commands.
  static constexpr int kLikeUsCommand = 101;
  static constexpr int kAboutCommand = 102;
  static constexpr int kExitCommand = 103;
  static constexpr int kOpenRecordingCommand = 104;
  // The keyboard's commands (the accelerator table), beside the buttons'.
  static constexpr int kFilterCommand = 105;
  static constexpr int kRecordCommand = 106;
  static constexpr int kPauseCommand = 107;
  static constexpr int kExportCommand = 108;
  static constexpr int kCleanCommand = 109;
  static constexpr int kHelpCommand = 110;
  // The context menu's commands.
  static constexpr int kOpenFolderCommand = 111;
  static constexpr int kCopyPathCommand = 112;
  static constexpr int kExcludeFolderCommand = 113;
  static constexpr int kExcludeExtensionCommand = 114;

  // `schedule` paces the delivery of changes (the program's own by default).
  MainWindow(Platform platform, Dialogs& dialogs, DeliverySchedule schedule = {});
  ~MainWindow() override;

  // Set once at start-up, after the settings window and the about box exist.
  void setSettingsLink(SettingsLink* link) { settings_ = link; }
  void setAboutBox(std::function<void()> show) { showAbout_ = std::move(show); }

  void processResize();
  // Starts a recording with a snapshot of the saved options.
  void startCapture();
  // The recordings of this window.
  RecordingController& recording() { return *controller_; }
  // Asks for confirmation ("Close Program"), then ends the process at once (exitProcess).
  void closeProgram();
  // The status text, right-aligned in the view bar.
  void setStatus(std::string_view text);
  // Shows or hides the batch progress bar and lays the window out again.
  void setProgressShown(bool shown);
  // Tree or list on screen; the disabled view button names it.
  void showTree();
  void showList();
  // Shows the filter box with the caret in it (Ctrl+F).
  void openFilter();
  // Empties and hides the filter box; the view shown takes the focus (Escape in the box).
  void closeFilter();
  // Loads a recording in the jsonl form into the views, as a replay of it would (asks first when
  // the views hold changes; refused while recording). The outcome is told in one message box.
  void openRecording(const std::string& file);
  // The opening under way; null when none.
  RecordingOpener* recordingOpener() { return opener_.get(); }
  // The context menu of the view shown, for what it shows at `row` (a list row) or `node`.
  // Opens at `screen` (a point on the screen); `chooseFromMenu` runs it.
  void showListMenu(int listRow, int screenX, int screenY);
  void showTreeMenu(NodeId node, int screenX, int screenY);

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
  CaptureTreeView& treeView() { return *treeView_; }
  CaptureListView& listView() { return *listView_; }
  FilterBox& filterBox() { return *filterBox_; }
  MenuHandle helpMenu() const { return helpMenu_; }
  TrayIcon& trayIcon() { return *tray_; }
  const ImageList& images() const { return *images_; }
  CaptureViews& captureViews() { return views_; }
  // The folders the latest recording watches, once its watch is set up (empty before).
  const std::vector<std::string>& watchedRoots() const { return watchedRoots_; }

  // How the process ends at once (Exit Program answered Yes) and how the program ends when the
  // window closes; the tests replace them.
  std::function<void(int)> exitProcess;
  std::function<void()> quit;
  // Runs a popup menu at a point of the screen and returns the command chosen (0 for none):
  // TrackPopupMenu by default; the tests replace it to look at the menu and choose.
  std::function<int(MenuHandle, int, int)> chooseFromMenu;
  // Puts a text on the clipboard (the context menu's Copy Path); the tests replace it.
  std::function<void(const std::string&)> copyText;

  // RecordingListener: what the recording tells the window.
  void stateChanged(RecordingState state) override;
  void watchStarted(const std::vector<std::string>& roots) override;
  void noticeReceived(const WatchNotice& notice) override;
  void batchStarted(std::size_t size) override;
  void batchProgress(std::size_t position) override;
  void batchFinished() override;
  void recordingFailed(const std::string& message) override;

  // The keyboard's commands (accelerators) and Escape in the filter box, before the dialog
  // manager sees the keys.
  bool preTranslate(QueuedMessage& message) override;

 protected:
  void placeControls() override;
  void shown() override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  void buildControls();
  void buildHelpMenu();
  void buildKeyboard();
  void onCommand(int command);
  void onRecord();
  void onPause();
  void onHelp();
  void onClean();
  void onExport();
  void onOpenRecording();
  void recordingOpened();
  void onClose();
  void filterChanged();
  void updateFilterCount();
  // The context menu of a target (see showListMenu), and its commands.
  void showRowMenu(const PathTarget& target, int screenX, int screenY);
  void runRowCommand(int command);
  void onContextMenu(WindowHandle view, int screenX, int screenY, bool fromKeyboard);
  void restoreFromTray();
  // Runs a command; an exception from it reaches the user in the general error message box.
  void runCommand(const std::function<void()>& command);
  void showError(const std::string& message);
  // The status text's tool tip: the notices of the latest recording.
  void setStatusTip();

  Platform platform_;
  Dialogs& dialogs_;
  SettingsLink* settings_ = nullptr;
  std::function<void()> showAbout_;
  bool loaded_ = false;
  bool recordMode_ = false;           // what the settings window was last told
  std::vector<std::string> notices_;  // of the latest recording, the status text's tool tip
  std::vector<std::string> watchedRoots_;

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
  std::unique_ptr<CaptureTreeView> treeView_;
  std::unique_ptr<CaptureListView> listView_;
  std::unique_ptr<FilterBox> filterBox_;
  std::unique_ptr<RecordingOpener> opener_;
  std::optional<PathTarget> menuTarget_;  // what the context menu acts on
  AcceleratorHandle accelerators_ = nullptr;
  WindowHandle statusTip_ = nullptr;  // the status text's tool tip: the notices
  MenuHandle helpMenu_ = nullptr;
  BitmapHandle menuPictures_[3] = {};
  IconHandle trayPicture_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  unsigned taskbarCreatedMessage_ = 0;

  // Last: the recording's threads end before the views and this window go, and the work they
  // posted goes with the thread bridge after them.
  WindowUiThread uiThread_;
  std::unique_ptr<RecordingController> controller_;
};

}  // namespace tw::win
