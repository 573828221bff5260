#include "core/paint/progress_bar.h"

#include <algorithm>
#include <cstdlib>

namespace tw {

bool ProgressBarState::setPosition(std::int32_t value) {
  if (value == position_) return false;
  if (value > max_)
    position_ = max_;
  else if (value < min_)
    position_ = min_;
  else
    position_ = value;
  return true;
}

bool ProgressBarState::setMin(std::int32_t value) {
  if (value == min_) return false;
  min_ = value;
  return true;
}

bool ProgressBarState::setMax(std::int32_t value) {
  if (value == max_) return false;
  max_ = value;
  return true;
}

double ProgressBarState::fraction() const {
  if (max_ == min_) return 0.0;
  return (static_cast<double>(position_) - min_) / (static_cast<double>(max_) - min_);
}

std::int64_t ProgressBarState::filledExtent(int n) const {
  if (max_ == min_) return 0;
  // round(n × num / den), halves to even, in exact integer arithmetic (64 bits hold it: |n| < 2^31,
  // |num|, |den| < 2^32).
  std::int64_t num = static_cast<std::int64_t>(n) * (static_cast<std::int64_t>(position_) - min_);
  std::int64_t den = static_cast<std::int64_t>(max_) - min_;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  std::int64_t q = num / den, r = num % den;
  if (r < 0) {
    r += den;
    --q;
  }
  if (2 * r > den || (2 * r == den && (q & 1) != 0)) ++q;
  return q;
}

GlossColors glossColorsFor(Color c) {
  return GlossColors{blendByPercent(c, kWhite, 5),  blendByPercent(c, kWhite, 50),
                     blendByPercent(c, kBlack, 60), blendByPercent(c, kBlack, 80),
                     blendByPercent(c, kBlack, 50), blendByPercent(c, kWhite, 50)};
}

GlossColors glossGreyColors() {
  return GlossColors{rgb(253, 253, 253), rgb(218, 218, 218), rgb(160, 160, 160),
                     rgb(213, 213, 213), rgb(200, 200, 200), rgb(253, 253, 253)};
}

namespace {

// floor(n / d) for d > 0.
int floorDiv(int n, int d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

struct Channels {
  int r, g, b;
};
Channels channelsOf(Color c) { return {redOf(c), greenOf(c), blueOf(c)}; }

// The pixels of a horizontal glossy fill, width × height, as a picture of its own.
RgbaImage glossyArea(int width, int height, const GlossColors& colors) {
  RgbaImage area(width, height);
  const int s = static_cast<int>(height / 2.25);
  const Channels u0 = channelsOf(colors.upperStart), u1 = channelsOf(colors.upperEnd);
  const Channels d0 = channelsOf(colors.lowerStart), d1 = channelsOf(colors.lowerEnd);
  const Channels e0 = channelsOf(colors.endDark), e1 = channelsOf(colors.endLight);
  auto profile = [&](int k, int Channels::*ch) {
    if (k < s) return u0.*ch + k * (u1.*ch - u0.*ch) / s;
    return d0.*ch + k * (d1.*ch - d0.*ch) / height;
  };
  auto endShade = [&](int j, int Channels::*ch) {
    if (j < 25) return e0.*ch + j * (e1.*ch - e0.*ch) / 25;
    return e1.*ch;
  };
  auto pixel = [&](int j, int k, int Channels::*ch) {
    const int p = profile(k, ch), e = endShade(j, ch);
    if (j > 0 && s <= k && k < height - 1) return p + (e - p) / 2;  // C++ division truncates toward zero
    return p + floorDiv(e - p, j == 0 ? 8 : 4);
  };
  for (int c = 0; c <= (width - 1) / 2; ++c) {
    // Column c of the left half, mirrored to the same distance from the right end.
    for (int k = 0; k < height; ++k) {
      const Color col = rgb(pixel(c, k, &Channels::r), pixel(c, k, &Channels::g), pixel(c, k, &Channels::b));
      area.setPixel(c, k, col);
      area.setPixel(width - 1 - c, k, col);
    }
  }
  return area;
}

}  // namespace

void paintGlossyFill(RgbaImage& img, const Rect& r, const GlossColors& colors, bool vertical) {
  const int width = r.width() - 1, height = r.height() - 1;
  if (!vertical) {
    if (width < 1 || height < 2) return;
    const RgbaImage area = glossyArea(width, height, colors);
    blendImage(img, area, 255, r.left, r.top);
    return;
  }
  // A vertical bar: the horizontal fill turned on its side, the profile running across the width
  // and the end shading along the height.
  if (height < 1 || width < 2) return;
  const RgbaImage area = glossyArea(height, width, colors);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.setPixel(r.left + x, r.top + y, area.pixel(y, x));
}

RgbaImage paintProgressBar(const ProgressBarState& bar, int w, int h, Color windowColor) {
  RgbaImage img(w, h, windowColor);
  if (w <= 0 || h <= 0) return img;
  const Color outline = rgb(160, 160, 160);
  img.hLine(0, w - 1, 0, outline);
  img.hLine(0, w - 1, h - 1, outline);
  img.vLine(0, 0, h - 1, outline);
  img.vLine(w - 1, 0, h - 1, outline);
  if (bar.rounded) {
    img.hLine(1, w - 2, 0, rgb(192, 192, 192));
    const Color corner = blendByPercent(kWhite, rgb(192, 192, 192), 50);
    img.setPixel(0, 0, corner);
    img.setPixel(w - 1, 0, corner);
    img.setPixel(0, h - 1, corner);
    img.setPixel(w - 1, h - 1, corner);
  }
  const Rect inner = bar.specialMode ? Rect{0, 1, w, h + 1} : Rect{1, 1, w, h};
  const bool vertical = bar.orientation == ProgressBarOrientation::Vertical;
  if (!bar.altMode) paintGlossyFill(img, inner, glossGreyColors(), vertical);

  Rect filled = inner;
  if (bar.marquee) {
    // The indeterminate mode: a segment MarqueeSize pixels long that its timer moves along.
    if (vertical) {
      filled.bottom = std::min(inner.bottom, inner.bottom - bar.marqueeOffset);
      filled.top = std::max(inner.top, inner.bottom - bar.marqueeOffset - bar.marqueeSize);
    } else {
      filled.left = std::max(inner.left, inner.left + bar.marqueeOffset);
      filled.right = std::min(inner.right, inner.left + bar.marqueeOffset + bar.marqueeSize);
    }
  } else if (vertical) {
    const std::int64_t top = inner.bottom - bar.filledExtent(h);
    filled.top = top < 2 ? 1 : static_cast<int>(std::min<std::int64_t>(top, inner.bottom));
  } else {
    // A position beyond the range (Min or Max changed after it was set) fills no further than the
    // bar itself.
    filled.right = static_cast<int>(std::clamp<std::int64_t>(bar.filledExtent(w), -1, inner.right));
  }
  if (filled.right > 0 && !filled.empty()) paintGlossyFill(img, filled, glossColorsFor(bar.color), vertical);
  return img;
}

std::string progressBarText(const ProgressBarState& bar) {
  std::string value;
  if (bar.percentage) {
    value = std::to_string(bar.filledExtent(100)) + "%";
  } else {
    value = std::to_string(bar.position());
  }
  return bar.posTextPrefix + value + bar.posTextSuffix;
}

}  // namespace tw
