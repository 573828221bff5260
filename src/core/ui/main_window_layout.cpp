#include "core/ui/main_window_layout.h"

namespace tw {

namespace {

Rect box(int left, int top, int width, int height) { return Rect{left, top, left + width, top + height}; }

}  // namespace

int statusLeft(int viewBarWidth, int statusWidth, int gap) { return viewBarWidth - statusWidth - 2 * gap; }

MainWindowPlaces layoutMainWindow(const MainWindowSizes& s) {
  const int g = s.gap;
  const int width = s.clientWidth - 2 * g;
  MainWindowPlaces p;
  // The panel under the toolbar, the views under the panel, the bar along the bottom.
  p.viewBar = box(g, s.toolBarHeight + g, width, s.viewBarHeight);
  const int viewsTop = s.toolBarHeight + g + s.viewBarHeight + g;
  p.progressBar = box(g, s.clientHeight - s.progressBarHeight - g, width, s.progressBarHeight);
  // The views end a gap above the bar, or a gap above the bottom edge.
  const int viewsHeight =
      s.progressBarShown ? s.clientHeight - s.toolBarHeight - s.viewBarHeight - s.progressBarHeight - 4 * g
                         : s.clientHeight - s.toolBarHeight - s.viewBarHeight - 3 * g;
  p.views = box(g, viewsTop, width, viewsHeight);
  p.statusLeft = statusLeft(width, s.statusWidth, g);
  p.treeButtonLeft = g;
  p.listButtonLeft = p.treeButtonLeft + s.treeButtonWidth + g;
  p.cleanButtonLeft = p.listButtonLeft + s.listButtonWidth + g;
  p.saveButtonLeft = p.cleanButtonLeft + s.cleanButtonWidth + g;
  p.recordLeft = g;
  p.pauseLeft = p.recordLeft + s.recordWidth + g;
  p.helpLeft = s.clientWidth - s.helpWidth - g;
  p.settingsLeft = p.helpLeft - s.settingsWidth - g;
  return p;
}

}  // namespace tw
