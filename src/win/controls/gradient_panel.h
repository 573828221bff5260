#pragma once

#include "core/paint/panel.h"
#include "win/controls/themed_control.h"

namespace tw::win {

// The gradient panel the windows lay their content out on: the core's panel face over what the
// parent shows beneath it, holding child controls. Pointer movement does not repaint it; setting
// its look repaints it and its children. Thread and ownership: as ThemedControl.
class GradientPanel : public ThemedContainer {
 public:
  GradientPanel(WindowHandle parent, const Bounds& bounds, const Fonts* fonts);

  const PanelLook& look() const { return look_; }
  void setLook(const PanelLook& look);
  PanelStyle style() const { return style_; }
  // A named preset's colours; Custom keeps them.
  void setStyle(PanelStyle style);

 protected:
  RgbaImage makePicture(int w, int h) override;

 private:
  PanelLook look_;
  PanelStyle style_ = PanelStyle::Calculator;
};

}  // namespace tw::win
