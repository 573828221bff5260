#include "gui/controls/active_label.h"

#include <QMouseEvent>

#include "gui/controls/themed_control.h"

namespace tw {

ActiveLabel::ActiveLabel(QWidget* parent) : ActiveLabel(QString(), parent) {}

ActiveLabel::ActiveLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setFont(defaultControlFont());
  applyLook(false);  // the out look, once at creation
}

void ActiveLabel::setMouseOutColor(const QColor& c) {
  outColor_ = c;
  if (!pointerInside_) applyLook(false);
}

void ActiveLabel::setMouseOutCursor(const QCursor& c) {
  outCursor_ = c;
  if (!pointerInside_) applyLook(false);
}

QColor ActiveLabel::textColor() const { return palette().color(QPalette::WindowText); }

void ActiveLabel::applyLook(bool in) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, in ? inColor_ : outColor_);
  setPalette(pal);
  QFont f = font();
  f.setUnderline(in);
  setFont(f);
  setCursor(in ? inCursor_ : outCursor_);
}

void ActiveLabel::enterEvent(QEnterEvent* e) {
  pointerInside_ = true;
  applyLook(true);
  emit mouseEnter();
  QLabel::enterEvent(e);
}

void ActiveLabel::leaveEvent(QEvent* e) {
  pointerInside_ = false;
  applyLook(false);
  emit mouseLeave();
  QLabel::leaveEvent(e);
}

void ActiveLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) pressed_ = true;
  QLabel::mousePressEvent(e);
}

void ActiveLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool wasPressed = pressed_;
  pressed_ = false;
  if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(e);
}

}  // namespace tw
