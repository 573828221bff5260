#pragma once

#include <optional>
#include <string>

#include "core/events/event_kinds.h"
#include "core/recording/capture_options.h"
#include "core/settings/ini_store.h"
#include "platform/environment.h"
#include "platform/profile_store.h"

namespace tw {

// The settings file "config.ini" keeps the capture options across restarts. Layout (names upper
// case, values plain ASCII, lines ending in CR LF):
//   [EVENTS]   EVENTS=      Base64 of one "Y"/"N" line per event kind, in event-number order
//   [GLOBAL]   AUTOCAPTURE= "Y"/"N", TRAY= "Y"/"N", AUTOCLEAN= "Y"/"N"
//   [FILTERS]  EXTENSIONS=  Base64 of the extensions, DIRECTORIES= Base64 of the excluded
//              folders, each entry followed by CR LF
// Other sections and keys are ignored on reading and left in place on writing. The unticked
// drives are not stored.
//
// Threads: any thread, one call at a time per file (the desktop program reads and writes on
// its user-interface thread; the recorder reads on its main thread). The profile store must
// outlive the call.

// The path of the settings file: the environment's settings folder followed by "config.ini".
// When the environment names no usable folder, the executable's folder stands in (just
// "config.ini", in the working folder, when the platform cannot say where the executable is):
// reading gives the defaults and a save reports that it cannot write there.
std::string settingsFilePath(Environment& environment);

// The options `iniFile` holds, read over `base`. Never fails: a missing or unreadable file,
// section or key gives the default, and the lists follow these rules:
// - EVENTS: a value that decodes to a blank text, or to fewer lines than there are kinds, gives
//   every kind; otherwise a kind is on exactly when its line is "Y".
// - AUTOCAPTURE and TRAY are on, AUTOCLEAN is on, exactly when the value is "Y" (missing: "N",
//   "N" and "Y").
// - EXTENSIONS: the stored extensions are added to base's (addExtensions: not replaced,
//   duplicates without ASCII case skipped); a blank value leaves base's list.
// - DIRECTORIES: the stored lines replace base's list as they stand (no trimming, no duplicate
//   test); a blank value, or one that decodes to nothing (junk), leaves base's list.
// - The unticked drives are base's.
CaptureOptions readCaptureOptions(ProfileStore& profiles, const std::string& iniFile,
                                  CaptureOptions base = {});

// Writes the six values of `options` to `iniFile` in the order EVENTS, GLOBAL (AUTOCAPTURE,
// TRAY, AUTOCLEAN), FILTERS (EXTENSIONS, DIRECTORIES); an existing key is replaced where it
// stands. A refused write throws IniWriteError ("Unable to write to <iniFile>"); the keys
// written before it stay written.
void writeCaptureOptions(ProfileStore& profiles, const std::string& iniFile, const CaptureOptions& options);

// The save of the settings window: writes `options`, then sets `options` to what the file holds
// now (readCaptureOptions over the written value), also when a write was refused, so that the
// window always shows the file; then gives back the refusal, if any.
std::optional<IniWriteError> trySaveCaptureOptions(ProfileStore& profiles, const std::string& iniFile,
                                                   CaptureOptions& options);

// trySaveCaptureOptions, throwing the refusal, if any, on to the caller once `options` holds what
// the file holds.
void saveCaptureOptions(ProfileStore& profiles, const std::string& iniFile, CaptureOptions& options);

// The EVENTS text before encoding: "Y" or "N" for each kind in event-number order, each
// followed by CR LF.
std::string eventChoiceText(const EventKindSet& kinds);

}  // namespace tw
