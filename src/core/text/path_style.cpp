#include "core/text/path_style.h"

#include <algorithm>

namespace tw {

bool endsWithSeparator(std::string_view path, PathStyle style) {
  return !path.empty() && path.back() == pathSeparator(style);
}

std::string withTrailingSeparator(std::string_view path, PathStyle style) {
  std::string result(path);
  if (!endsWithSeparator(path, style)) result.push_back(pathSeparator(style));
  return result;
}

std::string asciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = asciiUpper(c);
  return result;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  // Most texts compared are equal as they stand: the byte comparison answers those quickly.
  return a.size() == b.size() && (a == b || startsWithIgnoreAsciiCase(a, b));
}

bool startsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char p, char t) { return asciiUpper(p) == asciiUpper(t); });
}

}  // namespace tw
