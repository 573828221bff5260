#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings/settings_controls.h"
#include "platform/platform.h"

class QCheckBox;
class QLabel;
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

// Images of the settings window's image list (":/img/settings/<index>.svg").
inline constexpr int kSettingsImageCount = 13;
inline constexpr int kImgGear = 0;
inline constexpr int kImgDrive = 1;
inline constexpr int kImgFilters = 2;
inline constexpr int kImgAbout = 3;
inline constexpr int kImgAdd = 4;
inline constexpr int kImgDelete = 5;
inline constexpr int kImgAddLocked = 6;
inline constexpr int kImgDeleteLocked = 7;
inline constexpr int kImgFolders = 9;
inline constexpr int kImgEvents = 10;

// The item data role under which the settings window's list rows keep the index of their image
// (a system icon index, or an index into the window's own images in the event checklist), and the one under
// which they keep their caption's bytes exactly as the core gave them (paths need not be valid UTF-8).
inline constexpr int kImageIndexRole = Qt::UserRole + 1;
inline constexpr int kCaptionBytesRole = Qt::UserRole + 2;

// Where the usage bar of a drive row goes: over the third column of the row whose full bounds
// are `row`, with `leadingColumnsWidth` the summed widths of the columns before it. Plain
// arithmetic so that it is checked without a display.
struct UsageBarPlace {
  int left, top, width, height;
  bool operator==(const UsageBarPlace&) const = default;
};
UsageBarPlace usageBarPlace(int rowLeft, int rowTop, int rowHeight, int leadingColumnsWidth,
                            int lastColumnWidth);

// The used share of a drive in whole percent, rounded toward zero; 0 for a drive whose total
// size reads 0 (a removable drive without a medium) or less.
int usedPercentage(std::int64_t total, std::int64_t free);

// The settings window. Its controls are the settings: the SettingsControls methods hand out
// adapters over the real Qt lists and check boxes, which the settings file and the monitor
// thread (inside synchronised calls) read and fill.
//
// Created once at program start, before the main window is first shown (the constructor expands
// the tree and restores the settings from `iniFile`); shown modally by the main window; closing
// only hides it, which saves the settings. Lives until the program ends.
//
// Thread: the user-interface thread only. Uses, but does not own, the platform, the system
// icons and the dialogs; they must outlive the window.
class SettingsWindow : public QDialog, public SettingsControls {
  Q_OBJECT
 public:
  SettingsWindow(Platform platform, SystemIcons& icons, Dialogs& dialogs, std::string iniFile,
                 QWidget* parent = nullptr);
  ~SettingsWindow() override;

  // SettingsControls.
  CheckList& ListDrives() override;
  EventCheckList& lstevents() override;
  FilterList& lstext() override;
  FilterList& lstpath() override;
  CheckBox& cautoclean() override;
  CheckBox& cAutoCapture() override;
  CheckBox& cTray() override;

  // Called by the About node of the tree (the main window opens its about box modally).
  std::function<void()> onAbout;
  // An error while saving the settings on close, after the window has gone. Unset: a message
  // box titled "Tarnwatch" with the error icon shows the error's text.
  std::function<void(const std::exception&)> onSaveError;

  // Locks (true, while a recording runs) or unlocks the capture choices.
  void setRecordMode(bool b);
  // Adds the extensions of `str` (",", ";", spaces and line breaks separate) to lstext.
  void addExtensions(const std::string& str);
  // Refills the drive list with every fixed and removable drive, checked, with usage bars.
  void refreshDrives();
  // Asks and removes the selected rows of lstext or lstpath.
  void deleteListItems(QTableWidget* lst);

  // The extension dialog that tbAddExt opens; the window creates it on first use when none was
  // given. Not owned unless created here.
  void setAddExtensionDialog(ExtensionDialog* dialog) { addExtensionDialog_ = dialog; }
  ExtensionDialog* addExtensionDialog();

  // The controls, by their window names, for the main window and for tests.
  QTreeWidget* navigationTree() const { return tree_; }
  GradientPanel* generalPage() const { return pages_[0]; }
  GradientPanel* drivesPage() const { return pages_[1]; }
  GradientPanel* filtersPage() const { return pages_[2]; }
  GradientPanel* eventsPage() const { return pages_[3]; }
  QTableWidget* driveList() const { return listDrives_; }
  QTableWidget* eventList() const { return lstevents_; }
  QTableWidget* extensionList() const { return lstext_; }
  QTableWidget* excludedFolderList() const { return lstpath_; }
  QCheckBox* autoCaptureBox() const { return cAutoCapture_; }
  QCheckBox* trayBox() const { return cTray_; }
  QCheckBox* autoCleanBox() const { return cautoclean_; }
  ToolButton* addExtensionButton() const { return tbAddExt_; }
  ToolButton* deleteExtensionButton() const { return tbDeleteExt_; }
  ToolButton* addFolderButton() const { return tbAddPath_; }
  ToolButton* deleteFolderButton() const { return tbDelPath_; }
  ImageList* images() const { return img16_; }
  const QTimer& missingFolderTimer() const { return timer_; }
  // The record-lock notes of p2, P3 and P4 (index 0..2): the red dot and its label.
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
  // Once a second while shown: the excluded paths whose folder is gone turn red, the others black.
  void markMissingFolders();

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  class TableCheckList;
  class TableFilterList;
  class QtCheckBox;

  void restoreAtCreation();
  void startMissingFolderTimer();
  void saveOnHide();
  void showPage(GradientPanel* page);
  void lsteventsItemChecked(int row);
  void placeUsageBars();
  void markPathRow(int row);
  QPixmap settingsImage(int index) const;

  Platform platform_;
  SystemIcons& icons_;
  Dialogs& dialogs_;
  std::string iniFile_;

  ImageList* img16_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  GradientPanel* pages_[4] = {};
  QCheckBox* cAutoCapture_ = nullptr;
  QCheckBox* cTray_ = nullptr;
  QCheckBox* cautoclean_ = nullptr;
  QTableWidget* listDrives_ = nullptr;
  QTableWidget* lstext_ = nullptr;
  QTableWidget* lstpath_ = nullptr;
  QTableWidget* lstevents_ = nullptr;
  ToolButton* tbAddExt_ = nullptr;
  ToolButton* tbDeleteExt_ = nullptr;
  ToolButton* tbAddPath_ = nullptr;
  ToolButton* tbDelPath_ = nullptr;
  std::vector<QLabel*> lockPictures_;
  std::vector<ActiveLabel*> lockLabels_;
  std::vector<ProgressBar*> usageBars_;
  QTimer timer_;
  bool updatingEvents_ = false;

  std::unique_ptr<TableCheckList> drivesAdapter_;
  std::unique_ptr<TableCheckList> eventsAdapter_;
  std::unique_ptr<TableFilterList> extAdapter_;
  std::unique_ptr<TableFilterList> pathAdapter_;
  std::unique_ptr<QtCheckBox> autocleanAdapter_, autoCaptureAdapter_, trayAdapter_;

  ExtensionDialog* addExtensionDialog_ = nullptr;
};

}  // namespace tw
