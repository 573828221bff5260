#include "gui/controls/progress_bar.h"

#include <QPainter>

#include <algorithm>

#include "gui/controls/themed_control.h"

namespace tw {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
  setFont(defaultControlFont());
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(150, 17);
  connect(&marqueeTimer_, &QTimer::timeout, this, &ProgressBar::marqueeStep);
}

void ProgressBar::changed() { repaint(); }  // repaint() does nothing while hidden

void ProgressBar::setMin(int value) {
  if (state_.setMin(value)) changed();
}
void ProgressBar::setMax(int value) {
  if (state_.setMax(value)) changed();
}
void ProgressBar::setPosition(int value) {
  if (state_.setPosition(value)) changed();
}
void ProgressBar::setColor(Color c) {
  state_.color = c;
  changed();
}
void ProgressBar::setOrientation(ProgressBarOrientation o) {
  state_.orientation = o;
  changed();
}
void ProgressBar::setRounded(bool v) {
  state_.rounded = v;
  changed();
}
void ProgressBar::setSpecialMode(bool v) {
  state_.specialMode = v;
  changed();
}
void ProgressBar::setAltMode(bool v) {
  state_.altMode = v;
  changed();
}
void ProgressBar::setShowPosText(bool v) {
  state_.showPosText = v;
  changed();
}
void ProgressBar::setPercentage(bool v) {
  state_.percentage = v;
  changed();
}
void ProgressBar::setPosTextPrefix(const QString& s) {
  state_.posTextPrefix = s.toStdString();
  changed();
}
void ProgressBar::setPosTextSuffix(const QString& s) {
  state_.posTextSuffix = s.toStdString();
  changed();
}
void ProgressBar::setMarquee(bool v) {
  state_.marquee = v;
  state_.marqueeOffset = 0;
  if (v)
    marqueeTimer_.start(std::max(1, state_.marqueeSpeed));
  else
    marqueeTimer_.stop();
  changed();
}
void ProgressBar::setMarqueeSize(int v) {
  state_.marqueeSize = std::clamp(v, 0, 255);
  changed();
}
void ProgressBar::setMarqueeFade(int v) {
  state_.marqueeFade = std::clamp(v, 0, 255);
  changed();
}
void ProgressBar::setMarqueeSpeed(int v) {
  state_.marqueeSpeed = std::clamp(v, 0, 255);
  if (marqueeTimer_.isActive()) marqueeTimer_.start(std::max(1, state_.marqueeSpeed));
  changed();
}

void ProgressBar::marqueeStep() {
  const int length = state_.orientation == ProgressBarOrientation::Vertical ? height() : width();
  state_.marqueeOffset += 2;
  if (state_.marqueeOffset > length) state_.marqueeOffset = -state_.marqueeSize;
  repaint();
}

void ProgressBar::paintEvent(QPaintEvent*) {
  RgbaImage img = paintProgressBar(state_, width(), height(), fromQColor(palette().color(QPalette::Base)));
  QPainter painter(this);
  painter.drawImage(0, 0, imageView(img));
  if (state_.showPosText) {
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                     QString::fromStdString(progressBarText(state_)));
  }
}

}  // namespace tw
