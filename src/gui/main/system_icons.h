#pragma once

#include <QHash>
#include <QIcon>

#include "platform/icons.h"

namespace tw {

// The views' image list of system icons (the tree, the list and the settings window's lists):
// turns an icon index that the platform handed out into a QIcon, once per index.
//
// On Linux an index stands for freedesktop icon names ("name;generic name"); the first one the
// icon theme has wins, else a plain file picture. Index 0 means "no icon" and gives a null icon.
//
// Thread: the user-interface thread. Uses, but does not own, the platform.
class SystemIcons {
 public:
  explicit SystemIcons(IconSource& platform) : platform(platform) {}

  QIcon icon(int index);

  // Makes the look of the icons independent of the desktop the program runs on: the theme
  // that ships with the program's packages (Adwaita), with hicolor as its fallback. Call once
  // after the application object exists.
  static void chooseIconTheme();

 private:
  IconSource& platform;
  QHash<int, QIcon> cache;
};

}  // namespace tw
