// The meeting history in the schedule screen's "사람" tab, driven by taps on the people list:
// a person's appointments page by page, a short last page, the anniversary mode and back,
// the "No-Name.." row and a group row.
#include "appointments/history_pane.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "appointment_fixture.h"
#include "appointments/list_ctrl.h"
#include "appointments/schedule_view.h"
#include "people/people_list_wnd.h"
#include "ui/bitmap_button.h"

namespace {

class HistoryTest : public AppointmentScreenTest {
protected:
    void SetUp() override {
        AppointmentScreenTest::SetUp();
        kim = addPerson(u"김철수");
        lee = addPerson(u"이영희");
        store.AddCategory(u"친구");
    }
    CScheduleView* makeSchedule() {
        auto* s = new CScheduleView(view, {}, &view.widget);
        [&] { ASSERT_TRUE(testsupport::showExposed(&view.widget)); }();
        return s;
    }
    ::testing::AssertionResult tapRow(CScheduleView* s, const QString& name) {
        QTreeWidget* tree = s->peopleList()->listControl();
        auto items = tree->findItems(name, Qt::MatchExactly);
        if (items.isEmpty()) return ::testing::AssertionFailure() << "no row";
        return testsupport::tap(tree->viewport(), tree->visualItemRect(items[0]).center());
    }
    QStringList shownContents(CHistoryPane* pane) {
        QStringList out;
        for (const auto& g : pane->list()->layout().rows)
            out << pane->list()->rows()[size_t(g.row)].second;
        return out;
    }
    QPushButton* button(CHistoryPane* pane, int id) { return ui::control<QPushButton>(pane, id); }
    ui::BitmapButton* anniversaryButton(CHistoryPane* pane) {
        return ui::control<ui::BitmapButton>(pane, CHistoryPane::AnniversaryButtonId);
    }

    int kim = 0, lee = 0;
};

TEST_F(HistoryTest, SevenAppointmentsMakeThreePagesAndTheShortPageTakesNoStrayTap) {
    for (int d = 7; d >= 1; --d) {
        addAppointment(QString::number(kim).toStdU16String() + u";#;", u"김철수;",
                       fileTime(2002, 6, d, 9), fileTime(2002, 6, d, 10),
                       u"만남 " + std::u16string(1, char16_t(u'0' + d)));
    }
    addAppointment(QString::number(lee).toStdU16String() + u";#;", u"이영희;",
                   fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"다른 사람");
    CScheduleView* s = makeSchedule();
    CHistoryPane* pane = s->historyPane();
    ASSERT_TRUE(tapRow(s, QStringLiteral("김철수")));
    EXPECT_EQ(s->historyPersonId(), kim);
    EXPECT_EQ(pane->pages(), 3);
    EXPECT_EQ(shownContents(pane), QStringList({"만남 1", "만남 2", "만남 3"}));
    EXPECT_EQ(pane->title(), QStringLiteral("미팅 내역"));
    EXPECT_FALSE(anniversaryButton(pane)->isEnabled());
    testsupport::screenshot(&view.widget, QStringLiteral("history_pane"));

    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::DownButtonId)));
    EXPECT_EQ(shownContents(pane), QStringList({"만남 4", "만남 5", "만남 6"}));
    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::DownButtonId)));
    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::DownButtonId)));
    EXPECT_EQ(pane->page(), 3);
    EXPECT_EQ(shownContents(pane), QStringList({"만남 7"}));
    // A tap where the second row would be picks nothing.
    view.setCurrentItemId(0);
    ASSERT_TRUE(testsupport::tap(pane->list(), QPoint(60, 70)));
    EXPECT_EQ(view.currentItemId(), 0);
    pane->list()->press()->release(false);
    ASSERT_TRUE(testsupport::tap(pane->list(), QPoint(60, 20)));
    EXPECT_EQ(QString::number(view.currentItemId()), pane->list()->rows()[6].idText);

    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::UpButtonId)));
    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::UpButtonId)));
    ASSERT_TRUE(testsupport::tap(button(pane, CHistoryPane::UpButtonId)));
    EXPECT_EQ(pane->page(), 1);

    ASSERT_TRUE(tapRow(s, QStringLiteral("이영희")));
    EXPECT_EQ(shownContents(pane), QStringList({"다른 사람"}));
    EXPECT_EQ(pane->pages(), 1);
}

TEST_F(HistoryTest, TheAnniversaryModeListsAnniversariesAndTheButtonLeadsBack) {
    RecordImage a{};
    a.kind = AnniversaryKind;
    setText(a.participantIds, QString::number(kim).toStdU16String());
    setText(a.participantNames, u"김철수");
    a.start = fileTime(1970, 3, 4);
    setText(a.place, u"100;0;0;");
    setText(a.content, u"생일");
    ASSERT_TRUE(store.AddRecord(a));
    CScheduleView* s = makeSchedule();
    CHistoryPane* pane = s->historyPane();
    ASSERT_TRUE(tapRow(s, QStringLiteral("김철수")));
    EXPECT_TRUE(pane->list()->rows().empty());
    EXPECT_EQ(pane->list()->emptyText(), QStringLiteral("미팅 내역이 없습니다.."));
    ASSERT_TRUE(anniversaryButton(pane)->isEnabled());
    ASSERT_TRUE(testsupport::tap(anniversaryButton(pane)));
    EXPECT_EQ(s->historyMode(), 1);
    EXPECT_EQ(pane->title(), QStringLiteral("기념일 정보"));
    EXPECT_EQ(shownContents(pane), QStringList({"생일"}));
    EXPECT_EQ(pane->list()->rows()[0].idText, QString::number(-a.id));

    // The mode survives a change of person; one without anniversaries can still switch back.
    ASSERT_TRUE(tapRow(s, QStringLiteral("이영희")));
    EXPECT_EQ(s->historyMode(), 1);
    EXPECT_TRUE(pane->list()->rows().empty());
    ASSERT_TRUE(anniversaryButton(pane)->isEnabled());
    ASSERT_TRUE(testsupport::tap(anniversaryButton(pane)));
    EXPECT_EQ(s->historyMode(), 0);
    EXPECT_FALSE(anniversaryButton(pane)->isEnabled());
}

TEST_F(HistoryTest, NoNameListsTheAppointmentsWithoutParticipants) {
    addAppointment(u"#;", u"", fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"혼자");
    CScheduleView* s = makeSchedule();
    ASSERT_TRUE(tapRow(s, QStringLiteral("No-Name..")));
    EXPECT_EQ(shownContents(s->historyPane()), QStringList({"혼자"}));
    // The schedule view's people list shows no groups; a group row reaches it as an identifier.
    EXPECT_EQ(s->peopleList()->GetCurrentId(), NoNameId);
}

TEST_F(HistoryTest, DeletingFromTheHistoryRebuildsIt) {
    addAppointment(QString::number(kim).toStdU16String() + u";#;", u"김철수;",
                   fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"첫째");
    addAppointment(QString::number(kim).toStdU16String() + u";#;", u"김철수;",
                   fileTime(2002, 6, 2, 9), fileTime(2002, 6, 2, 10), u"둘째");
    CScheduleView* s = makeSchedule();
    CHistoryPane* pane = s->historyPane();
    ASSERT_TRUE(tapRow(s, QStringLiteral("김철수")));
    const QPoint second = pane->list()->layout().rows[1].hit.center();
    messages.expect(QStringLiteral("정말 이 약속을 삭제하시겠습니까?"), shell::IDYES);
    menus.expectChoose(32821);
    QTest::mousePress(pane->list(), Qt::LeftButton, {}, second);
    for (int i = 0; i < 4; ++i) pane->list()->press()->tick();
    QTest::qWait(20);
    QTest::mouseRelease(pane->list(), Qt::LeftButton, {}, second);
    EXPECT_EQ(shownContents(pane), QStringList({"첫째"}));
    EXPECT_EQ(appointments().size(), 1u);
}

}  // namespace
