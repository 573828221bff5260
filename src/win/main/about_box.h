#pragma once

#include <memory>

#include "platform/shell.h"
#include "win/controls/buttons.h"
#include "win/controls/gradient_panel.h"
#include "win/controls/image_list.h"
#include "win/controls/labels.h"
#include "win/controls/top_level_window.h"

namespace tw::win {

// The about box: the program's picture and name, the maker's web address and three buttons to
// the maker's pages on social networks, on a panel with a left-to-right gradient. Shown modally,
// centred on the window that opens it; closing it hides it.
//
// Thread: the user-interface thread. Owns its controls, its image list and its picture; uses,
// but does not own, the shell, which outlives it.
class AboutBox : public TopLevelWindow {
 public:
  explicit AboutBox(Shell& shell);
  ~AboutBox() override;

  // Shows the box modally, centred on `owner`.
  void showModalOver(WindowHandle owner) { showModal(owner); }

  GradientPanel& panel() { return *panel_; }
  Picture& programPicture() { return *picture_; }
  Label& nameLabel() { return *name_; }
  ActiveLabel& webAddress() { return *web_; }
  ToolButton& facebookButton() { return *facebook_; }
  ToolButton& twitterButton() { return *twitter_; }
  ToolButton& googlePlusButton() { return *googlePlus_; }

 protected:
  void placeControls() override;

 private:
  void loadProgramIcon();

  Shell& shell_;
  std::unique_ptr<ImageList> images_;
  IconHandle programIcon_ = nullptr;
  std::unique_ptr<GradientPanel> panel_;
  std::unique_ptr<Picture> picture_;
  std::unique_ptr<Label> name_;
  std::unique_ptr<ActiveLabel> web_;
  std::unique_ptr<ToolButton> facebook_;
  std::unique_ptr<ToolButton> twitter_;
  std::unique_ptr<ToolButton> googlePlus_;
};

}  // namespace tw::win
