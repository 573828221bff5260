#include "core/queue/change_filter.h"

#include <algorithm>
#include <unordered_set>

#include "core/events/event_kinds.h"
#include "core/queue/event_filter.h"

namespace tw {

namespace {

// The hashes (FoldedTextTable's) of the prefixes of a path with a separator appended when it has
// none, computed as the walk goes: each of the path's 8-byte words is chained once.
class PrefixHashes {
 public:
  PrefixHashes(std::string_view path, char separator, bool separatorAppended)
      : path(path), separator(separator), tested(path.size() + (separatorAppended ? 1 : 0)) {}

  // The hash of the first `length` bytes (at least those already asked).
  std::uint64_t of(std::size_t length) {
    while ((wordsChained + 1) * 8 <= length) {
      chained = FoldedTextTable::chain(chained, word(wordsChained * 8, wordsChained * 8 + 8));
      ++wordsChained;
    }
    std::uint64_t hash = chained;
    if (length % 8 != 0) hash = FoldedTextTable::chain(hash, word(wordsChained * 8, length));
    return FoldedTextTable::finish(hash, length);
  }
  std::size_t size() const { return tested; }

 private:
  // The folded word of the tested path from byte `at` to byte `end`.
  std::uint64_t word(std::size_t at, std::size_t end) const {
    if (at + 8 <= path.size()) return FoldedTextTable::foldedWordWithin(path.data() + at, end - at);
    if (end <= path.size()) return FoldedTextTable::foldedWord(path.data() + at, end - at);
    // The appended separator is in this word.
    char bytes[8] = {};
    for (std::size_t i = at; i < end; ++i) bytes[i - at] = i < path.size() ? path[i] : separator;
    return FoldedTextTable::foldedWord(bytes, end - at);
  }

  std::string_view path;
  char separator;
  std::size_t tested;
  std::uint64_t chained = FoldedTextTable::kChainStart;
  std::size_t wordsChained = 0;
};

// Where a prefix hash falls in the Bloom filter: one word, two bits of it.
struct BloomPlace {
  std::size_t word;
  std::uint64_t bits;
};
BloomPlace bloomPlace(std::uint64_t hash, std::size_t words) {
  hash *= 0x9e3779b97f4a7c15ull;  // the table's own hash bits are used elsewhere
  return {static_cast<std::size_t>(hash >> 40) & (words - 1),
          (std::uint64_t{1} << (hash & 63)) | (std::uint64_t{1} << ((hash >> 6) & 63))};
}

}  // namespace

ChangeFilter::ChangeFilter(const std::vector<std::string>& excludedFolders,
                           const std::vector<std::string>& extensions, PathStyle style)
    : style(style), filtersExtensions(!extensions.empty()) {
  const char separator = pathSeparator(style);
  std::unordered_set<std::uint64_t> folders;
  for (const std::string& entry : excludedFolders) {
    if (entry.empty()) {
      excludesEverything = true;
      continue;
    }
    folderKeys.insert(0, entry, 1);
    for (std::size_t at = entry.find(separator); at != std::string::npos;
         at = entry.find(separator, at + 1)) {
      folders.insert(FoldedTextTable::hashOf(std::string_view(entry).substr(0, at + 1)));
    }
    if (entry.back() == separator) {
      if (separatorEntryLengths.size() <= entry.size()) separatorEntryLengths.resize(entry.size() + 1);
      separatorEntryLengths[entry.size()] = true;
    } else {
      otherEntryLengths.push_back(static_cast<std::uint32_t>(entry.size()));
    }
  }
  std::sort(otherEntryLengths.begin(), otherEntryLengths.end());
  otherEntryLengths.erase(std::unique(otherEntryLengths.begin(), otherEntryLengths.end()),
                          otherEntryLengths.end());
  // About eight bits per folder (small enough to stay in cache): few prefixes that are no
  // entry's folder pass.
  std::size_t words = 1;
  while (words * 64 < folders.size() * 8) words *= 2;
  entryFolders.assign(words, 0);
  for (const std::uint64_t hash : folders) {
    const BloomPlace place = bloomPlace(hash, words);
    entryFolders[place.word] |= place.bits;
  }
  for (const std::string& extension : extensions) extensionKeys.insert(0, extension, 1);
}

bool ChangeFilter::mayBeFolderOfAnEntry(std::uint64_t prefixHash) const {
  const BloomPlace place = bloomPlace(prefixHash, entryFolders.size());
  return (entryFolders[place.word] & place.bits) == place.bits;
}

bool ChangeFilter::excludes(std::string_view path) const {
  if (excludesEverything) return true;
  if (folderKeys.size() == 0) return false;
  // The path is tested with a separator appended when it has none; that separator is not
  // copied in, the lookups add it where they reach it.
  const char separator = pathSeparator(style);
  const bool separatorAppended = path.empty() || path.back() != separator;
  PrefixHashes hashes(path, separator, separatorAppended);
  const std::size_t tested = hashes.size();
  const auto isEntry = [&](std::size_t length, std::uint64_t hash) {
    if (length <= path.size()) return folderKeys.find(0, hash, path.substr(0, length)).has_value();
    return folderKeys.find(0, hash, path, separator).has_value();
  };
  auto nextOther = otherEntryLengths.begin();
  std::size_t from = 0;
  for (;;) {
    // The next prefix that ends in a separator: up to a separator of the path, or the whole path
    // with the appended one.
    std::size_t found = from;
    while (found < path.size() && path[found] != separator) ++found;
    if (found >= path.size()) found = std::string_view::npos;
    const std::size_t folder = found != std::string_view::npos      ? found + 1
                               : separatorAppended && from < tested ? tested
                                                                    : tested + 1;
    // Entries without a final separator end inside the segment before it.
    for (; nextOther != otherEntryLengths.end() && *nextOther <= std::min(folder, tested); ++nextOther) {
      if (isEntry(*nextOther, hashes.of(*nextOther))) return true;
    }
    if (folder > tested) return false;
    const std::uint64_t hash = hashes.of(folder);
    if (!mayBeFolderOfAnEntry(hash)) return false;
    if (folder < separatorEntryLengths.size() && separatorEntryLengths[folder] && isEntry(folder, hash))
      return true;
    if (folder == tested) return false;
    from = folder;
  }
}

bool ChangeFilter::keepsExtension(std::string_view path, std::string_view newPath) const {
  if (!filtersExtensions) return true;
  if (extensionKeys.find(0, pathExtension(path, style))) return true;
  return extensionKeys.find(0, pathExtension(newPath, style)).has_value();
}

bool ChangeFilter::passes(const Change& change) const {
  if (excludes(change.path)) return false;
  if (!isNotFileEvent(eventNumber(change.kind)) && !keepsExtension(change.path, change.newPath)) return false;
  return true;
}

}  // namespace tw
