#include "core/settings/ini_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "core/settings/ini_read_cases.h"

namespace tw {
namespace {

using namespace std::string_literals;

// The reading rules of the profile functions, one case each.
TEST(IniText, ReadRules) {
  for (const auto& c : test::iniReadCases()) {
    EXPECT_EQ(iniReadValue(c.text, c.section, c.key), c.expected) << c.what;
  }
}

struct WriteCase {
  const char* what;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

// The writing rules: create what is missing, replace in place, keep every other byte.
TEST(IniText, WriteRules) {
  const WriteCase cases[] = {
      {"new file, CR LF", "", "S", "K", "v", "[S]\r\nK=v\r\n"},
      {"replace in place", "[S]\r\nA=1\r\nK=old\r\nB=2\r\n", "S", "K", "new",
       "[S]\r\nA=1\r\nK=new\r\nB=2\r\n"},
      {"replace keeps spelling and drops blanks", "[S]\r\n  key = old \r\n", "S", "KEY", "v",
       "[S]\r\nkey=v\r\n"},
      {"replace the first duplicate only", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "3", "[S]\r\nK=3\r\nK=2\r\n"},
      {"replace keeps the line's own ending", "[S]\nK=1\r\nB=2\r", "S", "K", "9", "[S]\nK=9\r\nB=2\r"},
      {"replace with empty value", "[S]\r\nK=1\r\n", "S", "K", "", "[S]\r\nK=\r\n"},
      {"new key at end of its section", "[S]\r\nA=1\r\n[T]\r\nB=2\r\n", "S", "K", "v",
       "[S]\r\nA=1\r\nK=v\r\n[T]\r\nB=2\r\n"},
      {"new key before the blank lines", "[S]\r\nA=1\r\n\r\n[T]\r\n", "S", "K", "v",
       "[S]\r\nA=1\r\nK=v\r\n\r\n[T]\r\n"},
      {"new key in an empty section", "[S]\r\n[T]\r\n", "S", "K", "v", "[S]\r\nK=v\r\n[T]\r\n"},
      {"new key after a last line without ending", "[S]\r\nA=1", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n"},
      {"new key goes to the first of duplicate sections", "[S]\r\nA=1\r\n[S]\r\nB=2\r\n", "S", "K", "v",
       "[S]\r\nA=1\r\nK=v\r\n[S]\r\nB=2\r\n"},
      {"new section at the end", "[T]\r\nB=2\r\n", "S", "K", "v", "[T]\r\nB=2\r\n[S]\r\nK=v\r\n"},
      {"new section after a last line without ending", "[T]\r\nB=2", "S", "K", "v",
       "[T]\r\nB=2\r\n[S]\r\nK=v\r\n"},
      {"new lines follow LF files", "[T]\nB=2\n", "S", "K", "v", "[T]\nB=2\n[S]\nK=v\n"},
      {"new lines follow CR files", "[S]\rA=1\r", "S", "K", "v", "[S]\rA=1\rK=v\r"},
      {"CR ending before an LF blank line", "[S]\rA=1\n\n", "S", "K", "v", "[S]\rA=1\nK=v\r\n\n"},
      {"section found without case", "[s]\r\n", "S", "K", "v", "[s]\r\nK=v\r\n"},
      {"byte-order mark and junk kept", "\xEF\xBB\xBFjunk\0\r\n[S]\r\n"s, "S", "K", "v",
       "\xEF\xBB\xBFjunk\0\r\n[S]\r\nK=v\r\n"s},
      {"keys before any section are not the section's", "K=1\r\n", "S", "K", "v", "K=1\r\n[S]\r\nK=v\r\n"},
      {"only a byte-order mark", "\xEF\xBB\xBF", "S", "K", "v", "\xEF\xBB\xBF\r\n[S]\r\nK=v\r\n"},
  };
  for (const auto& c : cases) {
    const std::string after = iniWriteValue(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after) << c.what;
    EXPECT_EQ(iniReadValue(after, c.section, c.key), c.value) << c.what;
  }
}

TEST(IniText, EntriesThatWouldNotReadBackAreRefused) {
  EXPECT_EQ(iniCheckEntry("EVENTS", "EVENTS", "V0Q0K"), "");
  EXPECT_EQ(iniCheckEntry("", "K", ""), "");
  EXPECT_NE(iniCheckEntry("S\r\nX", "K", "v"), "");
  EXPECT_NE(iniCheckEntry("S]", "K", "v"), "");
  EXPECT_NE(iniCheckEntry("S", "", "v"), "");
  EXPECT_NE(iniCheckEntry("S", " \t", "v"), "");
  EXPECT_NE(iniCheckEntry("S", "[K", "v"), "");
  EXPECT_NE(iniCheckEntry("S", "K=", "v"), "");
  EXPECT_NE(iniCheckEntry("S", "K\n", "v"), "");
  EXPECT_NE(iniCheckEntry("S", "K", "a\rb"), "");
  EXPECT_NE(iniCheckEntry("S", "K", "a\nb"), "");
}

// Values of any length are read whole (no cut at 2047 characters).
TEST(IniText, LongValuesReadWhole) {
  const std::string value(1 << 20, 'Q');
  const std::string text = iniWriteValue("[S]\r\nK=short\r\n", "S", "K", value);
  EXPECT_EQ(iniReadValue(text, "S", "K"), value);
}

// Megabytes of junk around real keys: the keys that can be read are read, and a write keeps
// every other byte of the text.
TEST(IniText, JunkAroundRealKeys) {
  std::mt19937 random(42);
  std::string junk;
  for (int i = 0; i < 4 << 20; ++i) {
    char c = static_cast<char>(random() & 0xFF);
    if (c == '[' || c == '\r' || c == '\n') c = 'x';  // no accidental headers or line breaks
    junk.push_back(c);
  }
  const std::string text = "\xEF\xBB\xBF" + junk + "\r\n[GLOBAL]\r\n" + junk + "\nTRAY=Y\r" + junk;
  EXPECT_EQ(iniReadValue(text, "GLOBAL", "TRAY"), "Y");
  const std::string written = iniWriteValue(text, "GLOBAL", "AUTOCLEAN", "N");
  EXPECT_EQ(iniReadValue(written, "GLOBAL", "AUTOCLEAN"), "N");
  EXPECT_EQ(iniReadValue(written, "GLOBAL", "TRAY"), "Y");
  // The new key went in after the last non-blank line of the section, the junk at the end,
  // which first gets the text's line ending; nothing of the old text changed.
  EXPECT_EQ(written, text + "\r\nAUTOCLEAN=N\r\n");
}

TEST(IniText, NoSectionsAtAll) {
  const std::string text = "just words\r\nK=v\r\n= \r\n]\r\n";
  EXPECT_EQ(iniReadValue(text, "S", "K"), std::nullopt);
  EXPECT_EQ(iniWriteValue(text, "S", "K", "w"), text + "[S]\r\nK=w\r\n");
}

}  // namespace
}  // namespace tw
