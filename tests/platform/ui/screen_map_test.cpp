// The screen map a driver taps by: what a shown dialog holds, where on the screen, in front of
// what, and the parts of widgets that draw their own.
#include "ui/screen_map.h"

#include <QDialog>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "qt/screen_test.h"
#include "ui/bitmap_button.h"

namespace {

// A control that draws its own cells, as the calendar does.
class CellStrip : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    Q_INVOKABLE QVariantList screenParts() const {
        return {QVariantMap{{"text", "1"}, {"rect", QRect(0, 0, 20, 10)}},
                QVariantMap{{"text", "2"}, {"rect", QRect(20, 0, 20, 10)}}};
    }
};

QJsonObject entryWhere(const QJsonArray& map, const std::function<bool(const QJsonObject&)>& test) {
    for (const QJsonValue& v : map) {
        if (test(v.toObject())) return v.toObject();
    }
    return {};
}
QJsonObject entryWith(const QJsonArray& map, const QString& kind, const QString& text) {
    return entryWhere(map, [&](const QJsonObject& e) {
        return e["kind"].toString() == kind && e["text"].toString() == text;
    });
}
QRect rectOf(const QJsonObject& e) {
    const QJsonArray r = e["rect"].toArray();
    return QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
}

class ScreenMapTest : public ::testing::Test {
protected:
    // A dialog at (0, 26) of the screen, as the program's are, over a plain window.
    ScreenMapTest() : dialog(&behind) {
        behind.setGeometry(0, 0, 240, 320);
        dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        dialog.setGeometry(0, 26, 240, 268);
        auto* label = new QLabel(QStringLiteral("이름:"), &dialog);
        label->setGeometry(4, 6, 54, 20);
        name = new QLineEdit(QStringLiteral("김민수"), &dialog);
        name->setGeometry(60, 6, 166, 20);
        auto* hidden = new QLineEdit(QStringLiteral("숨은 칸"), &dialog);
        hidden->hide();
        groups = new QTreeWidget(&dialog);
        groups->setHeaderHidden(true);
        groups->setGeometry(10, 40, 220, 60);
        for (int i = 0; i < 12; ++i) {
            auto* item = new QTreeWidgetItem(groups, {QStringLiteral("그룹 %1").arg(i)});
            item->setCheckState(0, i == 1 ? Qt::Checked : Qt::Unchecked);
        }
        tabs = new QTabBar(&dialog);
        tabs->addTab(QStringLiteral("사람"));
        tabs->addTab(QStringLiteral("날짜"));
        tabs->setGeometry(10, 110, 220, 24);
        spin = new QSpinBox(&dialog);
        spin->setGeometry(10, 140, 60, 20);
        strip = new CellStrip(&dialog);
        strip->setGeometry(100, 140, 40, 10);
        save = new ui::BitmapButton(&dialog);
        save->setGeometry(70, 240, 40, 20);
        save->loadBitmaps(189, 190);
    }

    QWidget behind;
    QDialog dialog;
    QLineEdit* name;
    QTreeWidget* groups;
    QTabBar* tabs;
    QSpinBox* spin;
    CellStrip* strip;
    ui::BitmapButton* save;
};

TEST_F(ScreenMapTest, TellsTextsAndPlacesOnTheScreenWithTheModalDialogInFront) {
    ASSERT_TRUE(testsupport::showExposed(&behind));
    dialog.setWindowModality(Qt::ApplicationModal);
    ASSERT_TRUE(testsupport::showExposed(&dialog));
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    const QJsonArray map = ui::screenMap();

    const QJsonObject edit = entryWith(map, "widget", "김민수");
    EXPECT_EQ(rectOf(edit), QRect(60, 32, 166, 20));  // in the screen, not in the dialog
    EXPECT_EQ(edit["layer"].toInt(), 1);
    EXPECT_TRUE(edit["focus"].toBool());
    EXPECT_EQ(rectOf(entryWith(map, "widget", "이름:")), QRect(4, 32, 54, 20));
    EXPECT_TRUE(entryWith(map, "widget", "숨은 칸").isEmpty());
    // The window behind is listed before the dialog, which is in front.
    const QJsonObject window = entryWhere(map, [&](const QJsonObject& e) {
        return e["kind"].toString() == "window" && e["layer"].toInt() == 0;
    });
    ASSERT_FALSE(window.isEmpty());
    EXPECT_LT(window["z"].toInt(), edit["z"].toInt());

    // The bitmap button names its picture; its text is left to the picture.
    const QJsonObject button = entryWhere(
        map, [](const QJsonObject& e) { return e["cls"].toString() == "ui::BitmapButton"; });
    EXPECT_EQ(button["bitmap"].toInt(), 189);
    EXPECT_EQ(rectOf(button), QRect(70, 266, 40, 20));
}

TEST_F(ScreenMapTest, ListsThePartsATapAimsAt) {
    ASSERT_TRUE(testsupport::showExposed(&behind));
    ASSERT_TRUE(testsupport::showExposed(&dialog));
    const QJsonArray map = ui::screenMap();

    // Rows in view only, with their check boxes' state, within the list's view.
    const QJsonObject ticked = entryWith(map, "row", "그룹 1");
    EXPECT_TRUE(ticked["checked"].toBool());
    EXPECT_FALSE(entryWith(map, "row", "그룹 0")["checked"].toBool());
    const QRect view(groups->viewport()->mapToGlobal(QPoint(0, 0)), groups->viewport()->size());
    EXPECT_TRUE(view.contains(rectOf(ticked)));
    EXPECT_TRUE(entryWith(map, "row", "그룹 11").isEmpty());
    groups->scrollToItem(groups->topLevelItem(11));
    EXPECT_FALSE(entryWith(ui::screenMap(), "row", "그룹 11").isEmpty());

    const QJsonObject tab = entryWith(map, "tab", "날짜");
    EXPECT_EQ(rectOf(tab),
              QRect(tabs->mapToGlobal(tabs->tabRect(1).topLeft()), tabs->tabRect(1).size()));
    EXPECT_FALSE(tab["checked"].toBool());

    // The spin box's arrows lie inside it, the up arrow above the down arrow.
    const QRect up = rectOf(entryWith(map, "arrow", "up"));
    const QRect down = rectOf(entryWith(map, "arrow", "down"));
    EXPECT_TRUE(QRect(10, 166, 60, 20).contains(up));
    EXPECT_LT(up.top(), down.top());

    // A control's own parts, in the screen.
    EXPECT_EQ(rectOf(entryWith(map, "part", "2")), QRect(120, 166, 20, 10));
}

TEST_F(ScreenMapTest, IsWrittenAgainWhenTheScreenChanges) {
    ASSERT_TRUE(testsupport::showExposed(&dialog));
    QTemporaryDir dir;
    const QString path = dir.filePath("screen.json");
    ui::startScreenMap(path, &dialog);
    auto read = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array()
                                              : QJsonArray();
    };
    QTRY_VERIFY(!entryWith(read(), "widget", "김민수").isEmpty());
    name->setText(QStringLiteral("이영희"));
    QTRY_VERIFY(!entryWith(read(), "widget", "이영희").isEmpty());
    EXPECT_TRUE(entryWith(read(), "widget", "김민수").isEmpty());
}

}  // namespace

#include "screen_map_test.moc"
