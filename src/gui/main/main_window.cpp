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
#include "gui/controls/svg_images.h"

namespace tw {

namespace {

const QColor kButtonTextColor(0x1E, 0x39, 0x5B);  // 0x5B391E

QString fromUtf8(const std::string& text) {
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

// A delivered event as the capture views file it; it happened now, as far as the window knows.
Change deliveredChange(const std::string& path, const std::string& newPath, int eventNum) {
  Change change;
  change.kind = eventKindOf(eventNum).value_or(EventKind::Association);
  change.path = path;
  change.newPath = newPath;
  change.time = std::chrono::system_clock::now();
  return change;
}

}  // namespace

MainWindow::MainWindow(Platform platform, Dialogs& dialogs, UiDispatcher& ui, QWidget* parent)
    : QWidget(parent),
      platform(platform),
      dialogs(dialogs),
      ui(ui),
      views(platform.environment, &platform.icons, platform.environment.pathStyle()),
      systemIcons(platform.icons) {
  exitProcess = [](int code) { std::_Exit(code); };
  buildControls();

  // At creation.
  loaded = false;
  setStatus(QStringLiteral("idle."));
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

  treeModel_ = std::make_unique<CaptureTreeModel>(views, systemIcons);
  listModel_ = std::make_unique<CaptureListModel>(views, systemIcons);
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
  trayIcon->setToolTip(QStringLiteral("Tarnwatch"));

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
  statusLabel->move(viewBar->width() - statusLabel->width() - 8, 11);
}

void MainWindow::processResize() {
  const int CW = width();
  const int CH = height();
  // 1. The panel under the toolbar.
  viewBar->setGeometry(4, toolBar->height() + 4, CW - 8, viewBar->height());
  // 2. The tree below it.
  treeView->setGeometry(4, toolBar->height() + 4 + viewBar->height() + 4, CW - 8, treeView->height());
  // 3. The progress bar along the bottom.
  progressBar->setGeometry(4, CH - progressBar->height() - 4, CW - 8, progressBar->height());
  // 4. The tree ends 4 pixels above the bar, or above the bottom edge.
  const int treeHeight = progressBar->isVisibleTo(this)
                             ? CH - toolBar->height() - viewBar->height() - progressBar->height() - 16
                             : CH - toolBar->height() - viewBar->height() - 12;
  treeView->resize(treeView->width(), treeHeight);
  // 5. The status text, right-aligned with an 8-pixel margin.
  statusLabel->move(viewBar->width() - statusLabel->width() - 8, statusLabel->y());
  // 6. The panel's buttons.
  treeButton->move(4, treeButton->y());
  listButton->move(treeButton->x() + treeButton->width() + 4, listButton->y());
  cleanButton->move(listButton->x() + listButton->width() + 4, cleanButton->y());
  saveButton->move(cleanButton->x() + cleanButton->width() + 4, saveButton->y());
  // 7. The toolbar's buttons.
  recordButton->move(4, recordButton->y());
  pauseButton->move(recordButton->x() + recordButton->width() + 4, pauseButton->y());
  helpButton->move(CW - helpButton->width() - 4, helpButton->y());
  settingsButton->move(helpButton->x() - settingsButton->width() - 4, settingsButton->y());
  // 8. The list over the tree.
  listView->setGeometry(treeView->geometry());
}

void MainWindow::startCapture() {
  setStatus(QStringLiteral("Live Capture."));
  if (settings == nullptr) throw std::runtime_error("The settings window is not ready.");
  monitor = TShellMonitor::start(MonitorContext{platform, ui, *this, settings->settingsControls(), *this});
  settings->setRecordMode(true);
}

void MainWindow::closeProgram() {
  if (dialogs.askTask(
          this, windowTitle(), QStringLiteral("Close Program"),
          QStringLiteral("This action will close the process and all its background tasks. Are you sure?"))) {
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
  setStatus(QStringLiteral("idle."));
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

void MainWindow::onClean() { views.clear(); }

void MainWindow::onExport() {
  const std::optional<QString> chosen = dialogs.saveFileName(this, QStringLiteral("txt"));
  if (!chosen) return;
  const std::string fileName = QFile::encodeName(*chosen).toStdString();
  if (isBlank(fileName)) return;
  const std::string text = buildExportReport(windowTitle().toStdString(), views, platform.files);
  if (writeReportFile(platform.files, fileName, text)) {
    dialogs.message(this, QStringLiteral("Exportation"),
                    QStringLiteral("Data successfully exported to \r\n") + *chosen, MessageIcon::Information);
  } else {
    dialogs.message(
        this, QStringLiteral("Exportation"),
        QStringLiteral("We were not able to export data to the location you chose. Are you sure you "
                       "have access to this location from your administrator?"),
        MessageIcon::Error);
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
    if (trayIcon->isVisible() && settings != nullptr && settings->settingsControls().cTray().isChecked())
      trayIcon->hide();
    processResize();
    if (!loaded && settings != nullptr && settings->settingsControls().cAutoCapture().isChecked())
      startCapture();
    loaded = true;
  });
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  processResize();
}

void MainWindow::closeEvent(QCloseEvent* e) {
  const bool toTray = settings != nullptr && settings->settingsControls().cTray().isChecked();
  if (!toTray) {
    e->accept();
    return;
  }
  e->ignore();
  if (trayAvailable()) {
    trayIcon->show();
    lastBalloonTitle = QStringLiteral("Working in background");
    lastBalloonText = QStringLiteral(
        "Tarnwatch is still running in background. Click on this icon to restore application.");
    trayIcon->showMessage(lastBalloonTitle, lastBalloonText, QSystemTrayIcon::Information);
    hide();
  } else {
    // Without a notification area a hidden window could never come back: minimise instead.
    showMinimized();
  }
}

// --- What a recording delivers --------------------------------------------------------------

void MainWindow::showBatchProgress(int count) {
  views.beginBatch();
  progressBar->setMax(count);
  progressBar->show();
  processResize();
}

void MainWindow::addDirectoryFile(const std::string& directoryPath, const std::string& newName,
                                  int eventnum) {
  views.tree().add(deliveredChange(directoryPath, newName, eventnum));
}

void MainWindow::addListItem(const std::string& item1, const std::string& item2, int eventNum) {
  views.list().add(deliveredChange(item1, item2, eventNum));
}

void MainWindow::setBatchPosition(int i) {
  pendingPosition = i;
  if (!positionTimer.isActive()) positionTimer.start();
}

void MainWindow::hideBatchProgress() {
  // The rows of the batch reach the views now, in one block per parent.
  views.endBatch();
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
void MainWindow::clearTree() { views.tree().clear(); }
void MainWindow::clearList() { views.list().clear(); }

void MainWindow::showError(const std::string& message) {
  dialogs.message(this,
                  QApplication::applicationName().isEmpty() ? QStringLiteral("Tarnwatch")
                                                            : QApplication::applicationName(),
                  fromUtf8(message), MessageIcon::Error);
}

}  // namespace tw
