#include "win/controls/themed_control.h"

// clang-format off
#include <windows.h>
#include <windowsx.h>
// clang-format on

#include "win/controls/fonts.h"

namespace tw::win {

Color windowBackground() {
  const COLORREF c = GetSysColor(COLOR_BTNFACE);
  return rgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

RgbaImage parentPicture(WindowHandle child) {
  RECT r{};
  GetClientRect(child, &r);
  RgbaImage picture(r.right, r.bottom, windowBackground());
  HWND parent = GetParent(child);
  auto* source = dynamic_cast<PictureSource*>(Window::fromHandle(parent));
  if (source == nullptr) return picture;
  POINT origin{0, 0};
  MapWindowPoints(child, parent, &origin, 1);
  const RgbaImage& beneath = source->ownPicture();
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      if (beneath.contains(origin.x + x, origin.y + y))
        picture.setPixel(x, y, beneath.pixel(origin.x + x, origin.y + y));
    }
  }
  return picture;
}

// ---- ThemedControl --------------------------------------------------------------------------

ThemedControl::ThemedControl(const Traits& traits, WindowHandle parent, const Bounds& bounds,
                             const Fonts* fonts)
    : fonts_(fonts), transparentToMouse_(traits.transparentToMouse) {
  registerClass(traits.className, 0, traits.doubleClicks);
  Creation c;
  c.className = traits.className;
  c.style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (traits.focusable ? WS_TABSTOP : 0) |
            (traits.container ? WS_CLIPCHILDREN : 0);
  c.exStyle = traits.container ? WS_EX_CONTROLPARENT : 0;
  c.parent = parent;
  c.bounds = bounds;
  create(c);
}

ThemedControl::~ThemedControl() { destroy(); }

bool ThemedControl::hasFocus() const { return handle() != nullptr && GetFocus() == handle(); }

RgbaImage ThemedControl::snapshot() {
  const Size size = clientSize();
  Canvas canvas(size.width, size.height);
  paint(canvas);
  return canvas.picture();
}

void ThemedControl::paintInto(DeviceContext dc) {
  const Size size = clientSize();
  if (size.width <= 0 || size.height <= 0) return;
  Canvas canvas(size.width, size.height);
  paint(canvas);
  canvas.copyTo(dc);
}

void ThemedControl::pointerEntered() {
  if (repaintOnPointer_) repaint();
}
void ThemedControl::pointerLeft() {
  if (repaintOnPointer_) repaint();
}
void ThemedControl::buttonDown(bool) { repaint(); }
void ThemedControl::buttonUp() { repaint(); }
void ThemedControl::focusChanged(bool) { repaint(); }
void ThemedControl::enabledChanged(bool) { repaint(); }

void ThemedControl::click() {
  if (onClick) onClick();
}

MessageResult ThemedControl::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(handle(), &ps);
      paintInto(dc);
      EndPaint(handle(), &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      paintInto(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      if (transparentToMouse_) return HTTRANSPARENT;
      break;
    case WM_MOUSEMOVE: {
      RECT r{};
      GetClientRect(handle(), &r);
      const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool inside = PtInRect(&r, pt) != FALSE;
      if (inside && !pointerInside_) {
        pointerInside_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, handle(), 0};
        TrackMouseEvent(&track);
        pointerEntered();
        if (onMouseEnter) onMouseEnter();
      } else if (!inside && pointerInside_) {
        pointerInside_ = false;
        pointerLeft();
        if (onMouseLeave) onMouseLeave();
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      if (pointerInside_) {
        pointerInside_ = false;
        pointerLeft();
        if (onMouseLeave) onMouseLeave();
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(handle());
      leftPressed_ = true;
      buttonDown(true);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      buttonDown(false);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = leftPressed_;
      leftPressed_ = false;
      if (GetCapture() == handle()) ReleaseCapture();
      RECT r{};
      GetClientRect(handle(), &r);
      const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      buttonUp();
      if (wasPressed && PtInRect(&r, pt)) click();
      return 0;
    }
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      leftPressed_ = false;
      buttonUp();
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != handle() && leftPressed_) {
        leftPressed_ = false;
        buttonUp();
      }
      return 0;
    case WM_SETFOCUS:
      focusChanged(true);
      return 0;
    case WM_KILLFOCUS:
      leftPressed_ = false;
      focusChanged(false);
      return 0;
    case WM_ENABLE:
      leftPressed_ = false;
      enabledChanged(wParam != FALSE);
      return 0;
    case BM_CLICK:
      if (isEnabled()) {
        handleMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0);
        handleMessage(WM_LBUTTONUP, 0, 0);
      }
      return 0;
    default:
      break;
  }
  return Window::handleMessage(message, wParam, lParam);
}

// ---- ThemedContainer ------------------------------------------------------------------------

ThemedContainer::ThemedContainer(const wchar_t* className, WindowHandle parent, const Bounds& bounds,
                                 const Fonts* fonts)
    : ThemedControl(Traits{className, false, true, false, false}, parent, bounds, fonts) {
  repaintOnPointer_ = false;
}

ThemedContainer::~ThemedContainer() {
  destroy();
  if (brush_ != nullptr) DeleteObject(brush_);
}

const RgbaImage& ThemedContainer::ownPicture() {
  const Size size = clientSize();
  if (!picture_ || picture_->width() != size.width || picture_->height() != size.height) {
    picture_ = makePicture(size.width, size.height);
    if (brush_ != nullptr) DeleteObject(brush_);
    brush_ = nullptr;
  }
  return *picture_;
}

void ThemedContainer::pictureChanged() {
  picture_.reset();
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = nullptr;
  if (handle() != nullptr) repaint();
}

void ThemedContainer::paint(Canvas& canvas) { canvas.put(ownPicture()); }

BrushHandle ThemedContainer::backgroundBrush() {
  const RgbaImage& picture = ownPicture();
  if (brush_ == nullptr) {
    Canvas canvas(picture.width(), picture.height());
    canvas.put(picture);
    // A device-dependent copy of the picture: pattern brushes take any size from it.
    HDC screen = GetDC(nullptr);
    HBITMAP copy = CreateCompatibleBitmap(screen, picture.width(), picture.height());
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ before = SelectObject(dc, copy);
    canvas.copyTo(dc);
    SelectObject(dc, before);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    brush_ = CreatePatternBrush(copy);
    DeleteObject(copy);
  }
  return brush_;
}

MessageResult ThemedContainer::handleMessage(MessageId message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_SIZE:
      pictureChanged();
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
      return SendMessageW(GetParent(handle()), message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // The standard control paints its background with our picture, aligned with us.
      auto dc = reinterpret_cast<HDC>(wParam);
      POINT origin{0, 0};
      MapWindowPoints(reinterpret_cast<HWND>(lParam), handle(), &origin, 1);
      SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<MessageResult>(backgroundBrush());
    }
    default:
      break;
  }
  return ThemedControl::handleMessage(message, wParam, lParam);
}

}  // namespace tw::win
