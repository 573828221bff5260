#include "core/text/numbers.h"

namespace tw {

std::string withThousandsSeparators(std::uint64_t n) {
  // Built forwards into a new string: inserting commas into the digits in place trips a false
  // -Wrestrict of GCC 12 at -O3.
  const std::string digits = std::to_string(n);
  std::string grouped;
  grouped.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace tw
