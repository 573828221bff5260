#include "gui/controls/w7_bars.h"

#include "core/paint/bars.h"

namespace tw {

TW7ToolBar::TW7ToolBar(QWidget* parent) : TW7Control(parent) {
  repaintOnPointer_ = false;
  resize(300, 31);
  new EdgeDock(this, EdgeDock::Edge::Top);
}

void TW7ToolBar::setShowTopBorder(bool value) {
  showTopBorder_ = value;
  repaint();
}

void TW7ToolBar::paintEvent(QPaintEvent*) {
  RgbaImage img(width(), height());
  paintToolBar(img, showTopBorder_);
  blit(img);
}

TW7InformationBar::TW7InformationBar(QWidget* parent) : TW7Control(parent) {
  repaintOnPointer_ = false;
  resize(300, 53);
  new EdgeDock(this, EdgeDock::Edge::Bottom);
}

void TW7InformationBar::paintEvent(QPaintEvent*) {
  RgbaImage img(width(), height());
  paintInformationBar(img);
  blit(img);
}

}  // namespace tw
