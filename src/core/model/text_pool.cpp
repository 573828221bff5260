#include "core/model/text_pool.h"

#include <cstring>
#include <stdexcept>

#include "core/text/path_style.h"

namespace tw {

namespace {

constexpr std::size_t kBlockSize = std::size_t{64} * 1024;
constexpr std::size_t kOwnBlockAbove = std::size_t{4} * 1024;  // longer texts get a block of their own

std::uint32_t mix32(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return static_cast<std::uint32_t>(h);
}

}  // namespace

TextPool::TextPool() { clear(); }

std::uint32_t TextPool::hashFolded(std::string_view text) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(asciiUpper(c));
    h *= 0x100000001b3ULL;
  }
  return mix32(h);
}

std::uint64_t TextPool::hashExact(std::string_view text) {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ text.size();
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    h = (h ^ w) * 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 31;
  }
  std::uint64_t tail = 0;
  if (i < text.size()) std::memcpy(&tail, text.data() + i, text.size() - i);
  h = (h ^ tail) * 0x94d049bb133111ebULL;
  h ^= h >> 29;
  return h;
}

void TextPool::clear() {
  ++clearCount;
  entries.clear();
  entries.shrink_to_fit();
  table.assign(16, Slot{kEmptySlot, 0});
  blocks.clear();
  blockLeft = 0;
  blockNext = nullptr;
  textBytes = 0;
  entries.push_back(Entry{"", 0, hashFolded({})});
  const std::uint32_t tag = tagOf({});
  table[tag & (table.size() - 1)] = Slot{0, tag};
}

const char* TextPool::store(std::string_view text) {
  if (text.size() > kOwnBlockAbove) {
    blocks.emplace_back(new char[text.size()]);
    std::memcpy(blocks.back().get(), text.data(), text.size());
    return blocks.back().get();
  }
  if (blockLeft < text.size()) {
    blocks.emplace_back(new char[kBlockSize]);
    blockNext = blocks.back().get();
    blockLeft = kBlockSize;
  }
  char* at = blockNext;
  std::memcpy(at, text.data(), text.size());
  blockNext += text.size();
  blockLeft -= text.size();
  return at;
}

void TextPool::grow() {
  std::vector<Slot> bigger(table.size() * 2, Slot{kEmptySlot, 0});
  const std::size_t mask = bigger.size() - 1;
  for (const Slot& entry : table) {
    if (entry.id == kEmptySlot) continue;
    std::size_t slot = entry.tag & mask;  // the texts themselves are not read again
    while (bigger[slot].id != kEmptySlot) slot = (slot + 1) & mask;
    bigger[slot] = entry;
  }
  table.swap(bigger);
}

TextId TextPool::intern(std::string_view value) {
  if (value.empty()) return 0;  // most rows have no new path and no process name
  const std::size_t mask = table.size() - 1;
  const std::uint32_t tag = tagOf(value);
  std::size_t slot = tag & mask;
  while (table[slot].id != kEmptySlot) {
    const Slot& entry = table[slot];
    if (entry.tag == tag && text(entry.id) == value) return entry.id;
    slot = (slot + 1) & mask;
  }
  if (value.size() > 0xFFFFFFFFu || entries.size() >= kEmptySlot - 1) {
    throw std::length_error("too many or too long texts for the capture views");
  }
  const auto id = static_cast<TextId>(entries.size());
  entries.push_back(Entry{store(value), static_cast<std::uint32_t>(value.size()), hashFolded(value)});
  textBytes += value.size();
  table[slot] = Slot{id, tag};
  // Load factor at most one half keeps probe runs short.
  if (entries.size() * 2 > table.size()) grow();
  return id;
}

std::size_t TextPool::bytesUsed() const {
  return textBytes + entries.capacity() * sizeof(Entry) + table.capacity() * sizeof(Slot);
}

}  // namespace tw
