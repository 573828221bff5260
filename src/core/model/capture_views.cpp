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
  if (isFiledInTree(change.kind)) tree_->add(change);
  list_->add(change);
}

void CaptureViews::endBatch() {
  tree_->endBatch();
  list_->endBatch();
}

void CaptureViews::clear() {
  tree_->clear();
  list_->clear();
  pool.clear();
  if (folderIcons) folderIcons->clear();
}

std::size_t CaptureViews::sharedBytesUsed() const {
  return pool.bytesUsed() + (folderIcons ? folderIcons->bytesUsed() : 0);
}

}  // namespace tw
