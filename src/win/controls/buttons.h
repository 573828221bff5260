#pragma once

#include <string>

#include "core/paint/buttons.h"
#include "win/controls/themed_control.h"

namespace tw::win {

class ImageList;

// What both buttons show: an optional image of an image list, the caption ("&" marks the access
// key) and an optional arrow glyph, laid out by the core's layoutButtonContent.
struct ButtonContent {
  std::string caption;
  bool showArrow = false;
  ArrowDirection arrowType = ArrowDirection::Down;
  const ImageList* images = nullptr;  // not owned; outlives the button
  int imageIndex = -1;
  Color fontColor = rgb(30, 57, 91);

  bool imageShown() const;
};

// The focusable push button that shows its parent until the pointer is over it (tool button):
// hover, pressed (mouse, or Enter and Space held), focused and idle looks. The keys change the
// look only; a click is a left press released over the button, or BM_CLICK. The window text is
// the caption, so the dialog manager finds its access key. Thread and ownership: as
// ThemedControl.
class ToolButton : public ThemedControl {
 public:
  ToolButton(WindowHandle parent, const Bounds& bounds, const Fonts* fonts);

  const std::string& caption() const { return content_.caption; }
  void setCaption(std::string caption);
  void setImages(const ImageList* images);
  int imageIndex() const { return content_.imageIndex; }
  void setImageIndex(int index);
  bool showArrow() const { return content_.showArrow; }
  void setShowArrow(bool value);
  void setFontColor(Color c);
  CaptionAlignment captionAlignment() const { return alignment_; }
  void setCaptionAlignment(CaptionAlignment alignment);
  bool setFocusOnClick() const { return setFocusOnClick_; }
  void setSetFocusOnClick(bool value);

  bool keyPressed() const { return keyPressed_; }
  // The look the button shows now.
  ToolButtonLook look() const;

 protected:
  void paint(Canvas& canvas) override;
  void buttonDown(bool left) override;
  void enabledChanged(bool enabled) override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  ButtonContent content_;
  CaptionAlignment alignment_ = CaptionAlignment::Center;
  bool setFocusOnClick_ = true;
  bool keyPressed_ = false;
};

// The light button whose gold hover face fades in and out under the pointer (speed button, flat
// look): the core's SpeedButtonFader on a window timer. Not a Tab stop unless setTakesFocus asks
// for it; then it shows the focus frame and Enter or Space clicks it. Thread and ownership: as
// ThemedControl.
class SpeedButton : public ThemedControl {
 public:
  SpeedButton(WindowHandle parent, const Bounds& bounds, const Fonts* fonts);

  const std::string& caption() const { return content_.caption; }
  void setCaption(std::string caption);
  void setImages(const ImageList* images);
  int imageIndex() const { return content_.imageIndex; }
  void setImageIndex(int index);
  void setFontColor(Color c);
  void setFadeInInterval(int ms) { fader_.fadeInInterval = ms; }
  void setFadeOutInterval(int ms) { fader_.fadeOutInterval = ms; }
  bool pressButtonEffect() const { return pressButtonEffect_; }
  void setPressButtonEffect(bool value);
  // Makes the button a Tab stop (true) or not.
  void setTakesFocus(bool value);

  const SpeedButtonFader& fader() const { return fader_; }

 protected:
  void paint(Canvas& canvas) override;
  void pointerEntered() override;
  void pointerLeft() override;
  void buttonDown(bool left) override;
  void buttonUp() override;
  void enabledChanged(bool enabled) override;
  MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam) override;

 private:
  // The fade timer as a timer of the button's window; each WM_TIMER is one tick.
  class FadeTimer : public SpeedButtonFader::Timer {
   public:
    explicit FadeTimer(SpeedButton& owner) : owner_(owner) {}
    void start(int intervalMs) override;
    void stop() override;

   private:
    SpeedButton& owner_;
  };

  ButtonContent content_;
  bool pressButtonEffect_ = true;
  bool keyPressed_ = false;  // Enter or Space is down on the button
  FadeTimer timer_{*this};
  SpeedButtonFader fader_;
  SpeedButtonImages images_;
};

}  // namespace tw::win
