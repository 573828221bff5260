#pragma once

#include "gui/controls/themed_control.h"

namespace tw {

// The toolbar strip, docked along the top edge of its parent and holding child controls.
// Pointer enter and leave do not repaint it.
class ToolBar : public ThemedControl {
  Q_OBJECT
  Q_PROPERTY(bool ShowTopBorder READ showTopBorder WRITE setShowTopBorder)
 public:
  explicit ToolBar(QWidget* parent = nullptr);
  bool showTopBorder() const { return showTopBorder_; }
  void setShowTopBorder(bool value);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  bool showTopBorder_ = false;
};

// The strip for buttons at the bottom of a dialog, docked along the bottom edge of its parent.
class InformationBar : public ThemedControl {
  Q_OBJECT
 public:
  explicit InformationBar(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;
};

}  // namespace tw
