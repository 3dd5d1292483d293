#include "bitmap_button.h"

#include <QPainter>

#include "resources.h"

namespace ui {

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent) {}

bool BitmapButton::loadBitmaps(int normal, int pressed, int disabled) {
    QPixmap n = loadBitmap(normal);
    if (n.isNull()) return false;
    setPixmaps(n, pressed ? loadBitmap(pressed) : QPixmap(),
               disabled ? loadBitmap(disabled) : QPixmap());
    normalId_ = normal;
    pressedId_ = pressed;
    disabledId_ = disabled;
    return true;
}

void BitmapButton::setPixmaps(const QPixmap& normal, const QPixmap& pressed,
                              const QPixmap& disabled) {
    normal_ = normal;
    pressed_ = pressed;
    disabled_ = disabled;
    normalId_ = pressedId_ = disabledId_ = 0;
    updateGeometry();
    update();
}

void BitmapButton::sizeToContent() {
    if (!normal_.isNull()) resize(normal_.deviceIndependentSize().toSize());
}

const QPixmap& BitmapButton::currentPixmap() const {
    if (!isEnabled() && !disabled_.isNull()) return disabled_;
    if (isDown() && !pressed_.isNull()) return pressed_;
    return normal_;
}

QSize BitmapButton::sizeHint() const {
    return normal_.isNull() ? QSize(20, 20) : normal_.deviceIndependentSize().toSize();
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap& pixmap = currentPixmap();
    if (!pixmap.isNull()) {
        painter.drawPixmap(0, 0, pixmap);
        return;
    }
    // No artwork: a plain labelled box, so that a missing picture is seen, not hidden.
    painter.fillRect(rect(), isDown() ? Qt::darkGray : Qt::lightGray);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

}  // namespace ui
