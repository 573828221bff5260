#pragma once

#include <string>
#include <string_view>

namespace tw {

// Base64 of RFC 4648: the standard alphabet (A-Z, a-z, 0-9, "+", "/"), "=" padding, no line
// breaks. The settings file keeps its lists in this form so that any path stays whole on one
// INI line. Pure routines, callable from any thread.

// The Base64 of the text's bytes (UTF-8 as the core holds it); n bytes give 4 * ceil(n / 3)
// characters.
std::string encodeBase64(std::string_view text);

// The bytes that a Base64 text stands for, as they are (a path that is not valid UTF-8 comes
// back unchanged). Never fails:
// - Characters outside the alphabet and other than "=" (spaces, line breaks or stray
//   characters of a hand-edited file) are skipped.
// - The rest is decoded in groups of four; a trailing group of one to three characters is
//   ignored.
// - In a group, only the characters before its first "=" count: four give three bytes, three
//   give two, two give one, fewer give none. A padded group in the middle of the text therefore
//   ends its own piece, and decoding goes on with the next group.
std::string decodeBase64(std::string_view text);

}  // namespace tw
