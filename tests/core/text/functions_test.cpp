#include "core/text/functions.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

class Captions : public CaptionList {
 public:
  explicit Captions(std::vector<std::string> rows) : rows(std::move(rows)) {}
  int rowCount() const override { return static_cast<int>(rows.size()); }
  std::string caption(int row) const override { return rows.at(static_cast<std::size_t>(row)); }

 private:
  std::vector<std::string> rows;
};

TEST(Drives, OnlyFixedAndRemovableInPlatformOrder) {
  FakePlatform p;
  p.driveTable = {{"A:\\", DriveType::Removable}, {"C:\\", DriveType::Fixed},    {"D:\\", DriveType::CdRom},
                  {"E:\\", DriveType::Removable}, {"F:\\", DriveType::Remote},   {"G:\\", DriveType::RamDisk},
                  {"H:\\", DriveType::Unknown},   {"I:\\", DriveType::NoRootDir}};
  EXPECT_EQ(getDrivesList(p), "A:\\\r\nC:\\\r\nE:\\\r\n");

  p.driveTable = {{"D:\\", DriveType::CdRom}, {"Z:\\", DriveType::Remote}};
  EXPECT_EQ(getDrivesList(p), "");
  p.driveTable.clear();
  EXPECT_EQ(getDrivesList(p), "");
}

TEST(Drives, VolumeQueriesAndTheirFallbacks) {
  FakePlatform p;
  p.fileSystems["C:\\"] = "NTFS";
  p.fileSystems["E:\\"] = "exFAT";
  p.fileSystems["F:\\"] = std::nullopt;
  EXPECT_EQ(getFileSystemName(p, "E:\\"), "exFAT");
  EXPECT_EQ(getFileSystemName(p, "F:\\"), "");  // reported failure, as for a reader without a card
  p.fileSystemThrows = true;
  EXPECT_EQ(getFileSystemName(p, "E:\\"), "NTFS");

  p.spaces["C:\\"] = DiskSpace{500'000'000'000LL, 123'456'789'012LL};
  EXPECT_EQ(getDiskSpace(p, "C:\\", true), 500'000'000'000LL);
  EXPECT_EQ(getDiskSpace(p, "C:\\", false), 123'456'789'012LL);
  EXPECT_EQ(getDiskSpace(p, "Q:\\", true), 0);
  p.diskSpaceThrows = true;
  EXPECT_EQ(getDiskSpace(p, "C:\\", false), 0);
}

TEST(Drives, SystemFoldersAndFallbacks) {
  FakePlatform win(PathStyle::Windows);
  EXPECT_EQ(getWindowsDir(win), "C:\\Windows\\");
  EXPECT_EQ(getSystemDriveRoot(win), "C:\\");
  win.systemDir = "";
  win.systemRoot = std::nullopt;
  EXPECT_EQ(getWindowsDir(win), "\\");
  EXPECT_EQ(getSystemDriveRoot(win), "c:\\");

  FakePlatform posix(PathStyle::Posix);
  posix.systemDir = "/usr";
  posix.systemRoot = "/";
  EXPECT_EQ(getWindowsDir(posix), "/usr/");
  EXPECT_EQ(getSystemDriveRoot(posix), "/");
  posix.systemDir = "";
  posix.systemRoot = std::nullopt;
  EXPECT_EQ(getWindowsDir(posix), "/");
  EXPECT_EQ(getSystemDriveRoot(posix), "/");
}

TEST(Icons, TypeIconFromTheNameFolderIconOnlyForExistingObjects) {
  FakePlatform p;
  p.typeIcons[".txt"] = 7;
  p.pathIcons["C:\\Windows"] = 3;
  EXPECT_EQ(getFileIconIndex(p, "C:\\gone\\report.txt"), 7);
  EXPECT_EQ(getFileIconIndex(p, ".TXT"), 7);
  EXPECT_EQ(getFolderIconIndex(p, "C:\\gone\\report.txt"), 0);
  EXPECT_EQ(getFolderIconIndex(p, "C:\\Windows"), 3);
}

// A platform whose shell and volume calls fail, with a standard exception or with anything else
// thrown: no routine lets it through, each gives its fallback.
class FailingShell : public FakePlatform {
 public:
  explicit FailingShell(bool standard) : standard(standard) {}
  std::optional<std::string> fileSystemName(std::string_view) override { fail(); }
  std::optional<DiskSpace> diskSpace(std::string_view) override { fail(); }
  int fileTypeIconIndex(std::string_view) override { fail(); }
  int pathIconIndex(std::string_view) override { fail(); }
  void shellOpen(std::string_view) override { fail(); }

 private:
  [[noreturn]] void fail() const {
    if (standard) throw std::runtime_error("the shell failed");
    throw 42;
  }
  bool standard;
};

TEST(Fallbacks, FailingPlatformCallsNeverReachTheCaller) {
  for (const bool standard : {true, false}) {
    SCOPED_TRACE(standard ? "standard exception" : "other exception");
    FailingShell p(standard);
    EXPECT_EQ(getFileSystemName(p, "C:\\"), "NTFS");
    EXPECT_EQ(getDiskSpace(p, "C:\\", true), 0);
    EXPECT_EQ(getDiskSpace(p, "C:\\", false), 0);
    EXPECT_EQ(getFileIconIndex(p, "report.txt"), 0);
    EXPECT_EQ(getFolderIconIndex(p, "C:\\Windows"), 0);
    EXPECT_NO_THROW(shellOpen(p, "https://example.invalid/"));
  }
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

TEST(ListTexts, CaptionsAsRowCaptionText) {
  EXPECT_EQ(listViewToText(Captions({})), "");
  EXPECT_EQ(listViewToText(Captions({"C:\\Temp\\"})), "C:\\Temp\\\r\n");
  EXPECT_EQ(listViewToText(Captions({".exe", ".dll"})), ".exe\r\n.dll\r\n");
}

TEST(ListTexts, LookupsIgnoreOnlyAsciiCase) {
  const Captions rows({".exe", "\xC3\xA9t\xC3\xA9"});
  EXPECT_TRUE(isInListView(".EXE", rows));
  EXPECT_TRUE(isInListView("\xC3\xA9T\xC3\xA9", rows));
  EXPECT_FALSE(isInListView("\xC3\x89T\xC3\x89", rows));  // É is not é
  EXPECT_FALSE(isInListView(".ex", rows));
  EXPECT_FALSE(isInListView(".exe", Captions({})));

  const std::vector<std::string> drives = {"C:\\", "e:\\"};
  EXPECT_TRUE(isInStringList("E:\\", drives));
  EXPECT_FALSE(isInStringList("D:\\", drives));
  EXPECT_FALSE(isInStringList("", {}));
}

TEST(ListTexts, ContainsDot) {
  EXPECT_FALSE(containsDot("exe"));
  EXPECT_FALSE(containsDot(""));
  EXPECT_TRUE(containsDot(".exe"));
  EXPECT_TRUE(containsDot("*.exe"));
  EXPECT_TRUE(containsDot("a.b"));
}

TEST(ShellOpen, PassesTheTargetAsItIs) {
  FakePlatform p;
  shellOpen(p, "C:\\My Folder\\");
  shellOpen(p, "https://example.invalid/?a=1&b=2");
  EXPECT_EQ(p.opened(), (std::vector<std::string>{"C:\\My Folder\\", "https://example.invalid/?a=1&b=2"}));
}

}  // namespace
}  // namespace tw
