#include "ui/month_calendar_ctrl.h"

#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include "qt/screen_test.h"

namespace {

using ui::MonthCalendarPage;

TEST(MonthCalendarPage, DaysFallInTheirWeekdayColumns) {
    const MonthCalendarPage march2005{2005, 3};  // 1 March 2005 was a Tuesday
    EXPECT_EQ(march2005.dayAt(0, 1), 0);
    EXPECT_EQ(march2005.dayAt(0, 2), 1);
    EXPECT_EQ(march2005.dayAt(4, 4), 31);
    EXPECT_EQ(march2005.dayAt(4, 5), 0);
    EXPECT_EQ(march2005.dayAtPoint(march2005.cellRect(0, 2).center()), 1);
    EXPECT_EQ(march2005.dayAtPoint({5, 5}), 0);  // the header
    EXPECT_EQ(march2005.dayAtPoint({MonthCalendarPage::Width, 60}), 0);
    EXPECT_EQ((MonthCalendarPage{2005, 12}.stepped(1).year), 2006);
    EXPECT_EQ((MonthCalendarPage{2005, 1}.stepped(-1).month), 12);
}

class MonthCalendarCtrlTest : public testsupport::ScreenTest {};

TEST_F(MonthCalendarCtrlTest, ATapOnADayPicksItAndATapOutsideOnlyHidesIt) {
    QWidget page;
    page.setGeometry(0, 0, 240, 300);
    QWidget* other = new QWidget(&page);
    other->setGeometry(0, 250, 240, 50);
    ui::MonthCalendarCtrl calendar(&page);
    calendar.setCurrentDate(QDate(2005, 3, 10));
    ASSERT_TRUE(testsupport::showExposed(&page));
    EXPECT_FALSE(calendar.isVisible());
    calendar.popUp();
    EXPECT_TRUE(calendar.isVisible());
    EXPECT_EQ(calendar.pos(),
              QPoint((240 - MonthCalendarPage::Width) / 2, (300 - MonthCalendarPage::Height) / 2));
    testsupport::screenshot(&page, QStringLiteral("month_calendar_ctrl"));

    QSignalSpy picked(&calendar, &ui::MonthCalendarCtrl::dayPicked);
    QTest::mouseClick(&calendar, Qt::LeftButton, {}, MonthCalendarPage::nextArrow().center());
    EXPECT_EQ(calendar.page().month, 4);
    QTest::mouseClick(&calendar, Qt::LeftButton, {}, calendar.page().cellRect(0, 5).center());
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][0].toDate(), QDate(2005, 4, 1));
    EXPECT_FALSE(calendar.isVisible());

    calendar.popUp();
    QTest::mouseClick(other, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(calendar.isVisible());
    EXPECT_EQ(picked.size(), 1);
}

TEST_F(MonthCalendarCtrlTest, ATapOnTheYearChoosesAYearDecadesAwayInOneGo) {
    QWidget page;
    page.setGeometry(0, 0, 240, 300);
    ui::MonthCalendarCtrl calendar(&page);
    calendar.setCurrentDate(QDate(2005, 3, 10));
    ASSERT_TRUE(testsupport::showExposed(&page));
    calendar.popUp();
    QSpinBox* year = calendar.yearChooser();
    EXPECT_FALSE(year->isVisible());

    QTest::mouseClick(&calendar, Qt::LeftButton, {}, MonthCalendarPage::yearRect().center());
    ASSERT_TRUE(year->isVisible());
    EXPECT_EQ(year->value(), 2005);
    testsupport::screenshot(&page, QStringLiteral("month_calendar_ctrl_year"));
    QTest::keyClicks(year, "1990");
    QTest::keyClick(year, Qt::Key_Return);
    EXPECT_FALSE(year->isVisible());
    EXPECT_TRUE(calendar.isVisible());
    EXPECT_EQ(calendar.page().year, 1990);
    EXPECT_EQ(calendar.page().month, 3);

    // The up-down steps a year; a tap on a day closes it and picks in the year shown.
    QTest::mouseClick(&calendar, Qt::LeftButton, {}, MonthCalendarPage::yearRect().center());
    ASSERT_TRUE(year->isVisible());
    year->stepBy(-1);
    EXPECT_EQ(calendar.page().year, 1989);
    QSignalSpy picked(&calendar, &ui::MonthCalendarCtrl::dayPicked);
    const QPoint tenth = [&] {
        for (int r = 0; r < MonthCalendarPage::Rows; ++r)
            for (int c = 0; c < 7; ++c)
                if (calendar.page().dayAt(r, c) == 10)
                    return calendar.page().cellRect(r, c).center();
        return QPoint();
    }();
    QTest::mouseClick(&calendar, Qt::LeftButton, {}, tenth);
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0][0].toDate(), QDate(1989, 3, 10));
    EXPECT_FALSE(year->isVisible());
}

}  // namespace
