#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/report/change_export.h"
#include "win/controls/win_types.h"

namespace tw::win {

enum class MessageIcon { Information, Error, Question };

// Where and how the user chose to export: the file (UTF-8), its type (the report, CSV or jsonl,
// chosen by the file type in the save dialog), and whether only the rows the filter shows go
// into it.
struct ExportTarget {
  std::string fileName;
  ExportFormat format = ExportFormat::Report;
  bool shownRowsOnly = false;
};

// The program's system dialogs: message boxes, the exit confirmation (a task dialog, or a message
// box where the system has no task dialog), the save dialog and the folder picker. Each runs
// modally over `owner` (which may be null) and returns when the user has answered. Texts are
// UTF-8.
//
// Thread: the user-interface thread (the folder picker initialises COM on it).
class Dialogs {
 public:
  // Whether the exit confirmation may use the task dialog; where the system's common controls
  // have none it falls back to a message box whatever this says. The tests turn it off to see
  // the fallback.
  bool useTaskDialog = true;

  // Whether this system's common controls have the task dialog.
  static bool taskDialogAvailable();

  // A message box with an OK button.
  void message(WindowHandle owner, std::string_view title, std::string_view text, MessageIcon icon) const;
  // A message box with the question icon and the buttons Yes and No; true for Yes only.
  bool askYesNo(WindowHandle owner, std::string_view title, std::string_view text) const;
  // A task dialog: window title, main instruction, content, the question icon, Yes and No; true
  // for Yes only. Without a task dialog: a message box with the instruction above the content.
  bool askTask(WindowHandle owner, std::string_view title, std::string_view instruction,
               std::string_view content) const;
  // The save dialog (GetSaveFileNameW): an empty file name, no file-type filter, `defaultExtension`
  // added to a name typed without one, never asking before replacing a file; the chosen path, or
  // nothing when cancelled.
  std::optional<std::string> saveFileName(WindowHandle owner, std::string_view defaultExtension) const;
  // The save dialog of the export: the file types Report (the default), CSV and jsonl and, with
  // `offerShownRowsOnly`, CSV and jsonl of only the shown rows; the type's extension added to a
  // name typed without one. The chosen file and type, or nothing when cancelled.
  std::optional<ExportTarget> saveExportFile(WindowHandle owner, bool offerShownRowsOnly) const;
  // The open dialog for a recording in the jsonl form (GetOpenFileNameW): the chosen file, or
  // nothing when cancelled.
  std::optional<std::string> openRecordingFile(WindowHandle owner) const;
  // The folder picker (SHBrowseForFolderW): file-system folders only, the desktop as its root,
  // `initial` selected when it opens (unless empty), a new-folder button only with
  // `allowNewFolder`; the chosen folder's path, or the empty text when cancelled or the chosen
  // item has no file-system path.
  std::string browseForFolder(WindowHandle owner, std::string_view title, std::string_view initial,
                              bool allowNewFolder) const;
};

}  // namespace tw::win
