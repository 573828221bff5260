#include "core/text/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tw {
namespace {

TEST(WithThousandsSeparators, GroupsOfThreeFromTheRight) {
  struct Case {
    std::uint64_t n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {8192, "8,192"},
      {65536, "65,536"},
      {100000, "100,000"},
      {1000000, "1,000,000"},
      {1234567, "1,234,567"},
      {std::numeric_limits<std::uint64_t>::max(), "18,446,744,073,709,551,615"},
  };
  for (const Case& c : cases) EXPECT_EQ(withThousandsSeparators(c.n), c.text) << c.n;
}

}  // namespace
}  // namespace tw
