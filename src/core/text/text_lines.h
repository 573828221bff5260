#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The one line-splitting rule of the system: a line ends at CR LF, at a lone CR or at a lone LF;
// a break at the very end adds no empty last entry; an empty line between two breaks is an
// empty entry; entries are neither trimmed nor de-duplicated. An empty text gives no entries.
std::vector<std::string> splitLines(std::string_view text);

// True when the text holds nothing but characters up to U+0020 (spaces, tabs, line breaks and
// other control characters), or nothing at all.
bool isBlank(std::string_view text);

// The yes/no text of a Boolean: "Y" or "N"; only exactly "Y" reads as true.
std::string boolToYN(bool b);
bool ynToBool(std::string_view text);

// True when some entry equals `text` without ASCII case.
bool isInStringList(std::string_view text, const std::vector<std::string>& list);

// The entries, each followed by CR LF (the last included): the row-caption text form.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace tw
