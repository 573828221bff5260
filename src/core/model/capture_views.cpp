#include "core/model/capture_views.h"

namespace tw {

CaptureViews::CaptureViews(Environment& environment, IconSource* icons, PathStyle style)
    : style(style), presentation_(environment) {
  if (icons != nullptr) folderIcons = std::make_unique<FolderIconCache>(environment, *icons);
  tree_ = std::make_unique<CaptureTree>(environment, icons, style, &pool, folderIcons.get());
  list_ = std::make_unique<CaptureList>(environment, icons, style, &pool, folderIcons.get());
}

void CaptureViews::beginBatch() {
  tree_->beginBatch();
  list_->beginBatch();
}

void CaptureViews::add(const Change& change) {
  if (folderIcons) folderIcons->noteChange(change);
  rowNodes.push_back(isFiledInTree(change.kind) ? tree_->add(change) : kNoNode);
  list_->add(change);
}

std::vector<NodeId> CaptureViews::nodesOfRows(const std::vector<int>& rows, std::size_t from) const {
  std::vector<NodeId> nodes;
  nodes.reserve(rows.size() > from ? rows.size() - from : 0);
  for (std::size_t i = from; i < rows.size(); ++i) {
    if (const NodeId node = nodeOfRow(rows[i]); node != kNoNode) nodes.push_back(node);
  }
  return nodes;
}

void CaptureViews::endBatch() {
  tree_->endBatch();
  list_->endBatch();
}

void CaptureViews::clear() {
  tree_->clear();
  list_->clear();
  std::vector<NodeId>().swap(rowNodes);
  pool.clear();
  if (folderIcons) folderIcons->clear();
}

void CaptureViews::setFiledChangesAreHistory(bool history) {
  if (folderIcons) folderIcons->setChangesAreHistory(history);
}

std::optional<bool> CaptureViews::filedChangesAreHistory() const {
  if (!folderIcons) return std::nullopt;
  return folderIcons->changesAreHistoryNow();
}

std::size_t CaptureViews::sharedBytesUsed() const {
  return pool.bytesUsed() + (folderIcons ? folderIcons->bytesUsed() : 0) +
         rowNodes.capacity() * sizeof(NodeId);
}

}  // namespace tw
