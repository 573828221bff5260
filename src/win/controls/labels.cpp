#include "win/controls/labels.h"

// clang-format off
#include <windows.h>
// clang-format on

#include "win/controls/fonts.h"
#include "win/controls/image_list.h"

namespace tw::win {

// ---- Label ----------------------------------------------------------------------------------

Label::Label(WindowHandle parent, int left, int top, std::string_view text, const Fonts* fonts)
    : Label(Traits{L"TarnwatchLabel", false, false, false, true}, parent, left, top, text, fonts) {}

Label::Label(const Traits& traits, WindowHandle parent, int left, int top, std::string_view text,
             const Fonts* fonts)
    : ThemedControl(traits, parent, Bounds{left, top, 1, 1}, fonts) {
  repaintOnPointer_ = false;
  Window::setText(text);
  adjustSize();
}

FontHandle Label::font() const {
  switch (role_) {
    case FontRole::Window:
      return fonts_->window();
    case FontRole::Heading:
      return fonts_->heading();
    case FontRole::Control:
      break;
  }
  return fonts_->control();
}

void Label::setFontRole(FontRole role) {
  role_ = role;
  adjustSize();
  repaint();
}

void Label::setText(std::string_view text) {
  Window::setText(text);
  repaint();
}

void Label::setColor(Color c) {
  color_ = c;
  repaint();
}

void Label::setWrapped(bool wrapped) {
  wrapped_ = wrapped;
  repaint();
}

void Label::adjustSize() {
  const Size size = measureText(font(), text());
  const Bounds b = bounds();
  setBounds(Bounds{b.left, b.top, size.width, size.height});
}

void Label::paint(Canvas& canvas) {
  canvas.put(parentPicture(handle()));
  const unsigned format = DT_LEFT | DT_TOP | DT_NOPREFIX | (wrapped_ ? DT_WORDBREAK : DT_SINGLELINE);
  canvas.drawText(text(), Rect{0, 0, canvas.width(), canvas.height()}, font(), color_, format);
}

// ---- ActiveLabel ----------------------------------------------------------------------------

ActiveLabel::ActiveLabel(WindowHandle parent, int left, int top, std::string_view text, const Fonts* fonts)
    : Label(Traits{L"TarnwatchActiveLabel", false, false, false, false}, parent, left, top, text, fonts) {
  color_ = mouseOutColor;  // the out look, once at creation
}

FontHandle ActiveLabel::font() const {
  return pointerInside_ ? fonts_->controlUnderlined() : fonts_->control();
}

void ActiveLabel::pointerEntered() {
  color_ = mouseInColor;
  repaint();
}

void ActiveLabel::pointerLeft() {
  color_ = mouseOutColor;
  repaint();
}

MessageResult ActiveLabel::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT) {
    SetCursor(LoadCursorW(nullptr, pointerInside_ ? IDC_HAND : IDC_ARROW));
    return TRUE;
  }
  return Label::handleMessage(message, wParam, lParam);
}

// ---- Picture --------------------------------------------------------------------------------

Picture::Picture(WindowHandle parent, const Bounds& bounds, const Fonts* fonts)
    : ThemedControl(Traits{L"TarnwatchPicture", false, false, false, true}, parent, bounds, fonts) {
  repaintOnPointer_ = false;
}

void Picture::setImage(const ImageList* images, int index) {
  images_ = images;
  index_ = index;
  icon_ = nullptr;
  repaint();
}

void Picture::setIcon(IconHandle icon) {
  icon_ = icon;
  images_ = nullptr;
  repaint();
}

void Picture::paint(Canvas& canvas) {
  canvas.put(parentPicture(handle()));
  if (icon_ != nullptr) {
    canvas.drawIcon(icon_, 0, 0, canvas.width());
  } else if (images_ != nullptr) {
    canvas.drawImage(images_->handle(), index_, 0, 0);
  }
}

}  // namespace tw::win
