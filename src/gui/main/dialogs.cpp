#include "gui/main/dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

namespace tw {

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtDialogs::message(QWidget* owner, const QString& title, const QString& text, MessageIcon icon) {
  QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, owner);
  box.exec();
}

bool QtDialogs::askYesNo(QWidget* owner, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, owner);
  return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::askTask(QWidget* owner, const QString& title, const QString& instruction,
                        const QString& content) {
  // A task dialog: the main instruction stands out above the content.
  QMessageBox box(QMessageBox::Question, title, QStringLiteral("<b>%1</b>").arg(instruction.toHtmlEscaped()),
                  QMessageBox::Yes | QMessageBox::No, owner);
  box.setTextFormat(Qt::RichText);
  box.setInformativeText(content);
  return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::saveFileName(QWidget* owner, const QString& defaultSuffix) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

QString QtDialogs::browseForFolder(QWidget* owner, const QString& title, const QString& initial,
                                   bool allowNewFolder) {
  QFileDialog dialog(owner, title);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  // Our own dialog, so that the new-folder button can be taken away.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!initial.isEmpty()) dialog.setDirectory(initial);
  if (!allowNewFolder) {
    if (auto* button = dialog.findChild<QAbstractButton*>(QStringLiteral("newFolderButton"))) button->hide();
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace tw
