#pragma once

#include <chrono>
#include <string>

#include "core/text/path_style.h"
#include "core/text/result.h"

namespace tw {

// What the running system says about itself: its path style, the computer's name, its own
// folders, where this program keeps its settings, and the user's time format.
//
// Threads: any method from any thread.
class Environment {
 public:
  virtual ~Environment() = default;

  // The path style of this system's paths.
  virtual PathStyle pathStyle() const = 0;
  // The computer's name.
  virtual Result<std::string> computerName() = 0;
  // The operating system's own folder (C:\Windows; /usr on Linux), without a final separator.
  // Its icon is the plain folder icon.
  virtual Result<std::string> systemFolder() = 0;
  // The root of the drive that holds the operating system (C:\; on Linux the mount point of the
  // file system that holds the system folder), ending in the separator.
  virtual Result<std::string> systemDriveRoot() = 0;
  // The folder that holds the running executable, ending in the separator. On Linux: the folder
  // of the resolved /proc/self/exe.
  virtual Result<std::string> executableDirectory() = 0;
  // The folder that holds the settings file "config.ini", ending in the separator; it need not
  // exist yet (the first save makes it). On Windows the executable's folder. On Linux the
  // executable's folder where this user may write it (a portable copy), else tarnwatch/ in the
  // user's configuration folder ($XDG_CONFIG_HOME, else ~/.config) for an installed program. A
  // failure, naming both reasons, when neither can be used.
  virtual Result<std::string> settingsFolder() = 0;
  // A moment as the local time of day in the user's long time format (15:04:05, 3:04:05 PM, ...).
  virtual std::string timeOfDay(std::chrono::system_clock::time_point moment) = 0;
};

}  // namespace tw
