#pragma once

#include "core/paint/rgba_image.h"

namespace tw {

// The pictures of the main window's image list, by index (4 and 10 are not used by the window).
enum class MainWindowImage : int {
  TreeView = 0,
  ListView = 1,
  Settings = 2,
  Help = 3,
  Clean = 5,
  Resume = 6,
  Pause = 7,
  Record = 8,
  Export = 9,
  Stop = 11,
  Exit = 12,
  About = 13,
  LikeUs = 14,
};
inline constexpr int kMainWindowImageCount = 15;

// The pictures of the about box's own image list: its three buttons.
inline constexpr int kAboutImageCount = 3;

// The sizes the main window's layout starts from: the client area and the controls whose size
// stays as designed (scaled with the screen's density by the front end). Plain values, so the
// layout is checked without a display.
struct MainWindowSizes {
  int clientWidth = 0;
  int clientHeight = 0;
  int toolBarHeight = 0;
  int viewBarHeight = 0;
  int progressBarHeight = 0;
  bool progressBarShown = false;
  int statusWidth = 0;
  int recordWidth = 0;
  int settingsWidth = 0;
  int helpWidth = 0;
  int treeButtonWidth = 0;
  int listButtonWidth = 0;
  int cleanButtonWidth = 0;
  // The margin between controls: 4 pixels at 96 dots per inch.
  int gap = 4;
};

// Where processResize puts the controls. The view bar, the views and the progress bar are in the
// window's client area; the status text and the view buttons are lefts in the view bar; the
// toolbar's buttons are lefts in the toolbar. Tops not listed here stay as designed.
struct MainWindowPlaces {
  Rect viewBar;
  Rect views;  // the tree and the list, one over the other
  Rect progressBar;
  int statusLeft = 0;
  int treeButtonLeft = 0;
  int listButtonLeft = 0;
  int cleanButtonLeft = 0;
  int saveButtonLeft = 0;
  int recordLeft = 0;
  int pauseLeft = 0;
  int settingsLeft = 0;
  int helpLeft = 0;
  bool operator==(const MainWindowPlaces&) const = default;
};

// The main window's layout on every resize and whenever the progress bar shows or hides: the
// panel under the toolbar, the views below it down to the bar (or the bottom edge), the bar
// along the bottom, each a gap from the window's sides; the status text right-aligned two gaps
// inside the panel; the view buttons left to right a gap apart; Record and Pause from the left
// of the toolbar, help and settings from its right. Pure; any thread.
MainWindowPlaces layoutMainWindow(const MainWindowSizes& sizes);

// The left of the status text in the view bar: right-aligned with a margin of two gaps.
int statusLeft(int viewBarWidth, int statusWidth, int gap = 4);

}  // namespace tw
