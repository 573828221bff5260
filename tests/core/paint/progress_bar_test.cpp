#include <gtest/gtest.h>

#include "core/paint/paint_test_util.h"
#include "core/paint/progress_bar.h"

namespace tw {
namespace {

constexpr Color kLime = rgb(0, 255, 0);

bool isGrey(Color c) { return redOf(c) == greenOf(c) && greenOf(c) == blueOf(c); }

TEST(VistaProBar, ColoursOfTheLimeFill) {
  const GlossColors c = glossColorsFor(kLime);
  struct Case {
    const char* name;
    Color got;
    Color expected;
  };
  const Case cases[] = {
      {"upper start U0: lime over white at 5", c.upperStart, rgb(242, 255, 242)},
      {"upper end U1: lime over white at 50", c.upperEnd, rgb(127, 255, 127)},
      {"end light E1: lime over white at 50", c.endLight, rgb(127, 255, 127)},
      {"lower start D0: lime over black at 60", c.lowerStart, rgb(0, 153, 0)},
      {"lower end D1: lime over black at 80", c.lowerEnd, rgb(0, 204, 0)},
      {"end dark E0: lime over black at 50", c.endDark, rgb(0, 127, 0)},
  };
  for (const Case& k : cases) EXPECT_EQ(colorText(k.got), colorText(k.expected)) << k.name;
}

TEST(VistaProBar, NinePixelBarHasTwoBandsInItsSevenRowFill) {
  ProgressBarState bar;
  bar.setPosition(100);
  const int w = 100, h = 9;
  const RgbaImage img = paintProgressBar(bar, w, h);
  // Column 50 is more than 25 pixels from both ends: the end shade is E1 = RGB(127,255,127).
  // Fill row k is image row k + 1; s = trunc(7 / 2.25) = 3.
  expectPixels(img, {
                        {"rounded top row", 50, 0, rgb(192, 192, 192)},
                        {"corner", 0, 0, rgb(223, 223, 223)},
                        {"corner bottom right", w - 1, h - 1, rgb(223, 223, 223)},
                        {"outline left", 0, 4, rgb(160, 160, 160)},
                        {"outline bottom", 50, 8, rgb(160, 160, 160)},
                        {"outline right", w - 1, 4, rgb(160, 160, 160)},
                        {"upper band, fill row 0", 50, 1, rgb(213, 255, 213)},
                        {"upper band, fill row 2", 50, 3, rgb(156, 255, 156)},
                        {"lower band, fill row 3 (half-lightened)", 50, 4, rgb(63, 214, 63)},
                        {"lower band, fill row 5", 50, 6, rgb(63, 222, 63)},
                        {"bottom fill row 6 kept near the profile", 50, 7, rgb(31, 210, 31)},
                        {"outermost column, fill row 0 (E0, one eighth)", 1, 1, rgb(211, 239, 211)},
                        {"outermost column on the right", w - 2, 1, rgb(211, 239, 211)},
                    });
  // The row profile: the upper band is pale, the lower band deeper; rows 0..2 and 3..6.
  for (int k = 0; k < 7; ++k) {
    const int r = redOf(img.pixel(50, k + 1));
    if (k <= 2)
      EXPECT_GE(r, 150) << "fill row " << k << " belongs to the upper band";
    else
      EXPECT_LE(r, 63) << "fill row " << k << " belongs to the lower band";
  }
}

TEST(VistaProBar, EndsAreMirrored) {
  ProgressBarState bar;
  bar.setPosition(100);
  const int w = 120, h = 9;
  const RgbaImage img = paintProgressBar(bar, w, h);
  for (int j = 0; j < 30; ++j)
    for (int y = 1; y <= 7; ++y)
      ASSERT_EQ(img.pixel(1 + j, y), img.pixel(w - 2 - j, y))
          << "column " << j << " from the ends, row " << y;
  EXPECT_NE(img.pixel(1, 4), img.pixel(2, 4)) << "the outermost column is kept closer to the profile";
  EXPECT_NE(img.pixel(10, 4), img.pixel(30, 4)) << "shading over the last 25 pixels";
  EXPECT_EQ(img.pixel(26, 4), img.pixel(60, 4)) << "no shading 25 pixels in";
}

TEST(VistaProBar, QuarterOf619FillsUpToColumn153) {
  ProgressBarState bar;
  bar.setMax(4);
  bar.setPosition(1);
  const RgbaImage img = paintProgressBar(bar, 619, 9);
  // The filled rectangle ends at round(619 / 4) = 155, so the fill covers columns 1 to 153 and
  // column 153 is its outermost column on the right (j = 0: the profile moved an eighth of the
  // way toward E0). Column 154 is the grey track, 153 columns from its left end (E1 = 253).
  // The fill's profile (H = 7, s = 3): P(0) = U0 = RGB(242,255,242), P(1) = RGB(204,255,204),
  // P(3) = RGB(0,174,0), P(6) = RGB(0,196,0); the track's: 253, 242, 182, 205.
  expectPixels(img, {
                        {"fill, last column, fill row 0", 153, 1, rgb(211, 239, 211)},
                        {"fill, last column, fill row 1", 153, 2, rgb(178, 239, 178)},
                        {"fill, last column, fill row 3", 153, 4, rgb(0, 168, 0)},
                        {"fill, last column, bottom fill row 6", 153, 7, rgb(0, 187, 0)},
                        {"fill, first column mirrors the last", 1, 4, rgb(0, 168, 0)},
                        {"fill, middle of the lower band", 100, 4, rgb(63, 214, 63)},
                        {"track after the fill, fill row 0", 154, 1, rgb(253, 253, 253)},
                        {"track after the fill, fill row 1", 154, 2, rgb(244, 244, 244)},
                        {"track after the fill, fill row 3 (half-lightened)", 154, 4, rgb(217, 217, 217)},
                        {"track after the fill, bottom fill row 6", 154, 7, rgb(217, 217, 217)},
                        {"outline below", 153, 8, rgb(160, 160, 160)},
                    });
}

TEST(VistaProBar, TrackAloneWhenEmptyOrRangeless) {
  ProgressBarState empty;
  ProgressBarState rangeless;
  rangeless.setMax(0);
  rangeless.setPosition(0);
  // Position 50, then Max and Min both 0: Position is not clamped again and stays 50, while the
  // fraction of an empty range is 0.
  ProgressBarState collapsed;
  collapsed.setPosition(50);
  collapsed.setMax(0);
  collapsed.setMin(0);
  ASSERT_EQ(collapsed.position(), 50);
  ASSERT_EQ(collapsed.max(), collapsed.min());

  const RgbaImage track = paintProgressBar(empty, 150, 17);
  for (int y = 1; y < 16; ++y)
    for (int x = 1; x < 149; ++x) ASSERT_TRUE(isGrey(track.pixel(x, y))) << x << "," << y;
  expectPixels(track, {{"grey track, upper start", 75, 1, rgb(253, 253, 253)},
                       {"grey track, outermost column", 1, 1, rgb(246, 246, 246)}});
  struct Case {
    const char* name;
    const ProgressBarState* bar;
  };
  for (const Case& c :
       {Case{"Max 0, Position 0", &rangeless}, Case{"Position 50, then Max and Min 0", &collapsed}}) {
    const RgbaImage img = paintProgressBar(*c.bar, 150, 17);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 150; ++x)
        ASSERT_EQ(colorText(img.pixel(x, y)), colorText(track.pixel(x, y)))
            << c.name << ": the empty track alone, at " << x << "," << y;
  }

  ProgressBarState alt;
  alt.altMode = true;
  const RgbaImage noTrack = paintProgressBar(alt, 150, 17);
  expectPixels(noTrack, {{"AltMode leaves the window colour", 75, 8, kWhite}});
}

TEST(VistaProBar, SpecialModeStartsAtColumnZero) {
  ProgressBarState bar;
  bar.specialMode = true;
  bar.setPosition(100);
  const RgbaImage img = paintProgressBar(bar, 100, 9);
  EXPECT_FALSE(isGrey(img.pixel(0, 4))) << "column 0 is filled";
  EXPECT_FALSE(isGrey(img.pixel(50, 8))) << "the fill reaches the bottom row";
}

TEST(VistaProBar, ColourAndSquareCorners) {
  ProgressBarState bar;
  bar.color = rgb(255, 0, 0);
  bar.rounded = false;
  bar.setPosition(50);
  const RgbaImage img = paintProgressBar(bar, 100, 9);
  expectPixels(
      img, {{"square corner", 0, 0, rgb(160, 160, 160)}, {"top row is outline", 50, 0, rgb(160, 160, 160)}});
  EXPECT_GT(redOf(img.pixel(20, 4)), greenOf(img.pixel(20, 4)));
}

TEST(VistaProBar, PositionIsClampedAndAnUnchangedValueRepaintsNothing) {
  struct Step {
    int set;
    bool repaint;
    int stored;
  };
  ProgressBarState bar;
  for (const Step& s : {Step{150, true, 100}, Step{100, false, 100}, Step{-5, true, 0}, Step{0, false, 0},
                        Step{42, true, 42}, Step{42, false, 42}}) {
    EXPECT_EQ(bar.setPosition(s.set), s.repaint) << "set " << s.set;
    EXPECT_EQ(bar.position(), s.stored) << "set " << s.set;
  }
  EXPECT_FALSE(bar.setMax(100));
  EXPECT_TRUE(bar.setMax(10));
  EXPECT_EQ(bar.position(), 42) << "changing Max does not clamp Position again";
  // Position beyond the range: the fill stops at the bar's edge.
  const RgbaImage img = paintProgressBar(bar, 60, 9);
  EXPECT_FALSE(isGrey(img.pixel(58, 4)));
  expectPixels(img, {{"outline stays", 59, 4, rgb(160, 160, 160)}});
  EXPECT_TRUE(bar.setMin(50));
  EXPECT_FALSE(bar.setMin(50));
  EXPECT_EQ(bar.position(), 42) << "changing Min does not clamp Position again";
}

TEST(VistaProBar, FilledExtentRoundsHalvesToEven) {
  ProgressBarState bar;
  bar.setMax(4);
  bar.setPosition(1);
  EXPECT_EQ(bar.filledExtent(619), 155);  // 154.75
  EXPECT_EQ(bar.filledExtent(10), 2);     // 2.5 -> 2
  EXPECT_EQ(bar.filledExtent(14), 4);     // 3.5 -> 4
  bar.setMin(-2147483647 - 1);
  bar.setMax(2147483647);
  bar.setPosition(2147483647);
  EXPECT_EQ(bar.filledExtent(1000), 1000) << "the full 32-bit range does not overflow";
}

TEST(VistaProBar, PositionText) {
  ProgressBarState bar;
  bar.setMax(4);
  bar.setPosition(1);
  EXPECT_EQ(progressBarText(bar), "1");
  bar.percentage = true;
  bar.posTextPrefix = "Used: ";
  bar.posTextSuffix = " of the drive";
  EXPECT_EQ(progressBarText(bar), "Used: 25% of the drive");
}

}  // namespace
}  // namespace tw
