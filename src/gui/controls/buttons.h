#pragma once

#include <QPointer>
#include <QTimer>

#include <memory>

#include "core/paint/buttons.h"
#include "gui/controls/themed_control.h"

namespace tw {

// A caption as it reads on screen: "&" marks the access key ("&Add" reads "Add"), "&&" is one
// "&".
QString withoutAccessMarks(const QString& caption);

// The access key of a button's caption ("&Add": Alt+A), registered with the window so that the
// key clicks the button while it is shown and enabled. Thread: the user-interface thread.
class AccessKey {
 public:
  // Registers the caption's access key for `button`, dropping the one registered before.
  void follow(QWidget* button, const QString& caption);
  // Whether `e` is this key's shortcut event.
  bool matches(QEvent* e) const;

 private:
  int id = 0;
};

// What both buttons show: an optional image, the caption and an optional arrow glyph.
struct ButtonContent {
  QString caption;
  bool showArrow = false;
  ArrowDirection arrowType = ArrowDirection::Down;
  QPointer<ImageList> images;
  int imageIndex = -1;
  IconSize iconSize = IconSize::Px16;
  QColor fontColor = QColor(30, 57, 91);

  bool imageShown() const { return images && imageIndex >= 0 && imageIndex < images->count(); }
};

// The focusable push button that shows its parent until the pointer is over it.
class ToolButton : public TransparentThemedControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(bool ShowArrow READ showArrow WRITE setShowArrow)
  Q_PROPERTY(bool SetFocusOnClick READ setFocusOnClick WRITE setSetFocusOnClick)
  Q_PROPERTY(int ImageIndex READ imageIndex WRITE setImageIndex)
 public:
  explicit ToolButton(QWidget* parent = nullptr);

  QString caption() const { return content_.caption; }
  void setCaption(const QString& text);
  CaptionAlignment captionAlignment() const { return alignment_; }
  void setCaptionAlignment(CaptionAlignment a);
  bool showArrow() const { return content_.showArrow; }
  void setShowArrow(bool value);
  bool setFocusOnClick() const { return setFocusOnClick_; }
  void setSetFocusOnClick(bool value);
  ImageList* images() const { return content_.images; }
  void setImages(ImageList* images);
  int imageIndex() const { return content_.imageIndex; }
  void setImageIndex(int index);
  IconSize iconSize() const { return content_.iconSize; }
  void setIconSize(IconSize size);
  ArrowDirection arrowType() const { return content_.arrowType; }
  void setArrowType(ArrowDirection type);
  QColor fontColor() const { return content_.fontColor; }
  void setFontColor(const QColor& c);

  // Whether Enter and Space click the button when they are released (off: they only show the
  // pressed face while held). The access key of the caption clicks it in either case.
  bool clickOnKey() const { return clickOnKey_; }
  void setClickOnKey(bool value) { clickOnKey_ = value; }

  bool keyPressed() const { return keyPressed_; }
  bool pointerOver() const { return pointerOver_; }
  // The look the button shows now.
  ToolButtonLook look() const;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;

 private:
  ButtonContent content_;
  AccessKey accessKey_;
  CaptionAlignment alignment_ = CaptionAlignment::Center;
  bool setFocusOnClick_ = true;
  bool clickOnKey_ = false;
  bool keyPressed_ = false;
  bool pointerOver_ = false;
};

// The light button whose gold hover face fades in and out under the pointer. It takes no focus
// unless told to (setTakesFocus): then Tab reaches it, a dotted frame shows the focus, and
// Enter or Space clicks it.
class SpeedButton : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ caption WRITE setCaption)
  Q_PROPERTY(bool Flat READ flat WRITE setFlat)
  Q_PROPERTY(bool Light READ light WRITE setLight)
  Q_PROPERTY(int FadeInInterval READ fadeInInterval WRITE setFadeInInterval)
  Q_PROPERTY(int FadeOutInterval READ fadeOutInterval WRITE setFadeOutInterval)
  Q_PROPERTY(bool PressButtonEffect READ pressButtonEffect WRITE setPressButtonEffect)
 public:
  explicit SpeedButton(QWidget* parent = nullptr);
  ~SpeedButton() override;

  QString caption() const { return content_.caption; }
  void setCaption(const QString& text);
  bool showArrow() const { return content_.showArrow; }
  void setShowArrow(bool value);
  ImageList* images() const { return content_.images; }
  void setImages(ImageList* images);
  int imageIndex() const { return content_.imageIndex; }
  void setImageIndex(int index);
  IconSize iconSize() const { return content_.iconSize; }
  void setIconSize(IconSize size);
  ArrowDirection arrowType() const { return content_.arrowType; }
  void setArrowType(ArrowDirection type);
  QColor fontColor() const { return content_.fontColor; }
  void setFontColor(const QColor& c);
  bool flat() const { return flat_; }
  void setFlat(bool value);
  bool light() const { return light_; }
  void setLight(bool value);
  int fadeInInterval() const { return fader_.fadeInInterval; }
  void setFadeInInterval(int ms);
  int fadeOutInterval() const { return fader_.fadeOutInterval; }
  void setFadeOutInterval(int ms);
  bool pressButtonEffect() const { return pressButtonEffect_; }
  void setPressButtonEffect(bool value);
  bool takesFocus() const { return focusPolicy() != Qt::NoFocus; }
  void setTakesFocus(bool value);

  const SpeedButtonFader& fader() const { return fader_; }

 signals:
  void clicked();
  void mouseEnter();
  void mouseLeave();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;

 private:
  // The fade timer on a QTimer: each timeout is one tick of the fader.
  class QtFadeTimer : public SpeedButtonFader::Timer {
   public:
    explicit QtFadeTimer(SpeedButton* owner);
    void start(int intervalMs) override { timer.start(intervalMs); }
    void stop() override { timer.stop(); }
    QTimer timer;
  };

  ButtonContent content_;
  AccessKey accessKey_;
  bool keyHeld_ = false;  // Enter or Space is down on the focused button
  bool flat_ = false;
  bool light_ = false;
  bool pressButtonEffect_ = true;
  QtFadeTimer timer_;
  SpeedButtonFader fader_;
  SpeedButtonImages images_;
};

}  // namespace tw
