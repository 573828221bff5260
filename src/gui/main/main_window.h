#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/model/capture_views.h"
#include "core/queue/batch_view.h"
#include "core/queue/ui_dispatcher.h"
#include "core/recording/monitor_controls.h"
#include "core/recording/shell_monitor.h"
#include "core/settings/settings_controls.h"
#include "gui/controls/active_label.h"
#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"
#include "gui/main/capture_models.h"
#include "gui/main/capture_views.h"
#include "gui/main/dialogs.h"
#include "gui/main/system_icons.h"
#include "platform/platform.h"

namespace tw {

// What the main window uses of the settings window, which is created after it.
// Thread: the user-interface thread.
class SettingsWindowLink {
 public:
  virtual ~SettingsWindowLink() = default;
  // The capture choices and the options cAutoCapture, cTray and cautoclean.
  virtual SettingsControls& settingsControls() = 0;
  // Locks (true) or unlocks (false) the choices that must not change while recording.
  virtual void setRecordMode(bool b) = 0;
  // Shows the settings window modally.
  virtual void showSettings() = 0;
};

// The addresses behind "Like us !", the about box's link and its three buttons.
inline constexpr const char* kMakerFacebookPage = "https://velvane.example/social/facebook";
inline constexpr const char* kMakerTwitterPage = "https://velvane.example/social/twitter";
inline constexpr const char* kMakerGooglePlusPage = "https://velvane.example/social/googleplus";

// The main window: the toolbar commands, the status text, the capture tree and list, the batch
// progress bar, the notification-area icon. It starts and stops recordings and receives what
// they deliver (MonitorControls, BatchView).
//
// Threads: everything runs on the user-interface thread; the monitor and queue threads reach
// the MonitorControls and BatchView methods only through UiDispatcher::synchronize. Owns its
// controls, the core tree and list and their models. Uses, but does not own, the platform, the
// dialogs, the dispatcher, the settings window and the about box, which outlive it.
class MainWindow : public QWidget, public MonitorControls, public BatchView {
  Q_OBJECT

 public:
  MainWindow(Platform platform, Dialogs& dialogs, UiDispatcher& ui, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Set once at start-up, after the settings window and the about box exist.
  void setSettingsWindow(SettingsWindowLink* link) { settings = link; }
  void setAboutBox(std::function<void()> show) { showAbout = std::move(show); }

  void processResize();
  void startCapture();
  void closeProgram();

  // The monitor of the latest recording while it runs (empty otherwise).
  std::shared_ptr<TShellMonitor> shellMonitor() const { return monitor.lock(); }

  // BatchView (queue thread, through synchronised calls).
  void showBatchProgress(int count) override;
  void addDirectoryFile(const std::string& directoryPath, const std::string& newName, int eventnum) override;
  void addListItem(const std::string& item1, const std::string& item2, int eventNum) override;
  void setBatchPosition(int i) override;
  void hideBatchProgress() override;

  // MonitorControls (monitor thread, through synchronised calls).
  void setRecordImage(int imageIndex) override;
  void setRecordCaption(const std::string& caption) override;
  void setPauseVisible(bool visible) override;
  void setPauseCaption(const std::string& caption) override;
  void setPauseImage(int imageIndex) override;
  void clearTree() override;
  void clearList() override;
  void showError(const std::string& message) override;

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

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildControls();
  void setStatus(const QString& text);
  // Runs a command; an exception from it reaches the user in the general error message box.
  void runCommand(const std::function<void()>& command);

  Platform platform;
  Dialogs& dialogs;
  UiDispatcher& ui;
  SettingsWindowLink* settings = nullptr;
  std::function<void()> showAbout;

  std::weak_ptr<TShellMonitor> monitor;
  bool loaded = false;

  CaptureViews views;
  SystemIcons systemIcons;
  std::unique_ptr<CaptureTreeModel> treeModel_;
  std::unique_ptr<CaptureListModel> listModel_;

  // The bar's position follows the delivered events; it is drawn once per pass of the event
  // loop rather than once per event.
  QTimer positionTimer;
  int pendingPosition = 0;
};

}  // namespace tw
