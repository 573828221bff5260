#include "core/settings/extensions.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

using Entries = std::vector<std::string>;

Entries added(std::string_view input, Entries before = {}) {
  addExtensions(before, input);
  return before;
}

TEST(AddExtensions, Parsing) {
  struct Case {
    const char* input;
    Entries before;
    Entries after;
  };
  const Case cases[] = {
      {".exe,.bat,.com,.scr,.pif", {}, {".exe", ".bat", ".com", ".scr", ".pif"}},
      {"exe", {}, {".exe"}},
      {".EXE", {".exe"}, {".exe"}},
      {"exe bat;com", {}, {".exe", ".bat", ".com"}},
      {"exe bat;.com,.EXE", {}, {".exe", ".bat", ".com"}},  // a duplicate of an entry added in this call
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
      {"[,{,@,`", {".{"}, {".{", ".[", ".@", ".`"}},   // the neighbours of the letters are no letters
  };
  for (const auto& c : cases) {
    EXPECT_EQ(added(c.input, c.before), c.after) << c.input;
  }
}

TEST(AddExtensions, ToAddAreTheNewEntriesOnly) {
  const Entries list = {".exe", ".Dll"};
  EXPECT_EQ(extensionsToAdd(list, "dll,EXE,txt,.TXT,c"), (Entries{".txt", ".c"}));
  EXPECT_EQ(extensionsToAdd(list, ""), Entries{});
}

// A list of 100,000 entries and a text of 100,000 more, half of them already there in other
// case: the hash gives exactly what the rules say (the speed is the benchmark's).
TEST(AddExtensions, HundredThousandEntriesKeepTheRules) {
  constexpr int kEntries = 100'000;
  Entries list;
  for (int i = 0; i < kEntries; ++i) list.push_back(".e" + std::to_string(i));
  std::string text;
  for (int i = kEntries / 2; i < kEntries + kEntries / 2; ++i) text += "E" + std::to_string(i) + ",";
  text += ".E" + std::to_string(kEntries) + ";e0";  // again within the same text, and the first entry
  const Entries toAdd = extensionsToAdd(list, text);
  ASSERT_EQ(toAdd.size(), static_cast<std::size_t>(kEntries / 2));
  for (int i = 0; i < kEntries / 2; ++i)
    ASSERT_EQ(toAdd[static_cast<std::size_t>(i)], ".E" + std::to_string(kEntries + i)) << i;
  addExtensions(list, text);
  EXPECT_EQ(list.size(), static_cast<std::size_t>(kEntries + kEntries / 2));
  EXPECT_EQ(list.back(), ".E" + std::to_string(kEntries + kEntries / 2 - 1));
}

// The description is asked for "*." followed by the extension.
class RecordingTypes : public FakePlatform {
 public:
  std::vector<std::string> described;
  std::string fileTypeDescription(std::string_view name) override {
    described.emplace_back(name);
    return FakePlatform::fileTypeDescription(name);
  }
};

TEST(ExtensionTypeDescription, AskedForStarDotAndTheExtension) {
  RecordingTypes platform;
  platform.typeDescriptions = {{".exe", "Application"}};
  EXPECT_EQ(extensionTypeDescription(platform, ".EXE"), "Application");
  EXPECT_EQ(extensionTypeDescription(platform, ".qqz"), "QQZ File");
  EXPECT_EQ(extensionTypeDescription(platform, "noext."), "File");
  EXPECT_EQ(platform.described, (Entries{"*..EXE", "*..qqz", "*.noext."}));
}

TEST(ExtensionTypeDescription, LongDescriptionsAreCutAtEightyCharacters) {
  FakePlatform platform;
  std::string longText;
  for (int i = 0; i < 100; ++i) longText += "\xC3\xA9";  // 100 two-byte characters
  platform.typeDescriptions = {{".a", longText}, {".b", std::string(200, 'b') + "\xFF\xFE"}};
  EXPECT_EQ(extensionTypeDescription(platform, ".a"), longText.substr(0, 160));
  EXPECT_EQ(extensionTypeDescription(platform, ".b"), std::string(80, 'b'));
}

// A system that knows no description (the query fails): the row shows none.
class FailingTypes : public FakePlatform {
 public:
  std::string fileTypeDescription(std::string_view) override { return {}; }
};

TEST(ExtensionTypeDescription, PlatformFailureGivesNone) {
  FailingTypes platform;
  EXPECT_EQ(extensionTypeDescription(platform, ".exe"), "");
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
