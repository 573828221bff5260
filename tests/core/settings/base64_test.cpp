#include "core/settings/base64.h"

#include <gtest/gtest.h>

#include <random>

namespace tw {
namespace {

TEST(Base64, Rfc4648VectorsBothWays) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& [plain, coded] : vectors) {
    EXPECT_EQ(encodeBase64(plain), coded) << plain;
    EXPECT_EQ(decodeBase64(coded), plain) << coded;
  }
}

TEST(Base64, SettingsValues) {
  EXPECT_EQ(encodeBase64("Y\r\n"), "WQ0K");
  EXPECT_EQ(encodeBase64("N\r\n"), "Tg0K");
  EXPECT_EQ(encodeBase64(".exe\r\n.dll\r\n"), "LmV4ZQ0KLmRsbA0K");
  EXPECT_EQ(encodeBase64("\xFB\xFF\xFE"), "+//+");  // the two characters beyond the letters
}

TEST(Base64, EveryByteValueRoundTrips) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length < 70; ++length) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<char>(random() & 0xFF));
    const std::string coded = encodeBase64(bytes);
    EXPECT_EQ(coded.size(), (length + 2) / 3 * 4);
    EXPECT_EQ(coded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(decodeBase64(coded), bytes) << length;
  }
}

// The decoding of hand-edited values: defined and never failing.
TEST(Base64, DecodingRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"WQ0KWQ", "Y\r\n"},   // a trailing group of two is ignored
      {"WQ0KW", "Y\r\n"},    // ... of one
      {"WQ0KWQ0", "Y\r\n"},  // ... of three
      {"Zg", ""},            // unpadded short input gives nothing
      {"Zg==", "f"},         // "=" drops bytes in the last group
      {"Zm8=", "fo"},
      {"W Q 0\tK", "Y\r\n"},      // blanks are skipped
      {"WQ\r\n0K", "Y\r\n"},      // so are line breaks
      {"W*Q!0-K", "Y\r\n"},       // and characters outside the alphabet
      {"\xC3\xA9WQ0K", "Y\r\n"},  // and non-ASCII bytes
      {"Zg==Zm8=", "ffo"},        // a padded group in the middle ends its own piece
      {"Z===Zm9v", "foo"},        // a group with one character before "=" gives nothing
      {"====", ""},
      {"Zm=v", "f"},  // only the characters before the first "=" count
      {"!!!!", ""},
  };
  for (const auto& [coded, plain] : cases) {
    EXPECT_EQ(decodeBase64(coded), plain) << coded;
  }
}

TEST(Base64, NonAsciiTextSurvives) {
  const std::string paths =
      "C:\\Documents\\Caf\xC3\xA9 cr\xC3\xA8me\\\r\n"                                       // accented Latin
      "C:\\\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\xD1\x8B\\\r\n"  // Cyrillic
      "C:\\\xE6\x96\x87\xE4\xBB\xB6\\\r\n"                                                  // CJK
      "C:\\\xF0\x9F\x98\x80\\\r\n";                                                         // emoji
  EXPECT_EQ(decodeBase64(encodeBase64(paths)), paths);
}

}  // namespace
}  // namespace tw
