#pragma once

#include <string>
#include <string_view>

#include "core/text/result.h"

namespace tw {

// Values in INI files, read and written one key at a time with the rules of the Windows profile
// functions (core/settings/ini_text.h).
//
// Threads: any method from any thread; writes of one file do not lose each other's keys.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // The value stored under `key` in `section` of the INI file at `path`, read whole whatever
  // its length; `defaultValue` when the file, the section or the key is missing or the file
  // cannot be read.
  virtual std::string readString(std::string_view path, std::string_view section, std::string_view key,
                                 std::string_view defaultValue) = 0;
  // Stores `value` under `key` in `section` of the INI file at `path`, creating the file, the
  // section or the key as needed and replacing an earlier value in place; every other line
  // stays. On Linux the whole file is replaced atomically, so a failed write leaves the old file.
  virtual Status writeString(std::string_view path, std::string_view section, std::string_view key,
                             std::string_view value) = 0;
  // Hands buffered writes of `path` to the file (Windows buffers them; on Linux every write is
  // already on disk and this does nothing).
  virtual void flush(std::string_view path) = 0;
};

}  // namespace tw
