#include "gui/main/frm_main.h"

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

TW7ToolButton* toolButton(QWidget* parent, TW7ImageList* images, const QString& caption, int image, int left,
                          int width) {
  auto* b = new TW7ToolButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(image);
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 3, width, 24);
  return b;
}

TW7SpeedButton* speedButton(QWidget* parent, TW7ImageList* images, const QString& caption, int image,
                            int left, int width) {
  auto* b = new TW7SpeedButton(parent);
  b->setImages(images);
  b->setCaption(caption);
  b->setImageIndex(image);
  b->setFlat(true);
  b->setLight(false);
  b->setFadeInInterval(15);
  b->setFadeOutInterval(40);
  b->setIconSize(TIconSize::is16px);
  b->setArrowType(TArrowType::atDown);
  b->setFontColor(kButtonTextColor);
  b->setGeometry(left, 5, width, 27);
  return b;
}

}  // namespace

TFrmMain::TFrmMain(Platform& platform, Dialogs& dialogs, UiDispatcher& ui, QWidget* parent)
    : QWidget(parent),
      platform(platform),
      dialogs(dialogs),
      ui(ui),
      folderIcons(platform),
      tree(platform, &pool, &folderIcons),
      list(platform, &pool, &folderIcons),
      ImgSys(platform) {
  exitProcess = [](int code) { std::_Exit(code); };
  buildControls();

  // FormCreate.
  loaded = false;
  setStatus(QStringLiteral("idle."));
  setWindowTitle(fromUtf8(mainWindowCaption(platform)));

  positionTimer.setSingleShot(true);
  positionTimer.setInterval(0);
  connect(&positionTimer, &QTimer::timeout, this, [this] { P->setPosition(pendingPosition); });
}

TFrmMain::~TFrmMain() {
  // The views go before the models they show, the models before the core tree and list.
  delete Tree;
  delete List;
  Tree = nullptr;
  List = nullptr;
  treeModel_.reset();
  listModel_.reset();
}

void TFrmMain::buildControls() {
  setWindowTitle(QString::fromUtf8(kDesignCaption.data(), static_cast<qsizetype>(kDesignCaption.size())));
  setFont(windowFont());
  resize(635, 351);
  setAttribute(Qt::WA_QuitOnClose, true);

  Img16 = new TW7ImageList(this);
  fillImageList(*Img16, QStringLiteral(":/img/main"), 15);
  setWindowIcon(QIcon(svgPixmap(QStringLiteral(":/img/program.svg"), 64)));

  ToolBar = new TW7ToolBar(this);
  ToolBar->setGeometry(0, 0, 635, 31);
  new EdgeDock(ToolBar, EdgeDock::Edge::Top);
  tbRecord = toolButton(ToolBar, Img16, QStringLiteral("Record"), kImgRecord, 4, 89);
  tbPause = toolButton(ToolBar, Img16, QStringLiteral("Pause"), kImgPause, 99, 89);
  tbPause->hide();
  tbsettings = toolButton(ToolBar, Img16, QString(), 2, 557, 27);
  tbhelp = toolButton(ToolBar, Img16, QString(), 3, 588, 43);
  tbhelp->setShowArrow(true);

  pTop = new TW7Panel(this);
  pTop->setGeometry(8, 37, 619, 37);
  tbTree = speedButton(pTop, Img16, QStringLiteral("Tree"), 0, 4, 81);
  tbTree->setEnabled(false);
  tbList = speedButton(pTop, Img16, QStringLiteral("List"), 1, 91, 81);
  tbClean = speedButton(pTop, Img16, QString(), 5, 178, 31);
  tbsave = speedButton(pTop, Img16, QString(), 9, 215, 31);
  lMater = new TW7ActiveLabel(pTop);
  lMater->move(lMater->x(), 11);

  treeModel_ = std::make_unique<CaptureTreeModel>(tree, ImgSys);
  listModel_ = std::make_unique<CaptureListModel>(list, ImgSys);
  Tree = new CaptureTreeView(this);
  Tree->setModel(treeModel_.get());
  Tree->setGeometry(8, 80, 297, 249);
  List = new CaptureListView(this);
  List->setModel(listModel_.get());
  List->setGeometry(311, 80, 316, 249);
  List->hide();

  P = new TVistaProBar(this);
  P->setGeometry(8, 335, 619, 9);
  P->setOrientation(TVistaProBarOrientation::vpbHorizontal);
  P->setRounded(true);
  P->setColor(rgb(0x00, 0xFF, 0x00));
  P->setMarquee(false);
  P->setMarqueeSize(40);
  P->setMarqueeFade(30);
  P->setMarqueeSpeed(25);
  P->setShowPosText(false);
  P->setPercentage(false);
  P->setPosition(0);
  P->hide();

  Tray = new QSystemTrayIcon(this);
  Tray->setIcon(QIcon(svgPixmap(QStringLiteral(":/img/tray.svg"), 16)));
  Tray->setToolTip(QStringLiteral("Tarnwatch"));

  PopAbout = new QMenu(this);
  Likeus1 = PopAbout->addAction(QIcon(Img16->image(14)), QStringLiteral("Like us !"));
  About1 = PopAbout->addAction(QIcon(Img16->image(13)), QStringLiteral("About"));
  PopAbout->addSeparator();
  ExitProgram1 = PopAbout->addAction(QIcon(Img16->image(12)), QStringLiteral("Exit Program"));

  const auto wire = [this](auto* sender, auto signal, void (TFrmMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
  };
  wire(tbRecord, &TW7ToolButton::clicked, &TFrmMain::tbRecordClick);
  wire(tbPause, &TW7ToolButton::clicked, &TFrmMain::tbPauseClick);
  wire(tbsettings, &TW7ToolButton::clicked, &TFrmMain::tbsettingsClick);
  wire(tbhelp, &TW7ToolButton::clicked, &TFrmMain::tbhelpClick);
  wire(tbTree, &TW7SpeedButton::clicked, &TFrmMain::tbTreeClick);
  wire(tbList, &TW7SpeedButton::clicked, &TFrmMain::tbListClick);
  wire(tbClean, &TW7SpeedButton::clicked, &TFrmMain::tbCleanClick);
  wire(tbsave, &TW7SpeedButton::clicked, &TFrmMain::tbsaveClick);
  wire(Likeus1, &QAction::triggered, &TFrmMain::Likeus1Click);
  wire(About1, &QAction::triggered, &TFrmMain::About1Click);
  wire(ExitProgram1, &QAction::triggered, &TFrmMain::ExitProgram1Click);
  connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
      runCommand([this] { TrayClick(); });
    }
  });
  connect(Tray, &QSystemTrayIcon::messageClicked, this, [this] { runCommand([this] { TrayClick(); }); });
}

void TFrmMain::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    showError(e.what());
  } catch (...) {
    showError("An unexpected error occurred.");
  }
}

void TFrmMain::setStatus(const QString& text) {
  lMater->setText(text);
  lMater->adjustSize();
  lMater->move(pTop->width() - lMater->width() - 8, 11);
}

void TFrmMain::processResize() {
  const int CW = width();
  const int CH = height();
  // 1. The panel under the toolbar.
  pTop->setGeometry(4, ToolBar->height() + 4, CW - 8, pTop->height());
  // 2. The tree below it.
  Tree->setGeometry(4, ToolBar->height() + 4 + pTop->height() + 4, CW - 8, Tree->height());
  // 3. The progress bar along the bottom.
  P->setGeometry(4, CH - P->height() - 4, CW - 8, P->height());
  // 4. The tree ends 4 pixels above the bar, or above the bottom edge.
  const int treeHeight = P->isVisibleTo(this) ? CH - ToolBar->height() - pTop->height() - P->height() - 16
                                              : CH - ToolBar->height() - pTop->height() - 12;
  Tree->resize(Tree->width(), treeHeight);
  // 5. The status text, right-aligned with an 8-pixel margin.
  lMater->move(pTop->width() - lMater->width() - 8, lMater->y());
  // 6. The panel's buttons.
  tbTree->move(4, tbTree->y());
  tbList->move(tbTree->x() + tbTree->width() + 4, tbList->y());
  tbClean->move(tbList->x() + tbList->width() + 4, tbClean->y());
  tbsave->move(tbClean->x() + tbClean->width() + 4, tbsave->y());
  // 7. The toolbar's buttons.
  tbRecord->move(4, tbRecord->y());
  tbPause->move(tbRecord->x() + tbRecord->width() + 4, tbPause->y());
  tbhelp->move(CW - tbhelp->width() - 4, tbhelp->y());
  tbsettings->move(tbhelp->x() - tbsettings->width() - 4, tbsettings->y());
  // 8. The list over the tree.
  List->setGeometry(Tree->geometry());
}

void TFrmMain::startCapture() {
  setStatus(QStringLiteral("Live Capture."));
  if (settings == nullptr) throw std::runtime_error("The settings window is not ready.");
  ShellMonitor =
      TShellMonitor::start(MonitorContext{platform, ui, *this, settings->settingsControls(), *this});
  settings->setRecordMode(true);
}

void TFrmMain::closeProgram() {
  if (dialogs.askTask(
          this, windowTitle(), QStringLiteral("Close Program"),
          QStringLiteral("This action will close the process and all its background tasks. Are you sure?"))) {
    exitProcess(0);
  }
}

// --- Commands -------------------------------------------------------------------------------

void TFrmMain::tbRecordClick() {
  if (tbRecord->imageIndex() == kImgRecord) {
    startCapture();
    return;
  }
  if (auto monitor = ShellMonitor.lock()) monitor->stop();
  if (settings != nullptr) settings->setRecordMode(false);
  setStatus(QStringLiteral("idle."));
}

void TFrmMain::tbPauseClick() {
  if (auto monitor = ShellMonitor.lock()) monitor->setPause(tbPause->imageIndex() != kImgResume);
}

void TFrmMain::tbsettingsClick() {
  if (settings != nullptr) settings->showSettings();
}

void TFrmMain::tbhelpClick() { PopAbout->popup(QCursor::pos()); }

void TFrmMain::tbTreeClick() {
  tbTree->setEnabled(false);
  tbList->setEnabled(true);
  Tree->show();
  List->hide();
}

void TFrmMain::tbListClick() {
  tbList->setEnabled(false);
  tbTree->setEnabled(true);
  Tree->hide();
  List->show();
}

void TFrmMain::tbCleanClick() {
  tree.clear();
  list.clear();
}

void TFrmMain::tbsaveClick() {
  const std::optional<QString> chosen = dialogs.saveFileName(this, QStringLiteral("txt"));
  if (!chosen) return;
  const std::string fileName = QFile::encodeName(*chosen).toStdString();
  if (isBlank(fileName)) return;
  const std::string text =
      buildExportReport(windowTitle().toStdString(), tree, list, platform, platform.pathStyle());
  if (saveTextToFile(platform, fileName, text)) {
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

void TFrmMain::TrayClick() {
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void TFrmMain::Likeus1Click() { platform.shellOpen(kMakerFacebookPage); }

void TFrmMain::About1Click() {
  if (showAbout) showAbout();
}

void TFrmMain::ExitProgram1Click() { closeProgram(); }

// --- Window events --------------------------------------------------------------------------

void TFrmMain::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (e->spontaneous()) return;  // the window system's own show (a restore), not ours
  runCommand([this] {
    if (Tray->isVisible() && settings != nullptr && settings->settingsControls().cTray().isChecked())
      Tray->hide();
    processResize();
    if (!loaded && settings != nullptr && settings->settingsControls().cAutoCapture().isChecked())
      startCapture();
    loaded = true;
  });
}

void TFrmMain::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  processResize();
}

void TFrmMain::closeEvent(QCloseEvent* e) {
  const bool toTray = settings != nullptr && settings->settingsControls().cTray().isChecked();
  if (!toTray) {
    e->accept();
    return;
  }
  e->ignore();
  if (trayAvailable()) {
    Tray->show();
    lastBalloonTitle = QStringLiteral("Working in background");
    lastBalloonText = QStringLiteral(
        "Tarnwatch is still running in background. Click on this icon to restore application.");
    Tray->showMessage(lastBalloonTitle, lastBalloonText, QSystemTrayIcon::Information);
    hide();
  } else {
    // Without a notification area a hidden window could never come back: minimise instead.
    showMinimized();
  }
}

// --- What a recording delivers --------------------------------------------------------------

void TFrmMain::showBatchProgress(int count) {
  tree.beginBatch();
  list.beginBatch();
  P->setMax(count);
  P->show();
  processResize();
}

void TFrmMain::addDirectoryFile(const std::string& directoryPath, const std::string& newName, int eventnum) {
  tree.addDirectoryFile(directoryPath, newName, eventnum);
}

void TFrmMain::addListItem(const std::string& item1, const std::string& item2, int eventNum) {
  list.addListItem(item1, item2, eventNum);
}

void TFrmMain::setBatchPosition(int i) {
  pendingPosition = i;
  if (!positionTimer.isActive()) positionTimer.start();
}

void TFrmMain::hideBatchProgress() {
  // The rows of the batch reach the views now, in one block per parent.
  tree.endBatch();
  list.endBatch();
  positionTimer.stop();
  P->hide();
  P->setPosition(0);
  processResize();
  Tree->expandNew();
  Tree->viewport()->update();
}

void TFrmMain::setRecordImage(int imageIndex) { tbRecord->setImageIndex(imageIndex); }
void TFrmMain::setRecordCaption(const std::string& caption) { tbRecord->setCaption(fromUtf8(caption)); }
void TFrmMain::setPauseVisible(bool visible) { tbPause->setVisible(visible); }
void TFrmMain::setPauseCaption(const std::string& caption) { tbPause->setCaption(fromUtf8(caption)); }
void TFrmMain::setPauseImage(int imageIndex) { tbPause->setImageIndex(imageIndex); }
void TFrmMain::clearTree() { tree.clear(); }
void TFrmMain::clearList() { list.clear(); }

void TFrmMain::showError(const std::string& message) {
  dialogs.message(this,
                  QApplication::applicationName().isEmpty() ? QStringLiteral("Tarnwatch")
                                                            : QApplication::applicationName(),
                  fromUtf8(message), MessageIcon::Error);
}

}  // namespace tw
