#pragma once

#include "win/controls/themed_control.h"

namespace tw::win {

// The toolbar strip: docked along the top edge of its parent (dock() keeps it as wide as the
// parent's client area), holding the tool buttons. Pointer movement does not repaint it.
// Thread and ownership: as ThemedControl.
class ToolBar : public ThemedContainer {
 public:
  ToolBar(WindowHandle parent, int height, const Fonts* fonts);
  bool showTopBorder() const { return showTopBorder_; }
  void setShowTopBorder(bool value);
  // Places the bar along the top edge of its parent, as wide as the parent's client area.
  void dock();

 protected:
  RgbaImage makePicture(int w, int h) override;

 private:
  bool showTopBorder_ = false;
};

// The strip for the buttons at the bottom of a dialog, docked along the bottom edge of its
// parent. Thread and ownership: as ThemedControl.
class InformationBar : public ThemedContainer {
 public:
  InformationBar(WindowHandle parent, int height, const Fonts* fonts);
  // Places the bar along the bottom edge of its parent, as wide as the parent's client area.
  void dock();

 protected:
  RgbaImage makePicture(int w, int h) override;
};

}  // namespace tw::win
