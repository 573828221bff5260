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
  keptQuestions.clear();
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
  std::vector<std::uint16_t>().swap(nameAnswers);
  keptQuestions.clear();
  lastProcessKnown = false;
  looked = 0;
}

std::size_t ListFilter::bytesUsed() const {
  std::size_t bytes = shown.capacity() * sizeof(int) + folderSlots.capacity() * sizeof(std::int32_t) +
                      folders.capacity() * sizeof(FolderState) +
                      nameAnswers.capacity() * sizeof(std::uint16_t);
  for (const FolderState& folder : folders) bytes += folder.straddles.capacity() * sizeof(NameQuestion);
  return bytes;
}

bool ListFilter::matches(int row) const {
  if (pattern.matchesEverything()) return true;
  if (actionMatches[static_cast<std::size_t>(eventNumber(list.kind(row)))]) return true;
  if (pathMatches(row)) return true;
  const std::string_view newPath = list.newPath(row);
  if (!newPath.empty()) {
    // Folded first, so that the pattern's runs are found with the quicker searches.
    scratch.clear();
    FilterPattern::appendFolded(scratch, newPath);
    if (pattern.matchesFolded(scratch)) return true;
  }
  return processMatches(row);
}

const ListFilter::FolderState& ListFilter::folderState(int row) const {
  std::int32_t& slot = slotFor(folderSlots, list.folderId(row), std::int32_t{-1});
  if (slot >= 0) return folders[static_cast<std::size_t>(slot)];
  // A folder part ends with its separator (or a Windows colon), so no character runs across
  // into the name: the name's characters are the same alone as in the whole path.
  FolderState state;
  scratch.clear();
  FilterPattern::appendFolded(scratch, list.folder(row));
  const FilterPattern::Progress reached = pattern.progress(scratch);
  state.runsFound = static_cast<std::uint32_t>(reached.runsFound);
  state.searchStartsAtName = reached.next == scratch.size();
  if (reached.runsFound < pattern.runCount()) {
    for (const std::uint32_t held : pattern.straddles(reached.runsFound, scratch, reached.next))
      state.straddles.push_back(question(state.runsFound, held));
    state.alone = question(state.runsFound, 0);
  }
  slot = static_cast<std::int32_t>(folders.size());
  folders.push_back(std::move(state));
  return folders.back();
}

ListFilter::NameQuestion ListFilter::question(std::uint32_t run, std::uint32_t held) const {
  for (const NameQuestion& kept : keptQuestions) {
    if (kept.run == run && kept.held == held) return kept;
  }
  NameQuestion asked{run, held, -1};
  if (keptQuestions.size() < kKeptQuestions) {
    asked.kept = static_cast<int>(keptQuestions.size());
    keptQuestions.push_back(asked);
  }
  return asked;
}

std::uint8_t ListFilter::answer(int row, const NameQuestion& question, bool& oddStart) const {
  const auto work = [&](std::string_view name) {
    oddStart = startsOnContinuationByte(name);
    if (question.held == 0)
      return static_cast<std::uint8_t>(kDecided |
                                       (pattern.matchesRunsFrom(name, question.run, 0) ? kYes : 0));
    const std::size_t end = pattern.restOfRunEnd(question.run, question.held, name);
    if (end == std::string_view::npos) return std::uint8_t{0};
    return static_cast<std::uint8_t>(kDecided |
                                     (pattern.matchesRunsFrom(name, question.run + 1, end) ? kYes : 0));
  };
  if (question.kept < 0) return work(list.name(row));
  std::uint16_t& answers = slotFor(nameAnswers, list.nameId(row), std::uint16_t{0});
  const int shift = 3 * question.kept + 1;
  if ((answers & (1U << shift)) == 0) {
    const std::uint8_t found = work(list.name(row));
    answers =
        static_cast<std::uint16_t>(answers | (1U << shift) | (found << (shift + 1)) | (oddStart ? 1U : 0U));
  }
  oddStart = (answers & 1U) != 0;
  return static_cast<std::uint8_t>((answers >> (shift + 1)) & (kDecided | kYes));
}

bool ListFilter::pathMatches(int row) const {
  const FolderState& folder = folderState(row);
  if (folder.runsFound == pattern.runCount()) return true;
  bool oddStart = false;
  // A run that begins in the folder part is taken before any that begins in the name.
  for (const NameQuestion& straddle : folder.straddles) {
    const std::uint8_t found = answer(row, straddle, oddStart);
    if ((found & kDecided) != 0) return (found & kYes) != 0;
  }
  // The run begins in the name, if anywhere: the name decides alone, as it does in every folder
  // that gets this far, but for a '?' on a continuation byte at the name's start, which may
  // begin the run only where the search starts.
  const std::uint8_t found = answer(row, folder.alone, oddStart);
  if (!oddStart || folder.searchStartsAtName || !pattern.runStartsWithAnyCharacter(folder.runsFound))
    return (found & kYes) != 0;
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
