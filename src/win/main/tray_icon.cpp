#include "win/main/tray_icon.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "win/controls/window.h"

namespace tw::win {

namespace {

constexpr UINT kIconId = 1;

template <std::size_t n>
void copyText(wchar_t (&to)[n], const std::string& utf8) {
  const std::wstring text = wide(utf8);
  const std::size_t count = text.copy(to, n - 1);
  to[count] = L'\0';
}

}  // namespace

TrayIcon::TrayIcon(WindowHandle owner, unsigned callbackMessage, IconHandle icon, std::string tip)
    : owner_(owner), callbackMessage_(callbackMessage), icon_(icon), tip_(std::move(tip)) {
  shellNotify = [](unsigned long message, void* data) {
    return Shell_NotifyIconW(message, static_cast<NOTIFYICONDATAW*>(data)) != FALSE;
  };
}

TrayIcon::~TrayIcon() { hide(); }

bool TrayIcon::notify(unsigned long message, unsigned flags, const std::string& infoTitle,
                      const std::string& infoText) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner_;
  data.uID = kIconId;
  data.uFlags = flags;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
  copyText(data.szTip, tip_);
  if ((flags & NIF_INFO) != 0) {
    copyText(data.szInfoTitle, infoTitle);
    copyText(data.szInfo, infoText);
    data.dwInfoFlags = NIIF_INFO;
  }
  return shellNotify(message, &data);
}

bool TrayIcon::show() {
  if (shown_) return true;
  shown_ = notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  return shown_;
}

void TrayIcon::hide() {
  if (!shown_) return;
  notify(NIM_DELETE, 0);
  shown_ = false;
}

void TrayIcon::restore() {
  if (!shown_) return;
  shown_ = false;
  show();
}

bool TrayIcon::showBalloon(const std::string& title, const std::string& text) {
  if (!shown_) return false;
  balloonTitle_ = title;
  balloonText_ = text;
  return notify(NIM_MODIFY, NIF_INFO, title, text);
}

}  // namespace tw::win
