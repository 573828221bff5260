#include "win/controls/buttons.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>

#include "win/controls/fonts.h"
#include "win/controls/image_list.h"

namespace tw::win {

namespace {

constexpr Color kArrowColor = rgb(30, 57, 91);
constexpr Color kDisabledText = rgb(128, 128, 128);
constexpr UINT_PTR kFadeTimerId = 1;

IconSize iconSizeOf(const ImageList* images) {
  const int size = images != nullptr ? images->imageSize() : 16;
  return size >= 32 ? IconSize::Px32 : (size >= 24 ? IconSize::Px24 : IconSize::Px16);
}

// Lays out and draws a button's content over `img` (the button's picture so far): the arrow
// into the picture, the picture onto the canvas, then the caption and the image with GDI.
void paintContent(Canvas& canvas, RgbaImage& img, const ButtonContent& c, ButtonKind kind,
                  CaptionAlignment alignment, bool pressed, Color textColor, Color arrowColor,
                  FontHandle font) {
  ButtonLayoutInput in;
  in.kind = kind;
  in.width = canvas.width();
  in.height = canvas.height();
  in.alignment = alignment;
  in.showArrow = c.showArrow;
  in.arrowType = c.arrowType;
  in.imageShown = c.imageShown();
  in.iconSize = iconSizeOf(c.images);
  const std::string shown = withoutAccessMarks(c.caption);
  const Size text = measureText(font, shown);
  in.textWidth = shown.empty() ? 0 : text.width;
  in.textHeight = text.height;
  in.pressed = pressed;
  const ButtonLayout layout = layoutButtonContent(in);

  if (layout.arrowX) drawButtonArrow(img, *layout.arrowX, *layout.arrowY, c.arrowType, arrowColor);
  canvas.put(img);
  if (!shown.empty()) {
    const Rect& r = layout.textRect;
    const std::string cut = elideAtWordEnd(shown, std::max(0, r.width()),
                                           [font](std::string_view s) { return measureText(font, s).width; });
    const unsigned format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;
    if (cut == shown) {
      canvas.drawText(c.caption, r, font, textColor, format);  // the access key underlined
    } else {
      canvas.drawText(cut, r, font, textColor, format | DT_NOPREFIX);
    }
  }
  // The image is always drawn in its normal, enabled form.
  if (layout.imageX) canvas.drawImage(c.images->handle(), c.imageIndex, *layout.imageX, *layout.imageY);
}

// WM_GETDLGCODE of a button that Enter and Space click: Enter reaches the button (its pressed
// look, then its click) instead of the dialog's or the window's default command.
MessageResult buttonDialogCode(LParam lParam) {
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_RETURN)
    return DLGC_BUTTON | DLGC_WANTMESSAGE;
  return DLGC_BUTTON;
}

}  // namespace

bool ButtonContent::imageShown() const {
  return images != nullptr && imageIndex >= 0 && imageIndex < images->count();
}

// ---- Tool button ----------------------------------------------------------------------------

ToolButton::ToolButton(WindowHandle parent, const Bounds& bounds, const Fonts* fonts)
    : ThemedControl(Traits{L"TarnwatchToolButton", true, false, false, false}, parent, bounds, fonts) {}

void ToolButton::setCaption(std::string caption) {
  content_.caption = std::move(caption);
  setText(content_.caption);
  repaint();
}
void ToolButton::setImages(const ImageList* images) {
  content_.images = images;
  repaint();
}
void ToolButton::setImageIndex(int index) {
  content_.imageIndex = index;
  repaint();
}
void ToolButton::setShowArrow(bool value) {
  content_.showArrow = value;
  repaint();
}
void ToolButton::setFontColor(Color c) {
  content_.fontColor = c;
  repaint();
}
void ToolButton::setCaptionAlignment(CaptionAlignment alignment) {
  alignment_ = alignment;
  repaint();
}
void ToolButton::setSetFocusOnClick(bool value) {
  setFocusOnClick_ = value;
  repaint();
}

ToolButtonLook ToolButton::look() const {
  if (!isEnabled()) return ToolButtonLook::Idle;
  return toolButtonLook(leftPressed_, keyPressed_, pointerInside_, hasFocus());
}

void ToolButton::paint(Canvas& canvas) {
  RgbaImage img = parentPicture(handle());
  paintToolButtonFace(img, look());
  const bool enabled = isEnabled();
  paintContent(canvas, img, content_, ButtonKind::Tool, alignment_, enabled && (leftPressed_ || keyPressed_),
               enabled ? content_.fontColor : kDisabledText, enabled ? kArrowColor : kDisabledText,
               fonts_->control());
}

void ToolButton::buttonDown(bool left) {
  if (left && setFocusOnClick_) SetFocus(handle());
  ThemedControl::buttonDown(left);
}

void ToolButton::enabledChanged(bool enabled) {
  keyPressed_ = false;
  ThemedControl::enabledChanged(enabled);
}

MessageResult ToolButton::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return buttonDialogCode(lParam);
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) {
        keyPressed_ = true;
        if (setFocusOnClick_ && !hasFocus()) SetFocus(handle());
        repaint();
        return 0;
      }
      break;
    case WM_KEYUP: {
      // Enter or Space released after it pressed the button clicks it, as a push button does.
      const bool wasPressed = keyPressed_ && (wParam == VK_RETURN || wParam == VK_SPACE);
      keyPressed_ = false;
      repaint();
      if (wasPressed && isEnabled()) click();
      return 0;
    }
    default:
      break;
  }
  return ThemedControl::handleMessage(message, wParam, lParam);
}

// ---- Speed button ---------------------------------------------------------------------------

void SpeedButton::FadeTimer::start(int intervalMs) {
  SetTimer(owner_.handle(), kFadeTimerId, static_cast<UINT>(std::max(intervalMs, 1)), nullptr);
}

void SpeedButton::FadeTimer::stop() { KillTimer(owner_.handle(), kFadeTimerId); }

SpeedButton::SpeedButton(WindowHandle parent, const Bounds& bounds, const Fonts* fonts)
    : ThemedControl(Traits{L"TarnwatchSpeedButton", false, false, false, false}, parent, bounds, fonts),
      fader_(timer_, [this] { repaint(); }) {}

void SpeedButton::setCaption(std::string caption) {
  content_.caption = std::move(caption);
  setText(content_.caption);
  repaint();
}
void SpeedButton::setImages(const ImageList* images) {
  content_.images = images;
  repaint();
}
void SpeedButton::setImageIndex(int index) {
  content_.imageIndex = index;
  repaint();
}
void SpeedButton::setFontColor(Color c) {
  content_.fontColor = c;
  repaint();
}
void SpeedButton::setPressButtonEffect(bool value) {
  pressButtonEffect_ = value;
  repaint();
}

void SpeedButton::paint(Canvas& canvas) {
  RgbaImage img = parentPicture(handle());
  paintSpeedButton(img, images_, fader_.paintState());
  if (hasFocus() && isEnabled()) paintFocusFrame(img, kArrowColor);
  paintContent(canvas, img, content_, ButtonKind::Speed, CaptionAlignment::Center,
               fader_.leftPressed() && pressButtonEffect_, isEnabled() ? content_.fontColor : kDisabledText,
               kArrowColor, fonts_->control());
}

void SpeedButton::pointerEntered() { fader_.pointerEnter(); }
void SpeedButton::pointerLeft() { fader_.pointerLeave(); }
void SpeedButton::buttonDown(bool left) { fader_.mouseDown(left); }
void SpeedButton::buttonUp() { fader_.mouseUp(); }

void SpeedButton::enabledChanged(bool enabled) {
  images_ = {};
  if (enabled && fader_.pointerInside()) {
    // A disabled window hears nothing of the pointer: a pointer that left meanwhile is noted
    // while the fader is still disabled (the flag only), as a disabled button would have.
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(handle(), &pt);
    RECT r{};
    GetClientRect(handle(), &r);
    if (!PtInRect(&r, pt)) {
      fader_.pointerLeave();
      pointerInside_ = false;
    }
  }
  fader_.setEnabled(enabled);
}

void SpeedButton::setTakesFocus(bool value) {
  const LONG_PTR style = GetWindowLongPtrW(handle(), GWL_STYLE);
  SetWindowLongPtrW(handle(), GWL_STYLE, value ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP}));
}

MessageResult SpeedButton::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam != kFadeTimerId) break;
      fader_.tick();
      return 0;
    case WM_GETDLGCODE:
      return buttonDialogCode(lParam);
    case WM_KEYDOWN:
      if (wParam != VK_RETURN && wParam != VK_SPACE) break;
      keyPressed_ = true;
      return 0;
    case WM_KEYUP: {
      // Enter or Space pressed and released on the button clicks it.
      const bool wasPressed = keyPressed_ && (wParam == VK_RETURN || wParam == VK_SPACE);
      keyPressed_ = false;
      if (wasPressed && isEnabled()) click();
      return 0;
    }
    case WM_KILLFOCUS:
      keyPressed_ = false;
      break;
    default:
      break;
  }
  return ThemedControl::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
