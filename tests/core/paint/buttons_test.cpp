#include <gtest/gtest.h>

#include <vector>

#include "core/paint/buttons.h"
#include "core/paint/paint_test_util.h"

namespace tw {
namespace {

constexpr Color kParent = rgb(90, 60, 30);

// ---- Arrow glyph ----------------------------------------------------------------------------

TEST(ButtonArrow, FourDirections) {
  const Color soft = rgb(222, 222, 222);       // black blended into white with weight 222
  const Color softTwice = rgb(193, 193, 193);  // the tip, softened from both sides
  struct Case {
    ArrowDirection type;
    std::vector<NamedPoint> points;
  };
  const std::vector<Case> cases = {
      {ArrowDirection::Down,
       {{"row 0 start", 1, 0, kBlack},
        {"row 0 end", 7, 0, kBlack},
        {"row 1 start", 2, 1, kBlack},
        {"row 2 end", 5, 2, kBlack},
        {"tip", 4, 3, kBlack},
        {"slant left, top", 0, 0, soft},
        {"slant right, top", 8, 0, soft},
        {"slant, row 1", 1, 1, soft},
        {"slant, row 3", 5, 3, soft},
        {"below the tip", 4, 4, softTwice},
        {"outside", 9, 0, kWhite},
        {"row 1 beside", 0, 1, kWhite}}},
      {ArrowDirection::Up,
       {{"row 4 start", 1, 4, kBlack},
        {"row 3 start", 2, 3, kBlack},
        {"tip", 4, 1, kBlack},
        {"slant, bottom", 0, 4, soft},
        {"slant, row 3", 7, 3, soft},
        {"above the tip", 4, 0, softTwice}}},
      {ArrowDirection::Right,
       {{"column 0 top", 0, 1, kBlack},
        {"column 0 bottom", 0, 7, kBlack},
        {"column 2", 2, 5, kBlack},
        {"tip", 3, 4, kBlack},
        {"slant", 0, 0, soft},
        {"slant lower", 1, 7, soft},
        {"beyond the tip", 4, 4, softTwice}}},
      {ArrowDirection::Left,
       {{"column 4 top", 4, 1, kBlack},
        {"column 4 bottom", 4, 7, kBlack},
        {"tip", 1, 4, kBlack},
        {"slant", 4, 0, soft},
        {"slant lower", 3, 7, soft},
        {"beyond the tip", 0, 4, softTwice}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    RgbaImage img(12, 12, kWhite);
    drawButtonArrow(img, 0, 0, c.type, kBlack);
    for (const NamedPoint& p : c.points) expectPixels(img, {p});
  }
  RgbaImage offset(20, 20, kWhite);
  drawButtonArrow(offset, 5, 7, ArrowDirection::Down, kBlack);
  expectPixels(offset, {{"placed at (x, y)", 6, 7, kBlack}, {"tip", 9, 10, kBlack}});
}

// ---- Tool button ----------------------------------------------------------------------------

TEST(ToolButton, LookFollowsPressKeyPointerAndFocus) {
  struct Case {
    bool left, key, over, focus;
    ToolButtonLook look;
  };
  const Case cases[] = {
      {false, false, false, false, ToolButtonLook::Idle},
      {false, false, false, true, ToolButtonLook::Focused},
      {false, false, true, false, ToolButtonLook::Hover},
      {false, false, true, true, ToolButtonLook::Hover},
      {true, false, true, true, ToolButtonLook::Pressed},
      {true, false, false, false, ToolButtonLook::Pressed},
      {false, true, false, true, ToolButtonLook::Pressed},
      {false, true, true, true, ToolButtonLook::Hover},
  };
  for (const Case& c : cases)
    EXPECT_EQ(toolButtonLook(c.left, c.key, c.over, c.focus), c.look)
        << "left " << c.left << " key " << c.key << " over " << c.over << " focus " << c.focus;
}

TEST(ToolButton, FacePixels) {
  const int w = 100, h = 24;
  RgbaImage idle(w, h, kParent);
  paintToolButtonFace(idle, ToolButtonLook::Idle);
  expectPixels(idle, {{"idle shows the parent", 50, 12, kParent}, {"idle edge", 50, 0, kParent}});

  RgbaImage frame(w, h, kParent);
  paintToolButtonFace(frame, ToolButtonLook::Focused);
  expectPixels(frame, {
                          {"corner keeps the parent", 0, 0, kParent},
                          {"outer outline", 50, 0, rgb(187, 202, 219)},
                          {"outer outline, right", w - 1, 12, rgb(187, 202, 219)},
                          {"inner outline", 50, 1, rgb(239, 244, 249)},
                          {"inner outline, bottom", 50, h - 2, rgb(239, 244, 249)},
                          {"top edge (1,0)", 1, 0, rgb(216, 224, 235)},
                          {"top edge (0,1)", 0, 1, rgb(216, 224, 235)},
                          {"top edge (w-2,0)", w - 2, 0, rgb(216, 224, 235)},
                          {"top edge (w-1,1)", w - 1, 1, rgb(216, 224, 235)},
                          {"top inner (1,1)", 1, 1, rgb(216, 224, 235)},
                          {"top inner (w-2,1)", w - 2, 1, rgb(216, 224, 235)},
                          {"bottom edge (1,h-1)", 1, h - 1, rgb(200, 212, 229)},
                          {"bottom edge (w-1,h-2)", w - 1, h - 2, rgb(200, 212, 229)},
                          {"bottom inner (1,h-2)", 1, h - 2, rgb(200, 212, 229)},
                          {"bottom inner (w-2,h-2)", w - 2, h - 2, rgb(200, 212, 229)},
                          {"the frame alone leaves the middle", 50, 12, kParent},
                      });

  RgbaImage hover(w, h, kParent);
  paintToolButtonFace(hover, ToolButtonLook::Hover);
  expectPixels(hover, {
                          {"frame", 50, 0, rgb(187, 202, 219)},
                          {"upper gradient start", 50, 2, rgb(248, 251, 254)},
                          {"lower gradient start", 50, 12, rgb(215, 228, 244)},
                          {"lower gradient last row", 50, h - 3, rgb(195, 211, 233)},
                          {"pixel (2,2)", 2, 2, rgb(250, 252, 254)},
                          {"pixel (w-3,2)", w - 3, 2, rgb(250, 252, 254)},
                          {"pixel (2,h-3)", 2, h - 3, rgb(215, 227, 240)},
                          {"pixel (w-3,h-3)", w - 3, h - 3, rgb(215, 227, 240)},
                          {"corner pixel", 1, 0, rgb(216, 224, 235)},
                          {"corner keeps the parent", w - 1, h - 1, kParent},
                      });

  RgbaImage pressed(w, h, kParent);
  paintToolButtonFace(pressed, ToolButtonLook::Pressed);
  expectPixels(pressed, {
                            {"outer outline", 50, h - 1, rgb(187, 202, 219)},
                            {"shadow row 1", 50, 1, rgb(201, 212, 228)},
                            {"shadow row 1 ends at w-4", w - 3, 1, rgb(221, 232, 241)},
                            {"shadow row 2", 1, 2, rgb(212, 222, 234)},
                            {"shadow row 3", w - 3, 3, rgb(221, 232, 241)},
                            {"upper gradient", 50, 4, rgb(219, 230, 241)},
                            {"lower plain", 50, 12, rgb(207, 219, 236)},
                            {"lower plain, row h-2", 50, h - 2, rgb(207, 219, 236)},
                            {"top edge", 0, 1, rgb(212, 222, 235)},
                            {"top inner", w - 2, 1, rgb(193, 207, 223)},
                            {"bottom edge", w - 2, h - 1, rgb(194, 208, 228)},
                            {"bottom inner", 1, h - 2, rgb(186, 202, 223)},
                            {"corner keeps the parent", 0, h - 1, kParent},
                        });
}

// ---- Speed button ---------------------------------------------------------------------------

TEST(SpeedButton, FaceImages) {
  const int w = 81, h = 27;
  const SpeedButtonImages images = buildSpeedButtonImages(w, h);
  expectPixels(images.background, {{"white background", 40, 13, kWhite}});
  expectPixels(images.hoverFace, {
                                     {"outline", 40, 0, rgb(255, 219, 0)},
                                     {"outline, left", 0, 13, rgb(255, 219, 0)},
                                     {"top edge", 1, 0, rgb(247, 213, 62)},
                                     {"top inner", w - 2, 1, rgb(255, 236, 190)},
                                     {"bottom edge", 0, h - 2, rgb(247, 213, 62)},
                                     {"bottom inner", 1, h - 2, rgb(255, 246, 207)},
                                     {"white inner outline, bottom", 40, h - 2, kWhite},
                                     {"row 1", 40, 1, rgb(255, 239, 202)},
                                     {"column 1", 1, 10, rgb(255, 239, 204)},
                                     {"row 2", 40, 2, rgb(255, 218, 119)},
                                     {"column 2", 2, 10, rgb(255, 213, 115)},
                                     {"pixel (2,2)", 2, 2, rgb(255, 229, 133)},
                                     {"gradient start", 40, 3, rgb(255, 206, 103)},
                                     {"glow first row, centre", 40, h - 11, rgb(255, 211, 113)},
                                     {"glow last row, centre", 40, h - 3, rgb(255, 250, 220)},
                                     {"glow last row, side", 3, h - 3, rgb(255, 240, 158)},
                                 });
  expectPixels(images.pressedFace, {
                                       {"outline over everything", 40, h - 1, rgb(194, 155, 40)},
                                       {"outline, right", w - 1, 13, rgb(194, 155, 40)},
                                       {"top edge", w - 2, 0, rgb(203, 171, 82)},
                                       {"top inner", 1, 1, rgb(215, 179, 94)},
                                       {"bottom edge", w - 1, h - 2, rgb(202, 169, 72)},
                                       {"bottom inner", w - 2, h - 2, rgb(215, 195, 91)},
                                       {"row 1", 40, 1, rgb(209, 167, 91)},
                                       {"gradient start", 5, 2, rgb(231, 181, 93)},
                                       {"glow first row, side", 1, h - 11, rgb(235, 187, 96)},
                                       {"glow row h-2, centre", 40, h - 2, rgb(233, 230, 196)},
                                   });
}

TEST(SpeedButton, PaintedLooks) {
  const int w = 81, h = 27;
  const SpeedButtonImages ref = buildSpeedButtonImages(w, h);
  auto paint = [&](SpeedButtonPaintState s) {
    RgbaImage img = patternedParent(w, h);
    SpeedButtonImages images;
    paintSpeedButton(img, images, s);
    return img;
  };
  const RgbaImage parent = patternedParent(w, h);

  const RgbaImage idle = paint({});
  expectPixels(
      idle,
      {
          {"frame", 40, 0, rgb(135, 151, 170)},
          {"inner frame under the wash", 40, 1, blendByWeight(rgb(246, 250, 254), kWhite, 20)},
          {"top edge", 1, 0, rgb(155, 170, 187)},
          {"top inner under the wash", 1, 1, blendByWeight(rgb(155, 170, 187), kWhite, 20)},
          {"top inner on the right, under the wash", w - 2, 1, blendByWeight(rgb(155, 170, 187), kWhite, 20)},
          {"bottom inner under the wash", 1, h - 2, blendByWeight(rgb(217, 222, 228), kWhite, 20)},
          {"bottom edge", w - 2, h - 1, rgb(155, 170, 187)},
          {"corner shows the parent", 0, 0, parent.pixel(0, 0)},
          {"white wash at 20", 40, 13, blendByWeight(parent.pixel(40, 13), kWhite, 20)},
      });

  const RgbaImage hover = paint({.pointerInside = true, .opacity = 255});
  expectPixels(hover, {
                          {"full hover face", 40, 13, ref.hoverFace.pixel(40, 13)},
                          {"hover outline", 40, 0, rgb(255, 219, 0)},
                          {"corners show the parent", w - 1, h - 1, parent.pixel(w - 1, h - 1)},
                          {"corners show the parent", 0, h - 1, parent.pixel(0, h - 1)},
                      });

  const RgbaImage fading = paint({.opacity = 100});
  const Color washed = blendByWeight(parent.pixel(40, 13), kWhite, 20);
  expectPixels(fading,
               {{"fading face at 100/255", 40, 13, blendByWeight(washed, ref.hoverFace.pixel(40, 13), 100)}});

  const RgbaImage pressed = paint({.leftPressed = true, .pointerInside = true, .released = false});
  expectPixels(pressed, {
                            {"pressed face", 40, 13, ref.pressedFace.pixel(40, 13)},
                            {"no frame: the pressed outline", 40, 0, rgb(194, 155, 40)},
                            {"corner shows the parent", w - 1, 0, parent.pixel(w - 1, 0)},
                        });

  const RgbaImage afterClick = paint({.pointerInside = true, .released = false, .opacity = 101});
  expectPixels(afterClick,
               {{"hover fading in over the pressed face", 40, 13,
                 blendByWeight(ref.pressedFace.pixel(40, 13), ref.hoverFace.pixel(40, 13), 101)}});

  const RgbaImage disabled = paint({.enabled = false, .pointerInside = true, .opacity = 255});
  expectPixels(
      disabled,
      {
          {"pale frame", 40, 0, rgb(180, 194, 209)},
          {"no inner frame", 40, 1, blendByWeight(parent.pixel(40, 1), kWhite, 10)},
          {"top edge", 1, 0, rgb(189, 202, 217)},
          {"top inner under the wash", 1, 1, blendByWeight(rgb(205, 217, 230), kWhite, 10)},
          {"bottom edge", 0, h - 2, rgb(189, 202, 217)},
          {"bottom inner under the wash", 1, h - 2, blendByWeight(rgb(205, 217, 230), kWhite, 10)},
          {"bottom inner on the right, under the wash", w - 2, h - 2,
           blendByWeight(rgb(205, 217, 230), kWhite, 10)},
          {"fainter wash, never the hover face", 40, 13, blendByWeight(parent.pixel(40, 13), kWhite, 10)},
      });
}

TEST(SpeedButton, ImagesRebuiltWhenTheSizeChanges) {
  SpeedButtonImages images = buildSpeedButtonImages(31, 27);
  RgbaImage img(81, 27, kParent);
  paintSpeedButton(img, images, {.pointerInside = true, .opacity = 255});
  EXPECT_TRUE(images.matches(81, 27));
  expectPixels(img, {{"hover outline reaches the new right edge", 80, 13, rgb(255, 219, 0)}});
}

// A fade timer the test steps by hand.
struct FakeTimer : SpeedButtonFader::Timer {
  void start(int ms) override {
    running = true;
    interval = ms;
    ++starts;
  }
  void stop() override { running = false; }
  bool running = false;
  int interval = 0;
  int starts = 0;
};

struct FaderFixture : ::testing::Test {
  FakeTimer timer;
  int repaints = 0;
  SpeedButtonFader fader{timer, [this] { ++repaints; }};

  // Ticks while the timer runs; returns the opacities seen after each tick.
  std::vector<int> runTimer(int limit = 100) {
    std::vector<int> seen;
    while (timer.running && limit-- > 0) {
      fader.tick();
      seen.push_back(fader.opacity());
    }
    return seen;
  }
};

TEST_F(FaderFixture, FadeInFromNothingTakesElevenTicksOf15Ms) {
  fader.pointerEnter();
  EXPECT_EQ(fader.opacity(), 1);
  EXPECT_TRUE(timer.running);
  EXPECT_EQ(timer.interval, 15);
  const std::vector<int> seen = runTimer();
  EXPECT_EQ(seen, (std::vector<int>{26, 51, 76, 101, 126, 151, 176, 201, 226, 251, 255}));
  EXPECT_FALSE(fader.timerRunning());
  EXPECT_TRUE(fader.released());
  EXPECT_EQ(repaints, 11);
}

TEST_F(FaderFixture, FadeOutFromFullTakesSeventeenTicksOf40Ms) {
  fader.pointerEnter();
  runTimer();
  fader.pointerLeave();
  EXPECT_EQ(fader.opacity(), 254);
  EXPECT_EQ(timer.interval, 40);
  const std::vector<int> seen = runTimer();
  ASSERT_EQ(seen.size(), 17u);
  EXPECT_EQ(seen.front(), 239);
  EXPECT_EQ(seen[15], 14);
  EXPECT_EQ(seen.back(), -1);
  EXPECT_FALSE(timer.running);
}

TEST_F(FaderFixture, AFadeReversesFromTheOpacityItReached) {
  fader.pointerEnter();
  for (int i = 0; i < 4; ++i) fader.tick();
  EXPECT_EQ(fader.opacity(), 101);
  fader.pointerLeave();
  EXPECT_EQ(fader.opacity(), 101) << "not thrown back to full";
  EXPECT_EQ(timer.interval, 40);
  fader.tick();
  EXPECT_EQ(fader.opacity(), 86);
  fader.pointerEnter();
  EXPECT_EQ(timer.interval, 15);
  fader.tick();
  EXPECT_EQ(fader.opacity(), 111);
  const std::vector<int> seen = runTimer();
  EXPECT_EQ(seen.back(), 255);
  EXPECT_EQ(seen.size(), 6u);  // 136 161 186 211 236 255
}

TEST_F(FaderFixture, ClickShowsThePressedFaceThenTheHoverFadesInOverIt) {
  fader.pointerEnter();
  runTimer();
  fader.mouseDown(true);
  EXPECT_TRUE(fader.leftPressed());
  EXPECT_EQ(fader.opacity(), 0);
  EXPECT_FALSE(fader.released());
  EXPECT_FALSE(timer.running);

  fader.mouseUp();
  EXPECT_FALSE(fader.leftPressed());
  EXPECT_EQ(fader.opacity(), 1);
  EXPECT_FALSE(fader.released()) << "the pressed face stays while the hover fades in";
  EXPECT_EQ(timer.interval, 15);
  fader.tick();
  EXPECT_FALSE(fader.released());
  runTimer();
  EXPECT_TRUE(fader.released());
  EXPECT_EQ(fader.opacity(), 255);
}

TEST_F(FaderFixture, PressedThenLeftFadesOutAfterTheRelease) {
  fader.pointerEnter();
  fader.mouseDown(true);
  fader.pointerLeave();
  EXPECT_EQ(fader.opacity(), 254) << "a press counts as not released: the fade-out starts from full";
  EXPECT_TRUE(fader.released());
  fader.mouseUp();
  EXPECT_FALSE(fader.leftPressed());
  EXPECT_TRUE(fader.released()) << "released outside: no pressed face";
  EXPECT_EQ(timer.interval, 15);
  const std::vector<int> seen = runTimer();
  EXPECT_EQ(seen.size(), 17u);
  EXPECT_EQ(seen.back(), -1);
  EXPECT_FALSE(timer.running);
}

TEST_F(FaderFixture, RightButtonDoesNotPress) {
  fader.pointerEnter();
  runTimer();
  fader.mouseDown(false);
  EXPECT_FALSE(fader.leftPressed());
  EXPECT_EQ(fader.opacity(), 255);
  EXPECT_TRUE(fader.released());
}

TEST_F(FaderFixture, ZeroIntervalsShowAndHideAtOnce) {
  fader.fadeInInterval = 0;
  fader.fadeOutInterval = -5;
  fader.pointerEnter();
  EXPECT_EQ(fader.opacity(), 255);
  EXPECT_EQ(timer.starts, 0);
  fader.mouseDown(true);
  fader.mouseUp();
  EXPECT_EQ(fader.opacity(), 255);
  EXPECT_TRUE(fader.released()) << "no timer would ever end the pressed look";
  fader.pointerLeave();
  EXPECT_EQ(fader.opacity(), 1);
  EXPECT_EQ(timer.starts, 0);
}

TEST_F(FaderFixture, DisabledKeepsOnlyThePointerFlag) {
  fader.setEnabled(false);
  fader.pointerEnter();
  EXPECT_TRUE(fader.pointerInside());
  EXPECT_EQ(fader.opacity(), 0);
  EXPECT_FALSE(timer.running);
  fader.mouseDown(true);
  EXPECT_FALSE(fader.leftPressed());
  fader.pointerLeave();
  EXPECT_FALSE(fader.pointerInside());
  EXPECT_EQ(timer.starts, 0);
}

TEST_F(FaderFixture, DisabledByItsOwnClickNeverShowsTheHoverFace) {
  const int w = 81, h = 27;
  fader.pointerEnter();
  runTimer();
  fader.mouseDown(true);
  fader.mouseUp();
  fader.setEnabled(false);  // the window disables the button of the view it now shows
  SpeedButtonImages images;
  for (int step = 0; step < 12; ++step) {
    RgbaImage img(w, h, kParent);
    paintSpeedButton(img, images, fader.paintState());
    expectPixels(img, {{"disabled frame", 40, 0, rgb(180, 194, 209)},
                       {"disabled wash", 40, 13, blendByWeight(kParent, kWhite, 10)}});
    if (timer.running) fader.tick();
  }
}

// ---- Content layout -------------------------------------------------------------------------

TEST(ButtonLayout, SpeedButtonCentresImageAndCaptionAsOneBlock) {
  // 81 × 27 with a 16-pixel image and a 24-pixel caption: I = 21, T = 45, so the text starts at
  // 81/2 + 21 - 45/2 = 39 and the image at 39 - 21 = 18; the block 18..63 leaves 18 pixels on
  // both sides. Vertically: 27/2 - 16/2 = 5 to 27/2 + 16/2 + 1 = 22, the image at 13 - 8 + 1 = 6.
  ButtonLayoutInput in{.kind = ButtonKind::Speed,
                       .width = 81,
                       .height = 27,
                       .imageShown = true,
                       .textWidth = 24,
                       .textHeight = 16};
  struct Case {
    const char* name;
    bool pressed;
    Rect text;
    int imageX, imageY;
  };
  const Case cases[] = {
      {"released", false, {39, 5, 63, 22}, 18, 6},
      {"pressed: one pixel right and down", true, {40, 6, 64, 23}, 19, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    in.pressed = c.pressed;
    const ButtonLayout out = layoutButtonContent(in);
    EXPECT_TRUE(out.textFits);
    EXPECT_EQ(out.textRect, c.text) << out.textRect.left << "," << out.textRect.top << ","
                                    << out.textRect.right << "," << out.textRect.bottom;
    EXPECT_EQ(out.imageX.value_or(-1), c.imageX);
    EXPECT_EQ(out.imageY.value_or(-1), c.imageY);
    EXPECT_FALSE(out.arrowX);
  }
}

TEST(ButtonLayout, ToolButtonPlacements) {
  struct Case {
    const char* name;
    ButtonLayoutInput in;
    Rect text;
    int imageX, imageY, arrowX, arrowY;  // -1: not shown
    bool fits;
  };
  const Case cases[] = {
      {"centred caption",
       {.width = 100, .height = 24, .textWidth = 40, .textHeight = 16},
       {30, 3, 70, 20},
       -1,
       -1,
       -1,
       -1,
       true},
      {"centred, pressed",
       {.width = 100, .height = 24, .textWidth = 40, .textHeight = 16, .pressed = true},
       {31, 4, 71, 21},
       -1,
       -1,
       -1,
       -1,
       true},
      {"image, caption and arrow",
       {.width = 100, .height = 24, .showArrow = true, .imageShown = true, .textWidth = 40, .textHeight = 16},
       {34, 3, 74, 20},
       13,
       4,
       79,
       10,
       true},
      {"arrow on its side",
       {.width = 100,
        .height = 24,
        .showArrow = true,
        .arrowType = ArrowDirection::Right,
        .textWidth = 40,
        .textHeight = 16},
       {25, 3, 65, 20},
       -1,
       -1,
       70,
       8,
       true},
      {"left aligned with image",
       {.width = 100,
        .height = 24,
        .alignment = CaptionAlignment::Left,
        .imageShown = true,
        .textWidth = 40,
        .textHeight = 16},
       {23, 3, 63, 20},
       2,
       4,
       -1,
       -1,
       true},
      {"right aligned",
       {.width = 100, .height = 24, .alignment = CaptionAlignment::Right, .textWidth = 40, .textHeight = 16},
       {58, 3, 98, 20},
       -1,
       -1,
       -1,
       -1,
       true},
      {"caption too wide: the image keeps its place at the left",
       {.width = 100,
        .height = 24,
        .imageShown = true,
        .iconSize = IconSize::Px16,
        .textWidth = 200,
        .textHeight = 16},
       {24, 3, 96, 20},
       3,
       4,
       -1,
       -1,
       false},
      {"too wide with an arrow, pressed",
       {.width = 100, .height = 24, .showArrow = true, .textWidth = 200, .textHeight = 16, .pressed = true},
       {4, 4, 83, 21},
       -1,
       -1,
       88,
       11,
       false},
      {"32-pixel icon",
       {.width = 100,
        .height = 40,
        .imageShown = true,
        .iconSize = IconSize::Px32,
        .textWidth = 20,
        .textHeight = 16},
       {59, 11, 79, 28},
       22,
       4,
       -1,
       -1,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ButtonLayout out = layoutButtonContent(c.in);
    EXPECT_EQ(out.textRect, c.text) << out.textRect.left << "," << out.textRect.top << ","
                                    << out.textRect.right << "," << out.textRect.bottom;
    EXPECT_EQ(out.textFits, c.fits);
    EXPECT_EQ(out.imageX.value_or(-1), c.imageX);
    EXPECT_EQ(out.imageY.value_or(-1), c.imageY);
    EXPECT_EQ(out.arrowX.value_or(-1), c.arrowX);
    EXPECT_EQ(out.arrowY.value_or(-1), c.arrowY);
  }
}

TEST(ButtonLayout, ElideAtWordEnd) {
  auto measure = [](std::string_view s) { return static_cast<int>(s.size()) * 6; };
  struct Case {
    const char* text;
    int width;
    const char* expected;
  };
  const Case cases[] = {
      {"Tree", 24, "Tree"},
      {"Record changes now", 108, "Record changes now"},
      {"Record changes now", 102, "Record changes..."},
      {"Record changes now", 101, "Record..."},
      {"Record changes now", 80, "Record..."},
      {"Recording", 40, "Rec..."},
      {"ab", 6, ""},
      {"abc", 18, "abc"},
      {"abcd", 18, "..."},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 36, "\xC3\xA9..."},  // never cuts inside a character
  };
  for (const Case& c : cases)
    EXPECT_EQ(elideAtWordEnd(c.text, c.width, measure), c.expected) << c.text << " in " << c.width;
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST(ButtonCaption, AccessMarksAreNotShown) {
  const std::pair<std::string, std::string> cases[] = {
      {"&Add", "Add"},
      {"&Cancel", "Cancel"},
      {"Save && quit", "Save & quit"},
      {"end&", "end&"},
      {"", ""},
      {"Plain", "Plain"},
      {"&&&x", "&x"},
      {"\xC3\xA9&\xC3\xA9", "\xC3\xA9\xC3\xA9"},  // a mark before a two-byte letter keeps the letter whole
  };
  for (const auto& [caption, shown] : cases) EXPECT_EQ(withoutAccessMarks(caption), shown) << caption;
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// The focus frame: every other pixel of a rectangle two pixels in, starting at its top-left
// corner; nothing else touched; nothing on an image too small for it.
TEST(FocusFrame, DottedRectangleInsideTheEdges) {
  const Color back = rgb(10, 20, 30);
  const Color ink = rgb(200, 0, 0);
  RgbaImage img(9, 7, back);
  paintFocusFrame(img, ink);
  int inked = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const bool onFrame = (x == 2 || x == 6 || y == 2 || y == 4) && x >= 2 && x <= 6 && y >= 2 && y <= 4;
      const bool dot = onFrame && ((x - 2) + (y - 2)) % 2 == 0;
      EXPECT_EQ(img.pixel(x, y), dot ? ink : back) << x << "," << y;
      inked += dot ? 1 : 0;
    }
  }
  EXPECT_EQ(inked, 6);
  RgbaImage tiny(5, 5, back);
  paintFocusFrame(tiny, ink);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(tiny.pixel(x, y), back);
}

}  // namespace
}  // namespace tw
