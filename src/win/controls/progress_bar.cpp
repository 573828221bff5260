#include "win/controls/progress_bar.h"

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::win {

namespace {

Color systemColor(int index) {
  const COLORREF c = GetSysColor(index);
  return rgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

ProgressBar::ProgressBar(WindowHandle parent, const Bounds& bounds, const Fonts* fonts)
    : ThemedControl(Traits{L"TarnwatchProgressBar", false, false, false, true}, parent, bounds, fonts) {
  repaintOnPointer_ = false;
}

void ProgressBar::changed() {
  // At once, not when the message queue next gets to it.
  if (handle() != nullptr && IsWindowVisible(handle())) {
    InvalidateRect(handle(), nullptr, FALSE);
    UpdateWindow(handle());
  }
}

void ProgressBar::setPosition(int value) {
  if (state_.setPosition(value)) changed();
}
void ProgressBar::setMin(int value) {
  if (state_.setMin(value)) changed();
}
void ProgressBar::setMax(int value) {
  if (state_.setMax(value)) changed();
}
void ProgressBar::setColor(Color c) {
  state_.color = c;
  changed();
}
void ProgressBar::setRounded(bool value) {
  state_.rounded = value;
  changed();
}

void ProgressBar::paint(Canvas& canvas) {
  ++paintCount_;
  canvas.put(paintProgressBar(state_, canvas.width(), canvas.height(), systemColor(COLOR_WINDOW)));
}

}  // namespace tw::win
