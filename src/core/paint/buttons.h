#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/paint/rgba_image.h"

namespace tw {

enum class ArrowDirection { Down, Up, Left, Right };
enum class IconSize { Px16, Px24, Px32, Px48 };
enum class CaptionAlignment { Left, Right, Center };

// Glyph height: 5 for Down and Up, 9 for Left and Right.
int arrowHeight(ArrowDirection type);
// Icon height in pixels: 16, 24, 32 or 48.
int iconHeight(IconSize size);

// The arrow glyph with its top-left corner at (x, y): 9 × 5 pixels pointing down or up, 5 × 9
// pointing left or right, its slanted edges softened by blending c into what lies beneath.
void drawButtonArrow(RgbaImage& img, int x, int y, ArrowDirection type, Color c);

// ---- Tool button ----------------------------------------------------------------------------

enum class ToolButtonLook { Idle, Focused, Hover, Pressed };

// Which face a tool button shows: hover wins while the left button is up and the pointer is
// over it, then a press (mouse or Enter/Space), then the focus frame.
ToolButtonLook toolButtonLook(bool leftPressed, bool keyPressed, bool pointerOver, bool focused);

// Paints the frame and face for `look` over img, which holds the parent's picture beneath the
// button (the idle look leaves it untouched).
void paintToolButtonFace(RgbaImage& img, ToolButtonLook look);

// ---- Speed button ---------------------------------------------------------------------------

// The three pictures a flat speed button is painted from, as large as the button.
struct SpeedButtonImages {
  RgbaImage background;   // plain white
  RgbaImage hoverFace;    // gold face with its glow
  RgbaImage pressedFace;  // orange face
  bool matches(int w, int h) const { return background.width() == w && background.height() == h; }
};
SpeedButtonImages buildSpeedButtonImages(int w, int h);

struct SpeedButtonPaintState {
  bool enabled = true;
  bool leftPressed = false;
  bool pointerInside = false;
  bool released = true;
  int opacity = 0;
};

// Paints a flat speed button over img (the parent's picture beneath the button). Copies the
// parent's corner pixels into the two faces first, so that their corners show the parent.
void paintSpeedButton(RgbaImage& img, SpeedButtonImages& images, const SpeedButtonPaintState& state);

// The keyboard focus frame of a speed button that takes the focus: a dotted rectangle, one pixel
// wide, kFocusFrameInset pixels inside the image's edges, every other pixel in `c` starting at
// the top-left corner (the rest left as it is). Nothing on an image too small for it.
inline constexpr int kFocusFrameInset = 2;
void paintFocusFrame(RgbaImage& img, Color c);

// The fade of a speed button's hover face, as a state machine. The timer is injected: the widget
// drives it with a real timer, tests call tick() themselves. Everything runs on the user-interface
// thread. Every change that needs a repaint calls `repaint`.
class SpeedButtonFader {
 public:
  // The fade timer: start(interval) (re)starts it, stop() stops it; the owner calls tick() on
  // each timeout while it runs.
  struct Timer {
    virtual ~Timer() = default;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
  };

  SpeedButtonFader(Timer& timer, std::function<void()> repaint);

  int fadeInInterval = 15;
  int fadeOutInterval = 40;

  void pointerEnter();
  void pointerLeave();
  void mouseDown(bool leftButton);
  void mouseUp();
  void tick();
  // Enabling or disabling repaints; the fade state stays as it is.
  void setEnabled(bool enabled);

  int opacity() const { return opacity_; }
  bool released() const { return released_; }
  bool pointerInside() const { return pointerInside_; }
  bool leftPressed() const { return leftPressed_; }
  bool enabled() const { return enabled_; }
  bool timerRunning() const { return timerRunning_; }

  SpeedButtonPaintState paintState() const {
    return {enabled_, leftPressed_, pointerInside_, released_, opacity_};
  }

 private:
  void startTimer(int intervalMs);
  void stopTimer();

  Timer& timer_;
  std::function<void()> repaint_;
  int opacity_ = 0;
  bool released_ = true;
  bool pointerInside_ = false;
  bool leftPressed_ = false;
  bool enabled_ = true;
  bool timerRunning_ = false;
};

// ---- Content layout shared by both buttons ---------------------------------------------------

enum class ButtonKind { Tool, Speed };

struct ButtonLayoutInput {
  ButtonKind kind = ButtonKind::Tool;
  int width = 0;
  int height = 0;
  CaptionAlignment alignment = CaptionAlignment::Center;  // a speed button is always centred
  bool showArrow = false;
  ArrowDirection arrowType = ArrowDirection::Down;
  bool imageShown = false;
  IconSize iconSize = IconSize::Px16;
  int textWidth = 0;   // the caption's width in the font
  int textHeight = 0;  // the caption's height in the font
  bool pressed = false;
};

struct ButtonLayout {
  Rect textRect;         // the caption is centred in it on one line
  bool textFits = true;  // false: the caption is shortened with an ellipsis
  std::optional<int> imageX, imageY;
  std::optional<int> arrowX, arrowY;
  int iconHeight = 0;
};

ButtonLayout layoutButtonContent(const ButtonLayoutInput& in);

// A caption as it reads on screen: "&" marks the access key ("&Add" reads "Add"), "&&" is one
// "&", and a lone "&" at the end stays.
std::string withoutAccessMarks(std::string_view caption);

// Shortens text so that its width (by `measure`) plus the ellipsis "..." fits maxWidth, cutting
// at the end of a word where one fits, else within the first word. Returns the text unchanged
// when it fits, and "..." alone (or nothing) when not even one character does.
std::string elideAtWordEnd(std::string_view text, int maxWidth,
                           const std::function<int(std::string_view)>& measure);

}  // namespace tw
