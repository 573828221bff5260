// The resource ids of the Windows program, shared by tarnwatch.rc and the C++ sources (plain
// preprocessor definitions, so the resource compiler reads them too).
#pragma once

// Icons: the program (also the windows' icon) and the notification-area icon.
#define TARNWATCH_ICON_PROGRAM 1
#define TARNWATCH_ICON_TRAY 2

// Image-list strips, one bitmap per size: the base id holds the 16-pixel strip, +1 the 24-pixel
// and +2 the 32-pixel one.
#define TARNWATCH_IMAGES_MAIN 100
#define TARNWATCH_IMAGES_ABOUT 110
#define TARNWATCH_IMAGES_SETTINGS 120
#define TARNWATCH_IMAGES_LOCK 130
