#pragma once

#include <string>

namespace tw {

// Appends the UTF-8 form of a code point (surrogates included, as their three-byte form, which
// is how lone surrogates of Windows names travel in the core).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace tw
