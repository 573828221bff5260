#include "core/settings/ini_store.h"

namespace tw {

IniStore::IniStore(ProfileStore& profiles, std::string iniFile)
    : profiles(profiles), iniFile(std::move(iniFile)) {}

IniStore::~IniStore() { profiles.flush(iniFile); }

void IniStore::setWorkingSection(std::string_view str) { workingSection = str; }

void IniStore::writeString(std::string_view name, std::string_view value) {
  if (!profiles.writeString(iniFile, workingSection, name, value)) throw IniWriteError(iniFile);
}

void IniStore::writeInteger(std::string_view name, std::int32_t value) {
  writeString(name, std::to_string(value));
}

void IniStore::writeBool(std::string_view name, bool value) { writeString(name, value ? "1" : "0"); }

std::string IniStore::readString(std::string_view name, std::string_view def) {
  return profiles.readString(iniFile, workingSection, name, def);
}

std::int32_t IniStore::readInteger(std::string_view name, std::int32_t def) {
  std::string text = readString(name, "");
  if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");
  return parseInt32(text).value_or(def);
}

bool IniStore::readBool(std::string_view name, bool def) { return readInteger(name, def ? 1 : 0) != 0; }

std::optional<std::int32_t> parseInt32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  if (text[0] == '$') {
    text.remove_prefix(1);
    while (text.size() > 1 && text[0] == '0') text.remove_prefix(1);  // leading zeros are free
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
      int digit = 0;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else
        return std::nullopt;
      value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    if (negative) value = ~value + 1u;
    return static_cast<std::int32_t>(value);
  }
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace tw
