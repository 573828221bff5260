// The main() of the Qt tests: runs offscreen unless a platform is chosen, so that test
// discovery at build time and CI need no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwatch"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
