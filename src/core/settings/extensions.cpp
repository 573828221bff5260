#include "core/settings/extensions.h"

#include "core/text/path_style.h"
#include "core/text/text_lines.h"

namespace tw {

namespace {

// The first `maxChars` UTF-8 characters of the text (a byte that starts no sequence counts as
// one character, so invalid UTF-8 is cut too, never overrun).
std::string firstChars(std::string text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == maxChars) {
      text.resize(i);
      break;
    }
    ++chars;
  }
  return text;
}

}  // namespace

void addExtensions(FilterList& lstext, IconSource& icons, std::string_view str) {
  std::string text;
  text.reserve(str.size());
  for (const char c : str) {
    if (c == ',' || c == ';' || c == ' ') {
      text += "\r\n";
    } else {
      text.push_back(c);
    }
  }
  for (std::string& t : splitLines(text)) {
    if (isBlank(t)) continue;
    if (t.find('.') == std::string::npos) t.insert(t.begin(), '.');
    if (isInListView(t, lstext)) continue;
    const std::string description = firstChars(icons.fileTypeDescription("*." + t), kMaxTypeDescriptionChars);
    lstext.addRow(t, description, icons.fileTypeIcon(t));
  }
}

std::string genericFileTypeDescription(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return "File";
  return asciiUpper(name.substr(dot + 1)) + " File";
}

}  // namespace tw
