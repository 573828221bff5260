#pragma once

#include <QCursor>
#include <QLabel>

namespace tw {

// The text label of headings, notices, status texts and links: dark blue, it turns bright blue
// and underlined with a hand pointer while the pointer is over it.
class ActiveLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ActiveLabel(QWidget* parent = nullptr);
  explicit ActiveLabel(const QString& text, QWidget* parent = nullptr);

  QColor mouseInColor() const { return inColor_; }
  void setMouseInColor(const QColor& c) { inColor_ = c; }
  QColor mouseOutColor() const { return outColor_; }
  void setMouseOutColor(const QColor& c);
  QCursor mouseInCursor() const { return inCursor_; }
  void setMouseInCursor(const QCursor& c) { inCursor_ = c; }
  QCursor mouseOutCursor() const { return outCursor_; }
  void setMouseOutCursor(const QCursor& c);
  bool pointerInside() const { return pointerInside_; }

  // The colour the text is drawn in now.
  QColor textColor() const;

 signals:
  void mouseEnter();
  void mouseLeave();
  void clicked();

 protected:
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void applyLook(bool in);
  QColor inColor_{7, 74, 229};
  QColor outColor_{21, 28, 85};
  QCursor inCursor_{Qt::PointingHandCursor};
  QCursor outCursor_{Qt::ArrowCursor};
  bool pointerInside_ = false;
  bool pressed_ = false;
};

}  // namespace tw
