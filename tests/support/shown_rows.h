#pragma once

#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/model/presentation.h"

namespace tw::test {

// What the views show, every list row's cells and every tree node's text with its level, to
// compare two sets of views (a recording opened against the same changes delivered).
inline std::vector<std::string> shownRows(const CaptureViews& views) {
  std::vector<std::string> rows;
  const CaptureList& list = views.list();
  for (int row = 0; row < list.rowCount(); ++row) {
    std::string line;
    for (int column = 0; column < kListColumnCountWithProcess; ++column) {
      line += views.presentation().cellText(list, row, static_cast<ListColumn>(column)) + "|";
    }
    rows.push_back(line);
  }
  const CaptureTree& tree = views.tree();
  tree.forEachNode([&](NodeId node, int level) {
    rows.push_back(std::to_string(level) + ":" + views.presentation().nodeText(tree, node));
  });
  return rows;
}

}  // namespace tw::test
