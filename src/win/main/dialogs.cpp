#include "win/main/dialogs.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
// clang-format on

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_support.h"
#include "win/controls/window.h"

namespace tw::win {

namespace {

using TaskDialogFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogFunction taskDialogFunction() {
  static const auto function = systemFunction<TaskDialogFunction>(L"comctl32.dll", "TaskDialogIndirect");
  return function;
}

UINT iconFlag(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::Error:
      return MB_ICONERROR;
    case MessageIcon::Question:
      return MB_ICONQUESTION;
  }
  return 0;
}

// The picker's callback: once the dialog stands, it selects the folder given as the data.
int CALLBACK selectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

bool Dialogs::taskDialogAvailable() { return taskDialogFunction() != nullptr; }

void Dialogs::message(WindowHandle owner, std::string_view title, std::string_view text,
                      MessageIcon icon) const {
  MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), MB_OK | iconFlag(icon));
}

bool Dialogs::askYesNo(WindowHandle owner, std::string_view title, std::string_view text) const {
  return MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool Dialogs::askTask(WindowHandle owner, std::string_view title, std::string_view instruction,
                      std::string_view content) const {
  const std::wstring wideTitle = wide(title), wideInstruction = wide(instruction),
                     wideContent = wide(content);
  if (TaskDialogFunction taskDialog = taskDialogFunction(); useTaskDialog && taskDialog != nullptr) {
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_YES_BUTTON | TDCBF_NO_BUTTON;
    config.pszWindowTitle = wideTitle.c_str();
    // The question icon is not among the task dialog's own icons: the system's, by handle.
    config.hMainIcon = LoadIconW(nullptr, IDI_QUESTION);
    config.dwFlags |= TDF_USE_HICON_MAIN;
    config.pszMainInstruction = wideInstruction.c_str();
    config.pszContent = wideContent.c_str();
    config.nDefaultButton = IDNO;
    int button = 0;
    if (SUCCEEDED(taskDialog(&config, &button, nullptr, nullptr))) return button == IDYES;
  }
  const std::wstring text = wideInstruction + L"\r\n\r\n" + wideContent;
  return MessageBoxW(owner, text.c_str(), wideTitle.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::optional<std::string> Dialogs::saveFileName(WindowHandle owner,
                                                 std::string_view defaultExtension) const {
  // Room for long paths: the dialog writes the chosen path into this buffer.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring extension = wide(defaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return narrow(file.data());
}

namespace {

struct ExportType {
  const wchar_t* name;
  const wchar_t* pattern;
  const wchar_t* extension;
  ExportFormat format;
  bool shownRowsOnly;
};

constexpr ExportType kExportTypes[] = {
    {L"Report (*.txt)", L"*.txt", L"txt", ExportFormat::Report, false},
    {L"CSV (*.csv)", L"*.csv", L"csv", ExportFormat::Csv, false},
    {L"jsonl recording (*.jsonl)", L"*.jsonl", L"jsonl", ExportFormat::Jsonl, false},
    {L"CSV, only the shown rows (*.csv)", L"*.csv", L"csv", ExportFormat::Csv, true},
    {L"jsonl recording, only the shown rows (*.jsonl)", L"*.jsonl", L"jsonl", ExportFormat::Jsonl, true},
};

// The file-type list of a common file dialog: name and pattern of each type, each ended by a
// null character, the whole ended by one more.
void appendFileType(std::wstring& filter, const wchar_t* name, const wchar_t* pattern) {
  filter += name;
  filter.push_back(L'\0');
  filter += pattern;
  filter.push_back(L'\0');
}

// Whether the last part of a path names an extension.
bool hasExtension(std::wstring_view path) {
  const std::size_t name = path.find_last_of(L"\\/:");
  const std::size_t dot = path.rfind(L'.');
  return dot != std::wstring_view::npos && (name == std::wstring_view::npos || dot > name) &&
         dot + 1 < path.size();
}

}  // namespace

std::optional<ExportTarget> Dialogs::saveExportFile(WindowHandle owner, bool offerShownRowsOnly) const {
  const std::size_t types = offerShownRowsOnly ? std::size(kExportTypes) : 3;
  std::wstring filter;
  for (std::size_t i = 0; i < types; ++i)
    appendFileType(filter, kExportTypes[i].name, kExportTypes[i].pattern);
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  // No default extension: the dialog would add it whatever the type; the chosen type's is added
  // below to a name typed without one.
  dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  const std::size_t chosen =
      dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= types ? dialog.nFilterIndex - 1 : 0;
  const ExportType& type = kExportTypes[chosen];
  std::wstring name = file.data();
  if (!hasExtension(name)) name += std::wstring(L".") + type.extension;
  return ExportTarget{narrow(name), type.format, type.shownRowsOnly};
}

std::optional<std::string> Dialogs::openRecordingFile(WindowHandle owner) const {
  std::wstring filter;
  appendFileType(filter, L"jsonl recording (*.jsonl)", L"*.jsonl");
  appendFileType(filter, L"All files (*.*)", L"*.*");
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring title = L"Open Recording";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return narrow(file.data());
}

std::string Dialogs::browseForFolder(WindowHandle owner, std::string_view title, std::string_view initial,
                                     bool allowNewFolder) const {
  tw::win32::ensureCom();
  const std::wstring wideTitle = wide(title), wideInitial = wide(initial);
  wchar_t displayName[MAX_PATH + 1] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = wideTitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | (allowNewFolder ? 0 : BIF_NONEWFOLDERBUTTON);
  if (!wideInitial.empty()) {
    info.lpfn = selectInitialFolder;
    info.lParam = reinterpret_cast<LPARAM>(wideInitial.c_str());
  }
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen == nullptr) return {};
  // Room for long paths where the system gives them (SHGetPathFromIDListEx); MAX_PATH otherwise.
  std::vector<wchar_t> path(32768, L'\0');
  const bool found =
      SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT) != FALSE;
  CoTaskMemFree(chosen);
  return found ? narrow(path.data()) : std::string();
}

}  // namespace tw::win
