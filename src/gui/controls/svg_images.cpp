#include "gui/controls/svg_images.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace tw {

QPixmap svgPixmap(const QString& resource, int size) {
  const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(static_cast<int>(size * ratio), static_cast<int>(size * ratio));
  pixmap.fill(Qt::transparent);
  if (QFile::exists(resource)) {
    QSvgRenderer renderer(resource);
    if (renderer.isValid()) {
      QPainter painter(&pixmap);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(0, 0, pixmap.width(), pixmap.height()));
    }
  }
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

void fillImageList(ImageList& list, const QString& folder, int count, int size) {
  for (int i = 0; i < count; ++i) list.add(svgPixmap(folder + QStringLiteral("/%1.svg").arg(i), size));
}

}  // namespace tw
