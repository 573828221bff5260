#pragma once

#include <cstdint>

namespace tw {

// What a tree node or a list row is marked as: it selects the colour the row is shown in.
enum class Mark : std::uint8_t {
  Plain,    // every new node; list rows of the kinds that neither create, delete nor rename
  Renamed,  // a renamed node; a rename's list row
  Deleted,  // a deleted node (never found again by a lookup); a deletion's list row
  Created,  // list rows only: a creation's row
};

}  // namespace tw
