#pragma once

#include <string_view>

#include "core/paint/rgba_image.h"
#include "win/controls/win_types.h"
#include "win/controls/window.h"

namespace tw::win {

// An off-screen picture the size of a control, in a memory device context that GDI draws on: the
// themed controls put the core's painted RgbaImage into it, draw their captions and icons over
// it, and copy the finished picture to the screen in one go (no flicker).
//
// Thread: the user-interface thread. Owns its device context and bitmap.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  DeviceContext dc() const { return dc_; }

  // The image's pixels become the canvas's (the part that fits).
  void put(const RgbaImage& image);
  // The canvas's pixels as a picture (what is shown), for the controls' own tests.
  RgbaImage picture() const;

  // Draws UTF-8 text into r with the GDI text format `format` (DT_ flags), transparent.
  void drawText(std::string_view text, const Rect& r, FontHandle font, Color color, unsigned format);
  // Draws image `index` of an image list with its top-left corner at (x, y).
  void drawImage(ImageListHandle images, int index, int x, int y);
  // Draws an icon at (x, y), size × size.
  void drawIcon(IconHandle icon, int x, int y, int size);
  // Copies the whole canvas to `target` with its top-left corner at (x, y).
  void copyTo(DeviceContext target, int x = 0, int y = 0) const;

 private:
  int width_;
  int height_;
  DeviceContext dc_ = nullptr;
  BitmapHandle bitmap_ = nullptr;
  void* previous_ = nullptr;  // the memory context's bitmap before ours
  std::uint8_t* bits_ = nullptr;
};

// The size of UTF-8 text drawn with `font` on one line; with `prefix`, "&" marks an access key
// and takes no room ("&&" is one "&").
Size measureText(FontHandle font, std::string_view text, bool prefix = false);

}  // namespace tw::win
