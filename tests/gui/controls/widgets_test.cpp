#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QSignalSpy>
#include <QTest>

#include <iterator>
#include <memory>
#include <vector>

#include "core/paint/paint_test_util.h"
#include "gui/controls/active_label.h"
#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"

namespace tw {
namespace {

constexpr Color kBack = rgb(90, 60, 30);

void sendEnter(QWidget* w) {
  QEnterEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), w->mapToGlobal(QPointF(5, 5)));
  QApplication::sendEvent(w, &e);
}

void sendLeave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(w, &e);
}

RgbaImage grabbed(QWidget* w) {
  const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  RgbaImage out(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      out.setPixel(x, y, rgb(qRed(p), qGreen(p), qBlue(p)));
    }
  return out;
}

// A top-level window of one plain colour holding the control under test.
struct Window {
  explicit Window(Color back = kBack) {
    widget.resize(300, 120);
    QPalette pal = widget.palette();
    pal.setColor(QPalette::Window, toQColor(back));
    widget.setPalette(pal);
    widget.setAutoFillBackground(true);
  }
  void show() {
    widget.show();
    QApplication::setActiveWindow(&widget);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&widget));
  }
  QWidget widget;
};

// ---- Tool button ----------------------------------------------------------------------------

struct ToolButtonFixture : ::testing::Test {
  Window window;
  ToolButton* button = new ToolButton(&window.widget);
  void SetUp() override {
    button->setGeometry(20, 10, 100, 24);
    window.show();
  }
};

TEST_F(ToolButtonFixture, ValuesAtCreation) {
  ToolButton fresh;
  EXPECT_EQ(fresh.size(), QSize(100, 24));
  EXPECT_EQ(fresh.captionAlignment(), CaptionAlignment::Center);
  EXPECT_TRUE(fresh.setFocusOnClick());
  EXPECT_FALSE(fresh.showArrow());
  EXPECT_EQ(fresh.imageIndex(), -1);
  EXPECT_EQ(fresh.iconSize(), IconSize::Px16);
  EXPECT_EQ(fresh.arrowType(), ArrowDirection::Down);
  EXPECT_EQ(fresh.fontColor(), QColor(30, 57, 91));
  EXPECT_EQ(fresh.focusPolicy(), Qt::TabFocus);
  EXPECT_EQ(fresh.property("Version").toString(), QStringLiteral("1.0.2.0"));
  fresh.setProperty("Version", QStringLiteral("9"));
  EXPECT_EQ(fresh.version(), QStringLiteral("1.0.2.0"));
}

TEST_F(ToolButtonFixture, LooksThroughTheWidget) {
  const Color frame = rgb(187, 202, 219);
  button->clearFocus();  // the window hands its first focusable control the focus
  expectPixels(grabbed(button), {{"idle shows the parent", 50, 0, kBack}, {"idle middle", 5, 12, kBack}});
  EXPECT_EQ(button->look(), ToolButtonLook::Idle);

  button->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(button->hasFocus());
  expectPixels(grabbed(button), {{"focused: frame", 50, 0, frame},
                                 {"focused: inner frame", 50, 1, rgb(239, 244, 249)},
                                 {"focused: the middle shows the parent", 5, 12, kBack},
                                 {"focused: corner shows the parent", 0, 0, kBack}});

  sendEnter(button);
  expectPixels(grabbed(button), {{"hover: frame", 50, 0, frame}, {"hover: face", 5, 2, rgb(248, 251, 254)}});

  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(button->leftButtonPressed());
  expectPixels(grabbed(button), {{"pressed: shadow", 50, 1, rgb(201, 212, 228)},
                                 {"pressed: lower face", 5, 20, rgb(207, 219, 236)}});
  QSignalSpy clicks(button, &ToolButton::clicked);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(button->look(), ToolButtonLook::Hover);

  // It keeps the focus after its click and shows the frame alone when the pointer leaves.
  sendLeave(button);
  EXPECT_TRUE(button->hasFocus());
  expectPixels(grabbed(button), {{"frame alone", 50, 0, frame}, {"no face", 5, 12, kBack}});
}

TEST(ToolButtonCaption, AccessMarksAreNotShown) {
  const std::pair<QString, QString> cases[] = {
      {"&Add", "Add"}, {"&Cancel", "Cancel"}, {"Save && quit", "Save & quit"}, {"end&", "end&"},
      {"", ""},        {"Plain", "Plain"}};
  for (const auto& [caption, shown] : cases)
    EXPECT_EQ(withoutAccessMarks(caption), shown) << caption.toStdString();

  // "&Add" is drawn where "Add" is: the same letters, only the underline of the A differs.
  Window window;
  auto* marked = new ToolButton(&window.widget);
  auto* plain = new ToolButton(&window.widget);
  marked->setGeometry(10, 10, 100, 24);
  plain->setGeometry(10, 40, 100, 24);
  marked->setCaption("&Add");
  plain->setCaption("Add");
  window.show();
  marked->clearFocus();  // the window hands its first focusable control the focus
  plain->clearFocus();
  const QImage a = marked->grab().toImage();
  const QImage b = plain->grab().toImage();
  ASSERT_EQ(a.size(), b.size());
  const QFontMetrics fm(marked->font());
  const int baseline = (a.height() - fm.height()) / 2 + fm.ascent();
  int differentAbove = 0;
  int differentBelow = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++(y < baseline - 1 ? differentAbove : differentBelow);
  EXPECT_EQ(differentAbove, 0);
  EXPECT_GT(differentBelow, 0) << "the access key is underlined";
}

TEST_F(ToolButtonFixture, EnterAndSpaceShowThePressedFaceWithoutClicking) {
  QSignalSpy clicks(button, &ToolButton::clicked);
  button->setFocus(Qt::TabFocusReason);
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
    QTest::keyPress(button, key);
    EXPECT_TRUE(button->keyPressed());
    expectPixels(grabbed(button), {{"pressed face", 50, 1, rgb(201, 212, 228)}});
    QTest::keyRelease(button, key);
    EXPECT_FALSE(button->keyPressed());
    expectPixels(grabbed(button), {{"back to the focus frame", 50, 1, rgb(239, 244, 249)}});
  }
  QTest::keyPress(button, Qt::Key_A);
  EXPECT_FALSE(button->keyPressed()) << "other keys do not press";
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ToolButtonFixture, LosingTheFocusWhilePressedDropsThePressedLook) {
  auto* other = new ToolButton(&window.widget);
  other->setGeometry(150, 10, 100, 24);
  other->show();
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
  ASSERT_TRUE(button->hasFocus());
  other->setFocus(Qt::TabFocusReason);
  EXPECT_FALSE(button->leftButtonPressed());
  expectPixels(grabbed(button), {{"no pressed face", 5, 20, kBack}});
}

TEST_F(ToolButtonFixture, DisabledShowsTheParentAndGreyText) {
  Window white(kWhite);
  auto* b = new ToolButton(&white.widget);
  b->setGeometry(10, 10, 100, 24);
  b->setCaption(QStringLiteral("Record"));
  white.show();
  auto textPixels = [&] {
    const RgbaImage img = grabbed(b);
    int bluish = 0, nonGrey = 0, dark = 0;
    for (int y = 2; y < 22; ++y)
      for (int x = 20; x < 80; ++x) {
        const Color c = img.pixel(x, y);
        if (blueOf(c) - redOf(c) > 30) ++bluish;
        if (!(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c))) ++nonGrey;
        if (redOf(c) < 200) ++dark;
      }
    return std::tuple{bluish, nonGrey, dark};
  };
  auto [bluish, nonGrey, dark] = textPixels();
  EXPECT_GT(bluish, 5) << "enabled text is drawn in the font colour";
  sendEnter(b);
  b->setEnabled(false);
  std::tie(bluish, nonGrey, dark) = textPixels();
  EXPECT_EQ(nonGrey, 0) << "disabled: grey text over the parent, no face";
  EXPECT_GT(dark, 5) << "the caption is still drawn";
  expectPixels(grabbed(b), {{"no frame while disabled", 50, 0, kWhite}});
  // A press alone: a button that took it would hold it until the release.
  QSignalSpy clicks(b, &ToolButton::clicked);
  QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(b->leftButtonPressed()) << "a disabled button takes no input";
  expectPixels(grabbed(b), {{"no pressed shadow while the button is held", 50, 1, kWhite},
                            {"no pressed face while the button is held", 5, 20, kWhite}});
  QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ToolButtonFixture, ShowsThePanelBeneathIt) {
  auto* panel = new GradientPanel(&window.widget);
  panel->setGeometry(0, 40, 300, 80);
  auto* onPanel = new ToolButton(panel);
  onPanel->setGeometry(30, 20, 100, 24);
  panel->show();
  onPanel->hide();
  const RgbaImage beneath = grabbed(panel);
  onPanel->show();
  const RgbaImage idle = grabbed(onPanel);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{50, 12}, std::pair{99, 23}})
    EXPECT_EQ(colorText(idle.pixel(x, y)), colorText(beneath.pixel(30 + x, 20 + y))) << x << "," << y;
}

// ---- Speed button ---------------------------------------------------------------------------

TEST(SpeedButtonWidget, ValuesAtCreationAndInput) {
  Window window;
  auto* b = new SpeedButton(&window.widget);
  EXPECT_EQ(b->size(), QSize(34, 27));
  EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
  EXPECT_FALSE(b->flat());
  EXPECT_FALSE(b->light());
  EXPECT_EQ(b->fadeInInterval(), 15);
  EXPECT_EQ(b->fadeOutInterval(), 40);
  EXPECT_TRUE(b->pressButtonEffect());
  EXPECT_EQ(b->fader().opacity(), 0);
  EXPECT_TRUE(b->fader().released());
  b->setFlat(true);
  b->setLight(true);
  EXPECT_FALSE(b->flat()) << "Light clears Flat";
  b->setGeometry(10, 10, 81, 27);
  window.show();

  QSignalSpy clicks(b, &SpeedButton::clicked);
  sendEnter(b);
  EXPECT_EQ(b->fader().opacity(), 1);
  EXPECT_TRUE(b->fader().timerRunning());
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_FALSE(b->fader().released()) << "the pressed face stays while the hover fades in";
}

TEST(SpeedButtonWidget, DisabledLookWithThePointerOnIt) {
  Window window;
  auto* b = new SpeedButton(&window.widget);
  b->setGeometry(10, 10, 81, 27);
  b->setFlat(true);
  b->setFadeInInterval(0);  // show the hover face at once
  window.show();
  sendEnter(b);
  expectPixels(grabbed(b), {{"hover outline", 40, 0, rgb(255, 219, 0)}});
  // Disabled by its own click while the pointer is still on it.
  QObject::connect(b, &SpeedButton::clicked, b, [b] { b->setEnabled(false); });
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
  ASSERT_FALSE(b->isEnabled());
  expectPixels(grabbed(b), {{"pale frame", 40, 0, rgb(180, 194, 209)},
                            {"fainter wash, no hover face", 60, 4, blendByWeight(kBack, kWhite, 10)},
                            {"corner shows the parent", 0, 0, kBack}});
  sendLeave(b);
  EXPECT_FALSE(b->fader().pointerInside()) << "a disabled button keeps its pointer flag up to date";
}

TEST(SpeedButtonWidget, DisabledShowsItsImageInColourAndItsCaptionInGrey) {
  // A 16-pixel image of strong colours that differ at every pixel, so that a greyed, shifted or
  // scaled image shows.
  QImage picture(16, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) picture.setPixel(x, y, qRgb(255 - 8 * x, 16 * x, 15 * y));
  ImageList images;
  images.add(QPixmap::fromImage(picture));

  Window window(kWhite);
  auto* b = new SpeedButton(&window.widget);
  b->setGeometry(10, 10, 81, 27);
  b->setFlat(true);
  b->setCaption(QStringLiteral("Tree"));
  b->setImages(&images);
  b->setImageIndex(0);
  window.show();

  // Where the image and the caption go (the layout itself is checked without a display).
  const QFontMetrics fm(b->font());
  const ButtonLayout layout = layoutButtonContent({.kind = ButtonKind::Speed,
                                                   .width = 81,
                                                   .height = 27,
                                                   .imageShown = true,
                                                   .textWidth = fm.horizontalAdvance(QStringLiteral("Tree")),
                                                   .textHeight = fm.height()});
  ASSERT_TRUE(layout.imageX && layout.imageY);
  const QRect imageBox(*layout.imageX, *layout.imageY, 16, 16);

  for (bool enabled : {true, false}) {
    SCOPED_TRACE(enabled ? "enabled" : "disabled");
    b->setEnabled(enabled);
    const RgbaImage img = grabbed(b);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const QRgb p = picture.pixel(x, y);
        ASSERT_EQ(colorText(img.pixel(imageBox.x() + x, imageBox.y() + y)),
                  colorText(rgb(qRed(p), qGreen(p), qBlue(p))))
            << "image pixel " << x << "," << y;
      }
    if (enabled) continue;
    // Inside the frame, away from the image: the white wash and grey text only.
    int nonGrey = 0, dark = 0;
    for (int y = 2; y < 27 - 2; ++y)
      for (int x = 2; x < 81 - 2; ++x) {
        if (imageBox.contains(x, y)) continue;
        const Color c = img.pixel(x, y);
        if (!(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c))) ++nonGrey;
        if (redOf(c) < 200) ++dark;
      }
    EXPECT_EQ(nonGrey, 0) << "the caption is grey";
    EXPECT_GT(dark, 5) << "the caption is drawn";
  }
}

// ---- Panel ----------------------------------------------------------------------------------

TEST(PanelWidget, ValuesAtCreationAndStyle) {
  GradientPanel panel;
  EXPECT_EQ(panel.size(), QSize(350, 75));
  EXPECT_EQ(panel.style(), PanelStyle::Calculator);
  EXPECT_EQ(panel.fillStyle(), PanelFill::Gradient);
  EXPECT_EQ(panel.colorA(), rgb(237, 243, 252));
  EXPECT_EQ(panel.colorB(), kWhite);
  EXPECT_EQ(panel.outerBorderColor(), rgb(142, 156, 173));
  EXPECT_EQ(panel.opacity(), 255);

  panel.setStyle(PanelStyle::Navy);
  const Color a = panel.colorA(), b = panel.colorB(), d = panel.colorD();
  panel.setColorC(rgb(1, 2, 3));
  EXPECT_EQ(panel.style(), PanelStyle::Custom);
  EXPECT_EQ(panel.colorA(), a);
  EXPECT_EQ(panel.colorB(), b);
  EXPECT_EQ(panel.colorD(), d);
  EXPECT_EQ(panel.colorC(), rgb(1, 2, 3));
  panel.setStyle(PanelStyle::Navy);
  panel.setFillStyle(PanelFill::Solid);
  EXPECT_EQ(panel.style(), PanelStyle::Custom);
}

TEST(PanelWidget, PaintsOverItsParent) {
  Window window;
  window.widget.resize(440, 340);
  auto* panel = new GradientPanel(&window.widget);
  panel->setGeometry(8, 8, 424, 321);
  window.show();
  const RgbaImage img = grabbed(panel);
  const Color outer = rgb(142, 156, 173);
  expectPixels(img, {{"outer left", 0, 160, outer},
                     {"outer bottom", 200, 320, outer},
                     {"inner right", 422, 160, kWhite},
                     {"inner bottom", 200, 319, kWhite},
                     {"corner blended with the parent", 0, 0, blendByWeight(outer, kBack, 230)},
                     {"edge blended with the parent", 423, 1, blendByWeight(outer, kBack, 60)}});
}

// ---- Active label ---------------------------------------------------------------------------

TEST(ActiveLabel, InAndOutLooks) {
  Window window;
  auto* label = new ActiveLabel(QStringLiteral("Drives to watch"), &window.widget);
  label->setGeometry(10, 10, 150, 18);
  window.show();
  QSignalSpy enters(label, &ActiveLabel::mouseEnter), leaves(label, &ActiveLabel::mouseLeave);

  EXPECT_EQ(label->textColor(), QColor(21, 28, 85));
  EXPECT_FALSE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::ArrowCursor);

  sendEnter(label);
  EXPECT_TRUE(label->pointerInside());
  EXPECT_EQ(label->textColor(), QColor(7, 74, 229));
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(enters.count(), 1);

  sendLeave(label);
  EXPECT_FALSE(label->pointerInside());
  EXPECT_EQ(label->textColor(), QColor(21, 28, 85));
  EXPECT_FALSE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(leaves.count(), 1);

  QSignalSpy clicks(label, &ActiveLabel::clicked);
  QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks.count(), 1);
}

TEST(ActiveLabel, AnUnderlinedFontLosesItsUnderlineAtTheFirstLeave) {
  Window window;
  auto* label = new ActiveLabel(QStringLiteral("Notice"), &window.widget);
  QFont f = label->font();
  f.setUnderline(true);
  label->setFont(f);
  window.show();
  EXPECT_TRUE(label->font().underline());
  sendLeave(label);
  EXPECT_FALSE(label->font().underline());
}

// ---- Bars -----------------------------------------------------------------------------------

TEST(Bars, ToolBarDocksAtTheTopAndPaintsItsStrip) {
  Window window;
  auto* bar = new ToolBar(&window.widget);
  EXPECT_EQ(bar->height(), 31);
  EXPECT_FALSE(bar->showTopBorder());
  window.show();
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 300, 31));
  window.widget.resize(420, 200);
  QApplication::processEvents();
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 420, 31)) << "it follows its parent's width";
  expectPixels(grabbed(bar), {{"gradient", 200, 0, rgb(250, 252, 253)},
                              {"bottom line", 200, 30, rgb(160, 175, 195)},
                              {"side column", 419, 10, rgb(228, 239, 251)}});
  bar->setShowTopBorder(true);
  expectPixels(grabbed(bar), {{"top border", 200, 0, rgb(205, 218, 234)}});
}

TEST(Bars, InformationBarDocksAtTheBottom) {
  Window window;
  auto* bar = new InformationBar(&window.widget);
  window.show();
  EXPECT_EQ(bar->geometry(), QRect(0, 120 - 53, 300, 53));
  bar->resize(bar->width(), 40);
  QApplication::processEvents();
  EXPECT_EQ(bar->geometry(), QRect(0, 80, 300, 40));
  expectPixels(grabbed(bar), {{"top line", 10, 0, rgb(204, 217, 234)}, {"fill", 10, 20, rgb(241, 245, 251)}});
}

// ---- Repaints on pointer enter and leave ----------------------------------------------------

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Lets the event loop run until `done` holds (at most two seconds); returns whether it did.
template <typename Pred>
bool waitFor(Pred done) {
  for (int i = 0; i < 2000 && !done(); ++i) QTest::qWait(1);
  return done();
}

TEST(PointerRepaints, BarsAndPanelIgnoreThePointerWhileAToolButtonRepaints) {
  Window window;
  window.widget.resize(300, 200);
  auto* toolBar = new ToolBar(&window.widget);
  auto* infoBar = new InformationBar(&window.widget);
  auto* panel = new GradientPanel(&window.widget);
  panel->setGeometry(0, 40, 140, 100);
  auto* progress = new ProgressBar(&window.widget);
  progress->setGeometry(150, 100, 140, 9);
  // The probe repaints on pointer enter and leave: once its paint has arrived, any repaint the
  // others had asked for at the same time has arrived too.
  auto* probe = new ToolButton(&window.widget);
  probe->setGeometry(160, 50, 100, 24);
  window.show();
  ASSERT_EQ(toolBar->geometry(), QRect(0, 0, 300, 31));
  ASSERT_EQ(infoBar->geometry(), QRect(0, 147, 300, 53));
  window.widget.repaint();  // nothing left over from showing the window

  struct Watched {
    const char* name;
    QWidget* widget;
    ThemedControl* control;  // raises mouseEnter and mouseLeave; null for the progress bar
  };
  const Watched watched[] = {{"toolbar", toolBar, toolBar},
                             {"information bar", infoBar, infoBar},
                             {"panel", panel, panel},
                             {"progress bar", progress, nullptr}};
  PaintCounter probeCounter;
  probe->installEventFilter(&probeCounter);
  PaintCounter counters[std::size(watched)];
  std::vector<std::unique_ptr<QSignalSpy>> enters, leaves;
  for (size_t i = 0; i < std::size(watched); ++i) {
    watched[i].widget->installEventFilter(&counters[i]);
    if (watched[i].control) {
      enters.push_back(std::make_unique<QSignalSpy>(watched[i].control, &ThemedControl::mouseEnter));
      leaves.push_back(std::make_unique<QSignalSpy>(watched[i].control, &ThemedControl::mouseLeave));
    }
  }

  for (bool enter : {true, false}) {
    SCOPED_TRACE(enter ? "pointer enters" : "pointer leaves");
    const int probeBefore = probeCounter.paints;
    for (const Watched& w : watched) enter ? sendEnter(w.widget) : sendLeave(w.widget);
    enter ? sendEnter(probe) : sendLeave(probe);
    ASSERT_TRUE(waitFor([&] { return probeCounter.paints > probeBefore; })) << "the tool button repaints";
    for (size_t i = 0; i < std::size(watched); ++i) EXPECT_EQ(counters[i].paints, 0) << watched[i].name;
  }
  for (size_t i = 0; i < enters.size(); ++i) {
    EXPECT_EQ(enters[i]->count(), 1) << watched[i].name << " still raises its enter event";
    EXPECT_EQ(leaves[i]->count(), 1) << watched[i].name << " still raises its leave event";
  }
}

// ---- Progress bar ---------------------------------------------------------------------------

TEST(VistaProBarWidget, RepaintsAtOnceOnlyWhenAValueChanges) {
  Window window;
  auto* bar = new ProgressBar(&window.widget);
  EXPECT_EQ(bar->size(), QSize(150, 17));
  EXPECT_EQ(bar->color(), rgb(0, 255, 0));
  EXPECT_EQ(bar->max(), 100);
  EXPECT_EQ(bar->marqueeSize(), 40);
  EXPECT_EQ(bar->marqueeFade(), 30);
  EXPECT_EQ(bar->marqueeSpeed(), 25);
  bar->setGeometry(4, 100, 292, 9);
  window.show();
  QApplication::processEvents();
  PaintCounter counter;
  bar->installEventFilter(&counter);

  bar->setPosition(50);
  EXPECT_EQ(counter.paints, 1) << "painted synchronously";
  bar->setPosition(50);
  EXPECT_EQ(counter.paints, 1) << "an unchanged value repaints nothing";
  bar->setPosition(150);
  EXPECT_EQ(bar->position(), 100);
  EXPECT_EQ(counter.paints, 2);
  bar->setMax(100);
  EXPECT_EQ(counter.paints, 2);
  bar->setMax(200);
  EXPECT_EQ(counter.paints, 3);
  EXPECT_EQ(bar->position(), 100);

  bar->hide();
  bar->setPosition(7);
  EXPECT_EQ(counter.paints, 3) << "a hidden bar does not paint";
  EXPECT_EQ(bar->position(), 7);
  bar->show();
  bar->setMax(4);
  bar->setPosition(1);
  const RgbaImage img = grabbed(bar);
  const RgbaImage expected =
      paintProgressBar(bar->state(), 292, 9, fromQColor(bar->palette().color(QPalette::Base)));
  for (int x : {0, 1, 40, 72, 73, 74, 150, 291})
    for (int y : {0, 3, 4, 8})
      ASSERT_EQ(colorText(img.pixel(x, y)), colorText(expected.pixel(x, y))) << x << "," << y;
}

}  // namespace
}  // namespace tw
