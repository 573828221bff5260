#include "core/model/tree_filter.h"

namespace tw {

void showFilteredNodes(TreeRows& rows, const CaptureViews& views, const ListFilter& filter) {
  if (filter.active()) {
    rows.showOnly(views.nodesOfRows(filter.rows()));
  } else if (rows.isFiltered()) {
    rows.showAll();
  }
}

void showNewMatches(TreeRows& rows, const CaptureViews& views, const ListFilter& filter,
                    std::size_t firstMatch) {
  if (filter.active() && firstMatch < filter.rows().size())
    rows.showAlso(views.nodesOfRows(filter.rows(), firstMatch));
}

}  // namespace tw
