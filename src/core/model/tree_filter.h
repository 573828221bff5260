#pragma once

#include <cstddef>

#include "core/model/capture_views.h"
#include "core/model/list_filter.h"
#include "core/model/tree_rows.h"

namespace tw {

// The tree follows the list's filter: it shows the nodes the rows the filter shows were filed
// on, with their ancestors, and every node when the filter shows every row. Both front ends'
// tree views call these; the list's filter decides, so list and tree always agree.
//
// Thread: the user-interface thread, with the views.

// After a new filter text: chooses the tree's nodes again (a reset of the rows).
void showFilteredNodes(TreeRows& rows, const CaptureViews& views, const ListFilter& filter);
// After rows arrived: shows also the nodes of the filter's matches from `firstMatch` on (an
// index into filter.rows()), at a cost in proportion to those matches.
void showNewMatches(TreeRows& rows, const CaptureViews& views, const ListFilter& filter,
                    std::size_t firstMatch);

}  // namespace tw
