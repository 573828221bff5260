#pragma once

#include <string>
#include <string_view>

#include "core/settings/settings_controls.h"
#include "platform/environment.h"
#include "platform/icons.h"
#include "platform/profile_store.h"

namespace tw {

// The settings file "config.ini" beside the executable keeps the settings window's controls
// across restarts. Layout (names upper case, values plain ASCII, lines ending in CR LF):
//   [EVENTS]   EVENTS=      Base64 of one "Y"/"N" line per event kind (missing: all kinds on)
//   [GLOBAL]   AUTOCAPTURE= "Y"/"N" (missing: N), TRAY= "Y"/"N" (N), AUTOCLEAN= "Y"/"N" (Y)
//   [FILTERS]  EXTENSIONS=  Base64 of the extension captions, DIRECTORIES= Base64 of the
//              excluded paths, each caption followed by CR LF (missing: the list stays)
// Other sections and keys are ignored on reading and left in place on writing.
//
// Every routine runs on the user-interface thread, over the settings window's controls.

// The path of the settings file: the executable's folder followed by "config.ini" (just
// "config.ini", in the working folder, when the platform cannot say where the executable is).
std::string settingsFilePath(Environment& environment);

// Writes the six values from the controls to `iniFile`, then runs restoreSettings, so that the
// controls show what the file holds. A refused write ends the save with IniWriteError
// ("Unable to write to <iniFile>") after that restore has run.
void saveSettings(SettingsControls& controls, ProfileStore& profiles, IconSource& icons,
                  const std::string& iniFile);

// Reads the six values of `iniFile` into the controls. Never fails: a missing file, section or
// key, or a value that cannot be decoded or applied, gives the defaults or leaves the list as
// it is.
void restoreSettings(SettingsControls& controls, ProfileStore& profiles, IconSource& icons,
                     const std::string& iniFile);

// Replaces the rows of `lstpath` with the lines of `content`, as they stand (no trimming, no
// duplicate test), each with its folder's icon.
void restoreDirsFilters(SettingsControls& controls, IconSource& icons, std::string_view content);

// Fills `lstevents` with one checked row per event kind.
void defaultEventList(SettingsControls& controls);

}  // namespace tw
