#include "gui/main/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>

#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "core/text/text_lines.h"
#include "core/ui/main_window_layout.h"
#include "core/ui/texts.h"
#include "gui/controls/svg_images.h"

namespace tw {

namespace {

const QColor kButtonTextColor(0x1E, 0x39, 0x5B);  // 0x5B391E

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ToolButton* toolButton(QWidget* parent, ImageList* images, const QString& caption, MainImage image, int left,
                       int width) {
  auto* b = new ToolButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(static_cast<int>(image));
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 3, width, 24);
  b->setClickOnKey(true);
  return b;
}

SpeedButton* speedButton(QWidget* parent, ImageList* images, const QString& caption, MainImage image,
                         int left, int width) {
  auto* b = new SpeedButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(static_cast<int>(image));
  b->setFlat(true);
  b->setLight(false);
  b->setFadeInInterval(15);
  b->setFadeOutInterval(40);
  b->setIconSize(IconSize::Px16);
  b->setArrowType(ArrowDirection::Down);
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 5, width, 27);
  b->setTakesFocus(true);
  return b;
}

}  // namespace

MainWindow::MainWindow(Platform platform, Dialogs& dialogs, DeliverySchedule schedule, QWidget* parent)
    : QWidget(parent),
      platform(platform),
      dialogs(dialogs),
      views(platform.environment, &platform.icons, platform.environment.pathStyle()),
      systemIcons(platform.icons),
      controller(RecordingServices{platform.watching, platform.drives, platform.files, uiThread, *this,
                                   &views, platform.environment.pathStyle()},
                 std::move(schedule)) {
  exitProcess = [](int code) { std::_Exit(code); };
  buildControls();

  // At creation.
  loaded = false;
  setStatus(fromUtf8(kStatusIdle));
  setWindowTitle(fromUtf8(mainWindowCaption(platform.environment)));

  positionTimer.setSingleShot(true);
  positionTimer.setInterval(0);
  connect(&positionTimer, &QTimer::timeout, this, [this] { progressBar->setPosition(pendingPosition); });
}

MainWindow::~MainWindow() {
  // The views go before the models they show, the models before the core tree and list.
  delete treeView;
  delete listView;
  treeView = nullptr;
  listView = nullptr;
  treeModel_.reset();
  listModel_.reset();
}

void MainWindow::buildControls() {
  setWindowTitle(QString::fromUtf8(kDesignCaption.data(), static_cast<qsizetype>(kDesignCaption.size())));
  setFont(windowFont());
  resize(635, 351);
  setAttribute(Qt::WA_QuitOnClose, true);

  images = new ImageList(this);
  fillImageList(*images, QStringLiteral(":/img/main"), 15);
  setWindowIcon(QIcon(svgPixmap(QStringLiteral(":/img/program.svg"), 64)));

  toolBar = new ToolBar(this);
  toolBar->setGeometry(0, 0, 635, 31);
  new EdgeDock(toolBar, EdgeDock::Edge::Top);
  recordButton = toolButton(toolBar, images, QStringLiteral("&Record"), MainImage::Record, 4, 89);
  pauseButton = toolButton(toolBar, images, QStringLiteral("&Pause"), MainImage::Pause, 99, 89);
  pauseButton->hide();
  settingsButton = toolButton(toolBar, images, QString(), MainImage::Settings, 557, 27);
  helpButton = toolButton(toolBar, images, QString(), MainImage::Help, 588, 43);
  helpButton->setShowArrow(true);

  viewBar = new GradientPanel(this);
  viewBar->setGeometry(8, 37, 619, 37);
  treeButton = speedButton(viewBar, images, QStringLiteral("&Tree"), MainImage::TreeView, 4, 81);
  treeButton->setEnabled(false);
  listButton = speedButton(viewBar, images, QStringLiteral("&List"), MainImage::ListView, 91, 81);
  cleanButton = speedButton(viewBar, images, QString(), MainImage::Clean, 178, 31);
  saveButton = speedButton(viewBar, images, QString(), MainImage::Export, 215, 31);
  statusLabel = new ActiveLabel(viewBar);
  statusLabel->move(statusLabel->x(), 11);

  treeModel_ = std::make_unique<CaptureTreeModel>(views, systemIcons);
  listModel_ = std::make_unique<CaptureListModel>(views, systemIcons);
  treeView = new CaptureTreeView(this);
  treeView->setModel(treeModel_.get());
  treeView->setGeometry(8, 80, 297, 249);
  listView = new CaptureListView(this);
  listView->setModel(listModel_.get());
  listView->setGeometry(311, 80, 316, 249);
  listView->hide();
  filterBar = new FilterBar(this);

  progressBar = new ProgressBar(this);
  progressBar->setGeometry(8, 335, 619, 9);
  progressBar->setOrientation(ProgressBarOrientation::Horizontal);
  progressBar->setRounded(true);
  progressBar->setColor(rgb(0x00, 0xFF, 0x00));
  progressBar->setMarquee(false);
  progressBar->setMarqueeSize(40);
  progressBar->setMarqueeFade(30);
  progressBar->setMarqueeSpeed(25);
  progressBar->setShowPosText(false);
  progressBar->setPercentage(false);
  progressBar->setPosition(0);
  progressBar->hide();

  trayIcon = new QSystemTrayIcon(this);
  trayIcon->setIcon(QIcon(svgPixmap(QStringLiteral(":/img/tray.svg"), 16)));
  trayIcon->setToolTip(fromUtf8(kTrayTip));

  helpMenu = new QMenu(this);
  likeUsAction = helpMenu->addAction(QIcon(images->image(static_cast<int>(MainImage::LikeUs))),
                                     QStringLiteral("Like us !"));
  aboutAction =
      helpMenu->addAction(QIcon(images->image(static_cast<int>(MainImage::About))), QStringLiteral("About"));
  helpMenu->addSeparator();
  exitAction = helpMenu->addAction(QIcon(images->image(static_cast<int>(MainImage::Exit))),
                                   QStringLiteral("Exit Program"));
  // Beyond the designed menu: opening a recording, above Exit Program.
  openAction = new QAction(QStringLiteral("Open Recording..."), this);
  openAction->setShortcut(QKeySequence::Open);
  openAction->setShortcutContext(Qt::WindowShortcut);
  helpMenu->insertAction(exitAction, openAction);
  addAction(openAction);
  findAction = new QAction(QStringLiteral("Filter"), this);
  findAction->setShortcut(QKeySequence::Find);
  findAction->setShortcutContext(Qt::WindowShortcut);
  addAction(findAction);

  const auto wire = [this](auto* sender, auto signal, void (MainWindow::*handler)()) {
    connect(sender, signal, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
  };
  wire(recordButton, &ToolButton::clicked, &MainWindow::onRecord);
  wire(pauseButton, &ToolButton::clicked, &MainWindow::onPause);
  wire(settingsButton, &ToolButton::clicked, &MainWindow::onSettings);
  wire(helpButton, &ToolButton::clicked, &MainWindow::onHelp);
  wire(treeButton, &SpeedButton::clicked, &MainWindow::onShowTree);
  wire(listButton, &SpeedButton::clicked, &MainWindow::onShowList);
  wire(cleanButton, &SpeedButton::clicked, &MainWindow::onClean);
  wire(saveButton, &SpeedButton::clicked, &MainWindow::onExport);
  wire(likeUsAction, &QAction::triggered, &MainWindow::onLikeUs);
  wire(aboutAction, &QAction::triggered, &MainWindow::onAbout);
  wire(exitAction, &QAction::triggered, &MainWindow::onExitProgram);
  wire(openAction, &QAction::triggered, &MainWindow::onOpenRecording);
  wire(findAction, &QAction::triggered, &MainWindow::onFind);
  connect(filterBar, &FilterBar::textChanged, this, [this](const QString& text) { setFilterText(text); });
  connect(filterBar, &FilterBar::closed, this, [this] {
    processResize();
    (treeView->isVisible() ? static_cast<QWidget*>(treeView) : listView)->setFocus();
  });
  // The count follows every change of the list's rows, shown or not.
  const auto count = [this] { updateFilterCount(); };
  connect(listModel_.get(), &QAbstractItemModel::rowsInserted, this, count);
  connect(listModel_.get(), &QAbstractItemModel::modelReset, this, count);
  // The tree shows the nodes of the rows the filter shows, also of rows that arrive.
  connect(listModel_.get(), &CaptureListModel::matchesAdded, this,
          [this](qsizetype firstMatch) { treeModel_->showMatchesFrom(listModel_->filter(), firstMatch); });
  connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
      runCommand([this] { onTrayActivated(); });
    }
  });
  connect(trayIcon, &QSystemTrayIcon::messageClicked, this,
          [this] { runCommand([this] { onTrayActivated(); }); });

  rowMenu = new QMenu(this);
  rowMenu->setToolTipsVisible(true);
  openFolderAction = rowMenu->addAction(fromUtf8(kMenuOpenContainingFolder));
  copyPathAction = rowMenu->addAction(fromUtf8(kMenuCopyPath));
  rowMenu->addSeparator();
  excludeFolderAction = rowMenu->addAction(fromUtf8(kMenuExcludeFolder));
  excludeExtensionAction = rowMenu->addAction(fromUtf8(kMenuExcludeExtension));
  wire(openFolderAction, &QAction::triggered, &MainWindow::onOpenFolder);
  wire(copyPathAction, &QAction::triggered, &MainWindow::onCopyPath);
  wire(excludeFolderAction, &QAction::triggered, &MainWindow::onExcludeFolder);
  wire(excludeExtensionAction, &QAction::triggered, &MainWindow::onExcludeExtension);
  connect(treeView, &CaptureTreeView::rowMenuRequested, this, &MainWindow::showRowMenu);
  connect(listView, &CaptureListView::rowMenuRequested, this, &MainWindow::showRowMenu);

  buildKeyboard();
}

void MainWindow::buildKeyboard() {
  // The buttons without a caption say what they do, and their key.
  settingsButton->setToolTip(QStringLiteral("Settings"));
  helpButton->setToolTip(QStringLiteral("Help (F1)"));
  cleanButton->setToolTip(QStringLiteral("Clean the tree and the list (Ctrl+Shift+Del)"));
  saveButton->setToolTip(QStringLiteral("Export (Ctrl+E)"));
  for (QWidget* w : std::initializer_list<QWidget*>{settingsButton, helpButton, cleanButton, saveButton})
    w->setAccessibleName(w->toolTip());

  // Tab goes along the toolbar, then the view bar, then the view shown.
  const QWidget* order[] = {recordButton, pauseButton, settingsButton, helpButton, treeButton,
                            listButton,   cleanButton, saveButton,     treeView,   listView};
  for (std::size_t i = 1; i < std::size(order); ++i)
    setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));

  const auto key = [this](const QKeySequence& sequence, void (MainWindow::*handler)()) {
    auto* action = new QAction(this);
    action->setShortcut(sequence);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    connect(action, &QAction::triggered, this,
            [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    return action;
  };
  recordKey = key(QKeySequence(Qt::Key_F5), &MainWindow::onRecord);
  // Pause has nothing to pause while idle: the Pause button is hidden then.
  pauseKey = key(QKeySequence(Qt::Key_Pause), &MainWindow::onPause);
  pauseKey->setEnabled(false);
  exportKey = key(QKeySequence(Qt::CTRL | Qt::Key_E), &MainWindow::onExport);
  cleanKey = key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete), &MainWindow::onClean);
  helpKey = key(QKeySequence(Qt::Key_F1), &MainWindow::onHelp);
}

std::optional<PathTarget> MainWindow::targetOf(const QModelIndex& index) const {
  if (!index.isValid()) return std::nullopt;
  if (index.model() == treeModel_.get()) return pathTargetOf(views.tree(), CaptureTreeModel::nodeOf(index));
  if (index.model() == listModel_.get() && index.row() < views.list().rowCount())
    return pathTargetOf(views.list(), index.row(), platform.environment.pathStyle());
  return std::nullopt;
}

void MainWindow::showRowMenu(const QModelIndex& index, const QPoint& globalPos) {
  runCommand([&] {
    const std::optional<PathTarget> target = targetOf(index);
    if (!target) return;
    prepareRowMenu(*target);
    rowMenu->popup(globalPos);
  });
}

void MainWindow::prepareRowMenu(const PathTarget& target) {
  menuTarget = target;
  openFolderAction->setText(fromUtf8(target.folder ? kMenuOpenFolder : kMenuOpenContainingFolder));
  openFolderAction->setEnabled(!isBlank(target.openedFolder));
  copyPathAction->setEnabled(!target.path.empty());
  const auto offer = [this](QAction* action, std::string_view reason) {
    if (recordMode) reason = kSettingsLockedReason;
    action->setEnabled(reason.empty());
    action->setToolTip(reason.empty() ? QString() : fromUtf8(reason));
  };
  const CaptureOptions none;
  const CaptureOptions& options = settings != nullptr ? settings->captureOptions() : none;
  offer(excludeFolderAction, folderExclusionReason(folderExclusion(options, target)));
  offer(excludeExtensionAction, extensionExclusionReason(extensionExclusion(options, target)));
}

void MainWindow::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    showError(e.what());
  } catch (...) {
    showError("An unexpected error occurred.");
  }
}

void MainWindow::setStatus(const QString& text) {
  statusLabel->setText(text);
  statusLabel->adjustSize();
  statusLabel->move(statusLeft(viewBar->width(), statusLabel->width()), 11);
}

void MainWindow::processResize() {
  MainWindowSizes sizes;
  sizes.clientWidth = width();
  sizes.clientHeight = height();
  sizes.toolBarHeight = toolBar->height();
  sizes.viewBarHeight = viewBar->height();
  sizes.progressBarHeight = progressBar->height();
  sizes.progressBarShown = progressBar->isVisibleTo(this);
  sizes.statusWidth = statusLabel->width();
  sizes.recordWidth = recordButton->width();
  sizes.settingsWidth = settingsButton->width();
  sizes.helpWidth = helpButton->width();
  sizes.treeButtonWidth = treeButton->width();
  sizes.listButtonWidth = listButton->width();
  sizes.cleanButtonWidth = cleanButton->width();
  const MainWindowPlaces p = layoutMainWindow(sizes);
  const auto place = [](QWidget* w, const Rect& r) { w->setGeometry(r.left, r.top, r.width(), r.height()); };
  place(viewBar, p.viewBar);
  place(treeView, p.views);
  place(progressBar, p.progressBar);
  statusLabel->move(p.statusLeft, statusLabel->y());
  treeButton->move(p.treeButtonLeft, treeButton->y());
  listButton->move(p.listButtonLeft, listButton->y());
  cleanButton->move(p.cleanButtonLeft, cleanButton->y());
  saveButton->move(p.saveButtonLeft, saveButton->y());
  recordButton->move(p.recordLeft, recordButton->y());
  pauseButton->move(p.pauseLeft, pauseButton->y());
  helpButton->move(p.helpLeft, helpButton->y());
  settingsButton->move(p.settingsLeft, settingsButton->y());
  if (filterBar->isVisibleTo(this)) {
    // The filter box takes the top of the views' place.
    Rect views = p.views;
    const int height = filterBar->sizeHint().height();
    filterBar->setGeometry(views.left, views.top, views.width(), height);
    views.top = std::min(views.bottom, views.top + height + sizes.gap);
    place(treeView, views);
    place(listView, views);
    return;
  }
  place(listView, p.views);
}

void MainWindow::startCapture() {
  if (settings == nullptr) throw std::runtime_error("The settings window is not ready.");
  notices.clear();
  statusLabel->setToolTip(QString());
  // The recording works with a snapshot: later edits in the settings window do not reach it.
  controller.record(settings->captureOptions());
}

void MainWindow::closeProgram() {
  if (dialogs.askTask(this, windowTitle(), fromUtf8(kCloseInstruction), fromUtf8(kCloseContent))) {
    exitProcess(0);
  }
}

// --- Commands -------------------------------------------------------------------------------

void MainWindow::onRecord() {
  if (controller.state() == RecordingState::Idle) {
    startCapture();
  } else {
    controller.stop();
  }
}

void MainWindow::onPause() {
  if (controller.state() == RecordingState::Idle) return;
  if (controller.state() == RecordingState::Paused) {
    controller.resume();
  } else {
    controller.pause();
  }
}

void MainWindow::onSettings() {
  if (settings != nullptr) settings->showSettings();
}

void MainWindow::onHelp() {
  // From the keyboard (the pointer elsewhere) the menu opens below the button.
  helpMenu->popup(helpButton->underMouse() ? QCursor::pos()
                                           : helpButton->mapToGlobal(helpButton->rect().bottomLeft()));
}

void MainWindow::onShowTree() {
  treeButton->setEnabled(false);
  listButton->setEnabled(true);
  treeView->show();
  listView->hide();
}

void MainWindow::onShowList() {
  listButton->setEnabled(false);
  treeButton->setEnabled(true);
  treeView->hide();
  listView->show();
}

void MainWindow::onClean() {
  controller.clean();
  updateFilterCount();
}

void MainWindow::onExport() {
  const ListFilter& filter = listModel_->filter();
  const std::optional<ExportTarget> target = dialogs.saveExportFile(this, filter.active());
  if (!target) return;
  const QString* chosen = &target->fileName;
  const std::string fileName = QFile::encodeName(*chosen).toStdString();
  if (isBlank(fileName)) return;
  const bool shownOnly = target->shownRowsOnly && filter.active();
  const Status written = target->format == ExportFormat::Report
                             ? controller.exportReport(windowTitle().toStdString(), fileName)
                             : writeListRows(platform.files, fileName, views.list(), target->format,
                                             shownOnly ? &filter.rows() : nullptr);
  if (written.ok()) {
    dialogs.message(this, fromUtf8(kExportTitle), fromUtf8(kExportDoneText) + *chosen,
                    MessageIcon::Information);
  } else {
    dialogs.message(this, fromUtf8(kExportTitle), fromUtf8(kExportFailedText), MessageIcon::Error);
  }
}

void MainWindow::onTrayActivated() {
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void MainWindow::onOpenFolder() {
  if (menuTarget && !isBlank(menuTarget->openedFolder)) platform.shell.open(menuTarget->openedFolder);
}

void MainWindow::onCopyPath() {
  if (!menuTarget) return;
  QGuiApplication::clipboard()->setText(QFile::decodeName(QByteArray::fromStdString(menuTarget->path)));
}

void MainWindow::onExcludeFolder() {
  // The menu may have stayed open while a recording started: the lock is checked again.
  if (!menuTarget || settings == nullptr || recordMode) return;
  CaptureOptions options = settings->captureOptions();
  if (excludeFolder(options, *menuTarget, platform.environment.pathStyle())) settings->saveOptions(options);
}

void MainWindow::onExcludeExtension() {
  if (!menuTarget || settings == nullptr || recordMode) return;
  CaptureOptions options = settings->captureOptions();
  if (excludeExtension(options, *menuTarget)) settings->saveOptions(options);
}

void MainWindow::onLikeUs() { platform.shell.open(kMakerFacebookPage); }

void MainWindow::onAbout() {
  if (showAbout) showAbout();
}

void MainWindow::onExitProgram() { closeProgram(); }

void MainWindow::onFind() {
  const bool wasShown = filterBar->isVisibleTo(this);
  filterBar->open();
  if (!wasShown) processResize();
  updateFilterCount();
}

void MainWindow::setFilterText(const QString& text) {
  if (filterBar->edit()->text() != text) filterBar->edit()->setText(text);  // comes back here
  listModel_->setFilterText(text);
  treeModel_->followFilter(listModel_->filter());
  updateFilterCount();
}

void MainWindow::updateFilterCount() {
  const ListFilter& filter = listModel_->filter();
  filterBar->showCount(listModel_->rowCount(), filter.totalCount());
}

void MainWindow::onOpenRecording() {
  if (isOpeningRecording()) return;
  const std::optional<QString> chosen = dialogs.openRecordingFile(this);
  if (chosen && !chosen->isEmpty()) openRecording(*chosen);
}

void MainWindow::openRecording(const QString& file) {
  if (isOpeningRecording()) return;
  const QString title = QStringLiteral("Open Recording");
  if (controller.state() != RecordingState::Idle) {
    dialogs.message(this, title, QStringLiteral("Stop the recording before opening one."),
                    MessageIcon::Error);
    return;
  }
  if (views.list().rowCount() > 0 || views.tree().nodeCount() > 0) {
    if (!dialogs.askYesNo(
            this, title,
            QStringLiteral("The views hold changes. Replace them with the recording %1?").arg(file))) {
      return;
    }
  }
  // Opened first: a file that cannot be read leaves the views as they are.
  auto starting = std::make_unique<RecordingOpener>(views, QFile::encodeName(file).toStdString(), this);
  controller.clean();
  opener = std::move(starting);
  recordButton->setEnabled(false);
  openAction->setEnabled(false);
  connect(opener.get(), &RecordingOpener::finished, this,
          [this] { runCommand([this] { recordingOpened(); }); });
  opener->start();
}

void MainWindow::recordingOpened() {
  // The opener is gone once this returns (it is the sender: deleted later).
  RecordingOpener* finished = opener.release();
  finished->deleteLater();
  recordButton->setEnabled(true);
  openAction->setEnabled(true);
  treeView->viewport()->update();
  updateFilterCount();
  const QString text = fromUtf8(finished->summary());
  dialogs.message(this, QStringLiteral("Open Recording"), text,
                  finished->error().empty() ? MessageIcon::Information : MessageIcon::Error);
}

// --- Window events --------------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (e->spontaneous()) return;  // the window system's own show (a restore), not ours
  runCommand([this] {
    if (trayIcon->isVisible() && settings != nullptr && settings->captureOptions().minimizeToTray)
      trayIcon->hide();
    processResize();
    if (!loaded && settings != nullptr && settings->captureOptions().autoCapture) startCapture();
    loaded = true;
  });
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  processResize();
}

void MainWindow::closeEvent(QCloseEvent* e) {
  const bool toTray = settings != nullptr && settings->captureOptions().minimizeToTray;
  if (!toTray) {
    e->accept();
    return;
  }
  e->ignore();
  if (trayAvailable()) {
    trayIcon->show();
    lastBalloonTitle = fromUtf8(kTrayBalloonTitle);
    lastBalloonText = fromUtf8(kTrayBalloonText);
    trayIcon->showMessage(lastBalloonTitle, lastBalloonText, QSystemTrayIcon::Information);
    hide();
  } else {
    // Without a notification area a hidden window could never come back: minimise instead.
    showMinimized();
  }
}

// --- What the recording tells ---------------------------------------------------------------

void MainWindow::stateChanged(RecordingState state) {
  const bool running = state != RecordingState::Idle;
  const bool capturing = state == RecordingState::Recording || state == RecordingState::Paused;
  recordButton->setImageIndex(static_cast<int>(running ? MainImage::Stop : MainImage::Record));
  recordButton->setCaption(running ? QStringLiteral("&Stop") : QStringLiteral("&Record"));
  pauseButton->setVisible(running);
  pauseKey->setEnabled(running);
  // While stopping, the Pause button keeps what it shows.
  if (state == RecordingState::Paused) {
    pauseButton->setCaption(QStringLiteral("&Resume"));
    pauseButton->setImageIndex(static_cast<int>(MainImage::Resume));
  } else if (state == RecordingState::Recording) {
    pauseButton->setCaption(QStringLiteral("&Pause"));
    pauseButton->setImageIndex(static_cast<int>(MainImage::Pause));
  }
  setStatus(fromUtf8(capturing ? kStatusLiveCapture : kStatusIdle));
  if (settings != nullptr && capturing != recordMode) settings->setRecordMode(capturing);
  recordMode = capturing;
}

void MainWindow::noticeReceived(const WatchNotice& notice) {
  notices.append(fromUtf8(notice.root.empty() ? notice.message : notice.root + ": " + notice.message));
  statusLabel->setToolTip(notices.join(QLatin1Char('\n')));
}

void MainWindow::batchStarted(std::size_t size) {
  progressBar->setMax(static_cast<int>(std::min<std::size_t>(size, std::numeric_limits<int>::max())));
  progressBar->show();
  processResize();
}

void MainWindow::batchProgress(std::size_t position) {
  pendingPosition = static_cast<int>(std::min<std::size_t>(position, std::numeric_limits<int>::max()));
  if (!positionTimer.isActive()) positionTimer.start();
}

void MainWindow::batchFinished() {
  updateFilterCount();
  positionTimer.stop();
  progressBar->hide();
  progressBar->setPosition(0);
  processResize();
  treeView->viewport()->update();
}

void MainWindow::recordingFailed(const std::string& message) { showError(message); }

void MainWindow::showError(const std::string& message) {
  dialogs.message(
      this,
      QApplication::applicationName().isEmpty() ? fromUtf8(kErrorTitle) : QApplication::applicationName(),
      fromUtf8(message), MessageIcon::Error);
}

}  // namespace tw
