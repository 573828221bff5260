#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/settings/settings_controls.h"
#include "platform/icons.h"

namespace tw {

// The longest file-type description an extension row shows, in characters.
inline constexpr std::size_t kMaxTypeDescriptionChars = 80;

// Adds the extensions of `str` to the extension list `lstext` (user-interface thread; the
// extension dialog and restoreSettings call it):
// - ",", ";" and the space separate entries, as do line breaks; blank entries (nothing but
//   characters up to U+0020) are skipped;
// - an entry without any "." gets one in front; nothing else changes (case, "*", a tab);
// - an entry already in the list, compared without ASCII case, is skipped; rows added earlier
//   in the same call count;
// - each new row: caption the entry; second column the platform's file-type description of the
//   name "*." + entry, cut to kMaxTypeDescriptionChars characters (empty if the platform fails);
//   image the file-type icon of the entry (0 if the platform fails).
void addExtensions(FilterList& lstext, IconSource& icons, std::string_view str);

// The description of a file type that the system does not know: the name's extension (the text
// after its last "."), in ASCII capitals, followed by " File" ("*.qqz" -> "QQZ File"); "File"
// when the name has no extension. For platform implementations.
std::string genericFileTypeDescription(std::string_view name);

}  // namespace tw
