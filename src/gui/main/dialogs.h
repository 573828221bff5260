#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace tw {

enum class MessageIcon { Information, Error, Question };

// The program's modal dialogs: message boxes, the close confirmation, the save dialog and the
// folder picker. The windows ask through this interface so that tests can answer in place of a
// user; QtDialogs is the real one.
//
// Thread: the user-interface thread. `owner` is the window the dialog belongs to (may be null).
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A message box with an OK button.
  virtual void message(QWidget* owner, const QString& title, const QString& text, MessageIcon icon) = 0;
  // A message box with the question icon and the buttons Yes and No; true for Yes only.
  virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
  // A task dialog: window title, main instruction, content, the question icon, Yes and No; true
  // for Yes only.
  virtual bool askTask(QWidget* owner, const QString& title, const QString& instruction,
                       const QString& content) = 0;
  // The save dialog, starting with an empty file name, with no file-type filter, adding
  // `defaultSuffix` to a name typed without one and never asking before replacing a file;
  // nothing when cancelled.
  virtual std::optional<QString> saveFileName(QWidget* owner, const QString& defaultSuffix) = 0;
  // The folder picker, opening with `initial` selected (when not empty) and offering a button
  // for a new folder only when `allowNewFolder`; the chosen folder, or the empty text.
  virtual QString browseForFolder(QWidget* owner, const QString& title, const QString& initial,
                                  bool allowNewFolder) = 0;
};

class QtDialogs : public Dialogs {
 public:
  void message(QWidget* owner, const QString& title, const QString& text, MessageIcon icon) override;
  bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
  bool askTask(QWidget* owner, const QString& title, const QString& instruction,
               const QString& content) override;
  std::optional<QString> saveFileName(QWidget* owner, const QString& defaultSuffix) override;
  QString browseForFolder(QWidget* owner, const QString& title, const QString& initial,
                          bool allowNewFolder) override;
};

}  // namespace tw
