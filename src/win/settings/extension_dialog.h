#pragma once

#include <memory>

#include "win/controls/bars.h"
#include "win/controls/buttons.h"
#include "win/controls/gradient_panel.h"
#include "win/controls/labels.h"
#include "win/controls/top_level_window.h"

namespace tw::win {

class ImageList;
class SettingsWindow;

// The extension entry dialog: the user types one or several extensions ("," ";" and spaces
// separate them) and "Add" (or Enter, or Alt+A) hands the text to the settings window's
// addExtensions. Escape, "Cancel" (Alt+C) and the close box add nothing. It sees every key before
// its controls: Enter and Escape act wherever the focus is. Each showing starts with an empty
// field that has the focus.
//
// Created once (after the settings window) and shown modally by the settings window's
// add-extension button. Thread: the user-interface thread. Owns its controls; uses, but does not
// own, the settings window and its image list (images 4 and 5 on the buttons).
class ExtensionDialog : public TopLevelWindow {
 public:
  ExtensionDialog(SettingsWindow& settings, const ImageList& settingsImages);
  ~ExtensionDialog() override;

  // Hands the entry field's text, as it stands, to the settings window, then closes.
  void save();

  WindowHandle extensionField() const { return field_; }
  GradientPanel& contentPanel() { return *panel_; }
  InformationBar& buttonBar() { return *bar_; }
  ToolButton& addButton() { return *add_; }        // "&Add"
  ToolButton& cancelButton() { return *cancel_; }  // "&Cancel"

  bool preTranslate(QueuedMessage& message) override;

 protected:
  void placeControls() override;
  void shown() override;

 private:
  SettingsWindow& settings_;
  std::unique_ptr<GradientPanel> panel_;
  std::unique_ptr<Label> prompt_;
  WindowHandle field_ = nullptr;
  std::unique_ptr<Label> example_;
  std::unique_ptr<Label> notice_;
  std::unique_ptr<InformationBar> bar_;
  std::unique_ptr<ToolButton> add_;
  std::unique_ptr<ToolButton> cancel_;
};

}  // namespace tw::win
