#include "core/paint/panel.h"

namespace tw {

void applyPanelStyle(PanelLook& look, PanelStyle style) {
  struct Preset {
    Color a, b, c, d;
  };
  Preset p{};
  switch (style) {
    case PanelStyle::Custom:
      return;
    case PanelStyle::Navy:
      p = {rgb(70, 90, 130), rgb(30, 45, 80), rgb(25, 38, 70), rgb(45, 65, 110)};
      break;
    case PanelStyle::DarkGrey:
      p = {rgb(110, 110, 110), rgb(70, 70, 70), rgb(60, 60, 60), rgb(90, 90, 90)};
      break;
    case PanelStyle::Blue:
      p = {rgb(120, 170, 230), rgb(60, 120, 200), rgb(50, 105, 185), rgb(90, 150, 220)};
      break;
    case PanelStyle::Black:
      p = {rgb(60, 60, 60), rgb(10, 10, 10), rgb(0, 0, 0), rgb(30, 30, 30)};
      break;
    case PanelStyle::LightBlack:
      p = {rgb(90, 90, 90), rgb(45, 45, 45), rgb(35, 35, 35), rgb(65, 65, 65)};
      break;
    case PanelStyle::Silver:
      p = {rgb(250, 250, 250), rgb(215, 215, 220), rgb(205, 205, 210), rgb(235, 235, 240)};
      break;
    case PanelStyle::Calculator:
      p = {rgb(237, 243, 252), kWhite, rgb(217, 228, 241), rgb(237, 243, 252)};
      break;
    case PanelStyle::Green:
      p = {rgb(150, 210, 140), rgb(80, 160, 70), rgb(70, 145, 60), rgb(120, 190, 110)};
      break;
  }
  look.colorA = p.a;
  look.colorB = p.b;
  look.colorC = p.c;
  look.colorD = p.d;
}

RgbaImage paintPanelFace(const PanelLook& look, const RgbaImage& parent) {
  const int w = parent.width(), h = parent.height();
  RgbaImage face(w, h, look.colorA);
  const GradientDirection dir =
      look.verticalGradient ? GradientDirection::Vertical : GradientDirection::Horizontal;
  switch (look.fillStyle) {
    case PanelFill::Solid:
      break;
    case PanelFill::Gradient:
      fillGradient(face, Rect{0, 0, w, h}, look.colorA, look.colorB, dir);
      break;
    case PanelFill::DoubleGradient:
      if (look.verticalGradient) {
        fillGradient(face, Rect{0, 0, w, h / 2}, look.colorA, look.colorB, dir);
        fillGradient(face, Rect{0, h / 2, w, h}, look.colorC, look.colorD, dir);
      } else {
        fillGradient(face, Rect{0, 0, w / 2, h}, look.colorA, look.colorB, dir);
        fillGradient(face, Rect{w / 2, 0, w, h}, look.colorC, look.colorD, dir);
      }
      break;
  }
  const Color in = look.innerBorderColor;
  if (look.innerBorders & kLeftBorder) face.vLine(1, 1, h - 2, in);
  if (look.innerBorders & kTopBorder) face.hLine(1, w - 2, 1, in);
  if (look.innerBorders & kRightBorder) face.vLine(w - 2, 1, h - 2, in);
  if (look.innerBorders & kBottomBorder) face.hLine(1, w - 2, h - 2, in);
  const Color out = look.outerBorderColor;
  if (look.outerBorders & kLeftBorder) face.vLine(0, 0, h - 1, out);
  if (look.outerBorders & kTopBorder) face.hLine(0, w - 1, 0, out);
  if (look.outerBorders & kRightBorder) face.vLine(w - 1, 0, h - 1, out);
  if (look.outerBorders & kBottomBorder) face.hLine(0, w - 1, h - 1, out);

  if (look.rounded && w >= 2 && h >= 2) {
    // (cx, cy) the corner, (dx, dy) the step from it into the panel.
    const int corners[4][4] = {{0, 0, 1, 1}, {w - 1, 0, -1, 1}, {0, h - 1, 1, -1}, {w - 1, h - 1, -1, -1}};
    for (const auto& c : corners) {
      const int cx = c[0], cy = c[1], dx = c[2], dy = c[3];
      auto blendWithParent = [&](int x, int y, int weight) {
        face.setPixel(x, y, blendByWeight(face.pixel(x, y), parent.pixel(x, y), weight));
      };
      blendWithParent(cx, cy, 230);
      blendWithParent(cx + dx, cy, 60);
      blendWithParent(cx, cy + dy, 60);
      // The pixel diagonally inside takes after the blended edge pixel of the outermost column on its row.
      face.setPixel(cx + dx, cy + dy,
                    blendByWeight(face.pixel(cx, cy + dy), face.pixel(cx + dx, cy + dy), 130));
    }
  }
  return face;
}

RgbaImage composePanel(const PanelLook& look, const RgbaImage& parent, const RgbaImage& face) {
  RgbaImage out = parent;
  blendImage(out, face, look.opacity);
  return out;
}

}  // namespace tw
