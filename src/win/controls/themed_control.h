#pragma once

#include <functional>
#include <optional>

#include "core/paint/rgba_image.h"
#include "win/controls/canvas.h"
#include "win/controls/window.h"

namespace tw::win {

class Fonts;

// A window whose own picture (without its children) its themed children show beneath
// themselves, as a see-through control shows its parent.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // The window's own picture at its current client size; valid until the window next changes.
  virtual const RgbaImage& ownPicture() = 0;
};

// The background of the program's windows (the system's dialog colour).
Color windowBackground();

// What `child` shows of its parent beneath itself: the part of the parent's own picture under
// the child when the parent is a PictureSource; the windows' background colour otherwise.
RgbaImage parentPicture(WindowHandle child);

// A themed control: a child window of ours that paints all of itself, through a Canvas, from the
// core's picture of it, and follows the pointer, the left button, the focus and the enabled state
// as every themed control does: entering and leaving repaint (unless repaintOnPointer is off), a
// left press sets "left pressed", any release clears it, losing the focus and a change of the
// enabled state clear it too, and each repaints. A left press released over the control is a
// click (onClick); BM_CLICK clicks an enabled control as the standard buttons do.
//
// Thread: the user-interface thread. Owned by the window that holds it (its C++ parent); uses,
// but does not own, the parent's fonts, which outlive it.
class ThemedControl : public Window {
 public:
  ~ThemedControl() override;

  bool pointerInside() const { return pointerInside_; }
  bool leftPressed() const { return leftPressed_; }
  bool hasFocus() const;
  // The picture the control shows now, painted afresh (the tests read it).
  RgbaImage snapshot();

  std::function<void()> onClick;
  std::function<void()> onMouseEnter;
  std::function<void()> onMouseLeave;

 protected:
  struct Traits {
    const wchar_t* className;
    bool focusable = false;           // a Tab stop that takes the focus
    bool container = false;           // holds child controls (dialog navigation goes into it)
    bool doubleClicks = false;        // double clicks are reported as such (else as two clicks)
    bool transparentToMouse = false;  // the pointer goes to the window beneath (plain labels)
  };
  ThemedControl(const Traits& traits, WindowHandle parent, const Bounds& bounds, const Fonts* fonts);

  // Paints the whole control into `canvas`, which is the control's size.
  virtual void paint(Canvas& canvas) = 0;

  // The notifications, after the base has updated its state; each repaints unless a control
  // says otherwise.
  virtual void pointerEntered();
  virtual void pointerLeft();
  virtual void buttonDown(bool left);
  virtual void buttonUp();
  virtual void focusChanged(bool focused);
  virtual void enabledChanged(bool enabled);
  // Raises onClick.
  void click();

  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

  const Fonts* fonts_;
  bool repaintOnPointer_ = true;
  bool pointerInside_ = false;
  bool leftPressed_ = false;

 private:
  void paintInto(DeviceContext dc);
  bool transparentToMouse_;
};

// A themed control that holds child controls and is a PictureSource for them: it keeps its own
// picture until its size or look changes, hands the common controls on it (check boxes, lists,
// edit fields) their notifications' way to its parent (WM_COMMAND and WM_NOTIFY go up to the
// window that handles them), and paints its picture behind the standard controls that ask
// (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, WM_PRINTCLIENT), so that they look see-through too.
class ThemedContainer : public ThemedControl, public PictureSource {
 public:
  ~ThemedContainer() override;
  const RgbaImage& ownPicture() override;

 protected:
  ThemedContainer(const wchar_t* className, WindowHandle parent, const Bounds& bounds, const Fonts* fonts);
  // The control's own picture at w × h, made afresh.
  virtual RgbaImage makePicture(int w, int h) = 0;
  // The look changed: the picture is made again and the control and its children repaint.
  void pictureChanged();

  void paint(Canvas& canvas) override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  BrushHandle backgroundBrush();
  std::optional<RgbaImage> picture_;
  BrushHandle brush_ = nullptr;
};

}  // namespace tw::win
