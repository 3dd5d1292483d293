#include "ui/bitmap_button.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "qt/screen_test.h"
#include "ui/resources.h"

namespace {

using testsupport::showExposed;

// What the parent shows where the button is, and what `picture` looks like on the parent's
// white.
QImage onScreen(QWidget& parent, const ui::BitmapButton& button) {
    return parent.grab(button.geometry()).toImage().convertToFormat(QImage::Format_RGB32);
}
QImage onWhite(const QPixmap& picture) {
    QImage image(picture.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).drawPixmap(0, 0, picture);
    return image;
}

TEST(BitmapButton, SizesItselfToItsNormalBitmapKeepingItsPlace) {
    QWidget parent;
    ui::BitmapButton button(&parent);
    button.setGeometry(20, 30, 100, 100);
    ASSERT_TRUE(button.loadBitmaps(228, 229));
    button.sizeToContent();
    EXPECT_EQ(button.geometry(), QRect(20, 30, 80, 20));
    EXPECT_EQ(button.sizeHint(), QSize(80, 20));
}

TEST(BitmapButton, ShowsThePressedPictureWhileHeldDown) {
    QWidget parent;
    parent.resize(240, 100);
    ui::BitmapButton button(&parent);
    ASSERT_TRUE(button.loadBitmaps(189, 190));
    button.move(10, 10);
    button.sizeToContent();
    ASSERT_TRUE(showExposed(&parent));
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    EXPECT_EQ(onScreen(parent, button), onWhite(ui::loadBitmap(189)));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(onScreen(parent, button), onWhite(ui::loadBitmap(190)));
    EXPECT_NE(ui::loadBitmap(189).toImage(), ui::loadBitmap(190).toImage());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(onScreen(parent, button), onWhite(ui::loadBitmap(189)));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(BitmapButton, ShowsItsDisabledPictureOrElseTheNormalOne) {
    ui::BitmapButton with, without;
    ASSERT_TRUE(with.loadBitmaps(264, 265, 266));
    ASSERT_TRUE(without.loadBitmaps(189, 190));
    with.setEnabled(false);
    without.setEnabled(false);
    EXPECT_EQ(with.currentPixmap().toImage(), ui::loadBitmap(266).toImage());
    EXPECT_EQ(without.currentPixmap().toImage(), ui::loadBitmap(189).toImage());
}

TEST(BitmapButton, KeepsItsPicturesWhenTheNormalBitmapIsMissing) {
    ui::BitmapButton button;
    ASSERT_TRUE(button.loadBitmaps(189, 190));
    EXPECT_FALSE(button.loadBitmaps(9999, 190));
    EXPECT_EQ(button.normalBitmap(), 189);
    EXPECT_EQ(button.currentPixmap().size(), QSize(40, 20));
}

}  // namespace
