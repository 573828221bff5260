#include "gui/main/dialogs.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
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

std::optional<ExportTarget> Dialogs::saveExportFile(QWidget* owner, bool) {
  std::optional<QString> name = saveFileName(owner, QStringLiteral("txt"));
  if (!name) return std::nullopt;
  return ExportTarget{*name, ExportFormat::Report, false};
}

std::optional<QString> Dialogs::openRecordingFile(QWidget*) { return std::nullopt; }

std::optional<ExportTarget> QtDialogs::saveExportFile(QWidget* owner, bool offerShownRowsOnly) {
  struct Type {
    QString filter;
    QString suffix;
    ExportFormat format;
  };
  const Type types[] = {
      {QStringLiteral("Report (*.txt)"), QStringLiteral("txt"), ExportFormat::Report},
      {QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"), ExportFormat::Csv},
      {QStringLiteral("jsonl recording (*.jsonl)"), QStringLiteral("jsonl"), ExportFormat::Jsonl},
  };
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  // Our own dialog, so that it can hold the choice of rows.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  QStringList filters;
  for (const Type& type : types) filters << type.filter;
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(types[0].suffix);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& chosen) {
    for (const Type& type : types) {
      if (type.filter == chosen) dialog.setDefaultSuffix(type.suffix);
    }
  });
  QCheckBox* shownOnly = nullptr;
  if (offerShownRowsOnly) {
    shownOnly = new QCheckBox(QStringLiteral("Only the shown rows"), &dialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
      grid->addWidget(shownOnly, grid->rowCount(), 0, 1, grid->columnCount());
    }
  }
  dialog.selectFile(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  ExportTarget target;
  target.fileName = dialog.selectedFiles().constFirst();
  for (const Type& type : types) {
    if (type.filter == dialog.selectedNameFilter()) target.format = type.format;
  }
  target.shownRowsOnly = shownOnly != nullptr && shownOnly->isChecked();
  return target;
}

std::optional<QString> QtDialogs::openRecordingFile(QWidget* owner) {
  QFileDialog dialog(owner, QStringLiteral("Open Recording"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("jsonl recordings (*.jsonl)"), QStringLiteral("All files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace tw
