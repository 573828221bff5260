#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/icons.h"

namespace tw {

// The longest file-type description an extension row shows, in characters.
inline constexpr std::size_t kMaxTypeDescriptionChars = 80;

// The entries of `text` that adding it to the extension list `existing` appends, in order
// (pure; any thread):
// - ",", ";" and the space separate entries, as do line breaks; blank entries (nothing but
//   characters up to U+0020) are skipped;
// - an entry without any "." gets one in front; nothing else changes (case, "*", a tab);
// - an entry already in `existing`, compared without ASCII case, is skipped, and so is one
//   that an earlier entry of the same text already added.
// Each entry is looked up in a hash of the ASCII-folded entries, so a text of n entries costs
// O(existing + n), whatever the list's length.
std::vector<std::string> extensionsToAdd(const std::vector<std::string>& existing, std::string_view text);

// Appends extensionsToAdd(extensions, text) to `extensions`: what the extension dialog and the
// settings file's reader do with a text of extensions.
void addExtensions(std::vector<std::string>& extensions, std::string_view text);

// The file-type description an extension row shows: the platform's description of the name
// "*." + extension (so ".exe" asks for "*..exe"; the part after the last "." is the type), cut
// to kMaxTypeDescriptionChars characters. Empty when the platform has none. Called on the
// thread the icon source allows (the user-interface thread when a row is shown).
std::string extensionTypeDescription(IconSource& icons, std::string_view extension);

// The description of a file type that the system does not know: the name's extension (the text
// after its last "."), in ASCII capitals, followed by " File" ("*.qqz" -> "QQZ File"); "File"
// when the name has no extension. For platform implementations.
std::string genericFileTypeDescription(std::string_view name);

}  // namespace tw
