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
  // The same for a text already folded by appendFolded (faster: the bytes are compared as they
  // are, a literal run found with the library's search).
  bool matchesFolded(std::string_view folded) const;

  // Matching a text in two parts (a folder part shared by many paths, then a name): how far the
  // runs between '*'s get in the first part's folded text, each taken at its earliest place
  // (runs found whole, and where the search for the next one starts)...
  struct Progress {
    std::size_t runsFound = 0;
    std::size_t next = 0;
  };
  Progress progress(std::string_view folded) const;
  std::size_t runCount() const { return segments.size(); }
  // ... the bytes at the end of the first part a run not found whole in it may start in (the
  // rest cannot hold its start: it would have been found whole)...
  std::size_t straddleBytes(std::size_t run) const { return segments[run].size() * 4; }
  // ... and whether the runs from `firstRun` on are found in a folded text: the kept end of the
  // first part followed by the folded name.
  bool matchesFoldedFrom(std::string_view folded, std::size_t firstRun) const;

  // Appends `text` with the ASCII letters A-Z in lower case, every other byte as it is.
  static void appendFolded(std::string& out, std::string_view text);

 private:
  // Where a segment matches text at `at`: the end of the match, or npos.
  std::size_t matchAt(const std::string& segment, std::string_view text, std::size_t at) const;
  // The end of the earliest match of run k in a folded text at or after `from`, or npos.
  std::size_t findRun(std::size_t k, std::string_view folded, std::size_t from) const;

  std::string source;
  // The runs between '*'s, folded to lower case, none empty; whether each holds a '?'.
  std::vector<std::string> segments;
  std::vector<bool> hasAnyCharacter;
};

}  // namespace tw
