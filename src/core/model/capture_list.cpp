#include "core/model/capture_list.h"

#include <limits>
#include <stdexcept>

#include "core/model/path_parts.h"

namespace tw {

namespace {

// False for the file kinds Create, Delete, Rename File and Update File, whose row shows the
// file type's icon; true for the others, whose row shows the folder icon.
bool showsFolderIcon(EventKind kind) {
  return kind != EventKind::FileCreated && kind != EventKind::FileDeleted && kind != EventKind::FileRenamed &&
         kind != EventKind::FileUpdated;
}

}  // namespace

CaptureList::CaptureList(Environment& environment, IconSource* iconSource, PathStyle style,
                         TextPool* sharedPool, FolderIconCache* sharedIcons)
    : style(style), pool(sharedPool != nullptr ? sharedPool : &ownPool), icons(sharedIcons) {
  if (iconSource == nullptr) {
    icons = nullptr;
  } else if (icons == nullptr) {
    ownIcons = std::make_unique<FolderIconCache>(environment, *iconSource);
    icons = ownIcons.get();
  }
}

void CaptureList::add(const Change& change) {
  if (rowTotal >= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::length_error("the capture list is full");
  }
  Row row{};
  const std::string_view folder = folderPart(change.path, style);
  row.time = change.time;
  row.folder = pool->intern(folder);
  row.name = pool->intern(std::string_view(change.path).substr(folder.size()));
  row.newPath = pool->intern(change.newPath);
  row.processName = pool->intern(change.process);
  row.processId = change.pid;
  if (change.pid != 0 || !change.process.empty()) anyProcess = true;
  row.kind = change.kind;
  if (icons != nullptr) {
    // The icon of a deleted or renamed file still shows its type.
    row.icon =
        showsFolderIcon(change.kind) ? icons->systemFolderIcon() : icons->source().fileTypeIcon(change.path);
  }
  if (rowTotal % kBlockRows == 0) blocks.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
  rowAt(rowTotal) = row;
  if (icons != nullptr) pendingIcons.push_back(rowTotal);  // asked with the batch's others
  ++rowTotal;
  if (batchDepth == 0) {
    flush();
  } else if (pendingIcons.size() >= kIconLookupGroup) {
    // A long batch asks in groups as it goes, so that no single step at its end does all the
    // asking (and holds the user interface for it), and the disk is asked in the background
    // where the platform allows it.
    startPendingIcons();
  }
}

void CaptureList::beginBatch() {
  // The folder icons asked during the batch hold until it ends.
  if (batchDepth++ == 0 && icons != nullptr) icons->beginBatch();
}

void CaptureList::endBatch() {
  if (batchDepth > 0 && --batchDepth == 0) {
    const FolderIconCache::BatchEnd ending(icons);  // after the last icons are in, also on an error
    flush();
  }
}

void CaptureList::startPendingIcons() {
  if (pendingIcons.empty()) return;
  std::vector<TextId> paths;
  paths.reserve(pendingIcons.size());
  for (const std::size_t row : pendingIcons) paths.push_back(rowAt(row).folder);
  iconLookups.push_back(IconLookup{icons->start(*pool, paths), std::move(pendingIcons)});
  pendingIcons.clear();
}

void CaptureList::finishIcons() {
  if (icons == nullptr) return;
  startPendingIcons();
  for (IconLookup& started : iconLookups) {
    const std::vector<int> answers = icons->finish(*started.lookup);
    for (std::size_t i = 0; i < started.rows.size(); ++i) rowAt(started.rows[i]).folderIcon = answers[i];
  }
  iconLookups.clear();
}

void CaptureList::flush() {
  finishIcons();
  if (published == rowTotal) return;
  const int first = static_cast<int>(published);
  const int last = static_cast<int>(rowTotal) - 1;
  if (observer != nullptr) observer->rowsAboutToBeInserted(first, last);
  published = rowTotal;
  if (observer != nullptr) observer->rowsInserted(first, last);
}

void CaptureList::clear() {
  if (observer != nullptr) observer->listAboutToBeCleared();
  std::vector<std::unique_ptr<Row[]>>().swap(blocks);
  rowTotal = 0;
  pendingIcons.clear();
  iconLookups.clear();
  published = 0;
  anyProcess = false;
  if (pool == &ownPool) ownPool.clear();
  if (ownIcons) ownIcons->clear();
  if (observer != nullptr) observer->listCleared();
}

}  // namespace tw
