// The profile functions of the running system's platform, on real files, held to the same table
// of reading rules as the core's INI text code.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "core/settings/ini_read_cases.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

#ifdef _WIN32
// Where the Windows profile functions answer otherwise than our rules, and why we keep ours.
// (Measured under Wine; a run on Windows should confirm each.)
const std::map<std::string, std::string>& windowsDiffers() {
  static const std::map<std::string, std::string> differs = {
      {"line without = is not a key",
       "Windows takes a line without '=' as a key without a value, which then hides the later K=v; "
       "a hand-edited line without '=' should not hide a real key"},
      {"NUL bytes are ordinary", "Windows ends a value at its first NUL (C strings); ours keeps the bytes"},
      {"invalid UTF-8 kept as bytes",
       "Windows reads a file without a byte-order mark in the ANSI code page, so the bytes become other "
       "characters; ours keeps the bytes as they are, as Linux paths need"},
  };
  return differs;
}
#endif

TEST(ProfileTable, PlatformReadsRealFilesByTheSameRules) {
  test::TempDir tmp;
  ProfileStore& platform = systemPlatform().profiles;
  int index = 0;
  for (const auto& c : test::iniReadCases()) {
    const std::string path = tmp.write("case" + std::to_string(index++) + ".ini", c.text);
    const std::string got = platform.readString(path, c.section, c.key, "<default>");
    const std::string expected = c.expected.value_or("<default>");
#ifdef _WIN32
    if (auto why = windowsDiffers().find(c.what); why != windowsDiffers().end()) {
      EXPECT_NE(got, expected) << c.what << ": no longer differs (" << why->second << ")";
      continue;
    }
#endif
    EXPECT_EQ(got, expected) << c.what;
  }
}

// Writing: whatever a file held, a written value reads back whole and the other values stay.
struct WriteCase {
  std::string what;
  std::optional<std::string> before;  // none: no file yet
  std::string section, key, value;
  // What the file answers afterwards: section, key, value (or none for the default).
  std::vector<std::tuple<std::string, std::string, std::optional<std::string>>> after;
};

std::vector<WriteCase> writeCases() {
  const std::string longValue(5000, 'L');
  return {
      {"a new file", std::nullopt, "S", "K", "v", {{"S", "K", "v"}}},
      {"a value replaced, its neighbours kept",
       "[S]\r\nK=old\r\nO=1\r\n",
       "S",
       "K",
       "new",
       {{"S", "K", "new"}, {"S", "O", "1"}}},
      {"section and key found without case",
       "[s]\r\nk=old\r\n",
       "S",
       "K",
       "new",
       {{"S", "K", "new"}, {"s", "k", "new"}}},
      {"a new section", "[A]\r\nX=1\r\n", "B", "Y", "2", {{"B", "Y", "2"}, {"A", "X", "1"}}},
      {"a new key stays in its section",
       "[A]\r\nX=1\r\n[B]\r\nZ=3\r\n",
       "A",
       "Y",
       "2",
       {{"A", "Y", "2"}, {"A", "X", "1"}, {"B", "Z", "3"}, {"B", "Y", std::nullopt}}},
      {"a long value", "[S]\r\nK=short\r\n", "S", "K", longValue, {{"S", "K", longValue}}},
      {"spaces inside a value", std::nullopt, "S", "K", "a b  c", {{"S", "K", "a b  c"}}},
      {"an empty value is a value", "[S]\r\nK=old\r\n", "S", "K", "", {{"S", "K", ""}}},
      {"Base64 text as the settings file writes it",
       std::nullopt,
       "FILTERS",
       "EXTENSIONS",
       "LmV4ZQ0KLmJhdA0K",
       {{"FILTERS", "EXTENSIONS", "LmV4ZQ0KLmJhdA0K"}}},
  };
}

TEST(ProfileTable, PlatformWritesRealFilesByTheSameRules) {
  test::TempDir tmp;
  ProfileStore& platform = systemPlatform().profiles;
  int index = 0;
  for (const auto& c : writeCases()) {
    const std::string path = tmp.file("write" + std::to_string(index++) + ".ini");
    if (c.before) tmp.write("write" + std::to_string(index - 1) + ".ini", *c.before);
    EXPECT_TRUE(platform.writeString(path, c.section, c.key, c.value).ok()) << c.what;
    platform.flush(path);
    for (const auto& [section, key, value] : c.after) {
      EXPECT_EQ(platform.readString(path, section, key, "<default>"), value.value_or("<default>"))
          << c.what << ": [" << section << "] " << key;
    }
  }
}

}  // namespace
}  // namespace tw
