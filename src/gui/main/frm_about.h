#pragma once

#include <QDialog>
#include <QLabel>

#include "gui/controls/w7_buttons.h"
#include "gui/controls/w7_labels.h"
#include "gui/controls/w7_panels.h"
#include "platform/platform.h"

namespace tw {

// The about box: the program's picture, its name, the maker's web address and three buttons
// to the maker's pages on social networks. Shown modally, centred on its parent.
//
// Thread: the user-interface thread. Uses, but does not own, the platform.
class TFrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmAbout(Platform& platform, QWidget* parent = nullptr);

  // Shows the box modally, centred on `over` (or its parent).
  void showModalOver(QWidget* over);

  TW7Panel* panel = nullptr;
  QLabel* ImgProg = nullptr;
  QLabel* lName = nullptr;
  TW7ActiveLabel* W7ActiveLabel1 = nullptr;
  TW7ToolButton* W7ToolButton1 = nullptr;
  TW7ToolButton* W7ToolButton2 = nullptr;
  TW7ToolButton* W7ToolButton3 = nullptr;

  void W7ActiveLabel1Click();
  void W7ToolButton1Click();
  void W7ToolButton2Click();
  void W7ToolButton3Click();

 private:
  Platform& platform;
  TW7ImageList* images = nullptr;
};

}  // namespace tw
