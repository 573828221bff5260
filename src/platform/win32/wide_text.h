#pragma once

#include <string>
#include <string_view>

namespace tw::win32 {

// UTF-16 <-> UTF-8 at the Windows boundary. A lone surrogate in a Windows name (legal in NTFS)
// becomes the three-byte form of its code point (the "WTF-8" convention) and comes back as the
// same surrogate, so every Windows path survives a round trip through the core. Bytes that are
// not UTF-8 at all become U+FFFD.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tw::win32
