// The main() of the settings window tests: runs offscreen unless a platform is chosen, so that
// test discovery at build time needs no display. With --image-sheet FILE it instead saves the
// settings window's pictures, at 16 pixels and enlarged, to a PNG for a look by eye; with
// --page-pictures PREFIX it saves pictures of the window's pages and of the extension dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTableWidget>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "core/settings/extensions.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/svg_images.h"
#include "gui/main/dialogs.h"
#include "gui/main/system_icons.h"
#include "gui/settings/extension_dialog.h"
#include "gui/settings/settings_window.h"
#include "platform/fake/fake_platform.h"

namespace {

int saveImageSheet(const char* file) {
  const QStringList names = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "lock"};
  constexpr int kBig = 64, kCell = 80;
  QPixmap sheet(kCell * static_cast<int>(names.size()), kCell + 24);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  for (int i = 0; i < names.size(); ++i) {
    const QString resource = QStringLiteral(":/img/settings/%1.svg").arg(names[i]);
    painter.drawPixmap(i * kCell + 8, 4, tw::svgPixmap(resource, 16));
    painter.drawPixmap(i * kCell + 8, 24, tw::svgPixmap(resource, kBig));
    painter.drawText(i * kCell + 30, 16, names[i]);
  }
  painter.end();
  if (!sheet.save(QString::fromLocal8Bit(file), "PNG")) {
    std::cerr << "Could not save " << file << "\n";
    return 1;
  }
  return 0;
}

// Pictures of the four pages and the extension dialog (PREFIX-1.png ... PREFIX-5.png), with a
// scripted platform, a recording running and one event kind off.
int savePagePictures(const char* prefix) {
  tw::FakePlatform platform(tw::PathStyle::Posix);
  platform.driveTable = {{"/", tw::DriveType::Fixed}, {"/media/usb/", tw::DriveType::Removable}};
  platform.fileSystems = {{"/", std::string("ext4")}, {"/media/usb/", std::string("vfat")}};
  platform.spaces = {{"/", tw::DiskSpace{1000, 420}}, {"/media/usb/", tw::DiskSpace{1000, 40}}};
  platform.objectIcons = {{"/var/cache/", 1}};
  tw::SystemIcons icons(platform);
  tw::QtDialogs dialogs;
  tw::SettingsWindow window(platform.parts(), icons, dialogs, "/nonexistent/config.ini");
  tw::CaptureOptions options;
  tw::addExtensions(options.extensions, ".exe,.txt");
  options.excludedFolders = {"/var/cache/", "/gone/folder/"};
  options.kinds.reset(2);
  window.showOptions(options);
  window.refreshDrives();
  window.setRecordMode(true);
  window.show();
  QApplication::processEvents();
  bool ok = true;
  const QList<tw::GradientPanel*> pages = {window.generalPage(), window.drivesPage(), window.filtersPage(),
                                           window.eventsPage()};
  for (int i = 0; i < pages.size(); ++i) {
    for (tw::GradientPanel* page : pages) page->setVisible(page == pages[i]);
    QApplication::processEvents();
    ok = window.grab().save(QStringLiteral("%1-%2.png").arg(QString::fromLocal8Bit(prefix)).arg(i + 1)) && ok;
  }
  auto* dialog = window.addExtensionDialog();
  dialog->show();
  QApplication::processEvents();
  ok = dialog->grab().save(QStringLiteral("%1-5.png").arg(QString::fromLocal8Bit(prefix))) && ok;
  dialog->hide();
  window.onSaveError = [](const std::exception&) {};
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* sheet = nullptr;
  const char* pages = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--image-sheet") == 0) sheet = argv[i + 1];
    if (std::strcmp(argv[i], "--page-pictures") == 0) pages = argv[i + 1];
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (sheet) return saveImageSheet(sheet);
  if (pages) return savePagePictures(pages);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
