#pragma once

#include "core/paint/panel.h"
#include "gui/controls/themed_control.h"

namespace tw {

// The gradient panel the windows lay their content out on. Holds child controls; not repainted
// on pointer enter and leave. Setting any property repaints it.
class GradientPanel : public TransparentThemedControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(bool VerticalGradient READ verticalGradient WRITE setVerticalGradient)
  Q_PROPERTY(bool Rounded READ rounded WRITE setRounded)
  Q_PROPERTY(int Opacity READ opacity WRITE setOpacity)
 public:
  explicit GradientPanel(QWidget* parent = nullptr);

  const PanelLook& panelLook() const { return look_; }

  PanelFill fillStyle() const { return look_.fillStyle; }
  void setFillStyle(PanelFill s);  // also sets Style to Custom
  bool verticalGradient() const { return look_.verticalGradient; }
  void setVerticalGradient(bool v);
  Color colorA() const { return look_.colorA; }
  Color colorB() const { return look_.colorB; }
  Color colorC() const { return look_.colorC; }
  Color colorD() const { return look_.colorD; }
  // Each also sets Style to Custom.
  void setColorA(Color c);
  void setColorB(Color c);
  void setColorC(Color c);
  void setColorD(Color c);
  PanelBorders innerBorders() const { return look_.innerBorders; }
  void setInnerBorders(PanelBorders b);
  PanelBorders outerBorders() const { return look_.outerBorders; }
  void setOuterBorders(PanelBorders b);
  Color innerBorderColor() const { return look_.innerBorderColor; }
  void setInnerBorderColor(Color c);
  Color outerBorderColor() const { return look_.outerBorderColor; }
  void setOuterBorderColor(Color c);
  bool rounded() const { return look_.rounded; }
  void setRounded(bool v);
  int opacity() const { return look_.opacity; }
  void setOpacity(int v);  // 0..255
  PanelStyle style() const { return style_; }
  void setStyle(PanelStyle s);  // a preset's colours; Custom keeps them
  QString caption() const { return caption_; }
  void setCaption(const QString& text);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void customised();
  PanelLook look_;
  PanelStyle style_ = PanelStyle::Calculator;
  QString caption_;
};

}  // namespace tw
