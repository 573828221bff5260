#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/model/capture_views.h"
#include "core/recording/capture_options.h"
#include "core/recording/recording_controller.h"
#include "core/settings/exclusions.h"
#include "core/ui/main_window_layout.h"
#include "core/ui/texts.h"
#include "gui/controls/active_label.h"
#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/dialogs.h"
#include "gui/main/filter_bar.h"
#include "gui/main/qt_ui_thread.h"
#include "gui/main/recording_opener.h"
#include "gui/main/system_icons.h"
#include "platform/platform.h"

namespace tw {

// What the main window uses of the settings window, which is created after it.
// Thread: the user-interface thread.
class SettingsWindowLink {
 public:
  virtual ~SettingsWindowLink() = default;
  // The capture options as last saved (what config.ini holds): a recording copies them when it
  // starts; the tray and automatic start are read from them when needed. The reference stays
  // valid while the settings window lives and changes when it is next hidden.
  virtual const CaptureOptions& captureOptions() = 0;
  // Locks (true) or unlocks (false) the choices that must not change while recording.
  virtual void setRecordMode(bool b) = 0;
  // Shows the settings window modally.
  virtual void showSettings() = 0;
  // Saves options edited outside the settings window (the context menu's exclusions) to
  // config.ini; captureOptions() gives them from then on. Throws with a readable message when
  // the file refuses the write.
  virtual void saveOptions(const CaptureOptions& options) = 0;
};

// The pictures of the main window's image list, by index (the core's, shared with the Win32
// front end).
using MainImage = MainWindowImage;

// The main window: the toolbar commands, the status text, the capture tree and list, the batch
// progress bar, the notification-area icon. It sends the recording controller its commands and
// renders what the controller tells it (RecordingListener): the recording state on the buttons,
// the status text and the settings lock; a batch on the progress bar; errors in the general
// error message box.
//
// Threads: everything runs on the user-interface thread; the recording's threads reach it only
// through work posted to the Qt event loop (QtUiThread, with this window as the context). Owns
// its controls, the capture views and their models, and the recording controller, whose threads
// it ends before it goes. Uses, but does not own, the platform (its change watching among it),
// the dialogs, the settings window and the about box, which outlive it.
class MainWindow : public QWidget, public RecordingListener {
  Q_OBJECT

 public:
  // `schedule` paces the delivery of changes; the program's tests step it themselves.
  MainWindow(Platform platform, Dialogs& dialogs, DeliverySchedule schedule = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Set once at start-up, after the settings window and the about box exist.
  void setSettingsWindow(SettingsWindowLink* link) { settings = link; }
  void setAboutBox(std::function<void()> show) { showAbout = std::move(show); }

  void processResize();
  void startCapture();
  void closeProgram();

  // The recordings of this window.
  RecordingController& recording() { return controller; }

  // RecordingListener: what the recording tells the window.
  void stateChanged(RecordingState state) override;
  void noticeReceived(const WatchNotice& notice) override;
  void batchStarted(std::size_t size) override;
  void batchProgress(std::size_t position) override;
  void batchFinished() override;
  void recordingFailed(const std::string& message) override;

  // Shows a message in the application's general error message box.
  void showError(const std::string& message);

  // The controls, by their names, for the program's own tests and screenshots.
  ToolBar* toolBar = nullptr;
  ToolButton* recordButton = nullptr;
  ToolButton* pauseButton = nullptr;
  ToolButton* settingsButton = nullptr;
  ToolButton* helpButton = nullptr;
  GradientPanel* viewBar = nullptr;
  SpeedButton* treeButton = nullptr;
  SpeedButton* listButton = nullptr;
  SpeedButton* cleanButton = nullptr;
  SpeedButton* saveButton = nullptr;
  ActiveLabel* statusLabel = nullptr;
  CaptureTreeView* treeView = nullptr;
  CaptureListView* listView = nullptr;
  ProgressBar* progressBar = nullptr;
  ImageList* images = nullptr;
  QSystemTrayIcon* trayIcon = nullptr;
  QMenu* helpMenu = nullptr;
  QAction* likeUsAction = nullptr;
  QAction* aboutAction = nullptr;
  QAction* exitAction = nullptr;
  // Beyond the designed window: the filter box over the views (Ctrl+F) and the command that opens
  // a recording (Ctrl+O, also in the help menu).
  FilterBar* filterBar = nullptr;
  QAction* findAction = nullptr;
  QAction* openAction = nullptr;

  // The context menu of the tree's nodes and the list's rows, and its commands.
  QMenu* rowMenu = nullptr;
  QAction* openFolderAction = nullptr;
  QAction* copyPathAction = nullptr;
  QAction* excludeFolderAction = nullptr;
  QAction* excludeExtensionAction = nullptr;
  // The keyboard commands of the window: F5 record or stop, Pause pause or resume, Ctrl+E
  // export, Ctrl+Shift+Del clean, F1 the help menu.
  QAction* recordKey = nullptr;
  QAction* pauseKey = nullptr;
  QAction* exportKey = nullptr;
  QAction* cleanKey = nullptr;
  QAction* helpKey = nullptr;

  const CaptureViews& captureViews() const { return views; }
  CaptureTreeModel& treeModel() { return *treeModel_; }
  CaptureListModel& listModel() { return *listModel_; }

  // Seams the program's tests replace: whether the desktop has a notification area, how the
  // process ends at once, and what the balloon shows.
  std::function<bool()> trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  std::function<void(int)> exitProcess;
  QString lastBalloonTitle;
  QString lastBalloonText;

  // The handlers, public so that the tests can run them as a click would.
  void onRecord();
  void onPause();
  void onSettings();
  void onHelp();
  void onShowTree();
  void onShowList();
  void onClean();
  void onExport();
  void onTrayActivated();
  void onLikeUs();
  void onAbout();
  void onExitProgram();
  void onFind();
  void onOpenRecording();

  // Shows only the list rows that match `text` (every row when blank), as typing it would.
  void setFilterText(const QString& text);
  // Loads a recording in the jsonl form into the views: only while not recording; views that
  // hold changes are replaced after the user agrees (as Clean would clear them). The load runs in
  // steps on the event loop; one message says what was loaded and how many lines were not
  // events.
  void openRecording(const QString& file);
  bool isOpeningRecording() const { return opener != nullptr; }

  // Fills the context menu for `target`: its commands' captions, which of them can run, and the
  // reason of those that cannot in their tool tips. The exclusions cannot run while a recording
  // runs, as the settings cannot change then.
  void prepareRowMenu(const PathTarget& target);
  // The target of a row of the tree or list model; none for another index.
  std::optional<PathTarget> targetOf(const QModelIndex& index) const;
  // The commands of the context menu, on the target it was last prepared for.
  void onOpenFolder();
  void onCopyPath();
  void onExcludeFolder();
  void onExcludeExtension();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildControls();
  void buildKeyboard();
  void showRowMenu(const QModelIndex& index, const QPoint& globalPos);
  void setStatus(const QString& text);
  void updateFilterCount();
  void recordingOpened();
  // Runs a command; an exception from it reaches the user in the general error message box.
  void runCommand(const std::function<void()>& command);

  Platform platform;
  Dialogs& dialogs;
  SettingsWindowLink* settings = nullptr;
  std::function<void()> showAbout;
  bool loaded = false;
  bool recordMode = false;               // what the settings window was last told
  QStringList notices;                   // of the latest recording, shown as the status text's tool tip
  std::optional<PathTarget> menuTarget;  // what the context menu was last prepared for

  CaptureViews views;
  SystemIcons systemIcons;
  std::unique_ptr<CaptureTreeModel> treeModel_;
  std::unique_ptr<CaptureListModel> listModel_;
  std::unique_ptr<RecordingOpener> opener;  // while a recording is being opened

  // The bar's position follows the delivered changes; it is drawn once per pass of the event
  // loop rather than once per step.
  QTimer positionTimer;
  int pendingPosition = 0;

  // Last: the recording's threads end before the views and this window go.
  QtUiThread uiThread{this};
  RecordingController controller;
};

}  // namespace tw
