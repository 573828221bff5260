#include "core/settings/exclusions.h"

#include <algorithm>

#include "core/model/path_parts.h"
#include "core/queue/event_filter.h"
#include "core/text/text_lines.h"
#include "core/ui/settings_layout.h"

namespace tw {

namespace {

// A list row names a folder (or a drive) when its kind is one of a folder's.
bool isFolderKind(EventKind kind) {
  switch (kind) {
    case EventKind::DriveAdded:
    case EventKind::DriveAddedByShell:
    case EventKind::DriveRemoved:
    case EventKind::MediaInserted:
    case EventKind::MediaRemoved:
    case EventKind::FolderCreated:
    case EventKind::NetworkShared:
    case EventKind::NetworkUnshared:
    case EventKind::FolderRenamed:
    case EventKind::FolderDeleted:
    case EventKind::FolderNeedsRescan:
      return true;
    default:
      return false;
  }
}

// A root is a path whose only separator ends it ("C:\", "/").
bool isRoot(std::string_view path, char separator) {
  return !path.empty() && path.back() == separator && path.find(separator) == path.size() - 1;
}

}  // namespace

PathTarget pathTargetOf(std::string_view path, bool folder, PathStyle style) {
  const char separator = pathSeparator(style);
  PathTarget target;
  target.folder = folder;
  target.path = std::string(path);
  if (folder) {
    while (target.path.size() > 1 && target.path.back() == separator && !isRoot(target.path, separator))
      target.path.pop_back();
    target.openedFolder = target.path;
    // A bare drive name ("C:") opens as its root.
    if (style == PathStyle::Windows && !target.path.empty() && target.path.back() == ':')
      target.openedFolder.push_back(separator);
  } else {
    target.openedFolder = std::string(folderPart(target.path, style));
    target.extension = std::string(pathExtension(target.path, style));
  }
  target.excludedFolder = target.openedFolder;
  if (!target.excludedFolder.empty() && target.excludedFolder.back() != separator)
    target.excludedFolder.push_back(separator);
  return target;
}

std::optional<PathTarget> pathTargetOf(const CaptureTree& tree, NodeId node) {
  if (!tree.isNode(node)) return std::nullopt;
  std::vector<NodeId> chain;
  for (NodeId n = node; n != kNoNode; n = tree.parent(n)) chain.push_back(n);
  const char separator = pathSeparator(tree.pathStyle());
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (it != chain.rbegin() && (path.empty() || path.back() != separator)) path.push_back(separator);
    const std::vector<std::string_view> renames = tree.renames(*it);
    path += renames.empty() ? tree.name(*it) : renames.back();
  }
  return pathTargetOf(path, tree.isFolder(node), tree.pathStyle());
}

PathTarget pathTargetOf(const CaptureList& list, int row, PathStyle style) {
  std::string path(list.folder(row));
  path += list.name(row);
  return pathTargetOf(path, isFolderKind(list.kind(row)), style);
}

FolderExclusion folderExclusion(const CaptureOptions& options, const PathTarget& target) {
  if (isBlank(target.excludedFolder)) return FolderExclusion::NoFolder;
  if (isInStringList(target.excludedFolder, options.excludedFolders)) return FolderExclusion::AlreadyExcluded;
  return FolderExclusion::Possible;
}

ExtensionExclusion extensionExclusion(const CaptureOptions& options, const PathTarget& target) {
  if (target.folder || target.extension.empty()) return ExtensionExclusion::NoExtension;
  const std::vector<std::string>& kept = options.extensions;
  if (kept.empty()) return ExtensionExclusion::EveryKept;
  const auto same = [&](const std::string& entry) { return equalsIgnoreAsciiCase(entry, target.extension); };
  const auto matches = std::count_if(kept.begin(), kept.end(), same);
  if (matches == 0) return ExtensionExclusion::NotKept;
  if (static_cast<std::size_t>(matches) == kept.size()) return ExtensionExclusion::OnlyOneKept;
  return ExtensionExclusion::Possible;
}

bool excludeFolder(CaptureOptions& options, const PathTarget& target, PathStyle style) {
  if (folderExclusion(options, target) != FolderExclusion::Possible) return false;
  std::optional<std::string> folder =
      excludedFolderToAdd(target.excludedFolder, options.excludedFolders, style);
  if (!folder) return false;
  options.excludedFolders.push_back(std::move(*folder));
  return true;
}

bool excludeExtension(CaptureOptions& options, const PathTarget& target) {
  if (extensionExclusion(options, target) != ExtensionExclusion::Possible) return false;
  std::erase_if(options.extensions,
                [&](const std::string& entry) { return equalsIgnoreAsciiCase(entry, target.extension); });
  return true;
}

std::string_view folderExclusionReason(FolderExclusion outcome) {
  switch (outcome) {
    case FolderExclusion::Possible:
      return {};
    case FolderExclusion::AlreadyExcluded:
      return "This folder is excluded already.";
    case FolderExclusion::NoFolder:
      return "This entry names no folder.";
  }
  return {};
}

std::string_view extensionExclusionReason(ExtensionExclusion outcome) {
  switch (outcome) {
    case ExtensionExclusion::Possible:
      return {};
    case ExtensionExclusion::NoExtension:
      return "This entry has no file extension.";
    case ExtensionExclusion::EveryKept:
      return "The extension list names the extensions to keep, and it is empty, so every extension is kept. "
             "Add the extensions to keep in the settings instead.";
    case ExtensionExclusion::NotKept:
      return "This extension is not in the list of extensions to keep: it is left out already.";
    case ExtensionExclusion::OnlyOneKept:
      return "This is the only extension kept; an empty list would keep every extension.";
  }
  return {};
}

}  // namespace tw
