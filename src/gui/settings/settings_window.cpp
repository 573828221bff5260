#include "gui/settings/settings_window.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>
#include <optional>

#include "core/events/event_kinds.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_codec.h"
#include "core/text/text_lines.h"
#include "core/ui/texts.h"
#include "gui/controls/active_label.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"
#include "gui/controls/svg_images.h"
#include "gui/main/dialogs.h"
#include "gui/main/system_icons.h"
#include "gui/settings/extension_dialog.h"

namespace tw {

namespace {

constexpr Color kUsageGreen = rgb(0, 255, 0);
constexpr Color kUsageRed = rgb(255, 0, 0);  // 0x0000FF

// Row height of the report-style lists: a 16-pixel image and a 9-point line.
constexpr int kListRowHeight = 19;
// Column widths of the drive list.
constexpr int kDriveColumnWidths[3] = {100, 90, 205};

QString fromBytes(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string captionOf(const QTableWidgetItem* item) {
  if (item == nullptr) return {};
  const QByteArray bytes = item->data(kCaptionBytesRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The look of the report-style lists: no headers, grid lines, whole rows selected, several at a
// time, read-only, 16-pixel images, rows of one fixed height.
void styleList(QTableView* list, const QRect& geometry) {
  list->setGeometry(geometry);
  list->horizontalHeader()->hide();
  list->verticalHeader()->hide();
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(kListRowHeight);
  list->setShowGrid(true);
  list->setWordWrap(false);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setIconSize(QSize(16, 16));
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

// A list over `model`, which the list's parent page owns.
QTableView* modelList(QWidget* page, QAbstractItemModel* model, const QRect& geometry) {
  auto* list = new QTableView(page);
  styleList(list, geometry);
  list->setModel(model);
  list->horizontalHeader()->setStretchLastSection(true);
  return list;
}

int firstSelectedRow(const QAbstractItemView* list) {
  int first = -1;
  for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
    if (first < 0 || index.row() < first) first = index.row();
  }
  return first;
}

ActiveLabel* heading(QWidget* page, const QString& text, int x, int y) {
  auto* label = new ActiveLabel(text, page);
  label->move(x, y);
  label->adjustSize();
  return label;
}

// The navigation tree reports a finished left click; keyboard moves report nothing.
class NavigationTree : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void()> onClick;

 protected:
  // A press beside the nodes keeps the selection, so that the click acts on the selected node.
  void mousePressEvent(QMouseEvent* e) override {
    if (indexAt(e->position().toPoint()).isValid()) QTreeWidget::mousePressEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    QTreeWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && onClick) onClick();
  }
};

}  // namespace

SettingsWindow::SettingsWindow(Platform platform, SystemIcons& icons, Dialogs& dialogs, std::string iniFile,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform),
      icons_(icons),
      dialogs_(dialogs),
      iniFile_(std::move(iniFile)) {
  setWindowTitle(QStringLiteral("Settings"));
  setFixedSize(627, 329);
  setFont(windowFont());

  images_ = new ImageList(this);
  fillImageList(*images_, QStringLiteral(":/img/settings"), kSettingsImageCount);

  // Navigation tree: each node keeps what it stands for, which decides what a click does, and
  // the index of the picture it shows.
  auto* tree = new NavigationTree(this);
  tree_ = tree;
  tree_->setGeometry(4, 4, 189, 321);
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->setIndentation(19);
  tree_->setIconSize(QSize(16, 16));
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  QTreeWidgetItem* lastTopNode = nullptr;
  for (const NavigationNode& n : kNavigationNodes) {
    auto* item =
        n.child && lastTopNode != nullptr ? new QTreeWidgetItem(lastTopNode) : new QTreeWidgetItem(tree_);
    item->setText(0, QString::fromUtf8(n.text.data(), static_cast<qsizetype>(n.text.size())));
    item->setIcon(0, QIcon(settingsImage(n.image)));
    item->setData(0, kImageIndexRole, n.image);
    item->setData(0, kNavigationTargetRole, static_cast<int>(n.target));
    if (!n.child) lastTopNode = item;
  }
  tree->onClick = [this] { onNavigationClicked(); };

  for (auto*& page : pages_) {
    page = new GradientPanel(this);
    page->setStyle(PanelStyle::Custom);
    page->setGeometry(199, 4, 424, 321);
  }
  const QPixmap lockImage = svgPixmap(QStringLiteral(":/img/settings/lock.svg"), 16);
  auto lockNote = [&](GradientPanel* page, const QString& text) {
    auto* picture = new QLabel(page);
    picture->setPixmap(lockImage);
    picture->setGeometry(8, 300, 16, 16);
    picture->hide();
    ActiveLabel* label = heading(page, text, 24, 299);
    label->hide();
    lockPictures_.push_back(picture);
    lockLabels_.push_back(label);
  };

  // The general page.
  auto option = [&](const QString& caption, int top) {
    auto* box = new QCheckBox(caption, generalPage());
    box->setGeometry(8, top, 321, 17);
    return box;
  };
  autoCaptureBox_ = option(QStringLiteral("Automatically start the capture on program startup."), 8);
  trayBox_ = option(QStringLiteral("Minimize application to tray on close."), 26);
  autoCleanBox_ = option(QStringLiteral("Clean Tree / List when you decide to stop record."), 44);

  // Drives to Monitor.
  heading(drivesPage(), QStringLiteral("Select Drives to Monitor (default capture all)"), 8, 8);
  driveList_ = new QTableWidget(0, 3, drivesPage());
  styleList(driveList_, QRect(8, 29, 408, 284));
  for (int c = 0; c < 3; ++c) driveList_->setColumnWidth(c, kDriveColumnWidths[c]);
  lockNote(drivesPage(), QStringLiteral("You can't change drive to Monitor while recording."));
  connect(driveList_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeUsageBars(); });
  connect(driveList_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeUsageBars(); });

  // Extension and Folders.
  auto toolButton = [&](int x, int y, int image) {
    auto* button = new ToolButton(filtersPage());
    button->setGeometry(x, y, 22, 22);
    button->setImages(images_);
    button->setImageIndex(image);
    return button;
  };
  heading(filtersPage(), QStringLiteral("Only capture the following extensions (default capture all) :"), 8,
          8);
  extensionModel_ = new ExtensionListModel(platform_.icons, icons_, this);
  extensionList_ = modelList(filtersPage(), extensionModel_, QRect(8, 29, 385, 124));
  extensionList_->setColumnWidth(0, 100);
  addExtensionButton_ = toolButton(397, 29, kImgAdd);
  deleteExtensionButton_ = toolButton(397, 55, kImgDelete);
  heading(filtersPage(), QStringLiteral("Do not capture following paths :"), 8, 159);
  folderModel_ = new ExcludedFolderModel(platform_.icons, icons_, this);
  folderList_ = modelList(filtersPage(), folderModel_, QRect(8, 180, 385, 133));
  addFolderButton_ = toolButton(397, 180, kImgAdd);
  deleteFolderButton_ = toolButton(397, 206, kImgDelete);
  lockNote(filtersPage(), QStringLiteral("You can't change filters while recording."));
  connect(addExtensionButton_, &ToolButton::clicked, this, &SettingsWindow::onAddExtension);
  connect(deleteExtensionButton_, &ToolButton::clicked, this, &SettingsWindow::onDeleteExtensions);
  connect(addFolderButton_, &ToolButton::clicked, this, &SettingsWindow::onAddFolder);
  connect(deleteFolderButton_, &ToolButton::clicked, this, &SettingsWindow::onDeleteFolders);
  connect(folderList_, &QTableView::doubleClicked, this, &SettingsWindow::onExcludedFolderDoubleClicked);

  // Events Filters.
  heading(eventsPage(), QStringLiteral("Select Events you need to capture (Default capture all)"), 8, 8);
  eventModel_ = new EventKindModel(
      kImgEventOn, kImgEventOff, [this](int image) { return QIcon(settingsImage(image)); }, this);
  eventModel_->setProducible(platform_.watching.producibleKinds());
  eventList_ = modelList(eventsPage(), eventModel_, QRect(8, 29, 408, 284));
  lockNote(eventsPage(), QStringLiteral("You can't change events status while recording."));
  connect(eventList_, &QTableView::doubleClicked, this, &SettingsWindow::onEventDoubleClicked);

  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &SettingsWindow::markMissingFolders);

  // The General page shows until the user clicks a node.
  showPage(generalPage());
  tree_->expandAll();
  saved_ = readCaptureOptions(platform_.profiles, iniFile_);
  showOptions(saved_);
}

SettingsWindow::~SettingsWindow() {
  // The child widgets outlive this class's members: cut their connections to the window first,
  // so that nothing they signal while being destroyed reaches a member already gone.
  timer_.stop();
  for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
  static_cast<NavigationTree*>(tree_)->onClick = nullptr;
}

QPixmap SettingsWindow::settingsImage(int index) const { return images_->image(index); }

CaptureOptions SettingsWindow::editedOptions() const {
  CaptureOptions options;
  for (int row = 0; row < driveList_->rowCount(); ++row) {
    const QTableWidgetItem* item = driveList_->item(row, 0);
    if (item != nullptr && item->checkState() != Qt::Checked)
      options.skippedDrives.push_back(captionOf(item));
  }
  options.kinds = eventModel_->kinds();
  options.extensions = extensionModel_->entries();
  options.excludedFolders = folderModel_->entries();
  options.autoCapture = autoCaptureBox_->isChecked();
  options.minimizeToTray = trayBox_->isChecked();
  options.cleanOnStop = autoCleanBox_->isChecked();
  return options;
}

void SettingsWindow::showOptions(const CaptureOptions& options) {
  autoCaptureBox_->setChecked(options.autoCapture);
  trayBox_->setChecked(options.minimizeToTray);
  autoCleanBox_->setChecked(options.cleanOnStop);
  eventModel_->setKinds(options.kinds);
  if (extensionModel_->entries() != options.extensions) extensionModel_->setEntries(options.extensions);
  if (folderModel_->entries() != options.excludedFolders) folderModel_->setEntries(options.excludedFolders);
  applyDriveTicks(options.skippedDrives);
}

void SettingsWindow::applyDriveTicks(const std::vector<std::string>& skippedDrives) {
  for (int row = 0; row < driveList_->rowCount(); ++row) {
    QTableWidgetItem* item = driveList_->item(row, 0);
    if (item == nullptr) continue;
    const bool skipped = isInStringList(captionOf(item), skippedDrives);
    item->setCheckState(skipped ? Qt::Unchecked : Qt::Checked);
  }
}

void SettingsWindow::saveOptions(CaptureOptions options) {
  const std::optional<IniWriteError> refused = trySaveCaptureOptions(platform_.profiles, iniFile_, options);
  saved_ = std::move(options);
  showOptions(saved_);
  if (refused) throw *refused;
}

void SettingsWindow::startMissingFolderTimer() { timer_.start(); }

void SettingsWindow::saveOnHide() {
  timer_.stop();
  CaptureOptions edited = editedOptions();
  const std::optional<IniWriteError> refused = trySaveCaptureOptions(platform_.profiles, iniFile_, edited);
  // The window shows what the file holds now, also after a refused write.
  saved_ = std::move(edited);
  showOptions(saved_);
  if (!refused) return;
  // The user learns, after the window has gone, why the file does not hold the edits.
  if (onSaveError) {
    onSaveError(*refused);
  } else {
    dialogs_.message(parentWidget(), fromBytes(kErrorTitle), QString::fromUtf8(refused->what()),
                     MessageIcon::Error);
  }
}

void SettingsWindow::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) startMissingFolderTimer();
}

void SettingsWindow::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (!e->spontaneous()) saveOnHide();
}

GradientPanel* SettingsWindow::shownPage() const {
  for (GradientPanel* page : pages_) {
    if (!page->isHidden()) return page;
  }
  return nullptr;
}

void SettingsWindow::showPage(GradientPanel* page) {
  for (GradientPanel* p : pages_) p->hide();
  page->show();
}

void SettingsWindow::onNavigationClicked() {
  const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
  if (selected.isEmpty()) return;
  switch (static_cast<NavigationTarget>(selected.constFirst()->data(0, kNavigationTargetRole).toInt())) {
    case NavigationTarget::GeneralPage:
      showPage(generalPage());
      break;
    case NavigationTarget::DrivesPage:
      for (GradientPanel* p : pages_) p->hide();
      refreshDrives();
      drivesPage()->show();
      break;
    case NavigationTarget::FiltersPage:
      showPage(filtersPage());
      break;
    case NavigationTarget::EventsPage:
      showPage(eventsPage());
      break;
    case NavigationTarget::About:
      if (onAbout) onAbout();
      break;
    case NavigationTarget::FiltersHeading:
      break;  // a heading only
  }
}

void SettingsWindow::refreshDrives() {
  driveList_->setRowCount(0);
  for (ProgressBar* bar : usageBars_) delete bar;
  usageBars_.clear();

  for (const std::string& root : recordableDriveRoots(platform_.drives)) {
    auto* bar = new ProgressBar(driveList_->viewport());
    bar->setMin(0);
    bar->setMax(100);
    bar->setColor(kUsageGreen);
    bar->setMarquee(false);

    // Every drive starts ticked on every refill.
    auto* item = new QTableWidgetItem(fromBytes(root));
    item->setData(kCaptionBytesRole, QByteArray(root.data(), static_cast<qsizetype>(root.size())));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    const int icon = platform_.icons.fileTypeIcon(root);
    item->setIcon(icons_.icon(icon));
    item->setData(kImageIndexRole, icon);
    const int row = driveList_->rowCount();
    driveList_->insertRow(row);
    driveList_->setItem(row, 0, item);
    auto* fileSystem =
        new QTableWidgetItem(fromBytes(platform_.drives.fileSystemName(root).valueOr(std::string())));
    fileSystem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    driveList_->setItem(row, 1, fileSystem);

    // A volume whose size cannot be read (a drive without a medium) shows 0 %.
    const auto space = platform_.drives.diskSpace(root);
    const int percent = space ? usedPercentage(space->total, space->freeToCaller) : 0;
    bar->setMax(100);
    bar->setPosition(percent);
    if (isHighUsage(percent)) bar->setColor(kUsageRed);
    bar->show();
    usageBars_.push_back(bar);
  }
  placeUsageBars();
}

void SettingsWindow::placeUsageBars() {
  const int leading = driveList_->columnWidth(0) + driveList_->columnWidth(1);
  const int rowLeft = driveList_->columnViewportPosition(0);
  for (std::size_t i = 0; i < usageBars_.size(); ++i) {
    const int row = static_cast<int>(i);
    const UsageBarPlace place =
        usageBarPlace(rowLeft, driveList_->rowViewportPosition(row), driveList_->rowHeight(row), leading,
                      driveList_->columnWidth(2));
    usageBars_[i]->setGeometry(place.left, place.top, place.width, place.height);
  }
}

void SettingsWindow::setRecordMode(bool recording) {
  const RecordLockLook look = recordLockLook(recording, drivesPage()->height());
  for (QAbstractItemView* list :
       std::initializer_list<QAbstractItemView*>{driveList_, folderList_, extensionList_, eventList_})
    list->setEnabled(look.listsEnabled);
  for (QLabel* picture : lockPictures_) picture->setVisible(look.notesShown);
  for (ActiveLabel* label : lockLabels_) label->setVisible(look.notesShown);
  for (ToolButton* button :
       {addFolderButton_, deleteFolderButton_, addExtensionButton_, deleteExtensionButton_})
    button->setEnabled(look.buttonsEnabled);
  addFolderButton_->setImageIndex(look.addImage);
  addExtensionButton_->setImageIndex(look.addImage);
  deleteFolderButton_->setImageIndex(look.deleteImage);
  deleteExtensionButton_->setImageIndex(look.deleteImage);
  // The lists make room for the lock notes below them.
  driveList_->resize(driveList_->width(), look.driveListHeight);
  eventList_->resize(eventList_->width(), look.driveListHeight);
  folderList_->resize(folderList_->width(), look.folderListHeight);
}

void SettingsWindow::addExtensions(const std::string& text) {
  extensionModel_->append(extensionsToAdd(extensionModel_->entries(), text));
}

void SettingsWindow::deleteListItems(QTableView* list) {
  auto* model = list != nullptr ? dynamic_cast<EntryListModel*>(list->model()) : nullptr;
  if (model == nullptr) return;
  if (!list->selectionModel()->hasSelection()) {
    dialogs_.message(this, fromBytes(kNoSelectionTitle), fromBytes(kNoSelectionText), MessageIcon::Error);
    return;
  }
  if (!dialogs_.askYesNo(this, fromBytes(kRemoveTitle), fromBytes(kRemoveText))) return;
  // The selection as it is now (a modal question may have run an event loop).
  std::vector<int> rows;
  for (const QModelIndex& index : list->selectionModel()->selectedRows()) rows.push_back(index.row());
  model->removeRowSet(std::move(rows));
}

ExtensionDialog* SettingsWindow::addExtensionDialog() {
  if (addExtensionDialog_ == nullptr) addExtensionDialog_ = new ExtensionDialog(*this, images_, this);
  return addExtensionDialog_;
}

void SettingsWindow::onAddExtension() { addExtensionDialog()->exec(); }

void SettingsWindow::onDeleteExtensions() { deleteListItems(extensionList_); }

void SettingsWindow::onDeleteFolders() { deleteListItems(folderList_); }

void SettingsWindow::onAddFolder() {
  const std::string initial = platform_.environment.systemDriveRoot().valueOr(
      platform_.environment.pathStyle() == PathStyle::Windows ? "c:\\" : "/");
  QString chosen = dialogs_.browseForFolder(this, fromBytes(kExcludeFolderTitle),
                                            QFile::decodeName(QByteArray::fromStdString(initial)), false);
  const PathStyle style = platform_.environment.pathStyle();
  // Qt names Windows folders with "/"; the options hold the platform's own separator.
  if (style == PathStyle::Windows) chosen.replace(QLatin1Char('/'), QLatin1Char('\\'));
  const QByteArray encoded = QFile::encodeName(chosen);
  std::optional<std::string> path =
      excludedFolderToAdd(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())),
                          folderModel_->entries(), style);
  if (path) folderModel_->append({std::move(*path)});
}

void SettingsWindow::onEventDoubleClicked() { eventModel_->toggle(firstSelectedRow(eventList_)); }

void SettingsWindow::onExcludedFolderDoubleClicked() {
  const int row = firstSelectedRow(folderList_);
  if (row < 0) return;
  platform_.shell.open(folderModel_->entries()[static_cast<std::size_t>(row)]);
}

void SettingsWindow::markMissingFolders() { folderModel_->refreshLooks(); }

}  // namespace tw
