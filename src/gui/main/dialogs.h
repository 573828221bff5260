#pragma once

#include <QString>
#include <optional>

#include "core/report/change_export.h"

class QWidget;

namespace tw {

enum class MessageIcon { Information, Error, Question };

// Where and how the user chose to export: the file, its type (the report, CSV or jsonl, chosen by
// the file type in the save dialog), and whether only the rows the filter shows go into it.
struct ExportTarget {
  QString fileName;
  ExportFormat format = ExportFormat::Report;
  bool shownRowsOnly = false;
};

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
  // The export's save dialog: the report (the default), CSV or jsonl by file type, and, when
  // `offerShownRowsOnly`, the choice "only the shown rows"; nothing when cancelled. Without an
  // override: the plain save dialog, for the report.
  virtual std::optional<ExportTarget> saveExportFile(QWidget* owner, bool offerShownRowsOnly);
  // The open dialog for a recording in the jsonl form; nothing when cancelled (and without an
  // override).
  virtual std::optional<QString> openRecordingFile(QWidget* owner);
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
  std::optional<ExportTarget> saveExportFile(QWidget* owner, bool offerShownRowsOnly) override;
  std::optional<QString> openRecordingFile(QWidget* owner) override;
};

}  // namespace tw
