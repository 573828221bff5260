#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

// A map from texts to values for caches that are filled and then dropped whole: keys and
// values in flat arrays, found through an open-addressing table (linear probing) that keeps
// each key's hash beside its item, so that a lookup costs one hash of the key (given by the
// caller, who may need it twice) and mostly one comparison. No removal of single keys.
template <typename Value>
class FlatTextMap {
 public:
  const Value* find(std::string_view key, std::uint64_t hash) const {
    if (table.empty()) return nullptr;
    const std::size_t mask = table.size() - 1;
    for (std::size_t slot = hash & mask; table[slot] != kFree; slot = (slot + 1) & mask) {
      const Item& item = items[table[slot]];
      if (item.hash == hash && std::string_view(chars).substr(item.offset, item.size) == key)
        return &item.value;
    }
    return nullptr;
  }
  Value* find(std::string_view key, std::uint64_t hash) {
    return const_cast<Value*>(std::as_const(*this).find(key, hash));
  }

  // Adds key, which is not there yet.
  const Value& add(std::string_view key, std::uint64_t hash, const Value& value) {
    if ((items.size() + 1) * 2 > table.size()) grow();
    const std::size_t mask = table.size() - 1;
    std::size_t slot = hash & mask;
    while (table[slot] != kFree) slot = (slot + 1) & mask;
    table[slot] = static_cast<std::uint32_t>(items.size());
    items.push_back(Item{chars.size(), key.size(), hash, value});
    chars.append(key);
    return items.back().value;
  }

  // Forgets every key. A map is usually filled again to about the same size: storage of that
  // size is kept, much more (after a burst) is given back.
  void clear() {
    if (items.capacity() > 4 * items.size() + 1024) {
      std::string().swap(chars);
      std::vector<Item>().swap(items);
      std::vector<std::uint32_t>().swap(table);
      return;
    }
    chars.clear();
    items.clear();
    std::fill(table.begin(), table.end(), kFree);
  }

  void swap(FlatTextMap& other) noexcept {
    chars.swap(other.chars);
    items.swap(other.items);
    table.swap(other.table);
  }

  std::size_t size() const { return items.size(); }
  std::size_t bytesUsed() const {
    return chars.capacity() + items.capacity() * sizeof(Item) + table.capacity() * sizeof(std::uint32_t);
  }

 private:
  struct Item {
    std::size_t offset;  // of the key in `chars`
    std::size_t size;
    std::uint64_t hash;
    Value value;
  };
  static constexpr std::uint32_t kFree = 0xFFFFFFFFu;

  void grow() {
    std::vector<std::uint32_t> bigger(std::max<std::size_t>(64, table.size() * 2), kFree);
    const std::size_t mask = bigger.size() - 1;
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::size_t slot = items[i].hash & mask;
      while (bigger[slot] != kFree) slot = (slot + 1) & mask;
      bigger[slot] = static_cast<std::uint32_t>(i);
    }
    table.swap(bigger);
  }

  std::string chars;
  std::vector<Item> items;
  std::vector<std::uint32_t> table;  // item numbers, kFree for a free slot
};

}  // namespace tw
