#include "gui/main/frm_about.h"

#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "gui/controls/svg_images.h"
#include "gui/main/frm_main.h"

namespace tw {

TFrmAbout::TFrmAbout(Platform& platform, QWidget* parent) : QDialog(parent), platform(platform) {
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setFixedSize(297, 128);
  setFont(windowFont());

  images = new TW7ImageList(this);
  fillImageList(*images, QStringLiteral(":/img/about"), 3);

  panel = new TW7Panel(this);
  panel->setGeometry(8, 8, 281, 113);

  ImgProg = new QLabel(panel);
  ImgProg->setGeometry(8, 8, 64, 64);
  ImgProg->setPixmap(svgPixmap(QStringLiteral(":/img/program.svg"), 64));

  lName = new QLabel(QString::fromUtf8(kDesignCaption.data(), static_cast<qsizetype>(kDesignCaption.size())),
                     panel);
  QFont nameFont(QStringLiteral("Segoe UI"), 12, QFont::Bold);
  lName->setFont(nameFont);
  lName->move(78, 16);
  lName->adjustSize();

  W7ActiveLabel1 = new TW7ActiveLabel(
      QString::fromUtf8(kMakerWebPage.data(), static_cast<qsizetype>(kMakerWebPage.size())), panel);
  W7ActiveLabel1->move(78, 47);
  W7ActiveLabel1->adjustSize();

  const auto button = [this](const QString& caption, int left, int image) {
    auto* b = new TW7ToolButton(panel);
    b->setCaption(caption);
    b->setImages(images);
    b->setImageIndex(image);
    b->setGeometry(left, 80, 84, 24);
    return b;
  };
  W7ToolButton1 = button(QStringLiteral("Facebook"), 8, 1);
  W7ToolButton2 = button(QStringLiteral("Twitter"), 98, 2);
  W7ToolButton3 = button(QStringLiteral("Google+"), 188, 0);

  connect(W7ActiveLabel1, &TW7ActiveLabel::clicked, this, &TFrmAbout::W7ActiveLabel1Click);
  connect(W7ToolButton1, &TW7ToolButton::clicked, this, &TFrmAbout::W7ToolButton1Click);
  connect(W7ToolButton2, &TW7ToolButton::clicked, this, &TFrmAbout::W7ToolButton2Click);
  connect(W7ToolButton3, &TW7ToolButton::clicked, this, &TFrmAbout::W7ToolButton3Click);
}

void TFrmAbout::showModalOver(QWidget* over) {
  if (over == nullptr) over = parentWidget();
  if (over != nullptr) move(over->geometry().center() - rect().center());
  exec();
}

void TFrmAbout::W7ActiveLabel1Click() { platform.shellOpen(kMakerWebPage); }
void TFrmAbout::W7ToolButton1Click() { platform.shellOpen(kMakerFacebookPage); }
void TFrmAbout::W7ToolButton2Click() { platform.shellOpen(kMakerTwitterPage); }
void TFrmAbout::W7ToolButton3Click() { platform.shellOpen(kMakerGooglePlusPage); }

}  // namespace tw
