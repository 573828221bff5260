#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tw {

// Identifies a text held by a TextPool. 0 is always the empty text.
using TextId = std::uint32_t;

// Keeps each distinct text once and hands out a 32-bit id for it, so that the thousands of
// repeated folder names, file names and action names of a recording cost four bytes each where
// they are used. Texts are never removed one by one; clear() drops them all (ids handed out
// before are then meaningless).
//
// Thread: whoever owns the pool (the user-interface thread for the capture models); no lock.
class TextPool {
 public:
  TextPool();
  TextPool(const TextPool&) = delete;
  TextPool& operator=(const TextPool&) = delete;

  // The id of `text`, adding it when it is new.
  TextId intern(std::string_view text);
  std::string_view text(TextId id) const {
    const Entry& e = entries[id];
    return {e.data, e.size};
  }
  // A hash of the text with only the ASCII letters a to z folded to upper case, so that two
  // texts equal without ASCII case have the same folded hash.
  std::uint32_t foldedHash(TextId id) const { return entries[id].folded; }
  // The number of distinct texts, the empty text included.
  std::size_t size() const { return entries.size(); }
  // Drops every text but the empty one.
  void clear();
  // How many times the pool was cleared: ids handed out before a clear mean nothing after it.
  std::uint64_t clears() const { return clearCount; }
  // Bytes held (texts, entries and table), for the benchmarks.
  std::size_t bytesUsed() const;

  static std::uint32_t hashFolded(std::string_view text);
  static std::uint64_t hashExact(std::string_view text);

 private:
  struct Entry {
    const char* data;
    std::uint32_t size;
    std::uint32_t folded;
  };
  static constexpr TextId kEmptySlot = 0xFFFFFFFFu;

  // The upper half of the text's exact hash.
  static std::uint32_t tagOf(std::string_view text) {
    return static_cast<std::uint32_t>(hashExact(text) >> 32);
  }
  const char* store(std::string_view text);
  void grow();

  std::vector<Entry> entries;
  // Open addressing, linear probing; a free slot holds kEmptySlot. Each slot keeps its text's
  // tag (tagOf), whose low bits choose the slot: a probe passes other texts without reading them,
  // and growing the table places every text again without reading it (a table of a million
  // texts grows in milliseconds, where hashing them all again took about a tenth of a second).
  struct Slot {
    TextId id;
    std::uint32_t tag;
  };
  std::vector<Slot> table;
  std::vector<std::unique_ptr<char[]>> blocks;
  std::size_t blockLeft = 0;
  char* blockNext = nullptr;
  std::size_t textBytes = 0;
  std::uint64_t clearCount = 0;
};

}  // namespace tw
