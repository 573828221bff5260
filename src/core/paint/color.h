#pragma once

#include <cstdint>

namespace tw {

// A colour as the system stores it: 0x00BBGGRR for a plain colour. A value with the top bit set
// (0x80000000 | index) names a system colour by its index; it is resolved to a plain colour with
// resolveColor() before any arithmetic.
using TColor = std::uint32_t;

constexpr TColor rgb(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

// System colours (index into the desktop's colour table).
constexpr TColor kSystemColorFlag = 0x80000000u;
constexpr TColor clBtnFace = kSystemColorFlag | 15;
constexpr TColor clWindow = kSystemColorFlag | 5;
constexpr TColor clWindowText = kSystemColorFlag | 8;

constexpr bool isSystemColor(TColor c) { return (c & kSystemColorFlag) != 0; }

// The plain value of a colour: plain colours stand as they are (the unused top byte dropped);
// system colours take the classic desktop's default values, so that painting is the same on
// every machine. An unknown index resolves to black.
TColor resolveColor(TColor c);

// Each channel round(b × w / 255 + a × (1 − w / 255)), halves to even; w is clamped to 0..255.
// w = 0 gives a, w = 255 gives b.
TColor blendByWeight(TColor a, TColor b, int w);

// d = round(p × 2.56) (halves to even) kept to its low 8 bits; each channel
// base + floor(d × (c − base) / 256). p = 50 mixes half and half.
TColor blendByPercent(TColor c, TColor base, int p);

}  // namespace tw
