#include <gtest/gtest.h>

#include "core/text/path_style.h"
#include "core/text/text_lines.h"

namespace tw {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, EveryBreakKind) {
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then a lone CR: two breaks
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"\r\n\r\n", {"", ""}},
      {"\n\n\n", {"", "", ""}},
      {"  x \t\r\n", {"  x \t"}},
      {std::string("n\0ul\r\nz", 7), {std::string("n\0ul", 4), "z"}},
      {"caf\xC3\xA9\r\n\xFF\xFE\n", {"caf\xC3\xA9", "\xFF\xFE"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(splitLines(c.text), c.lines);
  }
}

TEST(SplitLines, JoinIsTheRowCaptionText) {
  EXPECT_EQ(joinLinesCrLf({}), "");
  EXPECT_EQ(joinLinesCrLf({"C:\\Temp\\"}), "C:\\Temp\\\r\n");
  const Lines lines = {".exe", "", ".dll"};
  EXPECT_EQ(splitLines(joinLinesCrLf(lines)), lines);
}

TEST(PathStyle, SeparatorsAndTrailingSeparator) {
  struct Case {
    PathStyle style;
    const char* path;
    const char* withSep;
  } cases[] = {
      {PathStyle::Windows, "C:\\Windows", "C:\\Windows\\"},
      {PathStyle::Windows, "C:\\", "C:\\"},
      {PathStyle::Windows, "", "\\"},
      {PathStyle::Windows, "C:/dir", "C:/dir\\"},  // '/' is an ordinary character
      {PathStyle::Posix, "/home/u", "/home/u/"},
      {PathStyle::Posix, "/", "/"},
      {PathStyle::Posix, "", "/"},
      {PathStyle::Posix, "/a\\b", "/a\\b/"},  // '\' is an ordinary character
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(withTrailingSeparator(c.path, c.style), c.withSep);
  }
}

TEST(PathStyle, AsciiOnlyCaseFolding) {
  EXPECT_EQ(asciiUpper("c:\\temp\\a.txt"), "C:\\TEMP\\A.TXT");
  EXPECT_EQ(asciiUpper("\xC3\xA9t\xC3\xA9"), "\xC3\xA9T\xC3\xA9");  // é stays é
  EXPECT_TRUE(equalsIgnoreAsciiCase(".EXE", ".exe"));
  EXPECT_FALSE(equalsIgnoreAsciiCase("\xC3\x89", "\xC3\xA9"));  // É is not é
  EXPECT_FALSE(equalsIgnoreAsciiCase(".exe", ".exe "));
  EXPECT_TRUE(startsWithIgnoreAsciiCase("C:\\TEMP\\a.txt", "c:\\temp\\"));
  EXPECT_TRUE(startsWithIgnoreAsciiCase("abc", ""));
  EXPECT_FALSE(startsWithIgnoreAsciiCase("C:\\Tem", "c:\\temp\\"));
  // Bytes outside ASCII never fold onto ASCII letters.
  for (int b = 128; b < 256; ++b) EXPECT_EQ(asciiUpper(static_cast<char>(b)), static_cast<char>(b));
}

}  // namespace
}  // namespace tw
