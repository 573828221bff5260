#include "gui/settings/extension_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QShowEvent>

#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/settings/settings_window.h"

namespace tw {

ExtensionDialog::ExtensionDialog(SettingsWindow& settings, ImageList* settingsImages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      settings_(settings) {
  setWindowTitle(QStringLiteral("Extension Filter"));
  setFixedSize(308, 126);

  pCore_ = new GradientPanel(this);
  pCore_->setStyle(PanelStyle::Custom);
  pCore_->setInnerBorders(0);
  pCore_->setOuterBorders(0);
  pCore_->setGeometry(0, 0, 308, 126);

  auto* label1 = new QLabel(QStringLiteral("Extension to capture : "), pCore_);
  label1->move(8, 8);
  label1->adjustSize();
  edtext_ = new QLineEdit(pCore_);
  edtext_->setGeometry(130, 5, 112, 23);
  auto* label2 = new QLabel(QStringLiteral("( ex: .exe )"), pCore_);
  label2->move(248, 8);
  label2->adjustSize();
  auto* label3 =
      new QLabel(QStringLiteral("Notice: to add several extensions at the same time use the comma. "
                                "(example: .exe,.bat,.com,.scr,.pif) "),
                 pCore_);
  label3->setGeometry(8, 40, 287, 49);
  label3->setWordWrap(true);
  label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  bar_ = new InformationBar(pCore_);
  bar_->setGeometry(0, 86, 308, 40);
  auto button = [&](int x, const QString& caption, int image) {
    auto* b = new ToolButton(bar_);
    b->setGeometry(x, 9, 100, 24);
    b->setCaption(caption);
    b->setImages(settingsImages);
    b->setImageIndex(image);
    return b;
  };
  add_ = button(200, QStringLiteral("&Add"), kImgAdd);
  cancel_ = button(94, QStringLiteral("&Cancel"), kImgDelete);
  connect(add_, &ToolButton::clicked, this, &ExtensionDialog::onAdd);
  connect(cancel_, &ToolButton::clicked, this, &ExtensionDialog::onCancel);
  // The access keys of the two captions.
  connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this), &QShortcut::activated, this,
          &ExtensionDialog::onAdd);
  connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_C), this), &QShortcut::activated, this,
          &ExtensionDialog::onCancel);

  for (QWidget* child :
       {static_cast<QWidget*>(edtext_), static_cast<QWidget*>(add_), static_cast<QWidget*>(cancel_)})
    child->installEventFilter(this);
  setTabOrder(edtext_, add_);
  setTabOrder(add_, cancel_);
}

void ExtensionDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) prepareForShow();
}

void ExtensionDialog::prepareForShow() {
  edtext_->clear();
  edtext_->setFocus(Qt::OtherFocusReason);
}

bool ExtensionDialog::FormKeyDown(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      save();
      return true;
    case Qt::Key_Escape:
      close();
      return true;
    default:
      return false;  // goes on to the focused control
  }
}

bool ExtensionDialog::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(e)->key())) return true;
  return QDialog::eventFilter(watched, e);
}

void ExtensionDialog::keyPressEvent(QKeyEvent* e) {
  if (!FormKeyDown(e->key())) QDialog::keyPressEvent(e);
}

void ExtensionDialog::save() {
  const QByteArray text = edtext_->text().toUtf8();
  settings_.addExtensions(std::string(text.constData(), static_cast<std::size_t>(text.size())));
  close();
}

}  // namespace tw
