// The appointment lists: order, line breaking, geometry and hit testing as plain functions,
// then the widgets under the stylus: tap, hold on a set clock of ticks, a move cancelling.
#include "appointments/list_ctrl.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include "qt/screen_test.h"
#include "recording_main_view.h"
#include "store/record_store.h"

namespace {

using namespace listctl;

ListRow row(const char* first, const QString& second = QStringLiteral("내용"),
            const char* id = "1") {
    return {QString::fromUtf8(first), second, QString::fromUtf8(id)};
}

QStringList firsts(const std::vector<ListRow>& rows) {
    QStringList out;
    for (const auto& r : rows) out << r.first;
    return out;
}

TEST(ListLayout, AnniversariesFirstThenTimesWithNoneLast) {
    std::vector<ListRow> rows = {row("<NONE>"), row("14:30"),       row("기념일", "A"),
                                 row("09:05"),  row("기념일", "B"), row("<NONE>", "x")};
    sortRows(rows);
    EXPECT_EQ(firsts(rows),
              (QStringList{"기념일", "기념일", "09:05", "14:30", "<NONE>", "<NONE>"}));
}

TEST(ListLayout, SecondTextsBreakIntoLinesNoWiderThanTheColumn) {
    EXPECT_EQ(breakLines(QString(20, u'가')), (QStringList{QString(13, u'가'), QString(7, u'가')}));
    EXPECT_EQ(breakLines(QString(28, u'가')).size(), 3);
    for (const QString& line : breakLines(QString(100, u'가'))) EXPECT_LE(line.size(), 13);
    EXPECT_EQ(breakLines(QString()), QStringList{QString()});
    EXPECT_EQ(breakLines(QStringLiteral("첫 줄\r\n둘째 줄\n셋")),
              (QStringList{"첫 줄", "둘째 줄", "셋"}));
    // Broken once when laid out; laying out again breaks the stored text again, not the result.
    std::vector<ListRow> rows = {row("10:00", QString(20, u'나'))};
    EXPECT_EQ(layoutScrollingRows(rows, 100).text[0].size(), 2);
    EXPECT_EQ(layoutScrollingRows(rows, 100).text[0].size(), 2);
    EXPECT_EQ(rows[0].second, QString(20, u'나'));
}

TEST(ListLayout, ScrollingRowsStackWithTheirSeparatorsAndHitRectangles) {
    std::vector<ListRow> rows = {row("10:00", QString(5, u'가')), row("11:00", QString(20, u'가'))};
    const ScrollLayout l = layoutScrollingRows(rows, 100);
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.rows[0].first, QRect(QPoint(15, 2), QPoint(54, 15)));
    EXPECT_EQ(l.rows[0].second, QRect(QPoint(15, 18), QPoint(194, 31)));
    EXPECT_EQ(l.rows[0].hit, QRect(QPoint(9, 1), QPoint(190, 33)));
    EXPECT_EQ(l.rows[0].separator, QLine(10, 40, 190, 40));
    // The next row starts 16 pixels below the second text.
    EXPECT_EQ(l.rows[1].first.top(), 48);
    EXPECT_EQ(l.rows[1].second.bottom(), 48 + 16 + 28 - 1);
    EXPECT_EQ(l.height, 110);  // at least the client height + 10
    EXPECT_EQ(layoutScrollingRows(rows, 10).height, 48 + 16 + 28 + 16);

    EXPECT_EQ(hitScrollingRow(l, {20, 10}), 0);
    EXPECT_EQ(hitScrollingRow(l, {20, 60}), 1);
    EXPECT_EQ(hitScrollingRow(l, {20, 40}), -1);   // on the separator
    EXPECT_EQ(hitScrollingRow(l, {195, 10}), -1);  // right of the hit rectangle

    // 25 rows are all laid out, only the first 20 take taps.
    std::vector<ListRow> many(25, row("10:00"));
    const ScrollLayout big = layoutScrollingRows(many, 100);
    ASSERT_EQ(big.rows.size(), 25u);
    EXPECT_EQ(hitScrollingRow(big, big.rows[19].hit.center()), 19);
    EXPECT_EQ(hitScrollingRow(big, big.rows[20].hit.center()), -1);
    EXPECT_EQ(visibleRows(big, big.rows[10].first.top(), 60).first, 10);
}

TEST(ListLayout, PagesOfThreeWithAShortLastPage) {
    std::vector<ListRow> rows;
    for (int i = 0; i < 7; ++i) rows.push_back(row("2005-03-01", QString(30, u'다'), "5"));
    EXPECT_EQ(pageCount(7), 3);
    EXPECT_EQ(pageCount(0), 1);
    // A fixed-pitch measure: 11 pixels a character, as the list's font draws a syllable.
    const TextWidth width = [](QStringView t) { return int(11 * t.size()); };
    const PagedLayout full = layoutPage(rows, 2, width);
    ASSERT_EQ(full.rows.size(), 3u);
    EXPECT_EQ(full.rows[0].row, 3);
    EXPECT_EQ(full.rows[1].hit, QRect(QPoint(4, 55), QPoint(135, 99)));
    EXPECT_EQ(full.separators,
              (std::vector<QLine>{QLine(0, 52, 180, 52), QLine(0, 104, 180, 104)}));
    // As many syllables as the 130-pixel box holds: 11 of 11 pixels.
    EXPECT_EQ(full.rows[0].shown, QString(11, u'다') + "\n" + QString(11, u'다'));
    EXPECT_EQ(pagedText(QStringLiteral("짧은 내용"), width), "짧은 내용");

    const PagedLayout last = layoutPage(rows, 3, width);
    ASSERT_EQ(last.rows.size(), 1u);
    EXPECT_EQ(hitPagedRow(last, {10, 20}), 6);
    EXPECT_EQ(hitPagedRow(last, {10, 70}), -1);  // where the second row of a full page was
    EXPECT_EQ(hitPagedRow(last, {10, 120}), -1);
}

TEST(ListLayout, PressTimingOpensTheMenuOnTheFourthTickUnlessMoved) {
    PressTracker t;
    t.press(true, true);
    EXPECT_FALSE(t.tick());
    EXPECT_FALSE(t.tick());
    EXPECT_FALSE(t.tick());
    EXPECT_TRUE(t.tick());
    EXPECT_TRUE(t.held());
    EXPECT_FALSE(t.tick());
    EXPECT_FALSE(t.release());  // the release that ends a hold is no tap

    t.press(true, true);
    t.tick(), t.tick();
    t.move();
    EXPECT_FALSE(t.tick() || t.tick() || t.tick());
    EXPECT_TRUE(t.release());  // moved: no menu, still a tap

    t.press(true, false);  // menu switch off
    EXPECT_FALSE(t.timing());
    EXPECT_FALSE(t.release());
    t.press(false, true);  // off the rows
    EXPECT_FALSE(t.release());
}

class ListWidgetTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        page.setGeometry(0, 0, 240, 300);
        list = new CAgendaListWnd(&view, &page);
        list->Create(QRect(9, 53, 223, 177), 1000);
        list->SetMenuSwitch(1);
        list->SetTitle(QStringLiteral("2005년 03월 01일 약속"));
        QObject::connect(list, &CAgendaListWnd::commandRequested,
                         [this](int c) { commands.push_back(c); });
        ASSERT_TRUE(testsupport::showExposed(&page));
    }
    QWidget* viewport() { return list->list()->viewport(); }
    QPoint rowPoint(int i) { return list->list()->layout().rows[size_t(i)].hit.center(); }

    CRecordStore store;
    RecordingMainView view{store};
    QWidget page;
    CAgendaListWnd* list = nullptr;
    std::vector<int> commands;
};

TEST_F(ListWidgetTest, ATapSetsTheCurrentItemAndAsksForDetailsAfterTheHandler) {
    list->AddRow(QStringLiteral("기념일"), QStringLiteral("홍길동님의 생일입니다."), "-31");
    list->AddRow(QStringLiteral("09:00"), QStringLiteral("회의"), "21");
    list->ShowRows();
    EXPECT_EQ(list->list()->rows()[0].idText, "-31");

    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(view.currentItemId(), 21);
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_TRUE(commands.empty());  // queued, never sent from inside the list's handler
    QCoreApplication::processEvents();
    EXPECT_EQ(commands, std::vector<int>{32797});
    EXPECT_FALSE(list->list()->press()->timerRunning());

    // Off the rows: nothing.
    commands.clear();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(20, 150));
    QCoreApplication::processEvents();
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(view.currentItemId(), 21);
}

TEST_F(ListWidgetTest, AHoldOpensTheEventOrDateMenuOnTheFourthTick) {
    list->AddRow(QStringLiteral("기념일"), QStringLiteral("홍길동님의 생일입니다."), "-31");
    list->AddRow(QStringLiteral("09:00"), QString(30, u'회'), "21");
    list->ShowRows();
    ListPress* press = list->list()->press();

    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowPoint(0));
    EXPECT_EQ(view.currentItemId(), -31);
    EXPECT_TRUE(press->timerRunning());
    for (int i = 0; i < 3; ++i) press->tick();
    QCoreApplication::processEvents();
    EXPECT_TRUE(menus.shown().empty());
    testsupport::screenshot(list, QStringLiteral("agenda_list_mid_hold"));
    menus.expectChoose(32820);
    press->tick();
    QCoreApplication::processEvents();
    ASSERT_EQ(menus.shown().size(), 1u);
    EXPECT_EQ(menus.shown()[0].title, "Event");
    EXPECT_FALSE(press->timerRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(commands, std::vector<int>{32820});
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowPoint(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(commands, std::vector<int>{32820});  // the release ending a hold is no tap

    // An appointment gets the Date menu.
    commands.clear();
    menus.expectChoose(32821);
    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowPoint(1));
    for (int i = 0; i < 4; ++i) press->tick();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(menus.shown().back().title, "Date");
    EXPECT_EQ(commands, std::vector<int>{32821});
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowPoint(1));
}

TEST_F(ListWidgetTest, AMoveBeforeTheFourthTickGivesATapAndNoMenu) {
    list->AddRow(QStringLiteral("09:00"), QStringLiteral("회의"), "21");
    list->ShowRows();
    ListPress* press = list->list()->press();
    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowPoint(0));
    press->tick();
    QTest::mouseMove(viewport(), rowPoint(0) + QPoint(2, 0));
    QMouseEvent move(QEvent::MouseMove, QPointF(rowPoint(0) + QPoint(3, 0)),
                     viewport()->mapToGlobal(QPointF(rowPoint(0) + QPoint(3, 0))), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport(), &move);
    for (int i = 0; i < 6; ++i) press->tick();
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowPoint(0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(menus.shown().empty());
    EXPECT_EQ(commands, std::vector<int>{32797});
}

TEST_F(ListWidgetTest, AnEmptyListShowsItsTextAndALongListHoldsOneScreenOfSurface) {
    list->ShowRows();
    EXPECT_EQ(list->list()->emptyText(), QStringLiteral("오늘은 약속이 없습니다."));
    testsupport::screenshot(list, QStringLiteral("agenda_list_empty"));
    // The text sits in the lower half: pixels of it below the middle, none above.
    const QImage image = list->list()->renderedImage();
    auto inkIn = [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 200; ++x)
                if (image.pixelColor(x, y) != QColor(Qt::white)) return true;
        return false;
    };
    const int h = list->list()->viewport()->height();
    EXPECT_TRUE(inkIn(h / 2, h / 2 + 20));
    EXPECT_FALSE(inkIn(0, h / 2 - 2));

    for (int i = 0; i < 5000; ++i) list->AddRow(QStringLiteral("10:00"), QString(20, u'가'), "21");
    list->ShowRows();
    list->list()->renderedImage();
    const QSize vp = list->list()->viewport()->size();
    EXPECT_LE(list->list()->surfaceBytes(), qsizetype(vp.width()) * vp.height() * 4);
    EXPECT_GT(list->list()->layout().height, 5000 * 60);
}

TEST_F(ListWidgetTest, ThePagedListTapsOnlyTheRowsOfItsPage) {
    auto* history = new CHistroyListCtrlView(&view, &page);
    history->setGeometry(95, 35, 140, 195);
    history->show();
    std::vector<int> got;
    QObject::connect(history, &CHistroyListCtrlView::commandRequested,
                     [&](int c) { got.push_back(c); });
    for (int i = 0; i < 4; ++i)
        history->AddRow(QStringLiteral("2005-03-0%1").arg(i + 1), QStringLiteral("내용"),
                        QString::number(11 + 10 * i));
    history->SetPage(2, 2);
    history->DrawPage();
    QTest::mouseClick(history, Qt::LeftButton, {}, QPoint(20, 20));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.currentItemId(), 41);
    EXPECT_EQ(got, std::vector<int>{32797});
    QTest::mouseClick(history, Qt::LeftButton, {}, QPoint(20, 70));
    QCoreApplication::processEvents();
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(view.currentItemId(), 41);
}

}  // namespace
