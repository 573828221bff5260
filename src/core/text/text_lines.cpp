#include "core/text/text_lines.h"

#include <algorithm>

#include "core/text/path_style.h"

namespace tw {

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool isBlank(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) > 0x20) return false;
  }
  return true;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string boolToYN(bool b) { return b ? "Y" : "N"; }

bool ynToBool(std::string_view text) { return text == "Y"; }

bool isInStringList(std::string_view text, const std::vector<std::string>& list) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& entry) { return equalsIgnoreAsciiCase(entry, text); });
}

}  // namespace tw
