#include "core/model/capture_list.h"

#include "core/events/event_kinds.h"
#include "core/model/path_parts.h"
#include "core/text/text_lines.h"

namespace tw {

int listMarkForEvent(int eventNum) {
  switch (eventNum) {
    case evCreate:
    case evMkDir:
      return markCreated;
    case evDelete:
    case evRmDir:
      return markDeleted;
    case evRenameFolder:
    case evRenameItem:
      return markRenamed;
    default:
      return markPlain;
  }
}

CaptureList::CaptureList(Environment& environment, IconSource& iconSource, TextPool* sharedPool,
                         FolderIconCache* sharedIcons)
    : environment(environment),
      iconSource(iconSource),
      pool(sharedPool != nullptr ? sharedPool : &ownPool),
      ownIcons(environment, iconSource),
      icons(sharedIcons != nullptr ? sharedIcons : &ownIcons) {}

void CaptureList::addListItem(std::string_view item1, std::string_view item2, int eventNum, PathStyle style) {
  Row row{};
  std::string_view from = fileNamePart(item1, style);
  if (isBlank(from)) from = item1;
  if (isBlank(item1)) from = "-";
  const std::string_view to = isBlank(item2) ? std::string_view("-") : fileNamePart(item2, style);
  const std::string_view workPath = folderPart(item1, style);
  row.image = isNotFileEvent(eventNum) ? icons->systemFolderIcon() : iconSource.fileTypeIcon(item1);
  row.workPathImage = 0;  // asked with the batch's others when it ends
  row.mark = static_cast<std::uint8_t>(listMarkForEvent(eventNum));
  row.cells[colFrom] = pool->intern(from);
  row.cells[colTo] = to == "-" ? constantText(kDash) : pool->intern(to);
  row.cells[colAction] = eventNum >= 0 && eventNum < kEventCount
                             ? constantText(static_cast<std::size_t>(eventNum))
                             : pool->intern(getEventName(eventNum));
  row.cells[colWorkPath] = pool->intern(workPath);
  rows.push_back(row);
  pendingIcons.push_back(rows.size() - 1);
  if (batchDepth == 0) {
    flush();
  } else if (pendingIcons.size() >= kIconLookupGroup) {
    // A long batch asks in groups as it goes, so that no single step at its end does all the
    // asking (and holds the user interface for it), and the disk is asked in the background
    // where the platform allows it.
    startPendingIcons();
  }
}

TextId CaptureList::constantText(std::size_t which) {
  if (constantsOf != pool->clears()) {
    constants.fill(kEmptyText);
    constantsOf = pool->clears();
  }
  if (constants[which] == kEmptyText) {
    constants[which] =
        pool->intern(which == kDash ? std::string("-") : getEventName(static_cast<int>(which)));
  }
  return constants[which];
}

std::string_view CaptureList::cell(int row, int column) const {
  return pool->text(at(row).cells[static_cast<std::size_t>(column)]);
}

void CaptureList::endBatch() {
  if (batchDepth > 0 && --batchDepth == 0) flush();
}

void CaptureList::startPendingIcons() {
  if (pendingIcons.empty()) return;
  std::vector<TextId> paths;
  paths.reserve(pendingIcons.size());
  for (const std::size_t row : pendingIcons) paths.push_back(rows[row].cells[colWorkPath]);
  iconLookups.push_back(IconLookup{icons->start(*pool, paths), std::move(pendingIcons)});
  pendingIcons.clear();
}

void CaptureList::finishIcons() {
  startPendingIcons();
  for (IconLookup& started : iconLookups) {
    const std::vector<int> answers = icons->finish(*started.lookup);
    for (std::size_t i = 0; i < started.rows.size(); ++i) rows[started.rows[i]].workPathImage = answers[i];
  }
  iconLookups.clear();
}

void CaptureList::flush() {
  finishIcons();
  if (published == rows.size()) return;
  const int first = static_cast<int>(published);
  const int last = static_cast<int>(rows.size()) - 1;
  if (observer != nullptr) observer->rowsAboutToBeInserted(first, last);
  published = rows.size();
  if (observer != nullptr) observer->rowsInserted(first, last);
}

void CaptureList::clear() {
  if (observer != nullptr) observer->listAboutToBeCleared();
  rows.clear();
  rows.shrink_to_fit();
  pendingIcons.clear();
  iconLookups.clear();
  published = 0;
  if (pool == &ownPool) ownPool.clear();
  if (icons == &ownIcons) ownIcons.clear();
  if (observer != nullptr) observer->listCleared();
}

}  // namespace tw
