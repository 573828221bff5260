#pragma once

#include <string>
#include <vector>

#include "core/events/event_kinds.h"

namespace tw {

// What a recording captures, and the three options: one value. The settings window edits a copy
// and saves it; a recording takes a snapshot when it starts and is not affected by later edits.
struct CaptureOptions {
  // Drive roots the user unticked: not watched. (Not stored: every drive is ticked at start.)
  std::vector<std::string> skippedDrives;
  // The kinds of change to keep.
  EventKindSet kinds = allEventKinds();
  // Extensions to keep, each with its dot (".txt"); none keeps every file.
  std::vector<std::string> extensions;
  // Folders whose changes are left out, each ending in the separator.
  std::vector<std::string> excludedFolders;
  bool autoCapture = false;     // start recording when the program starts
  bool minimizeToTray = false;  // closing the main window hides it to the notification area
  bool cleanOnStop = true;      // empty the tree and the list when a recording stops

  bool operator==(const CaptureOptions&) const = default;
};

}  // namespace tw
