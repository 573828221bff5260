#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QWidget>

#include "core/paint/rgba_image.h"

namespace tw {

// The font of every themed control that shows a text: "Segoe UI", 12 pixels high (9 points on a
// 96-dpi screen). Where "Segoe UI" is not installed it is substituted by Open Sans, then by
// DejaVu Sans, so that the look does not depend on whichever font happens to be there.
QFont defaultControlFont();

// The font of the windows themselves: "Tahoma" 8 points, substituted in the same way.
QFont windowFont();

QColor toQColor(Color c);
Color fromQColor(const QColor& c);

// A QImage that shares the picture's bytes (valid while the picture lives and is not resized).
QImage imageView(RgbaImage& img);

// What `widget`'s parent shows beneath it: the parent's background and its own painting (not its
// other children), clipped to the parent; the palette's window colour where there is no parent.
// Called from paint events on the user-interface thread. An error raised by the parent's painting
// is ignored.
RgbaImage parentPicture(const QWidget* widget);

// The images a button shows before its caption. Owned by whoever creates it (a window); buttons
// keep a guarded pointer to it.
class ImageList : public QObject {
  Q_OBJECT
 public:
  explicit ImageList(QObject* parent = nullptr) : QObject(parent) {}
  void add(const QPixmap& pixmap) { images_.append(pixmap); }
  int count() const { return static_cast<int>(images_.size()); }
  QPixmap image(int index) const { return images_.value(index); }

 private:
  QList<QPixmap> images_;
};

// A windowed themed control: tracks the left button and the focus and repaints on the
// notifications of the control base (pointer enter and leave only when repaintOnPointer).
class ThemedControl : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Version READ version WRITE setVersion)
 public:
  explicit ThemedControl(QWidget* parent = nullptr);

  QString version() const { return QStringLiteral("1.0.2.0"); }
  void setVersion(const QString&) {}  // read-only: setting it does nothing

  bool leftButtonPressed() const { return leftPressed_; }

 signals:
  void mouseEnter();
  void mouseLeave();

 protected:
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;

  // Shows the finished picture on the control.
  void blit(RgbaImage& img);

  bool repaintOnPointer_ = true;
  bool leftPressed_ = false;
};

// A themed control that paints its parent's picture behind itself before anything of its own.
class TransparentThemedControl : public ThemedControl {
  Q_OBJECT
 public:
  using ThemedControl::ThemedControl;
};

// A docking helper for the bars: keeps `bar` along the top or bottom edge of its parent, as wide
// as the parent, as the parent is resized.
class EdgeDock : public QObject {
  Q_OBJECT
 public:
  enum class Edge { Top, Bottom };
  EdgeDock(QWidget* bar, Edge edge);
  void place();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QWidget* bar_;
  Edge edge_;
  QWidget* watchedParent_ = nullptr;
};

}  // namespace tw
