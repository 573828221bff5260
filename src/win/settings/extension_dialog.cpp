#include "win/settings/extension_dialog.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <string>

#include "core/ui/settings_layout.h"
#include "win/controls/image_list.h"
#include "win/settings/settings_window.h"

namespace tw::win {

namespace {

constexpr int kClientWidth = 308;
constexpr int kClientHeight = 126;
constexpr Bounds kFieldDesign{130, 5, 112, 23};
constexpr Bounds kNoticeDesign{8, 40, 287, 49};
constexpr int kBarHeight = 40;
constexpr Bounds kAddDesign{200, 9, 100, 24};
constexpr Bounds kCancelDesign{94, 9, 100, 24};

}  // namespace

ExtensionDialog::ExtensionDialog(SettingsWindow& settings, const ImageList& settingsImages)
    : TopLevelWindow(L"TarnwatchExtensionDialog", "Extension Filter", kClientWidth, kClientHeight, true),
      settings_(settings) {
  const Fonts* fonts = fonts_.get();
  panel_ = std::make_unique<GradientPanel>(handle(), Bounds{}, fonts);
  panel_->setStyle(PanelStyle::Custom);
  PanelLook look = panel_->look();
  look.innerBorders = 0;
  look.outerBorders = 0;
  panel_->setLook(look);
  prompt_ = std::make_unique<Label>(panel_->handle(), 0, 0, "Extension to capture : ", fonts);
  field_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0,
                      0, 0, 0, panel_->handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  example_ = std::make_unique<Label>(panel_->handle(), 0, 0, "( ex: .exe )", fonts);
  notice_ = std::make_unique<Label>(panel_->handle(), 0, 0,
                                    "Notice: to add several extensions at the same time use the comma. "
                                    "(example: .exe,.bat,.com,.scr,.pif) ",
                                    fonts);
  notice_->setWrapped(true);
  bar_ = std::make_unique<InformationBar>(panel_->handle(), kBarHeight, fonts);
  const auto button = [&](const char* caption, int picture) {
    auto b = std::make_unique<ToolButton>(bar_->handle(), Bounds{}, fonts);
    b->setCaption(caption);
    b->setImages(&settingsImages);
    b->setImageIndex(picture);
    return b;
  };
  add_ = button("&Add", kImgAdd);
  cancel_ = button("&Cancel", kImgDelete);
  add_->onClick = [this] { save(); };
  cancel_->onClick = [this] { close(); };
  // The Tab order: the field, Add, Cancel.
  SetWindowPos(cancel_->handle(), add_->handle(), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  placeControls();
}

ExtensionDialog::~ExtensionDialog() { destroy(); }

void ExtensionDialog::placeControls() {
  panel_->setBounds(Bounds{0, 0, dpi_.px(kClientWidth), dpi_.px(kClientHeight)});
  prompt_->adjustSize();
  prompt_->move(dpi_.px(8), dpi_.px(8));
  const Bounds field = dpi_.px(kFieldDesign);
  MoveWindow(field_, field.left, field.top, field.width, field.height, TRUE);
  SendMessageW(field_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_->control()), TRUE);
  example_->adjustSize();
  example_->move(dpi_.px(248), dpi_.px(8));
  notice_->setBounds(dpi_.px(kNoticeDesign));
  bar_->setBounds(Bounds{0, dpi_.px(kClientHeight - kBarHeight), dpi_.px(kClientWidth), dpi_.px(kBarHeight)});
  add_->setBounds(dpi_.px(kAddDesign));
  cancel_->setBounds(dpi_.px(kCancelDesign));
}

void ExtensionDialog::shown() {
  SetWindowTextW(field_, L"");
  SetFocus(field_);
}

void ExtensionDialog::save() {
  const int length = GetWindowTextLengthW(field_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(field_, text.data(), length + 1)));
  settings_.addExtensions(narrow(text));
  close();
}

bool ExtensionDialog::preTranslate(QueuedMessage& message) {
  if (message.message != WM_KEYDOWN) return false;
  switch (message.wParam) {
    case VK_RETURN:
      save();
      return true;
    case VK_ESCAPE:
      close();
      return true;
    default:
      return false;  // goes on to the focused control
  }
}

}  // namespace tw::win
