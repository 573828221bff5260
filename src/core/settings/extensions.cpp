#include "core/settings/extensions.h"

#include <unordered_set>

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

std::vector<std::string> extensionsToAdd(const std::vector<std::string>& existing, std::string_view text) {
  std::string separated;
  separated.reserve(text.size());
  for (const char c : text) {
    if (c == ',' || c == ';' || c == ' ') {
      separated += "\r\n";
    } else {
      separated.push_back(c);
    }
  }
  std::vector<std::string> added;
  std::unordered_set<std::string> seen;  // every entry of the list and of `added`, ASCII-folded
  bool seenFilled = false;
  for (std::string& entry : splitLines(separated)) {
    if (isBlank(entry)) continue;
    if (entry.find('.') == std::string::npos) entry.insert(entry.begin(), '.');
    if (!seenFilled) {
      // Only a text with something to add pays for the hash of the list.
      seen.reserve(existing.size() + 16);
      for (const std::string& row : existing) seen.insert(asciiUpper(row));
      seenFilled = true;
    }
    if (!seen.insert(asciiUpper(entry)).second) continue;
    added.push_back(std::move(entry));
  }
  return added;
}

void addExtensions(std::vector<std::string>& extensions, std::string_view text) {
  std::vector<std::string> added = extensionsToAdd(extensions, text);
  extensions.reserve(extensions.size() + added.size());
  for (std::string& entry : added) extensions.push_back(std::move(entry));
}

std::string extensionTypeDescription(IconSource& icons, std::string_view extension) {
  return firstChars(icons.fileTypeDescription("*." + std::string(extension)), kMaxTypeDescriptionChars);
}

std::string genericFileTypeDescription(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size()) return "File";
  return asciiUpper(name.substr(dot + 1)) + " File";
}

}  // namespace tw
