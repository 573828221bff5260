// The small text routines: the drives a recording may watch, yes/no texts and list texts.
#include <gtest/gtest.h>

#include "core/text/text_lines.h"
#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

TEST(Drives, OnlyFixedAndRemovableInPlatformOrder) {
  FakePlatform p;
  p.driveTable = {{"A:\\", DriveType::Removable}, {"C:\\", DriveType::Fixed},    {"D:\\", DriveType::CdRom},
                  {"E:\\", DriveType::Removable}, {"F:\\", DriveType::Remote},   {"G:\\", DriveType::RamDisk},
                  {"H:\\", DriveType::Unknown},   {"I:\\", DriveType::NoRootDir}};
  EXPECT_EQ(recordableDriveRoots(p), (std::vector<std::string>{"A:\\", "C:\\", "E:\\"}));

  p.driveTable = {{"D:\\", DriveType::CdRom}, {"Z:\\", DriveType::Remote}};
  EXPECT_TRUE(recordableDriveRoots(p).empty());
  p.driveTable.clear();
  EXPECT_TRUE(recordableDriveRoots(p).empty());
}

TEST(YesNo, OnlyExactlyUpperYIsTrue) {
  EXPECT_EQ(boolToYN(true), "Y");
  EXPECT_EQ(boolToYN(false), "N");
  struct Case {
    const char* text;
    bool value;
  } cases[] = {{"Y", true},   {"y", false}, {"Yes", false}, {" Y", false},
               {"Y ", false}, {"N", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(ynToBool(c.text), c.value) << c.text;
}

TEST(ListTexts, EntriesAsLinesEachEndingInCrLf) {
  EXPECT_EQ(joinLinesCrLf({}), "");
  EXPECT_EQ(joinLinesCrLf({"C:\\Temp\\"}), "C:\\Temp\\\r\n");
  EXPECT_EQ(joinLinesCrLf({".exe", ".dll"}), ".exe\r\n.dll\r\n");
}

TEST(ListTexts, LookupsIgnoreOnlyAsciiCase) {
  const std::vector<std::string> rows = {".exe", "\xC3\xA9t\xC3\xA9"};
  EXPECT_TRUE(isInStringList(".EXE", rows));
  EXPECT_TRUE(isInStringList("\xC3\xA9T\xC3\xA9", rows));
  EXPECT_FALSE(isInStringList("\xC3\x89T\xC3\x89", rows));  // É is not é
  EXPECT_FALSE(isInStringList(".ex", rows));
  EXPECT_FALSE(isInStringList(".exe", {}));

  const std::vector<std::string> drives = {"C:\\", "e:\\"};
  EXPECT_TRUE(isInStringList("E:\\", drives));
  EXPECT_FALSE(isInStringList("D:\\", drives));
  EXPECT_FALSE(isInStringList("", {}));
}

}  // namespace
}  // namespace tw
