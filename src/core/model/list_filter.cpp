#include "core/model/list_filter.h"

#include <cstring>

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
  folderPlans.clear();
  folders.clear();
  nameAnswers.clear();
  keptQuestions.clear();
  lastProcessKnown = false;
  shown.clear();
  looked = 0;
  if (!active()) {
    looked = total;
    return;
  }
  whole = question(0, 0);  // kept first: a new path asks it, and the names in most folders
  if (total > 0) {
    if (readEveryFolder()) answerEveryText();
    addRows(0, total - 1);
  }
}

bool ListFilter::readEveryFolder() {
  // A folder part ends with its separator (or a Windows colon); a name never does. A text of
  // another kind that happens to end so costs one folder state that no row asks for.
  const TextPool& texts = list.texts();
  const bool windows = list.pathStyle() == PathStyle::Windows;
  folderSlots.assign(texts.size(), -1);
  folderPlans.assign(texts.size(), 0);
  bool namesAsked = false;
  for (TextId id = 1; id < texts.size(); ++id) {
    const std::string_view text = texts.text(id);
    const char last = text.empty() ? '\0' : text.back();
    if (windows ? last == '\\' || last == ':' : last == '/') {
      folderStateOf(id);
      namesAsked = namesAsked || folderPlans[id] != kPlanAll;
    }
  }
  return namesAsked;
}

void ListFilter::answerEveryText() {
  // The texts are taken in spans that lie one after the other in the pool's storage, each
  // folded at once. A question that no text without a certain piece can answer yes (see
  // FilterPattern::requiredPiece) is answered no for all of them first; the library's search
  // for that piece over the whole span then finds the few texts that need a closer look.
  const TextPool& texts = list.texts();
  const auto count = static_cast<TextId>(texts.size());
  nameAnswers.assign(count, 0);
  std::vector<FilterPattern::Piece> required;
  std::uint16_t presumed = 0;
  for (const NameQuestion& kept : keptQuestions) {
    required.push_back(kept.held == 0 ? pattern.requiredPiece(kept.run) : FilterPattern::Piece{});
    if (!required.back().text.empty())
      presumed = static_cast<std::uint16_t>(presumed | questionBits(kept, kDecided));
  }
  std::vector<std::size_t> starts;
  std::string folded;
  for (TextId first = 0; first < count;) {
    // The span: texts first..end-1, the i-th at folded[starts[i], starts[i + 1]).
    starts.clear();
    const char* begin = nullptr;
    const char* next = nullptr;
    TextId end = first;
    for (; end < count; ++end) {
      const std::string_view text = texts.text(end);
      if (!text.empty()) {
        if (begin == nullptr) {
          begin = next = text.data();
        } else if (text.data() != next || static_cast<std::size_t>(next - begin) >= kSpanBytes) {
          break;
        }
        next = text.data() + text.size();
      }
      starts.push_back(begin == nullptr ? 0 : static_cast<std::size_t>(next - begin) - text.size());
    }
    const std::size_t spanSize = begin == nullptr ? 0 : static_cast<std::size_t>(next - begin);
    starts.push_back(spanSize);
    folded.clear();
    FilterPattern::appendFolded(folded, std::string_view(begin == nullptr ? "" : begin, spanSize));
    const auto textAt = [&](std::size_t i) {
      return std::string_view(folded).substr(starts[i], starts[i + 1] - starts[i]);
    };
    for (TextId id = first; id < end; ++id) {
      nameAnswers[id] =
          static_cast<std::uint16_t>(presumed | (startsOnContinuationByte(textAt(id - first)) ? 1U : 0U));
    }
    for (std::size_t q = 0; q < keptQuestions.size(); ++q) {
      const NameQuestion& kept = keptQuestions[q];
      const FilterPattern::Piece& piece = required[q];
      if (piece.text.empty()) {
        for (TextId id = first; id < end; ++id)
          nameAnswers[id] |= questionBits(kept, workFolded(kept, textAt(id - first)));
        continue;
      }
      std::size_t i = 0;
      for (std::size_t from = 0; from < spanSize;) {
        const std::size_t at = FilterPattern::find(piece, folded, from);
        if (at == std::string_view::npos) break;
        while (starts[i + 1] <= at) ++i;
        // A piece found across two texts is in neither; no later one begins in this text.
        if (at + piece.text.size() <= starts[i + 1]) {
          std::uint16_t& answers = nameAnswers[first + i];
          answers = static_cast<std::uint16_t>((answers & ~questionBits(kept, kDecided | kYes)) |
                                               questionBits(kept, workFolded(kept, textAt(i))));
        }
        from = starts[i + 1];
      }
    }
    first = end;
  }
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
  std::vector<std::uint16_t>().swap(folderPlans);
  std::vector<FolderState>().swap(folders);
  std::vector<std::uint16_t>().swap(nameAnswers);
  keptQuestions.clear();
  lastProcessKnown = false;
  looked = 0;
}

std::size_t ListFilter::bytesUsed() const {
  std::size_t bytes = shown.capacity() * sizeof(int) + folderSlots.capacity() * sizeof(std::int32_t) +
                      folderPlans.capacity() * sizeof(std::uint16_t) +
                      folders.capacity() * sizeof(FolderState) +
                      nameAnswers.capacity() * sizeof(std::uint16_t);
  for (const FolderState& folder : folders) bytes += folder.straddles.capacity() * sizeof(NameQuestion);
  return bytes;
}

bool ListFilter::matches(int row) const {
  if (pattern.matchesEverything()) return true;
  if (actionMatches[static_cast<std::size_t>(eventNumber(list.kind(row)))]) return true;
  if (pathMatches(row)) return true;
  const TextId newPath = list.newPathId(row);
  if (newPath != 0) {
    bool oddStart = false;
    if ((answer(newPath, whole, oddStart) & kYes) != 0) return true;
  }
  return processMatches(row);
}

const ListFilter::FolderState& ListFilter::folderStateOf(TextId folder) const {
  std::int32_t& slot = slotFor(folderSlots, folder, std::int32_t{-1});
  if (slot >= 0) return folders[static_cast<std::size_t>(slot)];
  // A folder part ends with its separator (or a Windows colon), so no character runs across
  // into the name: the name's characters are the same alone as in the whole path.
  FolderState state;
  scratch.clear();
  FilterPattern::appendFolded(scratch, list.texts().text(folder));
  const FilterPattern::Progress reached = pattern.progress(scratch);
  state.runsFound = static_cast<std::uint32_t>(reached.runsFound);
  state.searchStartsAtName = reached.next == scratch.size();
  if (reached.runsFound < pattern.runCount()) {
    for (const std::uint32_t held : pattern.straddles(reached.runsFound, scratch, reached.next))
      state.straddles.push_back(question(state.runsFound, held));
    state.alone = question(state.runsFound, 0);
  }
  slotFor(folderPlans, folder, std::uint16_t{0}) = planOf(state);
  slot = static_cast<std::int32_t>(folders.size());
  folders.push_back(std::move(state));
  return folders.back();
}

std::uint16_t ListFilter::planOf(const FolderState& folder) const {
  if (folder.runsFound == pattern.runCount()) return kPlanAll;
  if (folder.straddles.size() > 2 || folder.alone.kept < 0) return kPlanGeneral;
  auto plan = static_cast<unsigned>(kPlanCompact | folder.alone.kept | (folder.straddles.size() << 9));
  for (std::size_t i = 0; i < folder.straddles.size(); ++i) {
    if (folder.straddles[i].kept < 0) return kPlanGeneral;
    plan |= static_cast<unsigned>(folder.straddles[i].kept) << (3 * (i + 1));
  }
  if (!folder.searchStartsAtName && pattern.runStartsWithAnyCharacter(folder.runsFound))
    plan |= kPlanOddStartMatters;
  return static_cast<std::uint16_t>(plan);
}

int ListFilter::planned(std::uint16_t plan, std::uint16_t answers) {
  // As pathMatchesFully: the straddles in order, the first decided one answering; else the name
  // alone.
  const unsigned straddles = (plan >> 9) & 3U;
  for (unsigned i = 0; i < straddles; ++i) {
    const unsigned bits = answers >> (3 * ((plan >> (3 * (i + 1))) & 7U) + 1);
    if ((bits & 1U) == 0) return kNotKnown;
    if ((bits & (kDecided << 1)) != 0) return (bits & (kYes << 1)) != 0 ? 1 : 0;
  }
  const unsigned bits = answers >> (3 * (plan & 7U) + 1);
  if ((bits & 1U) == 0 || ((plan & kPlanOddStartMatters) != 0 && (answers & 1U) != 0)) return kNotKnown;
  return (bits & (kYes << 1)) != 0 ? 1 : 0;
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

std::uint8_t ListFilter::work(const NameQuestion& question, std::string_view text) const {
  // Folded first, so that the pattern's runs are found with the quicker searches.
  scratch.clear();
  FilterPattern::appendFolded(scratch, text);
  return workFolded(question, scratch);
}

std::uint8_t ListFilter::workFolded(const NameQuestion& question, std::string_view folded) const {
  if (question.held == 0)
    return static_cast<std::uint8_t>(kDecided |
                                     (pattern.matchesFoldedRunsFrom(folded, question.run, 0) ? kYes : 0));
  const std::size_t end = pattern.restOfRunEnd(question.run, question.held, folded);
  if (end == std::string_view::npos) return std::uint8_t{0};
  return static_cast<std::uint8_t>(kDecided |
                                   (pattern.matchesFoldedRunsFrom(folded, question.run + 1, end) ? kYes : 0));
}

std::uint8_t ListFilter::answer(TextId id, const NameQuestion& question, bool& oddStart) const {
  if (question.kept < 0) {
    const std::string_view text = list.texts().text(id);
    oddStart = startsOnContinuationByte(text);
    return work(question, text);
  }
  std::uint16_t& answers = slotFor(nameAnswers, id, std::uint16_t{0});
  const int shift = 3 * question.kept + 1;
  if ((answers & (1U << shift)) == 0) {
    const std::string_view text = list.texts().text(id);
    answers = static_cast<std::uint16_t>(answers | (1U << shift) | (work(question, text) << (shift + 1)) |
                                         (startsOnContinuationByte(text) ? 1U : 0U));
  }
  oddStart = (answers & 1U) != 0;
  return static_cast<std::uint8_t>((answers >> (shift + 1)) & (kDecided | kYes));
}

bool ListFilter::pathMatches(int row) const {
  const TextId folder = list.folderId(row);
  if (folder < folderPlans.size()) {
    const std::uint16_t plan = folderPlans[folder];
    if (plan == kPlanAll) return true;
    const TextId name = list.nameId(row);
    if ((plan & kPlanCompact) != 0 && name < nameAnswers.size()) {
      const int found = planned(plan, nameAnswers[name]);
      if (found != kNotKnown) return found == 1;
    }
  }
  return pathMatchesFully(row);
}

bool ListFilter::pathMatchesFully(int row) const {
  const FolderState& folder = folderStateOf(list.folderId(row));
  if (folder.runsFound == pattern.runCount()) return true;
  bool oddStart = false;
  // A run that begins in the folder part is taken before any that begins in the name.
  for (const NameQuestion& straddle : folder.straddles) {
    const std::uint8_t found = answer(list.nameId(row), straddle, oddStart);
    if ((found & kDecided) != 0) return (found & kYes) != 0;
  }
  // The run begins in the name, if anywhere: the name decides alone, as it does in every folder
  // that gets this far, but for a '?' on a continuation byte at the name's start, which may
  // begin the run only where the search starts.
  const std::uint8_t found = answer(list.nameId(row), folder.alone, oddStart);
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
