#pragma once

#include <cstdint>
#include <vector>

#include "core/paint/color.h"

namespace tw {

// A rectangle with exclusive right and bottom edges, as the platform's drawing calls take it.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

// An off-screen picture of w × h pixels, four bytes a pixel in the order red, green, blue, alpha
// (alpha is 255 everywhere the controls paint). The GUI shows it without conversion; the pixel
// tests read it without a display. Writes outside the picture are clipped away.
class RgbaImage {
 public:
  RgbaImage() = default;
  RgbaImage(int width, int height, Color fill = kWhite);

  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  // The plain colour at (x, y); black outside the picture.
  Color pixel(int x, int y) const;
  void setPixel(int x, int y, Color c);

  // Raw bytes, width × height × 4, row by row.
  std::uint8_t* bits() { return data_.data(); }
  const std::uint8_t* bits() const { return data_.data(); }

  // Plain drawing primitives, all clipped to the picture.
  void fillRect(const Rect& r, Color c);
  // Row y from column x0 to column x1, both included.
  void hLine(int x0, int x1, int y, Color c);
  // Column x from row y0 to row y1, both included.
  void vLine(int x, int y0, int y1, Color c);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> data_;
};

enum class GradientDirection { Vertical, Horizontal };

// A linear gradient between two vertices as the platform's GradientFill draws it: over n rows
// (or columns) the one at offset i gets, per channel, (A × (n − i) + B × i) / n truncated, so the
// first row is exactly A and the last falls one step short of B.
void fillGradient(RgbaImage& img, const Rect& r, Color a, Color b, GradientDirection dir);

// The outline of a rounded rectangle with a 4 × 4 corner ellipse over r: its four sides without
// the four corner pixels, which keep what lies beneath.
void drawRoundOutline(RgbaImage& img, const Rect& r, Color c);

// The four groups of single pixels that soften the corners of a rounded outline over the whole
// w × h picture: top edge (1,0) (0,1) (w−2,0) (w−1,1); top inner (1,1) (w−2,1); bottom edge
// (1,h−1) (0,h−2) (w−2,h−1) (w−1,h−2); bottom inner (1,h−2) (w−2,h−2).
struct CornerColors {
  Color topEdge;
  Color topInner;
  Color bottomEdge;
  Color bottomInner;
};
void drawCornerPixels(RgbaImage& img, const CornerColors& colors);

// Lays src over dst with constant opacity (0..255), src's (0,0) at dst's (x, y); each pixel
// becomes blendByWeight(dst, src, opacity). Only the part of src inside `srcArea` is laid.
void blendImage(RgbaImage& dst, const RgbaImage& src, int opacity, int x = 0, int y = 0);
void blendImageArea(RgbaImage& dst, const RgbaImage& src, const Rect& srcArea, int opacity);

}  // namespace tw
