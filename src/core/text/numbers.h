#pragma once

#include <cstdint>
#include <string>

namespace tw {

// A count in decimal with a comma between groups of three digits ("1,234,567"), as the
// recorder's notices show counts of folders and limits. Threads: any.
std::string withThousandsSeparators(std::uint64_t n);

}  // namespace tw
