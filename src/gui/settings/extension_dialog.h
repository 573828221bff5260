#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tw {

class SettingsWindow;
class ImageList;
class InformationBar;
class GradientPanel;
class ToolButton;

// The extension entry dialog: the user types one or several extensions ("," ";" and spaces
// separate them) and "Add" (or Enter) hands the text to the settings window's addExtensions.
// Escape, "Cancel" and the close box add nothing. Its result is not looked at.
//
// Created once (after the settings window) and shown modally by the settings window's
// add-extension button.
// Thread: the user-interface thread. Uses, but does not own, the settings window and its image
// list (images 4 and 5 on the buttons).
class ExtensionDialog : public QDialog {
  Q_OBJECT
 public:
  ExtensionDialog(SettingsWindow& settings, ImageList* settingsImages, QWidget* parent = nullptr);

  QLineEdit* extensionField() const { return edtext_; }
  GradientPanel* contentPanel() const { return pCore_; }
  InformationBar* buttonBar() const { return bar_; }
  ToolButton* addButton() const { return add_; }        // "&Add"
  ToolButton* cancelButton() const { return cancel_; }  // "&Cancel"

 public slots:
  // Hands the entry field's text, as it stands, to the settings window, then closes.
  void save();
  void onAdd() { save(); }
  void onCancel() { close(); }

 protected:
  void showEvent(QShowEvent* e) override;
  // The dialog sees every key before its controls: Enter saves, Escape closes.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void prepareForShow();
  bool FormKeyDown(int key);

  SettingsWindow& settings_;
  GradientPanel* pCore_ = nullptr;
  QLineEdit* edtext_ = nullptr;
  InformationBar* bar_ = nullptr;
  ToolButton* add_ = nullptr;
  ToolButton* cancel_ = nullptr;
};

}  // namespace tw
