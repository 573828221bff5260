#pragma once

#include <array>
#include <string_view>

namespace tw {

// The two fonts of the desktop windows, each with the faces that stand in for it where it is not
// installed, first found first taken; both front ends choose the same way, so the look does not
// depend on whichever font happens to be there.

// Every themed control that shows a text: "Segoe UI", 12 pixels high at 96 dots per inch (9
// points).
inline constexpr std::array<std::string_view, 3> kControlFontFaces = {"Segoe UI", "Open Sans", "DejaVu Sans"};
inline constexpr int kControlFontPixels = 12;

// The windows themselves (their trees, lists and check boxes): "Tahoma" 8 points.
inline constexpr std::array<std::string_view, 3> kWindowFontFaces = {"Tahoma", "Open Sans", "DejaVu Sans"};
inline constexpr int kWindowFontPoints = 8;

}  // namespace tw
