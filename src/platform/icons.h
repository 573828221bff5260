#pragma once

#include <string>
#include <string_view>

namespace tw {

// The system's icons and file types. An icon is an index the platform hands out (into the
// shell's system image list on Windows; into its own table of freedesktop icon names on
// Linux); 0 stands for "no icon" (a failed query). Each front end turns an index into its
// own picture once.
//
// Threads: fileTypeIcon, iconName and fileTypeDescription from any thread; pathIcon from the
// user-interface thread.
class IconSource {
 public:
  virtual ~IconSource() = default;

  // The icon of a file type, from the name alone (a bare extension, a file name or a path; the
  // disk is not consulted). 0 on failure.
  virtual int fileTypeIcon(std::string_view name) = 0;
  // The icon of an existing object on disk (drive, special folder, folder or file); 0 when the
  // path does not exist or the query fails.
  virtual int pathIcon(std::string_view path) = 0;
  // The icon an index stands for: on Linux a freedesktop icon name; on Windows the decimal
  // system image list index. Empty for an index never handed out.
  virtual std::string iconName(int index) = 0;
  // The description of a file type from a name alone ("*.txt" -> "plain text document"); for a
  // type the system does not know, a generic description made from the extension ("*.qqz" ->
  // "QQZ File", see genericFileTypeDescription).
  virtual std::string fileTypeDescription(std::string_view name) = 0;
};

}  // namespace tw
