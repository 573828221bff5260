#include "gui/controls/themed_control.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>

#include <cstring>
#include <exception>

#include "core/ui/fonts.h"

namespace tw {

namespace {

QString fromText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the first of `faces` is not installed, Qt is told to use the others in its place.
QString substitutedOnce(const std::array<std::string_view, 3>& faces) {
  static QStringList done;
  QString family = fromText(faces[0]);
  if (done.contains(family)) return family;
  done.append(family);
  if (!QFontDatabase::families().contains(family)) {
    QStringList others;
    for (std::size_t i = 1; i < faces.size(); ++i) others.append(fromText(faces[i]));
    QFont::insertSubstitutions(family, others);
  }
  return family;
}

}  // namespace

QFont defaultControlFont() {
  QFont font(substitutedOnce(kControlFontFaces));
  font.setPixelSize(kControlFontPixels);
  return font;
}

QFont windowFont() {
  QFont font(substitutedOnce(kWindowFontFaces));
  font.setPointSize(kWindowFontPoints);
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
