#pragma once

#include <string>
#include <vector>

#include "core/text/path_style.h"

namespace tw::test {

// File names an unprivileged user may choose to forge lines and cells in what the views, the
// report and the tsv output show: line breaks, tabs and other control bytes, a fake tree line
// with a fake digest, a fake list row.
struct ForgedName {
  const char* what;
  PathStyle style;
  std::string folder;  // with its separator
  std::string name;
};

inline std::vector<ForgedName> forgedNames() {
  return {
      {"a fake tree line with a fake digest and a fake list row", PathStyle::Posix, "/home/mallory/",
       "note\r\n-- -- -- -->shadow - "
       "[MD5:00000000000000000000000000000000]\r\nfake.txt\t-\tDelete\tC:\\Windows\\\t"},
      {"a lone CR", PathStyle::Posix, "/home/mallory/", "a\rb"},
      {"a lone LF", PathStyle::Posix, "/home/mallory/", "a\nb"},
      {"a tab", PathStyle::Posix, "/home/mallory/", "cell\tcell"},
      {"nothing but a line break", PathStyle::Posix, "/home/mallory/", "\r\n"},
      {"other control bytes", PathStyle::Posix, "/home/mallory/",
       "v\x0bt\x0c"
       "f\x1b[2Jx\x7f"},
      {"a fake row through a Windows name", PathStyle::Windows, "C:\\Users\\mallory\\",
       "x\tCreate\tC:\\\r\nfake.txt\t-\tDelete\tC:\\Windows\\"},
  };
}

}  // namespace tw::test
