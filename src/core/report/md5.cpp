#include "core/report/md5.h"

#include <cstddef>
#include <cstring>

namespace tw {

namespace {

inline std::uint32_t rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline std::uint32_t load32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The four auxiliary functions of RFC 1321 section 3.4, in forms with fewer operations.
inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (z & (x ^ y)); }
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

#define TW_MD5_STEP(f, a, b, c, d, x, t, s) \
  (a) += f(b, c, d) + (x) + (t);            \
  (a) = rotl((a), (s)) + (b);

}  // namespace

Md5::Md5() : state{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u}, buffer{} {}

void Md5::transform(const unsigned char* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = load32(block + static_cast<std::ptrdiff_t>(4 * i));
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

  TW_MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478u, 7)
  TW_MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756u, 12)
  TW_MD5_STEP(F, c, d, a, b, x[2], 0x242070dbu, 17)
  TW_MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceeeu, 22)
  TW_MD5_STEP(F, a, b, c, d, x[4], 0xf57c0fafu, 7)
  TW_MD5_STEP(F, d, a, b, c, x[5], 0x4787c62au, 12)
  TW_MD5_STEP(F, c, d, a, b, x[6], 0xa8304613u, 17)
  TW_MD5_STEP(F, b, c, d, a, x[7], 0xfd469501u, 22)
  TW_MD5_STEP(F, a, b, c, d, x[8], 0x698098d8u, 7)
  TW_MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7afu, 12)
  TW_MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1u, 17)
  TW_MD5_STEP(F, b, c, d, a, x[11], 0x895cd7beu, 22)
  TW_MD5_STEP(F, a, b, c, d, x[12], 0x6b901122u, 7)
  TW_MD5_STEP(F, d, a, b, c, x[13], 0xfd987193u, 12)
  TW_MD5_STEP(F, c, d, a, b, x[14], 0xa679438eu, 17)
  TW_MD5_STEP(F, b, c, d, a, x[15], 0x49b40821u, 22)

  TW_MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562u, 5)
  TW_MD5_STEP(G, d, a, b, c, x[6], 0xc040b340u, 9)
  TW_MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51u, 14)
  TW_MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aau, 20)
  TW_MD5_STEP(G, a, b, c, d, x[5], 0xd62f105du, 5)
  TW_MD5_STEP(G, d, a, b, c, x[10], 0x02441453u, 9)
  TW_MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681u, 14)
  TW_MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8u, 20)
  TW_MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6u, 5)
  TW_MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6u, 9)
  TW_MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87u, 14)
  TW_MD5_STEP(G, b, c, d, a, x[8], 0x455a14edu, 20)
  TW_MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905u, 5)
  TW_MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8u, 9)
  TW_MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9u, 14)
  TW_MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8au, 20)

  TW_MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942u, 4)
  TW_MD5_STEP(H, d, a, b, c, x[8], 0x8771f681u, 11)
  TW_MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122u, 16)
  TW_MD5_STEP(H, b, c, d, a, x[14], 0xfde5380cu, 23)
  TW_MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44u, 4)
  TW_MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9u, 11)
  TW_MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60u, 16)
  TW_MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70u, 23)
  TW_MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6u, 4)
  TW_MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fau, 11)
  TW_MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085u, 16)
  TW_MD5_STEP(H, b, c, d, a, x[6], 0x04881d05u, 23)
  TW_MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039u, 4)
  TW_MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5u, 11)
  TW_MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8u, 16)
  TW_MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665u, 23)

  TW_MD5_STEP(I, a, b, c, d, x[0], 0xf4292244u, 6)
  TW_MD5_STEP(I, d, a, b, c, x[7], 0x432aff97u, 10)
  TW_MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7u, 15)
  TW_MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039u, 21)
  TW_MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3u, 6)
  TW_MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92u, 10)
  TW_MD5_STEP(I, c, d, a, b, x[10], 0xffeff47du, 15)
  TW_MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1u, 21)
  TW_MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4fu, 6)
  TW_MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0u, 10)
  TW_MD5_STEP(I, c, d, a, b, x[6], 0xa3014314u, 15)
  TW_MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1u, 21)
  TW_MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82u, 6)
  TW_MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235u, 10)
  TW_MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bbu, 15)
  TW_MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391u, 21)

  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

#undef TW_MD5_STEP

void Md5::update(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t used = static_cast<std::size_t>(length % 64);
  length += size;
  if (used != 0) {
    const std::size_t take = size < 64 - used ? size : 64 - used;
    std::memcpy(buffer + used, p, take);
    p += take;
    size -= take;
    used += take;
    if (used < 64) return;
    transform(buffer);
  }
  for (; size >= 64; size -= 64, p += 64) transform(p);
  if (size > 0) std::memcpy(buffer, p, size);
}

Md5Digest Md5::finish() {
  // Padding: one 1 bit, zeros up to 56 bytes modulo 64, then the length in bits, low byte
  // first (the length counts modulo 2^64, as the RFC says).
  const std::uint64_t bits = length * 8;
  unsigned char pad[72] = {0x80};
  const std::size_t used = static_cast<std::size_t>(length % 64);
  const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  unsigned char tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<unsigned char>(bits >> (8 * i));
  update(pad, padLength);
  update(tail, 8);
  Md5Digest digest{};
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::size_t j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(state[i] >> (8 * j));
  }
  return digest;
}

Md5Digest md5Of(std::string_view data) {
  Md5 md5;
  md5.update(data);
  return md5.finish();
}

std::string digestToHex(const Md5Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(32);
  for (const std::uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

}  // namespace tw
