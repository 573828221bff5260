#include "core/model/list_filter.h"

#include <algorithm>

#include "core/model/presentation.h"

namespace tw {

void ListFilter::setText(std::string_view text) {
  pattern = FilterPattern(text);
  actionMatches.assign(kEventCount, false);
  for (int number = 0; number < kEventCount; ++number) {
    actionMatches[static_cast<std::size_t>(number)] = pattern.matches(getEventName(number));
  }
  const int total = looked;
  folderSlots.clear();
  folders.clear();
  shown.clear();
  looked = 0;
  if (total > 0) addRows(0, total - 1);
}

int ListFilter::addRows(int first, int last) {
  looked = last + 1;
  if (!active()) return last - first + 1;
  const std::size_t before = shown.size();
  for (int row = first; row <= last; ++row) {
    if (matches(row)) shown.push_back(row);
  }
  return static_cast<int>(shown.size() - before);
}

void ListFilter::clear() {
  std::vector<int>().swap(shown);
  std::vector<std::int32_t>().swap(folderSlots);
  std::vector<FolderProgress>().swap(folders);
  looked = 0;
}

bool ListFilter::matches(int row) const {
  if (pattern.matchesEverything()) return true;
  if (actionMatches[static_cast<std::size_t>(eventNumber(list.kind(row)))]) return true;
  // Each text is folded into the scratch and searched as bytes; a folder part once for all rows.
  const TextId folderId = list.folderId(row);
  if (folderId >= folderSlots.size()) folderSlots.resize(std::size_t{folderId} + 1 + folderId / 2, -1);
  std::int32_t& slot = folderSlots[folderId];
  if (slot < 0) {
    scratch.clear();
    FilterPattern::appendFolded(scratch, list.folder(row));
    const FilterPattern::Progress reached = pattern.progress(scratch);
    FolderProgress progress;
    progress.runsFound = reached.runsFound;
    if (reached.runsFound < pattern.runCount()) {
      const std::size_t straddle = pattern.straddleBytes(reached.runsFound);
      std::size_t keep =
          scratch.size() > straddle ? std::max(reached.next, scratch.size() - straddle) : reached.next;
      // From a character's start, so that '?' takes whole characters.
      while (keep > reached.next && keep < scratch.size() &&
             (static_cast<unsigned char>(scratch[keep]) & 0xC0) == 0x80) {
        --keep;
      }
      progress.rest = scratch.substr(std::min(keep, scratch.size()));
    }
    slot = static_cast<std::int32_t>(folders.size());
    folders.push_back(std::move(progress));
  }
  const FolderProgress& folder = folders[static_cast<std::size_t>(slot)];
  if (folder.runsFound == pattern.runCount()) return true;
  scratch.assign(folder.rest);
  FilterPattern::appendFolded(scratch, list.name(row));
  if (pattern.matchesFoldedFrom(scratch, folder.runsFound)) return true;
  const std::string_view newPath = list.newPath(row);
  if (!newPath.empty()) {
    scratch.clear();
    FilterPattern::appendFolded(scratch, newPath);
    if (pattern.matchesFolded(scratch)) return true;
  }
  const std::int32_t pid = list.processId(row);
  const std::string_view process = list.processName(row);
  if (pid == 0 && process.empty()) return false;
  scratch.clear();
  FilterPattern::appendFolded(scratch, processCellText(pid, process));
  return pattern.matchesFolded(scratch);
}

}  // namespace tw
