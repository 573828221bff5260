#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// The text rules of an INI file as the profile functions read and write it. The Linux platform
// and the test fake keep their INI files with these routines; the Windows platform calls the
// system's own profile functions instead.
//
// Reading:
// - A line ends at CR LF, a lone CR or a lone LF; the last line may have no ending. A UTF-8
//   byte-order mark at the very start of the text is skipped. Every other byte, NUL and invalid
//   UTF-8 included, is an ordinary character.
// - A line whose first character other than space and tab is "[" and that holds a "]" is a
//   section header; the name is the text between the "[" and the first "]", without the spaces
//   and tabs around it.
// - Any other line that holds "=" is a key line: the key is the text before the first "=", the
//   value the text after it, both without the spaces and tabs around them. A value wholly in
//   matching double or single quotes (at least two characters) loses them. A line without "="
//   is not a key.
// - Section and key names compare without ASCII case. Only the first section of a name counts,
//   and within it only the first key of a name. Key lines before the first header belong to no
//   section.
// Everything here is pure: the routines may be called from any thread.

// The value of `key` in `section`, or none when the section or the key is missing.
std::optional<std::string> iniReadValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// Why `section`, `key` and `value` cannot be stored at all; empty when they can. An entry that
// passes is written as given; it reads back as given unless the read rules change it (blanks
// around a value, or a value wholly in matching quotes, are dropped on reading). A section name must not hold
// "]" or a line break; a key must not be empty (after removing spaces and tabs), start with "[", or hold "="
// or a line break; a value must not hold a line break.
std::string iniCheckEntry(std::string_view section, std::string_view key, std::string_view value);

// `text` with `key` of `section` set to `value` (the caller has checked the entry with
// iniCheckEntry). An existing key line is replaced in place (the key keeps its spelling in the
// file and its line ending); a missing key is added after the last non-blank line of its
// section; a missing section is added at the end of the text. New lines end like the first line
// of the text, or in CR LF when the text has no line ending. Every other byte stays as it was.
std::string iniWriteValue(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace tw
