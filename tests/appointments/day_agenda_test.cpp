// The day's agenda dialog on a set device clock: its title, its rows in the list's order, the
// empty text, and "약속 편집" ending the agenda and opening the editor on the way back to it.
#include <QScrollBar>
#include <QTest>
#include <sstream>

#include "appointment_fixture.h"
#include "appointments/list_ctrl.h"
#include "appointments/screen_hooks.h"
#include "appointments/today_appointment_dlg.h"
#include "inspect/inspect.h"
#include "store/repeat_rule.h"

namespace {

class AgendaTest : public AppointmentScreenTest {
protected:
    void SetUp() override {
        AppointmentScreenTest::SetUp();
        saved_ = appointments::screenHooks();
        setToday(2002, 12, 30);
    }
    void TearDown() override {
        appointments::screenHooks() = saved_;
        clk::freeze(false);
        clk::resetDeviceTime();
        AppointmentScreenTest::TearDown();
    }
    static void setToday(int y, int m, int d) {
        clk::SystemTime t;
        t.year = y, t.month = m, t.day = d, t.hour = 8;
        ASSERT_TRUE(clk::setDeviceTime(t));
        clk::freeze(true);
    }
    int addAnniversary(const std::u16string& name, cedb::FileTime date, const std::u16string& rule,
                       const std::u16string& content) {
        RecordImage image{};
        image.kind = AnniversaryKind;
        setText(image.participantIds, u"11");
        setText(image.participantNames, name);
        image.start = image.end = date;
        setText(image.place, rule);
        setText(image.content, content);
        EXPECT_TRUE(store.AddRecord(image));
        return image.id;
    }
    std::vector<listctl::ListRow> rows(CTodayAppointmentDlg& d) { return d.list()->list()->rows(); }

    appointments::ScreenHooks saved_;
};

TEST_F(AgendaTest, TodaysAppointmentsAndAnniversariesDueAreListedAnniversariesFirst) {
    const int late = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 15, 0),
                                    fileTime(2002, 12, 30, 16, 0), u"오후 회의");
    const int none = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 0, 12),
                                    fileTime(2002, 12, 30, 0, 12), u"시간 미정");
    const int early = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 9, 5),
                                     fileTime(2002, 12, 30, 10, 0), u"아침 회의");
    addAppointment(u"#;", u"", fileTime(2002, 12, 31, 9, 0), fileTime(2002, 12, 31, 10, 0),
                   u"내일");
    const int birthday = addAnniversary(u"김철수", fileTime(1970, 1, 2), u"100;0;5;", u"생일");
    addAnniversary(u"이영희", fileTime(1970, 1, 9), u"100;0;5;", u"생일");

    CTodayAppointmentDlg d(view);
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_EQ(d.list()->title(), QStringLiteral("2002년 12월 30일 약속"));
    EXPECT_EQ(rows(d),
              (std::vector<listctl::ListRow>{
                  {"기념일", "3일 후 - 김철수님의 생일입니다.", QString::number(-birthday)},
                  {"09:05", "아침 회의", QString::number(early)},
                  {"15:00", "오후 회의", QString::number(late)},
                  {"<NONE>", "시간 미정", QString::number(none)}}));
    testsupport::screenshot(&d, QStringLiteral("day_agenda"));

    // The inspection tool prints the same, for any date, as if the clock said so.
    std::ostringstream out, err;
    EXPECT_EQ(inspect::run({"agenda", "2002-12-30"}, out, err), 0);
    std::string expected = "2002년 12월 30일 약속\n";
    for (const auto& r : rows(d)) {
        expected += (r.first + u'\t' + r.second + u'\t' + r.idText).toStdString() + "\n";
    }
    EXPECT_EQ(out.str(), expected);
    std::ostringstream out2;
    EXPECT_EQ(inspect::run({"agenda", "2002-12-31"}, out2, err), 0);
    EXPECT_EQ(out2.str(), "2002년 12월 31일 약속\n기념일\t2일 후 - 김철수님의 생일입니다.\t" +
                              std::to_string(-birthday) + "\n09:00\t내일\t" +
                              std::to_string(early + 10) + "\n");
    for (const char* bad : {"2002-13-01", "2002-02-30", "20021230", "2002-12-30x", "x"}) {
        std::ostringstream o, e;
        EXPECT_EQ(inspect::run({"agenda", bad}, o, e), 2) << bad;
        EXPECT_EQ(o.str(), "");
    }
}

TEST_F(AgendaTest, ALunarAnniversaryIsAnnouncedAcrossTheSolarYearEnd) {
    // Lunar 12/3 falls on 2026-01-21 in lunar 2025; thirty days of lead reach into December.
    const repeat::Date dated = *repeat::fromLunar({2020, 12, 3, false});
    const int rite = addAnniversary(u"김철수", fileTime(dated.year, dated.month, dated.day),
                                    u"110;0;30;", u"제사");
    setToday(2025, 12, 25);
    CTodayAppointmentDlg d(view);
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_EQ(rows(d), (std::vector<listctl::ListRow>{{"기념일", "27일 후 - 김철수님의 제사입니다.",
                                                       QString::number(-rite)}}));
}

TEST_F(AgendaTest, ADayWithoutAnythingShowsTheEmptyText) {
    addAppointment(u"#;", u"", fileTime(2002, 12, 29, 9, 0), fileTime(2002, 12, 29, 10, 0),
                   u"어제");
    CTodayAppointmentDlg d(view);
    ASSERT_TRUE(testsupport::showExposed(&d));
    EXPECT_TRUE(rows(d).empty());
    EXPECT_EQ(d.list()->list()->emptyText(), QStringLiteral("오늘은 약속이 없습니다."));
}

TEST_F(AgendaTest, EditingAnAppointmentEndsTheAgendaAndAsksToReturnToIt) {
    const int key = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 9, 0),
                                   fileTime(2002, 12, 30, 10, 0), u"회의");
    std::vector<std::pair<int, bool>> opened;
    appointments::screenHooks().openAppointmentEditor = [&](MainView&, int k, bool back) {
        opened.push_back({k, back});
    };
    CTodayAppointmentDlg d(view);
    ASSERT_TRUE(testsupport::showExposed(&d));
    view.setCurrentItemId(key);
    d.OnItemCommand(32802);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(opened, (std::vector<std::pair<int, bool>>{{key, true}}));
}

TEST_F(AgendaTest, AHeldRowDeletesThroughTheMenuAndTheAgendaRefillsATapShowsDetails) {
    const int keep = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 9, 0),
                                    fileTime(2002, 12, 30, 10, 0), u"남을 것");
    const int gone = addAppointment(u"#;", u"", fileTime(2002, 12, 30, 11, 0),
                                    fileTime(2002, 12, 30, 12, 0), u"지울 것");
    std::vector<std::pair<QWidget*, int>> details;
    appointments::screenHooks().showItemDetails = [&](MainView&, QWidget* parent, int id) {
        details.push_back({parent, id});
    };
    CTodayAppointmentDlg d(view);
    ASSERT_TRUE(testsupport::showExposed(&d));
    CMyListCtrlView* list = d.list()->list();
    const auto rowPoint = [&](int row) {
        return list->layout().rows[size_t(row)].hit.center() -
               QPoint(0, list->verticalScrollBar()->value());
    };
    // A hold on the second row and "약속 삭제", answered No and then Yes.
    messages.expect(QStringLiteral("정말 이 약속을 삭제하시겠습니까?"), shell::IDNO);
    menus.expectChoose(32821);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    for (int i = 0; i < 4; ++i) list->press()->tick();
    QTest::qWait(20);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rowPoint(1));
    EXPECT_EQ(rows(d).size(), 2u);
    messages.expect(QStringLiteral("정말 이 약속을 삭제하시겠습니까?"), shell::IDYES);
    menus.expectChoose(32821);
    // Taken before the press: the delete refills the list, and the row is gone at the release.
    const QPoint second = rowPoint(1);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, second);
    for (int i = 0; i < 4; ++i) list->press()->tick();
    QTest::qWait(20);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, second);
    ASSERT_EQ(rows(d).size(), 1u);
    EXPECT_EQ(rows(d)[0].idText, QString::number(keep));
    EXPECT_EQ(appointments().size(), 1u);
    (void)gone;

    // A tap opens the details over the agenda.
    ASSERT_TRUE(testsupport::tap(list->viewport(), rowPoint(0)));
    QTest::qWait(20);
    EXPECT_EQ(details, (std::vector<std::pair<QWidget*, int>>{{&d, keep}}));
}

}  // namespace
