#include "core/paint/bars.h"

namespace tw {

void paintToolBar(RgbaImage& img, bool showTopBorder) {
  const int w = img.width(), h = img.height();
  const int half = h / 2;
  fillGradient(img, Rect{0, 0, w, half}, rgb(250, 252, 253), rgb(230, 240, 250), GradientDirection::Vertical);
  fillGradient(img, Rect{0, half, w, h}, rgb(220, 230, 244), rgb(221, 233, 247), GradientDirection::Vertical);
  img.hLine(0, w - 1, h - 3, rgb(228, 239, 251));
  img.hLine(0, w - 1, h - 2, rgb(205, 218, 234));
  img.hLine(0, w - 1, h - 1, rgb(160, 175, 195));
  img.vLine(0, 0, h - 4, rgb(228, 239, 251));
  img.vLine(w - 1, 0, h - 4, rgb(228, 239, 251));
  if (showTopBorder) img.hLine(0, w - 1, 0, rgb(205, 218, 234));
}

void paintInformationBar(RgbaImage& img) {
  const int w = img.width();
  img.fillRect(Rect{0, 0, w, img.height()}, rgb(241, 245, 251));
  const Color rows[5] = {rgb(204, 217, 234), rgb(217, 227, 240), rgb(232, 238, 247), rgb(237, 242, 249),
                         rgb(240, 244, 250)};
  for (int y = 0; y < 5; ++y) img.hLine(0, w - 1, y, rows[y]);
}

}  // namespace tw
