#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace tw {

class TFrmSettings;
class TW7ImageList;
class TW7InformationBar;
class TW7Panel;
class TW7ToolButton;

// The extension entry dialog: the user types one or several extensions ("," ";" and spaces
// separate them) and "Add" (or Enter) hands the text to the settings window's addExtensions.
// Escape, "Cancel" and the close box add nothing. Its result is not looked at.
//
// Created once (after the settings window) and shown modally by the settings window's tbAddExt.
// Thread: the user-interface thread. Uses, but does not own, the settings window and its image
// list (images 4 and 5 on the buttons).
class TFrmAddExtension : public QDialog {
  Q_OBJECT
 public:
  TFrmAddExtension(TFrmSettings& settings, TW7ImageList* settingsImages, QWidget* parent = nullptr);

  QLineEdit* edtext() const { return edtext_; }
  TW7Panel* pCore() const { return pCore_; }
  TW7InformationBar* W7InformationBar1() const { return bar_; }
  TW7ToolButton* W7ToolButton1() const { return add_; }     // "&Add"
  TW7ToolButton* W7ToolButton2() const { return cancel_; }  // "&Cancel"

 public slots:
  // Hands the entry field's text, as it stands, to the settings window, then closes.
  void save();
  void W7ToolButton1Click() { save(); }
  void W7ToolButton2Click() { close(); }

 protected:
  void showEvent(QShowEvent* e) override;
  // The dialog sees every key before its controls: Enter saves, Escape closes.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void FormShow();
  bool FormKeyDown(int key);

  TFrmSettings& settings_;
  TW7Panel* pCore_ = nullptr;
  QLineEdit* edtext_ = nullptr;
  TW7InformationBar* bar_ = nullptr;
  TW7ToolButton* add_ = nullptr;
  TW7ToolButton* cancel_ = nullptr;
};

}  // namespace tw
