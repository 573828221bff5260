#include "core/paint/color.h"

#include <algorithm>
#include <array>

namespace tw {

namespace {

// The classic desktop colour scheme, indexed like the platform's system colours.
constexpr std::array<Color, 31> kSystemColors = {
    rgb(200, 200, 200),  // 0 scroll bar
    rgb(0, 0, 0),        // 1 background
    rgb(153, 180, 209),  // 2 active caption
    rgb(191, 205, 219),  // 3 inactive caption
    rgb(240, 240, 240),  // 4 menu
    rgb(255, 255, 255),  // 5 window
    rgb(100, 100, 100),  // 6 window frame
    rgb(0, 0, 0),        // 7 menu text
    rgb(0, 0, 0),        // 8 window text
    rgb(0, 0, 0),        // 9 caption text
    rgb(180, 180, 180),  // 10 active border
    rgb(244, 247, 252),  // 11 inactive border
    rgb(171, 171, 171),  // 12 application workspace
    rgb(51, 153, 255),   // 13 highlight
    rgb(255, 255, 255),  // 14 highlight text
    rgb(240, 240, 240),  // 15 button face
    rgb(160, 160, 160),  // 16 button shadow
    rgb(109, 109, 109),  // 17 grey text
    rgb(0, 0, 0),        // 18 button text
    rgb(67, 78, 84),     // 19 inactive caption text
    rgb(255, 255, 255),  // 20 button highlight
    rgb(105, 105, 105),  // 21 3D dark shadow
    rgb(227, 227, 227),  // 22 3D light
    rgb(0, 0, 0),        // 23 info text
    rgb(255, 255, 225),  // 24 info background
    rgb(0, 0, 0),        // 25 (unused)
    rgb(0, 102, 204),    // 26 hot light
    rgb(185, 209, 234),  // 27 gradient active caption
    rgb(215, 228, 242),  // 28 gradient inactive caption
    rgb(51, 153, 255),   // 29 menu highlight
    rgb(240, 240, 240),  // 30 menu bar
};

// floor(n / d) for d > 0 and any sign of n.
constexpr int floorDiv(int n, int d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

}  // namespace

Color resolveColor(Color c) {
  if (!isSystemColor(c)) return c & 0x00FFFFFF;
  const std::uint32_t index = c & 0xFF;
  return index < kSystemColors.size() ? kSystemColors[index] : kBlack;
}

Color blendByWeight(Color a, Color b, int w) {
  a = resolveColor(a);
  b = resolveColor(b);
  w = std::clamp(w, 0, 255);
  // The exact value is n / 255 with an integer n; 255 is odd, so it never lies halfway between
  // two integers and rounding to nearest is exact here (halves to even never has to decide).
  auto channel = [w](int ca, int cb) {
    const int n = cb * w + ca * (255 - w);
    return (2 * n + 255) / 510;
  };
  return rgb(channel(redOf(a), redOf(b)), channel(greenOf(a), greenOf(b)), channel(blueOf(a), blueOf(b)));
}

Color blendByPercent(Color c, Color base, int p) {
  c = resolveColor(c);
  base = resolveColor(base);
  // p × 2.56 = 64p / 25; its fraction is never exactly one half (64p + 12.5 is never a multiple
  // of 25), so nearest rounding is exact. Only the low 8 bits are kept: p = 100 gives d = 0.
  const int num = 64 * p;
  const int d = (num >= 0 ? (2 * num + 25) / 50 : -((-2 * num + 25) / 50)) & 0xFF;
  auto channel = [d](int cc, int cb) { return cb + floorDiv(d * (cc - cb), 256); };
  return rgb(channel(redOf(c), redOf(base)), channel(greenOf(c), greenOf(base)),
             channel(blueOf(c), blueOf(base)));
}

}  // namespace tw
