#pragma once

#include "core/paint/rgba_image.h"

namespace tw {

// The toolbar strip over the whole picture (w × h): two vertical gradients split at h/2, three
// bottom lines, two side columns and, with showTopBorder, a line on row 0.
void paintToolBar(RgbaImage& img, bool showTopBorder);

// The information bar over the whole picture: a pale fill whose top five rows shade from a
// blue-grey line into it.
void paintInformationBar(RgbaImage& img);

}  // namespace tw
