#include "core/model/filter_pattern.h"

#include <algorithm>

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
  }
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

std::size_t FilterPattern::findRun(std::size_t k, std::string_view folded, std::size_t from) const {
  const std::string& segment = segments[k];
  if (!hasAnyCharacter[k]) {
    const std::size_t at = folded.find(segment, from);
    return at == std::string_view::npos ? at : at + segment.size();
  }
  return searchRun(k, folded, from);
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
  std::size_t from = 0;
  for (std::size_t k = 0; k < segments.size(); ++k) {
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
