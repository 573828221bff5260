#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "core/model/tree_rows.h"
#include "win/controls/window.h"

struct tagNMHDR;
struct HPEN__;

namespace tw::win {

// The capture tree on screen, built for very large, mostly expanded trees: a report-style list
// view in owner-data (virtual) mode over the tree's shown rows (a TreeRows: every node in
// absolute order, except those under a collapsed node). The view holds only the row count;
// each row's text, icon, level and colour are asked of the presentation when the view draws
// it, and the row draws its tree lines and expand button itself in its indentation. So a batch
// of new nodes or a removed subtree costs the same at a million nodes as at ten, where a native
// tree view keeps an item per node and measures and orders each one as it is inserted.
//
// It looks and behaves like the tree view it replaces: lines between the nodes and at the
// roots, expand buttons, icons, colours (renamed blue, deleted red; a selected row keeps the
// selection's colours), one selected node that stays selected as rows arrive or go around it.
// New nodes come expanded; the user folds and unfolds a node with its button, a double click,
// or the Left, Right, + and - keys, and a folded node stays folded when changes arrive under
// it. Rows arriving or going above the first row shown do not move what the view shows.
//
// The rows' changes of one batch are gathered and given to the view once, on a timer the view
// starts when the tree's batch has ended (at once for a change outside a batch), so a batch
// costs one count change, one selection check and at most one repaint whatever the number of
// folders it touched, and however often the tree announced within it. (Under Wine a count change
// alone costs tens of milliseconds: the tree announces what it has before every removal of a
// batch, and an update for each of those held the thread for most of a second.) A timer's
// message comes after input, painting and posted messages: the update does not run right after
// the list view took the same batch, which would hold the thread for both at once.
//
// Thread: the user-interface thread. Owns the native list view (a child of `parent`, destroyed
// with it or with this object), its TreeRows (the capture tree's observer while this object
// lives) and its pen; observes, but does not own, the capture views, which outlive it. The
// system image list it shows is shared and not destroyed.
class CaptureTreeView : public TreeRowsObserver {
 public:
  CaptureTreeView(WindowHandle parent, CaptureViews& views, ImageListHandle systemIcons);
  ~CaptureTreeView() override;
  CaptureTreeView(const CaptureTreeView&) = delete;
  CaptureTreeView& operator=(const CaptureTreeView&) = delete;

  WindowHandle handle() const { return view_; }
  // A notification the parent received from the view; the result when it is one handled here.
  std::optional<MessageResult> notified(const tagNMHDR& header);

  // What the view shows, read through its own messages (as a screen reader or a test reads
  // it): the number of rows, a row's text, its level (0 for a root), its system image index.
  int shownRowCount() const;
  std::string shownText(int row) const;
  int shownLevel(int row) const;
  int shownImage(int row) const;
  // Every row as its text indented by two spaces per level, in the view's order.
  std::vector<std::string> shownTexts() const;
  // The selected row; -1 for none.
  int selectedRow() const;
  // The node a row shows; kNoNode for a row out of range.
  NodeId nodeAtRow(int row) const;

  // The tree follows the list's filter (see core/model/tree_filter.h): after a new text, and
  // after a batch whose rows matched (from the first new match in filter.rows()).
  void followFilter(const ListFilter& filter);
  void showNewMatches(const ListFilter& filter, std::size_t firstMatch);
  // Where a row's expand button is drawn, in the view's client coordinates; none for a row whose
  // node has no children.
  std::optional<Bounds> expandButton(int row) const;

  // TreeRowsObserver
  void rowsAboutToBeInserted(int first, int last) override;
  void rowsInserted(int first, int last) override;
  void rowsAboutToBeRemoved(int first, int last) override;
  void rowsRemoved(int first, int last) override;
  void rowsChanged(int first, int last) override;
  void rowsAboutToBeReset() override;
  void rowsReset() override;
  void batchEnded() override;

  // The view's own messages, before the list view's (from the window procedure put in front of
  // the list view's); the result when handled here. The list view's own procedure.
  std::optional<MessageResult> viewMessage(MessageId message, WParam wParam, LParam lParam);
  void* listViewProcedure() const { return listViewProcedure_; }
  // Whether the rows' update or the column's widening waits for the view's timer.
  bool updateWaiting() const { return updateWaiting_ || widthWanted_; }

 private:
  // The rows changed (or what they show): the first change since the last update notes the node
  // shown at the top; the update is asked now, or when the tree's batch ends.
  void rowsMoving();
  void askUpdate();
  // Gives the view the rows' count, keeps the selected node and the top node where they were,
  // repaints.
  void update();
  // Folds or unfolds the node of a row (the user's command) and shows the result at once.
  void setExpanded(int row, bool expanded);
  // The row at a height in the view's client area; -1 for none.
  int rowAtHeight(int y) const;
  // The left edge of a row's icon; the indentation columns lie to its left.
  int iconLeft(int row) const;
  int indentWidth() const;
  void drawLines(DeviceContext dc, int row);
  void selectRow(int row);
  // Starts the view's timer (see kUpdateTimer); false when there is none to be had.
  bool startTimer();
  // The column's width: that of the widest row drawn, or of the view when wider.
  int columnWidth() const;
  // Widens the column to columnWidth() when the widest row drawn needs it.
  void widen();

  CaptureViews& views_;
  TreeRows rows_;
  WindowHandle view_ = nullptr;
  ImageListHandle icons_ = nullptr;
  void* listViewProcedure_ = nullptr;  // WNDPROC
  HPEN__* linePen_ = nullptr;          // dotted, for the tree lines
  std::wstring text_;                  // the text last handed to the view
  NodeId selected_ = kNoNode;          // the selected node; kNoNode for none
  NodeId top_ = kNoNode;               // the node at the top when the rows began to change
  bool changesWaiting_ = false;        // rows changed since the last update
  bool updateWaiting_ = false;         // the update waits for the view's timer
  bool widthWanted_ = false;           // the column's widening waits for the view's timer
  bool updating_ = false;              // selection changes are the view's own, not the user's
  bool repaintAsked_ = false;          // an invalidation is pending (cleared when painting starts)
  int widest_ = 0;                     // the widest row drawn, for the column's width
};

}  // namespace tw::win
