#include "win/main/about_box.h"

// clang-format off
#include <windows.h>
// clang-format on

#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "core/ui/main_window_layout.h"
#include "core/ui/texts.h"
#include "win/resources/resource_ids.h"

namespace tw::win {

namespace {

constexpr Bounds kPanelDesign{8, 8, 281, 113};
constexpr Bounds kPictureDesign{8, 8, 64, 64};
constexpr int kNameLeft = 78, kNameTop = 16;
constexpr int kWebLeft = 78, kWebTop = 47;
constexpr Bounds kFacebookDesign{8, 80, 84, 24};
constexpr Bounds kTwitterDesign{98, 80, 84, 24};
constexpr Bounds kGooglePlusDesign{188, 80, 84, 24};

}  // namespace

AboutBox::AboutBox(Shell& shell)
    : TopLevelWindow(L"TarnwatchAboutBox", "About", 297, 128, true), shell_(shell) {
  const Fonts* fonts = fonts_.get();
  images_ = std::make_unique<ImageList>(TARNWATCH_IMAGES_ABOUT, kAboutImageCount, dpi_);
  panel_ = std::make_unique<GradientPanel>(handle(), Bounds{}, fonts);
  panel_->setStyle(PanelStyle::Custom);
  PanelLook look = panel_->look();
  look.verticalGradient = false;
  panel_->setLook(look);
  picture_ = std::make_unique<Picture>(panel_->handle(), Bounds{}, fonts);
  name_ = std::make_unique<Label>(panel_->handle(), 0, 0, kDesignCaption, fonts);
  name_->setFontRole(Label::FontRole::Heading);
  web_ = std::make_unique<ActiveLabel>(panel_->handle(), 0, 0, kMakerWebPage, fonts);
  web_->onClick = [this] { shell_.open(kMakerWebPage); };
  const auto button = [&](const char* caption, int picture, const char* address) {
    auto b = std::make_unique<ToolButton>(panel_->handle(), Bounds{}, fonts);
    b->setCaption(caption);
    b->setImages(images_.get());
    b->setImageIndex(picture);
    b->onClick = [this, address] { shell_.open(address); };
    return b;
  };
  facebook_ = button("Facebook", 1, kMakerFacebookPage);
  twitter_ = button("Twitter", 2, kMakerTwitterPage);
  googlePlus_ = button("Google+", 0, kMakerGooglePlusPage);
  placeControls();
}

AboutBox::~AboutBox() {
  destroy();
  if (programIcon_ != nullptr) DestroyIcon(programIcon_);
}

void AboutBox::loadProgramIcon() {
  if (programIcon_ != nullptr) DestroyIcon(programIcon_);
  const int size = dpi_.px(64);
  programIcon_ = static_cast<HICON>(LoadImageW(
      GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TARNWATCH_ICON_PROGRAM), IMAGE_ICON, size, size, 0));
  picture_->setIcon(programIcon_);
}

void AboutBox::placeControls() {
  images_->reload(dpi_);
  panel_->setBounds(dpi_.px(kPanelDesign));
  picture_->setBounds(dpi_.px(kPictureDesign));
  loadProgramIcon();
  name_->adjustSize();
  name_->move(dpi_.px(kNameLeft), dpi_.px(kNameTop));
  web_->adjustSize();
  web_->move(dpi_.px(kWebLeft), dpi_.px(kWebTop));
  facebook_->setBounds(dpi_.px(kFacebookDesign));
  twitter_->setBounds(dpi_.px(kTwitterDesign));
  googlePlus_->setBounds(dpi_.px(kGooglePlusDesign));
}

}  // namespace tw::win
