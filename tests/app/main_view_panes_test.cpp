// The main view's panes as the program wires them: the schedule screen in front after the
// start, the people panel and the appointment editor opened, stacked and closed by the menu
// commands, and the person commands on the lists.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

#include "app/day_agenda.h"
#include "app/layout_app.h"
#include "app/layout_view.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "appointments/appointment_dlg.h"
#include "appointments/history_pane.h"
#include "appointments/list_ctrl.h"
#include "appointments/month_calendar_wnd.h"
#include "appointments/schedule_dlg.h"
#include "appointments/schedule_rows.h"
#include "appointments/schedule_view.h"
#include "cedb/faults.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "people/anniversary_dlg.h"
#include "people/people_list_wnd.h"
#include "people/people_panel_dlg.h"
#include "people/person_edit_dlg.h"
#include "qt/screen_test.h"
#include "running_program.h"
#include "shell/tap_and_hold.h"
#include "store/record_store.h"
#include "ui/bitmap_button.h"
#include "view_contract/commands.h"
#include "winmsg/winmsg.h"

namespace {

class PanesTest : public testsupport::RunningProgramTest {
protected:
    int addPerson(const char16_t* name) {
        RecordImage image{};
        image.kind = PersonKind;
        setText(image.name, name);
        EXPECT_TRUE(store().AddRecord(image));
        return image.id;
    }
    bool stored(int id) {
        RecordImage image{};
        image.kind = PersonKind;
        image.id = id;
        return store().ReadRecord(image);
    }

    CScheduleView* schedule() {
        return qobject_cast<CScheduleView*>(view().paneWindow(SchedulePane));
    }
    CPeoplePanelDlg* panel() {
        return qobject_cast<CPeoplePanelDlg*>(view().paneWindow(PeoplePane));
    }

    ::testing::AssertionResult tapRow(CPeopleListWnd* list, const QString& name) {
        QTreeWidget* tree = list->listControl();
        auto items = tree->findItems(name, Qt::MatchExactly);
        if (items.isEmpty()) return ::testing::AssertionFailure() << "no row";
        return testsupport::tap(tree->viewport(), tree->visualItemRect(items[0]).center());
    }
};

TEST_F(PanesTest, ThePersonMenusAnniversariesAreStoredAndMarkedOnTheCalendar) {
    const int kim = addPerson(u"김유신");
    view().setCurrentPerson(QStringLiteral("김유신"), kim);
    modals.expect<people::CAnniversaryDlg>([&](people::CAnniversaryDlg& d) {
        EXPECT_EQ(d.personId(), kim);
        d.OnDatePicked(2000, 12, 25);
        d.control<QComboBox>(people::CAnniversaryDlg::RepeatCombo)->setCurrentIndex(1);
        d.control<QPlainTextEdit>(people::CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("성탄"));
        messages.expect(QStringLiteral("1번의 데이터를 저장하시겠습니까?"), shell::IDYES);
        d.OnSave();
        messages.expect(
            QStringLiteral("저장하지 않으신 데이터가 있는지 확인하세요. 정말 닫으시겠습니까?"),
            shell::IDYES);
        d.OnCancel();
    });
    view().runCommand(cmd::ManageAnniversaries);
    // The calendar marks it in December of every year from 2000 on.
    CMonthCalendarWnd* calendar = schedule()->monthCalendar();
    calendar->SetShown(2026, 12, 1);
    calendar->renderedImage();
    EXPECT_EQ(calendar->marks()[25], 2);
    calendar->SetShown(1999, 12, 1);
    calendar->renderedImage();
    EXPECT_EQ(calendar->marks()[25], -1);
}

TEST_F(PanesTest, EveryListShowingAChangedAppointmentIsReadAgainAfterASaveOrADelete) {
    const int kim = addPerson(u"김유신");
    view().RefreshMainScreens();
    CScheduleView& s = *schedule();
    CMonthCalendarWnd* calendar = s.monthCalendar();
    const int year = calendar->year(), month = calendar->month();
    clk::SystemTime t;
    t.year = year, t.month = month, t.day = 15, t.hour = 9;
    RecordImage a{};
    a.kind = AppointmentKind;
    setText(a.participantIds, QStringLiteral("%1;#;").arg(kim).toStdU16String());
    setText(a.participantNames, u"김유신;");
    a.start = a.end = *clk::toFileTime(t);
    setText(a.content, u"원래");
    ASSERT_TRUE(store().AddRecord(a));
    const auto seconds = [](const std::vector<listctl::ListRow>& rows) {
        QStringList out;
        for (const auto& r : rows) out << r.second;
        return out;
    };
    const auto history = [&] { return seconds(s.historyPane()->list()->rows()); };
    CScheduleDlg* day = calendar->dayDialog();
    const auto dayRows = [&] { return seconds(day->list()->list()->rows()); };
    const auto editor = [&] {
        return qobject_cast<CAppointmentDlg*>(view().paneWindow(AppointmentPane));
    };
    const auto saveEditor = [&](const QString& question) {
        messages.expect(question, shell::IDYES);
        ASSERT_TRUE(
            testsupport::tap(editor()->control<ui::BitmapButton>(CAppointmentDlg::SaveButtonId)));
        testsupport::processDeferredDeletes();
        ASSERT_FALSE(editor());
    };

    // The person's history and the day dialog of the 15th both show it.
    ASSERT_TRUE(tapRow(s.peopleList(), QStringLiteral("김유신")));
    EXPECT_EQ(history(), QStringList{"원래"});
    ASSERT_TRUE(testsupport::tap(&s, QPoint(180, 15)));
    const auto cell = schedule::MonthGrid(year, month).cellOf(15);
    ASSERT_TRUE(
        testsupport::tap(calendar, schedule::MonthGrid::cellRect(cell->y(), cell->x()).center()));
    ASSERT_TRUE(day->isOpen());
    EXPECT_EQ(dayRows(), QStringList{"원래"});

    // 새 약속 from the day dialog: the dialog shows the new one when the editor is done.
    ASSERT_TRUE(testsupport::tap(day->findChild<ui::BitmapButton*>(
        QStringLiteral("ctl_%1").arg(CScheduleDlg::NewAppointmentButton))));
    ASSERT_TRUE(editor());
    editor()->control<QPlainTextEdit>(CAppointmentDlg::ContentEditId)->setPlainText("새것");
    saveEditor(QStringLiteral("작업한 내용을 저장할까요?"));
    EXPECT_TRUE(day->isVisible());
    EXPECT_EQ(dayRows(), (QStringList{"원래", "새것"}));

    // 약속 편집 from the history: the history and the day dialog show the change.
    view().setCurrentItemId(a.id);
    emit s.historyPane()->commandRequested(cmd::EditAppointment);
    ASSERT_TRUE(editor());
    editor()->control<QPlainTextEdit>(CAppointmentDlg::ContentEditId)->setPlainText("바뀜");
    saveEditor(QStringLiteral(
        "관련된 사람들의 Meeting History 가 변경됩니다. 작업한 내용을 업데이트할까요?"));
    EXPECT_EQ(history(), QStringList{"바뀜"});
    EXPECT_EQ(dayRows(), (QStringList{"바뀜", "새것"}));

    // Deleted from the day dialog, it leaves the history too: no stale row is left to fail.
    messages.expect(QStringLiteral("정말 이 약속을 삭제하시겠습니까?"), shell::IDYES);
    day->OnItemCommand(cmd::DeleteAppointment);
    EXPECT_EQ(dayRows(), QStringList{"새것"});
    EXPECT_TRUE(history().isEmpty());
    EXPECT_EQ(calendar->marks()[15], schedule::AppointmentMark);
}

TEST_F(PanesTest, AfterTheStartTheScheduleScreenIsInFrontOnItsPeopleTab) {
    ASSERT_TRUE(schedule());
    EXPECT_EQ(view().paneSlot(SchedulePane).rank, 1);
    EXPECT_EQ(view().paneSlot(PeoplePane).state, -1);
    EXPECT_EQ(view().paneSlot(AppointmentPane).state, -1);
    CScheduleView& s = *schedule();
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(ui::controlId(&s), ctl::ScheduleTabs);
    EXPECT_EQ(s.geometry(), QRect(0, 0, 240, 260));
    EXPECT_EQ(s.currentTab(), CScheduleView::PeopleTab);
    EXPECT_EQ(s.peopleList()->geometry(), QRect(QPoint(10, 35), QPoint(89, 229)));
    EXPECT_EQ(s.peopleList()->mode(), NameList);
    EXPECT_EQ(s.peopleList()->shownRows().size(), 1u);  // "No-Name.."
    EXPECT_EQ(ui::control<QWidget>(&s, CScheduleView::HistoryPaneId)->geometry(),
              QRect(QPoint(95, 35), QPoint(234, 229)));
    auto* button = ui::control<ui::BitmapButton>(&s, CScheduleView::NewPersonButtonId);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->geometry(), QRect(QPoint(10, 234), QPoint(89, 253)));
    EXPECT_EQ(button->normalBitmap(), 228);
    EXPECT_EQ(button->pressedBitmap(), 229);
    EXPECT_FALSE(ui::control<QWidget>(&s, CScheduleView::MonthCalendarId)->isVisible());
    EXPECT_FALSE(ui::control<QWidget>(&s, CScheduleView::MonthBarId)->isVisible());
    EXPECT_FALSE(
        testsupport::screenshot(app_->frame(), QStringLiteral("main_schedule_people")).isEmpty());
}

TEST_F(PanesTest, TheTabsShowTheirOwnChildren) {
    CScheduleView& s = *schedule();
    ASSERT_TRUE(testsupport::tap(&s, QPoint(180, 15)));
    EXPECT_EQ(s.currentTab(), CScheduleView::DateTab);
    EXPECT_FALSE(s.peopleList()->isVisible());
    EXPECT_FALSE(ui::control<QWidget>(&s, CScheduleView::HistoryPaneId)->isVisible());
    EXPECT_FALSE(ui::control<QWidget>(&s, CScheduleView::NewPersonButtonId)->isVisible());
    EXPECT_TRUE(ui::control<QWidget>(&s, CScheduleView::MonthCalendarId)->isVisible());
    EXPECT_TRUE(ui::control<QWidget>(&s, CScheduleView::MonthBarId)->isVisible());
    ASSERT_TRUE(testsupport::tap(&s, QPoint(60, 15)));
    EXPECT_EQ(s.currentTab(), CScheduleView::PeopleTab);
    EXPECT_TRUE(s.peopleList()->isVisible());
    EXPECT_FALSE(ui::control<QWidget>(&s, CScheduleView::MonthCalendarId)->isVisible());
}

TEST_F(PanesTest, ManagingPeopleTwiceCreatesOnePanel) {
    view().runCommand(cmd::ManagePeople);
    CPeoplePanelDlg* first = panel();
    ASSERT_TRUE(first);
    view().runCommand(cmd::ManagePeople);
    EXPECT_EQ(panel(), first);
    EXPECT_EQ(view().findChildren<CPeoplePanelDlg*>().size(), 1);
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(schedule()->isVisible());
    EXPECT_EQ(view().paneSlot(PeoplePane).rank, 1);
    EXPECT_EQ(view().paneSlot(SchedulePane).rank, 2);
}

TEST_F(PanesTest, DoneInTheAppointmentEditorBringsThePanelBack) {
    view().runCommand(cmd::ManagePeople);
    view().runCommand(cmd::ManageAppointments);
    auto* editor = qobject_cast<CAppointmentDlg*>(view().paneWindow(AppointmentPane));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->templateId(), 136);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(panel()->isVisible());

    ASSERT_TRUE(testsupport::tap(editor->control<ui::BitmapButton>(CAppointmentDlg::DoneButtonId)));
    testsupport::processDeferredDeletes();
    EXPECT_EQ(view().paneSlot(AppointmentPane).state, -1);
    EXPECT_EQ(view().paneWindow(AppointmentPane), nullptr);
    EXPECT_EQ(view().findChildren<CAppointmentDlg*>().size(), 0);
    ASSERT_TRUE(panel());
    EXPECT_TRUE(panel()->isVisible());
    EXPECT_EQ(view().paneSlot(PeoplePane).rank, 1);
    EXPECT_FALSE(schedule()->isVisible());

    // The next command makes the editor afresh.
    view().runCommand(cmd::ManageAppointments);
    ASSERT_TRUE(view().paneWindow(AppointmentPane));
    EXPECT_TRUE(view().paneWindow(AppointmentPane)->isVisible());
}

TEST_F(PanesTest, DeletingAPersonAsksAndReloadsBothLists) {
    const int kim = addPerson(u"김유신");
    const int lee = addPerson(u"이순신");
    view().RefreshMainScreens();
    ASSERT_TRUE(tapRow(schedule()->peopleList(), QStringLiteral("이순신")));
    ASSERT_EQ(view().currentPersonId(), lee);
    view().runCommand(cmd::ManagePeople);
    ASSERT_EQ(panel()->peopleList()->shownRows().size(), 2u);

    messages.expect(QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), shell::IDNO);
    view().runCommand(cmd::DeletePerson);
    EXPECT_TRUE(stored(lee));

    cedb::faults::arm({cedb::faults::Op::Delete});
    messages.expect(QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), shell::IDYES)
        .expect(QStringLiteral("삭제되지 않았습니다. 다시 시도하여 주십시오.."));
    view().runCommand(cmd::DeletePerson);
    EXPECT_TRUE(stored(lee));
    cedb::faults::clear();

    messages.expect(QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), shell::IDYES);
    view().runCommand(cmd::DeletePerson);
    EXPECT_FALSE(stored(lee));
    EXPECT_TRUE(stored(kim));
    EXPECT_EQ(schedule()->peopleList()->shownRows().size(), 2u);  // 김유신, "No-Name.."
    EXPECT_EQ(panel()->peopleList()->shownRows().size(), 1u);
}

TEST_F(PanesTest, ASyncThatChangedRecordsReloadsTheLists) {
    view().RefreshMainScreens();
    const size_t before = schedule()->peopleList()->shownRows().size();
    addPerson(u"강감찬");  // as the sync provider would, from its own process
    EXPECT_EQ(schedule()->peopleList()->shownRows().size(), before);
    // The provider's message to the window class "Quorinity".
    ASSERT_EQ(winmsg::postToClass(devfs::deviceRoot(), "Quorinity", {0x04C9, 0, 0}), 1);
    for (int i = 0; i < 50 && schedule()->peopleList()->shownRows().size() == before; ++i)
        QTest::qWait(10);
    EXPECT_EQ(schedule()->peopleList()->shownRows().size(), before + 1);
    // Other messages change nothing.
    addPerson(u"을지문덕");
    winmsg::postToClass(devfs::deviceRoot(), "Quorinity", {0x0401, 0, 0});
    QTest::qWait(50);
    EXPECT_EQ(schedule()->peopleList()->shownRows().size(), before + 1);
}

TEST_F(PanesTest, TheNewPersonButtonRunsTheEditorThenTheListsReload) {
    modals.expect<people::CPersonEditDlg>([this](people::CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.personId(), 0);
        addPerson(u"장보고");
        dlg.reject();
    });
    ASSERT_TRUE(
        testsupport::tap(ui::control<QWidget>(schedule(), CScheduleView::NewPersonButtonId)));
    EXPECT_EQ(schedule()->peopleList()->shownRows().front().name, QStringLiteral("장보고"));
}

TEST_F(PanesTest, EditOnThePersonMenuRunsTheEditorForTheCurrentPersonThenTheListsReload) {
    using namespace people::person_edit;
    const int kim = addPerson(u"김유신");
    addPerson(u"이순신");
    view().RefreshMainScreens();
    ASSERT_TRUE(tapRow(schedule()->peopleList(), QStringLiteral("김유신")));
    ASSERT_EQ(view().currentPersonId(), kim);

    modals.expect<people::CPersonEditDlg>([&](people::CPersonEditDlg& dlg) {
        EXPECT_EQ(dlg.personId(), kim);
        EXPECT_EQ(dlg.edit(NameEdit)->text(), QStringLiteral("김유신"));
        dlg.edit(NameEdit)->clear();
        testsupport::commitText(dlg.edit(NameEdit), QStringLiteral("김춘추"));
        messages.expect(QStringLiteral("업데이트 되었습니다.."));
        ASSERT_TRUE(testsupport::tap(dlg.control<ui::BitmapButton>(UpdateButton)));
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    });
    view().runCommand(cmd::EditPerson);
    EXPECT_EQ(modals.ran().size(), 1);
    QStringList names;
    for (const PeopleRow& row : schedule()->peopleList()->shownRows()) names << row.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("김춘추"), QStringLiteral("이순신"), NoNameText}));
}

TEST_F(PanesTest, AHoldOnAPersonOpensThePersonMenuOfTheDocument) {
    const int kim = addPerson(u"김유신");
    view().RefreshMainScreens();
    CPeopleListWnd* list = schedule()->peopleList();
    QTreeWidget* tree = list->listControl();
    const QPoint at = tree->visualItemRect(tree->topLevelItem(0)).center();
    menus.expectChoose(cmd::DeletePerson);
    messages.expect(QStringLiteral("정말 이 사람을 삭제하시겠습니까?"), shell::IDYES);
    list->tapAndHold()->trigger(at);
    EXPECT_FALSE(stored(kim));
    EXPECT_EQ(list->shownRows().size(), 1u);
    EXPECT_EQ(schedule()->historyPersonId(), kim);
}

}  // namespace
