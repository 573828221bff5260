#pragma once

#include <string>
#include <string_view>

namespace tw {

// How a path is split into segments. Windows style: the separator is '\' (and where a rule
// says so, the colon also ends the folder part). POSIX style: the separator is '/', and a
// colon is an ordinary character.
enum class PathStyle { Windows, Posix };

// The style of the platform this binary was built for.
constexpr PathStyle nativePathStyle() {
#ifdef _WIN32
  return PathStyle::Windows;
#else
  return PathStyle::Posix;
#endif
}

constexpr char pathSeparator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

// True when `path` ends in the separator of `style`.
bool endsWithSeparator(std::string_view path, PathStyle style);

// `path` with the separator appended when it does not already end in one
// (an empty path becomes the lone separator).
std::string withTrailingSeparator(std::string_view path, PathStyle style);

// ASCII-only case folding: only 'a'..'z' become 'A'..'Z'; every other byte, including each
// byte of a multi-byte UTF-8 sequence, stays as it is.
constexpr char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }
std::string asciiUpper(std::string_view text);

// Equal after ASCII-only upper-casing, length included.
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

// True when `prefix`, ASCII upper-cased, equals the first prefix.size() bytes of `text`
// ASCII upper-cased.
bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);

}  // namespace tw
