#include "core/settings/settings_file.h"

#include <gtest/gtest.h>

#include "core/events/event_kinds.h"
#include "core/settings/base64.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "platform/fake/fake_platform.h"
#include "support/fake_settings_controls.h"

namespace tw {
namespace {

using test::FakeRow;
using test::FakeSettingsControls;

constexpr const char* kFile = "C:\\Program Files\\Tarnwatch\\config.ini";

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// A restored settings window with the given extension rows; the platform knows two types.
class SettingsFile : public ::testing::Test {
 protected:
  SettingsFile() {
    platform.typeIcons = {{".exe", 5}, {".dll", 6}};
    platform.typeDescriptions = {{".exe", "Application"}, {".dll", "Application extension"}};
    platform.objectIcons = {{"C:\\Temp\\", 9}};
  }

  std::string file() const { return platform.profileText(kFile).value_or("<no file>"); }
  std::vector<bool> allChecked() const { return std::vector<bool>(kEventCount, true); }

  FakePlatform platform;
  FakeSettingsControls controls;
};

TEST_F(SettingsFile, PathIsBesideTheExecutable) {
  EXPECT_EQ(settingsFilePath(platform), kFile);
  platform.exeDir = "/opt/tarnwatch/bin/";
  EXPECT_EQ(settingsFilePath(platform), "/opt/tarnwatch/bin/config.ini");
  platform.exeDir = "";
  EXPECT_EQ(settingsFilePath(platform), "config.ini");
}

TEST_F(SettingsFile, WorkedExampleByteForByte) {
  restoreSettings(controls, platform, platform, kFile);  // the window's creation: no file yet
  addExtensions(controls.lstext(), platform, ".exe,.dll");
  saveSettings(controls, platform, platform, kFile);
  EXPECT_EQ(file(), "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", 19) +
                        "\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAN=Y\r\n"
                        "[FILTERS]\r\nEXTENSIONS=LmV4ZQ0KLmRsbA0K\r\nDIRECTORIES=\r\n");

  controls.events.rows[2].checked = false;  // the third kind, Create
  const int flushes = platform.profileFlushes();
  saveSettings(controls, platform, platform, kFile);
  EXPECT_EQ(platform.profileFlushes(), flushes + 2) << "the save's store and the restore's, each flushed";
  EXPECT_EQ(file(), "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", 2) + "Tg0K" + repeat("WQ0K", 16) +
                        "\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAN=Y\r\n"
                        "[FILTERS]\r\nEXTENSIONS=LmV4ZQ0KLmRsbA0K\r\nDIRECTORIES=\r\n");
  // The save ends with a restore: kind 2 shows unchecked with the cross image.
  EXPECT_EQ(controls.events.rows[2], (FakeRow{"Create", "", kEventImageNotCaptured, false}));
  EXPECT_EQ(controls.events.rows[3], (FakeRow{"Delete", "", kEventImageCaptured, true}));
}

TEST_F(SettingsFile, DefaultsOfEveryKey) {
  struct Case {
    const char* what;
    std::optional<std::string> file;
  };
  const Case cases[] = {
      {"no file", std::nullopt},
      {"empty file", ""},
      {"other sections only", "[OTHER]\r\nEVENTS=TgoK\r\nAUTOCAPTURE=Y\r\n"},
      {"keys without values",
       "[EVENTS]\r\nEVENTS=\r\n[GLOBAL]\r\n[FILTERS]\r\nEXTENSIONS=\r\nDIRECTORIES= \r\n"},
      {"blank event text", "[EVENTS]\r\nEVENTS=" + encodeBase64(" \r\n\t\r\n") + "\r\n"},
  };
  for (const auto& c : cases) {
    FakePlatform p;
    if (c.file) p.setProfileText(kFile, *c.file);
    FakeSettingsControls window;
    window.autoclean.checked = false;  // the restore must set every box, not keep it
    window.autoCapture.checked = true;
    window.tray.checked = true;
    restoreSettings(window, p, p, kFile);
    EXPECT_EQ(window.events.captions(), eventNames()) << c.what;
    EXPECT_EQ(window.events.checks(), allChecked()) << c.what;
    for (const auto& row : window.events.rows) EXPECT_EQ(row.image, kEventImageCaptured) << c.what;
    EXPECT_FALSE(window.autoCapture.checked) << c.what;
    EXPECT_FALSE(window.tray.checked) << c.what;
    EXPECT_TRUE(window.autoclean.checked) << c.what;
    EXPECT_TRUE(window.extensions.rows.empty()) << c.what;
    EXPECT_TRUE(window.paths.rows.empty()) << c.what;
    EXPECT_EQ(p.profileText(kFile), c.file) << c.what << ": a restore writes nothing";
  }
}

TEST_F(SettingsFile, EventChoice) {
  const auto restoreEvents = [&](const std::string& text) {
    platform.setProfileText(kFile, "[EVENTS]\r\nEVENTS=" + encodeBase64(text) + "\r\n");
    FakeSettingsControls window;
    restoreSettings(window, platform, platform, kFile);
    EXPECT_EQ(window.events.captions(), eventNames());
    return window.events.checks();
  };
  std::vector<bool> expected = allChecked();
  EXPECT_EQ(restoreEvents(repeat("Y\r\n", 19)), expected);
  expected[2] = false;
  EXPECT_EQ(restoreEvents(repeat("Y\r\n", 2) + "N\r\n" + repeat("Y\r\n", 16)), expected);
  // Any line but exactly "Y" turns its kind off; lone CR and LF split too; the last line may
  // have no ending; lines beyond the nineteenth are ignored.
  expected = allChecked();
  expected[0] = expected[1] = expected[2] = expected[3] = expected[18] = false;
  EXPECT_EQ(restoreEvents("y\rYes\n Y\r\n\r\n" + repeat("Y\n", 14) + "N\r\nN\r\nN"), expected);
  // Fewer lines than kinds (a file of an older version): every kind on.
  EXPECT_EQ(restoreEvents(repeat("N\r\n", 10)), allChecked());
  EXPECT_EQ(restoreEvents(repeat("N\r\n", 18)), allChecked());
  // A hand-edited value that is no Base64 at all decodes to nothing: the defaults.
  platform.setProfileText(kFile, "[EVENTS]\r\nEVENTS=!!!!\r\n");
  FakeSettingsControls window;
  restoreSettings(window, platform, platform, kFile);
  EXPECT_EQ(window.events.checks(), allChecked());
}

TEST_F(SettingsFile, OnlyAnExactYIsOn) {
  const std::pair<const char*, bool> cases[] = {{"Y", true},  {"N", false}, {"y", false},    {"Yes", false},
                                                {"1", false}, {"", false},  {"\"Y\"", true}, {" Y ", true}};
  for (const auto& [stored, on] : cases) {
    platform.setProfileText(kFile, std::string("[GLOBAL]\r\nAUTOCAPTURE=") + stored + "\r\nTRAY=" + stored +
                                       "\r\nAUTOCLEAN=" + stored + "\r\n");
    restoreSettings(controls, platform, platform, kFile);
    EXPECT_EQ(controls.autoCapture.checked, on) << stored;
    EXPECT_EQ(controls.tray.checked, on) << stored;
    EXPECT_EQ(controls.autoclean.checked, on) << stored << " (AUTOCLEAN too)";
  }
}

TEST_F(SettingsFile, ExtensionsAreAddedNotReplaced) {
  addExtensions(controls.lstext(), platform, ".dll");
  // An empty or blank value leaves the list as it is.
  for (const char* value : {"", "  "}) {
    platform.setProfileText(kFile, std::string("[FILTERS]\r\nEXTENSIONS=") + value + "\r\n");
    restoreSettings(controls, platform, platform, kFile);
    EXPECT_EQ(controls.extensions.captions(), std::vector<std::string>{".dll"});
  }
  // A stored list is added to the rows there, duplicates (in any case) once, spelled as first seen.
  platform.setProfileText(
      kFile, "[FILTERS]\r\nEXTENSIONS=" + encodeBase64(".EXE\r\n.dll\r\n.exe\r\n.Txt\r\n") + "\r\n");
  restoreSettings(controls, platform, platform, kFile);
  EXPECT_EQ(controls.extensions.captions(), (std::vector<std::string>{".dll", ".EXE", ".Txt"}));
  EXPECT_EQ(controls.extensions.rows[1], (FakeRow{".EXE", "Application", 5, false}));
}

TEST_F(SettingsFile, DirectoriesAreReplacedAsStored) {
  addExtensions(controls.lstext(), platform, "exe");
  controls.paths.addRow("D:\\old\\", "", 1);
  platform.setProfileText(kFile, "[FILTERS]\r\nDIRECTORIES=\r\n");
  restoreSettings(controls, platform, platform, kFile);
  EXPECT_EQ(controls.paths.captions(), std::vector<std::string>{"D:\\old\\"})
      << "an empty value keeps the list";
  // A hand-edited value with nothing decodable in it is ignored too.
  for (const char* junk : {"!!!!", "A", "====", "\xC3\xA9\xC3\xA9"}) {
    platform.setProfileText(kFile, std::string("[FILTERS]\r\nDIRECTORIES=") + junk + "\r\n");
    restoreSettings(controls, platform, platform, kFile);
    EXPECT_EQ(controls.paths.captions(), std::vector<std::string>{"D:\\old\\"}) << junk;
  }

  // Lines as they stand: no trimming, no duplicate test, no separator added.
  const std::string stored = "C:\\Temp\\\r\n c:\\temp\\ \r\nC:\\Temp\\\r\nE:\\no slash";
  platform.setProfileText(kFile, "[FILTERS]\r\nDIRECTORIES=" + encodeBase64(stored) + "\r\n");
  restoreSettings(controls, platform, platform, kFile);
  EXPECT_EQ(
      controls.paths.rows,
      (std::vector<FakeRow>{
          {"C:\\Temp\\", "", 9}, {" c:\\temp\\ ", "", 0}, {"C:\\Temp\\", "", 9}, {"E:\\no slash", "", 0}}));
}

TEST_F(SettingsFile, NonAsciiPathsSurviveSaveAndRestore) {
  const std::vector<std::string> paths = {
      "C:\\Caf\xC3\xA9\\cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\xC3\xA9\\",
      "C:\\\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\",
      "C:\\\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9\\",
      "C:\\\xF0\x9F\x98\x80 \xF0\x9F\x8E\x89\\",
      "/home/u/\xFF\xFE not UTF-8/",  // a Linux path's bytes as the kernel gives them
  };
  for (const auto& path : paths) controls.paths.addRow(path, "", 0);
  addExtensions(controls.lstext(), platform, ".\xC3\xA9t\xC3\xA9,.\xD1\x84");
  saveSettings(controls, platform, platform, kFile);
  FakeSettingsControls fresh;
  restoreSettings(fresh, platform, platform, kFile);
  EXPECT_EQ(fresh.paths.captions(), paths);
  EXPECT_EQ(fresh.extensions.captions(), (std::vector<std::string>{".\xC3\xA9t\xC3\xA9", ".\xD1\x84"}));
  // The file itself stays plain ASCII.
  for (const char c : file()) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST_F(SettingsFile, LongListsAreKeptWhole) {
  // Far beyond the 2047 characters a 2048-character read buffer would hold.
  for (int i = 0; i < 2000; ++i)
    controls.paths.addRow("C:\\folder number " + std::to_string(i) + "\\", "", 0);
  for (int i = 0; i < 500; ++i) addExtensions(controls.lstext(), platform, ".e" + std::to_string(i));
  const auto paths = controls.paths.captions();
  const auto extensions = controls.extensions.captions();
  saveSettings(controls, platform, platform, kFile);
  FakeSettingsControls fresh;
  restoreSettings(fresh, platform, platform, kFile);
  EXPECT_EQ(fresh.paths.captions(), paths);
  EXPECT_EQ(fresh.extensions.captions(), extensions);
}

TEST_F(SettingsFile, ExistingFileKeepsItsOtherLinesAndKeyPlaces) {
  platform.setProfileText(
      kFile,
      "; written by hand\r\n[GLOBAL]\r\nTRAY=Y\r\nCOLOUR=blue\r\n\r\n[EVENTS]\r\nEVENTS=x\r\n"
      "[MINE]\r\nA=1\r\n");
  restoreSettings(controls, platform, platform, kFile);
  EXPECT_TRUE(controls.tray.checked);
  saveSettings(controls, platform, platform, kFile);
  EXPECT_EQ(file(),
            "; written by hand\r\n[GLOBAL]\r\nTRAY=Y\r\nCOLOUR=blue\r\nAUTOCAPTURE=N\r\nAUTOCLEAN=Y\r\n\r\n"
            "[EVENTS]\r\nEVENTS=" +
                repeat("WQ0K", 19) +
                "\r\n[MINE]\r\nA=1\r\n"
                "[FILTERS]\r\nEXTENSIONS=\r\nDIRECTORIES=\r\n");
}

TEST_F(SettingsFile, RefusedWriteReportsAndShowsWhatTheFileHolds) {
  const std::string stored = "[EVENTS]\r\nEVENTS=" + repeat("Tg0K", 19) +
                             "\r\n[GLOBAL]\r\nAUTOCAPTURE=Y\r\nTRAY=N\r\nAUTOCLEAN=N\r\n"
                             "[FILTERS]\r\nEXTENSIONS=" +
                             encodeBase64(".dll\r\n") + "\r\nDIRECTORIES=" + encodeBase64("C:\\Temp\\\r\n") +
                             "\r\n";
  platform.setProfileText(kFile, stored);
  platform.refuseWrites[kFile] = "Cannot write: permission denied";
  defaultEventList(controls);
  controls.tray.checked = true;
  addExtensions(controls.lstext(), platform, ".exe");
  controls.paths.addRow("D:\\x\\", "", 0);

  try {
    saveSettings(controls, platform, platform, kFile);
    FAIL() << "no error";
  } catch (const IniWriteError& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\Program Files\\Tarnwatch\\config.ini");
  }
  EXPECT_EQ(platform.profileText(kFile), stored);
  EXPECT_EQ(controls.events.checks(), std::vector<bool>(kEventCount, false));
  EXPECT_TRUE(controls.autoCapture.checked);
  EXPECT_FALSE(controls.tray.checked);
  EXPECT_FALSE(controls.autoclean.checked);
  // The extension list keeps its rows and gains the stored ones it lacks.
  EXPECT_EQ(controls.extensions.captions(), (std::vector<std::string>{".exe", ".dll"}));
  EXPECT_EQ(controls.paths.captions(), std::vector<std::string>{"C:\\Temp\\"});
  EXPECT_EQ(platform.profileFlushes(), 2);
}

}  // namespace
}  // namespace tw
