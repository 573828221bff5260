#include "core/model/list_filter.h"

#include "core/model/presentation.h"

namespace tw {

void ListFilter::setText(std::string_view text) {
  pattern = FilterPattern(text);
  actionMatches.assign(kEventCount, false);
  for (int number = 0; number < kEventCount; ++number) {
    actionMatches[static_cast<std::size_t>(number)] = pattern.matches(getEventName(number));
  }
  const int total = looked;
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
  looked = 0;
}

bool ListFilter::matches(int row) const {
  if (pattern.matchesEverything()) return true;
  if (actionMatches[static_cast<std::size_t>(eventNumber(list.kind(row)))]) return true;
  scratch.assign(list.folder(row));
  scratch += list.name(row);
  if (pattern.matches(scratch)) return true;
  const std::string_view newPath = list.newPath(row);
  if (!newPath.empty() && pattern.matches(newPath)) return true;
  const std::int32_t pid = list.processId(row);
  const std::string_view process = list.processName(row);
  if (pid == 0 && process.empty()) return false;
  return pattern.matches(processCellText(pid, process));
}

}  // namespace tw
