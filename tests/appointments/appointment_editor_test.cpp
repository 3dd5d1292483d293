// The appointment editor driven as the user drives it: the form filled, saved through the
// question, read back from the store and loaded again; groups expanded, capacity, dates,
// failed writes, Done and the way back to the agenda; the picker run from the editor.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>

#include "appointment_fixture.h"
#include "appointments/appointment_dlg.h"
#include "appointments/appointment_form.h"
#include "appointments/participant_dlg.h"
#include "appointments/schedule_rows.h"
#include "appointments/screen_hooks.h"
#include "cedb/faults.h"
#include "people/people_list_wnd.h"
#include "shell/shell.h"
#include "shell/tap_and_hold.h"
#include "store/participant_lists.h"
#include "ui/bitmap_button.h"
#include "ui/month_calendar_ctrl.h"
#include "ui/time_picker.h"

namespace {

const QString kAskNew = QStringLiteral("작업한 내용을 저장할까요?");
const QString kAskUpdate =
    QStringLiteral("관련된 사람들의 Meeting History 가 변경됩니다. 작업한 내용을 업데이트할까요?");
const QString kIncomplete =
    QStringLiteral("저장하기를 원하시는 데이타가 올바르지 않거나 충분하지 못합니다..");
const QString kSaveFailed = QStringLiteral("데이타를 저장하지 못했습니다.");
const QString kAskDiscard =
    QStringLiteral("저장하지 않으신 내용이 있습니다. 저장하지 않고 닫으시겠습니까?");

class EditorTest : public AppointmentScreenTest {
protected:
    void SetUp() override {
        AppointmentScreenTest::SetUp();
        savedHooks_ = appointments::screenHooks();
        editor = new CAppointmentDlg(view, &view.widget, [this](QWidget*) { ++agendaRuns; });
        editor->setGeometry(0, 0, 240, 268);
        ASSERT_TRUE(testsupport::showExposed(&view.widget));
    }
    void TearDown() override {
        AppointmentScreenTest::TearDown();
        appointments::screenHooks() = savedHooks_;
        cedb::faults::clear();
        testsupport::processDeferredDeletes();
    }

    QLineEdit* edit(int id) { return editor->control<QLineEdit>(id); }
    ui::TimePicker* picker(int id) { return editor->control<ui::TimePicker>(id); }
    QPlainTextEdit* content() {
        return editor->control<QPlainTextEdit>(CAppointmentDlg::ContentEditId);
    }
    ::testing::AssertionResult tapButton(int id) {
        return testsupport::tap(editor->control<ui::BitmapButton>(id));
    }
    void fillDate(const QString& y, const QString& m, const QString& d) {
        edit(CAppointmentDlg::YearEditId)->setText(y);
        edit(CAppointmentDlg::MonthEditId)->setText(m);
        edit(CAppointmentDlg::DayEditId)->setText(d);
    }
    void addParticipant(const QString& name, int id) {
        edit(CAppointmentDlg::ParticipantEditId)->setText(name);
        editor->setPendingPersonId(QString::number(id));
        editor->AddPendingParticipant();
    }
    // Saves with Yes; the form's pane is then done.
    void save(const QString& question = kAskNew) {
        messages.expect(question, shell::IDYES);
        ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    }

    CAppointmentDlg* editor = nullptr;
    int agendaRuns = 0;

private:
    appointments::ScreenHooks savedHooks_;
};

TEST_F(EditorTest, EveryFieldGoesIntoTheRecordAndComesBackOnLoad) {
    const int kim = addPerson(u"김철수");
    const int lee = addPerson(u"이영희");
    addParticipant(QStringLiteral("김철수"), kim);
    addParticipant(QStringLiteral("이영희"), lee);
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("김철수;이영희;"));
    fillDate("2002", "6", "9");
    picker(CAppointmentDlg::StartTimeId)->setValue(QTime(10, 30, 15));
    picker(CAppointmentDlg::EndTimeId)->setValue(QTime(11, 45));
    testsupport::commitText(edit(CAppointmentDlg::PlaceEditId), QStringLiteral("본사 회의실"));
    content()->setPlainText(QStringLiteral("분기 계획\n예산 검토"));
    appointments::screenHooks().chooseSketch = [](QWidget*) {
        return std::optional<QString>(QStringLiteral("map1.bmp"));
    };
    ASSERT_TRUE(tapButton(CAppointmentDlg::AttachButtonId));
    EXPECT_EQ(edit(CAppointmentDlg::SketchEditId)->text(), QStringLiteral("map1.bmp"));
    save();

    auto stored = appointments();
    ASSERT_EQ(stored.size(), 1u);
    const RecordImage r = stored[0];  // a copy: `stored` is read again below
    EXPECT_EQ(qtext(text(r.participantIds)), QStringLiteral("%1;%2;#;").arg(kim).arg(lee));
    EXPECT_EQ(qtext(text(r.participantNames)), QStringLiteral("김철수;이영희;"));
    EXPECT_EQ(r.start, fileTime(2002, 6, 9, 10, 30, 15));
    EXPECT_EQ(r.end, fileTime(2002, 6, 9, 11, 45));
    EXPECT_EQ(qtext(text(r.place)), QStringLiteral("본사 회의실"));
    EXPECT_EQ(qtext(text(r.content)), QStringLiteral("분기 계획\n예산 검토"));
    EXPECT_EQ(r.hasSketch, 1);
    EXPECT_EQ(qtext(text(r.sketchName)), QStringLiteral("map1.bmp"));
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(agendaRuns, 0);

    // The saved form was done: load it into a fresh editor and update it.
    testsupport::processDeferredDeletes();
    editor = new CAppointmentDlg(view, &view.widget);
    editor->setGeometry(0, 0, 240, 268);
    editor->show();
    editor->SetTarget(r.key);
    ASSERT_TRUE(editor->LoadAppointment());
    editor->setMode(CAppointmentDlg::ExistingAppointment);
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("김철수;이영희;"));
    EXPECT_EQ(editor->participants().personIds,
              QStringList({QString::number(kim), QString::number(lee)}));
    EXPECT_EQ(edit(CAppointmentDlg::YearEditId)->text(), QStringLiteral("2002"));
    EXPECT_EQ(edit(CAppointmentDlg::MonthEditId)->text(), QStringLiteral("6"));
    EXPECT_EQ(edit(CAppointmentDlg::DayEditId)->text(), QStringLiteral("9"));
    EXPECT_EQ(picker(CAppointmentDlg::StartTimeId)->value(), QTime(10, 30, 15));
    EXPECT_EQ(picker(CAppointmentDlg::EndTimeId)->value(), QTime(11, 45));
    EXPECT_EQ(edit(CAppointmentDlg::PlaceEditId)->text(), QStringLiteral("본사 회의실"));
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("분기 계획\n예산 검토"));
    EXPECT_EQ(edit(CAppointmentDlg::SketchEditId)->text(), QStringLiteral("map1.bmp"));

    // Cancelling the sketch library removes the attachment.
    appointments::screenHooks().chooseSketch = [](QWidget*) { return std::optional<QString>(); };
    ASSERT_TRUE(tapButton(CAppointmentDlg::AttachButtonId));
    content()->setPlainText(QStringLiteral("바뀐 내용"));
    save(kAskUpdate);
    stored = appointments();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].key, r.key);
    EXPECT_EQ(qtext(text(stored[0].content)), QStringLiteral("바뀐 내용"));
    EXPECT_EQ(stored[0].hasSketch, 0);
    EXPECT_EQ(qtext(text(stored[0].sketchName)), QString());
    EXPECT_EQ(stored[0].start, fileTime(2002, 6, 9, 10, 30, 15));
}

TEST_F(EditorTest, WithoutParticipantsTheListsAreTheTerminatorAndEmpty) {
    fillDate("2003", "1", "2");
    content()->setPlainText(QStringLiteral("혼자"));
    save();
    const auto stored = appointments();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(qtext(text(stored[0].participantIds)), QStringLiteral("#;"));
    EXPECT_EQ(qtext(text(stored[0].participantNames)), QString());
}

TEST_F(EditorTest, GroupsAreExpandedOncePerPersonInTheOrderChosen) {
    const int a = addPerson(u"가", u"VIP");
    const int b = addPerson(u"나", u"친구, VIP");
    const int c = addPerson(u"다", u"친구");
    addPerson(u"라", u"VIP동호회");  // a longer name is not the group
    addParticipant(QStringLiteral("나"), b);
    modals.expect<CParticipantDlg>([&](CParticipantDlg& d) {
        appointments::ParticipantSelection s = d.selection();
        s.addGroup(QStringLiteral("친구"), QStringLiteral("-5"));
        s.addGroup(QStringLiteral("VIP"), QStringLiteral("-6"));
        d.SetSelection(s);
        d.accept();
    });
    ASSERT_TRUE(tapButton(CAppointmentDlg::PickerButtonId));
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("<친구>;<VIP>;나;"));
    fillDate("2004", "3", "4");
    content()->setPlainText(QStringLiteral("모임"));
    save();
    const auto stored = appointments();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(qtext(text(stored[0].participantIds)),
              QStringLiteral("%1;%2;%3;#;").arg(b).arg(c).arg(a));
    EXPECT_EQ(qtext(text(stored[0].participantNames)), QStringLiteral("나;다;가;"));
}

TEST_F(EditorTest, FortyNineParticipantsFitAndFiftyAreRefusedKeepingTheForm) {
    // Identifiers 11 .. 491 and beyond: the later ones take four units with their ";".
    std::vector<int> ids;
    for (int i = 0; i < 50; ++i)
        ids.push_back(addPerson(u"P" + std::u16string(1, char16_t(u'A' + i % 26))));
    for (int i = 0; i < 49; ++i) addParticipant(QStringLiteral("P%1").arg(i % 10), ids[size_t(i)]);
    fillDate("2005", "5", "5");
    content()->setPlainText(QStringLiteral("큰 모임"));
    // 49 identifiers: 9 of three units and 40 of four, with "#;": 189 units.
    save();
    ASSERT_EQ(appointments().size(), 1u);
    EXPECT_EQ(splitIdList(text(appointments()[0].participantIds)).size(), 49u);

    testsupport::processDeferredDeletes();
    editor = new CAppointmentDlg(view, &view.widget);
    editor->setGeometry(0, 0, 240, 268);
    editor->show();
    // Identifiers of 50 persons with 4-digit numbers: 50 x 5 + 2 units do not fit.
    for (int i = 0; i < 50; ++i) addParticipant(QStringLiteral("Q"), 1001 + i * 10);
    fillDate("2005", "5", "6");
    content()->setPlainText(QStringLiteral("너무 큰 모임"));
    messages.expect(kAskNew, shell::IDYES);
    messages.expectContaining(QStringLiteral("참가자가 너무 많아"));
    ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    EXPECT_EQ(appointments().size(), 1u);
    EXPECT_EQ(editor->participants().personIds.size(), 50);
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("너무 큰 모임"));
}

TEST_F(EditorTest, TheCapacityLimitIsBetweenFortyNineAndFiftyThreeUnitEntries) {
    // Forty-nine entries of "NN;"+ fit in 199 units only when short; measured on the lists.
    appointments::AppointmentForm form;
    form.date = {2002, 1, 1};
    for (int i = 0; i < 49; ++i)
        form.participants.addPerson(QStringLiteral("a"), QString::number(101 + i * 10));
    EXPECT_TRUE(appointments::buildAppointmentImage(form));  // 49 x 4 + 2 = 198
    form.participants.addPerson(QStringLiteral("a"), QStringLiteral("591"));
    EXPECT_FALSE(appointments::buildAppointmentImage(form));  // 50 x 4 + 2 = 202
}

TEST_F(EditorTest, AnAppointmentAtTwelvePastKeepsItsTimeAndOnlyTheMarkerLeavesThePickers) {
    const int real = addAppointment(u"#;", u"", fileTime(2002, 6, 9, 10, 12),
                                    fileTime(2002, 6, 9, 11, 0), u"열시 십이분");
    const int marker = addAppointment(u"#;", u"", fileTime(2002, 6, 9, 0, 12),
                                      fileTime(2002, 6, 9, 0, 12), u"시간 없음");
    editor->SetTarget(real);
    ASSERT_TRUE(editor->LoadAppointment());
    EXPECT_EQ(picker(CAppointmentDlg::StartTimeId)->value(), QTime(10, 12));
    EXPECT_EQ(picker(CAppointmentDlg::EndTimeId)->value(), QTime(11, 0));
    picker(CAppointmentDlg::StartTimeId)->setValue(QTime(14, 0));
    picker(CAppointmentDlg::EndTimeId)->setValue(QTime(15, 0));
    editor->SetTarget(marker);
    ASSERT_TRUE(editor->LoadAppointment());
    // Loading clears the form, so the pickers show the cleared 09:00.
    EXPECT_EQ(picker(CAppointmentDlg::StartTimeId)->value(), QTime(9, 0));
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("시간 없음"));
}

TEST_F(EditorTest, AnAppointmentWithoutATimeKeepsItWhenThePickersAreNotTouched) {
    const auto marker = fileTime(2002, 6, 9, 0, 12);
    const int noTime = addAppointment(u"#;", u"", marker, marker, u"시간 없음");
    const auto load = [&](int key) {
        testsupport::processDeferredDeletes();
        editor = new CAppointmentDlg(view, &view.widget);
        editor->setGeometry(0, 0, 240, 268);
        editor->show();
        editor->SetTarget(key);
        ASSERT_TRUE(editor->LoadAppointment());
        editor->setMode(CAppointmentDlg::ExistingAppointment);
    };
    const auto storedTimes = [&] {
        RecordImage r{};
        r.kind = AppointmentKind;
        r.key = noTime;
        EXPECT_TRUE(store.ReadRecord(r));
        return std::pair{r.start, r.end};
    };
    // Only the place changes: the marker stays, so the lists still show no time.
    load(noTime);
    testsupport::commitText(edit(CAppointmentDlg::PlaceEditId), QStringLiteral("카페"));
    save(kAskUpdate);
    EXPECT_EQ(storedTimes(), (std::pair{marker, marker}));
    const clk::SystemTime start = *clk::fromFileTime(storedTimes().first);
    EXPECT_TRUE(schedule::isNoTimeMarker(start, storedTimes().second));
    // A new date moves the marker with it.
    load(noTime);
    fillDate("2002", "6", "10");
    save(kAskUpdate);
    EXPECT_EQ(storedTimes(),
              (std::pair{fileTime(2002, 6, 10, 0, 12), fileTime(2002, 6, 10, 0, 12)}));
    // A time set on the pickers is the user's: it is stored.
    load(noTime);
    picker(CAppointmentDlg::StartTimeId)->setValue(QTime(14, 0));
    save(kAskUpdate);
    EXPECT_EQ(storedTimes(),
              (std::pair{fileTime(2002, 6, 10, 14, 0), fileTime(2002, 6, 10, 9, 0)}));
}

TEST_F(EditorTest, DoneAsksBeforeThrowingAwayInputAndAnUntouchedFormClosesAtOnce) {
    const int key =
        addAppointment(u"#;", u"", fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"원래");
    const auto fresh = [&] {
        testsupport::processDeferredDeletes();
        editor = new CAppointmentDlg(view, &view.widget);
        editor->setGeometry(0, 0, 240, 268);
        editor->show();
    };
    // Cleared, prefilled by the screen that opened it, or loaded: nothing to lose, no question.
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_FALSE(editor->isVisible());
    fresh();
    editor->setFormDate(QDate(2005, 3, 15));
    addParticipant(QStringLiteral("김"), 11);
    EXPECT_FALSE(editor->hasUnsavedInput());
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_FALSE(editor->isVisible());
    fresh();
    editor->SetTarget(key);
    ASSERT_TRUE(editor->LoadAppointment());
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_FALSE(editor->isVisible());

    // A filled form asks; No keeps every field, Yes closes without storing.
    fresh();
    testsupport::commitText(edit(CAppointmentDlg::PlaceEditId), QStringLiteral("본사"));
    content()->setFocus();
    QTest::keyClicks(content(), "meeting");
    editor->SetReturnToAgenda(true);
    messages.expect(kAskDiscard, shell::IDNO);
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("meeting"));
    EXPECT_EQ(edit(CAppointmentDlg::PlaceEditId)->text(), QStringLiteral("본사"));
    EXPECT_EQ(agendaRuns, 0);
    messages.expect(kAskDiscard, shell::IDYES);
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(appointments().size(), 1u);

    // A date picked on the calendar or a moved picker is input too.
    fresh();
    editor->SetTarget(key);
    ASSERT_TRUE(editor->LoadAppointment());
    picker(CAppointmentDlg::EndTimeId)->stepBy(1);
    messages.expect(kAskDiscard, shell::IDYES);
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    fresh();
    ASSERT_TRUE(tapButton(CAppointmentDlg::CalendarButtonId));
    ui::MonthCalendarCtrl* calendar = editor->monthCalendar();
    ASSERT_TRUE(testsupport::tap(calendar, calendar->page().cellRect(2, 3).center()));
    EXPECT_FALSE(edit(CAppointmentDlg::DayEditId)->text().isEmpty());
    messages.expect(kAskDiscard, shell::IDYES);
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(EditorTest, ImpossibleOrIncompleteDatesAreRefusedAndNothingIsStored) {
    const std::vector<std::array<QString, 3>> dates = {
        {"2002", "", "1"}, {"2002", "13", "1"}, {"2002", "6", "31"}, {"", "6", "1"},
        {"2002", "6", ""}, {"2002", "2", "29"}, {"1600", "1", "1"},  {"99999", "1", "1"},
        {"0", "1", "1"},   {"2002", "6", "0"}};
    content()->setPlainText(QStringLiteral("내용"));
    for (const auto& d : dates) {
        fillDate(d[0], d[1], d[2]);
        messages.expect(kAskNew, shell::IDYES);
        messages.expect(kIncomplete);
        ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
        EXPECT_EQ(edit(CAppointmentDlg::MonthEditId)->text(), d[1]);
    }
    // An empty content is refused too; No keeps the form without a word.
    fillDate("2002", "6", "1");
    content()->clear();
    messages.expect(kAskNew, shell::IDYES);
    messages.expect(kIncomplete);
    ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    content()->setPlainText(QStringLiteral("내용"));
    messages.expect(kAskNew, shell::IDNO);
    ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    EXPECT_EQ(editor->mode(), CAppointmentDlg::NewAppointment);
    EXPECT_TRUE(appointments().empty());
    EXPECT_EQ(edit(CAppointmentDlg::YearEditId)->maxLength(), 5);
    EXPECT_EQ(edit(CAppointmentDlg::PlaceEditId)->maxLength(), 29);
}

TEST_F(EditorTest, OverLongTextsAreRefusedAsTheyComeSoWhatShowsIsWhatIsStored) {
    // 350 characters pasted into the content: the edit keeps the 299 its field holds.
    content()->setFocus();
    testsupport::commitText(content(), QString(350, u'가'));
    EXPECT_EQ(content()->toPlainText().size(), 299);
    // One more, at the end or in the middle, is refused where it is typed.
    QTest::keyClicks(content(), "x");
    QTextCursor middle = content()->textCursor();
    middle.setPosition(10);
    content()->setTextCursor(middle);
    QTest::keyClicks(content(), "y");
    EXPECT_EQ(content()->toPlainText(), QString(299, u'가'));
    // A character of two units that does not fit is not split.
    content()->setPlainText(QString(298, u'가'));
    content()->moveCursor(QTextCursor::End);
    testsupport::commitText(content(), QStringLiteral("😀"));
    EXPECT_EQ(content()->toPlainText(), QString(298, u'가'));
    testsupport::commitText(content(), QStringLiteral("나"));

    testsupport::commitText(edit(CAppointmentDlg::PlaceEditId), QString(40, u'곳'));
    fillDate("2002", "6", "9");
    const QString place = edit(CAppointmentDlg::PlaceEditId)->text();
    const QString shown = content()->toPlainText();
    EXPECT_EQ(place.size(), 29);
    save();
    ASSERT_EQ(appointments().size(), 1u);
    EXPECT_EQ(qtext(text(appointments()[0].content)), shown);
    EXPECT_EQ(qtext(text(appointments()[0].place)), place);
}

TEST_F(EditorTest, AFailedAddOrUpdateSaysSoAndKeepsTheForm) {
    fillDate("2002", "6", "1");
    content()->setPlainText(QStringLiteral("실패"));
    cedb::faults::arm({.op = cedb::faults::Op::Add});
    messages.expect(kAskNew, shell::IDYES);
    messages.expect(kSaveFailed);
    ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    EXPECT_TRUE(appointments().empty());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("실패"));

    const int key =
        addAppointment(u"#;", u"", fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"원래");
    editor->SetTarget(key);
    ASSERT_TRUE(editor->LoadAppointment());
    editor->setMode(CAppointmentDlg::ExistingAppointment);
    content()->setPlainText(QStringLiteral("바뀜"));
    cedb::faults::arm({.op = cedb::faults::Op::Update});
    messages.expect(kAskUpdate, shell::IDYES);
    messages.expect(kSaveFailed);
    ASSERT_TRUE(tapButton(CAppointmentDlg::SaveButtonId));
    EXPECT_EQ(qtext(text(appointments()[0].content)), QStringLiteral("원래"));
    EXPECT_EQ(editor->mode(), CAppointmentDlg::ExistingAppointment);
    EXPECT_EQ(editor->appointmentId(), key);
    EXPECT_EQ(view.refreshes, 0);
}

TEST_F(EditorTest, ALoadedAppointmentShowsOnlyItsOwnParticipants) {
    const int kim = addPerson(u"김");
    const int key = addAppointment(QString::number(kim).toStdU16String() + u";#;", u"김;",
                                   fileTime(2002, 6, 1, 9), fileTime(2002, 6, 1, 10), u"하나");
    addParticipant(QStringLiteral("다른 사람"), 999);
    edit(CAppointmentDlg::SketchEditId)->setText(QStringLiteral("old.bmp"));
    editor->SetTarget(key);
    ASSERT_TRUE(editor->LoadAppointment());
    EXPECT_EQ(editor->participants().personIds, QStringList({QString::number(kim)}));
    EXPECT_EQ(edit(CAppointmentDlg::SketchEditId)->text(), QString());
    // An identifier that finds nothing loads nothing and leaves a clear form.
    editor->SetTarget(key + 1000);
    EXPECT_FALSE(editor->LoadAppointment());
    EXPECT_TRUE(editor->participants().personIds.isEmpty());
    EXPECT_TRUE(content()->toPlainText().isEmpty());
}

TEST_F(EditorTest, NewAppointmentWithAPersonStartsAfreshAfterAnEdit) {
    const int kim = addPerson(u"김");
    const int key = addAppointment(u"999;#;", u"누구;", fileTime(2002, 6, 1, 9),
                                   fileTime(2002, 6, 1, 10), u"편집");
    editor->SetTarget(key);
    ASSERT_TRUE(editor->LoadAppointment());
    editor->setMode(CAppointmentDlg::ExistingAppointment);
    appointments::StartWithPerson(editor, QStringLiteral("김"), kim);
    EXPECT_EQ(editor->mode(), CAppointmentDlg::NewAppointment);
    EXPECT_EQ(editor->appointmentId(), 0);
    EXPECT_EQ(editor->participants().personIds, QStringList({QString::number(kim)}));
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("김;"));
    EXPECT_TRUE(content()->toPlainText().isEmpty());
    fillDate("2002", "6", "2");
    content()->setPlainText(QStringLiteral("새것"));
    save();
    const auto stored = appointments();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(qtext(text(stored[0].content)), QStringLiteral("편집"));
    EXPECT_EQ(qtext(text(stored[1].content)), QStringLiteral("새것"));
}

TEST_F(EditorTest, ReturnMakesANewLineAndDoneGoesBackToTheAgendaOnce) {
    content()->setFocus();
    QTest::keyClicks(content(), "ab");
    QTest::keyClick(content(), Qt::Key_Return);
    QTest::keyClicks(content(), "cd");
    EXPECT_EQ(content()->toPlainText(), QStringLiteral("ab\ncd"));
    edit(CAppointmentDlg::PlaceEditId)->setFocus();
    QTest::keyClick(edit(CAppointmentDlg::PlaceEditId), Qt::Key_Return);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(appointments().empty());

    editor->SetReturnToAgenda(true);
    messages.expect(kAskDiscard, shell::IDYES);
    ASSERT_TRUE(tapButton(CAppointmentDlg::DoneButtonId));
    EXPECT_EQ(agendaRuns, 1);
    EXPECT_FALSE(editor->returnToAgenda());
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(EditorTest, TheCalendarFillsTheDateAndATapElsewhereHidesIt) {
    fillDate("2002", "12", "1");
    ASSERT_TRUE(tapButton(CAppointmentDlg::CalendarButtonId));
    ui::MonthCalendarCtrl* calendar = editor->monthCalendar();
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(ui::controlId(calendar), CAppointmentDlg::MonthCalendarId);
    EXPECT_EQ(calendar->page().month, 12);
    QPoint cell;
    for (int r = 0; r < ui::MonthCalendarPage::Rows; ++r)
        for (int c = 0; c < 7; ++c)
            if (calendar->page().dayAt(r, c) == 25) cell = calendar->page().cellRect(r, c).center();
    ASSERT_TRUE(testsupport::tap(calendar, cell));
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_EQ(edit(CAppointmentDlg::YearEditId)->text(), QStringLiteral("2002"));
    EXPECT_EQ(edit(CAppointmentDlg::MonthEditId)->text(), QStringLiteral("12"));
    EXPECT_EQ(edit(CAppointmentDlg::DayEditId)->text(), QStringLiteral("25"));
    ASSERT_TRUE(tapButton(CAppointmentDlg::CalendarButtonId));
    ASSERT_TRUE(testsupport::tap(edit(CAppointmentDlg::ParticipantEditId)));
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_EQ(edit(CAppointmentDlg::DayEditId)->text(), QStringLiteral("25"));
}

TEST_F(EditorTest, AOneLineEditRaisesThePanelOnEveryPressAndTheFormElsewhereLowersIt) {
    for (int id : {CAppointmentDlg::ParticipantEditId, CAppointmentDlg::YearEditId,
                   CAppointmentDlg::MonthEditId, CAppointmentDlg::DayEditId,
                   CAppointmentDlg::PlaceEditId}) {
        shell::lowerInputPanel();
        ASSERT_TRUE(testsupport::tap(edit(id)));
        EXPECT_TRUE(shell::isInputPanelOn()) << id;
        ASSERT_TRUE(testsupport::tap(edit(id)));  // the focus already there
        EXPECT_TRUE(shell::isInputPanelOn()) << id;
    }
    // The content keeps a panel raised for it; a press elsewhere on the form lowers it, also
    // one on the sketch's name, which takes no typing.
    auto* content = editor->findChild<QPlainTextEdit*>();
    ASSERT_TRUE(testsupport::tap(content->viewport()));
    EXPECT_TRUE(shell::isInputPanelOn());
    ASSERT_TRUE(testsupport::tap(edit(CAppointmentDlg::SketchEditId)));
    EXPECT_FALSE(shell::isInputPanelOn());
    shell::raiseInputPanel();
    ASSERT_TRUE(testsupport::tap(editor->findChild<QLabel*>()));
    EXPECT_FALSE(shell::isInputPanelOn());
}

TEST_F(EditorTest, EveryControlOfTheFormIsOnTheScreen) {
    for (QWidget* c : editor->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!c->isVisible()) continue;
        const QRect onScreen(c->mapTo(editor->window(), QPoint(0, 0)), c->size());
        EXPECT_TRUE(QRect(0, 0, 240, 320).contains(onScreen))
            << ui::controlId(c) << " at " << onScreen.x() << "," << onScreen.y() << " "
            << onScreen.width() << "x" << onScreen.height();
    }
}

// ---- The participant picker ----

class PickerTest : public AppointmentScreenTest {
protected:
    int rowOf(CParticipantDlg& d, const QString& name) {
        const PeopleRows& rows = d.peopleList()->shownRows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].name == name) return int(i);
        return -1;
    }
    QStringList treeTexts(CParticipantDlg& d) {
        QStringList out;
        std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
            out << QString(depth, u' ') + item->text(0);
            for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
        };
        for (int i = 0; i < d.tree()->topLevelItemCount(); ++i) walk(d.tree()->topLevelItem(i), 0);
        return out;
    }
    QTreeWidgetItem* treeItem(CParticipantDlg& d, const QString& text, int nth = 0) {
        auto items = d.tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return nth < items.size() ? items[nth] : nullptr;
    }
    void holdAndDelete(CParticipantDlg& d, QTreeWidgetItem* item) {
        ASSERT_TRUE(item);
        menus.expectChoose(CParticipantDlg::DeleteCommand);
        d.tree()->scrollToItem(item);
        const QPoint pos = d.tree()->visualItemRect(item).center();
        ASSERT_TRUE(testsupport::tap(d.tree()->viewport(), pos));
        d.tree()->viewport()->findChild<shell::TapAndHold*>()->trigger(pos);
    }
};

TEST_F(PickerTest, TickingAddsPersonsAndGroupsOnceAndTheTreeShowsMembers) {
    store.AddCategory(u"친구");
    store.AddCategory(u"빈그룹");
    addPerson(u"가", u"친구");
    const int b = addPerson(u"나", u"친구, VIP");
    CParticipantDlg d(store);
    ASSERT_TRUE(testsupport::showExposed(&d));
    const int rowB = rowOf(d, QStringLiteral("나"));
    ASSERT_GE(rowB, 0);
    d.peopleList()->setChecked(rowB, true);
    d.AddRow(rowB);  // a second tap on the ticked row
    d.peopleList()->setChecked(rowOf(d, QStringLiteral("친구")), true);
    d.peopleList()->setChecked(rowOf(d, QStringLiteral("빈그룹")), true);
    EXPECT_EQ(d.GetPersonCount(), 1);
    EXPECT_EQ(d.GetPerson(0, 2), QString::number(b));
    EXPECT_EQ(d.GetPerson(0, 3), QString());
    EXPECT_EQ(d.GetGroupCount(), 2);
    EXPECT_EQ(treeTexts(d), QStringList({"<약속 참가 명단>", " 일반 선택", "  나", " 친구", "  가",
                                         "  나", " 빈그룹"}));
    // Clearing a tick removes nothing.
    d.peopleList()->setChecked(rowB, false);
    EXPECT_EQ(d.GetPersonCount(), 1);
    testsupport::screenshot(&d, QStringLiteral("participant_picker"));
}

TEST_F(PickerTest, RemovingAsksPerItemKindAndAGroupsMemberIsRefused) {
    addPerson(u"가", u"친구");
    const int b = addPerson(u"나");
    const int c = addPerson(u"다");
    CParticipantDlg d(store);
    appointments::ParticipantSelection s;
    s.addPerson(QStringLiteral("나"), QString::number(b));
    s.addPerson(QStringLiteral("다"), QString::number(c));
    s.addGroup(QStringLiteral("친구"), QStringLiteral("-3"));
    d.SetSelection(s);
    ASSERT_TRUE(testsupport::showExposed(&d));
    d.tree()->expandAll();

    messages.expect(
        QStringLiteral("<그룹>으로 선택된 사람은 지울 수 없습니다.<그룹>을 제거하세요."));
    holdAndDelete(d, treeItem(d, QStringLiteral("가")));
    EXPECT_EQ(d.selection(), s);

    messages.expect(QStringLiteral("선택된 사람을 지우시겠습니까?"), shell::IDNO);
    holdAndDelete(d, treeItem(d, QStringLiteral("나")));
    EXPECT_EQ(d.GetPersonCount(), 2);
    messages.expect(QStringLiteral("선택된 사람을 지우시겠습니까?"), shell::IDYES);
    holdAndDelete(d, treeItem(d, QStringLiteral("나")));
    EXPECT_EQ(d.selection().personIds, QStringList({QString::number(c)}));

    messages.expect(QStringLiteral("선택된 그룹을 지우시겠습니까?"), shell::IDYES);
    holdAndDelete(d, treeItem(d, QStringLiteral("친구")));
    EXPECT_TRUE(d.selection().groupIds.isEmpty());
    EXPECT_FALSE(treeItem(d, QStringLiteral("가")));

    messages.expect(QStringLiteral("<일반 선택> 사람 전부를 지우시겠습니까?"), shell::IDYES);
    holdAndDelete(d, treeItem(d, QStringLiteral("일반 선택")));
    EXPECT_TRUE(d.selection().personIds.isEmpty());

    s.clearPersons();
    d.SetSelection(s);
    messages.expect(QStringLiteral("선택된 사람 전부를 지우시겠습니까?"), shell::IDYES);
    holdAndDelete(d, treeItem(d, QStringLiteral("<약속 참가 명단>")));
    EXPECT_EQ(d.selection(), appointments::ParticipantSelection());
}

TEST_F(EditorTest, CancelInThePickerChangesNothingAndOkTakesItsSelection) {
    const int kim = addPerson(u"김");
    const int lee = addPerson(u"이");
    addParticipant(QStringLiteral("김"), kim);
    const auto before = editor->participants();
    modals.expect<CParticipantDlg>([&](CParticipantDlg& d) {
        appointments::ParticipantSelection s = d.selection();
        s.addPerson(QStringLiteral("이"), QString::number(lee));
        s.removePerson(QString::number(kim));
        d.SetSelection(s);
        d.reject();
    });
    ASSERT_TRUE(tapButton(CAppointmentDlg::PickerButtonId));
    EXPECT_EQ(editor->participants(), before);
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("김;"));

    modals.expect<CParticipantDlg>([&](CParticipantDlg& d) {
        EXPECT_EQ(d.selection(), before);
        const int row = [&] {
            const PeopleRows& rows = d.peopleList()->shownRows();
            for (size_t i = 0; i < rows.size(); ++i)
                if (rows[i].id == lee) return int(i);
            return -1;
        }();
        d.peopleList()->setChecked(row, true);
        ASSERT_TRUE(testsupport::tap(d.control<ui::BitmapButton>(CParticipantDlg::OkButtonId)));
    });
    ASSERT_TRUE(tapButton(CAppointmentDlg::PickerButtonId));
    EXPECT_EQ(editor->participants().personIds,
              QStringList({QString::number(kim), QString::number(lee)}));
    EXPECT_EQ(edit(CAppointmentDlg::ParticipantEditId)->text(), QStringLiteral("김;이;"));
    testsupport::screenshot(&view.widget, QStringLiteral("appointment_editor_participants"));
}

}  // namespace
