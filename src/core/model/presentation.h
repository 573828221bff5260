#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/events/change.h"
#include "core/model/capture_list.h"
#include "core/model/capture_tree.h"
#include "core/model/marks.h"
#include "core/text/path_style.h"
#include "platform/environment.h"

namespace tw {

// The presentation of the capture views: what the tree and the list show for the facts they
// keep (texts, colours, icons), the same for every front end, the report and the headless
// recorder's lines.

// A colour by its red, green and blue parts; each front end turns it into its own colour type.
struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// The colour a mark shows its row in: blue for renamed, red for deleted, green for created;
// none for plain, which keeps the view's own text colour.
std::optional<Rgb> markColour(Mark mark);

// The mark of a list row by the kind of its change: created for Create and New Directory,
// deleted for Delete and Delete Directory, renamed for Rename File and Rename Folder, plain
// for every other kind.
Mark listMarkOf(EventKind kind);

// Appends `text` as the views and the report show it: every control character (U+0000 to
// U+001F and U+007F) becomes its control picture (U+2400 to U+241F, and U+2421 for U+007F), so
// that a name holding CR, LF or TAB can neither start a line of the report nor a cell of the
// list. Every other byte stays as it is (names that are not valid UTF-8 keep their bytes).
void appendVisible(std::string& out, std::string_view text);
std::string visibleText(std::string_view text);

// Appends `text` as a cell of a tsv line: a backslash as \\, TAB, CR and LF as \t, \r and \n,
// every other control byte (0x00 to 0x1F and 0x7F) as \xHH with two lower-case hexadecimal
// digits; every other byte as it is. So a cell never holds a TAB or a line break, and the
// escaping can be undone without doubt.
void appendTsvEscaped(std::string& out, std::string_view text);

// The columns of the capture list, in order. The first four are always shown (and are what the
// report holds); Process follows them in a list whose recording knows the processes that made
// its changes (CaptureList::hasProcesses).
enum class ListColumn : int { From, To, Action, WorkPath, Process };
inline constexpr int kListColumnCount = 4;
inline constexpr int kListColumnCountWithProcess = 5;
// The column captions, in column order.
inline constexpr std::string_view kListColumnCaptions[kListColumnCountWithProcess] = {"From", "To", "Action",
                                                                                      "Work Path", "Process"};

// The Process cell of a change: the process's short name and its id in parentheses, "cp (4242)";
// the name alone when the id is unknown, "(4242)" when only the id is known; empty when neither
// is known (never a guess).
std::string processCellText(std::int32_t pid, std::string_view name);

// The four cells of the list row of a change, before control characters are made visible:
// From, the file-name part of the path (the whole path when that part is blank, "-" when the
// path is blank); To, the file-name part of the new path ("-" when the new path is blank);
// Action, the kind's display name; Work Path, the folder part of the path with its separator.
struct ListCells {
  std::string from;
  std::string to;
  std::string action;
  std::string workPath;
  bool operator==(const ListCells&) const = default;
};
ListCells listCells(const Change& change, PathStyle style);

// The tsv line of a change, for a recorder that keeps no views: its four cells, each escaped by
// appendTsvEscaped, separated by TAB; no line end.
std::string tsvLine(const Change& change, PathStyle style);

// Appends the text a node reads as, before control characters are made visible: "(" + the time
// of its deletion in the user's format + ") " for a deleted node, then its name, then " -> " and
// the new name for each rename, in order. The tree's lookups compare path segments with this
// text, and a node's path is made of these texts.
void appendNodeText(std::string& out, const CaptureTree& tree, NodeId node, Environment& environment);

// What the views show for the facts of a tree and a list.
//
// Thread: the user-interface thread (it reads the models, which live there). Uses, but does not
// own, the environment (for the user's time format).
class CapturePresentation {
 public:
  explicit CapturePresentation(Environment& environment) : environment(environment) {}

  // A node's text as shown (appendNodeText, control characters made visible).
  std::string nodeText(const CaptureTree& tree, NodeId node) const;
  // Appends what a node reads as, control characters as they are (appendNodeText): the text
  // its path is made of.
  void appendNodeText(std::string& out, const CaptureTree& tree, NodeId node) const {
    tw::appendNodeText(out, tree, node, environment);
  }
  std::optional<Rgb> nodeColour(const CaptureTree& tree, NodeId node) const {
    return markColour(tree.mark(node));
  }
  // The system icon index shown for a node; 0 for none.
  int nodeIcon(const CaptureTree& tree, NodeId node) const { return tree.icon(node); }

  // A cell of a list row as shown (listCells of the row's change, control characters made
  // visible).
  std::string cellText(const CaptureList& list, int row, ListColumn column) const;
  // The colour of every cell of a row.
  std::optional<Rgb> rowColour(const CaptureList& list, int row) const {
    return markColour(listMarkOf(list.kind(row)));
  }
  // The system icon index shown in a cell: the row's icon in From, its folder's in Work Path;
  // 0 (none) elsewhere.
  int cellIcon(const CaptureList& list, int row, ListColumn column) const;

 private:
  Environment& environment;
};

}  // namespace tw
