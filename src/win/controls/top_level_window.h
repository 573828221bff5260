#pragma once

#include <memory>

#include "win/controls/fonts.h"
#include "win/controls/window.h"

namespace tw::win {

// A top-level window of the program (the main window, the settings window, the dialogs): its
// density and fonts, its client size in design pixels, showing it modally over another window,
// and the keyboard's way through its controls (Tab, access keys) by the dialog manager.
//
// A modal window is hidden, not destroyed, when closed: its close box hides it, which ends its
// modal loop; the owner is enabled again before it hides, so the owner becomes active.
//
// The density follows the monitor: on WM_DPICHANGED the window takes the size the system
// suggests, rebuilds its fonts and places its controls again (placeControls).
//
// Thread: the user-interface thread. Owns its fonts; owned by the program (Application).
class TopLevelWindow : public Window {
 public:
  ~TopLevelWindow() override;

  const Dpi& dpi() const { return dpi_; }
  const Fonts& fonts() const { return *fonts_; }

  // Shows the window modally over `owner` (centred on it, the owner disabled) and returns once
  // the window is hidden again. A quit message ends it too and is passed on.
  void showModal(WindowHandle owner);
  bool isModal() const { return modal_; }
  // Closes the window as its close box does (WM_CLOSE).
  void close();

  // Centres the window on `other` (on the work area of the screen when null).
  void centreOver(WindowHandle other);

  // A message on its way to this window or one of its controls, before the dialog manager and
  // the controls see it; true when the window handled it.
  virtual bool preTranslate(QueuedMessage& message);

  // Routes a queued message of the thread as the program's message loops do: the top-level
  // window it is for sees it first (preTranslate), then the dialog manager (Tab, access keys);
  // true when one of them took it, else it is for TranslateMessage and DispatchMessage.
  static bool route(QueuedMessage& message);

 protected:
  // `fixedSize`: a single border with only a close box, not resizable.
  TopLevelWindow(const wchar_t* className, std::string_view caption, int designWidth, int designHeight,
                 bool fixedSize);

  // (Re)places every control for the current density; called at creation by the subclass and
  // on every change of density.
  virtual void placeControls() = 0;
  // The window was hidden (by close() or otherwise); it is no longer shown when this runs.
  virtual void hidden() {}
  // The window was shown.
  virtual void shown() {}

  // Sets the client area to a design size scaled to the density.
  void setDesignClientSize(int designWidth, int designHeight);

  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

  Dpi dpi_;
  std::unique_ptr<Fonts> fonts_;

 private:
  int designWidth_;
  int designHeight_;
  bool fixedSize_;
  bool modal_ = false;
  WindowHandle modalOwner_ = nullptr;
};

}  // namespace tw::win
