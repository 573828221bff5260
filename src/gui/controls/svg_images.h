#pragma once

#include <QPixmap>
#include <QString>

#include "gui/controls/themed_control.h"

namespace tw {

// Our own pictures are SVG files in the program's resources, drawn for 16 x 16 (or, for the
// program picture, 64 x 64). These render them at the size a control shows them.
//
// Thread: the user-interface thread (pixmaps are GUI objects).

// The picture of `resource` (for example ":/img/main/8.svg") at `size` device-independent
// pixels, sharp on high-density screens; a transparent pixmap when the resource is missing or
// is not a valid SVG.
QPixmap svgPixmap(const QString& resource, int size);

// Appends images 0..count-1 of an image list to `list`, from `folder` + "/<index>.svg"; an
// index without a file gets a transparent picture, so the indexes stay in place.
void fillImageList(ImageList& list, const QString& folder, int count, int size = 16);

}  // namespace tw
