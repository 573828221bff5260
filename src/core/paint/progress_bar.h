#pragma once

#include <cstdint>
#include <string>

#include "core/paint/rgba_image.h"

namespace tw {

enum class ProgressBarOrientation { Horizontal, Vertical };

// The values of a progress bar, with their values at creation, and the rules for changing them.
// Each setter returns true when the bar must repaint.
class ProgressBarState {
 public:
  std::int32_t min() const { return min_; }
  std::int32_t max() const { return max_; }
  std::int32_t position() const { return position_; }

  // Equal to the current value: nothing. Otherwise clamped to Min..Max, stored, repaint.
  bool setPosition(std::int32_t value);
  // A different value is stored and repaints; Position is not clamped again.
  bool setMin(std::int32_t value);
  bool setMax(std::int32_t value);

  // (Position − Min) / (Max − Min), 0 when Max equals Min.
  double fraction() const;
  // round(n × f) with halves to even, computed exactly; the filled extent along n pixels.
  std::int64_t filledExtent(int n) const;

  Color color = rgb(0, 255, 0);
  ProgressBarOrientation orientation = ProgressBarOrientation::Horizontal;
  bool rounded = true;
  bool specialMode = false;
  bool altMode = false;
  bool showPosText = false;
  bool percentage = false;
  std::string posTextPrefix;
  std::string posTextSuffix;
  bool marquee = false;
  int marqueeSize = 40;
  int marqueeFade = 30;
  int marqueeSpeed = 25;
  // Where the marquee's segment starts (advanced by its timer).
  int marqueeOffset = 0;

 private:
  std::int32_t min_ = 0;
  std::int32_t max_ = 100;
  std::int32_t position_ = 0;
};

// The six colours of a glossy fill.
struct GlossColors {
  Color upperStart, upperEnd, lowerStart, lowerEnd, endDark, endLight;
};
GlossColors glossColorsFor(Color c);  // the colour variant
GlossColors glossGreyColors();        // the grey variant (the empty track)

// The glossy fill over the rectangle r (exclusive edges): an area r.width() − 1 by r.height() − 1
// from (r.left, r.top); nothing unless that is at least 1 wide and 2 high.
void paintGlossyFill(RgbaImage& img, const Rect& r, const GlossColors& colors, bool vertical = false);

// The whole bar, w × h; windowColor is the platform's window background.
RgbaImage paintProgressBar(const ProgressBarState& bar, int w, int h, Color windowColor = kWindowColor);

// The text printed in the middle with ShowPosText: round(100 × f) and "%" with Percentage, else
// Position, between the prefix and the suffix.
std::string progressBarText(const ProgressBarState& bar);

}  // namespace tw
