#include "gui/controls/w7_labels.h"

#include <QMouseEvent>

#include "gui/controls/w7_controls.h"

namespace tw {

TW7ActiveLabel::TW7ActiveLabel(QWidget* parent) : TW7ActiveLabel(QString(), parent) {}

TW7ActiveLabel::TW7ActiveLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setFont(defaultControlFont());
  applyLook(false);  // the out look, once at creation
}

void TW7ActiveLabel::setMouseOutColor(const QColor& c) {
  outColor_ = c;
  if (!pointerInside_) applyLook(false);
}

void TW7ActiveLabel::setMouseOutCursor(const QCursor& c) {
  outCursor_ = c;
  if (!pointerInside_) applyLook(false);
}

QColor TW7ActiveLabel::textColor() const { return palette().color(QPalette::WindowText); }

void TW7ActiveLabel::applyLook(bool in) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, in ? inColor_ : outColor_);
  setPalette(pal);
  QFont f = font();
  f.setUnderline(in);
  setFont(f);
  setCursor(in ? inCursor_ : outCursor_);
}

void TW7ActiveLabel::enterEvent(QEnterEvent* e) {
  pointerInside_ = true;
  applyLook(true);
  emit mouseEnter();
  QLabel::enterEvent(e);
}

void TW7ActiveLabel::leaveEvent(QEvent* e) {
  pointerInside_ = false;
  applyLook(false);
  emit mouseLeave();
  QLabel::leaveEvent(e);
}

void TW7ActiveLabel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) pressed_ = true;
  QLabel::mousePressEvent(e);
}

void TW7ActiveLabel::mouseReleaseEvent(QMouseEvent* e) {
  const bool wasPressed = pressed_;
  pressed_ = false;
  if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(e);
}

}  // namespace tw
