#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/paint/rgba_image.h"

namespace tw {

// A colour as "RGB(r,g,b)", so that a failed pixel check reads like the values it is checked against.
inline std::string colorText(Color c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "RGB(%d,%d,%d)", redOf(c), greenOf(c), blueOf(c));
  return buf;
}

// One named pixel of a table of expected pixels.
struct NamedPoint {
  const char* name;
  int x;
  int y;
  Color expected;
};

inline void expectPixels(const RgbaImage& img, std::initializer_list<NamedPoint> points) {
  for (const NamedPoint& p : points)
    EXPECT_EQ(colorText(img.pixel(p.x, p.y)), colorText(p.expected))
        << p.name << " at (" << p.x << ", " << p.y << ")";
}

// A parent picture that differs at every point, so that a pixel taken from the wrong place shows.
inline RgbaImage patternedParent(int w, int h) {
  RgbaImage img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, rgb((x * 7) % 256, (y * 11) % 256, 90 + (x + y) % 60));
  return img;
}

}  // namespace tw
