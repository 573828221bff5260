#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/events/change.h"
#include "core/queue/folded_text_table.h"
#include "core/text/path_style.h"

namespace tw {

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
  bool mayBeFolderOfAnEntry(std::uint64_t prefixHash) const;

  PathStyle style = PathStyle::Posix;
  // The excluded folders. A path is tested by walking its prefixes that end in a separator,
  // shortest first, as long as the prefix is the folder (or a parent folder) of some entry, and
  // by looking up the prefixes that have an entry's length; so the cost grows with the depth of
  // the path that entries share, not with their number.
  bool excludesEverything = false;  // an empty entry
  FoldedTextTable folderKeys;       // every entry, exactly
  // A Bloom filter of every prefix of an entry that ends in a separator: a prefix it does not
  // hold is no entry's folder, and then no longer prefix can be an entry.
  std::vector<std::uint64_t> entryFolders;
  // By length: true when an entry of that length ends in the separator.
  std::vector<bool> separatorEntryLengths;
  std::vector<std::uint32_t> otherEntryLengths;  // of the entries that do not, ascending, once each
  bool filtersExtensions = false;
  FoldedTextTable extensionKeys;
};

}  // namespace tw
