#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

#include "gui/main/dialogs.h"

namespace tw::test {

// Answers the program's dialogs in place of a user and remembers what was asked.
class FakeDialogs : public Dialogs {
 public:
  struct Shown {
    QString kind;  // "message", "yesno", "task", "save", "folder", "export", "open"
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::Information;
    bool allowNewFolder = false;
  };
  std::vector<Shown> shown;
  // The answers, taken in order; when none is left: No, cancel, no folder.
  std::deque<bool> yesNo;
  std::deque<std::optional<QString>> saveNames;
  std::deque<QString> folders;
  // The export dialog's answers; when none is left, the plain save dialog's (saveNames), as a
  // report.
  std::deque<std::optional<ExportTarget>> exports;
  std::deque<std::optional<QString>> openNames;
  // Whether the last export dialog offered "only the shown rows".
  bool offeredShownRowsOnly = false;

  void message(QWidget*, const QString& title, const QString& text, MessageIcon icon) override {
    shown.push_back({"message", title, text, icon, false});
  }
  bool askYesNo(QWidget*, const QString& title, const QString& text) override {
    shown.push_back({"yesno", title, text, MessageIcon::Question, false});
    return take(yesNo, false);
  }
  bool askTask(QWidget*, const QString& title, const QString& instruction, const QString& content) override {
    shown.push_back({"task", title, instruction + "\n" + content, MessageIcon::Question, false});
    return take(yesNo, false);
  }
  std::optional<QString> saveFileName(QWidget*, const QString& defaultSuffix) override {
    shown.push_back({"save", defaultSuffix, {}, MessageIcon::Information, false});
    return take(saveNames, std::optional<QString>());
  }
  QString browseForFolder(QWidget*, const QString& title, const QString& initial,
                          bool allowNewFolder) override {
    shown.push_back({"folder", title, initial, MessageIcon::Information, allowNewFolder});
    return take(folders, QString());
  }
  std::optional<ExportTarget> saveExportFile(QWidget* owner, bool offerShownRowsOnly) override {
    offeredShownRowsOnly = offerShownRowsOnly;
    if (exports.empty()) return Dialogs::saveExportFile(owner, offerShownRowsOnly);
    shown.push_back({"export", {}, {}, MessageIcon::Information, false});
    return take(exports, std::optional<ExportTarget>());
  }
  std::optional<QString> openRecordingFile(QWidget*) override {
    shown.push_back({"open", {}, {}, MessageIcon::Information, false});
    return take(openNames, std::optional<QString>());
  }

 private:
  template <typename T>
  static T take(std::deque<T>& answers, T otherwise) {
    if (answers.empty()) return otherwise;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace tw::test
