#pragma once

#include <functional>
#include <string>

#include "win/controls/win_types.h"

namespace tw::win {

// The program's icon in the notification area: shown while the main window is hidden to it,
// with a balloon that says so. The shell reports the user's clicks on it to the owner window as
// the message `callbackMessage` (lParam: the mouse message, as the classic notification icons
// do).
//
// Thread: the user-interface thread. Does not own the owner window or the icon; removes itself
// from the notification area when destroyed.
class TrayIcon {
 public:
  TrayIcon(WindowHandle owner, unsigned callbackMessage, IconHandle icon, std::string tip);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon to the notification area; false when the shell refuses (no notification
  // area: a desktop without one, or a shell that is not running).
  bool show();
  // Removes the icon.
  void hide();
  bool isShown() const { return shown_; }
  // Shows a balloon with the information icon over the shown icon; false when refused.
  bool showBalloon(const std::string& title, const std::string& text);
  // The shell was restarted (the "TaskbarCreated" message): puts a shown icon back.
  void restore();

  const std::string& lastBalloonTitle() const { return balloonTitle_; }
  const std::string& lastBalloonText() const { return balloonText_; }

  // The shell's call (Shell_NotifyIconW, with a NOTIFYICONDATAW); the tests replace it with one
  // that refuses, as a desktop without a notification area does.
  std::function<bool(unsigned long message, void* data)> shellNotify;

 private:
  bool notify(unsigned long message, unsigned flags, const std::string& infoTitle = {},
              const std::string& infoText = {});

  WindowHandle owner_;
  unsigned callbackMessage_;
  IconHandle icon_;
  std::string tip_;
  bool shown_ = false;
  std::string balloonTitle_;
  std::string balloonText_;
};

}  // namespace tw::win
