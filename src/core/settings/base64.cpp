#include "core/settings/base64.h"

#include <array>

namespace tw {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kPad = 64;
constexpr int kSkip = -1;

constexpr std::array<int, 256> makeDecodeTable() {
  std::array<int, 256> table{};
  for (int& v : table) v = kSkip;
  for (std::size_t i = 0; i < kAlphabet.size(); ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int>(i);
  table[static_cast<unsigned char>('=')] = kPad;
  return table;
}

constexpr std::array<int, 256> kDecode = makeDecodeTable();

}  // namespace

std::string encodeBase64(std::string_view text) {
  std::string out;
  out.reserve((text.size() + 2) / 3 * 4);
  std::size_t i = 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(text[k])); };
  for (; i + 3 <= text.size(); i += 3) {
    const unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out.push_back(kAlphabet[v >> 18 & 63]);
    out.push_back(kAlphabet[v >> 12 & 63]);
    out.push_back(kAlphabet[v >> 6 & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const std::size_t rest = text.size() - i;
  if (rest > 0) {
    const unsigned v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0u);
    out.push_back(kAlphabet[v >> 18 & 63]);
    out.push_back(kAlphabet[v >> 12 & 63]);
    out.push_back(rest == 2 ? kAlphabet[v >> 6 & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::string decodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::array<int, 4> group{};
  std::size_t filled = 0;
  for (const char c : text) {
    const int v = kDecode[static_cast<unsigned char>(c)];
    if (v == kSkip) continue;
    group[filled++] = v;
    if (filled < 4) continue;
    filled = 0;
    std::size_t data = 0;
    while (data < 4 && group[data] != kPad) ++data;
    if (data < 2) continue;
    const unsigned bits = static_cast<unsigned>(group[0]) << 18 | static_cast<unsigned>(group[1]) << 12 |
                          (data > 2 ? static_cast<unsigned>(group[2]) << 6 : 0u) |
                          (data > 3 ? static_cast<unsigned>(group[3]) : 0u);
    out.push_back(static_cast<char>(bits >> 16 & 0xFF));
    if (data > 2) out.push_back(static_cast<char>(bits >> 8 & 0xFF));
    if (data > 3) out.push_back(static_cast<char>(bits & 0xFF));
  }
  return out;
}

}  // namespace tw
