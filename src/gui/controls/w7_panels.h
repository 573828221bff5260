#pragma once

#include "core/paint/panel.h"
#include "gui/controls/w7_controls.h"

namespace tw {

// The gradient panel the windows lay their content out on. Holds child controls; not repainted
// on pointer enter and leave. Setting any property repaints it.
class TW7Panel : public TW7TransparentControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(bool VerticalGradient READ verticalGradient WRITE setVerticalGradient)
  Q_PROPERTY(bool Rounded READ rounded WRITE setRounded)
  Q_PROPERTY(int Opacity READ opacity WRITE setOpacity)
 public:
  explicit TW7Panel(QWidget* parent = nullptr);

  const PanelLook& panelLook() const { return look_; }

  TPanelFillStyle fillStyle() const { return look_.fillStyle; }
  void setFillStyle(TPanelFillStyle s);  // also sets Style to wpsCustom
  bool verticalGradient() const { return look_.verticalGradient; }
  void setVerticalGradient(bool v);
  TColor colorA() const { return look_.colorA; }
  TColor colorB() const { return look_.colorB; }
  TColor colorC() const { return look_.colorC; }
  TColor colorD() const { return look_.colorD; }
  // Each also sets Style to wpsCustom.
  void setColorA(TColor c);
  void setColorB(TColor c);
  void setColorC(TColor c);
  void setColorD(TColor c);
  TPanelBorders innerBorders() const { return look_.innerBorders; }
  void setInnerBorders(TPanelBorders b);
  TPanelBorders outerBorders() const { return look_.outerBorders; }
  void setOuterBorders(TPanelBorders b);
  TColor innerBorderColor() const { return look_.innerBorderColor; }
  void setInnerBorderColor(TColor c);
  TColor outerBorderColor() const { return look_.outerBorderColor; }
  void setOuterBorderColor(TColor c);
  bool rounded() const { return look_.rounded; }
  void setRounded(bool v);
  int opacity() const { return look_.opacity; }
  void setOpacity(int v);  // 0..255
  TPanelStyle style() const { return style_; }
  void setStyle(TPanelStyle s);  // a preset's colours; wpsCustom keeps them
  QString caption() const { return caption_; }
  void setCaption(const QString& text);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void customised();
  PanelLook look_;
  TPanelStyle style_ = TPanelStyle::wpsWinCalc;
  QString caption_;
};

}  // namespace tw
