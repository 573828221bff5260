#include "core/settings/settings_codec.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/events/event_kinds.h"
#include "core/settings/base64.h"
#include "core/settings/extensions.h"
#include "core/settings/ini_store.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

using Entries = std::vector<std::string>;

constexpr const char* kFile = "C:\\Program Files\\Tarnwatch\\config.ini";

std::string repeat(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

EventKindSet kindsWithout(std::initializer_list<int> off) {
  EventKindSet kinds = allEventKinds();
  for (int n : off) kinds.reset(static_cast<std::size_t>(n));
  return kinds;
}

class SettingsCodec : public ::testing::Test {
 protected:
  std::string file() const { return platform.profileText(kFile).value_or("<no file>"); }
  CaptureOptions read(CaptureOptions base = {}) {
    return readCaptureOptions(platform, kFile, std::move(base));
  }

  FakePlatform platform;
};

TEST_F(SettingsCodec, PathIsBesideTheExecutable) {
  EXPECT_EQ(settingsFilePath(platform), kFile);
  platform.exeDir = "/opt/tarnwatch/bin/";
  EXPECT_EQ(settingsFilePath(platform), "/opt/tarnwatch/bin/config.ini");
  platform.exeDir = "";
  EXPECT_EQ(settingsFilePath(platform), "config.ini");
}

TEST_F(SettingsCodec, WorkedExampleByteForByte) {
  CaptureOptions options = read();  // the window's creation: no file yet
  addExtensions(options.extensions, ".exe,.dll");
  saveCaptureOptions(platform, kFile, options);
  EXPECT_EQ(file(), "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", 19) +
                        "\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAN=Y\r\n"
                        "[FILTERS]\r\nEXTENSIONS=LmV4ZQ0KLmRsbA0K\r\nDIRECTORIES=\r\n");

  options.kinds.reset(2);  // the third kind, Create
  const int flushes = platform.profileFlushes();
  saveCaptureOptions(platform, kFile, options);
  EXPECT_EQ(platform.profileFlushes(), flushes + 2) << "the write's store and the read's, each flushed";
  EXPECT_EQ(file(), "[EVENTS]\r\nEVENTS=" + repeat("WQ0K", 2) + "Tg0K" + repeat("WQ0K", 16) +
                        "\r\n[GLOBAL]\r\nAUTOCAPTURE=N\r\nTRAY=N\r\nAUTOCLEAN=Y\r\n"
                        "[FILTERS]\r\nEXTENSIONS=LmV4ZQ0KLmRsbA0K\r\nDIRECTORIES=\r\n");
  // The save ends with a read of the file: kind 2 off, the others on.
  EXPECT_EQ(options.kinds, kindsWithout({2}));
  EXPECT_EQ(options.extensions, (Entries{".exe", ".dll"}));
}

TEST_F(SettingsCodec, DefaultsOfEveryKey) {
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
    CaptureOptions base;  // every value the opposite of its default: the read must set each
    base.kinds.reset();
    base.autoCapture = true;
    base.minimizeToTray = true;
    base.cleanOnStop = false;
    const CaptureOptions options = readCaptureOptions(p, kFile, base);
    EXPECT_EQ(options.kinds, allEventKinds()) << c.what;
    EXPECT_FALSE(options.autoCapture) << c.what;
    EXPECT_FALSE(options.minimizeToTray) << c.what;
    EXPECT_TRUE(options.cleanOnStop) << c.what;
    EXPECT_TRUE(options.extensions.empty()) << c.what;
    EXPECT_TRUE(options.excludedFolders.empty()) << c.what;
    EXPECT_EQ(p.profileText(kFile), c.file) << c.what << ": a read writes nothing";
  }
  EXPECT_EQ(readCaptureOptions(platform, kFile), CaptureOptions{}) << "no file: the value's own defaults";
}

TEST_F(SettingsCodec, EventChoice) {
  const auto readEvents = [&](const std::string& text) {
    platform.setProfileText(kFile, "[EVENTS]\r\nEVENTS=" + encodeBase64(text) + "\r\n");
    return read().kinds;
  };
  EXPECT_EQ(readEvents(repeat("Y\r\n", 19)), allEventKinds());
  EXPECT_EQ(readEvents(repeat("Y\r\n", 2) + "N\r\n" + repeat("Y\r\n", 16)), kindsWithout({2}));
  // Any line but exactly "Y" turns its kind off; lone CR and LF split too; the last line may
  // have no ending; lines beyond the nineteenth are ignored.
  EXPECT_EQ(readEvents("y\rYes\n Y\r\n\r\n" + repeat("Y\n", 14) + "N\r\nN\r\nN"),
            kindsWithout({0, 1, 2, 3, 18}));
  // Fewer lines than kinds (a file of an older version): every kind on.
  EXPECT_EQ(readEvents(repeat("N\r\n", 10)), allEventKinds());
  EXPECT_EQ(readEvents(repeat("N\r\n", 18)), allEventKinds());
  // A hand-edited value that is no Base64 at all decodes to nothing: the defaults.
  platform.setProfileText(kFile, "[EVENTS]\r\nEVENTS=!!!!\r\n");
  EXPECT_EQ(read().kinds, allEventKinds());
  // Written: one line per kind in event-number order.
  EXPECT_EQ(eventChoiceText(kindsWithout({0, 18})), "N\r\n" + repeat("Y\r\n", 17) + "N\r\n");
}

TEST_F(SettingsCodec, OnlyAnExactYIsOn) {
  const std::pair<const char*, bool> cases[] = {{"Y", true},  {"N", false}, {"y", false},    {"Yes", false},
                                                {"1", false}, {"", false},  {"\"Y\"", true}, {" Y ", true}};
  for (const auto& [stored, on] : cases) {
    platform.setProfileText(kFile, std::string("[GLOBAL]\r\nAUTOCAPTURE=") + stored + "\r\nTRAY=" + stored +
                                       "\r\nAUTOCLEAN=" + stored + "\r\n");
    const CaptureOptions options = read();
    EXPECT_EQ(options.autoCapture, on) << stored;
    EXPECT_EQ(options.minimizeToTray, on) << stored;
    EXPECT_EQ(options.cleanOnStop, on) << stored << " (AUTOCLEAN too)";
  }
}

TEST_F(SettingsCodec, ExtensionsAreAddedNotReplaced) {
  CaptureOptions base;
  base.extensions = {".dll"};
  // An empty or blank value leaves the list as it is.
  for (const char* value : {"", "  "}) {
    platform.setProfileText(kFile, std::string("[FILTERS]\r\nEXTENSIONS=") + value + "\r\n");
    EXPECT_EQ(read(base).extensions, Entries{".dll"}) << '"' << value << '"';
  }
  // A stored list is added to the entries there, duplicates (in any case) once, spelled as first
  // seen.
  platform.setProfileText(
      kFile, "[FILTERS]\r\nEXTENSIONS=" + encodeBase64(".EXE\r\n.dll\r\n.exe\r\n.Txt\r\n") + "\r\n");
  EXPECT_EQ(read(base).extensions, (Entries{".dll", ".EXE", ".Txt"}));
}

TEST_F(SettingsCodec, DirectoriesAreReplacedAsStored) {
  CaptureOptions base;
  base.excludedFolders = {"D:\\old\\"};
  base.skippedDrives = {"E:\\"};
  platform.setProfileText(kFile, "[FILTERS]\r\nDIRECTORIES=\r\n");
  EXPECT_EQ(read(base).excludedFolders, Entries{"D:\\old\\"}) << "an empty value keeps the list";
  // A hand-edited value with nothing decodable in it is ignored too.
  for (const char* junk : {"!!!!", "A", "====", "\xC3\xA9\xC3\xA9"}) {
    platform.setProfileText(kFile, std::string("[FILTERS]\r\nDIRECTORIES=") + junk + "\r\n");
    EXPECT_EQ(read(base).excludedFolders, Entries{"D:\\old\\"}) << junk;
  }

  // Lines as they stand: no trimming, no duplicate test, no separator added.
  const std::string stored = "C:\\Temp\\\r\n c:\\temp\\ \r\nC:\\Temp\\\r\nE:\\no slash";
  platform.setProfileText(kFile, "[FILTERS]\r\nDIRECTORIES=" + encodeBase64(stored) + "\r\n");
  const CaptureOptions options = read(base);
  EXPECT_EQ(options.excludedFolders, (Entries{"C:\\Temp\\", " c:\\temp\\ ", "C:\\Temp\\", "E:\\no slash"}));
  // The unticked drives are not stored: the read keeps the base's.
  EXPECT_EQ(options.skippedDrives, Entries{"E:\\"});
}

TEST_F(SettingsCodec, NonAsciiPathsSurviveSaveAndRestore) {
  CaptureOptions options;
  options.excludedFolders = {
      "C:\\Caf\xC3\xA9\\cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\xC3\xA9\\",
      "C:\\\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\",
      "C:\\\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9\\",
      "C:\\\xF0\x9F\x98\x80 \xF0\x9F\x8E\x89\\",
      "/home/u/\xFF\xFE not UTF-8/",  // a Linux path's bytes as the kernel gives them
  };
  addExtensions(options.extensions, ".\xC3\xA9t\xC3\xA9,.\xD1\x84");
  const CaptureOptions written = options;
  saveCaptureOptions(platform, kFile, options);
  EXPECT_EQ(options, written);
  const CaptureOptions fresh = read();
  EXPECT_EQ(fresh.excludedFolders, written.excludedFolders);
  EXPECT_EQ(fresh.extensions, (Entries{".\xC3\xA9t\xC3\xA9", ".\xD1\x84"}));
  // The file itself stays plain ASCII.
  for (const char c : file()) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
}

TEST_F(SettingsCodec, LongListsAreKeptWhole) {
  // Far beyond the 2047 characters a 2048-character read buffer would hold.
  CaptureOptions options;
  for (int i = 0; i < 2000; ++i)
    options.excludedFolders.push_back("C:\\folder number " + std::to_string(i) + "\\");
  for (int i = 0; i < 500; ++i) addExtensions(options.extensions, ".e" + std::to_string(i));
  writeCaptureOptions(platform, kFile, options);
  EXPECT_EQ(read(), options);
}

// 100,000 entries in each list (the load's speed is the benchmark's; this is its correctness):
// every entry back in order, and the duplicate test still exact at that size.
TEST_F(SettingsCodec, HundredThousandEntryListsLoadWhole) {
  constexpr int kEntries = 100'000;
  CaptureOptions options;
  for (int i = 0; i < kEntries; ++i) {
    options.extensions.push_back(".x" + std::to_string(i));
    options.excludedFolders.push_back("/srv/data/folder " + std::to_string(i) + "/");
  }
  writeCaptureOptions(platform, kFile, options);
  EXPECT_EQ(read(), options);

  // The same extensions stored once more in capitals after a few new ones, and the first one
  // again: only the new ones are added, in stored order, to a base that holds the first half.
  std::string stored;
  for (int i = 0; i < kEntries; ++i) stored += ".X" + std::to_string(i) + "\r\n";
  stored += ".new1\r\n.NEW1\r\nnew2\r\n.x0\r\n";
  platform.setProfileText(kFile, "[FILTERS]\r\nEXTENSIONS=" + encodeBase64(stored) + "\r\n");
  CaptureOptions base;
  base.extensions.assign(options.extensions.begin(), options.extensions.begin() + kEntries / 2);
  const Entries loaded = read(base).extensions;
  ASSERT_EQ(loaded.size(), static_cast<std::size_t>(kEntries + 2));
  EXPECT_TRUE(std::equal(base.extensions.begin(), base.extensions.end(), loaded.begin()));
  EXPECT_EQ(loaded[kEntries / 2], ".X" + std::to_string(kEntries / 2)) << "spelled as stored";
  EXPECT_EQ(loaded[kEntries - 1], ".X" + std::to_string(kEntries - 1));
  EXPECT_EQ(loaded[kEntries], ".new1");
  EXPECT_EQ(loaded[kEntries + 1], ".new2");
}

TEST_F(SettingsCodec, ExistingFileKeepsItsOtherLinesAndKeyPlaces) {
  platform.setProfileText(
      kFile,
      "; written by hand\r\n[GLOBAL]\r\nTRAY=Y\r\nCOLOUR=blue\r\n\r\n[EVENTS]\r\nEVENTS=x\r\n"
      "[MINE]\r\nA=1\r\n");
  CaptureOptions options = read();
  EXPECT_TRUE(options.minimizeToTray);
  saveCaptureOptions(platform, kFile, options);
  EXPECT_EQ(file(),
            "; written by hand\r\n[GLOBAL]\r\nTRAY=Y\r\nCOLOUR=blue\r\nAUTOCAPTURE=N\r\nAUTOCLEAN=Y\r\n\r\n"
            "[EVENTS]\r\nEVENTS=" +
                repeat("WQ0K", 19) +
                "\r\n[MINE]\r\nA=1\r\n"
                "[FILTERS]\r\nEXTENSIONS=\r\nDIRECTORIES=\r\n");
}

TEST_F(SettingsCodec, RefusedWriteReportsAndGivesWhatTheFileHolds) {
  const std::string stored = "[EVENTS]\r\nEVENTS=" + repeat("Tg0K", 19) +
                             "\r\n[GLOBAL]\r\nAUTOCAPTURE=Y\r\nTRAY=N\r\nAUTOCLEAN=N\r\n"
                             "[FILTERS]\r\nEXTENSIONS=" +
                             encodeBase64(".dll\r\n") + "\r\nDIRECTORIES=" + encodeBase64("C:\\Temp\\\r\n") +
                             "\r\n";
  platform.setProfileText(kFile, stored);
  platform.refuseWrites[kFile] = "Cannot write: permission denied";
  CaptureOptions options;
  options.minimizeToTray = true;
  options.extensions = {".exe"};
  options.excludedFolders = {"D:\\x\\"};

  try {
    saveCaptureOptions(platform, kFile, options);
    FAIL() << "no error";
  } catch (const IniWriteError& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\Program Files\\Tarnwatch\\config.ini");
  }
  EXPECT_EQ(platform.profileText(kFile), stored);
  EXPECT_EQ(options.kinds, EventKindSet());
  EXPECT_TRUE(options.autoCapture);
  EXPECT_FALSE(options.minimizeToTray);
  EXPECT_FALSE(options.cleanOnStop);
  // The extension list keeps its entries and gains the stored ones it lacks.
  EXPECT_EQ(options.extensions, (Entries{".exe", ".dll"}));
  EXPECT_EQ(options.excludedFolders, Entries{"C:\\Temp\\"});
  EXPECT_EQ(platform.profileFlushes(), 2);

  // The form that gives the refusal back in place of throwing it.
  options.cleanOnStop = true;
  const std::optional<IniWriteError> refused = trySaveCaptureOptions(platform, kFile, options);
  ASSERT_TRUE(refused.has_value());
  EXPECT_STREQ(refused->what(), "Unable to write to C:\\Program Files\\Tarnwatch\\config.ini");
  EXPECT_FALSE(options.cleanOnStop);
  EXPECT_EQ(platform.profileText(kFile), stored);
}

}  // namespace
}  // namespace tw
