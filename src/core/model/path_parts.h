#pragma once

#include <string_view>
#include <vector>

#include "core/text/path_style.h"
#include "core/text/text_lines.h"

namespace tw {

// The path rules the capture views share.

// The segments of a path, untrimmed, as the capture tree files it.
// Windows style: every '\' ends a segment, and so do CR LF, a lone CR and a lone LF; a break at
// the very end adds no empty segment. C:\a\b.txt gives C:, a, b.txt; C:\\a gives C:, "", a;
// \\srv\share gives "", "", srv, share. A forward slash is an ordinary character.
// POSIX style: only '/' separates, and an absolute path's first segment is the root "/";
// /home//u/ gives "/", home, "", u. CR and LF are ordinary characters of a file name.
// The views point into `path`.
std::vector<std::string_view> splitPathSegments(std::string_view path, PathStyle style);
// The same into `segments` (cleared first), so that a caller can keep its storage.
void splitPathSegments(std::string_view path, PathStyle style, std::vector<std::string_view>& segments);

// The text after the last separator; the whole path without one; empty when the path ends
// with one. Only the separator counts (a colon is ordinary here).
std::string_view lastSegment(std::string_view path, PathStyle style);

// The file-name part: the text after the last separator (Windows style: or colon); the whole
// path without one; empty when the path ends with one.
std::string_view fileNamePart(std::string_view path, PathStyle style);

// The folder part: the text up to and including the last separator (Windows style: or
// colon); empty without one.
std::string_view folderPart(std::string_view path, PathStyle style);

}  // namespace tw
