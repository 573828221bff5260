#include "core/text/functions.h"

#include <algorithm>
#include <exception>

namespace tw {

std::string getDrivesList(Platform& platform) {
  std::string text;
  for (const DriveInfo& drive : platform.drives()) {
    if (drive.type == DriveType::Fixed || drive.type == DriveType::Removable) {
      text += drive.root;
      text += "\r\n";
    }
  }
  return text;
}

std::string getFileSystemName(Platform& platform, std::string_view root) {
  try {
    return platform.fileSystemName(root).value_or(std::string());
  } catch (...) {
    return "NTFS";
  }
}

std::int64_t getDiskSpace(Platform& platform, std::string_view path, bool wantTotal) {
  try {
    const auto space = platform.diskSpace(path);
    if (!space) return 0;
    return wantTotal ? space->total : space->freeToCaller;
  } catch (...) {
    return 0;
  }
}

std::string getWindowsDir(Platform& platform) {
  std::string dir = platform.systemDirectory();
  dir.push_back(pathSeparator(platform.pathStyle()));
  return dir;
}

std::string getSystemDriveRoot(Platform& platform) {
  if (auto root = platform.systemDriveRoot()) return *root;
  return platform.pathStyle() == PathStyle::Windows ? "c:\\" : "/";
}

int getFileIconIndex(Platform& platform, std::string_view name) {
  try {
    return platform.fileTypeIconIndex(name);
  } catch (...) {
    return 0;
  }
}

int getFolderIconIndex(Platform& platform, std::string_view path) {
  try {
    return platform.pathIconIndex(path);
  } catch (...) {
    return 0;
  }
}

std::string boolToYN(bool b) { return b ? "Y" : "N"; }

bool ynToBool(std::string_view text) { return text == "Y"; }

std::string listViewToText(const CaptionList& list) {
  std::string text;
  const int rows = list.rowCount();
  for (int row = 0; row < rows; ++row) {
    text += list.caption(row);
    text += "\r\n";
  }
  return text;
}

bool isInListView(std::string_view text, const CaptionList& list) {
  const int rows = list.rowCount();
  for (int row = 0; row < rows; ++row) {
    if (equalsIgnoreAsciiCase(list.caption(row), text)) return true;
  }
  return false;
}

bool isInStringList(std::string_view text, const std::vector<std::string>& list) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& entry) { return equalsIgnoreAsciiCase(entry, text); });
}

bool containsDot(std::string_view text) { return text.find('.') != std::string_view::npos; }

void shellOpen(Platform& platform, std::string_view target) {
  try {
    platform.shellOpen(target);
  } catch (...) {
    // Opening is best effort: the user sees whether anything opened.
  }
}

}  // namespace tw
