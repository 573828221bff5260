#include "gui/controls/controls_demo.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/controls/active_label.h"
#include "gui/controls/bars.h"
#include "gui/controls/buttons.h"
#include "gui/controls/gradient_panel.h"
#include "gui/controls/progress_bar.h"

namespace tw {

namespace {

// Small icons drawn on the spot, so the demo needs no icon theme.
QPixmap icon(int kind, int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(1.5, 1.5, size - 3, size - 3);
  switch (kind) {
    case 0:  // record
      p.setBrush(QColor(220, 40, 40));
      p.setPen(QColor(150, 20, 20));
      p.drawEllipse(r);
      break;
    case 1:  // settings
      p.setBrush(QColor(120, 130, 150));
      p.setPen(QColor(60, 70, 90));
      p.drawEllipse(r);
      p.setBrush(Qt::white);
      p.drawEllipse(r.center(), size / 6.0, size / 6.0);
      break;
    case 2:  // help
      p.setBrush(QColor(40, 110, 210));
      p.setPen(Qt::NoPen);
      p.drawEllipse(r);
      p.setPen(Qt::white);
      p.setFont(QFont(QStringLiteral("DejaVu Sans"), -1, QFont::Bold));
      p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
      break;
    case 3:  // tree
      p.setPen(QPen(QColor(60, 90, 140), 1.5));
      p.drawLine(QPointF(4, 3), QPointF(4, 13));
      p.drawLine(QPointF(4, 7), QPointF(9, 7));
      p.drawLine(QPointF(4, 13), QPointF(9, 13));
      p.fillRect(QRectF(2, 1, 5, 4), QColor(240, 200, 80));
      p.fillRect(QRectF(9, 5, 5, 4), QColor(240, 200, 80));
      p.fillRect(QRectF(9, 11, 5, 4), QColor(240, 200, 80));
      break;
    case 4:  // list
      p.setPen(QPen(QColor(60, 90, 140), 2));
      for (int y : {4, 8, 12}) p.drawLine(QPointF(3, y), QPointF(13, y));
      break;
    case 5:  // clean
      p.setPen(QPen(QColor(210, 80, 30), 2.5));
      p.drawLine(QPointF(4, 4), QPointF(12, 12));
      p.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case 6:  // save
      p.setBrush(QColor(50, 90, 170));
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(r, 2, 2);
      p.fillRect(QRectF(4, 2, 8, 5), Qt::white);
      break;
  }
  return pm;
}

}  // namespace

// The main window's toolbar, view bar and progress bar at their places and sizes of a new
// 635 x 351 window; where the window shows its tree and list, a dialog-style page.
std::unique_ptr<QWidget> buildControlsDemo() {
  auto window = std::make_unique<QWidget>();
  window->setWindowTitle(QStringLiteral("Tarnwatch themed controls"));
  window->resize(635, 351);
  window->setObjectName(QStringLiteral("demo"));

  auto* small = new ImageList(window.get());
  for (int k = 0; k <= 6; ++k) small->add(icon(k, 16));

  const QColor textColor(30, 57, 91);
  auto* toolBar = new ToolBar(window.get());
  toolBar->setObjectName(QStringLiteral("ToolBar"));
  toolBar->setGeometry(0, 0, 635, 31);
  struct Tool {
    const char* name;
    const char* caption;
    int image;
    int x, width;
    bool arrow;
  };
  for (const Tool& t :
       {Tool{"recordButton", "Record", 0, 4, 89, false}, Tool{"settingsButton", "", 1, 557, 27, false},
        Tool{"helpButton", "", 2, 588, 43, true}}) {
    auto* b = new ToolButton(toolBar);
    b->setObjectName(QString::fromLatin1(t.name));
    b->setGeometry(t.x, 3, t.width, 24);
    b->setCaption(QString::fromLatin1(t.caption));
    b->setImages(small);
    b->setImageIndex(t.image);
    b->setFontColor(textColor);
    b->setShowArrow(t.arrow);
  }

  auto* pTop = new GradientPanel(window.get());
  pTop->setObjectName(QStringLiteral("pTop"));
  pTop->setGeometry(8, 37, 619, 37);
  struct Speed {
    const char* name;
    const char* caption;
    int image;
    int x, width;
    bool enabled;
  };
  for (const Speed& s :
       {Speed{"treeButton", "Tree", 3, 4, 81, false}, Speed{"listButton", "List", 4, 91, 81, true},
        Speed{"cleanButton", "", 5, 178, 31, true}, Speed{"saveButton", "", 6, 215, 31, true}}) {
    auto* b = new SpeedButton(pTop);
    b->setObjectName(QString::fromLatin1(s.name));
    b->setGeometry(s.x, 5, s.width, 27);
    b->setFlat(true);
    b->setLight(false);
    b->setFadeInInterval(15);
    b->setFadeOutInterval(40);
    b->setCaption(QString::fromLatin1(s.caption));
    b->setImages(small);
    b->setImageIndex(s.image);
    b->setFontColor(textColor);
    b->setEnabled(s.enabled);
  }
  auto* status = new ActiveLabel(QStringLiteral("idle."), pTop);
  status->adjustSize();
  status->move(pTop->width() - status->width() - 8, 11);

  // A dialog-style page: a gradient panel with headings, a link, drive bars and an information bar.
  auto* page = new GradientPanel(window.get());
  page->setObjectName(QStringLiteral("page"));
  page->setGeometry(8, 80, 619, 249);
  auto* heading = new ActiveLabel(QStringLiteral("Drives to watch"), page);
  heading->setGeometry(16, 14, 200, 18);
  auto* link = new ActiveLabel(QStringLiteral("Open the help pages"), page);
  link->setObjectName(QStringLiteral("link"));
  link->setGeometry(16, 38, 200, 18);
  for (int i = 0; i < 3; ++i) {
    auto* drive = new ProgressBar(page);
    drive->setGeometry(230, 16 + 22 * i, 365, 17);
    drive->setPosition(i == 2 ? 93 : 35 + 25 * i);
    if (i == 2) drive->setColor(rgb(255, 0, 0));
  }
  auto* info = new InformationBar(page);
  info->resize(info->width(), 40);
  for (int i = 0; i < 2; ++i) {
    auto* b = new ToolButton(info);
    b->setObjectName(i == 0 ? QStringLiteral("ok") : QStringLiteral("cancel"));
    b->setGeometry(427 + 90 * i, 9, 82, 24);
    b->setCaption(i == 0 ? QStringLiteral("OK") : QStringLiteral("Cancel"));
    b->setFontColor(textColor);
  }

  auto* bar = new ProgressBar(window.get());
  bar->setObjectName(QStringLiteral("P"));
  bar->setGeometry(8, 335, 619, 9);
  bar->setRounded(true);
  bar->setColor(rgb(0x00, 0xFF, 0x00));
  bar->setPosition(40);
  return window;
}

void stageControlsDemo(QWidget& demo) {
  auto enter = [](QWidget* w) {
    if (!w) return;
    QEnterEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), w->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w, &e);
  };
  enter(demo.findChild<QWidget*>(QStringLiteral("settingsButton")));
  enter(demo.findChild<QWidget*>(QStringLiteral("listButton")));
  enter(demo.findChild<QWidget*>(QStringLiteral("link")));
  demo.activateWindow();
  if (auto* ok = demo.findChild<QWidget*>(QStringLiteral("ok"))) ok->setFocus(Qt::TabFocusReason);
}

}  // namespace tw
