#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/capture_list.h"
#include "core/model/filter_pattern.h"

namespace tw {

// Which rows of the capture list a filter text shows: a row matches when its whole path, its new
// path, its action's name or its Process cell matches the pattern (FilterPattern). The list
// itself is never changed: filtering only chooses what is shown and, when the user asks, what is
// exported.
//
// The rows shown are kept in list order. A new text looks at every row once; rows the list gains
// afterwards are looked at once each, as they come (addRows), so a filter set during a recording
// costs each arriving row one match and nothing more.
//
// A path is never put together to be matched: its folder part is matched once per folder, and
// what the folder leaves to the name is answered once per name (names repeat across folders),
// so most rows cost a few table lookups. The caches last until the next text or clear(): 4
// bytes per text id up to the highest folder id seen, 2 bytes per text id up to the highest
// name id seen, and about 40 bytes per folder.
//
// Thread: the user-interface thread, with the list. Uses, but does not own, the list.
class ListFilter {
 public:
  explicit ListFilter(const CaptureList& list) : list(list) {}

  // Sets the filter text and chooses again among the rows the list has so far (rowCount()).
  void setText(std::string_view text);
  const std::string& text() const { return pattern.text(); }
  // Whether the text chooses (a blank or '*'-only text shows every row).
  bool active() const { return !pattern.matchesEverything(); }

  // Looks at the list's rows first..last (new rows, readable already though perhaps not yet
  // announced) and appends those that match; returns how many did. Rows must come in order,
  // each once.
  int addRows(int first, int last);
  // Forgets every row (the list was cleared).
  void clear();

  // The rows shown, in list order: when active, those that matched; else every row looked at.
  int shownCount() const { return active() ? static_cast<int>(shown.size()) : looked; }
  // The list row shown at `position` (0 <= position < shownCount()).
  int listRow(int position) const { return active() ? shown[static_cast<std::size_t>(position)] : position; }
  // Rows looked at so far: every row of the list once its announcement is done.
  int totalCount() const { return looked; }
  // The matching rows (active filters only; empty otherwise).
  const std::vector<int>& rows() const { return shown; }

  // Whether one row of the list matches the text.
  bool matches(int row) const;

  // Bytes held by the rows shown and the caches, for the benchmarks.
  std::size_t bytesUsed() const;

 private:
  const CaptureList& list;
  FilterPattern pattern;
  // Whether the action name of each event number matches (decided once per text).
  std::vector<bool> actionMatches;
  std::vector<int> shown;
  int looked = 0;
  // A row's path is matched in two parts: its folder part once per folder (by its text id), then
  // the name, whose answers are kept per name id, since names repeat across folders.
  //
  // What a folder asks of a name: with `held` 0, whether the runs from `run` on are found in the
  // name alone; else whether the rest of run `run` (its pattern bytes from `held` on, the folder
  // part holding the others) matches at the name's start, and if so whether the runs after it
  // are found in the rest of the name. The first kKeptQuestions questions asked under one text
  // have their answers kept.
  struct NameQuestion {
    std::uint32_t run = 0;
    std::uint32_t held = 0;
    int kept = -1;  // the index of its kept answers, or -1
  };
  struct FolderState {
    std::uint32_t runsFound = 0;  // the pattern's runs found whole in the folder part
    // The search for the next run starts where the name does (not inside the folder part).
    bool searchStartsAtName = false;
    // Where the next run begins in the folder part and runs into the name, in order (see
    // FilterPattern::straddles); mostly none. Then the name alone.
    std::vector<NameQuestion> straddles;
    NameQuestion alone;
  };
  // An answer: whether the question is decided (held 0: always; else: the rest of the run
  // matched), and the answer.
  static constexpr std::uint8_t kDecided = 1;
  static constexpr std::uint8_t kYes = 2;
  static constexpr int kKeptQuestions = 5;

  const FolderState& folderState(int row) const;
  NameQuestion question(std::uint32_t run, std::uint32_t held) const;
  bool pathMatches(int row) const;
  // The answer to one question for the row's name; `oddStart` is set to whether the name begins
  // with a continuation byte (where only a search starting at the name may begin a '?').
  std::uint8_t answer(int row, const NameQuestion& question, bool& oddStart) const;
  bool processMatches(int row) const;

  mutable std::vector<std::int32_t> folderSlots;  // by folder text id: index into folders, or -1
  mutable std::vector<FolderState> folders;
  mutable std::vector<NameQuestion> keptQuestions;
  // By name text id, the kept answers: bit 0 the odd start; for kept question q, bit 3q+1 set
  // when known, then its kDecided and kYes bits.
  mutable std::vector<std::uint16_t> nameAnswers;
  // The answer for the process cell of the last row asked (rows of one process come in runs).
  mutable std::int32_t lastPid = 0;
  mutable TextId lastProcess = 0;
  mutable bool lastProcessKnown = false;
  mutable bool lastProcessMatched = false;
  mutable std::string scratch;  // the folded folder part, a new path or a whole path being matched
};

}  // namespace tw
