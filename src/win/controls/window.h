#pragma once

#include <string>
#include <string_view>

#include "win/controls/win_types.h"

namespace tw::win {

// A rectangle by its left, top, width and height, in device pixels.
struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Bounds&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

// The screen's density: the windows are designed in pixels at 96 dots per inch, and every
// designed size and place is scaled with px() to the density of the monitor the window is on.
class Dpi {
 public:
  explicit Dpi(int dotsPerInch = 96) : dotsPerInch_(dotsPerInch > 0 ? dotsPerInch : 96) {}
  int dotsPerInch() const { return dotsPerInch_; }
  // A designed length in device pixels, rounded to the nearest.
  int px(int designPixels) const;
  Bounds px(const Bounds& design) const;
  // The density of the monitor `window` is on (the system's when the system cannot say).
  static Dpi of(WindowHandle window);
  bool operator==(const Dpi&) const = default;

 private:
  int dotsPerInch_;
};

// A window of our own: a C++ object bound to one native window for the native window's whole
// life. Messages reach handleMessage(); what a subclass does not handle goes to the system's
// default. The object owns its native window: destroying the object destroys it (and the native
// children with it); a native window destroyed first (its parent went) leaves the object with no
// handle.
//
// Subclasses that handle messages call destroy() first in their destructor, so that the native
// window and its children go while the whole object still stands.
//
// Thread: the user-interface thread that created the window, only.
class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  WindowHandle handle() const { return handle_; }
  // The object behind a native window made by this class; null for any other window.
  static Window* fromHandle(WindowHandle handle);

  // Place and size: in the parent's client area for a child window, on the screen otherwise.
  Bounds bounds() const;
  void setBounds(const Bounds& b);
  void move(int left, int top);
  Size clientSize() const;

  // Whether the window's own visible flag is set (its parent may still be hidden).
  bool isShown() const;
  void setShown(bool shown);
  bool isEnabled() const;
  void setEnabled(bool enabled);
  // The window text (the caption of a top-level window), UTF-8.
  std::string text() const;
  void setText(std::string_view text);
  // Asks for a repaint of the whole window, its children included.
  void repaint();

  // Destroys the native window now (nothing when it is gone already).
  void destroy();

 protected:
  Window() = default;

  struct Creation {
    const wchar_t* className = nullptr;
    unsigned long style = 0;
    unsigned long exStyle = 0;
    WindowHandle parent = nullptr;
    Bounds bounds;
    std::string_view text;
    int id = 0;  // the control id of a child window
  };
  // Creates the native window of a class registered by this front end (registerClass).
  void create(const Creation& c);
  // Registers a window class of ours once: its messages go to the objects of this class.
  // `background` is a system colour index + 1, or 0 for a window that paints all of itself;
  // `doubleClicks` asks for double-click messages.
  static void registerClass(const wchar_t* className, int background = 0, bool doubleClicks = false);

  virtual MessageResult handleMessage(MessageId message, WParam wParam, LParam lParam);
  MessageResult defaultHandling(MessageId message, WParam wParam, LParam lParam);

 private:
  friend struct WindowRouting;
  WindowHandle handle_ = nullptr;
};

// The address of a function of a loaded system library, looked up by name; null where this
// version of the system lacks it (newer calls are used only where they exist).
void* systemFunctionAddress(const wchar_t* module, const char* name);
template <typename Function>
Function systemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(systemFunctionAddress(module, name));
}

// UTF-8 <-> UTF-16 at this front end's boundary with the system.
std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tw::win
