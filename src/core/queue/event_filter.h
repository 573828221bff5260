#pragma once

#include <string_view>

#include "core/text/path_style.h"

namespace tw {

// The extension of a path: from its last dot to the end, the dot included, when that dot comes
// after the last separator (and, in the Windows style, after the last colon); else empty.
std::string_view pathExtension(std::string_view path, PathStyle style);

}  // namespace tw
