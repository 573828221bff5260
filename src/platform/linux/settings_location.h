#pragma once

#include <string>

#include "core/text/result.h"

namespace tw::linuxfs {

// Where the Linux program keeps "config.ini". These are pure decisions over facts the platform
// gathers (environment variables, the user database, the rights on the program's folder), so
// that every case can be checked without changing the process's environment or rights.
// Threads: any.

// The user's configuration folder of this program, ending in '/': "tarnwatch/" inside
// `xdgConfigHome` when that is an absolute path (an empty or relative one is ignored, as the XDG
// base directory rules say), else inside ".config/" of the home folder: `home` ($HOME) when
// absolute, else `databaseHome` (the user's entry in the user database, as the shell's "~" finds
// it). Null pointers stand for unset values. A failure, with the reason, when none of them names
// a folder.
Result<std::string> userConfigurationFolder(const char* xdgConfigHome, const char* home,
                                            const char* databaseHome);

// The folder of the settings file, ending in '/': the program's own folder where this user may
// write it (a portable copy keeps its settings with it), else the user's configuration folder (an
// installed program). The folder the build installs programs into (`installFolder`, ending in
// '/') is never a portable copy's, even for root, who may write it. A failure naming both reasons
// when neither is possible.
Result<std::string> chooseSettingsFolder(const Result<std::string>& programFolder, bool programFolderWritable,
                                         const std::string& installFolder,
                                         const Result<std::string>& userFolder);

}  // namespace tw::linuxfs
