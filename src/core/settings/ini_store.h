#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/profile_store.h"

namespace tw {

// The error of a write that the platform refused: "Unable to write to <file path>".
class IniWriteError : public std::runtime_error {
 public:
  explicit IniWriteError(const std::string& iniFile) : std::runtime_error("Unable to write to " + iniFile) {}
};

// A thin typed store over one INI file: every read and write goes to the working section of that
// file at once, through the platform's profile functions; nothing is kept in memory.
//
// Used on the user-interface thread only; each store belongs to the call that created it and
// lives for one save or one restore. The platform must outlive it.
class IniStore {
 public:
  // Nothing is read or written here; the working section is "DEFAULT".
  IniStore(ProfileStore& profiles, std::string iniFile);
  // Flushes the platform's buffered writes of the file.
  ~IniStore();
  IniStore(const IniStore&) = delete;
  IniStore& operator=(const IniStore&) = delete;

  // Any text is accepted.
  void setWorkingSection(std::string_view str);
  const std::string& getWorkingSection() const { return workingSection; }

  // Writes throw IniWriteError when the platform refuses them.
  void writeString(std::string_view name, std::string_view value);
  // Decimal digits, with a leading "-" when negative.
  void writeInteger(std::string_view name, std::int32_t value);
  // "1" or "0".
  void writeBool(std::string_view name, bool value);

  // The stored text, whole; `def` when the file, section or key is missing.
  std::string readString(std::string_view name, std::string_view def);
  // A decimal integer, or a hexadecimal one after "$" (or after "0x"/"0X" in a text of three or
  // more characters); `def` for a missing key or a text that is no 32-bit integer.
  std::int32_t readInteger(std::string_view name, std::int32_t def);
  // readInteger with 1 or 0 as the default; true when the result is not 0.
  bool readBool(std::string_view name, bool def);

 private:
  ProfileStore& profiles;
  std::string iniFile;
  std::string workingSection = "DEFAULT";
};

// The 32-bit integer a text stands for: an optional "+" or "-", then decimal digits, or "$" and
// one to eight hexadecimal digits (read as the 32 bits of a two's-complement value, so $FFFFFFFF
// is -1); none for anything else, including a value outside the 32-bit range.
std::optional<std::int32_t> parseInt32(std::string_view text);

}  // namespace tw
