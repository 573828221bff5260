#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The text of the views' filter box, made ready for matching many texts: found anywhere in a
// text (as if it began and ended with '*'), ASCII letters without regard to case (nothing else is
// folded), '*' standing for any run of characters (none included) and '?' for exactly one
// character (a whole UTF-8 sequence; a byte that is not part of one counts as one character).
// An empty pattern (or one of '*' only) matches every text. Texts are compared as bytes, so a
// name that is not valid UTF-8 is matched as it is.
//
// Thread: any; a pattern does not change after it is made.
class FilterPattern {
 public:
  FilterPattern() = default;
  explicit FilterPattern(std::string_view text);

  bool matchesEverything() const { return segments.empty(); }
  const std::string& text() const { return source; }
  bool matches(std::string_view text) const;

 private:
  // Where a segment matches text at `at`: the end of the match, or npos.
  std::size_t matchAt(const std::string& segment, std::string_view text, std::size_t at) const;

  std::string source;
  // The runs between '*'s, folded to lower case, none empty.
  std::vector<std::string> segments;
};

}  // namespace tw
