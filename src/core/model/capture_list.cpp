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
    row.folderIcon = kNotAsked;
  }
  if (rowTotal % kBlockRows == 0) blocks.push_back(std::make_unique_for_overwrite<Row[]>(kBlockRows));
  rowAt(rowTotal) = row;
  ++rowTotal;
  if (batchDepth == 0) flush();
}

int CaptureList::folderIcon(int row) const {
  const Row& r = at(row);
  if (r.folderIcon == kNotAsked) r.folderIcon = icons->folderIcon(*pool, r.folder);
  return r.folderIcon;
}

void CaptureList::beginBatch() { ++batchDepth; }

void CaptureList::endBatch() {
  if (batchDepth > 0 && --batchDepth == 0) flush();
}

void CaptureList::flush() {
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
  published = 0;
  anyProcess = false;
  if (pool == &ownPool) ownPool.clear();
  if (ownIcons) ownIcons->clear();
  if (observer != nullptr) observer->listCleared();
}

}  // namespace tw
