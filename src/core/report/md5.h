#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

using Md5Digest = std::array<std::uint8_t, 16>;

// The MD5 message digest of RFC 1321, computed incrementally: update() any number of times
// with consecutive pieces of the message, then finish() once.
class Md5 {
 public:
  Md5();
  void update(const void* data, std::size_t size);
  void update(std::string_view data) { update(data.data(), data.size()); }
  // The digest of everything fed so far. The object is spent afterwards.
  Md5Digest finish();

 private:
  void transform(const unsigned char* block);

  std::uint32_t state[4];
  std::uint64_t length = 0;  // bytes fed
  unsigned char buffer[64];
};

// The digest of one text.
Md5Digest md5Of(std::string_view data);

// The digest as 32 lower-case hexadecimal digits, bytes in digest order, high four bits first.
std::string digestToHex(const Md5Digest& digest);

}  // namespace tw
