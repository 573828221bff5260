#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/paint/rgba_image.h"
#include "win/controls/win_types.h"

namespace tw::win::test {

using namespace std::chrono_literals;

// Drives the program's real windows from the thread that created them, as a user would: through
// their messages. The test runs on the user-interface thread, so a modal window (a dialog, a
// message box, the settings window) runs its own message loop inside the call that opened it;
// what the test does there is a step posted to the thread (post, whenShown), which that loop runs.
// Waiting is waiting for messages: pumpUntil returns as soon as its condition holds and fails
// only after a limit that a working program never reaches.

// Runs the thread's messages until `done` holds; false when `limit` passed first.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s);
// Handles every message already queued, paints included, and returns.
void pumpPending();

// Runs `step` from whichever message loop runs next on this thread (a modal window's own loop
// too), after the messages posted before it.
void post(std::function<void()> step);

// Runs `action` with the next top-level window of this thread whose caption is `title` once it
// has been activated and shown, from the loop that runs it (a modal dialog's own loop). Each
// call watches for one window.
void whenShown(const std::wstring& title, std::function<void(WindowHandle)> action);
// The windows still watched for (none once every expected window has appeared).
std::size_t watchedWindows();
// Forgets the windows still watched for.
void stopWatching();

// A left click at (x, y) of `window`'s client area, as the mouse makes it: the press and the
// release, posted (a control that waits for the release in a loop of its own finds it there).
void clickAt(WindowHandle window, int x, int y);
// A left click at the centre of `window`.
void click(WindowHandle window);
// A double click at (x, y): press, release, double-click press, release.
void doubleClickAt(WindowHandle window, int x, int y);
// A key pressed and released on the focused window (WM_KEYDOWN, WM_CHAR when it types one,
// WM_KEYUP), posted to `window`.
void pressKey(WindowHandle window, unsigned virtualKey);
// Each character typed into `window` (WM_CHAR), posted.
void typeText(WindowHandle window, const std::wstring& text);

// The caption (or text) of a window.
std::wstring windowText(WindowHandle window);
// The texts of every child window of `window`, in the order of the window list.
std::vector<std::wstring> childTexts(WindowHandle window);
// The first child (at any depth) of `window` whose window class is `className` and whose text
// is `text` (any text when empty).
WindowHandle findChild(WindowHandle window, const std::wstring& className, const std::wstring& text = {});
// The child of a dialog with this control id.
WindowHandle dialogItem(WindowHandle dialog, int id);

// What the screen shows of `window` (its frame and caption included).
RgbaImage captureScreen(WindowHandle window);
// Writes `image` as a 24-bit BMP file.
void writeBmp(const RgbaImage& image, const std::string& path);

}  // namespace tw::win::test
