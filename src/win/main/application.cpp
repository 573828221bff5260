#include "win/main/application.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "core/events/event_kinds.h"
#include "platform/win32/win32_support.h"

namespace tw::win {

Application::Application(Platform platform, std::string iniFile) {
  // 1. The event names, before any window exists.
  (void)eventNames();
  // 2. The common controls (version 6 through the manifest) and COM for the shell's dialogs.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tw::win32::ensureCom();
  // 3. The four windows, in order.
  main_ = std::make_unique<MainWindow>(platform, dialogs_);
  settings_ = std::make_unique<SettingsWindow>(platform, dialogs_, std::move(iniFile));
  extension_ = std::make_unique<ExtensionDialog>(*settings_, settings_->images());
  settings_->setExtensionDialog(extension_.get());
  about_ = std::make_unique<AboutBox>(platform.shell);

  main_->setSettingsLink(&link_);
  const auto showAbout = [this] {
    // Over whichever window opened it: the settings window when it is shown, else the main one.
    about_->showModalOver(settings_->isModal() ? settings_->handle() : main_->handle());
  };
  main_->setAboutBox(showAbout);
  settings_->onAbout = showAbout;
}

Application::~Application() {
  // The dialogs before the windows that own them.
  about_.reset();
  extension_.reset();
  settings_.reset();
  main_.reset();
}

void Application::showMainWindow() {
  main_->centreOver(nullptr);
  ShowWindow(main_->handle(), SW_SHOW);
  UpdateWindow(main_->handle());
}

int Application::run() {
  MSG msg{};
  BOOL got = 0;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (!TopLevelWindow::route(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

}  // namespace tw::win
