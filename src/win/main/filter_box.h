#pragma once

#include <cstdint>
#include <string>

#include "win/controls/win_types.h"
#include "win/controls/window.h"

namespace tw::win {

// The filter box above the views: a native edit control for the text (matched by the capture
// list's ListFilter) and a static text beside it with the count of rows shown, "N of M". Hidden
// until the user asks for it (Ctrl+F); the main window empties and hides it again on Escape, so
// that the views look as designed without it. Its edit control tells its parent of every change
// of the text (EN_CHANGE in WM_COMMAND).
//
// Thread: the user-interface thread. Owns its two native child windows (children of `parent`,
// destroyed with it or with this object).
class FilterBox {
 public:
  explicit FilterBox(WindowHandle parent);
  ~FilterBox();
  FilterBox(const FilterBox&) = delete;
  FilterBox& operator=(const FilterBox&) = delete;

  WindowHandle edit() const { return edit_; }
  WindowHandle countLabel() const { return count_; }
  bool isShown() const;
  // The text typed, UTF-8.
  std::string text() const;
  // Shows "shown of total", the numbers with thousands separators.
  void showCount(std::uint64_t shown, std::uint64_t total);
  // Shows the box and puts the caret in it, the text selected.
  void open();
  // Empties the box (its parent hears of the change) and hides it.
  void close();
  // Places the box across `bounds` (the edit on the left, the count on the right).
  void place(const Bounds& bounds, int gap);
  // Shows both in `font` (the views' font); the height follows it.
  void setFont(FontHandle font);
  // The box's height for its font, in device pixels.
  int height() const { return height_; }

 private:
  WindowHandle edit_ = nullptr;
  WindowHandle count_ = nullptr;
  int height_ = 0;
  int countWidth_ = 0;
};

}  // namespace tw::win
