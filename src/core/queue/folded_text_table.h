#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Texts compared without ASCII case (only a-z and A-Z are folded), found by a hash of the
// folded bytes taken eight at a time. A key is a text within a group (a number the owner
// chooses), so that one table serves several sets.
//
// The hash is a chain over the text's 8-byte words (the last one padded with zero bytes) and
// then its length, so that the hashes of all the prefixes of a path can be had in one pass over
// it (chain, finish). A lookup reads one bit of a small filter first (in cache even for 100,000
// keys): most texts the table does not hold never touch the table itself. A text of up to eight
// bytes is compared in its slot, a longer one in the table's text store.
//
// Thread: built on one thread; then any number of threads may look up at the same time.
class FoldedTextTable {
 public:
  // The first `length` (at most 8) bytes from `bytes`, ASCII upper-cased, as one word; the other
  // bytes of the word are 0.
  static std::uint64_t foldedWord(const char* bytes, std::size_t length) {
    char padded[8] = {};
    if (length > 0) std::memcpy(padded, bytes, std::min<std::size_t>(length, 8));
    return foldedWordWithin(padded, length);
  }
  // The same, when eight bytes from `bytes` may be read.
  static std::uint64_t foldedWordWithin(const char* bytes, std::size_t length) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, 8);
    word &= kFirstBytes[std::min<std::size_t>(length, 8)];
    // A byte is a lower-case ASCII letter when it is at least 'a', at most 'z' and below 0x80;
    // each test sets the byte's high bit (the sums cannot carry into the next byte).
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highBits = 0x8080808080808080ull;
    const std::uint64_t low7 = word & ~highBits;
    const std::uint64_t atLeastA = low7 + (0x80 - 'a') * ones;
    const std::uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * ones;
    const std::uint64_t lower = atLeastA & ~aboveZ & ~word & highBits;
    return word - (lower >> 2);  // 0x80 >> 2 is 0x20, the distance from a to A
  }
  static constexpr std::uint64_t kChainStart = 0x2545f4914f6cdd1dull;
  // The chain after one more folded word.
  static std::uint64_t chain(std::uint64_t hash, std::uint64_t word) {
    hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    return hash ^ (hash >> 32);
  }
  // The hash of a text from the chain over its words and its length.
  static std::uint64_t finish(std::uint64_t chained, std::size_t length) {
    return chain(chained, length * 0x9e3779b97f4a7c15ull);
  }
  static std::uint64_t hashOf(std::string_view text);

  // Adds the key with `value` unless the table has it; returns the value the key has now.
  std::uint32_t insert(std::uint32_t group, std::string_view text, std::uint32_t value);
  // The value of the key whose folded text equals `text` (followed by `appended` when given)
  // folded; `textHash` is the hash of that whole text.
  std::optional<std::uint32_t> find(std::uint32_t group, std::uint64_t textHash, std::string_view text,
                                    std::optional<char> appended = std::nullopt) const;
  std::optional<std::uint32_t> find(std::uint32_t group, std::string_view text) const {
    return find(group, hashOf(text), text);
  }
  std::size_t size() const { return count; }

 private:
  // The words whose first n bytes (in memory order) are 0xFF and the others 0, by n.
  static constexpr std::array<std::uint64_t, 9> kFirstBytes = [] {
    std::array<std::uint64_t, 9> all{};
    for (std::size_t n = 0; n <= 8; ++n) {
      std::array<unsigned char, 8> bytes{};
      for (std::size_t i = 0; i < n; ++i) bytes[i] = 0xFF;
      all[n] = std::bit_cast<std::uint64_t>(bytes);
    }
    return all;
  }();

  struct Slot {
    std::uint32_t tag = 0;  // high bits of the slot hash, never 0 in a used slot
    std::uint32_t group = 0;
    std::uint32_t value = 0;
    std::uint32_t length = 0;
    std::uint64_t text = 0;  // the folded text when it has at most 8 bytes; else its offset in `texts`
  };
  static std::uint64_t slotHash(std::uint32_t group, std::uint64_t textHash);
  bool matches(const Slot& slot, std::string_view text, std::optional<char> appended) const;
  void rebuild(std::size_t slots);
  void place(const Slot& slot, std::uint64_t hash);

  std::vector<Slot> table;          // a power of two in size, at most half full
  std::vector<std::uint64_t> seen;  // one bit per key's slot hash; eight bits or more per key
  std::string texts;                // the folded texts longer than 8 bytes, one after the other
  std::size_t count = 0;
};

}  // namespace tw
