#include "gui/main/about_box.h"

#include "core/report/export_report.h"
#include "core/report/main_caption.h"
#include "gui/controls/svg_images.h"
#include "gui/main/main_window.h"

namespace tw {

AboutBox::AboutBox(Shell& shell, QWidget* parent) : QDialog(parent), shell(shell) {
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  setFixedSize(297, 128);
  setFont(windowFont());

  images = new ImageList(this);
  fillImageList(*images, QStringLiteral(":/img/about"), 3);

  panel = new GradientPanel(this);
  panel->setGeometry(8, 8, 281, 113);

  programPicture = new QLabel(panel);
  programPicture->setGeometry(8, 8, 64, 64);
  programPicture->setPixmap(svgPixmap(QStringLiteral(":/img/program.svg"), 64));

  nameLabel = new QLabel(
      QString::fromUtf8(kDesignCaption.data(), static_cast<qsizetype>(kDesignCaption.size())), panel);
  QFont nameFont(QStringLiteral("Segoe UI"), 12, QFont::Bold);
  nameLabel->setFont(nameFont);
  nameLabel->move(78, 16);
  nameLabel->adjustSize();

  webAddress = new ActiveLabel(
      QString::fromUtf8(kMakerWebPage.data(), static_cast<qsizetype>(kMakerWebPage.size())), panel);
  webAddress->move(78, 47);
  webAddress->adjustSize();

  const auto button = [this](const QString& caption, int left, int image) {
    auto* b = new ToolButton(panel);
    b->setCaption(caption);
    b->setImages(images);
    b->setImageIndex(image);
    b->setGeometry(left, 80, 84, 24);
    return b;
  };
  facebookButton = button(QStringLiteral("Facebook"), 8, 1);
  twitterButton = button(QStringLiteral("Twitter"), 98, 2);
  googlePlusButton = button(QStringLiteral("Google+"), 188, 0);

  connect(webAddress, &ActiveLabel::clicked, this, &AboutBox::onWebAddress);
  connect(facebookButton, &ToolButton::clicked, this, &AboutBox::onFacebook);
  connect(twitterButton, &ToolButton::clicked, this, &AboutBox::onTwitter);
  connect(googlePlusButton, &ToolButton::clicked, this, &AboutBox::onGooglePlus);
}

void AboutBox::showModalOver(QWidget* over) {
  if (over == nullptr) over = parentWidget();
  if (over != nullptr) move(over->geometry().center() - rect().center());
  exec();
}

void AboutBox::onWebAddress() { shell.open(kMakerWebPage); }
void AboutBox::onFacebook() { shell.open(kMakerFacebookPage); }
void AboutBox::onTwitter() { shell.open(kMakerTwitterPage); }
void AboutBox::onGooglePlus() { shell.open(kMakerGooglePlusPage); }

}  // namespace tw
