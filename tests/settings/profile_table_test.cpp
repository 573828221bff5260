// The profile functions of the running system's platform, on real files, held to the same table
// of reading rules as the core's INI text code.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "platform/platform.h"
#include "settings/ini_read_cases.h"
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
  Platform& platform = systemPlatform();
  int index = 0;
  for (const auto& c : test::iniReadCases()) {
    const std::string path = tmp.write("case" + std::to_string(index++) + ".ini", c.text);
    const std::string got = platform.readProfileString(path, c.section, c.key, "<default>");
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

}  // namespace
}  // namespace tw
