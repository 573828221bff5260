#include "core/settings/extensions.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/fake/fake_platform.h"
#include "support/fake_settings_controls.h"

namespace tw {
namespace {

using test::FakeList;
using test::FakeRow;
using Captions = std::vector<std::string>;

Captions added(std::string_view input, Captions before = {}) {
  FakePlatform platform;
  FakeList list;
  for (const auto& caption : before) list.addRow(caption, "", 0);
  addExtensions(list, platform, input);
  return list.captions();
}

TEST(AddExtensions, Parsing) {
  struct Case {
    const char* input;
    Captions before;
    Captions after;
  };
  const Case cases[] = {
      {".exe,.bat,.com,.scr,.pif", {}, {".exe", ".bat", ".com", ".scr", ".pif"}},
      {"exe", {}, {".exe"}},
      {".EXE", {".exe"}, {".exe"}},
      {"exe bat;com", {}, {".exe", ".bat", ".com"}},
      {"exe bat;.com,.EXE", {}, {".exe", ".bat", ".com"}},  // a duplicate of a row added in this call
      {",,;", {}, {}},
      {"", {}, {}},
      {"   ", {}, {}},
      {"\t", {}, {}},                                 // blank: nothing above U+0020
      {"*.exe,file.txt", {}, {"*.exe", "file.txt"}},  // a dot anywhere: kept as typed
      {"*", {}, {".*"}},
      {"\texe", {}, {".\texe"}},                       // a tab is no separator and stays
      {"a\r\nb\rc\nd", {}, {".a", ".b", ".c", ".d"}},  // line breaks separate too
      {"Txt,TXT,txt", {".dll"}, {".dll", ".Txt"}},
      {".\xC3\xA9t\xC3\xA9,.\xC3\x89T\xC3\x89",
       {},
       {".\xC3\xA9t\xC3\xA9", ".\xC3\x89T\xC3\x89"}},  // ASCII folding only
  };
  for (const auto& c : cases) {
    EXPECT_EQ(added(c.input, c.before), c.after) << c.input;
  }
}

TEST(AddExtensions, DescriptionAndIconOfEachRow) {
  FakePlatform platform;
  platform.typeIcons = {{".exe", 5}};
  platform.unknownTypeIcon = 2;
  platform.typeDescriptions = {{".exe", "Application"}};
  FakeList list;
  addExtensions(list, platform, "EXE,.qqz,noext.");
  EXPECT_EQ(list.rows, (std::vector<FakeRow>{
                           {".EXE", "Application", 5}, {".qqz", "QQZ File", 2}, {"noext.", "File", 2}}));
}

// The description is asked for "*." followed by the row's caption, and the icon for the caption.
class RecordingTypes : public FakePlatform {
 public:
  std::vector<std::string> described, iconed;
  std::string fileTypeDescription(std::string_view name) override {
    described.emplace_back(name);
    return FakePlatform::fileTypeDescription(name);
  }
  int fileTypeIcon(std::string_view name) override {
    iconed.emplace_back(name);
    return FakePlatform::fileTypeIcon(name);
  }
};

TEST(AddExtensions, NamesAskedOfThePlatform) {
  RecordingTypes platform;
  FakeList list;
  addExtensions(list, platform, "EXE,.qqz,noext.,.QQZ");
  EXPECT_EQ(platform.described, (std::vector<std::string>{"*..EXE", "*..qqz", "*.noext."}));
  EXPECT_EQ(platform.iconed, (std::vector<std::string>{".EXE", ".qqz", "noext."}));
}

TEST(AddExtensions, LongDescriptionsAreCutAtEightyCharacters) {
  FakePlatform platform;
  std::string longText;
  for (int i = 0; i < 100; ++i) longText += "\xC3\xA9";  // 100 two-byte characters
  platform.typeDescriptions = {{".a", longText}};
  FakeList list;
  addExtensions(list, platform, ".a");
  ASSERT_EQ(list.rows.size(), 1u);
  EXPECT_EQ(list.rows[0].detail, longText.substr(0, 160));
}

// A system that knows neither the type's description nor its icon (both queries fail).
class FailingTypes : public FakePlatform {
 public:
  std::string fileTypeDescription(std::string_view) override { return {}; }
  int fileTypeIcon(std::string_view) override { return 0; }
};

TEST(AddExtensions, PlatformFailureStillAddsTheRow) {
  FailingTypes platform;
  FakeList list;
  addExtensions(list, platform, "exe");
  EXPECT_EQ(list.rows, (std::vector<FakeRow>{{".exe", "", 0}}));
}

TEST(GenericTypeDescription, FromTheLastExtension) {
  EXPECT_EQ(genericFileTypeDescription("*..qqz"), "QQZ File");
  EXPECT_EQ(genericFileTypeDescription("*.a.Tar9"), "TAR9 File");
  EXPECT_EQ(genericFileTypeDescription("*.\xC3\xA9x"), "\xC3\xA9X File");
  EXPECT_EQ(genericFileTypeDescription("*."), "File");
  EXPECT_EQ(genericFileTypeDescription("name"), "File");
}

}  // namespace
}  // namespace tw
