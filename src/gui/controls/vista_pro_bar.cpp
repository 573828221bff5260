#include "gui/controls/vista_pro_bar.h"

#include <QPainter>

#include <algorithm>

#include "gui/controls/w7_controls.h"

namespace tw {

TVistaProBar::TVistaProBar(QWidget* parent) : QWidget(parent) {
  setFont(defaultControlFont());
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(150, 17);
  connect(&marqueeTimer_, &QTimer::timeout, this, &TVistaProBar::marqueeStep);
}

void TVistaProBar::changed() { repaint(); }  // repaint() does nothing while hidden

void TVistaProBar::setMin(int value) {
  if (state_.setMin(value)) changed();
}
void TVistaProBar::setMax(int value) {
  if (state_.setMax(value)) changed();
}
void TVistaProBar::setPosition(int value) {
  if (state_.setPosition(value)) changed();
}
void TVistaProBar::setColor(TColor c) {
  state_.color = c;
  changed();
}
void TVistaProBar::setOrientation(TVistaProBarOrientation o) {
  state_.orientation = o;
  changed();
}
void TVistaProBar::setRounded(bool v) {
  state_.rounded = v;
  changed();
}
void TVistaProBar::setSpecialMode(bool v) {
  state_.specialMode = v;
  changed();
}
void TVistaProBar::setAltMode(bool v) {
  state_.altMode = v;
  changed();
}
void TVistaProBar::setShowPosText(bool v) {
  state_.showPosText = v;
  changed();
}
void TVistaProBar::setPercentage(bool v) {
  state_.percentage = v;
  changed();
}
void TVistaProBar::setPosTextPrefix(const QString& s) {
  state_.posTextPrefix = s.toStdString();
  changed();
}
void TVistaProBar::setPosTextSuffix(const QString& s) {
  state_.posTextSuffix = s.toStdString();
  changed();
}
void TVistaProBar::setMarquee(bool v) {
  state_.marquee = v;
  state_.marqueeOffset = 0;
  if (v)
    marqueeTimer_.start(std::max(1, state_.marqueeSpeed));
  else
    marqueeTimer_.stop();
  changed();
}
void TVistaProBar::setMarqueeSize(int v) {
  state_.marqueeSize = std::clamp(v, 0, 255);
  changed();
}
void TVistaProBar::setMarqueeFade(int v) {
  state_.marqueeFade = std::clamp(v, 0, 255);
  changed();
}
void TVistaProBar::setMarqueeSpeed(int v) {
  state_.marqueeSpeed = std::clamp(v, 0, 255);
  if (marqueeTimer_.isActive()) marqueeTimer_.start(std::max(1, state_.marqueeSpeed));
  changed();
}

void TVistaProBar::marqueeStep() {
  const int length = state_.orientation == TVistaProBarOrientation::vpbVertical ? height() : width();
  state_.marqueeOffset += 2;
  if (state_.marqueeOffset > length) state_.marqueeOffset = -state_.marqueeSize;
  repaint();
}

void TVistaProBar::paintEvent(QPaintEvent*) {
  RgbaImage img = paintVistaProBar(state_, width(), height(), fromQColor(palette().color(QPalette::Base)));
  QPainter painter(this);
  painter.drawImage(0, 0, imageView(img));
  if (state_.showPosText) {
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(vistaProBarText(state_)));
  }
}

}  // namespace tw
