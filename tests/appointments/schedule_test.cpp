// The "날짜" tab: the month grid and its steps, the marks, the day dialog's rows, and the item
// commands driven from the day dialog's list through to the store.
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>

#include "appointments/month_calendar_wnd.h"
#include "appointments/schedule_dlg.h"
#include "appointments/schedule_rows.h"
#include "appointments/schedule_view.h"
#include "appointments/screen_hooks.h"
#include "cedb/faults.h"
#include "people/anniversary_dlg.h"
#include "schedule_fixture.h"
#include "ui/bitmap_button.h"

namespace {

using schedule::MonthGrid;
using schedule::stepMonth;
constexpr int Year = int(RepeatRule::EveryYear), Month = int(RepeatRule::EveryMonth),
              Days = int(RepeatRule::EveryNDays), Once = int(RepeatRule::None);

TEST(MonthGrid, CellsAndTapsStayInsideTheGrid) {
    const MonthGrid march(2005, 3);  // 1 March 2005 was a Tuesday
    EXPECT_EQ(march.dayAt(0, 2), 1);
    EXPECT_EQ(march.dayAt(4, 4), 31);
    EXPECT_EQ(march.cellOf(31), QPoint(4, 4));
    EXPECT_EQ(MonthGrid::cellRect(0, 2), QRect(QPoint(75, 54), QPoint(103, 77)));
    EXPECT_EQ(MonthGrid::numberBox(4, 4), QRect(QPoint(136, 155), QPoint(148, 168)));
    // Taps: only inside (14, 53)-(226, 204), and never in a seventh column or row.
    EXPECT_EQ(march.dayAtPoint({80, 60}), 1);
    EXPECT_EQ(MonthGrid::cellAt({14, 53}), (std::pair{0, 0}));
    EXPECT_FALSE(MonthGrid::cellAt({13, 60}));
    EXPECT_FALSE(MonthGrid::cellAt({100, 52}));
    EXPECT_FALSE(MonthGrid::cellAt({224, 60}));   // (224 - 13) / 30 = 7
    EXPECT_FALSE(MonthGrid::cellAt({100, 203}));  // (203 - 52) / 25 = 6
    EXPECT_FALSE(MonthGrid::cellAt({226, 100}));
    EXPECT_EQ(MonthGrid::cellAt({222, 200}), (std::pair{5, 6}));
    // A month of six week rows: its 31st in the sixth.
    EXPECT_EQ(MonthGrid(2005, 7).cellOf(31), QPoint(0, 5));
}

TEST(MonthGrid, MonthStepsKeepTheDayValid) {
    EXPECT_EQ(stepMonth({2004, 1, 31}, 1), (repeat::Date{2004, 2, 29}));
    EXPECT_EQ(stepMonth({2003, 1, 31}, 1), (repeat::Date{2003, 2, 28}));
    EXPECT_EQ(stepMonth({2100, 1, 31}, 1), (repeat::Date{2100, 2, 28}));
    EXPECT_EQ(stepMonth({2004, 3, 31}, -1), (repeat::Date{2004, 2, 29}));
    EXPECT_EQ(stepMonth({2004, 12, 31}, 1), (repeat::Date{2005, 1, 31}));
    EXPECT_EQ(stepMonth({2005, 1, 31}, -1), (repeat::Date{2004, 12, 31}));
    EXPECT_EQ(stepMonth({2005, 5, 31}, 1), (repeat::Date{2005, 6, 30}));
    EXPECT_EQ(stepMonth({2005, 7, 31}, 1), (repeat::Date{2005, 8, 31}));
}

class ScheduleScreenTest : public ScheduleTest {
protected:
    void SetUp() override {
        ScheduleTest::SetUp();
        saved = appointments::screenHooks();
        appointments::screenHooks().openAppointmentEditor = [this](MainView&, int key, bool back) {
            hookCalls.push_back(QStringLiteral("edit %1 %2").arg(key).arg(back));
        };
        appointments::screenHooks().startAppointmentOn = [this](MainView&, const QDate& d, bool) {
            hookCalls.push_back(QStringLiteral("new ") + d.toString(Qt::ISODate));
        };
        appointments::screenHooks().showItemDetails = [this](MainView&, QWidget*, int item) {
            hookCalls.push_back(QStringLiteral("details %1").arg(item));
        };
    }
    void TearDown() override {
        appointments::screenHooks() = saved;
        delete screen;
        ScheduleTest::TearDown();
    }

    CScheduleView* open() {
        screen = new CScheduleView(
            view, [](MainView&, int, bool) {}, nullptr);
        screen->setCurrentTab(CScheduleView::DateTab);
        EXPECT_TRUE(testsupport::showExposed(screen));
        return screen;
    }
    CMonthCalendarWnd* calendar() { return screen->monthCalendar(); }
    // Taps the day in the shown month's grid.
    ::testing::AssertionResult tapDay(int day) {
        const MonthGrid grid(calendar()->year(), calendar()->month());
        const auto cell = grid.cellOf(day);
        if (!cell) return ::testing::AssertionFailure() << "no day " << day;
        return testsupport::tap(calendar(), MonthGrid::cellRect(cell->y(), cell->x()).center());
    }
    CScheduleDlg* dialog() { return calendar()->dayDialog(); }
    QStringList column(int which) {
        QStringList out;
        for (const auto& r : dialog()->list()->list()->rows())
            out << (which == 0 ? r.first : which == 1 ? r.second : r.idText);
        return out;
    }
    // Holds the stylus on row `row` of the day list until its menu opens.
    void holdRow(int row) {
        CMyListCtrlView* list = dialog()->list()->list();
        const QPoint p = list->layout().rows[size_t(row)].hit.center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, p);
        for (int i = 0; i < 4; ++i) list->press()->tick();
        QCoreApplication::processEvents();
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, p);
        QCoreApplication::processEvents();
    }

    appointments::ScreenHooks saved;
    QStringList hookCalls;
    CScheduleView* screen = nullptr;
};

TEST_F(ScheduleScreenTest, TheMonthBarsButtonsLieWholeInsideTheBarAndStepTheMonth) {
    open();
    QWidget* bar = screen->monthBar();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->geometry(), QRect(QPoint(15, 40), QPoint(224, 59)));
    for (int id : {CMonthBarWnd::TodayButton, CMonthBarWnd::PreviousButton,
                   CMonthBarWnd::NextButton}) {
        auto* button = ui::control<ui::BitmapButton>(bar, id);
        ASSERT_TRUE(button) << id;
        EXPECT_TRUE(bar->rect().contains(button->geometry())) << id;
        for (auto* other : bar->findChildren<ui::BitmapButton*>()) {
            if (other != button) {
                EXPECT_FALSE(other->geometry().intersects(button->geometry())) << id;
            }
        }
    }
    const int month = calendar()->month();
    ASSERT_TRUE(testsupport::tap(ui::control<ui::BitmapButton>(bar, CMonthBarWnd::NextButton)));
    EXPECT_EQ(calendar()->month(), month % 12 + 1);
}

TEST_F(ScheduleScreenTest, TheDayListShowsEachKindWithItsTextInTheListsOrder) {
    const int lunch = addAppointment(2005, 3, 1, 12, 30, u"점심");
    const int early = addAppointment(2005, 3, 1, 9, 5, u"아침 회의");
    const int untimed = addAppointment(2005, 3, 1, 0, 12, u"시간 미정");
    addAppointment(2005, 3, 2, 9, 0, u"다른 날");
    const int birthday = addAnniversary(u"홍길동", 1980, 3, 1, {Year, 0, 0}, u"생일");
    const int monthly = addAnniversary(u"이순신", 2005, 1, 1, {Month, 0, 0}, u"월례");
    const int tenDays = addAnniversary(u"김유신", 2005, 2, 19, {Days, 10, 0}, u"시작");
    addAnniversary(u"강감찬", 2005, 3, 2, {Days, 10, 0}, u"아직");   // starts after the day
    addAnniversary(u"을지문덕", 2006, 3, 1, {Year, 0, 0}, u"내년");  // not begun yet
    addAnniversary(u"미지", 2005, 3, 1, {0, 0, 0}, u"규칙없음");
    const int once = addAnniversary(u"유관순", 2005, 3, 1, {Once, 0, 0}, u"한 번");
    open();
    ASSERT_TRUE(tapDay(1));
    ASSERT_TRUE(dialog()->isVisible());
    EXPECT_FALSE(screen->monthBar()->isVisible());
    EXPECT_EQ(dialog()->list()->title(), "2005년 03월 01일 약속");
    EXPECT_EQ(screen->monthBar()->shownDate(), (repeat::Date{2005, 3, 1}));

    EXPECT_EQ(column(0),
              (QStringList{"기념일", "기념일", "기념일", "기념일", "09:05", "12:30", "<NONE>"}));
    QStringList texts = column(1);
    EXPECT_TRUE(texts.contains("홍길동님의 생일입니다.")) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains("이순신님의 월례입니다."));
    EXPECT_TRUE(texts.contains("김유신님의 시작(으)로부터 10일이 지났습니다."));
    EXPECT_TRUE(texts.contains("유관순님의 한 번입니다."));
    EXPECT_EQ(texts.mid(4), (QStringList{"아침 회의", "점심", "시간 미정"}));
    QStringList ids = column(2);
    for (int id : {-birthday, -monthly, -tenDays, -once, early, lunch, untimed})
        EXPECT_TRUE(ids.contains(QString::number(id))) << id;
    testsupport::screenshot(screen, QStringLiteral("schedule_day_dialog"));

    // Close: the bar comes back.
    ASSERT_TRUE(testsupport::tap(dialog()->findChild<ui::BitmapButton*>(
        QStringLiteral("ctl_%1").arg(CScheduleDlg::CloseButton))));
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_TRUE(screen->monthBar()->isVisible());
    EXPECT_FALSE(calendar()->dayDialogOpen());

    // A day without rows shows the empty text.
    ASSERT_TRUE(tapDay(20));
    EXPECT_TRUE(dialog()->list()->list()->rows().empty());
    EXPECT_EQ(dialog()->list()->list()->emptyText(), "오늘은 약속이 없습니다.");
}

TEST_F(ScheduleScreenTest, MarksOfBothKindsAndAMarkGoneWithItsRecord) {
    const int meeting = addAppointment(2005, 3, 10, 10, 0, u"회의");
    addAppointment(2005, 3, 14, 10, 0, u"같은 날");
    addAnniversary(u"홍길동", 1990, 3, 14, {Year, 0, 0}, u"생일");
    addAnniversary(u"김유신", 2005, 2, 19, {Days, 10, 0}, u"열흘");
    addAppointment(2005, 4, 10, 10, 0, u"다음 달");
    open();
    schedule::MonthMarks marks =
        calendar()->renderedImage().isNull() ? schedule::MonthMarks{} : calendar()->marks();
    EXPECT_EQ(marks[10], schedule::AppointmentMark);
    EXPECT_EQ(marks[14], schedule::BothMarks);
    EXPECT_EQ(marks[1], schedule::AnniversaryMark);
    EXPECT_EQ(marks[11], schedule::AnniversaryMark);
    EXPECT_EQ(marks[21], schedule::AnniversaryMark);
    EXPECT_EQ(marks[31], schedule::AnniversaryMark);
    EXPECT_EQ(marks[2], schedule::NoMark);
    EXPECT_EQ(schedule::monthMarks(store, 2005, 3), marks);
    testsupport::screenshot(screen, QStringLiteral("schedule_date_tab"));

    // Delete the appointment of the 10th from the day dialog: its mark goes.
    ASSERT_TRUE(tapDay(10));
    ASSERT_EQ(column(2), QStringList{QString::number(meeting)});
    menus.expectChoose(32821);
    messages.expect(QStringLiteral("정말 이 약속을 삭제하시겠습니까?"), shell::IDYES);
    holdRow(0);
    EXPECT_EQ(view.currentItemId(), meeting);
    EXPECT_TRUE(dialog()->list()->list()->rows().empty());
    dialog()->Close();
    EXPECT_EQ(calendar()->renderedImage().isNull() ? 0 : calendar()->marks()[10], schedule::NoMark);

    // The bar's steps move the calendar; Left and Right keys too.
    screen->monthBar()->NextMonth();
    EXPECT_EQ(calendar()->month(), 4);
    calendar()->renderedImage();
    EXPECT_EQ(calendar()->marks()[10], schedule::BothMarks);  // and every ten days from 19 Feb
    QTest::keyClick(screen->monthBar(), Qt::Key_Left);
    QTest::keyClick(screen->monthBar(), Qt::Key_Left);
    EXPECT_EQ(calendar()->month(), 2);
    EXPECT_EQ(screen->monthBar()->title(), "02월 2005");
}

TEST_F(ScheduleScreenTest, HolidaysAreRedAndNamedALunarBirthdayIsMarkedOnItsSolarDay) {
    // May 2026: 어린이날 on the 5th, 부처님오신날 on Sunday the 24th and its substitute the 25th;
    // a birthday dated 1990-04-10, lunar 3/15, falls on 1 May.
    clk::SystemTime now;
    now.year = 2026, now.month = 5, now.day = 10, now.hour = 10;
    clk::setDeviceTime(now);
    addAnniversary(u"홍길동", 1990, 4, 10, {int(RepeatRule::EveryLunarYear), 0, 0}, u"생신");
    open();
    const QImage image = calendar()->renderedImage();
    EXPECT_EQ(calendar()->holidays(), (1u << 4) | (1u << 23) | (1u << 24));
    EXPECT_EQ(calendar()->marks()[1], schedule::AnniversaryMark);
    EXPECT_EQ(calendar()->marks()[10], schedule::NoMark);
    // Some pixel of each number is red exactly when its day is a holiday.
    const auto hasRed = [&](int day) {
        const auto cell = MonthGrid(2026, 5).cellOf(day);
        const QRect box = MonthGrid::numberBox(cell->y(), cell->x());
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (image.pixel(x, y) == qRgb(255, 0, 0)) return true;
        return false;
    };
    for (int day : {5, 24, 25}) EXPECT_TRUE(hasRed(day)) << day;
    for (int day : {1, 6, 10}) EXPECT_FALSE(hasRed(day)) << day;
    testsupport::screenshot(screen, QStringLiteral("schedule_holidays"));

    ASSERT_TRUE(tapDay(24));
    EXPECT_EQ(dialog()->holiday(), "부처님오신날");
    testsupport::screenshot(screen, QStringLiteral("schedule_holiday_day"));
    dialog()->Close();
    ASSERT_TRUE(tapDay(1));
    EXPECT_EQ(dialog()->holiday(), "");
    EXPECT_EQ(column(1), QStringList{"홍길동님의 생신입니다."});
}

TEST_F(ScheduleScreenTest, ItemCommandsAskAndReportAndOpenTheirScreens) {
    const int meeting = addAppointment(2005, 3, 10, 10, 0, u"회의");
    const int birthday = addAnniversary(u"홍길동", 1990, 3, 10, {Year, 0, 0}, u"생일");
    open();
    ASSERT_TRUE(tapDay(10));
    ASSERT_EQ(column(2), (QStringList{QString::number(-birthday), QString::number(meeting)}));

    // No keeps the anniversary; a failed delete says so and keeps the row.
    menus.expectChoose(32820);
    messages.expect(QStringLiteral("정말 이 기념일을 삭제하시겠습니까?"), shell::IDNO);
    holdRow(0);
    EXPECT_EQ(column(2).size(), 2);
    cedb::faults::arm({cedb::faults::Op::Delete, u"", cedb::Error::WriteFailed});
    menus.expectChoose(32820);
    messages.expect(QStringLiteral("정말 이 기념일을 삭제하시겠습니까?"), shell::IDYES);
    messages.expect(QStringLiteral("삭제되지 않았습니다. 다시 시도하여 주십시오.."));
    holdRow(0);
    EXPECT_EQ(column(2).size(), 2);
    cedb::faults::clear();

    // A tap opens the details; the Date menu's edit opens the editor on the appointment.
    CMyListCtrlView* list = dialog()->list()->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->layout().rows[1].hit.center());
    QCoreApplication::processEvents();
    menus.expectChoose(32802);
    holdRow(1);
    QTest::mouseClick(dialog()->findChild<ui::BitmapButton*>(
                          QStringLiteral("ctl_%1").arg(CScheduleDlg::NewAppointmentButton)),
                      Qt::LeftButton);
    EXPECT_EQ(hookCalls, (QStringList{QStringLiteral("details %1").arg(meeting),
                                      QStringLiteral("edit %1 0").arg(meeting), "new 2005-03-10"}));

    // The anniversary deleted: the list refills.
    menus.expectChoose(32820);
    messages.expect(QStringLiteral("정말 이 기념일을 삭제하시겠습니까?"), shell::IDYES);
    holdRow(0);
    EXPECT_EQ(column(2), QStringList{QString::number(meeting)});
}

TEST_F(ScheduleScreenTest, TheEventMenusEditOpensTheAnniversaryInSingleMode) {
    const int birthday = addAnniversary(u"홍길동", 1990, 3, 10, {Year, 0, 2}, u"생일");
    open();
    ASSERT_TRUE(tapDay(10));
    menus.expectChoose(32823);
    modals.expect<people::CAnniversaryDlg>([&](people::CAnniversaryDlg& d) {
        EXPECT_EQ(d.slot(1).recordId, birthday);
        d.control<QPlainTextEdit>(people::CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("돌잔치"));
        messages.expect(QStringLiteral("기존의 기념일을 변경하시겠습니까?"), shell::IDYES);
        ASSERT_TRUE(
            testsupport::tap(d.control<ui::BitmapButton>(people::CAnniversaryDlg::SaveButton)));
    });
    holdRow(0);
    EXPECT_EQ(column(1), QStringList{"홍길동님의 돌잔치입니다."});
    RecordImage r{};
    r.kind = AnniversaryKind;
    r.key = birthday;
    ASSERT_TRUE(store.ReadRecord(r));
    EXPECT_EQ(text(r.place), u"100;0;2;");
}

TEST_F(ScheduleScreenTest, ADamagedRecordHidesNothingElseFromTheCalendarOrTheDay) {
    addAppointment(2005, 3, 10, 9, 0, u"앞");
    const int broken = addAppointment(2005, 3, 10, 10, 0, u"망가짐");
    addAppointment(2005, 3, 10, 11, 0, u"뒤");
    addAnniversary(u"홍길동", 1990, 3, 12, {Year, 0, 0}, u"생일");
    ASSERT_TRUE(testsupport::damageRecord(broken));
    open();
    calendar()->renderedImage();
    EXPECT_EQ(calendar()->marks()[10], schedule::AppointmentMark);
    EXPECT_EQ(calendar()->marks()[12], schedule::AnniversaryMark);
    ASSERT_TRUE(tapDay(10));
    EXPECT_EQ(column(1), (QStringList{"앞", "뒤"}));
    addAppointment(2005, 3, 10, 12, 0, u"새로");
    dialog()->FillDay();
    EXPECT_EQ(column(1), (QStringList{"앞", "뒤", "새로"}));
}

TEST_F(ScheduleScreenTest, TheHistoryModeMessageFlipsBetweenTheTwoModes) {
    open();
    EXPECT_EQ(screen->historyMode(), 0);
    screen->OnHistoryModeMessage();
    EXPECT_EQ(screen->historyMode(), 1);
    screen->OnHistoryModeMessage();
    EXPECT_EQ(screen->historyMode(), 0);
    // The bar stays hidden across tab changes while the day dialog is open.
    ASSERT_TRUE(tapDay(3));
    screen->setCurrentTab(CScheduleView::PeopleTab);
    screen->setCurrentTab(CScheduleView::DateTab);
    EXPECT_FALSE(screen->monthBar()->isVisible());
}

}  // namespace
