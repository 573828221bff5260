#pragma once

#include <cstdint>

namespace tw {

// A colour as the system stores it: 0x00BBGGRR for a plain colour. A value with the top bit set
// (0x80000000 | index) names a system colour by its index; it is resolved to a plain colour with
// resolveColor() before any arithmetic.
using Color = std::uint32_t;

constexpr Color rgb(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

// System colours (index into the desktop's colour table).
constexpr Color kSystemColorFlag = 0x80000000u;
constexpr Color kButtonFaceColor = kSystemColorFlag | 15;
constexpr Color kWindowColor = kSystemColorFlag | 5;
constexpr Color kWindowTextColor = kSystemColorFlag | 8;

constexpr bool isSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }

// The plain value of a colour: plain colours stand as they are (the unused top byte dropped);
// system colours take the classic desktop's default values, so that painting is the same on
// every machine. An unknown index resolves to black.
Color resolveColor(Color c);

// Each channel round(b × w / 255 + a × (1 − w / 255)), halves to even; w is clamped to 0..255.
// w = 0 gives a, w = 255 gives b.
Color blendByWeight(Color a, Color b, int w);

// d = round(p × 2.56) (halves to even) kept to its low 8 bits; each channel
// base + floor(d × (c − base) / 256). p = 50 mixes half and half.
Color blendByPercent(Color c, Color base, int p);

}  // namespace tw
