#include "win/controls/bars.h"

// clang-format off
#include <windows.h>
// clang-format on

#include "core/paint/bars.h"

namespace tw::win {

namespace {

Size parentClientSize(WindowHandle child) {
  RECT r{};
  GetClientRect(GetParent(child), &r);
  return Size{r.right, r.bottom};
}

}  // namespace

ToolBar::ToolBar(WindowHandle parent, int height, const Fonts* fonts)
    : ThemedContainer(L"TarnwatchToolBar", parent, Bounds{0, 0, 300, height}, fonts) {
  dock();
}

void ToolBar::setShowTopBorder(bool value) {
  showTopBorder_ = value;
  pictureChanged();
}

void ToolBar::dock() {
  const int height = bounds().height;
  setBounds(Bounds{0, 0, parentClientSize(handle()).width, height});
}

RgbaImage ToolBar::makePicture(int w, int h) {
  RgbaImage img(w, h);
  paintToolBar(img, showTopBorder_);
  return img;
}

InformationBar::InformationBar(WindowHandle parent, int height, const Fonts* fonts)
    : ThemedContainer(L"TarnwatchInformationBar", parent, Bounds{0, 0, 300, height}, fonts) {
  dock();
}

void InformationBar::dock() {
  const int height = bounds().height;
  const Size parent = parentClientSize(handle());
  setBounds(Bounds{0, parent.height - height, parent.width, height});
}

RgbaImage InformationBar::makePicture(int w, int h) {
  RgbaImage img(w, h);
  paintInformationBar(img);
  return img;
}

}  // namespace tw::win
