#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/path_style.h"

namespace tw {

// The extension of a path: from its last dot to the end, the dot included, when that dot comes
// after the last separator (and, in the Windows style, after the last colon); else empty.
std::string_view pathExtension(std::string_view path, PathStyle style);

// True when an event on `item1` is excluded: some entry, ASCII upper-cased, equals the start of
// `item1` with a separator appended (when it has none), ASCII upper-cased. An absent or empty
// list excludes nothing; an empty entry excludes everything.
bool isExcludedPath(std::string_view item1, const std::optional<std::vector<std::string>>& dirFilters,
                    PathStyle style);

// True when the event passes the extension test: only the file events 2, 3, 13 and 18 are
// tested, and pass when some entry equals (without ASCII case) the extension of item1 or of
// item2. An absent or empty list lets everything pass.
bool passesExtensionFilter(std::string_view item1, std::string_view item2, int eventNum,
                           const std::optional<std::vector<std::string>>& extFilters, PathStyle style);

// True for the event numbers that change the path tree (2, 3, 9, 12, 13, 14, 16, 18).
bool isTreeEvent(int eventNum);

}  // namespace tw
