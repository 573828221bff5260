#include "core/settings/ini_text.h"

#include "core/text/path_style.h"

namespace tw {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

// One line of the text: [begin, contentEnd) is its content, [contentEnd, end) its ending.
struct Line {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;
  std::size_t end = 0;
};

// Walks the lines of a text, one at a time, without copying it.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text(text) {
    if (text.starts_with(kByteOrderMark)) pos = kByteOrderMark.size();
  }

  bool next(Line& line) {
    if (pos >= text.size()) return false;
    line.begin = pos;
    std::size_t i = text.find_first_of("\r\n", pos);
    if (i == std::string_view::npos) {
      line.contentEnd = line.end = pos = text.size();
      return true;
    }
    line.contentEnd = i;
    pos = i + ((text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1);
    line.end = pos;
    return true;
  }

 private:
  std::string_view text;
  std::size_t pos = 0;
};

// The section name of a header line, or none for any other line.
std::optional<std::string_view> headerName(std::string_view content) {
  const std::string_view trimmed = trimBlanks(content);
  if (!trimmed.starts_with('[')) return std::nullopt;
  const std::size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trimBlanks(trimmed.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

// The key and raw value of a key line (not a header), or none for a line without "=".
std::optional<KeyLine> keyLine(std::string_view content) {
  const std::size_t eq = content.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{trimBlanks(content.substr(0, eq)), trimBlanks(content.substr(eq + 1))};
}

std::string unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

bool isBlankLine(std::string_view content) { return trimBlanks(content).empty(); }

}  // namespace

std::optional<std::string> iniReadValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
  section = trimBlanks(section);
  key = trimBlanks(key);
  LineReader reader(text);
  Line line;
  bool inSection = false;
  bool sectionSeen = false;
  while (reader.next(line)) {
    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    if (auto name = headerName(content)) {
      if (inSection) return std::nullopt;  // the first section of the name has ended
      if (!sectionSeen && equalsIgnoreAsciiCase(*name, section)) inSection = sectionSeen = true;
      continue;
    }
    if (!inSection) continue;
    if (auto entry = keyLine(content); entry && equalsIgnoreAsciiCase(entry->key, key)) {
      return unquoted(entry->value);
    }
  }
  return std::nullopt;
}

std::string iniCheckEntry(std::string_view section, std::string_view key, std::string_view value) {
  constexpr std::string_view breaks = "\r\n";
  if (section.find_first_of(breaks) != std::string_view::npos) return "a section name holds a line break";
  if (section.find(']') != std::string_view::npos) return "a section name holds \"]\"";
  const std::string_view trimmedKey = trimBlanks(key);
  if (trimmedKey.empty()) return "a key name is empty";
  if (trimmedKey.starts_with('[')) return "a key name starts with \"[\"";
  if (key.find_first_of(breaks) != std::string_view::npos) return "a key name holds a line break";
  if (key.find('=') != std::string_view::npos) return "a key name holds \"=\"";
  if (value.find_first_of(breaks) != std::string_view::npos) return "a value holds a line break";
  return {};
}

std::string iniWriteValue(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view value) {
  section = trimBlanks(section);
  key = trimBlanks(key);

  LineReader reader(text);
  Line line;
  std::string_view eol;  // the ending of the first line that has one
  bool inSection = false;
  bool sectionSeen = false;
  std::size_t insertAt = std::string_view::npos;  // after the last non-blank line of the section
  bool insertNeedsEol = false;                    // that line is the last one and has no ending

  const auto withLineEnding = [&] { return eol.empty() ? std::string_view("\r\n") : eol; };

  while (reader.next(line)) {
    if (eol.empty() && line.end > line.contentEnd)
      eol = text.substr(line.contentEnd, line.end - line.contentEnd);
    const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    if (auto name = headerName(content)) {
      if (inSection) {
        inSection = false;
        break;  // the first section of the name has ended without the key
      }
      if (!sectionSeen && equalsIgnoreAsciiCase(*name, section)) {
        inSection = sectionSeen = true;
        insertAt = line.end;
        insertNeedsEol = line.end == line.contentEnd;
      }
      continue;
    }
    if (!inSection) continue;
    if (auto entry = keyLine(content); entry && equalsIgnoreAsciiCase(entry->key, key)) {
      // Replace the key line's content; its ending and every other byte stay.
      std::string result;
      result.reserve(text.size() + value.size());
      result.append(text.substr(0, line.begin));
      result.append(entry->key);
      result.push_back('=');
      result.append(value);
      result.append(text.substr(line.contentEnd));
      return result;
    }
    if (!isBlankLine(content)) {
      insertAt = line.end;
      insertNeedsEol = line.end == line.contentEnd;
    }
  }
  // The first line ending may lie beyond the point where the scan stopped.
  if (eol.empty()) {
    const std::size_t i = text.find_first_of("\r\n");
    if (i != std::string_view::npos) {
      eol = text.substr(i, (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1);
    }
  }
  const std::string_view ending = withLineEnding();

  std::string result;
  result.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  if (sectionSeen) {
    result.append(text.substr(0, insertAt));
    if (insertNeedsEol) result.append(ending);
    result.append(key);
    result.push_back('=');
    result.append(value);
    // A lone CR right before a line that starts with LF would merge with it into one ending.
    const bool lfFollows = insertAt < text.size() && text[insertAt] == '\n';
    result.append(ending == "\r" && lfFollows ? std::string_view("\r\n") : ending);
    result.append(text.substr(insertAt));
    return result;
  }
  result.append(text);
  const bool endsInBreak = !text.empty() && (text.back() == '\n' || text.back() == '\r');
  if (!text.empty() && !endsInBreak) result.append(ending);
  result.push_back('[');
  result.append(section);
  result.push_back(']');
  result.append(ending);
  result.append(key);
  result.push_back('=');
  result.append(value);
  result.append(ending);
  return result;
}

}  // namespace tw
