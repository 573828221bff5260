#include "core/queue/change_filter.h"

#include <algorithm>

#include "core/events/event_kinds.h"
#include "core/queue/event_filter.h"

namespace tw {

namespace {

// The finaliser of splitmix64: spreads every bit of the input over the whole result.
constexpr std::uint64_t spread(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ull;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebull;
  x ^= x >> 31;
  return x;
}

}  // namespace

std::uint64_t FoldedTextTable::hashOf(std::string_view text) {
  std::uint64_t hash = kHashStart;
  for (const char c : text) hash = step(hash, c);
  return hash;
}

std::uint64_t FoldedTextTable::slotHash(std::uint32_t group, std::uint64_t textHash) {
  const std::uint64_t hash = spread(textHash ^ (static_cast<std::uint64_t>(group) * 0x9e3779b97f4a7c15ull));
  return hash == 0 ? 1 : hash;
}

bool FoldedTextTable::matches(const Slot& slot, std::uint32_t group, std::string_view text) const {
  if (slot.group != group || slot.length != text.size()) return false;
  const char* stored = texts.data() + slot.offset;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (stored[i] != asciiUpper(text[i])) return false;
  }
  return true;
}

void FoldedTextTable::grow() {
  std::vector<Slot> old = std::move(table);
  table.assign(std::max<std::size_t>(16, old.size() * 2), Slot{});
  const std::size_t mask = table.size() - 1;
  for (const Slot& slot : old) {
    if (slot.hash == 0) continue;
    std::size_t i = slot.hash & mask;
    while (table[i].hash != 0) i = (i + 1) & mask;
    table[i] = slot;
  }
}

std::uint32_t FoldedTextTable::insert(std::uint32_t group, std::string_view text, std::uint32_t value) {
  if ((count + 1) * 2 > table.size()) grow();
  const std::uint64_t hash = slotHash(group, hashOf(text));
  const std::size_t mask = table.size() - 1;
  std::size_t i = hash & mask;
  for (; table[i].hash != 0; i = (i + 1) & mask) {
    if (table[i].hash == hash && matches(table[i], group, text)) return table[i].value;
  }
  Slot& slot = table[i];
  slot.hash = hash;
  slot.group = group;
  slot.value = value;
  slot.offset = static_cast<std::uint32_t>(texts.size());
  slot.length = static_cast<std::uint32_t>(text.size());
  for (const char c : text) texts.push_back(asciiUpper(c));
  ++count;
  return value;
}

std::optional<std::uint32_t> FoldedTextTable::find(std::uint32_t group, std::uint64_t textHash,
                                                   std::string_view text) const {
  if (count == 0) return std::nullopt;
  const std::uint64_t hash = slotHash(group, textHash);
  const std::size_t mask = table.size() - 1;
  for (std::size_t i = hash & mask; table[i].hash != 0; i = (i + 1) & mask) {
    if (table[i].hash == hash && matches(table[i], group, text)) return table[i].value;
  }
  return std::nullopt;
}

ChangeFilter::ChangeFilter(const std::vector<std::string>& excludedFolders,
                           const std::vector<std::string>& extensions, PathStyle style)
    : style(style), filtersExtensions(!extensions.empty()) {
  for (const std::string& entry : excludedFolders) addExcludedFolder(entry);
  for (const std::string& extension : extensions) extensionKeys.insert(0, extension, 1);
}

void ChangeFilter::addExcludedFolder(std::string_view entry) {
  if (nodes.empty()) nodes.emplace_back();
  const char separator = pathSeparator(style);
  std::uint32_t node = 0;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t next = entry.find(separator, pos);
    if (next == std::string_view::npos) {
      const std::string_view tail = entry.substr(pos);
      if (tail.empty()) {
        nodes[node].excludes = true;
      } else {
        folderKeys.insert(tailGroup(node), tail, 1);
        std::vector<std::uint32_t>& lengths = nodes[node].tailLengths;
        const auto length = static_cast<std::uint32_t>(tail.size());
        const auto at = std::lower_bound(lengths.begin(), lengths.end(), length);
        if (at == lengths.end() || *at != length) lengths.insert(at, length);
      }
      return;
    }
    const auto fresh = static_cast<std::uint32_t>(nodes.size());
    const std::uint32_t child = folderKeys.insert(childGroup(node), entry.substr(pos, next - pos), fresh);
    if (child == fresh) nodes.emplace_back();
    node = child;
    pos = next + 1;
  }
}

bool ChangeFilter::excludes(std::string_view path) const {
  if (nodes.empty()) return false;
  if (nodes[0].excludes) return true;
  // The path is tested with a separator appended when it has none; that separator is not
  // copied in, the walk below stops there instead.
  const char separator = pathSeparator(style);
  const std::size_t size = path.size();
  const bool separatorAppended = size == 0 || path.back() != separator;
  std::uint32_t node = 0;
  std::size_t pos = 0;
  for (;;) {
    // One segment of the path: does a tail of this node begin it, and is it a node itself?
    const std::vector<std::uint32_t>& tails = nodes[node].tailLengths;
    std::size_t nextTail = 0;
    std::uint64_t hash = FoldedTextTable::kHashStart;
    std::size_t end = pos;
    while (end < size && path[end] != separator) {
      hash = FoldedTextTable::step(hash, path[end]);
      ++end;
      if (nextTail < tails.size() && tails[nextTail] == end - pos) {
        ++nextTail;
        if (folderKeys.find(tailGroup(node), hash, path.substr(pos, end - pos))) return true;
      }
    }
    const bool last = end == size;
    // Past the path's own final separator only an empty segment is left, which begins no tail.
    if (last && !separatorAppended) return false;
    const auto child = folderKeys.find(childGroup(node), hash, path.substr(pos, end - pos));
    if (!child) return false;
    node = *child;
    if (nodes[node].excludes) return true;
    if (last) return false;
    pos = end + 1;
  }
}

bool ChangeFilter::keepsExtension(std::string_view path, std::string_view newPath) const {
  if (!filtersExtensions) return true;
  const std::string_view first = pathExtension(path, style);
  if (extensionKeys.find(0, FoldedTextTable::hashOf(first), first)) return true;
  const std::string_view second = pathExtension(newPath, style);
  return extensionKeys.find(0, FoldedTextTable::hashOf(second), second).has_value();
}

bool ChangeFilter::passes(const Change& change) const {
  if (excludes(change.path)) return false;
  if (!isNotFileEvent(eventNumber(change.kind)) && !keepsExtension(change.path, change.newPath)) return false;
  return true;
}

}  // namespace tw
