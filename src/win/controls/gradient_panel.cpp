#include "win/controls/gradient_panel.h"

namespace tw::win {

GradientPanel::GradientPanel(WindowHandle parent, const Bounds& bounds, const Fonts* fonts)
    : ThemedContainer(L"TarnwatchGradientPanel", parent, bounds, fonts) {}

void GradientPanel::setLook(const PanelLook& look) {
  look_ = look;
  pictureChanged();
}

void GradientPanel::setStyle(PanelStyle style) {
  style_ = style;
  applyPanelStyle(look_, style);
  pictureChanged();
}

RgbaImage GradientPanel::makePicture(int, int) {
  // What the parent shows beneath the panel is the panel's size already.
  const RgbaImage beneath = parentPicture(handle());
  return composePanel(look_, beneath, paintPanelFace(look_, beneath));
}

}  // namespace tw::win
