#include <gtest/gtest.h>

#include "core/paint/bars.h"
#include "core/paint/color.h"
#include "core/paint/paint_test_util.h"
#include "core/paint/panel.h"
#include "core/paint/rgba_image.h"

namespace tw {
namespace {

TEST(ColorArithmetic, BlendExamples) {
  struct Case {
    const char* name;
    Color got;
    Color expected;
  };
  const Case cases[] = {
      {"red over white at 50 percent", blendByPercent(0x0000FF, 0xFFFFFF, 50), rgb(255, 127, 127)},
      {"weight 0 keeps the first colour", blendByWeight(rgb(12, 34, 56), rgb(200, 100, 0), 0),
       rgb(12, 34, 56)},
      {"weight 255 gives the second colour", blendByWeight(rgb(12, 34, 56), rgb(200, 100, 0), 255),
       rgb(200, 100, 0)},
      {"weight 128 of black and white rounds up", blendByWeight(kBlack, kWhite, 128), rgb(128, 128, 128)},
      {"weight 127 of black and white rounds down", blendByWeight(kBlack, kWhite, 127), rgb(127, 127, 127)},
      {"weight rounds to nearest, not down", blendByWeight(rgb(0, 0, 0), rgb(1, 2, 3), 128), rgb(1, 1, 2)},
      {"percent 5 tints the base by 13/256", blendByPercent(kWhite, kBlack, 5), rgb(12, 12, 12)},
      {"percent 60 is d = 154", blendByPercent(kWhite, kBlack, 60), rgb(153, 153, 153)},
      {"percent 80 is d = 205", blendByPercent(kWhite, kBlack, 80), rgb(204, 204, 204)},
      {"percent floors toward minus infinity", blendByPercent(kBlack, rgb(10, 10, 10), 5), rgb(9, 9, 9)},
      {"percent 100 wraps d to 0 and keeps the base", blendByPercent(kWhite, rgb(1, 2, 3), 100),
       rgb(1, 2, 3)},
      {"white over grey 192 at 50 is 223", blendByPercent(kWhite, rgb(192, 192, 192), 50),
       rgb(223, 223, 223)},
      {"a system colour is resolved first (window: white)", blendByPercent(kWindowColor, kBlack, 50),
       rgb(127, 127, 127)},
      {"a system colour is resolved in a weight blend (button face)",
       blendByWeight(kButtonFaceColor, kBlack, 0), rgb(240, 240, 240)},
  };
  for (const Case& c : cases) EXPECT_EQ(colorText(c.got), colorText(c.expected)) << c.name;
}

TEST(ColorArithmetic, ResolvesColours) {
  EXPECT_EQ(resolveColor(0x12345678), 0x345678u) << "the unused top byte of a plain colour is dropped";
  EXPECT_EQ(resolveColor(kWindowColor), kWhite);
  EXPECT_EQ(resolveColor(kSystemColorFlag | 200), kBlack) << "an unknown system colour";
}

TEST(FillGradient, StartsAtTheFirstColourAndStopsOneStepShortOfTheSecond) {
  RgbaImage img(6, 10, kBlack);
  fillGradient(img, Rect{1, 2, 5, 7}, rgb(0, 100, 250), rgb(250, 0, 0), GradientDirection::Vertical);
  expectPixels(img, {
                        {"first row", 1, 2, rgb(0, 100, 250)},
                        {"second row", 4, 3, rgb(50, 80, 200)},
                        {"last row", 2, 6, rgb(200, 20, 50)},
                        {"outside, above", 1, 1, kBlack},
                        {"outside, right", 5, 4, kBlack},
                        {"outside, below", 1, 7, kBlack},
                    });
  RgbaImage h(4, 2, kBlack);
  fillGradient(h, Rect{0, 0, 4, 2}, rgb(0, 0, 0), rgb(255, 255, 255), GradientDirection::Horizontal);
  expectPixels(h, {{"column 0", 0, 1, rgb(0, 0, 0)}, {"column 3", 3, 0, rgb(191, 191, 191)}});
}

TEST(ToolBar, Pixels31High) {
  RgbaImage img(300, 31, kBlack);
  paintToolBar(img, false);
  // Upper gradient over rows 0..14 (15 rows), lower over rows 15..30 (16 rows).
  expectPixels(img, {
                        {"upper gradient start", 150, 0, rgb(250, 252, 253)},
                        {"upper gradient last row", 150, 14, rgb(231, 240, 250)},
                        {"lower gradient start", 150, 15, rgb(220, 230, 244)},
                        {"lower gradient row 27", 150, 27, rgb(220, 232, 246)},
                        {"bottom line h-3", 150, 28, rgb(228, 239, 251)},
                        {"bottom line h-2", 150, 29, rgb(205, 218, 234)},
                        {"bottom line h-1", 150, 30, rgb(160, 175, 195)},
                        {"bottom line h-2 reaches column 0", 0, 29, rgb(205, 218, 234)},
                        {"bottom line h-1 reaches the last column", 299, 30, rgb(160, 175, 195)},
                        {"column 1 is gradient", 1, 0, rgb(250, 252, 253)},
                        {"column 298 is gradient", 298, 27, rgb(220, 232, 246)},
                    });
  // The side columns cover rows 0 to 27 (h - 4) on both sides, over both gradients.
  for (int y = 0; y <= 27; ++y) {
    SCOPED_TRACE(y);
    expectPixels(img, {{"left side column", 0, y, rgb(228, 239, 251)},
                       {"right side column", 299, y, rgb(228, 239, 251)}});
  }
  RgbaImage top(300, 31, kBlack);
  paintToolBar(top, true);
  expectPixels(top, {
                        {"top border", 150, 0, rgb(205, 218, 234)},
                        {"top border over the side column", 0, 0, rgb(205, 218, 234)},
                        {"row 1 unchanged", 150, 1, img.pixel(150, 1)},
                    });
}

TEST(InformationBar, TopShading) {
  RgbaImage img(300, 53, kBlack);
  paintInformationBar(img);
  expectPixels(img, {
                        {"row 0", 0, 0, rgb(204, 217, 234)},
                        {"row 1", 299, 1, rgb(217, 227, 240)},
                        {"row 2", 100, 2, rgb(232, 238, 247)},
                        {"row 3", 100, 3, rgb(237, 242, 249)},
                        {"row 4", 100, 4, rgb(240, 244, 250)},
                        {"fill", 100, 5, rgb(241, 245, 251)},
                        {"fill, last row", 299, 52, rgb(241, 245, 251)},
                    });
}

// ---- Gradient panel -------------------------------------------------------------------------

TEST(Panel, BordersOfA424By321Panel) {
  const RgbaImage parent = patternedParent(424, 321);
  const PanelLook look;
  const RgbaImage img = composePanel(look, parent, paintPanelFace(look, parent));
  const Color inner = kWhite, outer = rgb(142, 156, 173);
  expectPixels(img, {
                        {"inner left", 1, 160, inner},
                        {"inner top", 200, 1, inner},
                        {"inner right", 422, 160, inner},
                        {"inner bottom", 200, 319, inner},
                        {"inner left, lowest row", 1, 318, inner},
                        {"outer left", 0, 160, outer},
                        {"outer top", 200, 0, outer},
                        {"outer right", 423, 160, outer},
                        {"outer bottom", 200, 320, outer},
                        {"outer right, row 2", 423, 2, outer},
                        {"gradient first row inside", 200, 2, rgb(237, 243, 252)},
                        {"gradient middle", 200, 160, rgb(245, 248, 253)},
                        {"gradient under the inner border column", 2, 160, rgb(245, 248, 253)},
                    });
}

TEST(Panel, RoundedCornersBlendWithTheParent) {
  const int w = 424, h = 321;
  const RgbaImage parent = patternedParent(w, h);
  const PanelLook look;
  const RgbaImage img = composePanel(look, parent, paintPanelFace(look, parent));
  const Color outer = rgb(142, 156, 173), inner = kWhite;
  // (corner, the two edge neighbours, the diagonal pixel) for each corner.
  struct Corner {
    const char* name;
    int cx, cy, dx, dy;
  };
  for (const Corner& c :
       {Corner{"top left", 0, 0, 1, 1}, Corner{"top right", w - 1, 0, -1, 1},
        Corner{"bottom left", 0, h - 1, 1, -1}, Corner{"bottom right", w - 1, h - 1, -1, -1}}) {
    SCOPED_TRACE(c.name);
    const Color edgeOnDiagonalRow = blendByWeight(outer, parent.pixel(c.cx, c.cy + c.dy), 60);
    expectPixels(img,
                 {
                     {"corner", c.cx, c.cy, blendByWeight(outer, parent.pixel(c.cx, c.cy), 230)},
                     {"edge along the row", c.cx + c.dx, c.cy,
                      blendByWeight(outer, parent.pixel(c.cx + c.dx, c.cy), 60)},
                     {"edge along the column", c.cx, c.cy + c.dy, edgeOnDiagonalRow},
                     {"diagonal", c.cx + c.dx, c.cy + c.dy, blendByWeight(edgeOnDiagonalRow, inner, 130)},
                 });
  }
  // One worked example with plain numbers: the top-left corner over a parent of RGB(200,0,0).
  RgbaImage red(40, 30, rgb(200, 0, 0));
  const RgbaImage face = paintPanelFace(look, red);
  expectPixels(face, {{"corner", 0, 0, rgb(194, 15, 17)},
                      {"edge", 1, 0, rgb(156, 119, 132)},
                      {"diagonal", 1, 1, rgb(206, 188, 195)}});
}

TEST(Panel, WithoutBordersShowsTheGradientToItsEdgesStillRounded) {
  const int w = 200, h = 100;
  RgbaImage parent(w, h, rgb(10, 20, 30));
  PanelLook look;
  look.innerBorders = 0;
  look.outerBorders = 0;
  const RgbaImage img = composePanel(look, parent, paintPanelFace(look, parent));
  const Color a = rgb(237, 243, 252);
  const Color lastRow = rgb((237 + 255 * 99) / 100, (243 + 255 * 99) / 100, (252 + 255 * 99) / 100);
  expectPixels(
      img, {
               {"row 0 is the gradient's first colour", 100, 0, a},
               {"column 0 is gradient", 0, 50,
                rgb((237 * 50 + 255 * 50) / 100, (243 * 50 + 255 * 50) / 100, (252 * 50 + 255 * 50) / 100)},
               {"last row", 100, 99, lastRow},
               {"rounded corner", 0, 0, blendByWeight(a, rgb(10, 20, 30), 230)},
               {"rounded corner bottom right", w - 1, h - 1, blendByWeight(lastRow, rgb(10, 20, 30), 230)},
               {"edge neighbour", 1, 0, blendByWeight(a, rgb(10, 20, 30), 60)},
           });
  look.rounded = false;
  const RgbaImage square = composePanel(look, parent, paintPanelFace(look, parent));
  expectPixels(square, {{"not rounded: the corner keeps the gradient", 0, 0, a}});
}

TEST(Panel, FillStylesAndOpacity) {
  RgbaImage parent(100, 50, rgb(0, 0, 0));
  PanelLook look;
  look.innerBorders = look.outerBorders = 0;
  look.rounded = false;
  look.fillStyle = PanelFill::Solid;
  look.colorA = rgb(1, 2, 3);
  expectPixels(paintPanelFace(look, parent), {{"solid", 99, 49, rgb(1, 2, 3)}});

  look.fillStyle = PanelFill::DoubleGradient;
  look.colorA = rgb(0, 0, 0);
  look.colorB = rgb(100, 100, 100);
  look.colorC = rgb(200, 0, 0);
  look.colorD = rgb(0, 200, 0);
  expectPixels(paintPanelFace(look, parent), {{"first half starts with A", 5, 0, rgb(0, 0, 0)},
                                              {"first half, row 24", 5, 24, rgb(96, 96, 96)},
                                              {"second half starts with C", 5, 25, rgb(200, 0, 0)},
                                              {"second half, last row", 5, 49, rgb(8, 192, 0)}});
  look.verticalGradient = false;
  expectPixels(paintPanelFace(look, parent), {{"left half starts with A", 0, 10, rgb(0, 0, 0)},
                                              {"right half starts with C", 50, 10, rgb(200, 0, 0)}});

  look.fillStyle = PanelFill::Solid;
  look.colorA = kWhite;
  look.opacity = 128;
  const RgbaImage half = composePanel(look, parent, paintPanelFace(look, parent));
  expectPixels(half, {{"opacity 128 over black", 50, 25, rgb(128, 128, 128)}});
}

}  // namespace
}  // namespace tw
