#include "gui/controls/buttons.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

namespace tw {

QString withoutAccessMarks(const QString& caption) {
  const QByteArray bytes = caption.toUtf8();
  const std::string shown =
      tw::withoutAccessMarks(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

void AccessKey::follow(QWidget* button, const QString& caption) {
  if (id != 0) button->releaseShortcut(id);
  id = 0;
  const QKeySequence key = QKeySequence::mnemonic(caption);
  if (!key.isEmpty()) id = button->grabShortcut(key);
}

bool AccessKey::matches(QEvent* e) const {
  return id != 0 && e->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(e)->shortcutId() == id;
}

namespace {

constexpr Color kArrowColor = rgb(30, 57, 91);
constexpr Color kDisabledText = rgb(128, 128, 128);

// Lays out and draws a button's content over `img` (the button's picture so far): the arrow into
// the picture, then the picture onto the widget, then caption and image with QPainter.
void paintContent(QWidget* w, RgbaImage& img, const ButtonContent& c, ButtonKind kind, CaptionAlignment align,
                  bool pressed, const QColor& textColor, Color arrowColor) {
  const QFontMetrics fm(w->font());
  ButtonLayoutInput in;
  in.kind = kind;
  in.width = w->width();
  in.height = w->height();
  in.alignment = align;
  in.showArrow = c.showArrow;
  in.arrowType = c.arrowType;
  in.imageShown = c.imageShown();
  in.iconSize = c.iconSize;
  // "&" marks the access key: "&Add" reads "Add" with the A underlined; "&&" is one "&".
  const QString shown = withoutAccessMarks(c.caption);
  in.textWidth = shown.isEmpty() ? 0 : fm.horizontalAdvance(shown);
  in.textHeight = fm.height();
  in.pressed = pressed;
  const ButtonLayout layout = layoutButtonContent(in);

  if (layout.arrowX) drawButtonArrow(img, *layout.arrowX, *layout.arrowY, c.arrowType, arrowColor);
  QPainter painter(w);
  painter.drawImage(0, 0, imageView(img));

  if (!shown.isEmpty()) {
    const Rect& r = layout.textRect;
    const QString text = QString::fromStdString(
        elideAtWordEnd(shown.toStdString(), std::max(0, r.width()), [&fm](std::string_view s) {
          return fm.horizontalAdvance(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
        }));
    painter.setFont(w->font());
    painter.setPen(textColor);
    const QRect box(r.left, r.top, r.width(), r.height());
    if (text == shown) {
      painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, c.caption);
    } else {
      painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);  // cut: no access key shown
    }
  }
  if (layout.imageX) {
    // Always drawn in its normal, enabled form.
    const int size = layout.iconHeight;
    const QPixmap pixmap = c.images->image(c.imageIndex);
    painter.drawPixmap(QRect(*layout.imageX, *layout.imageY, size, size), pixmap);
  }
}

}  // namespace

// ---- Tool button ----------------------------------------------------------------------------

ToolButton::ToolButton(QWidget* parent) : TransparentThemedControl(parent) {
  resize(100, 24);
  setFocusPolicy(Qt::TabFocus);
}

void ToolButton::setCaption(const QString& text) {
  content_.caption = text;
  accessKey_.follow(this, text);
  update();
}
void ToolButton::setCaptionAlignment(CaptionAlignment a) {
  alignment_ = a;
  update();
}
void ToolButton::setShowArrow(bool value) {
  content_.showArrow = value;
  update();
}
void ToolButton::setSetFocusOnClick(bool value) {
  setFocusOnClick_ = value;
  update();
}
void ToolButton::setImages(ImageList* images) {
  content_.images = images;
  update();
}
void ToolButton::setImageIndex(int index) {
  content_.imageIndex = index;
  update();
}
void ToolButton::setIconSize(IconSize size) {
  content_.iconSize = size;
  update();
}
void ToolButton::setArrowType(ArrowDirection type) {
  content_.arrowType = type;
  update();
}
void ToolButton::setFontColor(const QColor& c) {
  content_.fontColor = c;
  update();
}

ToolButtonLook ToolButton::look() const {
  if (!isEnabled()) return ToolButtonLook::Idle;
  return toolButtonLook(leftPressed_, keyPressed_, pointerOver_, hasFocus());
}

void ToolButton::paintEvent(QPaintEvent*) {
  RgbaImage img = parentPicture(this);
  paintToolButtonFace(img, look());
  const bool enabled = isEnabled();
  paintContent(this, img, content_, ButtonKind::Tool, alignment_, enabled && (leftPressed_ || keyPressed_),
               enabled ? content_.fontColor : toQColor(kDisabledText), enabled ? kArrowColor : kDisabledText);
}

void ToolButton::enterEvent(QEnterEvent* e) {
  pointerOver_ = true;
  TransparentThemedControl::enterEvent(e);
}

void ToolButton::leaveEvent(QEvent* e) {
  pointerOver_ = false;
  TransparentThemedControl::leaveEvent(e);
}

void ToolButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && setFocusOnClick_) setFocus(Qt::MouseFocusReason);
  TransparentThemedControl::mousePressEvent(e);
}

void ToolButton::mouseReleaseEvent(QMouseEvent* e) {
  const bool wasPressed = leftPressed_;
  TransparentThemedControl::mouseReleaseEvent(e);
  if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

void ToolButton::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
    keyPressed_ = true;
    if (setFocusOnClick_) setFocus(Qt::OtherFocusReason);
    update();
    e->accept();  // the keys change the look only; they do not click
    return;
  }
  TransparentThemedControl::keyPressEvent(e);
}

void ToolButton::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;  // a held key stays pressed
  const int key = e->key();
  const bool clicks =
      clickOnKey_ && keyPressed_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
  keyPressed_ = false;
  update();
  if (clicks) {
    e->accept();
    emit clicked();
    return;
  }
  TransparentThemedControl::keyReleaseEvent(e);
}

void ToolButton::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange) keyPressed_ = false;
  TransparentThemedControl::changeEvent(e);
}

bool ToolButton::event(QEvent* e) {
  if (accessKey_.matches(e)) {
    if (isEnabled()) {
      if (setFocusOnClick_) setFocus(Qt::ShortcutFocusReason);
      emit clicked();
    }
    return true;
  }
  return TransparentThemedControl::event(e);
}

// ---- Speed button ---------------------------------------------------------------------------

SpeedButton::QtFadeTimer::QtFadeTimer(SpeedButton* owner) {
  QObject::connect(&timer, &QTimer::timeout, owner, [owner] { owner->fader_.tick(); });
}

SpeedButton::SpeedButton(QWidget* parent)
    : QWidget(parent), timer_(this), fader_(timer_, [this] { update(); }) {
  setFont(defaultControlFont());
  setFocusPolicy(Qt::NoFocus);
  resize(34, 27);
}

SpeedButton::~SpeedButton() { timer_.timer.stop(); }

void SpeedButton::setCaption(const QString& text) {
  content_.caption = text;
  accessKey_.follow(this, text);
  update();
}
void SpeedButton::setShowArrow(bool value) {
  content_.showArrow = value;
  update();
}
void SpeedButton::setImages(ImageList* images) {
  content_.images = images;
  update();
}
void SpeedButton::setImageIndex(int index) {
  content_.imageIndex = index;
  update();
}
void SpeedButton::setIconSize(IconSize size) {
  content_.iconSize = size;
  update();
}
void SpeedButton::setArrowType(ArrowDirection type) {
  content_.arrowType = type;
  update();
}
void SpeedButton::setFontColor(const QColor& c) {
  content_.fontColor = c;
  update();
}
void SpeedButton::setFlat(bool value) {
  flat_ = value;
  images_ = {};
  update();
}
void SpeedButton::setLight(bool value) {
  light_ = value;
  if (value) flat_ = false;
  images_ = {};
  update();
}
void SpeedButton::setFadeInInterval(int ms) {
  fader_.fadeInInterval = ms;
  update();
}
void SpeedButton::setFadeOutInterval(int ms) {
  fader_.fadeOutInterval = ms;
  update();
}
void SpeedButton::setPressButtonEffect(bool value) {
  pressButtonEffect_ = value;
  update();
}

void SpeedButton::setTakesFocus(bool value) {
  setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
  update();
}

void SpeedButton::paintEvent(QPaintEvent*) {
  RgbaImage img = parentPicture(this);
  // The glossy looks (Light, or neither Flat nor Light) are painted as the flat look.
  paintSpeedButton(img, images_, fader_.paintState());
  const bool enabled = isEnabled();
  if (hasFocus() && enabled) paintFocusFrame(img, kArrowColor);
  paintContent(this, img, content_, ButtonKind::Speed, CaptionAlignment::Center,
               fader_.leftPressed() && pressButtonEffect_,
               enabled ? content_.fontColor : toQColor(kDisabledText), kArrowColor);
}

void SpeedButton::enterEvent(QEnterEvent* e) {
  fader_.pointerEnter();
  emit mouseEnter();
  QWidget::enterEvent(e);
}

void SpeedButton::leaveEvent(QEvent* e) {
  fader_.pointerLeave();
  emit mouseLeave();
  QWidget::leaveEvent(e);
}

void SpeedButton::mousePressEvent(QMouseEvent* e) {
  fader_.mouseDown(e->button() == Qt::LeftButton);
  e->accept();
}

void SpeedButton::mouseReleaseEvent(QMouseEvent* e) {
  const bool wasPressed = fader_.leftPressed();
  fader_.mouseUp();
  if (wasPressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
  e->accept();
}

void SpeedButton::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if (takesFocus() && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
    keyHeld_ = true;
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

void SpeedButton::keyReleaseEvent(QKeyEvent* e) {
  const int key = e->key();
  if (keyHeld_ && !e->isAutoRepeat() &&
      (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
    keyHeld_ = false;
    e->accept();
    if (isEnabled()) emit clicked();
    return;
  }
  QWidget::keyReleaseEvent(e);
}

void SpeedButton::focusInEvent(QFocusEvent* e) {
  update();
  QWidget::focusInEvent(e);
}

void SpeedButton::focusOutEvent(QFocusEvent* e) {
  keyHeld_ = false;
  update();
  QWidget::focusOutEvent(e);
}

void SpeedButton::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange) {
    images_ = {};
    keyHeld_ = false;
    fader_.setEnabled(isEnabled());
  }
  QWidget::changeEvent(e);
}

bool SpeedButton::event(QEvent* e) {
  if (accessKey_.matches(e)) {
    if (isEnabled()) emit clicked();
    return true;
  }
  return QWidget::event(e);
}

}  // namespace tw
