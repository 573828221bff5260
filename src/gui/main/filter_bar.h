#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace tw {

// The filter box above the views: a line of text matched against every row (ListFilter; the tree
// shows the nodes of the rows it shows, with their ancestors) and
// the count of rows shown, "N of M". Hidden until the user asks for it (Ctrl+F); Escape in the
// box clears the text and hides the bar again, so that the views look as designed without it.
//
// Thread: the user-interface thread. Owns its two child widgets.
class FilterBar : public QWidget {
  Q_OBJECT

 public:
  explicit FilterBar(QWidget* parent = nullptr);

  QLineEdit* edit() const { return textEdit; }
  QLabel* countLabel() const { return count; }
  // Shows "shown of total" (with the locale's digit grouping).
  void showCount(qint64 shown, qint64 total);
  // Shows the bar and puts the caret in its box, the text selected.
  void open();
  // Empties the box and hides the bar.
  void close();

 signals:
  // The text changed (typed, or emptied by Escape).
  void textChanged(const QString& text);
  // The bar was closed with Escape.
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* textEdit;
  QLabel* count;
};

}  // namespace tw
