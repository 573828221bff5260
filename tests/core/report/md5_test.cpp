#include "core/report/md5.h"

#include <gtest/gtest.h>

#include <random>

namespace tw {
namespace {

TEST(Md5, Rfc1321TestSuite) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, digest] : suite) {
    SCOPED_TRACE(message);
    EXPECT_EQ(digestToHex(md5Of(message)), digest);
  }
}

TEST(Md5, PaddingBoundariesAndLongInput) {
  // Lengths around the 56- and 64-byte boundaries of the padding, known from other tools.
  EXPECT_EQ(digestToHex(md5Of(std::string(55, 'a'))), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(digestToHex(md5Of(std::string(56, 'a'))), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(digestToHex(md5Of(std::string(64, 'a'))), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(digestToHex(md5Of(std::string(1000000, 'a'))), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  std::mt19937 random(3);
  std::string message(5000, '\0');
  for (char& c : message) c = static_cast<char>(random());
  const Md5Digest whole = md5Of(message);
  for (int round = 0; round < 50; ++round) {
    Md5 md5;
    std::size_t at = 0;
    while (at < message.size()) {
      const std::size_t size = std::min<std::size_t>(random() % 150, message.size() - at);
      md5.update(message.data() + at, size);
      at += size;
    }
    ASSERT_EQ(md5.finish(), whole);
  }
}

TEST(Md5, DigestTextIsLowerCaseHighNibbleFirst) {
  Md5Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i * 17);
  EXPECT_EQ(digestToHex(digest), "00112233445566778899aabbccddeeff");
  digest.fill(0xA5);
  EXPECT_EQ(digestToHex(digest), "a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5");
}

}  // namespace
}  // namespace tw
