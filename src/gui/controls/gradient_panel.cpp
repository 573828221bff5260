#include "gui/controls/gradient_panel.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tw {

GradientPanel::GradientPanel(QWidget* parent) : TransparentThemedControl(parent) {
  repaintOnPointer_ = false;
  resize(350, 75);
}

void GradientPanel::customised() {
  style_ = PanelStyle::Custom;
  update();
}

void GradientPanel::setFillStyle(PanelFill s) {
  look_.fillStyle = s;
  customised();
}
void GradientPanel::setVerticalGradient(bool v) {
  look_.verticalGradient = v;
  update();
}
void GradientPanel::setColorA(Color c) {
  look_.colorA = c;
  customised();
}
void GradientPanel::setColorB(Color c) {
  look_.colorB = c;
  customised();
}
void GradientPanel::setColorC(Color c) {
  look_.colorC = c;
  customised();
}
void GradientPanel::setColorD(Color c) {
  look_.colorD = c;
  customised();
}
void GradientPanel::setInnerBorders(PanelBorders b) {
  look_.innerBorders = b;
  update();
}
void GradientPanel::setOuterBorders(PanelBorders b) {
  look_.outerBorders = b;
  update();
}
void GradientPanel::setInnerBorderColor(Color c) {
  look_.innerBorderColor = c;
  update();
}
void GradientPanel::setOuterBorderColor(Color c) {
  look_.outerBorderColor = c;
  update();
}
void GradientPanel::setRounded(bool v) {
  look_.rounded = v;
  update();
}
void GradientPanel::setOpacity(int v) {
  look_.opacity = std::clamp(v, 0, 255);
  update();
}
void GradientPanel::setStyle(PanelStyle s) {
  style_ = s;
  applyPanelStyle(look_, s);
  update();
}
void GradientPanel::setCaption(const QString& text) {
  caption_ = text;
  update();
}

void GradientPanel::paintEvent(QPaintEvent*) {
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
