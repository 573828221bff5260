#pragma once

#include "gui/controls/w7_controls.h"

namespace tw {

// The toolbar strip, docked along the top edge of its parent and holding child controls.
// Pointer enter and leave do not repaint it.
class TW7ToolBar : public TW7Control {
  Q_OBJECT
  Q_PROPERTY(bool ShowTopBorder READ showTopBorder WRITE setShowTopBorder)
 public:
  explicit TW7ToolBar(QWidget* parent = nullptr);
  bool showTopBorder() const { return showTopBorder_; }
  void setShowTopBorder(bool value);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  bool showTopBorder_ = false;
};

// The strip for buttons at the bottom of a dialog, docked along the bottom edge of its parent.
class TW7InformationBar : public TW7Control {
  Q_OBJECT
 public:
  explicit TW7InformationBar(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

}  // namespace tw
