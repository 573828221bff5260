// libFuzzer target: arbitrary bytes as config.ini. Built and run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/settings/fuzz/ini_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure =
      tw::test::checkSettingsInput(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!failure.empty()) {
    std::fprintf(stderr, "settings input check failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
