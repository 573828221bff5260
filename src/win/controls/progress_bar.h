#pragma once

#include "core/paint/progress_bar.h"
#include "win/controls/themed_control.h"

namespace tw::win {

// The glossy progress bar: opaque, painted by the core from its ProgressBarState, repainted at
// once (synchronously) whenever one of its values changes; a hidden bar does not paint.
// Thread and ownership: as ThemedControl.
class ProgressBar : public ThemedControl {
 public:
  ProgressBar(WindowHandle parent, const Bounds& bounds, const Fonts* fonts);

  const ProgressBarState& state() const { return state_; }
  int position() const { return state_.position(); }
  // Equal to the current value: nothing. Otherwise clamped to Min..Max and repainted at once.
  void setPosition(int value);
  void setMin(int value);
  void setMax(int value);
  void setColor(Color c);
  void setRounded(bool value);
  // The number of times the bar was painted (its tests count repaints).
  int paintCount() const { return paintCount_; }

 protected:
  void paint(Canvas& canvas) override;

 private:
  void changed();
  ProgressBarState state_;
  int paintCount_ = 0;
};

}  // namespace tw::win
