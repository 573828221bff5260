#include "platform/linux/settings_location.h"

namespace tw::linuxfs {

namespace {

bool isAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string folderInside(std::string base, const char* name) {
  if (base.back() != '/') base += '/';
  return base + name;
}

}  // namespace

Result<std::string> userConfigurationFolder(const char* xdgConfigHome, const char* home,
                                            const char* databaseHome) {
  if (isAbsolute(xdgConfigHome)) return folderInside(xdgConfigHome, "tarnwatch/");
  if (isAbsolute(home)) return folderInside(folderInside(home, ".config/"), "tarnwatch/");
  if (isAbsolute(databaseHome)) return folderInside(folderInside(databaseHome, ".config/"), "tarnwatch/");
  return Result<std::string>::failure(
      "this user has no configuration folder (neither XDG_CONFIG_HOME nor HOME names one, and the user "
      "database "
      "gives no home folder)");
}

Result<std::string> chooseSettingsFolder(const Result<std::string>& programFolder, bool programFolderWritable,
                                         const std::string& installFolder,
                                         const Result<std::string>& userFolder) {
  const bool installed = programFolder.ok() && *programFolder == installFolder;
  if (programFolder.ok() && programFolderWritable && !installed) return *programFolder;
  if (userFolder.ok()) return *userFolder;
  std::string programReason;
  if (!programFolder.ok()) {
    programReason = programFolder.error();
  } else if (installed) {
    programReason = "the program is installed in " + *programFolder;
  } else {
    programReason = "the program's folder " + *programFolder + " cannot be written";
  }
  return Result<std::string>::failure("Nowhere to keep the settings: " + programReason + ", and " +
                                      userFolder.error());
}

}  // namespace tw::linuxfs
