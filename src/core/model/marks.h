#pragma once

#include <cstdint>
#include <optional>

namespace tw {

// The mark a tree node or list row keeps in its data value; it selects the text colour.
enum Mark : int {
  markPlain = 0,
  markRenamed = 1,
  markDeleted = 2,
  markCreated = 3,  // list rows only
};

// The text colour (0x00BBGGRR) a mark selects; none for plain and any other value, which
// leave the view's own colour.
constexpr std::optional<std::uint32_t> markColour(int mark) {
  switch (mark) {
    case markRenamed:
      return 0xFF0000u;  // blue
    case markDeleted:
      return 0x0000FFu;  // red
    case markCreated:
      return 0x008000u;  // green
    default:
      return std::nullopt;
  }
}

}  // namespace tw
