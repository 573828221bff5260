#include "win/main/main_window.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <limits>
#include <stdexcept>

#include "core/report/change_export.h"
#include "core/report/main_caption.h"
#include "core/text/text_lines.h"
#include "core/ui/main_window_layout.h"
#include "core/ui/texts.h"
#include "win/resources/resource_ids.h"

namespace tw::win {

namespace {

// The designed places and sizes, in pixels at 96 dots per inch; processResize recomputes the
// places at the first show.
constexpr int kClientWidth = 635;
constexpr int kClientHeight = 351;
constexpr int kToolBarHeight = 31;
constexpr Bounds kRecordDesign{4, 3, 89, 24};
constexpr Bounds kPauseDesign{99, 3, 89, 24};
constexpr Bounds kSettingsDesign{557, 3, 27, 24};
constexpr Bounds kHelpDesign{588, 3, 43, 24};
constexpr Bounds kViewBarDesign{8, 37, 619, 37};
constexpr Bounds kTreeButtonDesign{4, 5, 81, 27};
constexpr Bounds kListButtonDesign{91, 5, 81, 27};
constexpr Bounds kCleanDesign{178, 5, 31, 27};
constexpr Bounds kSaveDesign{215, 5, 31, 27};
constexpr int kStatusTop = 11;
constexpr Bounds kTreeDesign{8, 80, 297, 249};
constexpr Bounds kListDesign{311, 80, 316, 249};
constexpr Bounds kProgressDesign{8, 335, 619, 9};
constexpr int kGap = 4;

// The list's column widths: "From" 120, "To" 120, "Action" 100, "Work Path" 255, and "Process"
// (when shown) 150.
constexpr int kListColumnWidths[] = {120, 120, 100, 255, 150};
constexpr std::string_view kOpenRecordingTitle = "Open Recording";

constexpr int image(MainWindowImage i) { return static_cast<int>(i); }

Bounds boundsOf(const Rect& r) { return Bounds{r.left, r.top, r.width(), r.height()}; }

// Puts a UTF-8 text on the clipboard as Unicode text; nothing when the clipboard is busy.
void putOnClipboard(HWND owner, const std::string& text) {
  const std::wstring unicode = wide(text);
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  const std::size_t bytes = (unicode.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes); memory != nullptr) {
    if (void* target = GlobalLock(memory); target != nullptr) {
      std::memcpy(target, unicode.c_str(), bytes);
      GlobalUnlock(memory);
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

}  // namespace

MainWindow::MainWindow(Platform platform, Dialogs& dialogs, DeliverySchedule schedule)
    : TopLevelWindow(L"TarnwatchMainWindow", kDesignCaption, kClientWidth, kClientHeight, false),
      platform_(platform),
      dialogs_(dialogs),
      views_(platform.environment, &platform.icons, platform.environment.pathStyle()) {
  controller_ = std::make_unique<RecordingController>(
      RecordingServices{platform.watching, platform.drives, platform.files, uiThread_, *this, &views_,
                        platform.environment.pathStyle()},
      std::move(schedule));
  exitProcess = [](int code) { std::_Exit(code); };
  quit = [] { PostQuitMessage(0); };
  chooseFromMenu = [this](MenuHandle menu, int x, int y) {
    return static_cast<int>(TrackPopupMenu(
        menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, x, y, 0, handle(), nullptr));
  };
  copyText = [this](const std::string& text) { putOnClipboard(handle(), text); };
  buildControls();
  // At creation.
  loaded_ = false;
  setStatus(kStatusIdle);
  setText(mainWindowCaption(platform_.environment));
}

MainWindow::~MainWindow() {
  // An opening under way ends first: it files into the views.
  opener_.reset();
  // The recording's threads end first: nothing it posts reaches a window that is going.
  controller_.reset();
  tray_.reset();
  destroy();
  if (helpMenu_ != nullptr) DestroyMenu(helpMenu_);
  for (BitmapHandle picture : menuPictures_) {
    if (picture != nullptr) DeleteObject(picture);
  }
  if (trayPicture_ != nullptr) DestroyIcon(trayPicture_);
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
}

void MainWindow::buildControls() {
  const Fonts* fonts = fonts_.get();
  images_ = std::make_unique<ImageList>(TARNWATCH_IMAGES_MAIN, kMainWindowImageCount, dpi_);

  toolBar_ = std::make_unique<ToolBar>(handle(), dpi_.px(kToolBarHeight), fonts);
  const auto toolButton = [&](std::string caption, MainWindowImage picture) {
    auto button = std::make_unique<ToolButton>(toolBar_->handle(), Bounds{}, fonts);
    button->setImages(images_.get());
    button->setCaption(std::move(caption));
    button->setImageIndex(image(picture));
    return button;
  };
  record_ = toolButton("&Record", MainWindowImage::Record);
  pause_ = toolButton("&Pause", MainWindowImage::Pause);
  pause_->setShown(false);
  settingsButton_ = toolButton("", MainWindowImage::Settings);
  help_ = toolButton("", MainWindowImage::Help);
  help_->setShowArrow(true);

  viewBar_ = std::make_unique<GradientPanel>(handle(), Bounds{}, fonts);
  viewBar_->setStyle(PanelStyle::Custom);
  const auto speedButton = [&](std::string caption, MainWindowImage picture) {
    auto button = std::make_unique<SpeedButton>(viewBar_->handle(), Bounds{}, fonts);
    button->setImages(images_.get());
    button->setCaption(std::move(caption));
    button->setImageIndex(image(picture));
    button->setFadeInInterval(15);
    button->setFadeOutInterval(40);
    return button;
  };
  treeButton_ = speedButton("&Tree", MainWindowImage::TreeView);
  treeButton_->setEnabled(false);
  listButton_ = speedButton("&List", MainWindowImage::ListView);
  clean_ = speedButton("", MainWindowImage::Clean);
  save_ = speedButton("", MainWindowImage::Export);
  status_ = std::make_unique<ActiveLabel>(viewBar_->handle(), 0, 0, "", fonts);

  // The views: a tree and an owner-data report list, both showing the system's small icons.
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::string systemRoot = platform_.environment.systemDriveRoot().valueOr("C:\\");
  const ImageListHandle systemIcons = systemSmallIcons(systemRoot);
  treeView_ = std::make_unique<CaptureTreeView>(handle(), views_, systemIcons);
  listView_ = std::make_unique<CaptureListView>(handle(), views_, systemIcons);
  filterBox_ = std::make_unique<FilterBox>(handle());
  // The count follows every change of the list's rows, shown or not.
  listView_->onRowsChanged = [this] { updateFilterCount(); };
  listView_->onMatchesAdded = [this](std::size_t firstMatch) {
    treeView_->showNewMatches(listView_->filter(), firstMatch);
  };

  // The notices of a recording (a drive not watched, changes lost) as the status text's tip.
  statusTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr, instance, nullptr);
  if (statusTip_ != nullptr) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = handle();
    tool.uId = reinterpret_cast<UINT_PTR>(status_->handle());
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(statusTip_, TTM_SETMAXTIPWIDTH, 0, 600);
  }

  progress_ = std::make_unique<ProgressBar>(handle(), Bounds{}, fonts);
  progress_->setColor(rgb(0x00, 0xFF, 0x00));
  progress_->setRounded(true);
  progress_->setPosition(0);
  progress_->setShown(false);

  trayPicture_ =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(TARNWATCH_ICON_TRAY), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  tray_ = std::make_unique<TrayIcon>(handle(), kTrayMessage, trayPicture_, std::string(kTrayTip));
  taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");

  buildHelpMenu();

  const auto wire = [this](ThemedControl& control, void (MainWindow::*handler)()) {
    control.onClick = [this, handler] { runCommand([this, handler] { (this->*handler)(); }); };
  };
  wire(*record_, &MainWindow::onRecord);
  wire(*pause_, &MainWindow::onPause);
  settingsButton_->onClick = [this] {
    runCommand([this] {
      if (settings_ != nullptr) settings_->showSettings();
    });
  };
  wire(*help_, &MainWindow::onHelp);
  wire(*treeButton_, &MainWindow::showTree);
  wire(*listButton_, &MainWindow::showList);
  wire(*clean_, &MainWindow::onClean);
  wire(*save_, &MainWindow::onExport);

  buildKeyboard();
  placeControls();
}

void MainWindow::buildKeyboard() {
  // The view bar's buttons are Tab stops too (the toolbar's are already).
  for (SpeedButton* button : {treeButton_.get(), listButton_.get(), clean_.get(), save_.get()})
    button->setTakesFocus(true);
  // Tab goes along the toolbar, the view bar, the filter box (when shown), then the view shown:
  // the order of the windows, the filter box put after the view bar.
  SetWindowPos(filterBox_->edit(), viewBar_->handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  ACCEL keys[] = {
      {FVIRTKEY | FCONTROL, 'F', kFilterCommand},
      {FVIRTKEY, VK_F5, kRecordCommand},
      {FVIRTKEY, VK_PAUSE, kPauseCommand},
      {FVIRTKEY | FCONTROL, 'E', kExportCommand},
      {FVIRTKEY | FCONTROL | FSHIFT, VK_DELETE, kCleanCommand},
      {FVIRTKEY | FCONTROL, 'O', kOpenRecordingCommand},
      {FVIRTKEY, VK_F1, kHelpCommand},
  };
  accelerators_ = CreateAcceleratorTableW(keys, static_cast<int>(std::size(keys)));

  // The buttons without a caption say what they do, and their key.
  if (statusTip_ == nullptr) return;
  const struct {
    HWND button;
    const wchar_t* tip;
  } tips[] = {{settingsButton_->handle(), L"Settings"},
              {help_->handle(), L"Help (F1)"},
              {clean_->handle(), L"Clean the tree and the list (Ctrl+Shift+Del)"},
              {save_->handle(), L"Export (Ctrl+E)"}};
  for (const auto& tip : tips) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(tip.button);
    tool.uId = reinterpret_cast<UINT_PTR>(tip.button);
    tool.lpszText = const_cast<wchar_t*>(tip.tip);
    SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainWindow::buildHelpMenu() {
  helpMenu_ = CreatePopupMenu();
  const auto item = [this](int position, int command, const wchar_t* text, MainWindowImage picture) {
    menuPictures_[position] = images_->copyBitmap(image(picture));
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
    info.wID = static_cast<UINT>(command);
    info.dwTypeData = const_cast<wchar_t*>(text);
    info.hbmpItem = menuPictures_[position];
    InsertMenuItemW(helpMenu_, static_cast<UINT>(GetMenuItemCount(helpMenu_)), TRUE, &info);
  };
  item(0, kLikeUsCommand, L"Like us !", MainWindowImage::LikeUs);
  item(1, kAboutCommand, L"About", MainWindowImage::About);
  AppendMenuW(helpMenu_, MF_SEPARATOR, 0, nullptr);
  // Beyond the designed menu: opening a recording, above Exit Program.
  AppendMenuW(helpMenu_, MF_STRING, kOpenRecordingCommand, L"&Open Recording...\tCtrl+O");
  item(2, kExitCommand, L"Exit Program", MainWindowImage::Exit);
}

void MainWindow::placeControls() {
  // Sizes as designed, scaled to the density; processResize then places what it places.
  toolBar_->setBounds(Bounds{0, 0, clientSize().width, dpi_.px(kToolBarHeight)});
  record_->setBounds(dpi_.px(kRecordDesign));
  pause_->setBounds(dpi_.px(kPauseDesign));
  settingsButton_->setBounds(dpi_.px(kSettingsDesign));
  help_->setBounds(dpi_.px(kHelpDesign));
  viewBar_->setBounds(dpi_.px(kViewBarDesign));
  treeButton_->setBounds(dpi_.px(kTreeButtonDesign));
  listButton_->setBounds(dpi_.px(kListButtonDesign));
  clean_->setBounds(dpi_.px(kCleanDesign));
  save_->setBounds(dpi_.px(kSaveDesign));
  status_->adjustSize();
  status_->move(status_->bounds().left, dpi_.px(kStatusTop));
  const Bounds tree = dpi_.px(kTreeDesign), list = dpi_.px(kListDesign);
  MoveWindow(treeView_->handle(), tree.left, tree.top, tree.width, tree.height, TRUE);
  MoveWindow(listView_->handle(), list.left, list.top, list.width, list.height, TRUE);
  for (HWND view : {treeView_->handle(), listView_->handle()})
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->window()), TRUE);
  filterBox_->setFont(fonts_->window());
  std::vector<int> widths;
  for (const int width : kListColumnWidths) widths.push_back(dpi_.px(width));
  listView_->setColumnWidths(widths);
  progress_->setBounds(dpi_.px(kProgressDesign));
  images_->reload(dpi_);
  processResize();
}

void MainWindow::processResize() {
  const Size client = clientSize();
  toolBar_->dock();
  MainWindowSizes sizes;
  sizes.clientWidth = client.width;
  sizes.clientHeight = client.height;
  sizes.toolBarHeight = toolBar_->bounds().height;
  sizes.viewBarHeight = viewBar_->bounds().height;
  sizes.progressBarHeight = progress_->bounds().height;
  sizes.progressBarShown = progress_->isShown();
  sizes.statusWidth = status_->bounds().width;
  sizes.recordWidth = record_->bounds().width;
  sizes.settingsWidth = settingsButton_->bounds().width;
  sizes.helpWidth = help_->bounds().width;
  sizes.treeButtonWidth = treeButton_->bounds().width;
  sizes.listButtonWidth = listButton_->bounds().width;
  sizes.cleanButtonWidth = clean_->bounds().width;
  sizes.gap = dpi_.px(kGap);
  const MainWindowPlaces p = layoutMainWindow(sizes);
  viewBar_->setBounds(boundsOf(p.viewBar));
  Bounds views = boundsOf(p.views);
  if (filterBox_ != nullptr && filterBox_->isShown()) {
    // The filter box takes the top of the views' place.
    const int height = std::min(filterBox_->height(), views.height);
    filterBox_->place(Bounds{views.left, views.top, views.width, height}, sizes.gap);
    const int taken = std::min(views.height, height + sizes.gap);
    views.top += taken;
    views.height -= taken;
  }
  MoveWindow(treeView_->handle(), views.left, views.top, views.width, views.height, TRUE);
  progress_->setBounds(boundsOf(p.progressBar));
  status_->move(p.statusLeft, status_->bounds().top);
  treeButton_->move(p.treeButtonLeft, treeButton_->bounds().top);
  listButton_->move(p.listButtonLeft, listButton_->bounds().top);
  clean_->move(p.cleanButtonLeft, clean_->bounds().top);
  save_->move(p.saveButtonLeft, save_->bounds().top);
  record_->move(p.recordLeft, record_->bounds().top);
  pause_->move(p.pauseLeft, pause_->bounds().top);
  help_->move(p.helpLeft, help_->bounds().top);
  settingsButton_->move(p.settingsLeft, settingsButton_->bounds().top);
  MoveWindow(listView_->handle(), views.left, views.top, views.width, views.height, TRUE);
}

void MainWindow::setStatus(std::string_view text) {
  status_->setText(text);
  status_->adjustSize();
  status_->move(statusLeft(viewBar_->bounds().width, status_->bounds().width, dpi_.px(kGap)),
                dpi_.px(kStatusTop));
}

void MainWindow::setProgressShown(bool shown) {
  progress_->setShown(shown);
  if (!shown) progress_->setPosition(0);
  processResize();
}

void MainWindow::showTree() {
  treeButton_->setEnabled(false);
  listButton_->setEnabled(true);
  ShowWindow(treeView_->handle(), SW_SHOWNA);
  ShowWindow(listView_->handle(), SW_HIDE);
}

void MainWindow::showList() {
  listButton_->setEnabled(false);
  treeButton_->setEnabled(true);
  ShowWindow(treeView_->handle(), SW_HIDE);
  ShowWindow(listView_->handle(), SW_SHOWNA);
}

void MainWindow::openFilter() {
  const bool wasShown = filterBox_->isShown();
  filterBox_->open();
  if (!wasShown) processResize();
  updateFilterCount();
}

void MainWindow::closeFilter() {
  filterBox_->close();
  processResize();
  SetFocus(IsWindowVisible(listView_->handle()) ? listView_->handle() : treeView_->handle());
}

void MainWindow::filterChanged() {
  listView_->setFilterText(filterBox_->text());
  treeView_->followFilter(listView_->filter());
}

void MainWindow::updateFilterCount() {
  const ListFilter& filter = listView_->filter();
  filterBox_->showCount(static_cast<std::uint64_t>(filter.shownCount()),
                        static_cast<std::uint64_t>(filter.totalCount()));
}

void MainWindow::startCapture() {
  if (settings_ == nullptr) throw std::runtime_error("The settings window is not ready.");
  notices_.clear();
  watchedRoots_.clear();
  setStatusTip();
  // The recording works with a snapshot: later edits in the settings window do not reach it.
  controller_->record(settings_->captureOptions());
}

void MainWindow::closeProgram() {
  if (dialogs_.askTask(handle(), text(), kCloseInstruction, kCloseContent)) exitProcess(0);
}

// --- Commands -------------------------------------------------------------------------------

void MainWindow::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    showError(e.what());
  }
}

void MainWindow::showError(const std::string& message) {
  dialogs_.message(handle(), kErrorTitle, message, MessageIcon::Error);
}

void MainWindow::onRecord() {
  if (controller_->state() == RecordingState::Idle) {
    startCapture();
  } else {
    controller_->stop();
  }
}

void MainWindow::onPause() {
  // The Pause key has nothing to pause while idle (the Pause button is hidden then).
  if (controller_->state() == RecordingState::Idle) return;
  if (controller_->state() == RecordingState::Paused) {
    controller_->resume();
  } else {
    controller_->pause();
  }
}

void MainWindow::onHelp() {
  POINT pointer{};
  GetCursorPos(&pointer);
  RECT button{};
  GetWindowRect(help_->handle(), &button);
  // From the keyboard (the pointer elsewhere) the menu opens below the button.
  if (PtInRect(&button, pointer) == FALSE) pointer = POINT{button.left, button.bottom};
  TrackPopupMenu(helpMenu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pointer.x, pointer.y, 0, handle(),
                 nullptr);
}

void MainWindow::onClean() {
  controller_->clean();
  updateFilterCount();
}

void MainWindow::onExport() {
  const ListFilter& filter = listView_->filter();
  const std::optional<ExportTarget> target = dialogs_.saveExportFile(handle(), filter.active());
  if (!target || isBlank(target->fileName)) return;
  // The report and an unfiltered export hold every change; only the shown rows when chosen.
  const bool shownOnly = target->shownRowsOnly && filter.active();
  const Status written = target->format == ExportFormat::Report
                             ? controller_->exportReport(text(), target->fileName)
                             : writeListRows(platform_.files, target->fileName, views_.list(), target->format,
                                             shownOnly ? &filter.rows() : nullptr);
  if (written.ok()) {
    dialogs_.message(handle(), kExportTitle, std::string(kExportDoneText) + target->fileName,
                     MessageIcon::Information);
  } else {
    dialogs_.message(handle(), kExportTitle, kExportFailedText, MessageIcon::Error);
  }
}

void MainWindow::onOpenRecording() {
  if (opener_ != nullptr) return;
  const std::optional<std::string> chosen = dialogs_.openRecordingFile(handle());
  if (chosen && !isBlank(*chosen)) openRecording(*chosen);
}

void MainWindow::openRecording(const std::string& file) {
  if (opener_ != nullptr) return;
  if (controller_->state() != RecordingState::Idle) {
    dialogs_.message(handle(), kOpenRecordingTitle, "Stop the recording before opening one.",
                     MessageIcon::Error);
    return;
  }
  if ((views_.list().rowCount() > 0 || views_.tree().nodeCount() > 0) &&
      !dialogs_.askYesNo(handle(), kOpenRecordingTitle,
                         "The views hold changes. Replace them with the recording " + file + "?")) {
    return;
  }
  // Opened first: a file that cannot be read leaves the views as they are.
  auto starting = std::make_unique<RecordingOpener>(views_, file, handle());
  controller_->clean();
  opener_ = std::move(starting);
  record_->setEnabled(false);
  EnableMenuItem(helpMenu_, kOpenRecordingCommand, MF_BYCOMMAND | MF_GRAYED);
  // Told from the opener's own message: it is destroyed once that has returned.
  opener_->onFinished = [this] { PostMessageW(handle(), kRecordingOpenedMessage, 0, 0); };
  opener_->start();
}

void MainWindow::recordingOpened() {
  if (opener_ == nullptr || !opener_->isFinished()) return;
  const std::unique_ptr<RecordingOpener> finished = std::move(opener_);
  record_->setEnabled(true);
  EnableMenuItem(helpMenu_, kOpenRecordingCommand, MF_BYCOMMAND | MF_ENABLED);
  updateFilterCount();
  const RecordingLoader& loader = finished->loader();
  dialogs_.message(handle(), kOpenRecordingTitle, loader.summary(),
                   loader.error().empty() ? MessageIcon::Information : MessageIcon::Error);
}

// --- The context menu ------------------------------------------------------------------------

void MainWindow::showListMenu(int listRow, int screenX, int screenY) {
  if (listRow < 0 || listRow >= views_.list().rowCount()) return;
  showRowMenu(pathTargetOf(views_.list(), listRow, platform_.environment.pathStyle()), screenX, screenY);
}

void MainWindow::showTreeMenu(NodeId node, int screenX, int screenY) {
  const std::optional<PathTarget> target = pathTargetOf(views_.tree(), node);
  if (target) showRowMenu(*target, screenX, screenY);
}

void MainWindow::onContextMenu(WindowHandle view, int screenX, int screenY, bool fromKeyboard) {
  POINT at{screenX, screenY};
  if (view == listView_->handle()) {
    int row = -1;
    if (fromKeyboard) {
      row = listView_->focusedListRow();
      const int shown = ListView_GetNextItem(view, -1, LVNI_FOCUSED);
      RECT item{};
      if (shown >= 0 && ListView_GetItemRect(view, shown, &item, LVIR_LABEL)) {
        at = POINT{item.left, item.bottom};
        ClientToScreen(view, &at);
      }
    } else {
      LVHITTESTINFO hit{};
      hit.pt = at;
      ScreenToClient(view, &hit.pt);
      const int shown = ListView_HitTest(view, &hit);
      if (shown >= 0 && shown < listView_->filter().shownCount()) row = listView_->listRow(shown);
    }
    if (fromKeyboard && row < 0) return;
    showListMenu(row, at.x, at.y);
    return;
  }
  // The tree is a list view too (CaptureTreeView), one row per node shown.
  int row = -1;
  if (fromKeyboard) {
    row = treeView_->selectedRow();
    RECT box{};
    if (row >= 0 && ListView_GetItemRect(view, row, &box, LVIR_LABEL)) {
      at = POINT{box.left, box.bottom};
      ClientToScreen(view, &at);
    }
  } else {
    LVHITTESTINFO hit{};
    hit.pt = at;
    ScreenToClient(view, &hit.pt);
    row = ListView_HitTest(view, &hit);
  }
  const NodeId node = treeView_->nodeAtRow(row);
  if (node != kNoNode) showTreeMenu(node, at.x, at.y);
}

void MainWindow::showRowMenu(const PathTarget& target, int screenX, int screenY) {
  menuTarget_ = target;
  MenuHandle menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const auto add = [&](int command, std::string_view caption, std::string_view reason) {
    // A command that cannot run is greyed, its reason after a tab (menus have no tool tips).
    std::string text(caption);
    if (!reason.empty()) text += "\t" + std::string(reason);
    AppendMenuW(menu, MF_STRING | (reason.empty() ? 0U : MF_GRAYED), static_cast<UINT_PTR>(command),
                wide(text).c_str());
  };
  add(kOpenFolderCommand, target.folder ? kMenuOpenFolder : kMenuOpenContainingFolder,
      isBlank(target.openedFolder) ? "No folder." : "");
  add(kCopyPathCommand, kMenuCopyPath, target.path.empty() ? "No path." : "");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  const CaptureOptions none;
  const CaptureOptions& options = settings_ != nullptr ? settings_->captureOptions() : none;
  const auto locked = [this](std::string_view reason) {
    return recordMode_ ? kSettingsLockedReason : reason;
  };
  add(kExcludeFolderCommand, kMenuExcludeFolder,
      locked(folderExclusionReason(folderExclusion(options, target))));
  add(kExcludeExtensionCommand, kMenuExcludeExtension,
      locked(extensionExclusionReason(extensionExclusion(options, target))));
  const int chosen = chooseFromMenu(menu, screenX, screenY);
  DestroyMenu(menu);
  if (chosen != 0) runRowCommand(chosen);
}

void MainWindow::runRowCommand(int command) {
  if (!menuTarget_) return;
  const PathTarget& target = *menuTarget_;
  switch (command) {
    case kOpenFolderCommand:
      if (!isBlank(target.openedFolder)) platform_.shell.open(target.openedFolder);
      break;
    case kCopyPathCommand:
      if (!target.path.empty() && copyText) copyText(target.path);
      break;
    case kExcludeFolderCommand:
    case kExcludeExtensionCommand: {
      // The menu may have stayed open while a recording started: the lock is checked again.
      if (settings_ == nullptr || recordMode_) break;
      CaptureOptions options = settings_->captureOptions();
      const bool changed = command == kExcludeFolderCommand
                               ? excludeFolder(options, target, platform_.environment.pathStyle())
                               : excludeExtension(options, target);
      if (changed) settings_->saveOptions(options);
      break;
    }
    default:
      break;
  }
}

void MainWindow::onCommand(int command) {
  runCommand([&] {
    switch (command) {
      case kLikeUsCommand:
        platform_.shell.open(kMakerFacebookPage);
        break;
      case kAboutCommand:
        if (showAbout_) showAbout_();
        break;
      case kExitCommand:
        closeProgram();
        break;
      case kOpenRecordingCommand:
        onOpenRecording();
        break;
      case kFilterCommand:
        openFilter();
        break;
      case kRecordCommand:
        if (record_->isEnabled()) onRecord();
        break;
      case kPauseCommand:
        onPause();
        break;
      case kExportCommand:
        onExport();
        break;
      case kCleanCommand:
        onClean();
        break;
      case kHelpCommand:
        onHelp();
        break;
      case kOpenFolderCommand:
      case kCopyPathCommand:
      case kExcludeFolderCommand:
      case kExcludeExtensionCommand:
        runRowCommand(command);
        break;
      default:
        break;
    }
  });
}

void MainWindow::onClose() {
  const bool toTray = settings_ != nullptr && settings_->captureOptions().minimizeToTray;
  if (!toTray) {
    DestroyWindow(handle());
    return;
  }
  if (tray_->show()) {
    tray_->showBalloon(std::string(kTrayBalloonTitle), std::string(kTrayBalloonText));
    ShowWindow(handle(), SW_HIDE);
  } else {
    // Without a notification area a hidden window could never come back: minimise instead.
    ShowWindow(handle(), SW_MINIMIZE);
  }
}

void MainWindow::restoreFromTray() {
  ShowWindow(handle(), SW_SHOW);
  if (IsIconic(handle())) ShowWindow(handle(), SW_RESTORE);
  SetForegroundWindow(handle());
}

// --- The recording -------------------------------------------------------------------------

void MainWindow::stateChanged(RecordingState state) {
  const bool running = state != RecordingState::Idle;
  const bool capturing = state == RecordingState::Recording || state == RecordingState::Paused;
  record_->setImageIndex(image(running ? MainWindowImage::Stop : MainWindowImage::Record));
  record_->setCaption(running ? "&Stop" : "&Record");
  pause_->setShown(running);
  // While stopping, the Pause button keeps what it shows.
  if (state == RecordingState::Paused) {
    pause_->setCaption("&Resume");
    pause_->setImageIndex(image(MainWindowImage::Resume));
  } else if (state == RecordingState::Recording) {
    pause_->setCaption("&Pause");
    pause_->setImageIndex(image(MainWindowImage::Pause));
  }
  setStatus(capturing ? kStatusLiveCapture : kStatusIdle);
  if (settings_ != nullptr && capturing != recordMode_) settings_->setRecordMode(capturing);
  recordMode_ = capturing;
}

void MainWindow::watchStarted(const std::vector<std::string>& roots) { watchedRoots_ = roots; }

void MainWindow::noticeReceived(const WatchNotice& notice) {
  notices_.push_back(notice.root.empty() ? notice.message : notice.root + ": " + notice.message);
  setStatusTip();
}

void MainWindow::setStatusTip() {
  if (statusTip_ == nullptr) return;
  std::string joined;
  for (const std::string& notice : notices_) joined += (joined.empty() ? "" : "\r\n") + notice;
  std::wstring text = wide(joined);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = handle();
  tool.uId = reinterpret_cast<UINT_PTR>(status_->handle());
  tool.lpszText = text.data();
  SendMessageW(statusTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::batchStarted(std::size_t size) {
  progress_->setMax(static_cast<int>(std::min<std::size_t>(size, std::numeric_limits<int>::max())));
  setProgressShown(true);
}

void MainWindow::batchProgress(std::size_t position) {
  // The bar repaints at once when its position changes; the position of the last change of a
  // step is the one that shows.
  progress_->setPosition(static_cast<int>(std::min<std::size_t>(position, std::numeric_limits<int>::max())));
}

void MainWindow::batchFinished() { setProgressShown(false); }

void MainWindow::recordingFailed(const std::string& message) { showError(message); }

// --- Window events --------------------------------------------------------------------------

void MainWindow::shown() {
  runCommand([this] {
    if (tray_->isShown() && settings_ != nullptr && settings_->captureOptions().minimizeToTray) tray_->hide();
    processResize();
    if (!loaded_ && settings_ != nullptr && settings_->captureOptions().autoCapture) startCapture();
    loaded_ = true;
  });
}

bool MainWindow::preTranslate(QueuedMessage& message) {
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && filterBox_ != nullptr &&
      message.hwnd == filterBox_->edit()) {
    runCommand([this] { closeFilter(); });
    return true;
  }
  return accelerators_ != nullptr && TranslateAcceleratorW(handle(), accelerators_, &message) != 0;
}

MessageResult MainWindow::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
    tray_->restore();
    return 0;
  }
  switch (message) {
    case WM_SIZE:
      if (viewBar_ != nullptr && wParam != SIZE_MINIMIZED) processResize();
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_DESTROY:
      tray_->hide();
      if (quit) quit();
      return 0;
    case WM_NOTIFY: {
      const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
      if (auto handled = treeView_->notified(header)) return *handled;
      if (auto handled = listView_->notified(header)) return *handled;
      break;
    }
    case WM_COMMAND:
      // A menu's command (0) or a key's (1, the accelerators).
      if ((HIWORD(wParam) == 0 || HIWORD(wParam) == 1) && lParam == 0) {
        onCommand(LOWORD(wParam));
        return 0;
      }
      if (filterBox_ != nullptr && reinterpret_cast<HWND>(lParam) == filterBox_->edit() &&
          HIWORD(wParam) == EN_CHANGE) {
        runCommand([this] { filterChanged(); });
        return 0;
      }
      break;
    case WM_CONTEXTMENU: {
      const auto view = reinterpret_cast<HWND>(wParam);
      if (view != treeView_->handle() && view != listView_->handle()) break;
      runCommand([&] { onContextMenu(view, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), lParam == -1); });
      return 0;
    }
    case kRecordingOpenedMessage:
      runCommand([this] { recordingOpened(); });
      return 0;
    case kTrayMessage:
      switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case NIN_BALLOONUSERCLICK:
          runCommand([this] { restoreFromTray(); });
          break;
        default:
          break;
      }
      return 0;
    default:
      break;
  }
  return TopLevelWindow::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
