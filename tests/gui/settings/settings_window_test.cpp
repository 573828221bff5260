// The settings window, the extension entry dialog and the folder picker, offscreen, over the
// scripted platform and dialogs that answer in place of the user.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "gui/controls/svg_images.h"
#include "gui/controls/vista_pro_bar.h"
#include "gui/controls/w7_bars.h"
#include "gui/controls/w7_buttons.h"
#include "gui/controls/w7_labels.h"
#include "gui/controls/w7_panels.h"
#include "gui/main/dialogs.h"
#include "gui/main/system_icons.h"
#include "gui/settings/frm_add_extension.h"
#include "gui/settings/frm_settings.h"
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

std::string captionAt(const QTableWidget* list, int row) {
  return list->item(row, 0)->data(kCaptionBytesRole).toByteArray().toStdString();
}

std::vector<std::string> captionsOf(const QTableWidget* list) {
  std::vector<std::string> out;
  for (int row = 0; row < list->rowCount(); ++row) out.push_back(captionAt(list, row));
  return out;
}

int imageOf(const QTableWidget* list, int row) { return list->item(row, 0)->data(kImageIndexRole).toInt(); }

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

class SettingsWindow : public ::testing::Test {
 protected:
  SettingsWindow() {
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
  ~SettingsWindow() override { window.reset(); }

  TFrmSettings& open() {
    window = std::make_unique<TFrmSettings>(platform, icons, dialogs, kIni);
    return *window;
  }
  TFrmSettings& openShown() {
    open().show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return *window;
  }

  QTreeWidgetItem* node(const QString& text) {
    const QList<QTreeWidgetItem*> found =
        window->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.constFirst();
  }
  void clickNode(const QString& text) {
    QTreeWidgetItem* item = node(text);
    ASSERT_NE(item, nullptr) << text.toStdString();
    QTest::mouseClick(window->Tree()->viewport(), Qt::LeftButton, {},
                      window->Tree()->visualItemRect(item).center());
  }
  void selectRows(QTableWidget* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows)
      list->selectionModel()->select(list->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  FakePlatform platform{PathStyle::Posix};
  SystemIcons icons{platform};
  FakeDialogs dialogs;
  std::unique_ptr<TFrmSettings> window;
};

// --- Window, tree and pages ---------------------------------------------------------------

TEST_F(SettingsWindow, FirstOpenShowsTheGeneralPageWithNoNodeSelected) {
  TFrmSettings& w = openShown();
  EXPECT_EQ(w.windowTitle(), "Settings");
  EXPECT_EQ(w.size(), QSize(627, 329));
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(w.shownPage(), w.P1());
  EXPECT_TRUE(w.Tree()->selectedItems().isEmpty());

  // Six nodes, in order, with their images; the tree expanded in full.
  const std::vector<std::pair<QString, int>> nodes = {{"General Settings", 0}, {"Drives to Monitor", 1},
                                                      {"Filters Manager", 2},  {"Extension and Folders", 9},
                                                      {"Events Filters", 10},  {"About", 3}};
  std::vector<std::pair<QString, int>> seen;
  for (QTreeWidgetItemIterator it(w.Tree()); *it; ++it)
    seen.emplace_back((*it)->text(0), (*it)->data(0, kImageIndexRole).toInt());
  EXPECT_EQ(seen, nodes);
  EXPECT_TRUE(node("Filters Manager")->isExpanded());
  EXPECT_EQ(node("Events Filters")->parent(), node("Filters Manager"));

  // No settings file: the defaults, every event kind checked with the tick.
  EXPECT_FALSE(w.cAutoCaptureBox()->isChecked());
  EXPECT_FALSE(w.cTrayBox()->isChecked());
  EXPECT_TRUE(w.cautocleanBox()->isChecked());
  ASSERT_EQ(w.lsteventsView()->rowCount(), static_cast<int>(eventNames().size()));
  for (int row = 0; row < w.lsteventsView()->rowCount(); ++row) {
    EXPECT_EQ(captionAt(w.lsteventsView(), row), eventNames()[static_cast<std::size_t>(row)]);
    EXPECT_TRUE(w.lstevents().isChecked(row));
    EXPECT_EQ(imageOf(w.lsteventsView(), row), kEventImageCaptured);
  }
  EXPECT_EQ(w.ListDrivesView()->rowCount(), 0);  // filled when the page is opened
}

TEST_F(SettingsWindow, EveryControlAtItsPlaceAndSize) {
  TFrmSettings& w = open();
  const std::vector<std::pair<QWidget*, QRect>> places = {
      {w.Tree(), {4, 4, 189, 321}},
      {w.P1(), {199, 4, 424, 321}},
      {w.p2(), {199, 4, 424, 321}},
      {w.P3(), {199, 4, 424, 321}},
      {w.P4(), {199, 4, 424, 321}},
      {w.cAutoCaptureBox(), {8, 8, 321, 17}},
      {w.cTrayBox(), {8, 26, 321, 17}},
      {w.cautocleanBox(), {8, 44, 321, 17}},
      {w.ListDrivesView(), {8, 29, 408, 284}},
      {w.lstextView(), {8, 29, 385, 124}},
      {w.tbAddExt(), {397, 29, 22, 22}},
      {w.tbDeleteExt(), {397, 55, 22, 22}},
      {w.lstpathView(), {8, 180, 385, 133}},
      {w.tbAddPath(), {397, 180, 22, 22}},
      {w.tbDelPath(), {397, 206, 22, 22}},
      {w.lsteventsView(), {8, 29, 408, 284}},
  };
  for (const auto& [widget, rect] : places)
    EXPECT_EQ(widget->geometry(), rect) << widget->metaObject()->className();
  EXPECT_EQ(w.cAutoCaptureBox()->text(), "Automatically start the capture on program startup.");
  EXPECT_EQ(w.cTrayBox()->text(), "Minimize application to tray on close.");
  EXPECT_EQ(w.cautocleanBox()->text(), "Clean Tree / List when you decide to stop record.");
  EXPECT_EQ(w.Tree()->indentation(), 19);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(w.ListDrivesView()->columnWidth(c), std::vector<int>({100, 90, 205})[c]);
  EXPECT_EQ(w.lstextView()->columnWidth(0), 100);
  EXPECT_EQ(w.tbAddExt()->imageIndex(), kImgAdd);
  EXPECT_EQ(w.tbDeleteExt()->imageIndex(), kImgDelete);

  const std::vector<std::pair<TW7Panel*, QString>> headings = {
      {w.p2(), "Select Drives to Monitor (default capture all)"},
      {w.P3(), "Only capture the following extensions (default capture all) :"},
      {w.P3(), "Do not capture following paths :"},
      {w.P4(), "Select Events you need to capture (Default capture all)"}};
  for (const auto& [page, text] : headings) {
    bool found = false;
    for (TW7ActiveLabel* label : page->findChildren<TW7ActiveLabel*>())
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

TEST_F(SettingsWindow, MouseClicksSwitchPagesByTheNodeImage) {
  TFrmSettings& w = openShown();
  int abouts = 0;
  w.onAbout = [&] { ++abouts; };

  struct Step {
    QString node;
    TW7Panel* page;
  };
  const std::vector<Step> steps = {{"Drives to Monitor", w.p2()},     {"Filters Manager", w.p2()},
                                   {"Extension and Folders", w.P3()}, {"About", w.P3()},
                                   {"Events Filters", w.P4()},        {"General Settings", w.P1()}};
  for (const Step& step : steps) {
    clickNode(step.node);
    EXPECT_EQ(w.shownPage(), step.page) << step.node.toStdString();
    int visible = 0;
    for (TW7Panel* page : {w.P1(), w.p2(), w.P3(), w.P4()}) visible += page->isHidden() ? 0 : 1;
    EXPECT_EQ(visible, 1);
  }
  EXPECT_EQ(abouts, 1);
  EXPECT_EQ(w.ListDrivesView()->rowCount(), 2);

  // The image decides, not the text.
  node("General Settings")->setData(0, kImageIndexRole, kImgEvents);
  clickNode("General Settings");
  EXPECT_EQ(w.shownPage(), w.P4());
}

TEST_F(SettingsWindow, KeyboardMovesSwitchNothingUntilTheNextMouseClick) {
  TFrmSettings& w = openShown();
  clickNode("General Settings");
  w.Tree()->setFocus();
  QTest::keyClick(w.Tree(), Qt::Key_Down);
  QTest::keyClick(w.Tree(), Qt::Key_Down);
  QTest::keyClick(w.Tree(), Qt::Key_Down);
  ASSERT_EQ(w.Tree()->selectedItems().size(), 1);
  EXPECT_EQ(w.Tree()->selectedItems().constFirst()->text(0), "Extension and Folders");
  EXPECT_EQ(w.shownPage(), w.P1());
  QTest::keyClick(w.Tree(), Qt::Key_Up);
  QTest::keyClick(w.Tree(), Qt::Key_Up);
  EXPECT_EQ(w.shownPage(), w.P1());
  EXPECT_EQ(w.ListDrivesView()->rowCount(), 0);

  // A click below the last node acts on the node selected then (Drives to Monitor).
  const QRect last = w.Tree()->visualItemRect(node("About"));
  QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 40));
  EXPECT_EQ(w.shownPage(), w.p2());
  EXPECT_EQ(w.ListDrivesView()->rowCount(), 2);
}

// --- Drive list --------------------------------------------------------------------------

TEST_F(SettingsWindow, EachRefillLeavesOneCheckedRowAndOneBarPerDrive) {
  TFrmSettings& w = openShown();
  clickNode("Drives to Monitor");
  w.ListDrivesView()->item(1, 0)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(w.ListDrives().isChecked(1));
  clickNode("Drives to Monitor");

  QTableWidget* list = w.ListDrivesView();
  EXPECT_EQ(captionsOf(list), (std::vector<std::string>{"/", "/media/usb/"}));
  ASSERT_EQ(w.ListDrives().rowCount(), 2);
  EXPECT_EQ(w.ListDrives().caption(1), "/media/usb/");
  for (int row = 0; row < 2; ++row) EXPECT_TRUE(w.ListDrives().isChecked(row)) << row;
  EXPECT_EQ(list->item(0, 1)->text(), "ext4");
  EXPECT_EQ(list->item(1, 1)->text(), "vfat");
  EXPECT_EQ(w.usageBars().size(), 2u);
  EXPECT_EQ(list->viewport()->findChildren<TVistaProBar*>().size(), 2);
  EXPECT_EQ(w.usageBars()[0]->position(), 50);
  EXPECT_EQ(w.usageBars()[1]->position(), 0);
  for (int row = 0; row < 2; ++row) {
    TVistaProBar* bar = w.usageBars()[static_cast<std::size_t>(row)];
    EXPECT_TRUE(bar->isVisible());
    const UsageBarPlace place = usageBarPlace(list->columnViewportPosition(0), list->rowViewportPosition(row),
                                              list->rowHeight(row), 190, 205);
    EXPECT_EQ(bar->geometry(), QRect(place.left, place.top, place.width, place.height));
  }
}

TEST(UsageBar, PlaceOverTheThirdColumn) {
  // Row bounds at (0, 19), 19 high: 190 + 4 in, 205 - 8 wide, 2 down from the top and 4 up from
  // the bottom.
  EXPECT_EQ(usageBarPlace(0, 19, 19, 190, 205), (UsageBarPlace{194, 21, 197, 13}));
  EXPECT_EQ(usageBarPlace(-30, 0, 17, 190, 205), (UsageBarPlace{164, 2, 197, 11}));
}

TEST(UsageBar, PercentageRoundsTowardZeroAndSurvivesEdgeSizes) {
  struct Case {
    std::int64_t total, free;
    int percent;
  };
  const std::vector<Case> cases = {
      {1000, 100, 90},
      {1000, 101, 89},  // 89.9 %
      {1000, 0, 100},
      {1000, 1000, 0},
      {0, 0, 0},  // a removable drive without a medium
      {0, 4096, 0},
      {-5, 0, 0},
      {std::int64_t{8'000'000'000'000'000'000}, 0, 100},  // no overflow of (total - free) x 100
      {std::int64_t{8'000'000'000'000'000'000}, std::int64_t{4'000'000'000'000'000'000}, 50},
  };
  for (const Case& c : cases)
    EXPECT_EQ(usedPercentage(c.total, c.free), c.percent) << c.total << " " << c.free;
}

TEST_F(SettingsWindow, UsageBarsTurnRedFromNinetyPercent) {
  platform.spaces = {{"/", DiskSpace{1000, 100}}, {"/media/usb/", DiskSpace{1000, 101}}};
  platform.driveTable.push_back({"/media/card/", DriveType::Removable});  // total reads 0
  TFrmSettings& w = open();
  w.refreshDrives();
  ASSERT_EQ(w.usageBars().size(), 3u);
  const TColor red = rgb(255, 0, 0), green = rgb(0, 255, 0);
  EXPECT_EQ(w.usageBars()[0]->position(), 90);
  EXPECT_EQ(w.usageBars()[0]->color(), red);
  EXPECT_EQ(w.usageBars()[1]->position(), 89);
  EXPECT_EQ(w.usageBars()[1]->color(), green);
  EXPECT_EQ(w.usageBars()[2]->position(), 0);
  EXPECT_EQ(w.usageBars()[2]->color(), green);
  for (TVistaProBar* bar : w.usageBars()) {
    EXPECT_EQ(bar->min(), 0);
    EXPECT_EQ(bar->max(), 100);
    EXPECT_FALSE(bar->marquee());
  }
}

// --- Filter lists ------------------------------------------------------------------------

TEST_F(SettingsWindow, DeletingWithNothingSelectedIsRefused) {
  TFrmSettings& w = open();
  w.addExtensions(".exe,.bat");
  for (TW7ToolButton* button : {w.tbDeleteExt(), w.tbDelPath()}) {
    dialogs.messages.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "No Selected Items");
    EXPECT_EQ(dialogs.messages[0].text, "You must at least select one item to use this!");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
  }
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(w.lstextView()->rowCount(), 2);
}

TEST_F(SettingsWindow, DeletingAsksAndRemovesTheSelectedRowsOnYesOnly) {
  TFrmSettings& w = open();
  w.addExtensions(".exe,.bat,.com");
  w.lstpath().addRow("/a/", "", 0);
  w.lstpath().addRow("/b/", "", 0);
  w.lstpath().addRow("/c/", "", 0);

  for (QTableWidget* list : {w.lstextView(), w.lstpathView()}) {
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
}

TEST_F(SettingsWindow, RecordModeLocksAndUnlocksTheCaptureChoices) {
  TFrmSettings& w = open();
  for (bool recording : {true, false, true, false}) {
    w.setRecordMode(recording);
    for (QWidget* list : {static_cast<QWidget*>(w.ListDrivesView()), static_cast<QWidget*>(w.lstpathView()),
                          static_cast<QWidget*>(w.lstextView()), static_cast<QWidget*>(w.lsteventsView())})
      EXPECT_EQ(list->isEnabled(), !recording);
    for (TW7ToolButton* button : {w.tbAddPath(), w.tbDelPath(), w.tbAddExt(), w.tbDeleteExt()})
      EXPECT_EQ(button->isEnabled(), !recording);
    EXPECT_EQ(w.tbAddPath()->imageIndex(), recording ? 6 : 4);
    EXPECT_EQ(w.tbAddExt()->imageIndex(), recording ? 6 : 4);
    EXPECT_EQ(w.tbDelPath()->imageIndex(), recording ? 7 : 5);
    EXPECT_EQ(w.tbDeleteExt()->imageIndex(), recording ? 7 : 5);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(w.lockPicture(i)->isHidden(), !recording);
      EXPECT_EQ(w.lockLabel(i)->isHidden(), !recording);
    }
    EXPECT_EQ(w.ListDrivesView()->height(), recording ? 266 : 284);
    EXPECT_EQ(w.lsteventsView()->height(), recording ? 266 : 284);
    EXPECT_EQ(w.lstpathView()->height(), recording ? 115 : 133);
    // The general options are never locked.
    EXPECT_TRUE(w.cAutoCaptureBox()->isEnabled());
    EXPECT_TRUE(w.cTrayBox()->isEnabled());
    EXPECT_TRUE(w.cautocleanBox()->isEnabled());
  }
}

// --- Event checklist ---------------------------------------------------------------------

TEST_F(SettingsWindow, DoubleClickTurnsCheckImageAndColourOverTogether) {
  TFrmSettings& w = openShown();
  clickNode("Events Filters");
  QTableWidget* list = w.lsteventsView();
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
  EXPECT_FALSE(w.lstevents().isChecked(2));
  EXPECT_EQ(imageOf(list, 2), kEventImageNotCaptured);
  EXPECT_EQ(list->item(2, 0)->foreground().color(), QColor(255, 0, 0));
  EXPECT_GT(countPixels(grab(), text, reddish), redBefore + 5);  // the text really turned red

  doubleClick(list->viewport(), text.center());
  EXPECT_TRUE(w.lstevents().isChecked(2));
  EXPECT_EQ(imageOf(list, 2), kEventImageCaptured);
  EXPECT_EQ(list->item(2, 0)->foreground().color(), QColor(0, 0, 0));

  // Any change of a check (here through the check box itself) sets image and colour.
  list->item(5, 0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(imageOf(list, 5), kEventImageNotCaptured);
  EXPECT_EQ(list->item(5, 0)->foreground().color(), QColor(255, 0, 0));
  for (int row : {0, 1, 3, 4, 6}) EXPECT_TRUE(w.lstevents().isChecked(row)) << row;
}

TEST_F(SettingsWindow, DoubleClickWithNothingSelectedDoesNothing) {
  TFrmSettings& w = open();
  w.lsteventsView()->clearSelection();
  w.lsteventsDblClick();
  for (int row = 0; row < w.lsteventsView()->rowCount(); ++row) EXPECT_TRUE(w.lstevents().isChecked(row));
  w.lstpathDblClick();
  EXPECT_TRUE(platform.opened().empty());
}

// --- Excluded paths ----------------------------------------------------------------------

TEST_F(SettingsWindow, ExcludedPathTurnsRedWithinASecondOfItsFolderGoing) {
  platform.pathIcons = {{"/data/logs/", 21}, {"/data/cache/", 22}};
  TFrmSettings& w = openShown();
  w.lstpath().addRow("/data/logs/", "", 21);
  w.lstpath().addRow("/data/cache/", "", 22);
  w.lstpath().addRow("/data/never/", "", 0);
  QTableWidget* list = w.lstpathView();
  EXPECT_EQ(list->item(0, 0)->foreground().color(), QColor(0, 0, 0));
  EXPECT_EQ(list->item(2, 0)->foreground().color(), QColor(255, 0, 0));
  EXPECT_TRUE(w.Timer().isActive());
  EXPECT_EQ(w.Timer().interval(), 1000);

  platform.pathIcons.erase("/data/logs/");
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return list->item(0, 0)->foreground().color() == QColor(255, 0, 0); }, 2500));
  EXPECT_EQ(list->item(1, 0)->foreground().color(), QColor(0, 0, 0));
  platform.pathIcons["/data/never/"] = 23;  // created while the window is open
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return list->item(2, 0)->foreground().color() == QColor(0, 0, 0); }, 2500));

  // Double-clicking the gone folder asks the desktop to open it; nothing else happens.
  doubleClick(list->viewport(), list->visualRect(list->model()->index(0, 0)).center());
  EXPECT_EQ(platform.opened(), std::vector<std::string>{"/data/logs/"});
  EXPECT_EQ(list->rowCount(), 3);

  w.hide();
  EXPECT_FALSE(w.Timer().isActive());
}

TEST_F(SettingsWindow, FolderPickerAddsTheChosenFolderOnce) {
  platform.pathIcons = {{"/home/u/Temp/", 31}, {"/", 32}};
  TFrmSettings& w = open();

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
    QTest::mouseClick(w.tbAddPath(), Qt::LeftButton);
    EXPECT_EQ(captionsOf(w.lstpathView()), pick.rows) << pick.answer.toStdString();
  }
  ASSERT_EQ(dialogs.browses.size(), picks.size());
  for (const auto& browse : dialogs.browses) {
    EXPECT_EQ(browse.title, "Select path to exclude from capture");
    EXPECT_EQ(browse.initial, "/srv/");
    EXPECT_FALSE(browse.allowNewFolder);
  }
  EXPECT_EQ(imageOf(w.lstpathView(), 0), 31);
  EXPECT_EQ(imageOf(w.lstpathView(), 1), 32);
}

TEST_F(SettingsWindow, FolderPickerOnWindowsPathsUsesBackslashes) {
  platform.style = PathStyle::Windows;
  platform.systemRoot = std::nullopt;  // the query fails: "c:\"
  TFrmSettings& w = open();
  for (const QString& answer : {QString("C:/Temp"), QString("c:\\temp\\"), QString("D:/")}) {
    dialogs.folder = answer;
    w.tbAddPathClick();
  }
  EXPECT_EQ(captionsOf(w.lstpathView()), (std::vector<std::string>{"C:\\Temp\\", "D:\\"}));
  EXPECT_EQ(dialogs.browses.at(0).initial, "c:\\");
}

// --- Extension dialog --------------------------------------------------------------------

class ExtensionDialog : public SettingsWindow {
 protected:
  TFrmAddExtension& dialog() {
    if (!window) open();
    return *window->addExtensionDialog();
  }
  // Shows the dialog, types `text` and presses `key` in the entry field.
  void enter(const QString& text, Qt::Key key) {
    TFrmAddExtension& d = dialog();
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QTest::keyClicks(d.edtext(), text);
    QTest::keyClick(d.edtext(), key);
  }
};

TEST_F(ExtensionDialog, LayoutAndButtons) {
  TFrmAddExtension& d = dialog();
  EXPECT_EQ(d.windowTitle(), "Extension Filter");
  EXPECT_EQ(d.size(), QSize(308, 126));
  EXPECT_EQ(d.minimumSize(), d.maximumSize());
  EXPECT_EQ(d.pCore()->geometry(), QRect(0, 0, 308, 126));
  EXPECT_EQ(d.pCore()->outerBorders(), 0u);
  EXPECT_EQ(d.edtext()->geometry(), QRect(130, 5, 112, 23));
  EXPECT_EQ(d.W7InformationBar1()->geometry(), QRect(0, 86, 308, 40));
  EXPECT_EQ(d.W7ToolButton1()->geometry(), QRect(200, 9, 100, 24));
  EXPECT_EQ(d.W7ToolButton2()->geometry(), QRect(94, 9, 100, 24));
  EXPECT_EQ(d.W7ToolButton1()->caption(), "&Add");
  EXPECT_EQ(d.W7ToolButton2()->caption(), "&Cancel");
  EXPECT_EQ(d.W7ToolButton1()->imageIndex(), 4);
  EXPECT_EQ(d.W7ToolButton2()->imageIndex(), 5);
  EXPECT_EQ(d.W7ToolButton1()->images(), window->Img16());
  QStringList texts;
  for (QLabel* label : d.pCore()->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains("Extension to capture : "));
  EXPECT_TRUE(texts.contains("( ex: .exe )"));
  EXPECT_TRUE(
      texts.contains("Notice: to add several extensions at the same time use the comma. "
                     "(example: .exe,.bat,.com,.scr,.pif) "));
}

TEST_F(ExtensionDialog, EnterAddsAndClosesEscapeClosesWithoutAdding) {
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
    EXPECT_EQ(captionsOf(window->lstextView()), c.rows) << c.typed.toStdString();
  }
  EXPECT_EQ(window->lstextView()->item(0, 1)->text(), "Application");
  EXPECT_EQ(imageOf(window->lstextView(), 1), 6);
}

TEST_F(ExtensionDialog, EachShowingStartsEmptyWithTheFocusInTheField) {
  TFrmAddExtension& d = dialog();
  d.edtext()->setText(".left");
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_TRUE(d.edtext()->text().isEmpty());
  EXPECT_EQ(d.focusWidget(), d.edtext());
  QTest::mouseClick(d.W7ToolButton2(), Qt::LeftButton);
  EXPECT_TRUE(d.isHidden());
  EXPECT_EQ(window->lstextView()->rowCount(), 0);
}

TEST_F(ExtensionDialog, AddButtonOpensItModallyAndAddButtonInsideSaves) {
  open();
  bool sawModal = false;
  QTimer::singleShot(0, [&] {
    TFrmAddExtension& d = *window->addExtensionDialog();
    sawModal = d.isVisible() && d.isModal();
    QTest::keyClicks(d.edtext(), "bat");
    QTest::mouseClick(d.W7ToolButton1(), Qt::LeftButton);
  });
  QTest::mouseClick(window->tbAddExt(), Qt::LeftButton);  // returns when the dialog has closed
  EXPECT_TRUE(sawModal);
  EXPECT_EQ(captionsOf(window->lstextView()), std::vector<std::string>{".bat"});
}

// --- Settings file through the window ----------------------------------------------------

TEST_F(SettingsWindow, SettingsSurviveClosingAndANewWindow) {
  platform.pathIcons = {{"/home/u/Temp/", 31}};
  {
    TFrmSettings& w = openShown();
    w.cAutoCaptureBox()->setChecked(true);
    w.cTrayBox()->setChecked(true);
    w.cautocleanBox()->setChecked(false);
    w.addExtensions(".exe,.Bat");
    dialogs.folder = "/home/u/Temp";
    w.tbAddPathClick();
    w.lsteventsView()->item(3, 0)->setCheckState(Qt::Unchecked);
    w.lsteventsView()->item(18, 0)->setCheckState(Qt::Unchecked);
    w.close();  // hides: the settings are saved
    EXPECT_TRUE(w.isHidden());
  }
  ASSERT_TRUE(platform.profileText(kIni).has_value());
  EXPECT_NE(platform.profileText(kIni)->find("AUTOCAPTURE=Y"), std::string::npos);

  TFrmSettings& again = open();
  EXPECT_TRUE(again.cAutoCaptureBox()->isChecked());
  EXPECT_TRUE(again.cTrayBox()->isChecked());
  EXPECT_FALSE(again.cautocleanBox()->isChecked());
  EXPECT_EQ(captionsOf(again.lstextView()), (std::vector<std::string>{".exe", ".Bat"}));
  EXPECT_EQ(captionsOf(again.lstpathView()), std::vector<std::string>{"/home/u/Temp/"});
  EXPECT_EQ(imageOf(again.lstpathView(), 0), 31);
  for (int row = 0; row < again.lsteventsView()->rowCount(); ++row) {
    const bool on = row != 3 && row != 18;
    EXPECT_EQ(again.lstevents().isChecked(row), on) << row;
    EXPECT_EQ(imageOf(again.lsteventsView(), row), on ? kEventImageCaptured : kEventImageNotCaptured);
    EXPECT_EQ(again.lsteventsView()->item(row, 0)->foreground().color(),
              on ? QColor(0, 0, 0) : QColor(255, 0, 0));
  }
}

TEST_F(SettingsWindow, RefusedSaveIsReportedAfterClosingAndTheControlsShowTheFile) {
  TFrmSettings& w = openShown();
  w.close();  // a first save: the file holds the defaults
  platform.refuseWrites[kIni] = "disk full";
  w.show();
  w.cTrayBox()->setChecked(true);
  w.close();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Tarnwatch");
  EXPECT_EQ(dialogs.messages[0].text, QString("Unable to write to ") + kIni);
  EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
  EXPECT_FALSE(w.cTrayBox()->isChecked());  // restored from the file

  int reported = 0;
  w.onSaveError = [&](const std::exception&) { ++reported; };
  w.show();
  w.close();
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

// --- Pictures ----------------------------------------------------------------------------

TEST(SettingsImages, ThirteenDistinctPicturesAndTheRecordDot) {
  TW7ImageList list;
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
