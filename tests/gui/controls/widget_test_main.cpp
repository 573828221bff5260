// The main() of the widget tests: runs offscreen unless a platform is chosen, so that test
// discovery at build time needs no display. With --demo-screenshot FILE it instead shows the
// controls demo and saves a picture of the whole screen (run it under Xvfb with the xcb platform:
// scripts/screenshot-controls.sh).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "gui/controls/controls_demo.h"

int main(int argc, char** argv) {
  const char* screenshot = nullptr;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--demo-screenshot") == 0) screenshot = argv[i + 1];
  if (!screenshot && std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);

  if (screenshot) {
    std::unique_ptr<QWidget> demo = tw::buildControlsDemo();
    demo->move(10, 10);
    demo->show();
    tw::stageControlsDemo(*demo);
    bool saved = false;
    // Let the window map and the fades run to their end before the picture is taken.
    QTimer::singleShot(1500, [&] {
      const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
      saved = shot.save(QString::fromLocal8Bit(screenshot), "PNG");
      app.quit();
    });
    app.exec();
    if (!saved) std::cerr << "Could not save the screenshot to " << screenshot << "\n";
    return saved ? 0 : 1;
  }

  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
