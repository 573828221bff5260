#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/recording/capture_options.h"
#include "core/ui/settings_layout.h"
#include "gui/settings/settings_models.h"
#include "platform/platform.h"

class QCheckBox;
class QLabel;
class QTableView;
class QTableWidget;
class QTreeWidget;

namespace tw {

class Dialogs;
class SystemIcons;
class ExtensionDialog;
class ProgressBar;
class ActiveLabel;
class ImageList;
class GradientPanel;
class ToolButton;

// What a node of the navigation tree stands for (NavigationTarget) is kept on each node under
// kNavigationTargetRole.
inline constexpr int kNavigationTargetRole = Qt::UserRole + 3;

// The settings window: edits a copy of the capture options and saves it to config.ini when
// hidden. Its lists show the copy (the extensions, the excluded folders and the event kinds
// through models; the drives with their usage bars); options() is the value as last saved,
// which the main window hands to a recording when one starts.
//
// Created once at program start, before the main window is first shown (the constructor expands
// the tree and reads the options from `iniFile`); shown modally by the main window; closing
// only hides it, which saves the options and then shows what the file holds. Lives until the
// program ends.
//
// Thread: the user-interface thread only. Uses, but does not own, the platform, the system
// icons and the dialogs; they must outlive the window.
class SettingsWindow : public QDialog {
  Q_OBJECT
 public:
  SettingsWindow(Platform platform, SystemIcons& icons, Dialogs& dialogs, std::string iniFile,
                 QWidget* parent = nullptr);
  ~SettingsWindow() override;

  // The options as last read from or saved to the file (the unticked drives included). The
  // reference stays valid while the window lives; its value changes when the window is hidden.
  const CaptureOptions& options() const { return saved_; }
  // The options as the window's controls show them now, edits included.
  CaptureOptions editedOptions() const;
  // Shows `options` in the controls (the drive ticks: every listed drive but the unticked).
  void showOptions(const CaptureOptions& options);
  // Saves `options` to the file at once, as closing the window would (an edit made outside the
  // window: the main window's context menu), and shows what the file then holds. A refused
  // write throws IniWriteError after the controls show the file.
  void saveOptions(CaptureOptions options);

  // Called by the About node of the tree (the main window opens its about box modally).
  std::function<void()> onAbout;
  // An error while saving the settings on close, after the window has gone. Unset: a message
  // box titled "Tarnwatch" with the error icon shows the error's text.
  std::function<void(const std::exception&)> onSaveError;

  // Locks (true, while a recording runs) or unlocks the capture choices.
  void setRecordMode(bool recording);
  // Adds the extensions of `text` (",", ";", spaces and line breaks separate) to the extension
  // list (extensionsToAdd).
  void addExtensions(const std::string& text);
  // Refills the drive list with every fixed and removable drive, ticked, with usage bars.
  void refreshDrives();
  // Asks, then removes the selected rows of the extension or the excluded-folder list.
  void deleteListItems(QTableView* list);

  // The extension dialog that the add-extension button opens; the window creates it on first use when none
  // was given. Not owned unless created here.
  void setAddExtensionDialog(ExtensionDialog* dialog) { addExtensionDialog_ = dialog; }
  ExtensionDialog* addExtensionDialog();

  // The controls, for the main window and for tests.
  QTreeWidget* navigationTree() const { return tree_; }
  GradientPanel* generalPage() const { return pages_[0]; }
  GradientPanel* drivesPage() const { return pages_[1]; }
  GradientPanel* filtersPage() const { return pages_[2]; }
  GradientPanel* eventsPage() const { return pages_[3]; }
  QTableWidget* driveList() const { return driveList_; }
  QTableView* eventList() const { return eventList_; }
  QTableView* extensionList() const { return extensionList_; }
  QTableView* excludedFolderList() const { return folderList_; }
  EventKindModel* eventModel() const { return eventModel_; }
  ExtensionListModel* extensionModel() const { return extensionModel_; }
  ExcludedFolderModel* excludedFolderModel() const { return folderModel_; }
  QCheckBox* autoCaptureBox() const { return autoCaptureBox_; }
  QCheckBox* trayBox() const { return trayBox_; }
  QCheckBox* autoCleanBox() const { return autoCleanBox_; }
  ToolButton* addExtensionButton() const { return addExtensionButton_; }
  ToolButton* deleteExtensionButton() const { return deleteExtensionButton_; }
  ToolButton* addFolderButton() const { return addFolderButton_; }
  ToolButton* deleteFolderButton() const { return deleteFolderButton_; }
  ImageList* images() const { return images_; }
  const QTimer& missingFolderTimer() const { return timer_; }
  // The record-lock notes of the drives, filters and events pages (index 0..2): the red dot and
  // its label.
  QLabel* lockPicture(int page) const { return lockPictures_.at(static_cast<std::size_t>(page)); }
  ActiveLabel* lockLabel(int page) const { return lockLabels_.at(static_cast<std::size_t>(page)); }
  // The usage bars of the drive rows, in row order.
  const std::vector<ProgressBar*>& usageBars() const { return usageBars_; }
  // The page shown now.
  GradientPanel* shownPage() const;

 public slots:
  void onNavigationClicked();
  void onAddExtension();
  void onAddFolder();
  void onDeleteExtensions();
  void onDeleteFolders();
  void onEventDoubleClicked();
  void onExcludedFolderDoubleClicked();
  // Once a second while shown: the excluded folders that are gone turn red, the others black.
  void markMissingFolders();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void startMissingFolderTimer();
  void saveOnHide();
  void showPage(GradientPanel* page);
  void placeUsageBars();
  void applyDriveTicks(const std::vector<std::string>& skippedDrives);
  QPixmap settingsImage(int index) const;

  Platform platform_;
  SystemIcons& icons_;
  Dialogs& dialogs_;
  std::string iniFile_;
  CaptureOptions saved_;  // what the file held at the last read or save

  ImageList* images_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  GradientPanel* pages_[4] = {};
  QCheckBox* autoCaptureBox_ = nullptr;
  QCheckBox* trayBox_ = nullptr;
  QCheckBox* autoCleanBox_ = nullptr;
  QTableWidget* driveList_ = nullptr;
  QTableView* extensionList_ = nullptr;
  QTableView* folderList_ = nullptr;
  QTableView* eventList_ = nullptr;
  ExtensionListModel* extensionModel_ = nullptr;
  ExcludedFolderModel* folderModel_ = nullptr;
  EventKindModel* eventModel_ = nullptr;
  ToolButton* addExtensionButton_ = nullptr;
  ToolButton* deleteExtensionButton_ = nullptr;
  ToolButton* addFolderButton_ = nullptr;
  ToolButton* deleteFolderButton_ = nullptr;
  std::vector<QLabel*> lockPictures_;
  std::vector<ActiveLabel*> lockLabels_;
  std::vector<ProgressBar*> usageBars_;
  QTimer timer_;

  ExtensionDialog* addExtensionDialog_ = nullptr;
};

}  // namespace tw
