#pragma once

#include <array>
#include <cstdint>
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

  // Matching a path in two parts (a folder part shared by many paths, then a name): how far the
  // runs between '*'s get in the folder part's folded text, each taken at its earliest start
  // (runs found whole, and where the search for the next one starts)...
  struct Progress {
    std::size_t runsFound = 0;
    std::size_t next = 0;
  };
  Progress progress(std::string_view folded) const;
  std::size_t runCount() const { return segments.size(); }
  // ... the starts at or after `from` in that folded text where run `run` begins and reaches
  // the text's end unfinished, in order, each as the number of the run's pattern bytes the text
  // holds; a count is listed once, at its earliest start (a later start with the same count
  // ends the same way in the name). Only the last bytes of the text can hold such a start.
  // The text must not end inside a character...
  std::vector<std::uint32_t> straddles(std::size_t run, std::string_view folded, std::size_t from) const;
  // ... where the rest of run `run` (its pattern bytes from `held` on) matches at the start of
  // `text` (any case): the end of that match, or npos...
  std::size_t restOfRunEnd(std::size_t run, std::size_t held, std::string_view text) const;
  // ... and whether the runs from `firstRun` on are found in `text` (any case) as matches()
  // takes them, the search starting at `from`; the same for a text folded by appendFolded
  // (faster, as matchesFolded).
  bool matchesRunsFrom(std::string_view text, std::size_t firstRun, std::size_t from) const;
  bool matchesFoldedRunsFrom(std::string_view folded, std::size_t firstRun, std::size_t from) const;
  // A piece of folded text to look for, by its least common byte (at `anchor`).
  struct Piece {
    std::string_view text;
    std::size_t anchor = 0;
  };
  // A piece that every text in which the runs from `firstRun` on are found holds (folded): the
  // longest of their parts without '?' (of two as long, the one with the least common byte);
  // empty when those runs are '?'s only.
  Piece requiredPiece(std::size_t firstRun) const;
  // Where `piece` first begins in `folded` at or after `from`, or npos (as std::string_view's
  // find).
  static std::size_t find(const Piece& piece, std::string_view folded, std::size_t from);
  // Whether run `run` begins with '?' (it may then begin on a continuation byte where the search
  // starts, and nowhere else).
  bool runStartsWithAnyCharacter(std::size_t run) const { return segments[run].front() == '?'; }

  // Appends `text` with the ASCII letters A-Z in lower case, every other byte as it is.
  static void appendFolded(std::string& out, std::string_view text);

 private:
  // The byte a run is searched for: one of its literal bytes (the least common in paths), at
  // least `before` bytes into a match and at most `before + spread` (a '?' takes one to four).
  struct Anchor {
    bool found = false;  // false for a run of '?'s only
    unsigned char byte = 0;
    std::size_t before = 0;
    std::size_t spread = 0;
  };
  static Anchor chooseAnchor(std::string_view segment);

  // Where a segment matches text at `at`: the end of the match, or npos.
  static std::size_t matchAt(std::string_view segment, std::string_view text, std::size_t at);
  // The end of the earliest match of run k in a folded text at or after `from`, or npos.
  std::size_t findRun(std::size_t k, std::string_view folded, std::size_t from) const;
  // The same for a text in any case (a folded one too), the run compared byte by byte.
  std::size_t searchRun(std::size_t k, std::string_view text, std::size_t from) const;

  std::string source;
  // The runs between '*'s, folded to lower case, none empty; whether each holds a '?'.
  std::vector<std::string> segments;
  std::vector<bool> hasAnyCharacter;
  // How many '?'s each run begins with (its size when it holds nothing else).
  std::vector<std::size_t> leadingAnyCharacters;
  std::vector<Anchor> anchors;
};

}  // namespace tw
