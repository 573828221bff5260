#include "core/model/list_filter.h"

#include "core/model/presentation.h"

namespace tw {

namespace {

// Whether a name begins with a continuation byte, where a '?' may begin a run only when the
// search starts exactly there.
bool startsOnContinuationByte(std::string_view name) {
  return !name.empty() && (static_cast<unsigned char>(name.front()) & 0xC0) == 0x80;
}

// Grows a vector indexed by text id to hold `id`, with room for the ids that follow.
template <typename T>
T& slotFor(std::vector<T>& slots, TextId id, T empty) {
  if (id >= slots.size()) slots.resize(std::size_t{id} + 1 + id / 2, empty);
  return slots[id];
}

}  // namespace

void ListFilter::setText(std::string_view text) {
  pattern = FilterPattern(text);
  actionMatches.assign(kEventCount, false);
  for (int number = 0; number < kEventCount; ++number) {
    actionMatches[static_cast<std::size_t>(number)] = pattern.matches(getEventName(number));
  }
  const int total = looked;
  folderSlots.clear();
  folders.clear();
  nameAnswers.clear();
  lastProcessKnown = false;
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
  std::vector<FolderState>().swap(folders);
  std::vector<std::uint8_t>().swap(nameAnswers);
  lastProcessKnown = false;
  looked = 0;
}

bool ListFilter::matches(int row) const {
  if (pattern.matchesEverything()) return true;
  if (actionMatches[static_cast<std::size_t>(eventNumber(list.kind(row)))]) return true;
  if (pathMatches(row)) return true;
  const std::string_view newPath = list.newPath(row);
  if (!newPath.empty() && pattern.matches(newPath)) return true;
  return processMatches(row);
}

const ListFilter::FolderState& ListFilter::folderState(int row) const {
  std::int32_t& slot = slotFor(folderSlots, list.folderId(row), std::int32_t{-1});
  if (slot >= 0) return folders[static_cast<std::size_t>(slot)];
  const std::string_view folder = list.folder(row);
  // A folder part ends with its separator (or a Windows colon), so no character runs across
  // into the name: the name's characters are the same alone as in the whole path.
  FolderState state;
  scratch.clear();
  FilterPattern::appendFolded(scratch, folder);
  const FilterPattern::Progress reached = pattern.progress(scratch);
  state.runsFound = static_cast<std::uint32_t>(reached.runsFound);
  state.searchStartsAtName = reached.next == scratch.size();
  if (reached.runsFound < pattern.runCount())
    state.straddles = pattern.straddles(reached.runsFound, scratch, reached.next);
  slot = static_cast<std::int32_t>(folders.size());
  folders.push_back(std::move(state));
  return folders.back();
}

bool ListFilter::pathMatches(int row) const {
  const FolderState& folder = folderState(row);
  if (folder.runsFound == pattern.runCount()) return true;
  return nameMatches(row, folder);
}

bool ListFilter::nameMatches(int row, const FolderState& folder) const {
  const std::size_t run = folder.runsFound;
  if (!folder.straddles.empty()) {
    // A run that begins in the folder part is taken before any that begins in the name.
    const std::string_view name = list.name(row);
    for (const std::uint32_t held : folder.straddles) {
      const std::size_t end = pattern.restOfRunEnd(run, held, name);
      if (end != std::string_view::npos) return pattern.matchesRunsFrom(name, run + 1, end);
    }
  }
  // The run begins in the name, if anywhere: the name decides alone, as it does in every folder
  // that gets this far, but for a '?' on a continuation byte at the name's start, which may
  // begin the run only where the search starts.
  bool nameAlone = false;
  bool oddStart = false;
  if (run < kKeptRuns) {
    std::uint8_t& answers = slotFor(nameAnswers, list.nameId(row), std::uint8_t{0});
    const auto known = static_cast<std::uint8_t>(1U << (2 * run + 2));
    const auto found = static_cast<std::uint8_t>(1U << (2 * run + 3));
    if ((answers & known) == 0) {
      const std::string_view name = list.name(row);
      answers |= known;
      if (startsOnContinuationByte(name)) answers |= kOddStart;
      if (pattern.matchesRunsFrom(name, run, 0)) answers |= found;
    }
    nameAlone = (answers & found) != 0;
    oddStart = (answers & kOddStart) != 0;
  } else {
    const std::string_view name = list.name(row);
    nameAlone = pattern.matchesRunsFrom(name, run, 0);
    oddStart = startsOnContinuationByte(name);
  }
  if (!oddStart || folder.searchStartsAtName || !pattern.runStartsWithAnyCharacter(run)) return nameAlone;
  scratch.assign(list.folder(row));
  scratch += list.name(row);
  return pattern.matches(scratch);
}

bool ListFilter::processMatches(int row) const {
  const std::int32_t pid = list.processId(row);
  const TextId process = list.processNameId(row);
  if (pid == 0 && process == 0) return false;
  if (!lastProcessKnown || pid != lastPid || process != lastProcess) {
    lastPid = pid;
    lastProcess = process;
    lastProcessKnown = true;
    lastProcessMatched = pattern.matches(processCellText(pid, list.processName(row)));
  }
  return lastProcessMatched;
}

}  // namespace tw
