#pragma once

#include "win/controls/window.h"

namespace tw::win {

// The fonts a top-level window and its controls draw with, at one density: the themed
// controls' font (kControlFontFaces, 12 pixels at 96 dots per inch), the same underlined (an
// active label under the pointer), the windows' own font (kWindowFontFaces, 8 points) for trees,
// lists and check boxes, and a bold 12-point heading font (the about box's program name). Each
// face is the first of its list that is installed.
//
// Thread: the user-interface thread. Owned by a top-level window; its controls keep a pointer to
// it and draw with whatever fonts it holds at the moment, so a change of density (rebuild())
// reaches them all.
class Fonts {
 public:
  explicit Fonts(const Dpi& dpi);
  ~Fonts();
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  void rebuild(const Dpi& dpi);

  FontHandle control() const { return control_; }
  FontHandle controlUnderlined() const { return controlUnderlined_; }
  FontHandle window() const { return window_; }
  FontHandle heading() const { return heading_; }

 private:
  void release();
  FontHandle control_ = nullptr;
  FontHandle controlUnderlined_ = nullptr;
  FontHandle window_ = nullptr;
  FontHandle heading_ = nullptr;
};

// Whether a font face is installed.
bool isFontInstalled(std::string_view face);

}  // namespace tw::win
