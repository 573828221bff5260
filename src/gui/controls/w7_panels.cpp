#include "gui/controls/w7_panels.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tw {

TW7Panel::TW7Panel(QWidget* parent) : TW7TransparentControl(parent) {
  repaintOnPointer_ = false;
  resize(350, 75);
}

void TW7Panel::customised() {
  style_ = TPanelStyle::wpsCustom;
  update();
}

void TW7Panel::setFillStyle(TPanelFillStyle s) {
  look_.fillStyle = s;
  customised();
}
void TW7Panel::setVerticalGradient(bool v) {
  look_.verticalGradient = v;
  update();
}
void TW7Panel::setColorA(TColor c) {
  look_.colorA = c;
  customised();
}
void TW7Panel::setColorB(TColor c) {
  look_.colorB = c;
  customised();
}
void TW7Panel::setColorC(TColor c) {
  look_.colorC = c;
  customised();
}
void TW7Panel::setColorD(TColor c) {
  look_.colorD = c;
  customised();
}
void TW7Panel::setInnerBorders(TPanelBorders b) {
  look_.innerBorders = b;
  update();
}
void TW7Panel::setOuterBorders(TPanelBorders b) {
  look_.outerBorders = b;
  update();
}
void TW7Panel::setInnerBorderColor(TColor c) {
  look_.innerBorderColor = c;
  update();
}
void TW7Panel::setOuterBorderColor(TColor c) {
  look_.outerBorderColor = c;
  update();
}
void TW7Panel::setRounded(bool v) {
  look_.rounded = v;
  update();
}
void TW7Panel::setOpacity(int v) {
  look_.opacity = std::clamp(v, 0, 255);
  update();
}
void TW7Panel::setStyle(TPanelStyle s) {
  style_ = s;
  applyPanelStyle(look_, s);
  update();
}
void TW7Panel::setCaption(const QString& text) {
  caption_ = text;
  update();
}

void TW7Panel::paintEvent(QPaintEvent*) {
  const RgbaImage parent = parentPicture(this);
  RgbaImage face = paintPanelFace(look_, parent);
  if (!caption_.isEmpty()) {
    QImage view = imageView(face);
    QPainter p(&view);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QString text = QFontMetrics(font()).elidedText(caption_, Qt::ElideRight, width());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
  }
  RgbaImage finished = composePanel(look_, parent, face);
  blit(finished);
}

}  // namespace tw
