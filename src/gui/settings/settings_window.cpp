#include "gui/settings/settings_window.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>

#include "core/events/event_kinds.h"
#include "core/settings/extensions.h"
#include "core/settings/settings_file.h"
#include "core/text/text_lines.h"
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
const QColor kRowBlack(0, 0, 0);
const QColor kRowRed(255, 0, 0);

// Row height of the report-style lists: a 16-pixel image and a 9-point line.
constexpr int kListRowHeight = 19;
// Column widths of the drive list.
constexpr int kDriveColumnWidths[3] = {100, 90, 205};

QString fromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string captionOf(const QTableWidgetItem* item) {
  if (item == nullptr) return {};
  const QByteArray bytes = item->data(kCaptionBytesRole).toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A report-style list: no headers, grid lines, whole rows selected, several at a time,
// read-only, 16-pixel images.
QTableWidget* makeList(QWidget* parent, int columns, const QRect& geometry) {
  auto* list = new QTableWidget(0, columns, parent);
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
  return list;
}

QTableWidgetItem* captionItem(const std::string& caption) {
  auto* item = new QTableWidgetItem(fromBytes(caption));
  item->setData(kCaptionBytesRole, QByteArray(caption.data(), static_cast<qsizetype>(caption.size())));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

int firstSelectedRow(const QTableWidget* list) {
  int first = -1;
  for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
    if (first < 0 || index.row() < first) first = index.row();
  }
  return first;
}

bool isBlankText(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0x20; });
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

UsageBarPlace usageBarPlace(int rowLeft, int rowTop, int rowHeight, int leadingColumnsWidth,
                            int lastColumnWidth) {
  const int left = rowLeft + leadingColumnsWidth + 4;
  return {left, rowTop + 2, lastColumnWidth - 8, rowHeight - 6};
}

int usedPercentage(std::int64_t total, std::int64_t free) {
  if (total <= 0) return 0;
  // 128-bit product: a volume of more than 92 PB must not overflow the multiplication.
  const __int128 used = static_cast<__int128>(total) - free;
  return static_cast<int>(used * 100 / total);
}

// `ListDrives` and `lstevents`: a check box in the first column of each row.
class SettingsWindow::TableCheckList : public EventCheckList {
 public:
  TableCheckList(QTableWidget* list, std::function<void(QTableWidgetItem*, int imageIndex)> decorate)
      : list(list), decorate(std::move(decorate)) {}

  int rowCount() const override { return list->rowCount(); }
  std::string caption(int row) const override { return captionOf(list->item(row, 0)); }
  bool isChecked(int row) const override {
    const QTableWidgetItem* item = list->item(row, 0);
    return item != nullptr && item->checkState() == Qt::Checked;
  }
  void clearRows() override { list->setRowCount(0); }
  void addRow(const std::string& caption, bool checked, int imageIndex) override {
    QTableWidgetItem* item = captionItem(caption);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    decorate(item, imageIndex);
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, item);
  }

 private:
  QTableWidget* list;
  std::function<void(QTableWidgetItem*, int)> decorate;
};

// `lstext` and `lstpath`: caption with a system icon, and in lstext the type description.
class SettingsWindow::TableFilterList : public FilterList {
 public:
  TableFilterList(QTableWidget* list, SystemIcons& icons, std::function<void(int row)> added)
      : list(list), icons(icons), added(std::move(added)) {}

  int rowCount() const override { return list->rowCount(); }
  std::string caption(int row) const override { return captionOf(list->item(row, 0)); }
  void clearRows() override { list->setRowCount(0); }
  void addRow(const std::string& caption, const std::string& detail, int imageIndex) override {
    QTableWidgetItem* item = captionItem(caption);
    item->setIcon(icons.icon(imageIndex));
    item->setData(kImageIndexRole, imageIndex);
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, item);
    if (list->columnCount() > 1) {
      auto* second = new QTableWidgetItem(fromBytes(detail));
      second->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      list->setItem(row, 1, second);
    }
    if (added) added(row);
  }

 private:
  QTableWidget* list;
  SystemIcons& icons;
  std::function<void(int)> added;
};

class SettingsWindow::QtCheckBox : public CheckBox {
 public:
  explicit QtCheckBox(QCheckBox* box) : box(box) {}
  bool isChecked() const override { return box->isChecked(); }
  void setChecked(bool checked) override { box->setChecked(checked); }

 private:
  QCheckBox* box;
};

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

  img16_ = new ImageList(this);
  fillImageList(*img16_, QStringLiteral(":/img/settings"), kSettingsImageCount);

  // Navigation tree: each node keeps its image index, which decides what a click does.
  auto* tree = new NavigationTree(this);
  tree_ = tree;
  tree_->setGeometry(4, 4, 189, 321);
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->setIndentation(19);
  tree_->setIconSize(QSize(16, 16));
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  auto node = [this](QTreeWidgetItem* parentNode, const QString& text, int image) {
    auto* item = parentNode != nullptr ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(tree_);
    item->setText(0, text);
    item->setIcon(0, QIcon(settingsImage(image)));
    item->setData(0, kImageIndexRole, image);
    return item;
  };
  node(nullptr, QStringLiteral("General Settings"), kImgGear);
  node(nullptr, QStringLiteral("Drives to Monitor"), kImgDrive);
  QTreeWidgetItem* filters = node(nullptr, QStringLiteral("Filters Manager"), kImgFilters);
  node(filters, QStringLiteral("Extension and Folders"), kImgFolders);
  node(filters, QStringLiteral("Events Filters"), kImgEvents);
  node(nullptr, QStringLiteral("About"), kImgAbout);
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
  cAutoCapture_ = option(QStringLiteral("Automatically start the capture on program startup."), 8);
  cTray_ = option(QStringLiteral("Minimize application to tray on close."), 26);
  cautoclean_ = option(QStringLiteral("Clean Tree / List when you decide to stop record."), 44);
  cautoclean_->setChecked(true);

  // p2: Drives to Monitor.
  heading(drivesPage(), QStringLiteral("Select Drives to Monitor (default capture all)"), 8, 8);
  listDrives_ = makeList(drivesPage(), 3, QRect(8, 29, 408, 284));
  for (int c = 0; c < 3; ++c) listDrives_->setColumnWidth(c, kDriveColumnWidths[c]);
  lockNote(drivesPage(), QStringLiteral("You can't change drive to Monitor while recording."));
  connect(listDrives_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeUsageBars(); });
  connect(listDrives_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeUsageBars(); });

  // P3: Extension and Folders.
  auto toolButton = [&](int x, int y, int image) {
    auto* button = new ToolButton(filtersPage());
    button->setGeometry(x, y, 22, 22);
    button->setImages(img16_);
    button->setImageIndex(image);
    return button;
  };
  heading(filtersPage(), QStringLiteral("Only capture the following extensions (default capture all) :"), 8,
          8);
  lstext_ = makeList(filtersPage(), 2, QRect(8, 29, 385, 124));
  lstext_->setColumnWidth(0, 100);
  lstext_->horizontalHeader()->setStretchLastSection(true);
  tbAddExt_ = toolButton(397, 29, kImgAdd);
  tbDeleteExt_ = toolButton(397, 55, kImgDelete);
  heading(filtersPage(), QStringLiteral("Do not capture following paths :"), 8, 159);
  lstpath_ = makeList(filtersPage(), 1, QRect(8, 180, 385, 133));
  lstpath_->horizontalHeader()->setStretchLastSection(true);
  tbAddPath_ = toolButton(397, 180, kImgAdd);
  tbDelPath_ = toolButton(397, 206, kImgDelete);
  lockNote(filtersPage(), QStringLiteral("You can't change filters while recording."));
  connect(tbAddExt_, &ToolButton::clicked, this, &SettingsWindow::onAddExtension);
  connect(tbDeleteExt_, &ToolButton::clicked, this, &SettingsWindow::onDeleteExtensions);
  connect(tbAddPath_, &ToolButton::clicked, this, &SettingsWindow::onAddFolder);
  connect(tbDelPath_, &ToolButton::clicked, this, &SettingsWindow::onDeleteFolders);
  connect(lstpath_, &QTableWidget::doubleClicked, this, &SettingsWindow::onExcludedFolderDoubleClicked);

  // P4: Events Filters.
  heading(eventsPage(), QStringLiteral("Select Events you need to capture (Default capture all)"), 8, 8);
  lstevents_ = makeList(eventsPage(), 1, QRect(8, 29, 408, 284));
  lstevents_->horizontalHeader()->setStretchLastSection(true);
  lockNote(eventsPage(), QStringLiteral("You can't change events status while recording."));
  connect(lstevents_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!updatingEvents_ && item->column() == 0) lsteventsItemChecked(item->row());
  });
  connect(lstevents_, &QTableWidget::doubleClicked, this, &SettingsWindow::onEventDoubleClicked);

  drivesAdapter_ = std::make_unique<TableCheckList>(listDrives_, [this](QTableWidgetItem* item, int image) {
    item->setIcon(icons_.icon(image));
    item->setData(kImageIndexRole, image);
  });
  eventsAdapter_ = std::make_unique<TableCheckList>(lstevents_, [this](QTableWidgetItem* item, int image) {
    item->setIcon(QIcon(settingsImage(image)));
    item->setData(kImageIndexRole, image);
    item->setForeground(item->checkState() == Qt::Checked ? kRowBlack : kRowRed);
  });
  extAdapter_ = std::make_unique<TableFilterList>(lstext_, icons_, nullptr);
  pathAdapter_ = std::make_unique<TableFilterList>(lstpath_, icons_, [this](int row) { markPathRow(row); });
  autocleanAdapter_ = std::make_unique<QtCheckBox>(cautoclean_);
  autoCaptureAdapter_ = std::make_unique<QtCheckBox>(cAutoCapture_);
  trayAdapter_ = std::make_unique<QtCheckBox>(cTray_);

  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &SettingsWindow::markMissingFolders);

  // The General page shows until the user clicks a node.
  showPage(generalPage());
  restoreAtCreation();
}

SettingsWindow::~SettingsWindow() {
  // The child widgets outlive this class's members: cut their connections to the window first,
  // so that nothing they signal while being destroyed reaches a member already gone.
  timer_.stop();
  for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
  static_cast<NavigationTree*>(tree_)->onClick = nullptr;
}

CheckList& SettingsWindow::ListDrives() { return *drivesAdapter_; }
EventCheckList& SettingsWindow::lstevents() { return *eventsAdapter_; }
FilterList& SettingsWindow::lstext() { return *extAdapter_; }
FilterList& SettingsWindow::lstpath() { return *pathAdapter_; }
CheckBox& SettingsWindow::cautoclean() { return *autocleanAdapter_; }
CheckBox& SettingsWindow::cAutoCapture() { return *autoCaptureAdapter_; }
CheckBox& SettingsWindow::cTray() { return *trayAdapter_; }

QPixmap SettingsWindow::settingsImage(int index) const { return img16_->image(index); }

void SettingsWindow::restoreAtCreation() {
  tree_->expandAll();
  restoreSettings(*this, platform_.profiles, platform_.icons, iniFile_);
}

void SettingsWindow::startMissingFolderTimer() { timer_.start(); }

void SettingsWindow::saveOnHide() {
  timer_.stop();
  try {
    saveSettings(*this, platform_.profiles, platform_.icons, iniFile_);
  } catch (const std::exception& error) {
    // The save has already restored the controls from the file; the user learns why the file
    // does not hold them.
    if (onSaveError) {
      onSaveError(error);
    } else {
      dialogs_.message(parentWidget(), QStringLiteral("Tarnwatch"), QString::fromUtf8(error.what()),
                       MessageIcon::Error);
    }
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
  switch (selected.constFirst()->data(0, kImageIndexRole).toInt()) {
    case kImgGear:
      showPage(generalPage());
      break;
    case kImgDrive:
      for (GradientPanel* p : pages_) p->hide();
      refreshDrives();
      drivesPage()->show();
      break;
    case kImgFolders:
      showPage(filtersPage());
      break;
    case kImgEvents:
      showPage(eventsPage());
      break;
    case kImgAbout:
      if (onAbout) onAbout();
      break;
    default:
      break;  // Filters Manager: a heading only
  }
}

void SettingsWindow::refreshDrives() {
  listDrives_->setRowCount(0);
  for (ProgressBar* bar : usageBars_) delete bar;
  usageBars_.clear();

  for (const std::string& root : recordableDriveRoots(platform_.drives)) {
    auto* bar = new ProgressBar(listDrives_->viewport());
    bar->setMin(0);
    bar->setMax(100);
    bar->setColor(kUsageGreen);
    bar->setMarquee(false);

    drivesAdapter_->addRow(root, true, platform_.icons.fileTypeIcon(root));
    const int row = listDrives_->rowCount() - 1;
    auto* fileSystem =
        new QTableWidgetItem(fromBytes(platform_.drives.fileSystemName(root).valueOr(std::string())));
    fileSystem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    listDrives_->setItem(row, 1, fileSystem);

    // A volume whose size cannot be read (a drive without a medium) shows 0 %.
    const auto space = platform_.drives.diskSpace(root);
    const int percent = space ? usedPercentage(space->total, space->freeToCaller) : 0;
    bar->setMax(100);
    bar->setPosition(percent);
    if (percent > 89) bar->setColor(kUsageRed);
    bar->show();
    usageBars_.push_back(bar);
  }
  placeUsageBars();
}

void SettingsWindow::placeUsageBars() {
  const int leading = listDrives_->columnWidth(0) + listDrives_->columnWidth(1);
  const int rowLeft = listDrives_->columnViewportPosition(0);
  for (std::size_t i = 0; i < usageBars_.size(); ++i) {
    const int row = static_cast<int>(i);
    const UsageBarPlace place =
        usageBarPlace(rowLeft, listDrives_->rowViewportPosition(row), listDrives_->rowHeight(row), leading,
                      listDrives_->columnWidth(2));
    usageBars_[i]->setGeometry(place.left, place.top, place.width, place.height);
  }
}

void SettingsWindow::setRecordMode(bool b) {
  for (QTableWidget* list : {listDrives_, lstpath_, lstext_, lstevents_}) list->setEnabled(!b);
  for (QLabel* picture : lockPictures_) picture->setVisible(b);
  for (ActiveLabel* label : lockLabels_) label->setVisible(b);
  for (ToolButton* button : {tbAddPath_, tbDelPath_, tbAddExt_, tbDeleteExt_}) button->setEnabled(!b);
  tbAddPath_->setImageIndex(b ? kImgAddLocked : kImgAdd);
  tbAddExt_->setImageIndex(b ? kImgAddLocked : kImgAdd);
  tbDelPath_->setImageIndex(b ? kImgDeleteLocked : kImgDelete);
  tbDeleteExt_->setImageIndex(b ? kImgDeleteLocked : kImgDelete);
  const int listHeight = drivesPage()->height() - (b ? 55 : 37);
  listDrives_->resize(listDrives_->width(), listHeight);
  lstevents_->resize(lstevents_->width(), listHeight);
  lstpath_->resize(lstpath_->width(), b ? 115 : 133);
}

void SettingsWindow::addExtensions(const std::string& str) {
  tw::addExtensions(*extAdapter_, platform_.icons, str);
}

void SettingsWindow::deleteListItems(QTableWidget* lst) {
  if (lst == nullptr) return;
  QModelIndexList rows = lst->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    dialogs_.message(this, QStringLiteral("No Selected Items"),
                     QStringLiteral("You must at least select one item to use this!"), MessageIcon::Error);
    return;
  }
  if (!dialogs_.askYesNo(this, QStringLiteral("Remove extensions"),
                         QStringLiteral("You are about to remove extensions filter(s), Are you sure?")))
    return;
  // The selection as it is now (a modal question may have run an event loop).
  rows = lst->selectionModel()->selectedRows();
  std::vector<int> numbers;
  for (const QModelIndex& index : rows) numbers.push_back(index.row());
  std::sort(numbers.rbegin(), numbers.rend());
  for (int row : numbers) lst->removeRow(row);
}

ExtensionDialog* SettingsWindow::addExtensionDialog() {
  if (addExtensionDialog_ == nullptr) addExtensionDialog_ = new ExtensionDialog(*this, img16_, this);
  return addExtensionDialog_;
}

void SettingsWindow::onAddExtension() { addExtensionDialog()->exec(); }

void SettingsWindow::onDeleteExtensions() { deleteListItems(lstext_); }

void SettingsWindow::onDeleteFolders() { deleteListItems(lstpath_); }

void SettingsWindow::onAddFolder() {
  const std::string initial = platform_.environment.systemDriveRoot().valueOr(
      platform_.environment.pathStyle() == PathStyle::Windows ? "c:\\" : "/");
  QString chosen = dialogs_.browseForFolder(this, QStringLiteral("Select path to exclude from capture"),
                                            QFile::decodeName(QByteArray::fromStdString(initial)), false);
  if (isBlankText(chosen)) return;  // cancelled, or an item without a file-system path
  const PathStyle style = platform_.environment.pathStyle();
  // Qt names Windows folders with "/"; the lists hold the platform's own separator.
  if (style == PathStyle::Windows) chosen.replace(QLatin1Char('/'), QLatin1Char('\\'));
  const QByteArray encoded = QFile::encodeName(chosen);
  std::string path(encoded.constData(), static_cast<std::size_t>(encoded.size()));
  if (path.back() != pathSeparator(style)) path.push_back(pathSeparator(style));
  if (isInListView(path, *pathAdapter_)) return;
  pathAdapter_->addRow(path, std::string(), platform_.icons.pathIcon(path));
}

void SettingsWindow::lsteventsItemChecked(int row) {
  QTableWidgetItem* item = lstevents_->item(row, 0);
  if (item == nullptr) return;
  const bool checked = item->checkState() == Qt::Checked;
  const int image = checked ? kEventImageCaptured : kEventImageNotCaptured;
  updatingEvents_ = true;  // the changes below report item changes of their own
  item->setIcon(QIcon(settingsImage(image)));
  item->setData(kImageIndexRole, image);
  item->setForeground(checked ? kRowBlack : kRowRed);
  updatingEvents_ = false;
}

void SettingsWindow::onEventDoubleClicked() {
  const int row = firstSelectedRow(lstevents_);
  if (row < 0) return;
  QTableWidgetItem* item = lstevents_->item(row, 0);
  if (item == nullptr) return;
  item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void SettingsWindow::onExcludedFolderDoubleClicked() {
  const int row = firstSelectedRow(lstpath_);
  if (row < 0) return;
  platform_.shell.open(captionOf(lstpath_->item(row, 0)));
}

void SettingsWindow::markPathRow(int row) {
  QTableWidgetItem* item = lstpath_->item(row, 0);
  if (item == nullptr) return;
  const bool exists = platform_.icons.pathIcon(captionOf(item)) != 0;
  const QColor colour = exists ? kRowBlack : kRowRed;
  if (item->foreground().color() != colour || item->foreground().style() == Qt::NoBrush)
    item->setForeground(colour);
}

void SettingsWindow::markMissingFolders() {
  if (lstpath_->rowCount() == 0) return;
  for (int row = 0; row < lstpath_->rowCount(); ++row) markPathRow(row);
  lstpath_->viewport()->update();
}

}  // namespace tw
