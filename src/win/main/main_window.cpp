#include "win/main/main_window.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>
#include <stdexcept>

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

// The list's column widths: "From" 120, "To" 120, "Action" 100, "Work Path" 255.
constexpr int kListColumnWidths[] = {120, 120, 100, 255};

constexpr int image(MainWindowImage i) { return static_cast<int>(i); }

Bounds boundsOf(const Rect& r) { return Bounds{r.left, r.top, r.width(), r.height()}; }

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
  buildControls();
  // At creation.
  loaded_ = false;
  setStatus(kStatusIdle);
  setText(mainWindowCaption(platform_.environment));
}

MainWindow::~MainWindow() {
  // The recording's threads end first: nothing it posts reaches a window that is going.
  controller_.reset();
  tray_.reset();
  destroy();
  if (helpMenu_ != nullptr) DestroyMenu(helpMenu_);
  for (BitmapHandle picture : menuPictures_) {
    if (picture != nullptr) DeleteObject(picture);
  }
  if (trayPicture_ != nullptr) DestroyIcon(trayPicture_);
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
  record_ = toolButton("Record", MainWindowImage::Record);
  pause_ = toolButton("Pause", MainWindowImage::Pause);
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
  treeButton_ = speedButton("Tree", MainWindowImage::TreeView);
  treeButton_->setEnabled(false);
  listButton_ = speedButton("List", MainWindowImage::ListView);
  clean_ = speedButton("", MainWindowImage::Clean);
  save_ = speedButton("", MainWindowImage::Export);
  status_ = std::make_unique<ActiveLabel>(viewBar_->handle(), 0, 0, "", fonts);

  // The views: a tree and an owner-data report list, both showing the system's small icons.
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::string systemRoot = platform_.environment.systemDriveRoot().valueOr("C:\\");
  const ImageListHandle systemIcons = systemSmallIcons(systemRoot);
  treeView_ = std::make_unique<CaptureTreeView>(handle(), views_, systemIcons);
  listView_ = std::make_unique<CaptureListView>(handle(), views_, systemIcons);

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

  placeControls();
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
  const Bounds views = boundsOf(p.views);
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
  if (controller_->state() == RecordingState::Paused) {
    controller_->resume();
  } else {
    controller_->pause();
  }
}

void MainWindow::onHelp() {
  POINT pointer{};
  GetCursorPos(&pointer);
  TrackPopupMenu(helpMenu_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pointer.x, pointer.y, 0, handle(),
                 nullptr);
}

void MainWindow::onClean() { controller_->clean(); }

void MainWindow::onExport() {
  const std::optional<std::string> chosen = dialogs_.saveFileName(handle(), "txt");
  if (!chosen || isBlank(*chosen)) return;
  if (controller_->exportReport(text(), *chosen).ok()) {
    dialogs_.message(handle(), kExportTitle, std::string(kExportDoneText) + *chosen,
                     MessageIcon::Information);
  } else {
    dialogs_.message(handle(), kExportTitle, kExportFailedText, MessageIcon::Error);
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
  record_->setCaption(running ? "Stop" : "Record");
  pause_->setShown(running);
  // While stopping, the Pause button keeps what it shows.
  if (state == RecordingState::Paused) {
    pause_->setCaption("Resume");
    pause_->setImageIndex(image(MainWindowImage::Resume));
  } else if (state == RecordingState::Recording) {
    pause_->setCaption("Pause");
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
      if (HIWORD(wParam) == 0 && lParam == 0) {
        onCommand(LOWORD(wParam));
        return 0;
      }
      break;
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
