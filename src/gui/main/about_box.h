#pragma once

#include <QDialog>
#include <QLabel>

#include "gui/controls/active_label.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "platform/shell.h"

namespace tw {

// The about box: the program's picture, its name, the maker's web address and three buttons
// to the maker's pages on social networks. Shown modally, centred on its parent.
//
// Thread: the user-interface thread. Uses, but does not own, the platform.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(Shell& shell, QWidget* parent = nullptr);

  // Shows the box modally, centred on `over` (or its parent).
  void showModalOver(QWidget* over);

  GradientPanel* panel = nullptr;
  QLabel* programPicture = nullptr;
  QLabel* nameLabel = nullptr;
  ActiveLabel* webAddress = nullptr;
  ToolButton* facebookButton = nullptr;
  ToolButton* twitterButton = nullptr;
  ToolButton* googlePlusButton = nullptr;

  void onWebAddress();
  void onFacebook();
  void onTwitter();
  void onGooglePlus();

 private:
  Shell& shell;
  ImageList* images = nullptr;
};

}  // namespace tw
