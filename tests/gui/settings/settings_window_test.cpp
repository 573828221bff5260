// The settings window, the extension entry dialog and the folder picker, offscreen, over the
// scripted platform and dialogs that answer in place of the user.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/settings/base64.h"
#include "core/settings/exclusions.h"
#include "core/text/text_lines.h"
#include "core/ui/texts.h"
#include "gui/controls/active_label.h"
#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"
#include "gui/controls/svg_images.h"
#include "gui/main/dialogs.h"
#include "gui/main/main_window.h"
#include "gui/main/system_icons.h"
#include "gui/settings/extension_dialog.h"
#include "gui/settings/settings_window.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

constexpr const char* kIni = "/opt/tarnwatch/config.ini";

// Answers the program's dialogs in place of the user and records what was asked.
class FakeDialogs : public Dialogs {
 public:
  struct Shown {
    QString title, text;
    MessageIcon icon;
  };
  struct Browse {
    QString title, initial;
    bool allowNewFolder;
  };
  std::vector<Shown> messages;
  std::vector<Shown> questions;
  std::vector<Browse> browses;
  bool answerYes = true;
  QString folder;  // what the folder picker returns

  void message(QWidget*, const QString& title, const QString& text, MessageIcon icon) override {
    messages.push_back({title, text, icon});
  }
  bool askYesNo(QWidget*, const QString& title, const QString& text) override {
    questions.push_back({title, text, MessageIcon::Question});
    return answerYes;
  }
  bool askTask(QWidget*, const QString&, const QString&, const QString&) override { return false; }
  std::optional<QString> saveFileName(QWidget*, const QString&) override { return std::nullopt; }
  QString browseForFolder(QWidget*, const QString& title, const QString& initial,
                          bool allowNewFolder) override {
    browses.push_back({title, initial, allowNewFolder});
    return folder;
  }
};

std::string captionAt(const QAbstractItemModel* model, int row) {
  return model->data(model->index(row, 0), kCaptionBytesRole).toByteArray().toStdString();
}

std::vector<std::string> captionsOf(const QAbstractItemModel* model) {
  std::vector<std::string> out;
  for (int row = 0; row < model->rowCount(); ++row) out.push_back(captionAt(model, row));
  return out;
}
std::vector<std::string> captionsOf(const QAbstractItemView* list) { return captionsOf(list->model()); }

int imageOf(const QAbstractItemModel* model, int row) {
  return model->data(model->index(row, 0), kImageIndexRole).toInt();
}
int imageOf(const QAbstractItemView* list, int row) { return imageOf(list->model(), row); }

QColor colourOf(const QAbstractItemModel* model, int row) {
  return model->data(model->index(row, 0), Qt::ForegroundRole).value<QBrush>().color();
}

bool checkedAt(const QAbstractItemModel* model, int row) {
  return model->data(model->index(row, 0), Qt::CheckStateRole).toInt() == Qt::Checked;
}

std::string driveCaption(const QTableWidget* list, int row) {
  return list->item(row, 0)->data(kCaptionBytesRole).toByteArray().toStdString();
}

// Counts the pixels of `area` in `picture` that `pick` accepts.
template <typename Pick>
int countPixels(const QImage& picture, const QRect& area, Pick pick) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (pick(picture.pixelColor(x, y))) ++n;
  return n;
}
// A double click as the user makes it: press, release, the double click, release.
void doubleClick(QWidget* widget, QPoint pos) {
  QTest::mousePress(widget, Qt::LeftButton, {}, pos);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

bool reddish(const QColor& c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; }
bool darkGrey(const QColor& c) { return c.red() < 110 && c.green() < 110 && c.blue() < 110; }

class SettingsWindowTest : public ::testing::Test {
 protected:
  SettingsWindowTest() {
    platform.systemRoot = std::string("/srv/");
    platform.driveTable = {{"/", DriveType::Fixed},
                           {"/media/usb/", DriveType::Removable},
                           {"/mnt/share/", DriveType::Remote},
                           {"/media/cdrom/", DriveType::CdRom}};
    platform.fileSystems = {{"/", std::string("ext4")}, {"/media/usb/", std::string("vfat")}};
    platform.spaces = {{"/", DiskSpace{1000, 500}}, {"/media/usb/", DiskSpace{2000, 2000}}};
    platform.typeIcons = {{".exe", 5}, {".bat", 6}, {".com", 7}, {".scr", 8}, {".pif", 9}};
    platform.typeDescriptions = {{".exe", "Application"}};
  }
  ~SettingsWindowTest() override { window.reset(); }

  SettingsWindow& open() {
    window = std::make_unique<SettingsWindow>(platform.parts(), icons, dialogs, kIni);
    return *window;
  }
  SettingsWindow& openShown() {
    open().show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
  }

  QTreeWidgetItem* node(const QString& text) {
    const QList<QTreeWidgetItem*> found =
        window->navigationTree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.constFirst();
  }
  void clickNode(const QString& text) {
    QTreeWidgetItem* item = node(text);
    ASSERT_NE(item, nullptr) << text.toStdString();
    QTest::mouseClick(window->navigationTree()->viewport(), Qt::LeftButton, {},
                      window->navigationTree()->visualItemRect(item).center());
  }
  void selectRows(QAbstractItemView* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows)
      list->selectionModel()->select(list->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  FakePlatform platform{PathStyle::Posix};
  SystemIcons icons{platform};
  FakeDialogs dialogs;
  std::unique_ptr<SettingsWindow> window;
};

// --- Window, tree and pages ---------------------------------------------------------------

TEST_F(SettingsWindowTest, FirstOpenShowsTheGeneralPageWithNoNodeSelected) {
  SettingsWindow& w = openShown();
  EXPECT_EQ(w.windowTitle(), "Settings");
  EXPECT_EQ(w.size(), QSize(627, 329));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(w.shownPage(), w.generalPage());
  EXPECT_TRUE(w.navigationTree()->selectedItems().isEmpty());

  // Six nodes, in order, with their images; the tree expanded in full.
  const std::vector<std::pair<QString, int>> nodes = {{"General Settings", 0}, {"Drives to Monitor", 1},
                                                      {"Filters Manager", 2},  {"Extension and Folders", 9},
                                                      {"Events Filters", 10},  {"About", 3}};
  std::vector<std::pair<QString, int>> seen;
  for (QTreeWidgetItemIterator it(w.navigationTree()); *it; ++it)
    seen.emplace_back((*it)->text(0), (*it)->data(0, kImageIndexRole).toInt());
  EXPECT_EQ(seen, nodes);
  EXPECT_TRUE(node("Filters Manager")->isExpanded());
  EXPECT_EQ(node("Events Filters")->parent(), node("Filters Manager"));

  // No settings file: the defaults, every event kind checked with the tick.
  EXPECT_FALSE(w.autoCaptureBox()->isChecked());
  EXPECT_FALSE(w.trayBox()->isChecked());
  EXPECT_TRUE(w.autoCleanBox()->isChecked());
  ASSERT_EQ(w.eventModel()->rowCount(), static_cast<int>(eventNames().size()));
  for (int row = 0; row < w.eventModel()->rowCount(); ++row) {
    EXPECT_EQ(captionAt(w.eventModel(), row), eventNames()[static_cast<std::size_t>(row)]);
    EXPECT_TRUE(checkedAt(w.eventModel(), row));
    EXPECT_EQ(imageOf(w.eventList(), row), kImgEventOn);
  }
  EXPECT_EQ(w.driveList()->rowCount(), 0);  // filled when the page is opened
}

TEST_F(SettingsWindowTest, EveryControlAtItsPlaceAndSize) {
  SettingsWindow& w = open();
  const std::vector<std::pair<QWidget*, QRect>> places = {
      {w.navigationTree(), {4, 4, 189, 321}},
      {w.generalPage(), {199, 4, 424, 321}},
      {w.drivesPage(), {199, 4, 424, 321}},
      {w.filtersPage(), {199, 4, 424, 321}},
      {w.eventsPage(), {199, 4, 424, 321}},
      {w.autoCaptureBox(), {8, 8, 321, 17}},
      {w.trayBox(), {8, 26, 321, 17}},
      {w.autoCleanBox(), {8, 44, 321, 17}},
      {w.driveList(), {8, 29, 408, 284}},
      {w.extensionList(), {8, 29, 385, 124}},
      {w.addExtensionButton(), {397, 29, 22, 22}},
      {w.deleteExtensionButton(), {397, 55, 22, 22}},
      {w.excludedFolderList(), {8, 180, 385, 133}},
      {w.addFolderButton(), {397, 180, 22, 22}},
      {w.deleteFolderButton(), {397, 206, 22, 22}},
      {w.eventList(), {8, 29, 408, 284}},
  };
  for (const auto& [widget, rect] : places)
    EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();
  EXPECT_EQ(w.autoCaptureBox()->text(), "Automatically start the capture on program startup.");
  EXPECT_EQ(w.trayBox()->text(), "Minimize application to tray on close.");
  EXPECT_EQ(w.autoCleanBox()->text(), "Clean Tree / List when you decide to stop record.");
  EXPECT_EQ(w.navigationTree()->indentation(), 19);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(w.driveList()->columnWidth(c), std::vector<int>({100, 90, 205})[c]);
  EXPECT_EQ(w.extensionList()->columnWidth(0), 100);
  EXPECT_EQ(w.addExtensionButton()->imageIndex(), kImgAdd);
  EXPECT_EQ(w.deleteExtensionButton()->imageIndex(), kImgDelete);

  const std::vector<std::pair<GradientPanel*, QString>> headings = {
      {w.drivesPage(), "Select Drives to Monitor (default capture all)"},
      {w.filtersPage(), "Only capture the following extensions (default capture all) :"},
      {w.filtersPage(), "Do not capture following paths :"},
      {w.eventsPage(), "Select Events you need to capture (Default capture all)"}};
  for (const auto& [page, text] : headings) {
    bool found = false;
    for (ActiveLabel* label : page->findChildren<ActiveLabel*>())
      found = found || (label->text() == text && label->pos().x() == 8);
    EXPECT_TRUE(found) << text.toStdString();
  }
  const QStringList notes = {"You can't change drive to Monitor while recording.",
                             "You can't change filters while recording.",
                             "You can't change events status while recording."};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(w.lockLabel(i)->text(), notes[i]);
    EXPECT_EQ(w.lockLabel(i)->pos(), QPoint(24, 299));
    EXPECT_EQ(w.lockPicture(i)->geometry(), QRect(8, 300, 16, 16));
    EXPECT_FALSE(w.lockPicture(i)->pixmap().isNull());
    EXPECT_TRUE(w.lockLabel(i)->isHidden());
  }
}

TEST_F(SettingsWindowTest, MouseClicksSwitchPagesByWhatTheNodeStandsFor) {
  SettingsWindow& w = openShown();
  int abouts = 0;
  w.onAbout = [&] { ++abouts; };

  struct Step {
    QString node;
    GradientPanel* page;
  };
  const std::vector<Step> steps = {
      {"Drives to Monitor", w.drivesPage()},      {"Filters Manager", w.drivesPage()},
      {"Extension and Folders", w.filtersPage()}, {"About", w.filtersPage()},
      {"Events Filters", w.eventsPage()},         {"General Settings", w.generalPage()}};
  for (const Step& step : steps) {
    clickNode(step.node);
    EXPECT_EQ(w.shownPage(), step.page) << step.node.toStdString();
    int visible = 0;
    for (GradientPanel* page : {w.generalPage(), w.drivesPage(), w.filtersPage(), w.eventsPage()})
      visible += page->isHidden() ? 0 : 1;
    EXPECT_EQ(visible, 1);
  }
  EXPECT_EQ(abouts, 1);
  EXPECT_EQ(w.driveList()->rowCount(), 2);

  // What the node stands for decides, not its picture and not its text.
  node("General Settings")->setData(0, kImageIndexRole, kImgEvents);
  clickNode("General Settings");
  EXPECT_EQ(w.shownPage(), w.generalPage());
  node("General Settings")->setData(0, kNavigationTargetRole, static_cast<int>(NavigationTarget::EventsPage));
  clickNode("General Settings");
  EXPECT_EQ(w.shownPage(), w.eventsPage());
}

TEST_F(SettingsWindowTest, KeyboardMovesSwitchNothingUntilTheNextMouseClick) {
  SettingsWindow& w = openShown();
  clickNode("General Settings");
  w.navigationTree()->setFocus();
  QTest::keyClick(w.navigationTree(), Qt::Key_Down);
  QTest::keyClick(w.navigationTree(), Qt::Key_Down);
  QTest::keyClick(w.navigationTree(), Qt::Key_Down);
  ASSERT_EQ(w.navigationTree()->selectedItems().size(), 1);
  EXPECT_EQ(w.navigationTree()->selectedItems().constFirst()->text(0), "Extension and Folders");
  EXPECT_EQ(w.shownPage(), w.generalPage());
  QTest::keyClick(w.navigationTree(), Qt::Key_Up);
  QTest::keyClick(w.navigationTree(), Qt::Key_Up);
  EXPECT_EQ(w.shownPage(), w.generalPage());
  EXPECT_EQ(w.driveList()->rowCount(), 0);

  // A click below the last node acts on the node selected then (Drives to Monitor).
  const QRect last = w.navigationTree()->visualItemRect(node("About"));
  QTest::mouseClick(w.navigationTree()->viewport(), Qt::LeftButton, {},
                    QPoint(last.center().x(), last.bottom() + 40));
  EXPECT_EQ(w.shownPage(), w.drivesPage());
  EXPECT_EQ(w.driveList()->rowCount(), 2);
}

// --- Drive list --------------------------------------------------------------------------

TEST_F(SettingsWindowTest, EachRefillLeavesOneCheckedRowAndOneBarPerDrive) {
  SettingsWindow& w = openShown();
  clickNode("Drives to Monitor");
  w.driveList()->item(1, 0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(w.editedOptions().skippedDrives, std::vector<std::string>{"/media/usb/"});
  EXPECT_TRUE(w.options().skippedDrives.empty()) << "the saved value changes when the window is hidden";
  clickNode("Drives to Monitor");

  QTableWidget* list = w.driveList();
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(driveCaption(list, 0), "/");
  EXPECT_EQ(driveCaption(list, 1), "/media/usb/");
  for (int row = 0; row < 2; ++row) EXPECT_EQ(list->item(row, 0)->checkState(), Qt::Checked) << row;
  EXPECT_TRUE(w.editedOptions().skippedDrives.empty());
  EXPECT_EQ(list->item(0, 1)->text(), "ext4");
  EXPECT_EQ(list->item(1, 1)->text(), "vfat");
  EXPECT_EQ(w.usageBars().size(), 2u);
  EXPECT_EQ(list->viewport()->findChildren<ProgressBar*>().size(), 2);
  EXPECT_EQ(w.usageBars()[0]->position(), 50);
  EXPECT_EQ(w.usageBars()[1]->position(), 0);
  for (int row = 0; row < 2; ++row) {
    ProgressBar* bar = w.usageBars()[static_cast<std::size_t>(row)];
    EXPECT_TRUE(bar->isVisible());
    const UsageBarPlace place = usageBarPlace(list->columnViewportPosition(0), list->rowViewportPosition(row),
                                              list->rowHeight(row), 190, 205);
    EXPECT_EQ(bar->geometry(), QRect(place.left, place.top, place.width, place.height));
  }
}

TEST_F(SettingsWindowTest, UsageBarsTurnRedFromNinetyPercent) {
  platform.spaces = {{"/", DiskSpace{1000, 100}}, {"/media/usb/", DiskSpace{1000, 101}}};
  platform.driveTable.push_back({"/media/card/", DriveType::Removable});  // total reads 0
  SettingsWindow& w = open();
  w.refreshDrives();
  ASSERT_EQ(w.usageBars().size(), 3u);
  const Color red = rgb(255, 0, 0), green = rgb(0, 255, 0);
  EXPECT_EQ(w.usageBars()[0]->position(), 90);
  EXPECT_EQ(w.usageBars()[0]->color(), red);
  EXPECT_EQ(w.usageBars()[1]->position(), 89);
  EXPECT_EQ(w.usageBars()[1]->color(), green);
  EXPECT_EQ(w.usageBars()[2]->position(), 0);
  EXPECT_EQ(w.usageBars()[2]->color(), green);
  for (ProgressBar* bar : w.usageBars()) {
    EXPECT_EQ(bar->min(), 0);
    EXPECT_EQ(bar->max(), 100);
    EXPECT_FALSE(bar->marquee());
  }
}

// --- Filter lists ------------------------------------------------------------------------

TEST_F(SettingsWindowTest, DeletingWithNothingSelectedIsRefused) {
  SettingsWindow& w = open();
  w.addExtensions(".exe,.bat");
  for (ToolButton* button : {w.deleteExtensionButton(), w.deleteFolderButton()}) {
    dialogs.messages.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "No Selected Items");
    EXPECT_EQ(dialogs.messages[0].text, "You must at least select one item to use this!");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
  }
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(w.extensionModel()->rowCount(), 2);
}

TEST_F(SettingsWindowTest, DeletingAsksAndRemovesTheSelectedRowsOnYesOnly) {
  SettingsWindow& w = open();
  w.addExtensions(".exe,.bat,.com");
  w.excludedFolderModel()->append({"/a/", "/b/", "/c/"});

  for (QTableView* list : {w.extensionList(), w.excludedFolderList()}) {
    const std::vector<std::string> before = captionsOf(list);
    selectRows(list, {0, 2});
    dialogs.answerYes = false;
    dialogs.questions.clear();
    w.deleteListItems(list);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "Remove extensions");
    EXPECT_EQ(dialogs.questions[0].text, "You are about to remove extensions filter(s), Are you sure?");
    EXPECT_EQ(captionsOf(list), before);

    dialogs.answerYes = true;
    w.deleteListItems(list);
    EXPECT_EQ(captionsOf(list), std::vector<std::string>{before[1]});
  }
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(w.editedOptions().extensions, std::vector<std::string>{".bat"});
  EXPECT_EQ(w.editedOptions().excludedFolders, std::vector<std::string>{"/b/"});
}

// A selection of many separate rows of a long list (every third of 3,000) goes in one step.
TEST_F(SettingsWindowTest, DeletingManyScatteredRowsKeepsTheOthersInOrder) {
  SettingsWindow& w = open();
  std::vector<std::string> folders, kept;
  for (int i = 0; i < 3000; ++i) {
    folders.push_back("/f" + std::to_string(i) + "/");
    if (i % 3 != 0) kept.push_back(folders.back());
  }
  w.excludedFolderModel()->append(folders);
  QAbstractItemModelTester tester(w.excludedFolderModel(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  QItemSelection selection;
  for (int i = 0; i < 3000; i += 3) {
    const QModelIndex index = w.excludedFolderModel()->index(i, 0);
    selection.select(index, index);
  }
  w.excludedFolderList()->selectionModel()->select(selection,
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  w.deleteListItems(w.excludedFolderList());
  EXPECT_EQ(w.excludedFolderModel()->entries(), kept);
}

TEST_F(SettingsWindowTest, RecordModeLocksAndUnlocksTheCaptureChoices) {
  SettingsWindow& w = open();
  for (bool recording : {true, false, true, false}) {
    w.setRecordMode(recording);
    for (QWidget* list : {static_cast<QWidget*>(w.driveList()), static_cast<QWidget*>(w.excludedFolderList()),
                          static_cast<QWidget*>(w.extensionList()), static_cast<QWidget*>(w.eventList())})
      EXPECT_EQ(list->isEnabled(), !recording);
    for (ToolButton* button :
         {w.addFolderButton(), w.deleteFolderButton(), w.addExtensionButton(), w.deleteExtensionButton()})
      EXPECT_EQ(button->isEnabled(), !recording);
    EXPECT_EQ(w.addFolderButton()->imageIndex(), recording ? 6 : 4);
    EXPECT_EQ(w.addExtensionButton()->imageIndex(), recording ? 6 : 4);
    EXPECT_EQ(w.deleteFolderButton()->imageIndex(), recording ? 7 : 5);
    EXPECT_EQ(w.deleteExtensionButton()->imageIndex(), recording ? 7 : 5);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(w.lockPicture(i)->isHidden(), !recording);
      EXPECT_EQ(w.lockLabel(i)->isHidden(), !recording);
    }
    EXPECT_EQ(w.driveList()->height(), recording ? 266 : 284);
    EXPECT_EQ(w.eventList()->height(), recording ? 266 : 284);
    EXPECT_EQ(w.excludedFolderList()->height(), recording ? 115 : 133);
    // The general options are never locked.
    EXPECT_TRUE(w.autoCaptureBox()->isEnabled());
    EXPECT_TRUE(w.trayBox()->isEnabled());
    EXPECT_TRUE(w.autoCleanBox()->isEnabled());
  }
}

// --- Event checklist ---------------------------------------------------------------------

TEST_F(SettingsWindowTest, DoubleClickTurnsCheckImageAndColourOverTogether) {
  SettingsWindow& w = openShown();
  clickNode("Events Filters");
  QTableView* list = w.eventList();
  const QAbstractItemModel* model = list->model();
  const QRect row2 = list->visualRect(list->model()->index(2, 0));
  // The text part of the row, right of the check box and the image.
  const QRect text(row2.left() + 40, row2.top() + 2, 120, row2.height() - 4);
  // Unselected, so that the row shows its own text colour rather than the selection's.
  auto grab = [&] {
    list->clearSelection();
    return list->viewport()->grab().toImage();
  };
  const int redBefore = countPixels(grab(), text, reddish);
  EXPECT_GT(countPixels(grab(), text, darkGrey), 5);  // black text is drawn

  doubleClick(list->viewport(), text.center());
  EXPECT_FALSE(checkedAt(model, 2));
  EXPECT_FALSE(w.editedOptions().kinds.test(2));
  EXPECT_EQ(imageOf(list, 2), kImgEventOff);
  EXPECT_EQ(colourOf(model, 2), QColor(255, 0, 0));
  EXPECT_GT(countPixels(grab(), text, reddish), redBefore + 5);  // the text really turned red

  doubleClick(list->viewport(), text.center());
  EXPECT_TRUE(checkedAt(model, 2));
  EXPECT_EQ(imageOf(list, 2), kImgEventOn);
  EXPECT_EQ(colourOf(model, 2), QColor(0, 0, 0));

  // Any change of a check (here a click in the check box itself) sets image and colour.
  const QRect row5 = list->visualRect(model->index(5, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(row5.left() + 10, row5.center().y()));
  EXPECT_FALSE(checkedAt(model, 5));
  EXPECT_EQ(imageOf(list, 5), kImgEventOff);
  EXPECT_EQ(colourOf(model, 5), QColor(255, 0, 0));
  for (int row : {0, 1, 3, 4, 6}) EXPECT_TRUE(checkedAt(model, row)) << row;
  EXPECT_EQ(w.editedOptions().kinds, EventKindSet(allEventKinds()).reset(5));
}

TEST_F(SettingsWindowTest, DoubleClickWithNothingSelectedDoesNothing) {
  SettingsWindow& w = open();
  w.eventList()->clearSelection();
  w.onEventDoubleClicked();
  EXPECT_EQ(w.editedOptions().kinds, allEventKinds());
  w.onExcludedFolderDoubleClicked();
  EXPECT_TRUE(platform.opened().empty());
}

// --- Excluded paths ----------------------------------------------------------------------

TEST_F(SettingsWindowTest, ExcludedPathTurnsRedWithinASecondOfItsFolderGoing) {
  platform.objectIcons = {{"/data/logs/", 21}, {"/data/cache/", 22}};
  SettingsWindow& w = openShown();
  w.excludedFolderModel()->append({"/data/logs/", "/data/cache/", "/data/never/"});
  QTableView* list = w.excludedFolderList();
  const QAbstractItemModel* model = list->model();
  EXPECT_EQ(colourOf(model, 0), QColor(0, 0, 0));
  EXPECT_EQ(imageOf(model, 0), 21) << "the folder's own icon";
  EXPECT_EQ(colourOf(model, 2), QColor(255, 0, 0));
  EXPECT_TRUE(w.missingFolderTimer().isActive());
  EXPECT_EQ(w.missingFolderTimer().interval(), 1000);

  platform.objectIcons.erase("/data/logs/");
  EXPECT_TRUE(QTest::qWaitFor([&] { return colourOf(model, 0) == QColor(255, 0, 0); }, 2500));
  EXPECT_EQ(colourOf(model, 1), QColor(0, 0, 0));
  platform.objectIcons["/data/never/"] = 23;  // created while the window is open
  EXPECT_TRUE(QTest::qWaitFor([&] { return colourOf(model, 2) == QColor(0, 0, 0); }, 2500));
  EXPECT_EQ(imageOf(model, 2), 23);

  // Double-clicking the gone folder asks the desktop to open it; nothing else happens.
  doubleClick(list->viewport(), list->visualRect(list->model()->index(0, 0)).center());
  EXPECT_EQ(platform.opened(), std::vector<std::string>{"/data/logs/"});
  EXPECT_EQ(model->rowCount(), 3);

  w.hide();
  EXPECT_FALSE(w.missingFolderTimer().isActive());
}

TEST_F(SettingsWindowTest, FolderPickerAddsTheChosenFolderOnce) {
  platform.objectIcons = {{"/home/u/Temp/", 31}, {"/", 32}};
  SettingsWindow& w = open();

  struct Pick {
    QString answer;
    std::vector<std::string> rows;
  };
  const std::vector<Pick> picks = {
      {"/home/u/Temp", {"/home/u/Temp/"}},
      {"/home/u/Temp", {"/home/u/Temp/"}},   // again
      {"/HOME/U/temp/", {"/home/u/Temp/"}},  // in other case
      {"", {"/home/u/Temp/"}},               // cancelled
      {"   ", {"/home/u/Temp/"}},            // blank
      {"/", {"/home/u/Temp/", "/"}},         // a root keeps its one separator
      {"/home/u/Temp/inner", {"/home/u/Temp/", "/", "/home/u/Temp/inner/"}},
  };
  for (const Pick& pick : picks) {
    dialogs.folder = pick.answer;
    QTest::mouseClick(w.addFolderButton(), Qt::LeftButton);
    EXPECT_EQ(captionsOf(w.excludedFolderList()), pick.rows) << pick.answer.toStdString();
  }
  ASSERT_EQ(dialogs.browses.size(), picks.size());
  for (const auto& browse : dialogs.browses) {
    EXPECT_EQ(browse.title, "Select path to exclude from capture");
    EXPECT_EQ(browse.initial, "/srv/");
    EXPECT_FALSE(browse.allowNewFolder);
  }
  EXPECT_EQ(imageOf(w.excludedFolderList(), 0), 31);
  EXPECT_EQ(imageOf(w.excludedFolderList(), 1), 32);
}

TEST_F(SettingsWindowTest, FolderPickerOnWindowsPathsUsesBackslashes) {
  platform.style = PathStyle::Windows;
  platform.systemRoot = std::nullopt;  // the query fails: "c:\"
  SettingsWindow& w = open();
  for (const QString& answer : {QString("C:/Temp"), QString("c:\\temp\\"), QString("D:/")}) {
    dialogs.folder = answer;
    w.onAddFolder();
  }
  EXPECT_EQ(captionsOf(w.excludedFolderList()), (std::vector<std::string>{"C:\\Temp\\", "D:\\"}));
  EXPECT_EQ(dialogs.browses.at(0).initial, "c:\\");
}

// --- Extension dialog --------------------------------------------------------------------

class ExtensionDialogTest : public SettingsWindowTest {
 protected:
  ExtensionDialog& dialog() {
    if (!window) open();
    return *window->addExtensionDialog();
  }
  // Shows the dialog, types `text` and presses `key` in the entry field.
  void enter(const QString& text, Qt::Key key) {
    ExtensionDialog& d = dialog();
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QTest::keyClicks(d.extensionField(), text);
    QTest::keyClick(d.extensionField(), key);
  }
};

TEST_F(ExtensionDialogTest, LayoutAndButtons) {
  ExtensionDialog& d = dialog();
  EXPECT_EQ(d.windowTitle(), "Extension Filter");
  EXPECT_EQ(d.size(), QSize(308, 126));
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  EXPECT_EQ(d.contentPanel()->geometry(), QRect(0, 0, 308, 126));
  EXPECT_EQ(d.contentPanel()->outerBorders(), 0u);
  EXPECT_EQ(d.extensionField()->geometry(), QRect(130, 5, 112, 23));
  EXPECT_EQ(d.buttonBar()->geometry(), QRect(0, 86, 308, 40));
  EXPECT_EQ(d.addButton()->geometry(), QRect(200, 9, 100, 24));
  EXPECT_EQ(d.cancelButton()->geometry(), QRect(94, 9, 100, 24));
  EXPECT_EQ(d.addButton()->caption(), "&Add");
  EXPECT_EQ(d.cancelButton()->caption(), "&Cancel");
  EXPECT_EQ(d.addButton()->imageIndex(), 4);
  EXPECT_EQ(d.cancelButton()->imageIndex(), 5);
  EXPECT_EQ(d.addButton()->images(), window->images());
  QStringList texts;
  for (QLabel* label : d.contentPanel()->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains("Extension to capture : "));
  EXPECT_TRUE(texts.contains("( ex: .exe )"));
  EXPECT_TRUE(
      texts.contains("Notice: to add several extensions at the same time use the comma. "
                     "(example: .exe,.bat,.com,.scr,.pif) "));
}

TEST_F(ExtensionDialogTest, EnterAddsAndClosesEscapeClosesWithoutAdding) {
  struct Case {
    QString typed;
    Qt::Key key;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {".exe,.bat,.com,.scr,.pif", Qt::Key_Return, {".exe", ".bat", ".com", ".scr", ".pif"}},
      {".EXE,.cmd", Qt::Key_Escape, {".exe", ".bat", ".com", ".scr", ".pif"}},
      {",,;", Qt::Key_Return, {".exe", ".bat", ".com", ".scr", ".pif"}},
      {"exe bat;cmd", Qt::Key_Enter, {".exe", ".bat", ".com", ".scr", ".pif", ".cmd"}},
  };
  for (const Case& c : cases) {
    enter(c.typed, c.key);
    EXPECT_TRUE(dialog().isHidden()) << c.typed.toStdString();
    EXPECT_EQ(captionsOf(window->extensionList()), c.rows) << c.typed.toStdString();
  }
  const QAbstractItemModel* model = window->extensionModel();
  EXPECT_EQ(model->data(model->index(0, 1)).toString(), "Application");
  EXPECT_EQ(model->data(model->index(5, 1)).toString(), "CMD File");
  EXPECT_EQ(imageOf(window->extensionList(), 1), 6);
}

TEST_F(ExtensionDialogTest, EachShowingStartsEmptyWithTheFocusInTheField) {
  ExtensionDialog& d = dialog();
  d.extensionField()->setText(".left");
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_TRUE(d.extensionField()->text().isEmpty());
  EXPECT_EQ(d.focusWidget(), d.extensionField());
  QTest::mouseClick(d.cancelButton(), Qt::LeftButton);
  EXPECT_TRUE(d.isHidden());
  EXPECT_EQ(window->extensionModel()->rowCount(), 0);
}

TEST_F(ExtensionDialogTest, AddButtonOpensItModallyAndAddButtonInsideSaves) {
  open();
  bool sawModal = false;
  QTimer::singleShot(0, [&] {
    ExtensionDialog& d = *window->addExtensionDialog();
    sawModal = d.isVisible() && d.isModal();
    QTest::keyClicks(d.extensionField(), "bat");
    QTest::mouseClick(d.addButton(), Qt::LeftButton);
  });
  QTest::mouseClick(window->addExtensionButton(), Qt::LeftButton);  // returns when the dialog has closed
  EXPECT_TRUE(sawModal);
  EXPECT_EQ(captionsOf(window->extensionList()), std::vector<std::string>{".bat"});
}

// --- Settings file through the window ----------------------------------------------------

TEST_F(SettingsWindowTest, SettingsSurviveClosingAndANewWindow) {
  platform.objectIcons = {{"/home/u/Temp/", 31}};
  {
    SettingsWindow& w = openShown();
    w.autoCaptureBox()->setChecked(true);
    w.trayBox()->setChecked(true);
    w.autoCleanBox()->setChecked(false);
    w.addExtensions(".exe,.Bat");
    dialogs.folder = "/home/u/Temp";
    w.onAddFolder();
    w.eventModel()->setData(w.eventModel()->index(3, 0), Qt::Unchecked, Qt::CheckStateRole);
    w.eventModel()->toggle(18);
    EXPECT_EQ(w.options(), CaptureOptions{}) << "the saved value is the file's until the window is hidden";
    w.close();  // hides: the settings are saved
    EXPECT_TRUE(w.isHidden());
  }
  ASSERT_TRUE(platform.profileText(kIni).has_value());
  EXPECT_NE(platform.profileText(kIni)->find("AUTOCAPTURE=Y"), std::string::npos);

  SettingsWindow& again = open();
  EXPECT_TRUE(again.autoCaptureBox()->isChecked());
  EXPECT_TRUE(again.trayBox()->isChecked());
  EXPECT_FALSE(again.autoCleanBox()->isChecked());
  EXPECT_EQ(captionsOf(again.extensionList()), (std::vector<std::string>{".exe", ".Bat"}));
  EXPECT_EQ(captionsOf(again.excludedFolderList()), std::vector<std::string>{"/home/u/Temp/"});
  EXPECT_EQ(imageOf(again.excludedFolderList(), 0), 31);
  for (int row = 0; row < again.eventModel()->rowCount(); ++row) {
    const bool on = row != 3 && row != 18;
    EXPECT_EQ(checkedAt(again.eventModel(), row), on) << row;
    EXPECT_EQ(imageOf(again.eventList(), row), on ? kImgEventOn : kImgEventOff);
    EXPECT_EQ(colourOf(again.eventModel(), row), on ? QColor(0, 0, 0) : QColor(255, 0, 0));
  }
  EXPECT_EQ(again.options(), again.editedOptions());
  EXPECT_EQ(again.options().kinds, EventKindSet(allEventKinds()).reset(3).reset(18));
}

TEST_F(SettingsWindowTest, RefusedSaveIsReportedAfterClosingAndTheControlsShowTheFile) {
  SettingsWindow& w = openShown();
  w.close();  // a first save: the file holds the defaults
  platform.refuseWrites[kIni] = "disk full";
  w.show();
  w.trayBox()->setChecked(true);
  w.close();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Tarnwatch");
  EXPECT_EQ(dialogs.messages[0].text, QString("Unable to write to ") + kIni);
  EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
  EXPECT_FALSE(w.trayBox()->isChecked());  // restored from the file
  EXPECT_FALSE(w.options().minimizeToTray);

  int reported = 0;
  w.onSaveError = [&](const std::exception&) { ++reported; };
  w.show();
  w.close();
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

// --- Edits from the main window's context menu ------------------------------------------------

// The main window's view of a real settings window, as the program links them.
class Link : public SettingsWindowLink {
 public:
  explicit Link(SettingsWindow& window) : window(window) {}
  const CaptureOptions& captureOptions() override { return window.options(); }
  void setRecordMode(bool b) override { window.setRecordMode(b); }
  void showSettings() override {}
  void saveOptions(const CaptureOptions& options) override { window.saveOptions(options); }

 private:
  SettingsWindow& window;
};

std::vector<std::string> decodedLines(const std::string& ini, const std::string& key) {
  const std::size_t at = ini.find(key + "=");
  if (at == std::string::npos) return {};
  const std::size_t from = at + key.size() + 1;
  const std::string value = ini.substr(from, ini.find("\r\n", from) - from);
  return splitLines(decodeBase64(value));
}

// The context menu's exclusions go through the settings window into config.ini, with the
// window's rules: the folder once, ending in its separator; the extension out of the kept list.
TEST_F(SettingsWindowTest, ContextMenuExclusionsLandInConfigIni) {
  platform.setProfileText(kIni, "[FILTERS]\r\nEXTENSIONS=" + encodeBase64(".txt\r\n.log\r\n") + "\r\n");
  SettingsWindow& w = open();
  Link link(w);
  MainWindow main(platform.parts(), dialogs);
  main.setSettingsWindow(&link);

  const PathTarget file = pathTargetOf("/home/u/notes.TXT", false, PathStyle::Posix);
  main.prepareRowMenu(file);
  ASSERT_TRUE(main.excludeFolderAction->isEnabled());
  ASSERT_TRUE(main.excludeExtensionAction->isEnabled());
  main.excludeFolderAction->trigger();
  main.excludeExtensionAction->trigger();
  const std::string ini = platform.profileText(kIni).value_or("");
  EXPECT_EQ(decodedLines(ini, "DIRECTORIES"), std::vector<std::string>{"/home/u/"});
  EXPECT_EQ(decodedLines(ini, "EXTENSIONS"), std::vector<std::string>{".log"});
  EXPECT_EQ(captionsOf(w.excludedFolderList()), std::vector<std::string>{"/home/u/"});
  EXPECT_EQ(captionsOf(w.extensionList()), std::vector<std::string>{".log"});

  // The same folder again (another case, from a folder row): refused as listed already.
  main.prepareRowMenu(pathTargetOf("/HOME/U/", true, PathStyle::Posix));
  EXPECT_FALSE(main.excludeFolderAction->isEnabled());
  // While recording, the menu offers no exclusion.
  main.stateChanged(RecordingState::Recording);
  main.prepareRowMenu(pathTargetOf("/srv/x.log", false, PathStyle::Posix));
  EXPECT_FALSE(main.excludeFolderAction->isEnabled());
  main.excludeFolderAction->trigger();
  EXPECT_EQ(decodedLines(platform.profileText(kIni).value_or(""), "DIRECTORIES"),
            std::vector<std::string>{"/home/u/"});
  main.stateChanged(RecordingState::Idle);

  // A refused write reaches the general error box, and the window shows what the file holds.
  platform.refuseWrites[kIni] = "disk full";
  main.prepareRowMenu(pathTargetOf("/srv/x.log", false, PathStyle::Posix));
  main.excludeFolderAction->trigger();
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back().text, QString("Unable to write to ") + kIni);
  EXPECT_EQ(captionsOf(w.excludedFolderList()), std::vector<std::string>{"/home/u/"});
}

// Kinds the system never reports are greyed with a tool tip, and still checked, stored and read.
TEST_F(SettingsWindowTest, KindsTheSystemNeverReportsAreGreyedButKept) {
  platform.watching.producible = allEventKinds().reset(0).reset(17);
  SettingsWindow& w = openShown();
  EventKindModel* model = w.eventModel();
  QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  for (int row = 0; row < model->rowCount(); ++row) {
    const bool never = row == 0 || row == 17;
    const QString tip = model->data(model->index(row, 0), Qt::ToolTipRole).toString();
    EXPECT_EQ(tip.toStdString(), never ? std::string(kKindNeverReported) : std::string()) << row;
    EXPECT_EQ(colourOf(model, row), never ? QColor(128, 128, 128) : QColor(0, 0, 0)) << row;
  }
  model->toggle(0);
  EXPECT_FALSE(checkedAt(model, 0));
  EXPECT_EQ(colourOf(model, 0), QColor(128, 128, 128)) << "greyed whether checked or not";
  w.close();
  const std::vector<std::string> lines = decodedLines(platform.profileText(kIni).value_or(""), "EVENTS");
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kEventCount));
  EXPECT_EQ(lines[0], "N");
  EXPECT_EQ(lines[17], "Y");
  SettingsWindow again(platform.parts(), icons, dialogs, kIni);
  EXPECT_FALSE(again.options().kinds.test(0));
}

// --- The lists' models ---------------------------------------------------------------------

// An icon source that counts what it is asked.
class CountingPlatform : public FakePlatform {
 public:
  using FakePlatform::FakePlatform;
  int descriptionsAsked = 0, typeIconsAsked = 0, folderIconsAsked = 0;
  std::vector<std::string> described, iconed;  // the names asked
  std::string fileTypeDescription(std::string_view name) override {
    ++descriptionsAsked;
    described.emplace_back(name);
    return FakePlatform::fileTypeDescription(name);
  }
  int fileTypeIcon(std::string_view name) override {
    ++typeIconsAsked;
    iconed.emplace_back(name);
    return FakePlatform::fileTypeIcon(name);
  }
  int pathIcon(std::string_view path) override {
    ++folderIconsAsked;
    return FakePlatform::pathIcon(path);
  }
};

// A settings file with 100,000 extensions and 100,000 excluded folders: the window shows them
// all, and asks the platform only about the rows it shows.
TEST(SettingsWindowLongLists, HundredThousandEntriesAreShownAndOnlyVisibleRowsAsked) {
  CountingPlatform platform(PathStyle::Posix);
  SystemIcons icons(platform);
  FakeDialogs dialogs;
  std::string extensions, folders;
  for (int i = 0; i < 100'000; ++i) {
    extensions += ".t" + std::to_string(i) + "\r\n";
    folders += "/data/f" + std::to_string(i) + "/\r\n";
  }
  platform.setProfileText(kIni, "[FILTERS]\r\nEXTENSIONS=" + encodeBase64(extensions) +
                                    "\r\nDIRECTORIES=" + encodeBase64(folders) + "\r\n");
  SettingsWindow w(platform.parts(), icons, dialogs, kIni);
  ASSERT_EQ(w.options().extensions.size(), 100'000u);
  EXPECT_EQ(w.extensionModel()->rowCount(), 100'000);
  EXPECT_EQ(w.excludedFolderModel()->rowCount(), 100'000);
  EXPECT_EQ(captionAt(w.extensionModel(), 99'999), ".t99999");
  EXPECT_EQ(captionAt(w.excludedFolderModel(), 99'999), "/data/f99999/");
  EXPECT_EQ(platform.descriptionsAsked + platform.typeIconsAsked + platform.folderIconsAsked, 0)
      << "nothing asked before shown";

  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.navigationTree()->setCurrentItem(
      w.navigationTree()
          ->findItems("Extension and Folders", Qt::MatchExactly | Qt::MatchRecursive)
          .constFirst());
  w.onNavigationClicked();
  w.extensionList()->scrollToBottom();
  QApplication::processEvents();
  w.filtersPage()->grab();  // paints the visible rows
  EXPECT_GT(platform.descriptionsAsked, 0);
  EXPECT_LT(platform.descriptionsAsked, 100);
  EXPECT_LT(platform.typeIconsAsked, 100);
  EXPECT_GT(platform.folderIconsAsked, 0);
  EXPECT_LT(platform.folderIconsAsked, 100);
  const QAbstractItemModel* model = w.extensionModel();
  EXPECT_EQ(model->data(model->index(99'999, 1)).toString(), "T99999 File");
  w.onSaveError = [](const std::exception&) {};
}

TEST(SettingsModels, ExtensionRowsShowTypeDescriptionAndIcon) {
  CountingPlatform platform(PathStyle::Posix);
  platform.typeIcons = {{".exe", 5}};
  platform.unknownTypeIcon = 2;
  platform.typeDescriptions = {{".exe", "Application"}};
  SystemIcons icons(platform);
  ExtensionListModel model(platform, icons);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.append({".EXE", ".qqz", "noext."});
  const std::vector<std::pair<QString, int>> expected = {{"Application", 5}, {"QQZ File", 2}, {"File", 2}};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(model.data(model.index(row, 1)).toString(), expected[static_cast<std::size_t>(row)].first);
    EXPECT_EQ(imageOf(&model, row), expected[static_cast<std::size_t>(row)].second);
  }
  // The description of "*." and the extension, the icon of the extension itself; each once.
  EXPECT_EQ(platform.described, (std::vector<std::string>{"*..EXE", "*..qqz", "*.noext."}));
  EXPECT_EQ(platform.iconed, (std::vector<std::string>{".EXE", ".qqz", "noext."}));
  model.removeRowSet({1, 7, -1, 1});
  EXPECT_EQ(captionsOf(&model), (std::vector<std::string>{".EXE", "noext."}));
  EXPECT_EQ(imageOf(&model, 1), 2) << "the looks move with their rows";
  model.setEntries({".a", ".b"});
  model.removeRowSet({0, 1});
  EXPECT_EQ(model.rowCount(), 0);
}

// A platform that knows neither a type's description nor its icon: the row is shown anyway.
class FailingTypes : public FakePlatform {
 public:
  using FakePlatform::FakePlatform;
  std::string fileTypeDescription(std::string_view) override { return {}; }
  int fileTypeIcon(std::string_view) override { return 0; }
};

TEST(SettingsModels, FailedTypeQueriesStillShowTheRow) {
  FailingTypes platform(PathStyle::Posix);
  SystemIcons icons(platform);
  ExtensionListModel model(platform, icons);
  model.append({".exe"});
  EXPECT_EQ(captionAt(&model, 0), ".exe");
  EXPECT_EQ(model.data(model.index(0, 1)).toString(), "");
  EXPECT_EQ(imageOf(&model, 0), 0);
}

TEST(SettingsModels, FolderRowsAskAgainOnlyAfterARefresh) {
  CountingPlatform platform(PathStyle::Posix);
  platform.objectIcons = {{"/a/", 4}};
  SystemIcons icons(platform);
  ExcludedFolderModel model(platform, icons);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  model.setEntries({"/a/", "/b/"});
  EXPECT_EQ(colourOf(&model, 0), QColor(0, 0, 0));
  EXPECT_EQ(colourOf(&model, 1), QColor(255, 0, 0));
  const int asked = platform.folderIconsAsked;
  EXPECT_EQ(colourOf(&model, 0), QColor(0, 0, 0));
  EXPECT_EQ(platform.folderIconsAsked, asked) << "kept until the next refresh";
  platform.objectIcons.erase("/a/");
  platform.objectIcons["/b/"] = 6;
  model.refreshLooks();
  EXPECT_EQ(colourOf(&model, 0), QColor(255, 0, 0));
  EXPECT_EQ(colourOf(&model, 1), QColor(0, 0, 0));
  EXPECT_EQ(imageOf(&model, 1), 6);
}

TEST(SettingsModels, EventKindsCheckImageAndColourTogether) {
  EventKindModel model(kImgEventOn, kImgEventOff, nullptr);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  ASSERT_EQ(model.rowCount(), kEventCount);
  EXPECT_EQ(model.data(model.index(13, 0)).toString(), "Rename File");
  EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
  model.toggle(4);
  model.toggle(-1);           // no row: nothing
  model.toggle(kEventCount);  // no row: nothing
  EXPECT_EQ(model.kinds(), EventKindSet(allEventKinds()).reset(1).reset(4));
  for (int row : {1, 4}) {
    EXPECT_FALSE(checkedAt(&model, row));
    EXPECT_EQ(imageOf(&model, row), kImgEventOff);
    EXPECT_EQ(colourOf(&model, row), QColor(255, 0, 0));
  }
  EXPECT_FALSE(model.setData(model.index(2, 0), Qt::Unchecked, Qt::DisplayRole))
      << "only the check is edited";
  model.setKinds(EventKindSet().set(0));
  EXPECT_TRUE(checkedAt(&model, 0));
  EXPECT_FALSE(checkedAt(&model, 2));
}

// --- Pictures ----------------------------------------------------------------------------

TEST(SettingsImages, ThirteenDistinctPicturesAndTheRecordDot) {
  ImageList list;
  fillImageList(list, ":/img/settings", kSettingsImageCount);
  ASSERT_EQ(list.count(), 13);
  std::vector<QImage> images;
  for (int i = 0; i < 13; ++i) {
    const QImage image = list.image(i).toImage();
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) opaque += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
    EXPECT_GT(opaque, 20) << "image " << i << " is empty";
    for (std::size_t j = 0; j < images.size(); ++j) EXPECT_NE(image, images[j]) << i << " equals " << j;
    images.push_back(image);
  }
  const QImage dot = svgPixmap(":/img/settings/lock.svg", 16).toImage();
  EXPECT_TRUE(reddish(dot.pixelColor(8, 8)));
}

}  // namespace
}  // namespace tw
