#include "core/queue/folded_text_table.h"

#include <algorithm>
#include <cstring>

#include "core/text/path_style.h"

namespace tw {

namespace {

// The finaliser of splitmix64: spreads every bit of the input over the whole result.
inline std::uint64_t spread(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

std::size_t powerOfTwoAtLeast(std::size_t n) {
  std::size_t size = 16;
  while (size < n) size *= 2;
  return size;
}

}  // namespace

std::uint64_t FoldedTextTable::hashOf(std::string_view text) {
  std::uint64_t chained = kChainStart;
  for (std::size_t at = 0; at < text.size(); at += 8) {
    chained = chain(chained, foldedWord(text.data() + at, std::min<std::size_t>(8, text.size() - at)));
  }
  return finish(chained, text.size());
}

std::uint64_t FoldedTextTable::slotHash(std::uint32_t group, std::uint64_t textHash) {
  return spread(textHash ^ (static_cast<std::uint64_t>(group) * 0xc2b2ae3d27d4eb4full));
}

bool FoldedTextTable::matches(const Slot& slot, std::string_view text, std::optional<char> appended) const {
  const std::size_t length = text.size() + (appended ? 1 : 0);
  if (slot.length != length) return false;
  if (length <= 8) {
    char bytes[8] = {};
    if (!text.empty()) std::memcpy(bytes, text.data(), text.size());
    if (appended) bytes[text.size()] = *appended;
    return slot.text == foldedWord(bytes, length);
  }
  const char* stored = texts.data() + slot.text;
  for (std::size_t at = 0; at < text.size(); at += 8) {
    const std::size_t n = std::min<std::size_t>(8, text.size() - at);
    if (foldedWord(stored + at, n) != foldedWord(text.data() + at, n)) return false;
  }
  return !appended || stored[text.size()] == asciiUpper(*appended);
}

void FoldedTextTable::rebuild(std::size_t slots) {
  std::vector<Slot> old = std::move(table);
  table.assign(slots, Slot{});
  // Eight bits per slot of a table at most half full.
  seen.assign(std::max<std::size_t>(1, slots / 8), 0);
  for (const Slot& slot : old) {
    if (slot.tag == 0) continue;
    // Only part of the slot's hash is kept: hash the folded text again (folding it again
    // changes nothing).
    const std::string_view text =
        slot.length <= 8 ? std::string_view(reinterpret_cast<const char*>(&slot.text), slot.length)
                         : std::string_view(texts.data() + slot.text, slot.length);
    place(slot, slotHash(slot.group, hashOf(text)));
  }
}

void FoldedTextTable::place(const Slot& slot, std::uint64_t hash) {
  const std::size_t mask = table.size() - 1;
  std::size_t i = hash & mask;
  while (table[i].tag != 0) i = (i + 1) & mask;
  table[i] = slot;
  const std::size_t bit = (hash >> 40) & (seen.size() * 64 - 1);
  seen[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

std::uint32_t FoldedTextTable::insert(std::uint32_t group, std::string_view text, std::uint32_t value) {
  const std::uint64_t textHash = hashOf(text);
  if (const auto known = find(group, textHash, text)) return *known;
  if ((count + 1) * 2 > table.size()) rebuild(powerOfTwoAtLeast((count + 1) * 2));
  const std::uint64_t hash = slotHash(group, textHash);
  Slot slot;
  slot.tag = static_cast<std::uint32_t>(hash >> 32) | 1u;
  slot.group = group;
  slot.value = value;
  slot.length = static_cast<std::uint32_t>(text.size());
  if (text.size() <= 8) {
    slot.text = foldedWord(text.data(), text.size());
  } else {
    slot.text = texts.size();
    for (const char c : text) texts.push_back(asciiUpper(c));
  }
  place(slot, hash);
  ++count;
  return value;
}

std::optional<std::uint32_t> FoldedTextTable::find(std::uint32_t group, std::uint64_t textHash,
                                                   std::string_view text,
                                                   std::optional<char> appended) const {
  if (count == 0) return std::nullopt;
  const std::uint64_t hash = slotHash(group, textHash);
  const std::size_t bit = (hash >> 40) & (seen.size() * 64 - 1);
  if ((seen[bit / 64] & (std::uint64_t{1} << (bit % 64))) == 0) return std::nullopt;
  const auto tag = static_cast<std::uint32_t>(hash >> 32) | 1u;
  const std::size_t mask = table.size() - 1;
  for (std::size_t i = hash & mask; table[i].tag != 0; i = (i + 1) & mask) {
    const Slot& slot = table[i];
    if (slot.tag == tag && slot.group == group && matches(slot, text, appended)) return slot.value;
  }
  return std::nullopt;
}

}  // namespace tw
