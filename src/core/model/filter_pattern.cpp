#include "core/model/filter_pattern.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

constexpr unsigned char fold(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// The length of the character at text[at]: a lead byte with its continuation bytes, else one.
std::size_t characterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;  // ASCII, by far the most common
  std::size_t wanted = 1;
  if (lead >= 0xF0 && lead <= 0xF4) {
    wanted = 4;
  } else if (lead >= 0xE0) {
    wanted = lead <= 0xEF ? 3 : 1;
  } else if (lead >= 0xC2) {
    wanted = 2;
  }
  std::size_t length = 1;
  while (length < wanted && at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length == wanted ? length : 1;
}

// The first place at or after `from` where `text` holds `literal` (a folded byte) in any case,
// or npos.
std::size_t findFoldedByte(std::string_view text, unsigned char literal, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at) {
    if (fold(static_cast<unsigned char>(text[at])) == literal) return at;
  }
  return std::string_view::npos;
}

// How often a folded byte turns up in paths, roughly (letters as in English words, the
// separators, dots and digits as in file names; everything else rare): a run is searched for by
// its least common byte, so that the search stops at as few places as possible.
int commonness(unsigned char c) {
  static constexpr int letters[26] = {80, 15, 28, 43, 120, 22, 20, 60, 70, 2,  8, 40, 24,
                                      67, 75, 19, 1,  60,  63, 90, 28, 10, 24, 2, 20, 1};
  if (c >= 'a' && c <= 'z') return letters[c - 'a'];
  if (c == '/' || c == '\\') return 60;
  if (c >= '0' && c <= '9') return 30;
  if (c == '.') return 30;
  if (c == '_' || c == '-' || c == ' ') return 20;
  return 10;
}

}  // namespace

FilterPattern::FilterPattern(std::string_view text) : source(text) {
  std::string run;
  for (const char c : text) {
    if (c == '*') {
      if (!run.empty()) segments.push_back(std::move(run));
      run.clear();
    } else {
      run += static_cast<char>(fold(static_cast<unsigned char>(c)));
    }
  }
  if (!run.empty()) segments.push_back(std::move(run));
  for (const std::string& segment : segments) {
    hasAnyCharacter.push_back(segment.find('?') != std::string::npos);
    const std::size_t literal = segment.find_first_not_of('?');
    leadingAnyCharacters.push_back(literal == std::string::npos ? segment.size() : literal);
    anchors.push_back(chooseAnchor(segment));
  }
}

FilterPattern::Anchor FilterPattern::chooseAnchor(std::string_view segment) {
  // The cost of an anchor: how often its byte turns up, times the starts each place tries.
  Anchor best;
  long bestCost = 0;
  std::size_t anyCharacters = 0;
  for (std::size_t at = 0; at < segment.size(); ++at) {
    if (segment[at] == '?') {
      ++anyCharacters;
      continue;
    }
    const long cost =
        commonness(static_cast<unsigned char>(segment[at])) * static_cast<long>(3 * anyCharacters + 1);
    if (!best.found || cost < bestCost) {
      best = Anchor{true, static_cast<unsigned char>(segment[at]), at, 3 * anyCharacters};
      bestCost = cost;
    }
  }
  return best;
}

void FilterPattern::appendFolded(std::string& out, std::string_view text) {
  const std::size_t at = out.size();
  out.resize(at + text.size());
  char* to = out.data() + at;
  // A loop without branches, which the compiler turns into vector instructions.
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    to[i] = static_cast<char>(c | (static_cast<unsigned char>(c - 'A') < 26 ? 0x20 : 0));
  }
}

FilterPattern::Piece FilterPattern::requiredPiece(std::size_t firstRun) const {
  std::string_view best;
  int bestRarity = 0;
  for (std::size_t k = firstRun; k < segments.size(); ++k) {
    const std::string_view segment = segments[k];
    for (std::size_t at = 0; at < segment.size();) {
      const std::size_t end = std::min(segment.find('?', at), segment.size());
      const std::string_view piece = segment.substr(at, end - at);
      int rarity = 1000;
      for (const char c : piece) rarity = std::min(rarity, commonness(static_cast<unsigned char>(c)));
      if (!piece.empty() &&
          (piece.size() > best.size() || (piece.size() == best.size() && rarity < bestRarity))) {
        best = piece;
        bestRarity = rarity;
      }
      at = end + 1;
    }
  }
  return Piece{best, chooseAnchor(best).before};
}

std::size_t FilterPattern::find(const Piece& piece, std::string_view folded, std::size_t from) {
  const std::size_t size = folded.size();
  if (size < piece.text.size() || from > size - piece.text.size()) return std::string_view::npos;
  if (piece.text.empty()) return from;
  const char* data = folded.data();
  const auto byte = static_cast<unsigned char>(piece.text[piece.anchor]);
  // The anchor's places that leave room for the piece: from + anchor .. end - 1.
  const std::size_t end = size - piece.text.size() + piece.anchor + 1;
  for (std::size_t at = from + piece.anchor; at < end; ++at) {
    const void* hit = std::memchr(data + at, byte, end - at);
    if (hit == nullptr) return std::string_view::npos;
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const std::size_t start = at - piece.anchor;
    if (std::memcmp(data + start, piece.text.data(), piece.text.size()) == 0) return start;
  }
  return std::string_view::npos;
}

std::size_t FilterPattern::findRun(std::size_t k, std::string_view folded, std::size_t from) const {
  const std::string& segment = segments[k];
  const Anchor& anchor = anchors[k];
  if (!anchor.found) return searchRun(k, folded, from);  // '?'s only: no byte to look for
  if (!hasAnyCharacter[k]) {
    // Literal bytes only: the anchor stands at a fixed place in the run.
    const std::size_t start = find(Piece{segment, anchor.before}, folded, from);
    return start == std::string_view::npos ? start : start + segment.size();
  }
  const char* data = folded.data();
  const std::size_t size = folded.size();
  const auto nextAnchor = [&](std::size_t at, std::size_t end) -> std::size_t {
    if (at >= end) return std::string_view::npos;
    const void* hit = std::memchr(data + at, anchor.byte, end - at);
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  };
  // The '?'s before the anchor take one to four bytes each, so an anchor at `at` can end the
  // starts from at - before - spread to at - before. The places are taken in order and each
  // start is tried once, in order, so the first start that matches is the earliest.
  const bool anyCharacterFirst = segment.front() == '?';
  std::size_t untried = from;
  for (std::size_t at = nextAnchor(from + anchor.before, size); at != std::string_view::npos;
       at = nextAnchor(at + 1, size)) {
    const std::size_t last = at - anchor.before;
    const std::size_t first = last - std::min(last, anchor.spread);
    for (std::size_t start = std::max(untried, first); start <= last; ++start) {
      // '?' starts only at a character's start; a byte inside a sequence is no start.
      if (anyCharacterFirst && (static_cast<unsigned char>(data[start]) & 0xC0) == 0x80 && start > from)
        continue;
      const std::size_t end = matchAt(segment, folded, start);
      if (end != std::string_view::npos) return end;
    }
    untried = std::max(untried, last + 1);
  }
  return std::string_view::npos;
}

std::size_t FilterPattern::searchRun(std::size_t k, std::string_view text, std::size_t from) const {
  const std::string& segment = segments[k];
  const auto first = static_cast<unsigned char>(segment.front());
  if (first != '?') {
    for (std::size_t at = findFoldedByte(text, first, from); at != std::string_view::npos;
         at = findFoldedByte(text, first, at + 1)) {
      const std::size_t end = matchAt(segment, text, at);
      if (end != std::string_view::npos) return end;
    }
    return std::string_view::npos;
  }
  // A run that begins with '?'s: trying every byte as a start is slow, so the run's first
  // literal byte is looked for instead. The `skip` '?'s before it take skip to 4 * skip bytes,
  // so a start with no such byte that far on cannot match and is passed over.
  const std::size_t skip = leadingAnyCharacters[k];
  const bool hasLiteral = skip < segment.size();
  const auto literal = hasLiteral ? static_cast<unsigned char>(segment[skip]) : 0;
  std::size_t literalAt = 0;  // the next literal byte at or after at + skip, once looked for
  bool literalKnown = false;
  for (std::size_t at = from; at < text.size(); ++at) {
    if (hasLiteral) {
      if (!literalKnown || literalAt < at + skip) {
        literalAt = findFoldedByte(text, literal, at + skip);
        literalKnown = true;
        if (literalAt == std::string_view::npos) return std::string_view::npos;
      }
      if (literalAt > at + 4 * skip) at = literalAt - 4 * skip;
    }
    // '?' starts only at a character's start; a byte inside a sequence is no start.
    if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80 && at > from) continue;
    const std::size_t end = matchAt(segment, text, at);
    if (end != std::string_view::npos) return end;
  }
  return std::string_view::npos;
}

FilterPattern::Progress FilterPattern::progress(std::string_view folded) const {
  Progress reached;
  while (reached.runsFound < segments.size()) {
    const std::size_t end = findRun(reached.runsFound, folded, reached.next);
    if (end == std::string_view::npos) break;
    reached.next = end;
    ++reached.runsFound;
  }
  return reached;
}

bool FilterPattern::matchesFolded(std::string_view folded) const {
  return matchesFoldedRunsFrom(folded, 0, 0);
}

bool FilterPattern::matchesFoldedRunsFrom(std::string_view folded, std::size_t firstRun,
                                          std::size_t from) const {
  for (std::size_t k = firstRun; k < segments.size(); ++k) {
    from = findRun(k, folded, from);
    if (from == std::string_view::npos) return false;
  }
  return true;
}

std::vector<std::uint32_t> FilterPattern::straddles(std::size_t run, std::string_view folded,
                                                    std::size_t from) const {
  std::vector<std::uint32_t> held;
  const std::string& segment = segments[run];
  const std::size_t reach = segment.size() * 4;  // a '?' takes at most four bytes
  const auto first = static_cast<unsigned char>(segment.front());
  for (std::size_t start = std::max(from, folded.size() > reach ? folded.size() - reach : 0);
       start < folded.size(); ++start) {
    const auto lead = static_cast<unsigned char>(folded[start]);
    if (first != '?' && lead != first) continue;
    if (first == '?' && (lead & 0xC0) == 0x80 && start > from) continue;
    std::size_t at = start;
    std::size_t byte = 0;
    for (; byte < segment.size() && at < folded.size(); ++byte) {
      if (segment[byte] == '?') {
        at += characterLength(folded, at);
      } else if (folded[at] == segment[byte]) {
        ++at;
      } else {
        break;
      }
    }
    // A run found whole here would have been counted in progress(); one that failed is no start.
    if (at < folded.size() || byte == segment.size()) continue;
    if (std::find(held.begin(), held.end(), byte) == held.end())
      held.push_back(static_cast<std::uint32_t>(byte));
  }
  return held;
}

std::size_t FilterPattern::restOfRunEnd(std::size_t run, std::size_t held, std::string_view text) const {
  return matchAt(std::string_view(segments[run]).substr(held), text, 0);
}

std::size_t FilterPattern::matchAt(std::string_view segment, std::string_view text, std::size_t at) {
  for (const char p : segment) {
    if (at >= text.size()) return std::string_view::npos;
    if (p == '?') {
      at += characterLength(text, at);
    } else if (fold(static_cast<unsigned char>(text[at])) == static_cast<unsigned char>(p)) {
      ++at;
    } else {
      return std::string_view::npos;
    }
  }
  return at;
}

bool FilterPattern::matches(std::string_view text) const {
  // Every segment is taken at its earliest place after the one before: as each character of a
  // segment takes exactly one character of the text, an earlier start never ends later, so the
  // earliest place leaves the most room for the segments after it.
  std::size_t from = 0;
  for (const std::string& segment : segments) {
    const auto first = static_cast<unsigned char>(segment.front());
    std::size_t end = std::string_view::npos;
    for (std::size_t at = from; at < text.size(); ++at) {
      if (first != '?' && fold(static_cast<unsigned char>(text[at])) != first) continue;
      // '?' starts only at a character's start; a byte inside a sequence is no start.
      if (first == '?' && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80 && at > from) continue;
      end = matchAt(segment, text, at);
      if (end != std::string_view::npos) break;
    }
    if (end == std::string_view::npos) return false;
    from = end;
  }
  return true;
}

bool FilterPattern::matchesRunsFrom(std::string_view text, std::size_t firstRun, std::size_t from) const {
  for (std::size_t k = firstRun; k < segments.size(); ++k) {
    from = searchRun(k, text, from);
    if (from == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace tw
