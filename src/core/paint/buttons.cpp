#include "core/paint/buttons.h"

#include <utility>

namespace tw {

int arrowHeight(ArrowDirection type) {
  return type == ArrowDirection::Down || type == ArrowDirection::Up ? 5 : 9;
}

int iconHeight(IconSize size) {
  switch (size) {
    case IconSize::Px16:
      return 16;
    case IconSize::Px24:
      return 24;
    case IconSize::Px32:
      return 32;
    case IconSize::Px48:
      return 48;
  }
  return 16;
}

void drawButtonArrow(RgbaImage& img, int x, int y, ArrowDirection type, Color c) {
  // The glyph is described pointing down, u across (0..8) and v down (0..4), and turned into place.
  auto place = [&](int u, int v) -> std::pair<int, int> {
    switch (type) {
      case ArrowDirection::Down:
        return {x + u, y + v};
      case ArrowDirection::Up:
        return {x + u, y + 4 - v};
      case ArrowDirection::Right:
        return {x + v, y + u};
      case ArrowDirection::Left:
        return {x + 4 - v, y + u};
    }
    return {x + u, y + v};
  };
  auto fill = [&](int u, int v) {
    auto [px, py] = place(u, v);
    img.setPixel(px, py, c);
  };
  auto soften = [&](int u, int v) {
    auto [px, py] = place(u, v);
    if (img.contains(px, py)) img.setPixel(px, py, blendByWeight(c, img.pixel(px, py), 222));
  };
  for (int u = 1; u <= 7; ++u) fill(u, 0);
  for (int u = 2; u <= 6; ++u) fill(u, 1);
  for (int u = 3; u <= 5; ++u) fill(u, 2);
  fill(4, 3);
  for (int i = 0; i <= 4; ++i) {
    soften(i, i);
    soften(8 - i, i);  // the tip (4, 4) is softened twice, once from each side
  }
}

// ---- Tool button ----------------------------------------------------------------------------

ToolButtonLook toolButtonLook(bool leftPressed, bool keyPressed, bool pointerOver, bool focused) {
  if (!leftPressed && pointerOver) return ToolButtonLook::Hover;
  if (leftPressed || keyPressed) return ToolButtonLook::Pressed;
  if (focused) return ToolButtonLook::Focused;
  return ToolButtonLook::Idle;
}

namespace {

constexpr Color kToolFrameOuter = rgb(187, 202, 219);

void paintToolFrame(RgbaImage& img) {
  const int w = img.width(), h = img.height();
  drawRoundOutline(img, Rect{0, 0, w, h}, kToolFrameOuter);
  drawRoundOutline(img, Rect{1, 1, w - 1, h - 1}, rgb(239, 244, 249));
  drawCornerPixels(img, {rgb(216, 224, 235), rgb(216, 224, 235), rgb(200, 212, 229), rgb(200, 212, 229)});
}

void paintToolHoverFace(RgbaImage& img) {
  const int w = img.width(), h = img.height();
  fillGradient(img, Rect{2, 2, w - 2, h / 2}, rgb(248, 251, 254), rgb(237, 242, 250),
               GradientDirection::Vertical);
  fillGradient(img, Rect{2, h / 2, w - 2, h - 2}, rgb(215, 228, 244), rgb(193, 210, 232),
               GradientDirection::Vertical);
  img.setPixel(2, h - 3, rgb(215, 227, 240));
  img.setPixel(w - 3, h - 3, rgb(215, 227, 240));
  img.setPixel(2, 2, rgb(250, 252, 254));
  img.setPixel(w - 3, 2, rgb(250, 252, 254));
}

void paintToolPressedFace(RgbaImage& img) {
  const int w = img.width(), h = img.height();
  drawRoundOutline(img, Rect{0, 0, w, h}, kToolFrameOuter);
  fillGradient(img, Rect{1, 1, w - 1, h / 2}, rgb(221, 232, 241), rgb(216, 228, 241),
               GradientDirection::Vertical);
  img.fillRect(Rect{1, h / 2, w - 1, h - 1}, rgb(207, 219, 236));
  img.hLine(2, w - 4, 1, rgb(201, 212, 228));
  img.hLine(1, w - 3, 2, rgb(212, 222, 234));
  img.hLine(1, w - 3, 3, rgb(221, 232, 241));
  drawCornerPixels(img, {rgb(212, 222, 235), rgb(193, 207, 223), rgb(194, 208, 228), rgb(186, 202, 223)});
}

}  // namespace

void paintFocusFrame(RgbaImage& img, Color c) {
  const int left = kFocusFrameInset;
  const int top = kFocusFrameInset;
  const int right = img.width() - 1 - kFocusFrameInset;
  const int bottom = img.height() - 1 - kFocusFrameInset;
  if (right <= left || bottom <= top) return;
  // One pattern around the frame, so that the dots meet evenly at the corners.
  const auto dot = [&](int x, int y) {
    if (((x - left) + (y - top)) % 2 == 0) img.setPixel(x, y, c);
  };
  for (int x = left; x <= right; ++x) {
    dot(x, top);
    dot(x, bottom);
  }
  for (int y = top + 1; y < bottom; ++y) {
    dot(left, y);
    dot(right, y);
  }
}

void paintToolButtonFace(RgbaImage& img, ToolButtonLook look) {
  switch (look) {
    case ToolButtonLook::Idle:
      break;
    case ToolButtonLook::Focused:
      paintToolFrame(img);
      break;
    case ToolButtonLook::Hover:
      paintToolFrame(img);
      paintToolHoverFace(img);
      break;
    case ToolButtonLook::Pressed:
      paintToolPressedFace(img);
      break;
  }
}

// ---- Speed button ---------------------------------------------------------------------------

namespace {

// A glow: `rows` rows from `top`, columns `left` to `right` (both included). Each row runs from
// its side colour at both ends to its centre colour at x = centreX; the side and centre colours
// step down the rows as the rows of a vertical two-vertex gradient would.
void paintGlow(RgbaImage& img, int top, int rows, int left, int right, int centreX, Color side0, Color side1,
               Color centre0, Color centre1) {
  RgbaImage sides(1, rows), centres(1, rows);
  fillGradient(sides, Rect{0, 0, 1, rows}, side0, side1, GradientDirection::Vertical);
  fillGradient(centres, Rect{0, 0, 1, rows}, centre0, centre1, GradientDirection::Vertical);
  for (int i = 0; i < rows; ++i) {
    const int y = top + i;
    const Color side = sides.pixel(0, i), centre = centres.pixel(0, i);
    fillGradient(img, Rect{left, y, centreX, y + 1}, side, centre, GradientDirection::Horizontal);
    fillGradient(img, Rect{centreX, y, right + 1, y + 1}, centre, side, GradientDirection::Horizontal);
  }
}

RgbaImage buildHoverFace(int w, int h) {
  RgbaImage img(w, h);
  drawRoundOutline(img, Rect{0, 0, w, h}, rgb(255, 219, 0));
  drawRoundOutline(img, Rect{1, 1, w - 1, h - 1}, kWhite);
  drawCornerPixels(img, {rgb(247, 213, 62), rgb(255, 236, 190), rgb(247, 213, 62), rgb(255, 246, 207)});
  img.hLine(2, w - 3, 1, rgb(255, 239, 202));
  img.vLine(1, 2, h - 3, rgb(255, 239, 204));
  img.vLine(w - 2, 2, h - 3, rgb(255, 239, 204));
  fillGradient(img, Rect{3, 3, w - 3, h - 11}, rgb(255, 206, 103), rgb(255, 211, 113),
               GradientDirection::Vertical);
  img.hLine(3, w - 4, 2, rgb(255, 218, 119));
  img.vLine(2, 3, h - 3, rgb(255, 213, 115));
  img.vLine(w - 3, 3, h - 3, rgb(255, 213, 115));
  img.setPixel(2, 2, rgb(255, 229, 133));
  img.setPixel(w - 3, 2, rgb(255, 229, 133));
  paintGlow(img, h - 11, 9, 3, w - 4, w / 2, rgb(255, 211, 113), rgb(255, 244, 164), rgb(255, 211, 113),
            rgb(255, 255, 234));
  return img;
}

RgbaImage buildPressedFace(int w, int h) {
  RgbaImage img(w, h);
  img.hLine(2, w - 3, 1, rgb(209, 167, 91));
  fillGradient(img, Rect{1, 2, w - 1, h - 9}, rgb(231, 181, 93), rgb(235, 187, 96),
               GradientDirection::Vertical);
  paintGlow(img, h - 11, 10, 1, w - 2, w / 2, rgb(235, 187, 96), rgb(234, 223, 128), rgb(235, 187, 96),
            rgb(233, 235, 208));
  drawRoundOutline(img, Rect{0, 0, w, h}, rgb(194, 155, 40));
  drawCornerPixels(img, {rgb(203, 171, 82), rgb(215, 179, 94), rgb(202, 169, 72), rgb(215, 195, 91)});
  return img;
}

}  // namespace

SpeedButtonImages buildSpeedButtonImages(int w, int h) {
  return SpeedButtonImages{RgbaImage(w, h, kWhite), buildHoverFace(w, h), buildPressedFace(w, h)};
}

void paintSpeedButton(RgbaImage& img, SpeedButtonImages& images, const SpeedButtonPaintState& s) {
  const int w = img.width(), h = img.height();
  if (!images.matches(w, h)) images = buildSpeedButtonImages(w, h);
  for (auto [x, y] : {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1}, std::pair{w - 1, h - 1}}) {
    images.hoverFace.setPixel(x, y, img.pixel(x, y));
    images.pressedFace.setPixel(x, y, img.pixel(x, y));
  }
  const bool pressedInside = s.leftPressed && s.pointerInside;
  if (!pressedInside) {
    if (s.enabled) {
      drawRoundOutline(img, Rect{0, 0, w, h}, rgb(135, 151, 170));
      drawRoundOutline(img, Rect{1, 1, w - 1, h - 1}, rgb(246, 250, 254));
      drawCornerPixels(img, {rgb(155, 170, 187), rgb(155, 170, 187), rgb(155, 170, 187), rgb(217, 222, 228)});
    } else {
      drawRoundOutline(img, Rect{0, 0, w, h}, rgb(180, 194, 209));
      drawCornerPixels(img, {rgb(189, 202, 217), rgb(205, 217, 230), rgb(189, 202, 217), rgb(205, 217, 230)});
    }
  }
  const Rect wash{1, 1, w - 1, h - 1};
  if (!s.enabled) {
    blendImageArea(img, images.background, wash, 10);
  } else if (s.leftPressed || !s.released) {
    blendImage(img, images.pressedFace, 255);
  } else {
    blendImageArea(img, images.background, wash, 20);
  }
  if (s.enabled && !pressedInside && ((s.opacity > 0 && s.opacity < 255) || s.pointerInside))
    blendImage(img, images.hoverFace, s.opacity);
}

SpeedButtonFader::SpeedButtonFader(Timer& timer, std::function<void()> repaint)
    : timer_(timer), repaint_(std::move(repaint)) {}

void SpeedButtonFader::startTimer(int intervalMs) {
  timerRunning_ = true;
  timer_.start(intervalMs);
}

void SpeedButtonFader::stopTimer() {
  timerRunning_ = false;
  timer_.stop();
}

void SpeedButtonFader::pointerEnter() {
  pointerInside_ = true;
  if (!enabled_) return;
  if (fadeInInterval <= 0) {
    opacity_ = 255;
    released_ = true;
    repaint_();
    return;
  }
  if (opacity_ <= 0) opacity_ = 1;
  released_ = true;
  startTimer(fadeInInterval);
}

void SpeedButtonFader::pointerLeave() {
  pointerInside_ = false;
  if (!enabled_) return;
  if (fadeOutInterval <= 0) {
    opacity_ = 1;
    repaint_();
  } else {
    if (opacity_ >= 255 || !released_) opacity_ = 254;
    startTimer(fadeOutInterval);
  }
  released_ = true;
}

void SpeedButtonFader::mouseDown(bool leftButton) {
  if (!enabled_) return;
  if (leftButton) {
    leftPressed_ = true;
    opacity_ = 0;
    stopTimer();
    released_ = false;
  }
  repaint_();
}

void SpeedButtonFader::mouseUp() {
  if (!enabled_) return;
  leftPressed_ = false;
  if (opacity_ <= 0) opacity_ = 1;
  if (pointerInside_) released_ = false;
  if (fadeInInterval <= 0) {
    // A timer with no interval never ticks: show the end of the fade at once instead of
    // leaving the pressed face up for good.
    opacity_ = pointerInside_ ? 255 : 0;
    released_ = true;
  } else {
    startTimer(fadeInInterval);
  }
  repaint_();
}

void SpeedButtonFader::tick() {
  opacity_ += pointerInside_ ? 25 : -15;
  if (opacity_ <= 0 || opacity_ >= 255) {
    stopTimer();
    if (opacity_ > 255) opacity_ = 255;
    released_ = true;
  }
  repaint_();
}

void SpeedButtonFader::setEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled) leftPressed_ = false;
  repaint_();
}

// ---- Content layout -------------------------------------------------------------------------

ButtonLayout layoutButtonContent(const ButtonLayoutInput& in) {
  ButtonLayout out;
  const int w = in.width, h = in.height;
  const int a = in.showArrow
                    ? (in.arrowType == ArrowDirection::Down || in.arrowType == ArrowDirection::Up ? 14 : 10)
                    : 0;
  out.iconHeight = iconHeight(in.iconSize);
  const int i = in.imageShown ? out.iconHeight + 5 : 0;
  const int t = in.textWidth + a + i;
  const int m = 3;
  const int p = in.pressed ? 1 : 0;
  const bool speed = in.kind == ButtonKind::Speed;

  if (w - 2 * m < t) {
    out.textFits = false;
    out.textRect.left = i + m + p;
    out.textRect.right = w - m - (1 - p) - a;
  } else {
    const CaptionAlignment align = speed ? CaptionAlignment::Center : in.alignment;
    switch (align) {
      case CaptionAlignment::Center:
        out.textRect.left = w / 2 + i + p - t / 2;
        out.textRect.right = out.textRect.left + in.textWidth;
        break;
      case CaptionAlignment::Left:
        out.textRect.left = i + p + 2;
        out.textRect.right = out.textRect.left + in.textWidth;
        break;
      case CaptionAlignment::Right:
        out.textRect.left = w + p - i - t - 2;
        out.textRect.right = w - 2;
        break;
    }
  }
  const int th = in.textHeight;
  if (speed) {
    out.textRect.top = h / 2 - th / 2 + p;
    out.textRect.bottom = h / 2 + th / 2 + p + 1;
  } else {
    out.textRect.top = h / 2 - th / 2 - (1 - p);
    out.textRect.bottom = h / 2 + th / 2 + p;
  }
  const int lower = speed ? 1 : 0;
  if (in.showArrow) {
    out.arrowX = out.textRect.right + 5;
    out.arrowY = h / 2 - arrowHeight(in.arrowType) / 2 + p + lower;
  }
  if (in.imageShown) {
    out.imageX = out.textRect.left - i;
    out.imageY = h / 2 - out.iconHeight / 2 + p + lower;
  }
  return out;
}

std::string withoutAccessMarks(std::string_view caption) {
  std::string text;
  text.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;  // "&x" shows x, "&&" shows &
    text.push_back(caption[i]);
  }
  return text;
}

std::string elideAtWordEnd(std::string_view text, int maxWidth,
                           const std::function<int(std::string_view)>& measure) {
  if (measure(text) <= maxWidth) return std::string(text);
  const std::string ellipsis = "...";
  auto fits = [&](std::string_view head) { return measure(std::string(head) + ellipsis) <= maxWidth; };
  // The longest head that ends at a word end (before a space) and fits.
  for (std::size_t end = text.size(); end > 0; --end) {
    if (text[end - 1] == ' ' || (end < text.size() && text[end] != ' ')) continue;
    if (fits(text.substr(0, end))) return std::string(text.substr(0, end)) + ellipsis;
  }
  // No whole word fits: cut inside the first word, at a character boundary of the UTF-8 text.
  for (std::size_t cut = text.size(); cut > 0; --cut) {
    if (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) continue;
    if (fits(text.substr(0, cut))) return std::string(text.substr(0, cut)) + ellipsis;
  }
  return measure(ellipsis) <= maxWidth ? ellipsis : std::string();
}

}  // namespace tw
