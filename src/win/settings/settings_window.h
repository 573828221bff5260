#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/recording/capture_options.h"
#include "core/ui/settings_layout.h"
#include "platform/platform.h"
#include "win/controls/buttons.h"
#include "win/controls/gradient_panel.h"
#include "win/controls/image_list.h"
#include "win/controls/labels.h"
#include "win/controls/progress_bar.h"
#include "win/controls/top_level_window.h"
#include "win/main/dialogs.h"

namespace tw::win {

class ExtensionDialog;

// The settings window: edits a copy of the capture options and saves it to config.ini when
// hidden. A navigation tree switches between four pages: the general options, the drives with
// their usage bars, the extensions and excluded folders, and the event checklist. options() is
// the value as last saved, which the main window hands to a recording when one starts.
//
// Created once at program start, before the main window is first shown (the constructor reads
// the options from `iniFile`); shown modally by the main window; closing only hides it, which
// saves the options and then shows what the file holds. Lives until the program ends.
//
// Thread: the user-interface thread only. Owns its controls and image lists; uses, but does not
// own, the platform and the dialogs, which outlive it.
class SettingsWindow : public TopLevelWindow {
 public:
  // The four pages, in the order of the navigation tree.
  enum class Page { General, Drives, Filters, Events };
  // The lists whose rows the delete buttons remove.
  enum class EntryList { Extensions, ExcludedFolders };

  SettingsWindow(Platform platform, Dialogs& dialogs, std::string iniFile);
  ~SettingsWindow() override;

  // The options as last read from or saved to the file (the unticked drives included). The
  // reference stays valid while the window lives; its value changes when the window is hidden.
  const CaptureOptions& options() const { return saved_; }
  // The options as the window's controls show them now, edits included.
  CaptureOptions editedOptions() const;
  // Shows `options` in the controls (the drive ticks: every listed drive but the unticked).
  void showOptions(const CaptureOptions& options);
  // Saves `options` to the file and shows them, as closing the window saves its edits (the main
  // window's exclusions). Throws IniWriteError when the file refused them; they are taken and
  // shown all the same.
  void saveOptions(CaptureOptions options);

  // Called by the About node of the tree (the main window opens its about box modally).
  std::function<void()> onAbout;
  // An error while saving the settings on close, after the window has gone. Unset: a message
  // box titled "Tarnwatch" with the error icon, owned by the main window, shows the error's text.
  std::function<void(const std::exception&)> onSaveError;

  // Locks (true, while a recording runs) or unlocks the capture choices.
  void setRecordMode(bool recording);
  bool recordMode() const { return recording_; }
  // Adds the extensions of `text` (",", ";", spaces and line breaks separate) to the extension
  // list (extensionsToAdd).
  void addExtensions(const std::string& text);
  // Refills the drive list with every fixed and removable drive, ticked, with usage bars.
  void refreshDrives();
  // Asks, then removes the selected rows of the extension or the excluded-folder list.
  void deleteListItems(EntryList list);

  // The extension dialog that the add-extension button opens (created after this window).
  void setExtensionDialog(ExtensionDialog* dialog) { extensionDialog_ = dialog; }

  // The controls, for the main window's start-up, the tests and the screenshots.
  WindowHandle navigationTree() const { return tree_; }
  GradientPanel& page(Page p) { return *pages_[static_cast<std::size_t>(p)]; }
  // The page shown now.
  Page shownPage() const;
  WindowHandle autoCaptureBox() const { return autoCapture_; }
  WindowHandle trayBox() const { return tray_; }
  WindowHandle autoCleanBox() const { return autoClean_; }
  WindowHandle driveList() const { return driveList_; }
  WindowHandle extensionList() const { return extensionList_; }
  WindowHandle excludedFolderList() const { return folderList_; }
  WindowHandle eventList() const { return eventList_; }
  ToolButton& addExtensionButton() { return *addExtension_; }
  ToolButton& deleteExtensionButton() { return *deleteExtension_; }
  ToolButton& addFolderButton() { return *addFolder_; }
  ToolButton& deleteFolderButton() { return *deleteFolder_; }
  // The record-lock notes of the drives, filters and events pages (0..2).
  Picture& lockPicture(int note) { return *lockPictures_.at(static_cast<std::size_t>(note)); }
  ActiveLabel& lockLabel(int note) { return *lockLabels_.at(static_cast<std::size_t>(note)); }
  // The usage bars of the drive rows, in row order.
  const std::vector<std::unique_ptr<ProgressBar>>& usageBars() const { return usageBars_; }
  const ImageList& images() const { return *images_; }
  // The excluded folders' looks are asked again once a second while the window is shown: the
  // number of times that happened.
  int missingFolderChecks() const { return missingFolderChecks_; }

 protected:
  void placeControls() override;
  void shown() override;
  void hidden() override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  // What a row of the extension or excluded-folder list shows besides its caption: asked of the
  // platform when a row is first shown, and kept (the folders' until the next check).
  struct EntryLook {
    bool known = false;
    std::uint64_t generation = 0;
    int icon = 0;
    std::wstring description;
  };

  void buildControls();
  void showPage(Page p);
  void onNavigationClicked();
  void onAddExtension();
  void onAddFolder();
  void onEventDoubleClicked();
  void onFolderDoubleClicked();
  void markMissingFolders();
  void saveOnHide();
  void placeUsageBars();
  void fillLastColumns();
  void applyDriveTicks(const std::vector<std::string>& skippedDrives);
  void applyKinds();
  void setEntries(EntryList list, std::vector<std::string> entries);
  const EntryLook& extensionLook(int row);
  const EntryLook& folderLook(int row);
  MessageResult onNotify(const void* header);
  int firstSelectedRow(WindowHandle list) const;

  Platform platform_;
  Dialogs& dialogs_;
  std::string iniFile_;
  CaptureOptions saved_;  // what the file held at the last read or save
  bool recording_ = false;

  std::unique_ptr<ImageList> images_;
  std::unique_ptr<ImageList> lockImage_;
  WindowHandle tree_ = nullptr;
  std::array<std::unique_ptr<GradientPanel>, 4> pages_;
  WindowHandle autoCapture_ = nullptr;
  WindowHandle tray_ = nullptr;
  WindowHandle autoClean_ = nullptr;
  WindowHandle driveList_ = nullptr;
  WindowHandle extensionList_ = nullptr;
  WindowHandle folderList_ = nullptr;
  WindowHandle eventList_ = nullptr;
  std::vector<std::unique_ptr<ActiveLabel>> headings_;
  std::unique_ptr<ToolButton> addExtension_;
  std::unique_ptr<ToolButton> deleteExtension_;
  std::unique_ptr<ToolButton> addFolder_;
  std::unique_ptr<ToolButton> deleteFolder_;
  std::vector<std::unique_ptr<Picture>> lockPictures_;
  std::vector<std::unique_ptr<ActiveLabel>> lockLabels_;
  std::vector<std::unique_ptr<ProgressBar>> usageBars_;

  std::vector<std::string> driveRoots_;  // the drive list's captions, in row order
  EventKindSet kinds_ = allEventKinds();
  EventKindSet producible_ = allEventKinds();  // the kinds the system can report
  bool fillingEvents_ = false;                 // the window itself is setting the checklist's ticks
  std::vector<std::string> extensions_;
  std::vector<EntryLook> extensionLooks_;
  std::vector<std::string> folders_;
  std::vector<EntryLook> folderLooks_;
  std::uint64_t folderGeneration_ = 1;
  int missingFolderChecks_ = 0;

  ExtensionDialog* extensionDialog_ = nullptr;
};

}  // namespace tw::win
