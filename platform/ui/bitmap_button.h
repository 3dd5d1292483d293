// A button drawn entirely by its bitmaps: normal, pressed and, optionally, disabled.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace ui {

class BitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit BitmapButton(QWidget* parent = nullptr);

    // Loads the pictures by bitmap number (0: none; a missing pressed or disabled picture
    // shows the normal one). False, and the pictures unchanged, when `normal` does not exist.
    bool loadBitmaps(int normal, int pressed = 0, int disabled = 0);
    void setPixmaps(const QPixmap& normal, const QPixmap& pressed = {},
                    const QPixmap& disabled = {});
    // Resizes the button to its normal picture, keeping its top left corner.
    void sizeToContent();

    int normalBitmap() const { return normalId_; }
    int pressedBitmap() const { return pressedId_; }
    int disabledBitmap() const { return disabledId_; }
    // The picture the button shows in its current state.
    const QPixmap& currentPixmap() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap normal_, pressed_, disabled_;
    int normalId_ = 0, pressedId_ = 0, disabledId_ = 0;
};

}  // namespace ui
