// The appointment commands as the program wires them: "새 약속" on the current person, "약속
// 편집" through the editor hook and back to the agenda, and "Today 설정" reaching the running
// frame's briefing.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/appointment_dlg.h"
#include "appointments/list_ctrl.h"
#include "appointments/screen_hooks.h"
#include "appointments/today_appointment_dlg.h"
#include "appointments/today_set_dlg.h"
#include "clock/clock.h"
#include "qt/screen_test.h"
#include "running_program.h"
#include "store/record_store.h"
#include "ui/bitmap_button.h"
#include "view_contract/commands.h"

namespace {

class AppointmentCommandsTest : public testsupport::RunningProgramTest {
protected:
    AppointmentCommandsTest() : RunningProgramTest([this](QWidget*) { ++agendaRuns; }) {}

    void SetUp() override {
        RunningProgramTest::SetUp();
        agendaRuns = 0;  // the start-up agenda is not the test's
    }
    CAppointmentDlg* editor() {
        return qobject_cast<CAppointmentDlg*>(view().paneWindow(AppointmentPane));
    }
    std::vector<RecordImage> appointments() {
        std::vector<RecordImage> out;
        store().walkRecords(AppointmentKind, {PropKey, PropParticipantIds, PropContent},
                            [&](const RecordImage& r) {
                                out.push_back(r);
                                return true;
                            });
        return out;
    }

    int agendaRuns = 0;
};

TEST_F(AppointmentCommandsTest, NewAppointmentOnAPersonIsSavedAndEditedBackToTheAgenda) {
    RecordImage person{};
    person.kind = PersonKind;
    setText(person.name, u"김철수");
    ASSERT_TRUE(store().AddRecord(person));
    view().setCurrentPerson(QStringLiteral("김철수"), person.id);

    view().runCommand(cmd::NewAppointment);
    ASSERT_TRUE(editor());
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_EQ(view().paneSlot(AppointmentPane).rank, 1);
    EXPECT_EQ(editor()->control<QLineEdit>(CAppointmentDlg::ParticipantEditId)->text(),
              QStringLiteral("김철수;"));
    editor()->control<QLineEdit>(CAppointmentDlg::YearEditId)->setText("2002");
    editor()->control<QLineEdit>(CAppointmentDlg::MonthEditId)->setText("6");
    editor()->control<QLineEdit>(CAppointmentDlg::DayEditId)->setText("9");
    editor()->control<QPlainTextEdit>(CAppointmentDlg::ContentEditId)->setPlainText("회의");
    messages.expect(QStringLiteral("작업한 내용을 저장할까요?"), shell::IDYES);
    ASSERT_TRUE(
        testsupport::tap(editor()->control<ui::BitmapButton>(CAppointmentDlg::SaveButtonId)));
    testsupport::processDeferredDeletes();
    EXPECT_FALSE(editor());
    auto stored = appointments();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(text(stored[0].participantIds),
              std::u16string(u"11;#;").replace(0, 2, QString::number(person.id).toStdU16String()));

    // "약속 편집" from the agenda: the stored appointment, Done opens the agenda again.
    appointments::OpenAppointmentEditor(view(), stored[0].key, true);
    ASSERT_TRUE(editor());
    EXPECT_EQ(editor()->mode(), CAppointmentDlg::ExistingAppointment);
    EXPECT_EQ(editor()->control<QPlainTextEdit>(CAppointmentDlg::ContentEditId)->toPlainText(),
              QStringLiteral("회의"));
    ASSERT_TRUE(
        testsupport::tap(editor()->control<ui::BitmapButton>(CAppointmentDlg::DoneButtonId)));
    EXPECT_EQ(agendaRuns, 1);
    testsupport::processDeferredDeletes();

    // "약속 관리" afterwards starts a new appointment.
    view().runCommand(cmd::ManageAppointments);
    ASSERT_TRUE(editor());
    EXPECT_EQ(editor()->mode(), CAppointmentDlg::NewAppointment);
    EXPECT_EQ(editor()->appointmentId(), 0);
    EXPECT_TRUE(editor()->participants().personIds.isEmpty());

    // A new appointment on a day of the calendar.
    appointments::StartAppointmentOn(view(), QDate(2003, 2, 1), false);
    EXPECT_EQ(editor()->control<QLineEdit>(CAppointmentDlg::MonthEditId)->text(),
              QStringLiteral("2"));
    EXPECT_EQ(editor()->mode(), CAppointmentDlg::NewAppointment);
}

TEST_F(AppointmentCommandsTest, TodaySettingsGiveTheRunningFrameItsNewHourAtOnce) {
    EXPECT_EQ(app_->frame()->briefing().briefingHour(), 0);
    modals.expect<CTodaySetDlg>([&](CTodaySetDlg& d) {
        d.control<QComboBox>(CTodaySetDlg::HourComboId)->setCurrentIndex(7);
        messages.expect(QStringLiteral("저장하고 끝내시겠습니까?"), shell::IDYES);
        ASSERT_TRUE(testsupport::tap(d.control<ui::BitmapButton>(CTodaySetDlg::SaveButtonId)));
    });
    view().runCommand(cmd::TodaySettings);
    EXPECT_EQ(app_->frame()->briefing().briefingHour(), 7);

    // The next top of the hour at 7 opens the agenda.
    clk::SystemTime t;
    t.year = 2002, t.month = 6, t.day = 9, t.hour = 7;
    ASSERT_TRUE(clk::setDeviceTime(t));
    clk::freeze(true);
    app_->frame()->OnTimer(CMainFrame::SecondTimer);
    clk::freeze(false);
    clk::resetDeviceTime();
    EXPECT_EQ(agendaRuns, 1);

    // No leaves the frame's hour alone.
    modals.expect<CTodaySetDlg>([&](CTodaySetDlg& d) {
        d.control<QComboBox>(CTodaySetDlg::HourComboId)->setCurrentIndex(3);
        messages.expect(QStringLiteral("저장하고 끝내시겠습니까?"), shell::IDNO);
        ASSERT_TRUE(testsupport::tap(d.control<ui::BitmapButton>(CTodaySetDlg::SaveButtonId)));
    });
    view().runCommand(cmd::TodaySettings);
    EXPECT_EQ(app_->frame()->briefing().briefingHour(), 7);
}

TEST_F(AppointmentCommandsTest, TheRealAgendaShowsTomorrowsAppointmentOnTheSetClock) {
    RecordImage a{};
    a.kind = AppointmentKind;
    setText(a.participantIds, u"#;");
    setText(a.content, u"아침 회의");
    clk::SystemTime t;
    t.year = 2002, t.month = 6, t.day = 10, t.hour = 9;
    a.start = a.end = *clk::toFileTime(t);
    ASSERT_TRUE(store().AddRecord(a));

    t.hour = 7;
    ASSERT_TRUE(clk::setDeviceTime(t));
    clk::freeze(true);
    const app::AgendaOpener recorder = app::setAgendaOpener(nullptr);
    installDayAgenda();
    modals.expect<CTodayAppointmentDlg>([&](CTodayAppointmentDlg& d) {
        EXPECT_EQ(d.list()->title(), QStringLiteral("2002년 06월 10일 약속"));
        ASSERT_EQ(d.list()->list()->rows().size(), 1u);
        EXPECT_EQ(d.list()->list()->rows()[0].second, QStringLiteral("아침 회의"));
        ASSERT_TRUE(
            testsupport::tap(d.control<ui::BitmapButton>(CTodayAppointmentDlg::OkButtonId)));
    });
    // The briefing timer opens it over the frame.
    app::OpenDayAgenda(app_->frame());
    app::setAgendaOpener(recorder);
    clk::freeze(false);
    clk::resetDeviceTime();
}

}  // namespace
