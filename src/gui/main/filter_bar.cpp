#include "gui/main/filter_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>

namespace tw {

FilterBar::FilterBar(QWidget* parent)
    : QWidget(parent), textEdit(new QLineEdit(this)), count(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  textEdit->setPlaceholderText(QStringLiteral("Filter: path, new path, action or process (* and ? allowed)"));
  textEdit->setClearButtonEnabled(true);
  textEdit->installEventFilter(this);
  layout->addWidget(textEdit, 1);
  layout->addWidget(count);
  connect(textEdit, &QLineEdit::textChanged, this, &FilterBar::textChanged);
  hide();
}

void FilterBar::showCount(qint64 shown, qint64 total) {
  const QLocale locale;
  count->setText(QStringLiteral("%1 of %2").arg(locale.toString(shown), locale.toString(total)));
}

void FilterBar::open() {
  show();
  textEdit->setFocus(Qt::ShortcutFocusReason);
  textEdit->selectAll();
}

void FilterBar::close() {
  textEdit->clear();
  hide();
}

bool FilterBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == textEdit && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    close();
    emit closed();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tw
