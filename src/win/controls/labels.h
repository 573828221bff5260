#pragma once

#include <string>

#include "win/controls/themed_control.h"

namespace tw::win {

class ImageList;

// A text over what the parent shows beneath it, in the themed controls' font (or the one given):
// one line, or wrapped at word ends within its width. The pointer passes through it to the window
// beneath. The text is the window text. Thread and ownership: as ThemedControl.
class Label : public ThemedControl {
 public:
  // Which of the window's fonts the text is drawn in.
  enum class FontRole { Control, Window, Heading };

  Label(WindowHandle parent, int left, int top, std::string_view text, const Fonts* fonts);

  void setText(std::string_view text);
  Color color() const { return color_; }
  void setColor(Color c);
  void setWrapped(bool wrapped);
  void setFontRole(FontRole role);
  // Sizes the label to its text on one line.
  void adjustSize();

 protected:
  Label(const Traits& traits, WindowHandle parent, int left, int top, std::string_view text,
        const Fonts* fonts);
  void paint(Canvas& canvas) override;
  virtual FontHandle font() const;

  Color color_ = kBlack;
  bool wrapped_ = false;
  FontRole role_ = FontRole::Control;
};

// The label of headings, notices, status texts and links: dark blue, it turns bright blue and
// underlined with a hand pointer while the pointer is over it; a click raises onClick.
// Thread and ownership: as ThemedControl.
class ActiveLabel : public Label {
 public:
  ActiveLabel(WindowHandle parent, int left, int top, std::string_view text, const Fonts* fonts);

  Color mouseInColor = rgb(7, 74, 229);
  Color mouseOutColor = rgb(21, 28, 85);

 protected:
  void pointerEntered() override;
  void pointerLeft() override;
  FontHandle font() const override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;
};

// A picture over what the parent shows beneath it: one image of an image list, or an icon.
// Thread and ownership: as ThemedControl; the image list and the icon are not owned.
class Picture : public ThemedControl {
 public:
  Picture(WindowHandle parent, const Bounds& bounds, const Fonts* fonts);
  void setImage(const ImageList* images, int index);
  void setIcon(IconHandle icon);

 protected:
  void paint(Canvas& canvas) override;

 private:
  const ImageList* images_ = nullptr;
  int index_ = -1;
  IconHandle icon_ = nullptr;
};

}  // namespace tw::win
