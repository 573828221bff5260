#include "core/paint/rgba_image.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace tw {

RgbaImage::RgbaImage(int width, int height, Color fill) {
  if (width < 0 || height < 0) throw std::invalid_argument("An image cannot have a negative size.");
  width_ = width;
  height_ = height;
  data_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  fillRect(Rect{0, 0, width, height}, fill);
}

Color RgbaImage::pixel(int x, int y) const {
  if (!contains(x, y)) return kBlack;
  const std::uint8_t* p = &data_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  return rgb(p[0], p[1], p[2]);
}

void RgbaImage::setPixel(int x, int y, Color c) {
  if (!contains(x, y)) return;
  c = resolveColor(c);
  std::uint8_t* p = &data_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  p[0] = static_cast<std::uint8_t>(redOf(c));
  p[1] = static_cast<std::uint8_t>(greenOf(c));
  p[2] = static_cast<std::uint8_t>(blueOf(c));
  p[3] = 255;
}

void RgbaImage::fillRect(const Rect& r, Color c) {
  const int x0 = std::max(r.left, 0), x1 = std::min(r.right, width_);
  const int y0 = std::max(r.top, 0), y1 = std::min(r.bottom, height_);
  if (x0 >= x1 || y0 >= y1) return;
  c = resolveColor(c);
  const std::uint8_t px[4] = {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                              static_cast<std::uint8_t>(blueOf(c)), 255};
  for (int y = y0; y < y1; ++y) {
    std::uint8_t* row = &data_[(static_cast<std::size_t>(y) * width_ + x0) * 4];
    for (int x = x0; x < x1; ++x, row += 4) std::memcpy(row, px, 4);
  }
}

void RgbaImage::hLine(int x0, int x1, int y, Color c) { fillRect(Rect{x0, y, x1 + 1, y + 1}, c); }

void RgbaImage::vLine(int x, int y0, int y1, Color c) { fillRect(Rect{x, y0, x + 1, y1 + 1}, c); }

void fillGradient(RgbaImage& img, const Rect& r, Color a, Color b, GradientDirection dir) {
  if (r.empty()) return;
  a = resolveColor(a);
  b = resolveColor(b);
  const int n = dir == GradientDirection::Vertical ? r.height() : r.width();
  auto mix = [n](int ca, int cb, int i) { return (ca * (n - i) + cb * i) / n; };
  for (int i = 0; i < n; ++i) {
    const Color c =
        rgb(mix(redOf(a), redOf(b), i), mix(greenOf(a), greenOf(b), i), mix(blueOf(a), blueOf(b), i));
    if (dir == GradientDirection::Vertical)
      img.fillRect(Rect{r.left, r.top + i, r.right, r.top + i + 1}, c);
    else
      img.fillRect(Rect{r.left + i, r.top, r.left + i + 1, r.bottom}, c);
  }
}

void drawRoundOutline(RgbaImage& img, const Rect& r, Color c) {
  if (r.width() < 2 || r.height() < 2) return;
  const int l = r.left, t = r.top, rr = r.right - 1, b = r.bottom - 1;
  img.hLine(l + 1, rr - 1, t, c);
  img.hLine(l + 1, rr - 1, b, c);
  img.vLine(l, t + 1, b - 1, c);
  img.vLine(rr, t + 1, b - 1, c);
}

void drawCornerPixels(RgbaImage& img, const CornerColors& colors) {
  const int w = img.width(), h = img.height();
  img.setPixel(1, 0, colors.topEdge);
  img.setPixel(0, 1, colors.topEdge);
  img.setPixel(w - 2, 0, colors.topEdge);
  img.setPixel(w - 1, 1, colors.topEdge);
  img.setPixel(1, 1, colors.topInner);
  img.setPixel(w - 2, 1, colors.topInner);
  img.setPixel(1, h - 1, colors.bottomEdge);
  img.setPixel(0, h - 2, colors.bottomEdge);
  img.setPixel(w - 2, h - 1, colors.bottomEdge);
  img.setPixel(w - 1, h - 2, colors.bottomEdge);
  img.setPixel(1, h - 2, colors.bottomInner);
  img.setPixel(w - 2, h - 2, colors.bottomInner);
}

void blendImage(RgbaImage& dst, const RgbaImage& src, int opacity, int x, int y) {
  if (opacity >= 255) {
    // Opaque: plain row copies of the part that lies inside dst.
    const int sx0 = std::max(0, -x), sx1 = std::min(src.width(), dst.width() - x);
    if (sx0 >= sx1) return;
    for (int sy = std::max(0, -y); sy < src.height() && y + sy < dst.height(); ++sy)
      std::memcpy(dst.bits() + (static_cast<std::size_t>(y + sy) * dst.width() + x + sx0) * 4,
                  src.bits() + (static_cast<std::size_t>(sy) * src.width() + sx0) * 4,
                  static_cast<std::size_t>(sx1 - sx0) * 4);
    return;
  }
  for (int sy = 0; sy < src.height(); ++sy)
    for (int sx = 0; sx < src.width(); ++sx) {
      const int dx = x + sx, dy = y + sy;
      if (!dst.contains(dx, dy)) continue;
      dst.setPixel(
          dx, dy,
          opacity >= 255 ? src.pixel(sx, sy) : blendByWeight(dst.pixel(dx, dy), src.pixel(sx, sy), opacity));
    }
}

void blendImageArea(RgbaImage& dst, const RgbaImage& src, const Rect& srcArea, int opacity) {
  const int x0 = std::max(srcArea.left, 0), x1 = std::min(srcArea.right, src.width());
  const int y0 = std::max(srcArea.top, 0), y1 = std::min(srcArea.bottom, src.height());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      if (!dst.contains(x, y)) continue;
      dst.setPixel(
          x, y, opacity >= 255 ? src.pixel(x, y) : blendByWeight(dst.pixel(x, y), src.pixel(x, y), opacity));
    }
}

}  // namespace tw
