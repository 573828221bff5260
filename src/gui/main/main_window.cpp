#include "gui/main/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QScreen>
#include <cstdlib>
#include <exception>

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

ToolButton* toolButton(QWidget* parent, ImageList* images, const QString& caption, int image, int left,
                       int width) {
  auto* b = new ToolButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(image);
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 3, width, 24);
  return b;
}

SpeedButton* speedButton(QWidget* parent, ImageList* images, const QString& caption, int image, int left,
                         int width) {
  auto* b = new SpeedButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(image);
  b->setFlat(true);
  b->setLight(false);
  b->setFadeInInterval(15);
  b->setFadeOutInterval(40);
  b->setIconSize(IconSize::Px16);
  b->setArrowType(ArrowDirection::Down);
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 5, width, 27);
  return b;
}

}  // namespace

MainWindow::MainWindow(Platform platform, Dialogs& dialogs, UiDispatcher& ui, QWidget* parent)
    : QWidget(parent),
      platform(platform),
      dialogs(dialogs),
      ui(ui),
      folderIcons(platform.environment, platform.icons),
      tree(platform.environment, platform.icons, &pool, &folderIcons),
      list(platform.environment, platform.icons, &pool, &folderIcons),
      systemIcons(platform.icons) {
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
  recordButton = toolButton(toolBar, images, QStringLiteral("Record"), kImgRecord, 4, 89);
  pauseButton = toolButton(toolBar, images, QStringLiteral("Pause"), kImgPause, 99, 89);
  pauseButton->hide();
  settingsButton = toolButton(toolBar, images, QString(), 2, 557, 27);
  helpButton = toolButton(toolBar, images, QString(), 3, 588, 43);
  helpButton->setShowArrow(true);

  viewBar = new GradientPanel(this);
  viewBar->setGeometry(8, 37, 619, 37);
  treeButton = speedButton(viewBar, images, QStringLiteral("Tree"), 0, 4, 81);
  treeButton->setEnabled(false);
  listButton = speedButton(viewBar, images, QStringLiteral("List"), 1, 91, 81);
  cleanButton = speedButton(viewBar, images, QString(), 5, 178, 31);
  saveButton = speedButton(viewBar, images, QString(), 9, 215, 31);
  statusLabel = new ActiveLabel(viewBar);
  statusLabel->move(statusLabel->x(), 11);

  treeModel_ = std::make_unique<CaptureTreeModel>(tree, systemIcons);
  listModel_ = std::make_unique<CaptureListModel>(list, systemIcons);
  treeView = new CaptureTreeView(this);
  treeView->setModel(treeModel_.get());
  treeView->setGeometry(8, 80, 297, 249);
  listView = new CaptureListView(this);
  listView->setModel(listModel_.get());
  listView->setGeometry(311, 80, 316, 249);
  listView->hide();

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
  likeUsAction = helpMenu->addAction(QIcon(images->image(14)), QStringLiteral("Like us !"));
  aboutAction = helpMenu->addAction(QIcon(images->image(13)), QStringLiteral("About"));
  helpMenu->addSeparator();
  exitAction = helpMenu->addAction(QIcon(images->image(12)), QStringLiteral("Exit Program"));

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
  connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
      runCommand([this] { onTrayActivated(); });
    }
  });
  connect(trayIcon, &QSystemTrayIcon::messageClicked, this,
          [this] { runCommand([this] { onTrayActivated(); }); });
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
  place(listView, p.views);
}

void MainWindow::startCapture() {
  setStatus(fromUtf8(kStatusLiveCapture));
  if (settings == nullptr) throw std::runtime_error("The settings window is not ready.");
  monitor = TShellMonitor::start(MonitorContext{platform, ui, *this, settings->captureOptions(), *this});
  settings->setRecordMode(true);
}

void MainWindow::closeProgram() {
  if (dialogs.askTask(this, windowTitle(), fromUtf8(kCloseInstruction), fromUtf8(kCloseContent))) {
    exitProcess(0);
  }
}

// --- Commands -------------------------------------------------------------------------------

void MainWindow::onRecord() {
  if (recordButton->imageIndex() == kImgRecord) {
    startCapture();
    return;
  }
  if (auto running = monitor.lock()) running->stop();
  if (settings != nullptr) settings->setRecordMode(false);
  setStatus(fromUtf8(kStatusIdle));
}

void MainWindow::onPause() {
  if (auto running = monitor.lock()) running->setPause(pauseButton->imageIndex() != kImgResume);
}

void MainWindow::onSettings() {
  if (settings != nullptr) settings->showSettings();
}

void MainWindow::onHelp() { helpMenu->popup(QCursor::pos()); }

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
  tree.clear();
  list.clear();
}

void MainWindow::onExport() {
  const std::optional<QString> chosen = dialogs.saveFileName(this, QStringLiteral("txt"));
  if (!chosen) return;
  const std::string fileName = QFile::encodeName(*chosen).toStdString();
  if (isBlank(fileName)) return;
  const std::string text = buildExportReport(windowTitle().toStdString(), tree, list, platform.files,
                                             platform.environment.pathStyle());
  if (writeReportFile(platform.files, fileName, text)) {
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

void MainWindow::onLikeUs() { platform.shell.open(kMakerFacebookPage); }

void MainWindow::onAbout() {
  if (showAbout) showAbout();
}

void MainWindow::onExitProgram() { closeProgram(); }

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

// --- What a recording delivers --------------------------------------------------------------

void MainWindow::showBatchProgress(int count) {
  tree.beginBatch();
  list.beginBatch();
  progressBar->setMax(count);
  progressBar->show();
  processResize();
}

void MainWindow::addDirectoryFile(const std::string& directoryPath, const std::string& newName,
                                  int eventnum) {
  tree.addDirectoryFile(directoryPath, newName, eventnum);
}

void MainWindow::addListItem(const std::string& item1, const std::string& item2, int eventNum) {
  list.addListItem(item1, item2, eventNum);
}

void MainWindow::setBatchPosition(int i) {
  pendingPosition = i;
  if (!positionTimer.isActive()) positionTimer.start();
}

void MainWindow::hideBatchProgress() {
  // The rows of the batch reach the views now, in one block per parent.
  tree.endBatch();
  list.endBatch();
  positionTimer.stop();
  progressBar->hide();
  progressBar->setPosition(0);
  processResize();
  treeView->expandNew();
  treeView->viewport()->update();
}

void MainWindow::setRecordImage(int imageIndex) { recordButton->setImageIndex(imageIndex); }
void MainWindow::setRecordCaption(const std::string& caption) { recordButton->setCaption(fromUtf8(caption)); }
void MainWindow::setPauseVisible(bool visible) { pauseButton->setVisible(visible); }
void MainWindow::setPauseCaption(const std::string& caption) { pauseButton->setCaption(fromUtf8(caption)); }
void MainWindow::setPauseImage(int imageIndex) { pauseButton->setImageIndex(imageIndex); }
void MainWindow::clearTree() { tree.clear(); }
void MainWindow::clearList() { list.clear(); }

void MainWindow::showError(const std::string& message) {
  dialogs.message(
      this,
      QApplication::applicationName().isEmpty() ? fromUtf8(kErrorTitle) : QApplication::applicationName(),
      fromUtf8(message), MessageIcon::Error);
}

}  // namespace tw
