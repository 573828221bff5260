#pragma once

#include <QTimer>
#include <QWidget>

#include "core/paint/progress_bar.h"

namespace tw {

// The glossy progress bar. Opaque; repaints at once (synchronously) whenever one of its values
// changes. Used on the user-interface thread only.
class ProgressBar : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Min READ min WRITE setMin)
  Q_PROPERTY(int Max READ max WRITE setMax)
  Q_PROPERTY(int Position READ position WRITE setPosition)
 public:
  explicit ProgressBar(QWidget* parent = nullptr);

  const ProgressBarState& state() const { return state_; }

  int min() const { return state_.min(); }
  void setMin(int value);
  int max() const { return state_.max(); }
  void setMax(int value);
  int position() const { return state_.position(); }
  // Equal to the current value: nothing. Otherwise clamped to Min..Max and repainted at once.
  void setPosition(int value);

  Color color() const { return state_.color; }
  void setColor(Color c);
  ProgressBarOrientation orientation() const { return state_.orientation; }
  void setOrientation(ProgressBarOrientation o);
  bool rounded() const { return state_.rounded; }
  void setRounded(bool v);
  bool specialMode() const { return state_.specialMode; }
  void setSpecialMode(bool v);
  bool altMode() const { return state_.altMode; }
  void setAltMode(bool v);
  bool showPosText() const { return state_.showPosText; }
  void setShowPosText(bool v);
  bool percentage() const { return state_.percentage; }
  void setPercentage(bool v);
  QString posTextPrefix() const { return QString::fromStdString(state_.posTextPrefix); }
  void setPosTextPrefix(const QString& s);
  QString posTextSuffix() const { return QString::fromStdString(state_.posTextSuffix); }
  void setPosTextSuffix(const QString& s);
  bool marquee() const { return state_.marquee; }
  void setMarquee(bool v);  // runs the segment's timer every MarqueeSpeed ms while on
  int marqueeSize() const { return state_.marqueeSize; }
  void setMarqueeSize(int v);
  int marqueeFade() const { return state_.marqueeFade; }
  void setMarqueeFade(int v);
  int marqueeSpeed() const { return state_.marqueeSpeed; }
  void setMarqueeSpeed(int v);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void changed();
  void marqueeStep();
  ProgressBarState state_;
  QTimer marqueeTimer_;
};

}  // namespace tw
