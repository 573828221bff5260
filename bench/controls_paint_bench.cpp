// How long the themed controls take to paint their pictures. The main window's progress bar
// repaints once per delivered event, so its figure bounds what a batch pays for the bar.
#include <chrono>
#include <cstdio>
#include <functional>

#include "core/paint/buttons.h"
#include "core/paint/panel.h"
#include "core/paint/progress_bar.h"

namespace {

void measure(const char* name, int rounds, const std::function<void(int)>& step) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) step(i);
  const double us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / rounds;
  std::printf("%-48s %10.1f us per paint  (%d rounds)\n", name, us, rounds);
}

}  // namespace

int main() {
  using namespace tw;
  volatile unsigned sink = 0;
  ProgressBarState bar;
  bar.setMax(1000);
  measure("progress bar 619 x 9, position moving", 5000, [&](int i) {
    bar.setPosition(i % 1000);
    sink = sink + paintProgressBar(bar, 619, 9).pixel(100, 4);
  });
  SpeedButtonImages images;
  measure("speed button 81 x 27, fading (images kept)", 20000, [&](int i) {
    RgbaImage img(81, 27, rgb(240, 240, 240));
    paintSpeedButton(img, images, {.pointerInside = true, .opacity = i % 255});
    sink = sink + img.pixel(40, 13);
  });
  measure("tool button 100 x 24, hover face", 20000, [&](int) {
    RgbaImage img(100, 24, rgb(240, 240, 240));
    paintToolButtonFace(img, ToolButtonLook::Hover);
    sink = sink + img.pixel(50, 12);
  });
  const RgbaImage parent(424, 321, rgb(240, 240, 240));
  const PanelLook look;
  measure("panel 424 x 321, face and composition", 500, [&](int) {
    sink = sink + composePanel(look, parent, paintPanelFace(look, parent)).pixel(200, 160);
  });
  return sink == 1 ? 1 : 0;
}
