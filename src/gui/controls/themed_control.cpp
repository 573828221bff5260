#include "gui/controls/themed_control.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>

#include <cstring>
#include <exception>

namespace tw {

namespace {

// Where `family` is not installed, Qt is told to use Open Sans, then DejaVu Sans in its place.
void substituteOnce(const QString& family) {
  static QStringList done;
  if (done.contains(family)) return;
  done.append(family);
  if (!QFontDatabase::families().contains(family))
    QFont::insertSubstitutions(family, {QStringLiteral("Open Sans"), QStringLiteral("DejaVu Sans")});
}

}  // namespace

QFont defaultControlFont() {
  substituteOnce(QStringLiteral("Segoe UI"));
  QFont font(QStringLiteral("Segoe UI"));
  font.setPixelSize(12);
  return font;
}

QFont windowFont() {
  substituteOnce(QStringLiteral("Tahoma"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  return font;
}

QColor toQColor(Color c) {
  c = resolveColor(c);
  return QColor(redOf(c), greenOf(c), blueOf(c));
}

Color fromQColor(const QColor& c) { return rgb(c.red(), c.green(), c.blue()); }

QImage imageView(RgbaImage& img) {
  return QImage(img.bits(), img.width(), img.height(), static_cast<qsizetype>(img.width()) * 4,
                QImage::Format_RGBA8888);
}

RgbaImage parentPicture(const QWidget* widget) {
  const int w = widget->width(), h = widget->height();
  RgbaImage picture(w, h, fromQColor(widget->palette().color(QPalette::Window)));
  QWidget* parent = widget->parentWidget();
  if (!parent || w <= 0 || h <= 0) return picture;
  QImage target = imageView(picture);
  try {
    // The parent's background and its own paint event, without its children (this control among
    // them), shifted so that the parent's point under our top-left corner lands at (0, 0).
    const QRegion area = QRegion(widget->geometry()) & QRegion(parent->rect());
    if (area.isEmpty()) return picture;
    parent->render(&target, area.boundingRect().topLeft() - widget->pos(), area,
                   QWidget::DrawWindowBackground);
  } catch (const std::exception&) {
    // The parent's picture is best effort; the control paints itself over whatever came through.
  }
  return picture;
}

ThemedControl::ThemedControl(QWidget* parent) : QWidget(parent) { setFont(defaultControlFont()); }

void ThemedControl::enterEvent(QEnterEvent* e) {
  if (repaintOnPointer_) update();
  emit mouseEnter();
  QWidget::enterEvent(e);
}

void ThemedControl::leaveEvent(QEvent* e) {
  if (repaintOnPointer_) update();
  emit mouseLeave();
  QWidget::leaveEvent(e);
}

void ThemedControl::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) leftPressed_ = true;
  update();
  e->accept();
}

void ThemedControl::mouseReleaseEvent(QMouseEvent* e) {
  leftPressed_ = false;
  update();
  e->accept();
}

void ThemedControl::focusInEvent(QFocusEvent* e) {
  update();
  QWidget::focusInEvent(e);
}

void ThemedControl::focusOutEvent(QFocusEvent* e) {
  leftPressed_ = false;
  update();
  QWidget::focusOutEvent(e);
}

void ThemedControl::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange) {
    update();
    leftPressed_ = false;
  }
  QWidget::changeEvent(e);
}

void ThemedControl::blit(RgbaImage& img) {
  QPainter painter(this);
  painter.drawImage(0, 0, imageView(img));
}

EdgeDock::EdgeDock(QWidget* bar, Edge edge) : QObject(bar), bar_(bar), edge_(edge) {
  bar_->installEventFilter(this);
  place();
}

void EdgeDock::place() {
  QWidget* parent = bar_->parentWidget();
  if (parent != watchedParent_) {
    if (watchedParent_) watchedParent_->removeEventFilter(this);
    watchedParent_ = parent;
    if (parent) parent->installEventFilter(this);
  }
  if (!parent) return;
  const int h = bar_->height();
  bar_->setGeometry(0, edge_ == Edge::Top ? 0 : parent->height() - h, parent->width(), h);
}

bool EdgeDock::eventFilter(QObject* watched, QEvent* e) {
  if ((watched == watchedParent_ && e->type() == QEvent::Resize) ||
      (watched == bar_ && (e->type() == QEvent::ParentChange || e->type() == QEvent::Resize)))
    place();
  return QObject::eventFilter(watched, e);
}

}  // namespace tw
