#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tw::test {

struct ReadCase {
  const char* what;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

// The reading rules of the profile functions, one case each: the INI text rules of the core,
// the Linux platform's files and the Windows profile functions are all held to this table.
inline std::vector<ReadCase> iniReadCases() {
  using namespace std::string_literals;
  return {
      {"plain key", "[S]\r\nK=v\r\n", "S", "K", "v"},
      {"empty text", "", "S", "K", std::nullopt},
      {"missing section", "[T]\r\nK=v\r\n", "S", "K", std::nullopt},
      {"missing key", "[S]\r\nJ=v\r\n", "S", "K", std::nullopt},
      {"empty value is a value", "[S]\r\nK=\r\n", "S", "K", ""},
      {"section name without case", "[events]\r\nK=v\r\n", "EVENTS", "K", "v"},
      {"key name without case", "[S]\r\nextensions=v\r\n", "S", "EXTENSIONS", "v"},
      {"only ASCII letters fold", "[S]\r\n\xC3\xA9=v\r\n", "S", "\xC3\x89", std::nullopt},
      {"blanks around the section name", " \t[ S \t]  \r\nK=v\r\n", "S", "K", "v"},
      {"blanks around key, = and value", "[S]\r\n \tK \t= \tv w\t \r\n", "S", "K", "v w"},
      {"double quotes removed", "[S]\r\nK=\"a b\"\r\n", "S", "K", "a b"},
      {"single quotes removed", "[S]\r\nK='a b'\r\n", "S", "K", "a b"},
      {"quotes inside blanks removed", "[S]\r\nK= \"a\" \r\n", "S", "K", "a"},
      {"unmatched quotes stay", "[S]\r\nK=\"a'\r\n", "S", "K", "\"a'"},
      {"a lone quote stays", "[S]\r\nK=\"\r\n", "S", "K", "\""},
      {"empty quotes give empty", "[S]\r\nK=\"\"\r\n", "S", "K", ""},
      {"first duplicate key wins", "[S]\r\nK=1\r\nk=2\r\n", "S", "K", "1"},
      {"first duplicate section wins", "[S]\r\nA=1\r\n[T]\r\n[s]\r\nA=2\r\nB=3\r\n", "S", "A", "1"},
      {"a later section of the same name is not searched", "[S]\r\nA=1\r\n[s]\r\nB=3\r\n", "S", "B",
       std::nullopt},
      {"line without = is not a key", "[S]\r\nK\r\nK=v\r\n", "S", "K", "v"},
      {"value holds =", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
      {"LF endings", "[S]\nA=1\nK=v\n", "S", "K", "v"},
      {"CR endings", "[S]\rA=1\rK=v\r", "S", "K", "v"},
      {"mixed endings", "[S]\r\nA=1\rB=2\nK=v", "S", "K", "v"},
      {"last line without ending", "[S]\r\nK=v", "S", "K", "v"},
      {"CR LF is one ending, not two", "[S]\r\n\r\nK=v\r\n", "S", "K", "v"},
      {"keys before any section belong to none", "K=v\r\n[S]\r\n", "S", "K", std::nullopt},
      {"byte-order mark skipped", "\xEF\xBB\xBF[S]\r\nK=v\r\n", "S", "K", "v"},
      {"NUL bytes are ordinary", "[S]\r\nA=\0\0\r\nK=v\0w\r\n"s, "S", "K", "v\0w"s},
      {"invalid UTF-8 kept as bytes", "[S]\r\n\xFF\xFE=1\r\nK=\xC3(\r\n", "S", "K", "\xC3("},
      {"header needs a closing bracket", "[S]\r\n[T\r\nK=v\r\n", "S", "K", "v"},
      {"text after ] is ignored", "[S] ; note\r\nK=v\r\n", "S", "K", "v"},
      {"requested names are trimmed", "[S]\r\nK=v\r\n", " S ", "\tK", "v"},
      {"a key line in another section", "[T]\r\nK=x\r\n[S]\r\nK=v\r\n", "S", "K", "v"},
      {"blank key matches blank request only", "[S]\r\n=v\r\n", "S", "K", std::nullopt},
  };
}

}  // namespace tw::test
