#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tw {

// The rows of a list control, as far as the utility routines read them: the caption (first
// column text) of each row. The Qt lists implement it; it is read on the user-interface thread.
class CaptionList {
 public:
  virtual ~CaptionList() = default;
  virtual int rowCount() const = 0;
  virtual std::string caption(int row) const = 0;
};

// The roots of the fixed and removable drives, in the platform's order, each followed by
// CR LF; empty when none qualifies.
std::string getDrivesList(Platform& platform);

// The file-system name of a volume; "NTFS" when the query raises an error, empty when it
// reports failure.
std::string getFileSystemName(Platform& platform, std::string_view root);

// Total size (wantTotal) or free bytes available to the caller; 0 on failure.
std::int64_t getDiskSpace(Platform& platform, std::string_view path, bool wantTotal);

// The system folder with the separator appended; the lone separator when the query fails.
std::string getWindowsDir(Platform& platform);

// The root of the system drive; "c:\" (POSIX style: "/") when the query fails.
std::string getSystemDriveRoot(Platform& platform);

// The icon of a name's file type, without touching the disk; 0 on failure.
int getFileIconIndex(Platform& platform, std::string_view name);

// The icon of an existing object; 0 when it does not exist.
int getFolderIconIndex(Platform& platform, std::string_view path);

std::string boolToYN(bool b);
// True exactly for the text "Y".
bool ynToBool(std::string_view text);

// Each caption in row order followed by CR LF; empty for an empty list.
std::string listViewToText(const CaptionList& list);

// True when some row's caption equals `text` without ASCII case.
bool isInListView(std::string_view text, const CaptionList& list);

// True when some entry equals `text` without ASCII case.
bool isInStringList(std::string_view text, const std::vector<std::string>& list);

// True when the text holds a '.' anywhere.
bool containsDot(std::string_view text);

// Opens a file, folder or web address with the desktop; the outcome is not looked at.
void shellOpen(Platform& platform, std::string_view target);

}  // namespace tw
