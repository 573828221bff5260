#include "core/ui/settings_layout.h"

#include "core/text/text_lines.h"

namespace tw {

UsageBarPlace usageBarPlace(int rowLeft, int rowTop, int rowHeight, int leadingColumnsWidth,
                            int lastColumnWidth) {
  const int left = rowLeft + leadingColumnsWidth + 4;
  return {left, rowTop + 2, lastColumnWidth - 8, rowHeight - 6};
}

int usedPercentage(std::int64_t total, std::int64_t free) {
  if (total <= 0) return 0;
  // 128-bit product: a volume of more than 92 PB must not overflow the multiplication.
  const __int128 used = static_cast<__int128>(total) - free;
  return static_cast<int>(used * 100 / total);
}

RecordLockLook recordLockLook(bool recording, int pageHeight) {
  return RecordLockLook{
      !recording,
      !recording,
      recording,
      recording ? kImgAddLocked : kImgAdd,
      recording ? kImgDeleteLocked : kImgDelete,
      pageHeight - (recording ? 55 : 37),
      recording ? 115 : 133,
  };
}

std::optional<std::string> excludedFolderToAdd(std::string_view chosen,
                                               const std::vector<std::string>& existing, PathStyle style) {
  if (isBlank(chosen)) return std::nullopt;
  std::string path(chosen);
  const char separator = pathSeparator(style);
  if (path.back() != separator) path.push_back(separator);
  if (isInStringList(path, existing)) return std::nullopt;
  return path;
}

}  // namespace tw
