#include "ui/resources.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <set>

#include "artwork/artwork.h"
#include "qt/screen_test.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"

namespace {

// Every bitmap the screens and the Today item name.
constexpr int kScreenBitmaps[] = {101, 159, 162, 163, 165, 168, 179, 180, 181, 182, 183, 184, 185,
                                  186, 187, 188, 189, 190, 191, 192, 195, 196, 197, 198, 199, 200,
                                  201, 203, 204, 205, 206, 207, 208, 210, 211, 213, 215, 218, 219,
                                  222, 223, 224, 228, 229, 232, 233, 235, 237, 239, 240, 243, 246,
                                  247, 253, 254, 256, 257, 258, 259, 261, 264, 265, 266};

class Artwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() { quorinInitTodayArtwork(); }
};

TEST_F(Artwork, HasEveryBitmapTheScreensUse) {
    for (int id : kScreenBitmaps) EXPECT_FALSE(ui::loadBitmap(id).isNull()) << "bitmap " << id;
    EXPECT_TRUE(ui::loadBitmap(100).isNull());
}

TEST_F(Artwork, FitsWhereTheScreensPutIt) {
    auto size = [](int id) { return ui::loadBitmap(id).size(); };
    // The dialog bar is 26 high: its fill covers it, its buttons fit in it.
    EXPECT_EQ(size(165).height(), 26);
    EXPECT_LE(size(162).height(), 26);
    EXPECT_LE(size(253).height(), 26);
    // The calendar's marks sit under a day's number inside a 30 x 25 cell, side by side.
    for (int mark : {163, 261}) {
        EXPECT_LE(size(mark).width(), 13) << mark;
        EXPECT_LE(size(mark).height(), 11) << mark;
    }
    // Tab pages are painted at (-1, -2) over the 240 x 260 tab window.
    EXPECT_EQ(size(246), QSize(241, 262));
    EXPECT_EQ(size(247), QSize(241, 262));
    EXPECT_EQ(size(232), QSize(32, 16));  // two 16-pixel images
    EXPECT_EQ(size(101), QSize(19, 19));
    EXPECT_EQ(size(228), QSize(80, 20));  // the new-person button at (10, 234)-(90, 254)
    // The name-entry popup's OK button has (125, 30)-(150, 50).
    EXPECT_LE(size(223).width(), 26);
    // Up and down pictures of one button are the same size.
    const std::pair<int, int> pairs[] = {
        {162, 168}, {253, 254}, {179, 180}, {181, 182}, {183, 184}, {186, 185}, {187, 188},
        {189, 190}, {191, 192}, {195, 196}, {199, 198}, {201, 200}, {203, 204}, {205, 206},
        {207, 208}, {210, 211}, {213, 218}, {215, 219}, {159, 222}, {223, 224}, {228, 229},
        {256, 257}, {258, 259}, {264, 265}, {264, 266}};
    for (auto [up, down] : pairs) EXPECT_EQ(size(up), size(down)) << up << "/" << down;
}

// The editors' Done and the picker's Cancel (179, 180) store nothing, so they read 닫기 like
// the other close buttons (195, 196), picture for picture.
TEST_F(Artwork, ButtonsThatStoreNothingReadClose) {
    const auto image = [](int id) { return ui::loadBitmap(id).toImage(); };
    EXPECT_EQ(image(179), image(195));
    EXPECT_EQ(image(180), image(196));
}

// A sheet of every picture, and the dialog bar as the frame puts it together, for people to
// look at.
TEST_F(Artwork, SheetScreenshot) {
    const int cols = 4, cellW = 120, cellH = 36;
    const std::set<int> large = {197, 246, 247};
    const int rows = (int(std::size(kScreenBitmaps)) - int(large.size()) + cols - 1) / cols;
    QImage sheet(2 * 250, rows * cellH + 40 + 36 + 270, QImage::Format_RGB32);
    sheet.fill(QColor(236, 236, 236));
    QPainter p(&sheet);
    p.setFont(ui::deviceFont(10));
    int i = 0;
    for (int id : kScreenBitmaps) {
        if (large.count(id)) continue;
        const QPoint at((i % cols) * cellW, (i / cols) * cellH);
        p.drawText(at + QPoint(2, 12), QString::number(id));
        p.drawPixmap(at + QPoint(28, 2), ui::loadBitmap(id));
        ++i;
    }
    int y = rows * cellH;
    p.drawTiledPixmap(QRect(0, y, 240, 26), ui::loadBitmap(165));
    p.drawPixmap(0, y + 2, ui::loadBitmap(162));
    p.drawPixmap(240 - 26, y + 2, ui::loadBitmap(253));
    y += 40;
    p.drawPixmap(0, y, ui::loadBitmap(197));
    y += 36;
    p.drawPixmap(0, y, ui::loadBitmap(246));
    p.drawPixmap(250, y, ui::loadBitmap(247));
    p.end();
    QLabel label;
    label.setPixmap(QPixmap::fromImage(sheet));
    label.resize(sheet.size());
    const QString path = testsupport::screenshot(&label, QStringLiteral("artwork"));
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(QImage(path).size(), sheet.size());
}

TEST(Strings, AreTheStringTableAsQString) {
    EXPECT_EQ(ui::loadString(res::IDS_DELETE_FAILED),
              "삭제되지 않았습니다. 다시 시도하여 주십시오..");
    EXPECT_TRUE(ui::loadString(1).isEmpty());
}

TEST(DeviceLook, IsA240By320ScreenInNanumGothic) {
    EXPECT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 240, 320));
    EXPECT_EQ(QApplication::font().family(), "NanumGothic");
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), "NanumGothic");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(Qt::white));
}

TEST(Controls, AreFoundByIdNearestFirstAndByType) {
    QWidget screen;
    // Two windows of one screen reuse an id: the screen's own control wins.
    auto* pane = ui::addControl<QWidget>(&screen, 108, {95, 35, 140, 195});
    auto* inner = ui::addControl<QPushButton>(pane, 234, {0, 0, 20, 20});
    auto* own = ui::place(new ui::BitmapButton(&screen), 234, {10, 234, 80, 20});
    auto* name = ui::addControl<QLineEdit>(&screen, 1044, {60, 50, 100, 20});

    EXPECT_EQ(ui::control(&screen, 234), own);
    EXPECT_EQ(ui::control<ui::BitmapButton>(&screen, 234), own);
    EXPECT_EQ(ui::control<QPushButton>(&screen, 234), inner);
    EXPECT_EQ(ui::control<QPushButton>(pane, 234), inner);
    EXPECT_EQ(ui::control<QLineEdit>(&screen, 1044), name);
    EXPECT_EQ(ui::control<QPushButton>(&screen, 1044), nullptr);
    EXPECT_EQ(ui::control(&screen, 999), nullptr);

    EXPECT_EQ(name->geometry(), QRect(60, 50, 100, 20));
    EXPECT_EQ(name->objectName(), "ctl_1044");
    EXPECT_EQ(ui::controlId(name), 1044);
    EXPECT_EQ(ui::controlId(&screen), 0);
}

}  // namespace
