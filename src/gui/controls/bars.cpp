#include "gui/controls/bars.h"

#include "core/paint/bars.h"

namespace tw {

ToolBar::ToolBar(QWidget* parent) : ThemedControl(parent) {
  repaintOnPointer_ = false;
  resize(300, 31);
  new EdgeDock(this, EdgeDock::Edge::Top);
}

void ToolBar::setShowTopBorder(bool value) {
  showTopBorder_ = value;
  repaint();
}

void ToolBar::paintEvent(QPaintEvent*) {
  RgbaImage img(width(), height());
  paintToolBar(img, showTopBorder_);
  blit(img);
}

InformationBar::InformationBar(QWidget* parent) : ThemedControl(parent) {
  repaintOnPointer_ = false;
  resize(300, 53);
  new EdgeDock(this, EdgeDock::Edge::Bottom);
}

void InformationBar::paintEvent(QPaintEvent*) {
  RgbaImage img(width(), height());
  paintInformationBar(img);
  blit(img);
}

}  // namespace tw
