// Where the Linux program keeps config.ini: the decisions over the facts the platform gathers.
#include "platform/linux/settings_location.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tw::linuxfs {
namespace {

TEST(SettingsLocation, UserConfigurationFolderFromTheEnvironment) {
  struct Case {
    const char* what;
    const char* xdgConfigHome;
    const char* home;
    const char* databaseHome;
    std::optional<std::string> expected;  // none: a failure
  };
  const Case cases[] = {
      {"XDG_CONFIG_HOME wins", "/srv/cfg", "/home/ann", "/home/db", "/srv/cfg/tarnwatch/"},
      {"XDG_CONFIG_HOME with a final slash", "/srv/cfg/", nullptr, nullptr, "/srv/cfg/tarnwatch/"},
      {"XDG_CONFIG_HOME unset: HOME", nullptr, "/home/ann", "/home/db", "/home/ann/.config/tarnwatch/"},
      {"empty XDG_CONFIG_HOME is ignored", "", "/home/ann", nullptr, "/home/ann/.config/tarnwatch/"},
      {"relative XDG_CONFIG_HOME is ignored", "cfg", "/home/ann/", nullptr, "/home/ann/.config/tarnwatch/"},
      {"HOME unset: the user database", nullptr, nullptr, "/home/db", "/home/db/.config/tarnwatch/"},
      {"relative HOME is ignored", nullptr, "ann", "/home/db", "/home/db/.config/tarnwatch/"},
      {"root's home is /", nullptr, "/", nullptr, "/.config/tarnwatch/"},
      {"nothing names a folder", nullptr, nullptr, nullptr, std::nullopt},
      {"only relative and empty values", "cfg", "", "home", std::nullopt},
  };
  for (const Case& c : cases) {
    const Result<std::string> folder = userConfigurationFolder(c.xdgConfigHome, c.home, c.databaseHome);
    if (c.expected) {
      EXPECT_EQ(folder.valueOr("<failure: " + folder.error() + ">"), *c.expected) << c.what;
    } else {
      ASSERT_FALSE(folder.ok()) << c.what << ": " << *folder;
      EXPECT_NE(folder.error().find("XDG_CONFIG_HOME"), std::string::npos) << folder.error();
    }
  }
}

TEST(SettingsLocation, PortableCopyOrInstalledProgram) {
  const Result<std::string> program = std::string("/opt/tw/");
  const Result<std::string> noProgram = Result<std::string>::failure("Cannot read /proc/self/exe: gone");
  const Result<std::string> user = std::string("/home/ann/.config/tarnwatch/");
  const Result<std::string> noUser = Result<std::string>::failure("this user has no configuration folder");
  const Result<std::string> installedProgram = std::string("/usr/bin/");
  struct Case {
    const char* what;
    const Result<std::string>& programFolder;
    bool writable;
    const Result<std::string>& userFolder;
    std::string expected;  // a folder, or the words a failure must hold
  };
  const Case cases[] = {
      {"writable program folder: portable copy", program, true, user, "/opt/tw/"},
      {"writable program folder, no user folder", program, true, noUser, "/opt/tw/"},
      {"read-only program folder: installed", program, false, user, "/home/ann/.config/tarnwatch/"},
      {"program folder unknown", noProgram, false, user, "/home/ann/.config/tarnwatch/"},
      {"the install folder, writable (root): installed", installedProgram, true, user,
       "/home/ann/.config/tarnwatch/"},
      {"neither: both reasons", program, false, noUser,
       "Nowhere to keep the settings: the program's folder /opt/tw/ cannot be written, and this user has no "
       "configuration folder"},
      {"neither, program folder unknown", noProgram, false, noUser,
       "Nowhere to keep the settings: Cannot read /proc/self/exe: gone, and this user has no configuration "
       "folder"},
      {"neither, installed", installedProgram, true, noUser,
       "Nowhere to keep the settings: the program is installed in /usr/bin/, and this user has no "
       "configuration folder"},
  };
  for (const Case& c : cases) {
    const Result<std::string> folder =
        chooseSettingsFolder(c.programFolder, c.writable, "/usr/bin/", c.userFolder);
    EXPECT_EQ(folder.ok() ? *folder : folder.error(), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace tw::linuxfs
