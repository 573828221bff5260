// The desktop program: builds the event names, creates the application and its four windows
// in order (main window, settings window, extension dialog, about box; the settings are
// restored when the settings window is created, before the main window is first shown), and
// runs the event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/events/event_kinds.h"
#include "core/settings/settings_codec.h"
#include "gui/controls/svg_images.h"
#include "gui/main/about_box.h"
#include "gui/main/dialogs.h"
#include "gui/main/main_window.h"
#include "gui/main/system_icons.h"
#include "gui/settings/extension_dialog.h"
#include "gui/settings/settings_window.h"
#include "platform/linux/linux_platform.h"

namespace {

// The main window's view of the settings window.
class SettingsLink : public tw::SettingsWindowLink {
 public:
  SettingsLink(tw::SettingsWindow& window, QWidget* over) : window(window), over(over) {}
  const tw::CaptureOptions& captureOptions() override { return window.options(); }
  void setRecordMode(bool b) override { window.setRecordMode(b); }
  void saveOptions(const tw::CaptureOptions& options) override { window.saveOptions(options); }
  void showSettings() override {
    window.move(over->geometry().center() - window.rect().center());
    window.exec();
  }

 private:
  tw::SettingsWindow& window;
  QWidget* over;
};

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  // With --quit-after-show the program ends as soon as its window has been shown and says how
  // long that took (for the start-up benchmark).
  bool quitAfterShow = false;
  // With --open FILE the window opens a recording in the jsonl form once it is shown.
  const char* openFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quit-after-show") == 0) quitAfterShow = true;
    if (std::strcmp(argv[i], "--open") == 0 && i + 1 < argc) openFile = argv[++i];
  }

  // 1. The event names, before any window exists.
  (void)tw::eventNames();

  // 2. The application, titled "Tarnwatch".
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwatch"));
  QGuiApplication::setDesktopFileName(QStringLiteral("tarnwatch"));
  QApplication::setWindowIcon(QIcon(tw::svgPixmap(QStringLiteral(":/img/program.svg"), 64)));
  tw::SystemIcons::chooseIconTheme();

  tw::LinuxPlatform platform;
  // Whole-drive capture through the privileged helper, since the program runs as the user.
  platform.useCaptureHelper();
  tw::QtDialogs dialogs;
  const tw::Platform parts = platform.parts();
  tw::SystemIcons settingsIcons(platform);

  // The four windows, in order.
  auto frmMain = std::make_unique<tw::MainWindow>(parts, dialogs);
  auto frmSettings = std::make_unique<tw::SettingsWindow>(parts, settingsIcons, dialogs,
                                                          tw::settingsFilePath(platform), frmMain.get());
  auto frmAddExtension =
      std::make_unique<tw::ExtensionDialog>(*frmSettings, frmSettings->images(), frmMain.get());
  frmSettings->setAddExtensionDialog(frmAddExtension.get());
  auto frmAbout = std::make_unique<tw::AboutBox>(parts.shell, frmMain.get());

  SettingsLink link(*frmSettings, frmMain.get());
  frmMain->setSettingsWindow(&link);
  const auto showAbout = [&] { frmAbout->showModalOver(frmMain.get()); };
  frmMain->setAboutBox(showAbout);
  frmSettings->onAbout = showAbout;

  // Centred on the screen when first shown.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    frmMain->move(screen->availableGeometry().center() - frmMain->rect().center());
  }
  frmMain->show();
  if (openFile != nullptr) {
    const QString file = QFile::decodeName(openFile);
    QTimer::singleShot(0, frmMain.get(), [&frmMain, file] {
      try {
        frmMain->openRecording(file);
      } catch (const std::exception& e) {
        frmMain->showError(e.what());
      }
    });
  }
  if (quitAfterShow) {
    QTimer::singleShot(0, &app, [&] {
      std::printf("shown after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
      std::fflush(stdout);
      QApplication::quit();
    });
  }
  // When the event loop is over, a recording still running ends with the program: the main
  // window ends its threads as it goes.
  return QApplication::exec();
}
