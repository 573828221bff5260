#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/recording/capture_options.h"
#include "core/text/path_style.h"

namespace tw {

// What the views' context menu acts on: one captured path, and what each of its commands would
// use. Both desktop front ends build their menus from it. Pure; any thread.
struct PathTarget {
  std::string path;            // the path as it stands now (a renamed node: its latest name)
  bool folder = false;         // a folder or drive, not a file
  std::string openedFolder;    // "open the containing folder": a file's folder, a folder itself
  std::string excludedFolder;  // "exclude this folder": the same folder, as the picker would give it
  std::string extension;       // a file's extension, dot included; empty for a folder or none
  bool operator==(const PathTarget&) const = default;
};

// The target of a path: `folder` tells whether it names a folder (a trailing separator is
// dropped from the shown path but for a root such as "C:\" or "/").
PathTarget pathTargetOf(std::string_view path, bool folder, PathStyle style);

// The target of a tree node: the names from its root down joined by the separator (a renamed
// node by the last name it got), a folder when the tree says so. None for a node that is not in
// the tree.
std::optional<PathTarget> pathTargetOf(const CaptureTree& tree, NodeId node);

// The target of a list row: the row's path (its folder part and name); a folder when its kind
// is a folder's or a drive's.
PathTarget pathTargetOf(const CaptureList& list, int row, PathStyle style);

// Whether a path's folder can be added to the excluded folders, and why not.
enum class FolderExclusion {
  Possible,
  AlreadyExcluded,  // listed already (compared without ASCII case)
  NoFolder,         // the target names no folder (a blank path)
};
FolderExclusion folderExclusion(const CaptureOptions& options, const PathTarget& target);

// Whether an extension can be left out, and why not. The extension list names the extensions
// to keep, and an empty list keeps all of them; so an extension is left out by removing it from
// a list that keeps others.
enum class ExtensionExclusion {
  Possible,
  NoExtension,  // a folder, or a file name without an extension
  EveryKept,    // the list is empty: every extension is kept, and no list can say "all but"
  NotKept,      // the list keeps others but not this one: it is left out already
  OnlyOneKept,  // removing it would empty the list, which keeps every extension
};
ExtensionExclusion extensionExclusion(const CaptureOptions& options, const PathTarget& target);

// Applies the command to `options` when possible (the rules of the settings window: the
// folder ends in one separator, duplicates without ASCII case are skipped; every entry equal to
// the extension without ASCII case goes). Returns whether `options` changed.
bool excludeFolder(CaptureOptions& options, const PathTarget& target, PathStyle style);
bool excludeExtension(CaptureOptions& options, const PathTarget& target);

// The tool tip of a command that cannot run, for the menus of both front ends; empty for
// Possible.
std::string_view folderExclusionReason(FolderExclusion outcome);
std::string_view extensionExclusionReason(ExtensionExclusion outcome);

}  // namespace tw
