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
// so most rows cost two lookups in small tables. A new text works those out first, going
// through the text pool in its storage order (the folders, then every text's answers), since
// the rows' order would read the same texts scattered over memory; rows arriving later have
// theirs worked out on first use. The caches last until the next text or clear(): 8 bytes per
// text id of the pool, and about 40 bytes per folder.
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

  // The state of a folder part, worked out on first use.
  const FolderState& folderStateOf(TextId folder) const;
  NameQuestion question(std::uint32_t run, std::uint32_t held) const;
  // Whether the row's path matches: from its folder's plan and its name's kept answers where
  // they tell, else in full.
  bool pathMatches(int row) const;
  bool pathMatchesFully(int row) const;
  // A folder's plan (see folderPlans), and what a plan makes of a name's kept answers: 1 or 0,
  // or kNotKnown (an answer the plan needs is not kept yet, or the name's odd start counts).
  std::uint16_t planOf(const FolderState& folder) const;
  static constexpr int kNotKnown = 2;
  static int planned(std::uint16_t plan, std::uint16_t answers);
  // The answer to one question for a text of the pool (a row's name, or with `whole` its new
  // path); `oddStart` is set to whether the text begins with a continuation byte (where only a
  // search starting at the name may begin a '?').
  std::uint8_t answer(TextId id, const NameQuestion& question, bool& oddStart) const;
  // The answer worked out (not kept), for a text as it is or folded by appendFolded.
  std::uint8_t work(const NameQuestion& question, std::string_view text) const;
  std::uint8_t workFolded(const NameQuestion& question, std::string_view folded) const;
  // A new text's first steps, each over the pool in its order: the state of every folder part,
  // then the answers of every text to the questions the folders ask (kept ones).
  // (Whether any folder asks its names at all.)
  bool readEveryFolder();
  void answerEveryText();
  // How many bytes of texts answerEveryText folds at once.
  static constexpr std::size_t kSpanBytes = std::size_t{256} * 1024;
  // The bits of nameAnswers that keep `found` (kDecided, kYes) for a kept question, known.
  static std::uint16_t questionBits(const NameQuestion& kept, std::uint8_t found) {
    const int shift = 3 * kept.kept + 1;
    return static_cast<std::uint16_t>((1U << shift) | (static_cast<unsigned>(found) << (shift + 1)));
  }
  bool processMatches(int row) const;

  mutable std::vector<std::int32_t> folderSlots;  // by folder text id: index into folders, or -1
  mutable std::vector<FolderState> folders;
  // By folder text id, what the folder's state asks of a row in 16 bits, so that a row costs
  // two lookups in small tables: 0 not worked out yet; kPlanAll every row matches; kPlanGeneral
  // asked in full; else kPlanCompact with the kept question of the name alone (bits 0-2), of
  // up to two straddles (bits 3-5, 6-8) and their number (bits 9-10).
  static constexpr std::uint16_t kPlanAll = 0x8000;
  static constexpr std::uint16_t kPlanGeneral = 0x8001;
  static constexpr std::uint16_t kPlanCompact = 0x4000;
  static constexpr std::uint16_t kPlanOddStartMatters = 0x0800;
  mutable std::vector<std::uint16_t> folderPlans;
  mutable std::vector<NameQuestion> keptQuestions;
  // Whether the pattern matches a whole text (held 0, from the first run): a name in a folder
  // part that holds none of the runs, and a new path, ask it. Always kept.
  NameQuestion whole;
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
