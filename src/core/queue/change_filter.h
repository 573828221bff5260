#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/events/change.h"
#include "core/text/path_style.h"

namespace tw {

// Texts compared without ASCII case, found by a hash of the folded bytes. A key is a text
// within a group (a number the owner chooses), so that one table serves many small sets.
// The hash can be computed one byte at a time (step), so that every prefix of a text is looked
// up without hashing it again.
//
// Thread: built once; then any number of threads may look up at the same time.
class FoldedTextTable {
 public:
  static constexpr std::uint64_t kHashStart = 0xcbf29ce484222325ull;
  // The hash after one more byte, folded (FNV-1a over the ASCII upper-cased bytes).
  static constexpr std::uint64_t step(std::uint64_t hash, char c) {
    return (hash ^ static_cast<unsigned char>(asciiUpper(c))) * 0x100000001b3ull;
  }
  static std::uint64_t hashOf(std::string_view text);

  // Adds the key with `value` unless the table has it; returns the value the key has now.
  std::uint32_t insert(std::uint32_t group, std::string_view text, std::uint32_t value);
  // The value of the key whose folded text equals `text` folded; `textHash` is hashOf(text).
  std::optional<std::uint32_t> find(std::uint32_t group, std::uint64_t textHash, std::string_view text) const;
  bool empty() const { return count == 0; }

 private:
  struct Slot {
    std::uint64_t hash = 0;  // 0: an empty slot (a key's slot hash is never 0)
    std::uint32_t group = 0;
    std::uint32_t value = 0;
    std::uint32_t offset = 0;  // of the folded text in `texts`
    std::uint32_t length = 0;
  };
  static std::uint64_t slotHash(std::uint32_t group, std::uint64_t textHash);
  bool matches(const Slot& slot, std::uint32_t group, std::string_view text) const;
  void grow();

  std::vector<Slot> table;  // a power of two in size, at most half full
  std::string texts;        // every key's folded text, one after the other
  std::size_t count = 0;
};

// Which changes a recording keeps: the test of the excluded folders on the first path, and the
// test of the extensions to keep on either path of the file kinds (Create, Delete, Rename File,
// Update File). Built once when a recording starts.
//
// Exactly the rules of the settings: a path is excluded when an entry, ASCII upper-cased, equals
// the start of the path with a separator appended (when it has none), ASCII upper-cased; so an
// empty entry excludes everything, and "C:\Temp" without a final separator also excludes
// "C:\Temporary\z.txt". An extension entry keeps a file change when it equals, without ASCII
// case, the extension of the first or of the second path (from the last dot, dot included, when
// the dot follows the last separator; else empty). Only ASCII letters are folded. Empty lists
// filter nothing. The cost of a test grows with the path, not with the number of entries.
//
// Thread: built on any thread; then used by the delivery thread (any number of threads may
// test at the same time).
class ChangeFilter {
 public:
  // Keeps everything.
  ChangeFilter() = default;
  ChangeFilter(const std::vector<std::string>& excludedFolders, const std::vector<std::string>& extensions,
               PathStyle style);

  // True when the change is delivered.
  bool passes(const Change& change) const;
  // True when a change on `path` is in an excluded folder.
  bool excludes(std::string_view path) const;
  // True when a file change with these paths has an extension to keep (or no extension list is
  // set).
  bool keepsExtension(std::string_view path, std::string_view newPath) const;

 private:
  // The excluded folders as a tree of path segments: an entry is the segments before its last
  // separator (nodes, found by their parent and text) and the rest (a tail: an entry's last
  // segment without a separator after it, which may end inside a segment of the path).
  struct Node {
    bool excludes = false;                   // an entry ends exactly here
    std::vector<std::uint32_t> tailLengths;  // of the tails below this node, ascending
  };
  std::uint32_t childGroup(std::uint32_t node) const { return node * 2; }
  std::uint32_t tailGroup(std::uint32_t node) const { return node * 2 + 1; }
  void addExcludedFolder(std::string_view entry);

  PathStyle style = PathStyle::Posix;
  std::vector<Node> nodes;  // [0]: the root, the empty start of every path; empty: no entries
  FoldedTextTable folderKeys;
  bool filtersExtensions = false;
  FoldedTextTable extensionKeys;
};

}  // namespace tw
