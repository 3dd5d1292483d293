// The anniversary editor in both modes: its slots and repeat choices, the custom period, the
// records it writes and the questions it asks, and the faults it must not have.
#include "people/anniversary_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>

#include "cedb/faults.h"
#include "clock/clock.h"
#include "people/name_input_wnd.h"
#include "people_list_fixture.h"
#include "store/lunar_calendar.h"
#include "store/repeat_rule.h"
#include "ui/bitmap_button.h"
#include "ui/month_calendar_ctrl.h"

using namespace people;
using testsupport::tap;

namespace {

const QString kClose =
    QStringLiteral("저장하지 않으신 데이터가 있는지 확인하세요. 정말 닫으시겠습니까?");
const QString kChange = QStringLiteral("기존의 기념일을 변경하시겠습니까?");
const QString kLunarYear = QStringLiteral("매년(음력)");

QStringList choices(const CAnniversaryDlg& d) {
    QStringList out;
    auto* combo = d.control<QComboBox>(CAnniversaryDlg::RepeatCombo);
    for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
    return out;
}
int chosen(const CAnniversaryDlg& d) {
    return d.control<QComboBox>(CAnniversaryDlg::RepeatCombo)->currentIndex();
}
void setDate(CAnniversaryDlg& d, const QString& y, const QString& m, const QString& day) {
    d.control<QLineEdit>(CAnniversaryDlg::YearEdit)->setText(y);
    d.control<QLineEdit>(CAnniversaryDlg::MonthEdit)->setText(m);
    d.control<QLineEdit>(CAnniversaryDlg::DayEdit)->setText(day);
}
// Types into an edit as the user does, so the editor hears of it.
void typeInto(CAnniversaryDlg& d, int id, const char* text) {
    auto* e = d.control<QLineEdit>(id);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
}
void typeDate(CAnniversaryDlg& d, const char* y, const char* m, const char* day) {
    typeInto(d, CAnniversaryDlg::YearEdit, y);
    typeInto(d, CAnniversaryDlg::MonthEdit, m);
    typeInto(d, CAnniversaryDlg::DayEdit, day);
}
QStringList shownDate(const CAnniversaryDlg& d) {
    return {d.control<QLineEdit>(CAnniversaryDlg::YearEdit)->text(),
            d.control<QLineEdit>(CAnniversaryDlg::MonthEdit)->text(),
            d.control<QLineEdit>(CAnniversaryDlg::DayEdit)->text()};
}
QCheckBox* lunarSwitch(const CAnniversaryDlg& d) {
    return d.control<QCheckBox>(CAnniversaryDlg::LunarCheck);
}
QCheckBox* leapSwitch(const CAnniversaryDlg& d) {
    return d.control<QCheckBox>(CAnniversaryDlg::LeapMonthCheck);
}
void choose(CAnniversaryDlg& d, const QString& text) {
    auto* combo = d.control<QComboBox>(CAnniversaryDlg::RepeatCombo);
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    d.OnRepeatChosen(index);
}
void setContent(CAnniversaryDlg& d, const QString& text) {
    d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)->setPlainText(text);
}

::testing::AssertionResult save(CAnniversaryDlg& d) {
    return tap(d.control<ui::BitmapButton>(CAnniversaryDlg::SaveButton));
}

class AnniversaryDlgTest : public PeopleTest {
protected:
    void SetUp() override {
        PeopleTest::SetUp();
        clk::SystemTime now;
        now.year = 2005, now.month = 3, now.day = 15;
        clk::setDeviceTime(now);
        clk::freeze(true);
        person = addPerson(QStringLiteral("홍길동"));
    }

    int addAnniversary(int personId, const char16_t* rule, const char16_t* content, int y = 2000,
                       int m = 3, int d = 3) {
        RecordImage r{};
        r.kind = AnniversaryKind;
        setText(r.participantIds, QString::number(personId).toStdU16String());
        setText(r.participantNames, u"홍길동");
        clk::SystemTime t;
        t.year = y, t.month = m, t.day = d;
        r.start = *clk::toFileTime(t);
        setText(r.place, rule);
        setText(r.content, content);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    // SAVE of a new slot, answering Yes to whether slot n is to be saved.
    ::testing::AssertionResult saveAsNew(CAnniversaryDlg& d, int n) {
        messages.expect(QStringLiteral("%1번의 데이터를 저장하시겠습니까?").arg(n), shell::IDYES);
        return save(d);
    }
    // Cancel in management mode, answering Yes to closing.
    void closeAnsweringYes(CAnniversaryDlg& d) {
        messages.expect(kClose, shell::IDYES);
        d.OnCancel();
    }
    RecordImage stored(int id) {
        RecordImage r{};
        r.kind = AnniversaryKind;
        r.key = id;
        EXPECT_TRUE(store.ReadRecord(r));
        return r;
    }
    // The solar day and the rule text of every anniversary, in store order.
    using Saved = std::vector<std::pair<std::u16string, std::tuple<int, int, int>>>;
    Saved savedAnniversaries() {
        Saved saved;
        store.walkRecords(AnniversaryKind, {PropPlace, PropStart}, [&](const RecordImage& r) {
            const clk::SystemTime t = *clk::fromFileTime(r.start);
            saved.push_back({std::u16string(text(r.place)), {t.year, t.month, t.day}});
            return true;
        });
        return saved;
    }
    int anniversaryCount() {
        int n = 0;
        store.walkRecords(AnniversaryKind, {}, [&](const RecordImage&) { return ++n > 0; });
        return n;
    }
    void run(const QString& name, int personId, int anniversaryId, int mode) {
        RunAnniversaryDlg(view, view.viewWidget(), name, personId, anniversaryId, mode);
    }

    int person = 0;
};

TEST_F(AnniversaryDlgTest, ANewAnniversaryWithACustomPeriodIsStoredAsItsRecord) {
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_EQ(d.control<QLineEdit>(CAnniversaryDlg::PersonNameEdit)->text(), "홍길동");
        EXPECT_TRUE(d.control<QComboBox>(CAnniversaryDlg::SlotCombo)->isVisible());
        EXPECT_EQ(choices(d), QStringList{"<선택하세요>"});
        // The date from the calendar: hidden until 1073, a day tap fills the edits.
        EXPECT_FALSE(d.calendar()->isVisible());
        ASSERT_TRUE(tap(d.control<ui::BitmapButton>(CAnniversaryDlg::CalendarButton)));
        ASSERT_TRUE(d.calendar()->isVisible());
        const ui::MonthCalendarPage& page = d.calendar()->page();
        QTest::mouseClick(d.calendar(), Qt::LeftButton, {}, page.cellRect(0, 4).center());
        EXPECT_FALSE(d.calendar()->isVisible());
        EXPECT_EQ(d.control<QLineEdit>(CAnniversaryDlg::DayEdit)->text(), "3");
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 3월 3일", "매달 3일", "Custom..",
                                           "매년(음력)"}));
        testsupport::screenshot(&d, QStringLiteral("anniversary_editor"));

        // Custom..: 0 keeps the choice at "<선택하세요>", 10 makes "매 10일".
        auto* repeat = d.control<QComboBox>(CAnniversaryDlg::RepeatCombo);
        repeat->setCurrentIndex(3);
        d.OnRepeatChosen(3);
        ASSERT_TRUE(d.periodInput()->isVisible());
        d.periodInput()->edit()->setText(QStringLiteral("0"));
        ASSERT_TRUE(tap(ui::control<QWidget>(d.periodInput(), CNameInputWnd::OkButton)));
        EXPECT_EQ(chosen(d), 0);
        d.OnRepeatChosen(3);
        d.periodInput()->edit()->setText(QStringLiteral("10"));
        ASSERT_TRUE(tap(ui::control<QWidget>(d.periodInput(), CNameInputWnd::OkButton)));
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 3월 3일", "매달 3일", "매 10일",
                                           "Custom..", "매년(음력)"}));
        EXPECT_EQ(chosen(d), 3);

        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("첫 만남"));
        d.control<QLineEdit>(CAnniversaryDlg::LeadEdit)->setText(QStringLiteral("3"));
        ASSERT_TRUE(saveAsNew(d, 1));
        EXPECT_TRUE(d.slot(1).loaded);
        // Saving again changes the record just added.
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        messages.expect(kClose, shell::IDYES);
        ASSERT_TRUE(tap(d.control<ui::BitmapButton>(CAnniversaryDlg::CancelButton)));
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    ASSERT_EQ(anniversaryCount(), 1);
    std::vector<RecordImage> records;
    store.walkRecords(AnniversaryKind, {PropId, PropStamp}, [&](const RecordImage& r) {
        records.push_back(r);
        return true;
    });
    const RecordImage r = stored(records[0].id);
    EXPECT_EQ(text(r.participantIds), QString::number(person).toStdU16String());
    EXPECT_EQ(text(r.participantNames), u"홍길동");
    EXPECT_EQ(text(r.place), u"300;10;3;");
    EXPECT_EQ(text(r.content), u"첫 만남");
    const clk::SystemTime start = *clk::fromFileTime(r.start);
    EXPECT_EQ((std::tuple{start.year, start.month, start.day, start.hour, start.minute}),
              (std::tuple{2005, 3, 3, 0, 0}));
    EXPECT_EQ(r.end.value(), 0u);
    EXPECT_EQ(text(r.name), u"");
    EXPECT_NE(records[0].stamp.value(), 0u);
}

TEST_F(AnniversaryDlgTest, EachSlotKeepsItsOwnPeriodAndAFreshSlotHappensOnce) {
    const int tenDays = addAnniversary(person, u"300;10;1;", u"열흘");
    const int twentyDays = addAnniversary(person, u"300;20;2;", u"스무날");
    const int other = addPerson(QStringLiteral("남"));
    addAnniversary(other, u"100;0;0;", u"남의 것");
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 3월 3일", "매월 3일", "매 10일",
                                           "Custom..", "매년(음력)"}));
        EXPECT_EQ(chosen(d), 3);
        auto* slotBox = d.control<QComboBox>(CAnniversaryDlg::SlotCombo);
        slotBox->setCurrentIndex(1);
        d.OnSlotChanged(1);
        EXPECT_EQ(d.currentSlot(), 2);
        EXPECT_EQ(choices(d)[3], "매 20일");
        EXPECT_EQ(d.control<QLineEdit>(CAnniversaryDlg::LeadEdit)->text(), "2");
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        // Slot 3 is fresh: its repeat never chosen, it is stored as happening once.
        slotBox->setCurrentIndex(2);
        d.OnSlotChanged(2);
        EXPECT_EQ(choices(d), QStringList{"<선택하세요>"});
        setDate(d, "2005", "4", "5");
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("새것"));
        ASSERT_TRUE(saveAsNew(d, 3));
        // Back to slot 1, saved as it was.
        slotBox->setCurrentIndex(0);
        d.OnSlotChanged(0);
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(text(stored(tenDays).place), u"300;10;1;");
    EXPECT_EQ(text(stored(twentyDays).place), u"300;20;2;");
    int fresh = 0;
    store.walkRecords(AnniversaryKind, {PropId, PropPlace}, [&](const RecordImage& r) {
        if (r.id > twentyDays && text(r.place) == u"50;0;0;") ++fresh;
        return true;
    });
    EXPECT_EQ(fresh, 1);
}

TEST_F(AnniversaryDlgTest, ImpossibleDatesAndEmptyContentAreRefusedAndNothingIsStored) {
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("생일"));
        for (auto [y, m, day] : {std::tuple{"2005", "2", "29"}, std::tuple{"2005", "13", "1"},
                                 std::tuple{"2005", "1", "0"}, std::tuple{"", "1", "1"},
                                 std::tuple{"1500", "1", "1"}}) {
            setDate(d, y, m, day);
            messages.expect(QStringLiteral("날짜를 입력하세요"));
            ASSERT_TRUE(save(d));
        }
        setDate(d, "2004", "2", "29");
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)->setPlainText(QString());
        messages.expect(QStringLiteral("내용을 입력하세요."));
        ASSERT_TRUE(save(d));
        // A failed add says so, keeps the dialog open and the slot unloaded.
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("윤일"));
        cedb::faults::arm({cedb::faults::Op::Add, u"", cedb::Error::DiskFull});
        messages.expect(QStringLiteral("1번의 데이터를 저장하시겠습니까?"), shell::IDYES);
        messages.expect(QStringLiteral("데이타를 저장하지 못했습니다."));
        ASSERT_TRUE(save(d));
        cedb::faults::clear();
        EXPECT_FALSE(d.slot(1).loaded);
        EXPECT_TRUE(d.isVisible());
        messages.expect(kClose, shell::IDNO);
        d.OnCancel();
        EXPECT_TRUE(d.isVisible());
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(anniversaryCount(), 0);
}

TEST_F(AnniversaryDlgTest, SingleModeChangesOnlyWhatItLoaded) {
    const int id = addAnniversary(person, u"0;0;0;", u"알 수 없는 규칙");
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_FALSE(d.control<QComboBox>(CAnniversaryDlg::SlotCombo)->isVisible());
        EXPECT_FALSE(d.control<QWidget>(CAnniversaryDlg::SlotLabel)->isVisible());
        EXPECT_EQ(d.control<QLineEdit>(CAnniversaryDlg::PersonNameEdit)->text(), "홍길동");
        EXPECT_EQ(d.personId(), person);
        // Code 0: the date and content shown, no repeat entry chosen; kept as it was.
        EXPECT_EQ(chosen(d), -1);
        EXPECT_EQ(choices(d),
                  (QStringList{"<선택하세요>", "매년 3월 3일", "매월 3일", "매년(음력)"}));
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("바뀐 내용"));
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
    });
    run(QString(), 0, id, AnniversarySingleMode);
    EXPECT_EQ(text(stored(id).content), u"바뀐 내용");
    EXPECT_EQ(text(stored(id).place), u"0;0;0;");

    // No: nothing changes, and the dialog closes all the same.
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("버림"));
        messages.expect(kChange, shell::IDNO);
        ASSERT_TRUE(save(d));
    });
    run(QString(), 0, id, AnniversarySingleMode);
    EXPECT_EQ(text(stored(id).content), u"바뀐 내용");

    // An anniversary that cannot be loaded is never added in its place.
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_TRUE(d.loadFailed());
        setDate(d, "2005", "3", "3");
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("유령"));
        messages.expect(QStringLiteral("데이타를 저장하지 못했습니다."));
        ASSERT_TRUE(save(d));
        EXPECT_TRUE(d.isVisible());
        d.OnCancel();  // single mode closes without asking
    });
    run(QString(), 0, 9991, AnniversarySingleMode);
    EXPECT_EQ(anniversaryCount(), 1);
}

TEST_F(AnniversaryDlgTest, ATypedDateOffersTheRepeatChoicesAndABirthdayIsStoredYearly) {
    const auto type = [](QLineEdit* e, const char* text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    };
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        auto* year = d.control<QLineEdit>(CAnniversaryDlg::YearEdit);
        auto* month = d.control<QLineEdit>(CAnniversaryDlg::MonthEdit);
        auto* day = d.control<QLineEdit>(CAnniversaryDlg::DayEdit);
        type(year, "1990");
        type(month, "12");
        EXPECT_EQ(choices(d), QStringList{"<선택하세요>"});  // no day yet
        type(day, "10");
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 12월 10일", "매달 10일",
                                           "Custom..", "매년(음력)"}));
        EXPECT_EQ(chosen(d), 0);
        auto* repeat = d.control<QComboBox>(CAnniversaryDlg::RepeatCombo);
        repeat->setCurrentIndex(1);

        // Correcting the day keeps the yearly choice, on the new day.
        type(day, "11");
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 12월 11일", "매달 11일",
                                           "Custom..", "매년(음력)"}));
        EXPECT_EQ(chosen(d), 1);
        // A date the calendar cannot hold leaves the choices as they were.
        type(year, "1500");
        type(day, "10");
        EXPECT_EQ(choices(d)[1], "매년 12월 11일");
        type(year, "1990");
        EXPECT_EQ(choices(d)[1], "매년 12월 10일");
        EXPECT_EQ(chosen(d), 1);

        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("생일"));
        ASSERT_TRUE(saveAsNew(d, 1));

        // The calendar reaches another decade through its year, and its pick takes the same
        // road: the choice made stays chosen.
        auto* slotBox = d.control<QComboBox>(CAnniversaryDlg::SlotCombo);
        slotBox->setCurrentIndex(1);
        d.OnSlotChanged(1);
        type(year, "2005");
        type(month, "3");
        type(day, "3");
        repeat->setCurrentIndex(2);
        ASSERT_TRUE(tap(d.control<ui::BitmapButton>(CAnniversaryDlg::CalendarButton)));
        ui::MonthCalendarCtrl* calendar = d.calendar();
        QTest::mouseClick(calendar, Qt::LeftButton, {}, ui::MonthCalendarPage::yearRect().center());
        ASSERT_TRUE(calendar->yearChooser()->isVisible());
        QTest::keyClicks(calendar->yearChooser(), "1985");
        QTest::keyClick(calendar->yearChooser(), Qt::Key_Return);
        EXPECT_EQ(calendar->page().year, 1985);
        const ui::MonthCalendarPage& page = calendar->page();
        QTest::mouseClick(calendar, Qt::LeftButton, {}, page.cellRect(0, 5).center());  // 1 March
        EXPECT_EQ(year->text(), "1985");
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 3월 1일", "매달 1일", "Custom..",
                                           "매년(음력)"}));
        EXPECT_EQ(chosen(d), 2);
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("입사"));
        ASSERT_TRUE(saveAsNew(d, 2));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(savedAnniversaries(),
              (Saved{{u"100;0;0;", {1990, 12, 10}}, {u"200;0;0;", {1985, 3, 1}}}));
}

TEST_F(AnniversaryDlgTest, TheContentAndThePeriodTakeNoMoreThanTheRecordKeeps) {
    QString shown;
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        auto* content = d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit);
        content->setFocus();
        testsupport::commitText(content, QString(350, u'기'));
        shown = content->toPlainText();
        EXPECT_EQ(shown.size(), 299);
        d.OnDatePicked(2005, 3, 3);
        // The period's popup keeps no more digits than the rule text writes.
        d.control<QComboBox>(CAnniversaryDlg::RepeatCombo)->setCurrentIndex(3);
        d.OnRepeatChosen(3);
        ASSERT_TRUE(d.periodInput()->isVisible());
        testsupport::commitText(d.periodInput()->edit(), QStringLiteral("123456789012"));
        EXPECT_EQ(d.periodInput()->edit()->text(), QStringLiteral("12345678"));
        d.periodInput()->DestroyWindow();
        ASSERT_TRUE(saveAsNew(d, 1));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    std::u16string stored;
    store.walkRecords(AnniversaryKind, {PropContent}, [&](const RecordImage& r) {
        stored = text(r.content);
        return true;
    });
    EXPECT_EQ(QString::fromStdU16String(stored), shown);
}

TEST_F(AnniversaryDlgTest, NoAnniversaryIsAddedForNoOneButAStoredOneStaysEditable) {
    const QString noPerson = QStringLiteral("선택하신 데이타가 없습니다. 선택하여 주십시오.");
    const auto fillAndSave = [&](CAnniversaryDlg& d) {
        setDate(d, "1990", "12", "10");
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("생일"));
        messages.expect(noPerson);
        ASSERT_TRUE(save(d));
        EXPECT_FALSE(d.slot(d.currentSlot()).loaded);
        closeAnsweringYes(d);
    };
    // At start nobody is current.
    modals.expect<CAnniversaryDlg>(fillAndSave);
    run(QString(), 0, 0, AnniversaryManageMode);
    EXPECT_EQ(anniversaryCount(), 0);

    // The current person was deleted after the menu was opened on them.
    const int wedding = addAnniversary(person, u"100;0;0;", u"결혼");
    RecordImage gone{};
    gone.kind = PersonKind;
    gone.id = person;
    ASSERT_TRUE(store.DeleteRecord(gone));
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        ASSERT_TRUE(d.slot(1).loaded);
        d.control<QPlainTextEdit>(CAnniversaryDlg::ContentEdit)
            ->setPlainText(QStringLiteral("결혼기념일"));
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        auto* slotBox = d.control<QComboBox>(CAnniversaryDlg::SlotCombo);
        slotBox->setCurrentIndex(1);
        d.OnSlotChanged(1);
        fillAndSave(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(anniversaryCount(), 1);
    EXPECT_EQ(text(stored(wedding).content), u"결혼기념일");
}

TEST_F(AnniversaryDlgTest, MoreThanFiveAnniversariesFillTheFiveSlotsInStoreOrder) {
    std::vector<int> ids;
    for (int i = 0; i < 7; ++i)
        ids.push_back(
            addAnniversary(person, u"100;0;0;", QString::number(i).toStdU16String().c_str()));
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_FALSE(d.loadFailed());
        for (int n = 1; n <= 5; ++n) {
            EXPECT_TRUE(d.slot(n).loaded);
            EXPECT_EQ(d.slot(n).recordId, ids[size_t(n - 1)]);
            EXPECT_EQ(d.slot(n).content, QString::number(n - 1));
        }
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
}

TEST_F(AnniversaryDlgTest, ALunarBirthdayIsStoredOnItsSolarDay) {
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_FALSE(lunarSwitch(d)->isChecked());
        EXPECT_FALSE(leapSwitch(d)->isVisible());
        typeDate(d, "1990", "3", "15");
        ASSERT_TRUE(tap(lunarSwitch(d)));
        // 1990 has no leap third month. The solar entries name the day they would repeat on.
        EXPECT_FALSE(leapSwitch(d)->isVisible());
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 4월 10일", "매달 10일", "Custom..",
                                           kLunarYear}));
        choose(d, kLunarYear);
        setContent(d, QStringLiteral("생일"));
        typeInto(d, CAnniversaryDlg::LeadEdit, "2");
        ASSERT_TRUE(saveAsNew(d, 1));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(savedAnniversaries(), (Saved{{u"110;0;2;", {1990, 4, 10}}}));
}

TEST_F(AnniversaryDlgTest, ALeapMonthIsOfferedOnlyInAYearThatHasItAndAPickedDayStaysThatDay) {
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        ASSERT_TRUE(tap(lunarSwitch(d)));
        typeDate(d, "2023", "2", "1");
        ASSERT_TRUE(leapSwitch(d)->isVisible());  // 2023 has a leap second month
        ASSERT_TRUE(tap(leapSwitch(d)));
        typeInto(d, CAnniversaryDlg::YearEdit, "2024");
        EXPECT_FALSE(leapSwitch(d)->isVisible());
        typeInto(d, CAnniversaryDlg::YearEdit, "2023");
        ASSERT_TRUE(leapSwitch(d)->isVisible());
        EXPECT_FALSE(leapSwitch(d)->isChecked());  // hidden, it was unticked
        ASSERT_TRUE(tap(leapSwitch(d)));
        choose(d, kLunarYear);
        setContent(d, QStringLiteral("윤달 생일"));
        testsupport::screenshot(&d, QStringLiteral("anniversary_editor_lunar"));
        ASSERT_TRUE(saveAsNew(d, 1));

        // The calendar picks 22 March 2023 (a Wednesday, fourth row): shown as 윤2월 1일.
        auto* slotBox = d.control<QComboBox>(CAnniversaryDlg::SlotCombo);
        slotBox->setCurrentIndex(1);
        d.OnSlotChanged(1);
        EXPECT_FALSE(lunarSwitch(d)->isChecked());
        ASSERT_TRUE(tap(lunarSwitch(d)));
        ASSERT_TRUE(tap(d.control<ui::BitmapButton>(CAnniversaryDlg::CalendarButton)));
        ui::MonthCalendarCtrl* calendar = d.calendar();
        QTest::mouseClick(calendar, Qt::LeftButton, {}, ui::MonthCalendarPage::yearRect().center());
        QTest::keyClicks(calendar->yearChooser(), "2023");
        QTest::keyClick(calendar->yearChooser(), Qt::Key_Return);
        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->page().cellRect(3, 3).center());
        EXPECT_EQ(shownDate(d), (QStringList{"2023", "2", "1"}));
        EXPECT_TRUE(leapSwitch(d)->isVisible() && leapSwitch(d)->isChecked());
        EXPECT_EQ(choices(d)[1], "매년 3월 22일");
        choose(d, QStringLiteral("매년 3월 22일"));
        setContent(d, QStringLiteral("고른 날"));
        ASSERT_TRUE(saveAsNew(d, 2));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(savedAnniversaries(),
              (Saved{{u"110;0;0;", {2023, 3, 22}}, {u"100;0;0;", {2023, 3, 22}}}));

    // Loaded back by its leap month.
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        EXPECT_EQ(shownDate(d), (QStringList{"2023", "2", "1"}));
        EXPECT_TRUE(leapSwitch(d)->isVisible() && leapSwitch(d)->isChecked());
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
}

TEST_F(AnniversaryDlgTest, LunarDatesThatDoNotExistAreRefusedAndNothingIsStored) {
    int shortMonth = 1;  // a 29-day month of lunar 2023
    while (lunar::monthLength(2023, shortMonth, false) != 29) ++shortMonth;
    const QByteArray shortText = QByteArray::number(shortMonth);
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        setContent(d, QStringLiteral("생일"));
        ASSERT_TRUE(tap(lunarSwitch(d)));
        for (auto [y, m, day] :
             {std::tuple{"1500", "1", "1"}, std::tuple{"2023", "13", "1"},
              std::tuple{"2023", "1", "31"}, std::tuple{"2023", shortText.constData(), "30"}}) {
            typeDate(d, y, m, day);
            messages.expect(QStringLiteral("날짜를 입력하세요"));
            ASSERT_TRUE(save(d));
        }
        // Day 30 of that month is no lunar date but a solar one.
        ASSERT_TRUE(tap(lunarSwitch(d)));
        messages.expect(QStringLiteral("1번의 데이터를 저장하시겠습니까?"), shell::IDNO);
        ASSERT_TRUE(save(d));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    EXPECT_EQ(anniversaryCount(), 0);

    // A leap month the year lacks, which the hidden switch cannot give.
    AnniversarySlot slot;
    slot.year = "2024", slot.month = "2", slot.day = "1", slot.content = "x";
    slot.lunar = slot.leapMonth = true;
    EXPECT_EQ(checkSlot(slot), SlotRefusal::Date);
    slot.year = "2023";
    EXPECT_EQ(checkSlot(slot), SlotRefusal::None);
}

TEST_F(AnniversaryDlgTest, EachSlotKeepsItsSwitchAndCodeAndCustomStaysBeforeTheLunarChoice) {
    addAnniversary(person, u"110;0;1;", u"음력 생일", 1990, 4, 10);
    addAnniversary(person, u"100;0;0;", u"결혼");
    modals.expect<CAnniversaryDlg>([&](CAnniversaryDlg& d) {
        auto* slotBox = d.control<QComboBox>(CAnniversaryDlg::SlotCombo);
        const auto toSlot = [&](int n) {
            slotBox->setCurrentIndex(n - 1);
            d.OnSlotChanged(n - 1);
        };
        EXPECT_TRUE(lunarSwitch(d)->isChecked());
        EXPECT_EQ(shownDate(d), (QStringList{"1990", "3", "15"}));
        EXPECT_EQ(choices(d)[chosen(d)], kLunarYear);
        // Flipping the switch changes what the numbers mean, never the numbers.
        ASSERT_TRUE(tap(lunarSwitch(d)));
        EXPECT_EQ(shownDate(d), (QStringList{"1990", "3", "15"}));
        ASSERT_TRUE(tap(lunarSwitch(d)));
        toSlot(2);
        EXPECT_FALSE(lunarSwitch(d)->isChecked());
        EXPECT_EQ(shownDate(d), (QStringList{"2000", "3", "3"}));
        EXPECT_EQ(chosen(d), 1);
        // A fresh slot: lunar 2005-1-1 every ten days, then away and back.
        toSlot(3);
        EXPECT_FALSE(lunarSwitch(d)->isChecked());
        ASSERT_TRUE(tap(lunarSwitch(d)));
        typeDate(d, "2005", "1", "1");
        choose(d, kLunarYear);
        choose(d, QStringLiteral("Custom.."));
        d.periodInput()->edit()->setText(QStringLiteral("10"));
        ASSERT_TRUE(tap(ui::control<QWidget>(d.periodInput(), CNameInputWnd::OkButton)));
        // Lunar 2005-1-1 is 9 February.
        EXPECT_EQ(choices(d), (QStringList{"<선택하세요>", "매년 2월 9일", "매달 9일", "매 10일",
                                           "Custom..", kLunarYear}));
        EXPECT_EQ(chosen(d), 3);
        choose(d, QStringLiteral("Custom.."));
        d.periodInput()->edit()->setText(QStringLiteral("0"));
        ASSERT_TRUE(tap(ui::control<QWidget>(d.periodInput(), CNameInputWnd::OkButton)));
        EXPECT_EQ(chosen(d), 3);
        toSlot(1);
        EXPECT_TRUE(lunarSwitch(d)->isChecked());
        EXPECT_EQ(shownDate(d), (QStringList{"1990", "3", "15"}));
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        toSlot(2);
        messages.expect(kChange, shell::IDYES);
        ASSERT_TRUE(save(d));
        toSlot(3);
        EXPECT_TRUE(lunarSwitch(d)->isChecked());
        EXPECT_EQ(shownDate(d), (QStringList{"2005", "1", "1"}));
        setContent(d, QStringLiteral("열흘마다"));
        ASSERT_TRUE(saveAsNew(d, 3));
        closeAnsweringYes(d);
    });
    run(QStringLiteral("홍길동"), person, 0, AnniversaryManageMode);
    // Lunar 2005-1-1 is 9 February 2005.
    EXPECT_EQ(savedAnniversaries(), (Saved{{u"110;0;1;", {1990, 4, 10}},
                                           {u"100;0;0;", {2000, 3, 3}},
                                           {u"300;10;0;", {2005, 2, 9}}}));
}

}  // namespace
