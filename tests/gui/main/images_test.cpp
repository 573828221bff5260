// The program's own pictures in the resources: every picture the windows ask for is there, is an
// SVG the renderer accepts, is drawn for the size it is shown at and paints something at 16 px.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QString>
#include <QSvgRenderer>

#include <vector>

#include "gui/controls/svg_images.h"
#include "gui/controls/themed_control.h"

namespace {

struct Picture {
  QString resource;
  int designSize;  // the side of the square the picture is drawn for (its view box)
};

std::vector<Picture> allPictures() {
  std::vector<Picture> pictures;
  for (int i = 0; i < 15; ++i) pictures.push_back({QStringLiteral(":/img/main/%1.svg").arg(i), 16});
  for (int i = 0; i < 3; ++i) pictures.push_back({QStringLiteral(":/img/about/%1.svg").arg(i), 16});
  pictures.push_back({QStringLiteral(":/img/program.svg"), 64});
  pictures.push_back({QStringLiteral(":/img/tray.svg"), 16});
  return pictures;
}

QImage renderAt(const QString& resource, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, size, size));
  return image;
}

// Pixels a viewer sees: more than faintly covered.
int visiblePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(image.pixel(x, y)) >= 128) ++n;
  return n;
}

TEST(ProgramPictures, EveryPictureIsAValidSvgDrawnForItsSizeAndVisibleAt16Pixels) {
  for (const Picture& p : allPictures()) {
    SCOPED_TRACE(p.resource.toStdString());
    ASSERT_TRUE(QFile::exists(p.resource));
    QSvgRenderer renderer(p.resource);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, p.designSize, p.designSize));
    // At least a small glyph's worth of solid pixels: an empty or nearly empty picture fails.
    EXPECT_GE(visiblePixels(renderAt(p.resource, 16)), 16);
  }
}

TEST(ProgramPictures, MainWindowImageListHoldsFifteenDistinctPictures) {
  tw::ImageList list;
  tw::fillImageList(list, QStringLiteral(":/img/main"), 15);
  ASSERT_EQ(list.count(), 15);
  QSet<QByteArray> seen;
  for (int i = 0; i < list.count(); ++i) {
    SCOPED_TRACE(i);
    const QImage image = list.image(i).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_GE(visiblePixels(image), 16);
    // Two indexes showing the same picture would make two commands look alike.
    const QByteArray pixels(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    EXPECT_FALSE(seen.contains(pixels));
    seen.insert(pixels);
  }
}

TEST(ProgramPictures, AboutButtonsShowDifferentMarks) {
  QSet<QByteArray> seen;
  for (int i = 0; i < 3; ++i) {
    const QImage image = renderAt(QStringLiteral(":/img/about/%1.svg").arg(i), 16);
    seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
  }
  EXPECT_EQ(seen.size(), 3);
}

TEST(ProgramPictures, MissingPictureGivesATransparentPixmapOfTheAskedSize) {
  const QImage image = tw::svgPixmap(QStringLiteral(":/img/main/15.svg"), 16).toImage();
  EXPECT_EQ(image.width(), 16);
  EXPECT_EQ(visiblePixels(image.convertToFormat(QImage::Format_ARGB32)), 0);
}

// The desktop icon installed with the program is the program's picture itself.
TEST(ProgramPictures, PackagedDesktopIconIsTheProgramPicture) {
  QFile packaged(QStringLiteral(TARNWATCH_PACKAGED_ICON));
  QFile resource(QStringLiteral(":/img/program.svg"));
  ASSERT_TRUE(packaged.open(QIODevice::ReadOnly));
  ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
  EXPECT_EQ(packaged.readAll(), resource.readAll());
}

}  // namespace
