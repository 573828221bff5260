#include "core/model/capture_views.h"

#include "core/queue/event_filter.h"

namespace tw {

namespace {

// The icon source of views that show no icons: every icon is "none", and nothing is asked.
class NoIcons : public IconSource {
 public:
  int fileTypeIcon(std::string_view) override { return 0; }
  int pathIcon(std::string_view) override { return 0; }
  std::string iconName(int) override { return {}; }
  std::string fileTypeDescription(std::string_view) override { return {}; }
};

}  // namespace

CaptureViews::CaptureViews(Environment& environment, IconSource* icons, PathStyle style) : style(style) {
  if (icons == nullptr) {
    noIcons = std::make_unique<NoIcons>();
    icons = noIcons.get();
  }
  folderIcons = std::make_unique<FolderIconCache>(environment, *icons);
  tree_ = std::make_unique<CaptureTree>(environment, *icons, &pool, folderIcons.get());
  list_ = std::make_unique<CaptureList>(environment, *icons, &pool, folderIcons.get());
}

void CaptureViews::beginBatch() {
  tree_->beginBatch();
  list_->beginBatch();
}

void CaptureViews::add(const Change& change) {
  const int number = eventNumber(change.kind);
  if (isTreeEvent(number)) tree_->addDirectoryFile(change.path, change.newPath, number, style);
  list_->addListItem(change.path, change.newPath, number, style);
}

void CaptureViews::endBatch() {
  tree_->endBatch();
  list_->endBatch();
}

void CaptureViews::clear() {
  tree_->clear();
  list_->clear();
}

}  // namespace tw
