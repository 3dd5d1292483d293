// The rows of the meeting history and of the day's agenda, from records in a real store:
// which records belong to a person, the "No-Name.." row, order, anniversaries, every repeat
// code with and without a lead across month and year ends, and damaged records.
#include "appointments/meeting_rows.h"

#include <sstream>

#include "appointment_fixture.h"
#include "inspect/inspect.h"
#include "people/anniversary_dlg.h"
#include "people/people_list_rows.h"
#include "store/participant_lists.h"
#include "store/repeat_rule.h"

namespace {

using appointments::ItemRow;
using appointments::ItemRows;

class RowsTest : public AppointmentScreenTest {
protected:
    int addAnniversary(int owner, const std::u16string& name, cedb::FileTime date,
                       const std::u16string& rule, const std::u16string& content) {
        RecordImage image{};
        image.kind = AnniversaryKind;
        setText(image.participantIds, QString::number(owner).toStdU16String());
        setText(image.participantNames, name);
        image.start = date;
        image.end = date;
        setText(image.place, rule);
        setText(image.content, content);
        EXPECT_TRUE(store.AddRecord(image));
        return image.id;
    }
    // A record of `kind` lacking `missing`, straight into the database.
    void addRecordLacking(uint32_t kind, uint32_t missing, const std::u16string& ids,
                          cedb::FileTime start, const std::u16string& content) {
        RecordImage image{};
        image.kind = kind;
        image.id = image.key = 9001;
        setText(image.participantIds, ids);
        setText(image.participantNames, u"누구");
        image.start = image.end = start;
        setText(image.place, u"100;0;0;");
        setText(image.content, content);
        cedb::Record props;
        for (uint32_t prop : RecordProperties)
            if (prop != missing) props.push_back(*propertyOf(image, prop));
        cedb::Database db;
        ASSERT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
        ASSERT_NE(db.addRecord(props), 0u);
    }
    ItemRows agenda(int y, int m, int d) {
        ItemRows rows = appointments::buildAgenda(store, {y, m, d});
        return rows;
    }
    QStringList seconds(const ItemRows& rows) {
        QStringList out;
        for (const auto& r : rows) out << r.second;
        return out;
    }
};

TEST_F(RowsTest, APersonsHistoryHoldsTheAppointmentsTheyTakePartInOldestFirst) {
    const auto at = [](int y, int m, int d) { return fileTime(y, m, d, 9); };
    const int late = addAppointment(u"31;11;#;", u"", at(2003, 1, 5), at(2003, 1, 5), u"나중");
    addAppointment(u"111;#;", u"", at(2002, 1, 1), at(2002, 1, 1), u"111만");
    addAppointment(u"1;#;", u"", at(2002, 1, 1), at(2002, 1, 1), u"1만");
    const int early = addAppointment(u"11;#;", u"", at(2002, 6, 9), at(2002, 6, 9), u"먼저");
    const int none = addAppointment(u"#;", u"", at(2002, 2, 2), at(2002, 2, 2), u"아무도");
    addAnniversary(111, u"다른", fileTime(2000, 1, 1), u"100;0;0;", u"생일");

    auto h = appointments::buildHistory(store, 11, appointments::HistoryAppointments);
    EXPECT_EQ(h.rows, (ItemRows{{"2002/06/09", "먼저", QString::number(early)},
                                {"2003/01/05", "나중", QString::number(late)}}));
    EXPECT_FALSE(h.hasAnniversaries);
    EXPECT_TRUE(
        appointments::buildHistory(store, 11, appointments::HistoryAnniversaries).rows.empty());

    h = appointments::buildHistory(store, NoNameId, appointments::HistoryAppointments);
    EXPECT_EQ(h.rows, (ItemRows{{"2002/02/02", "아무도", QString::number(none)}}));
    EXPECT_TRUE(appointments::buildHistory(store, NoNameId, appointments::HistoryAnniversaries)
                    .rows.empty());
    EXPECT_TRUE(appointments::buildHistory(store, groupRowId(0), appointments::HistoryAppointments)
                    .rows.empty());
    EXPECT_TRUE(
        appointments::buildHistory(store, 0, appointments::HistoryAppointments).rows.empty());

    EXPECT_TRUE(takesPart(u"31;11;#;", 31));
    EXPECT_FALSE(takesPart(u"31;#;11;", 11));
    EXPECT_FALSE(takesPart(u"x;#;", 0));
}

TEST_F(RowsTest, TheHistoryAndTheAnniversaryEditorFindTheSameRecordsOfAPerson) {
    // Identifiers as a hand-edited or older record may hold them: each names person 11 for
    // every reader, or for none.
    const auto at = fileTime(2002, 6, 9, 9);
    for (const char16_t* ids : {u"11", u" 11", u"11;", u"111", u"x"}) {
        RecordImage image{};
        image.kind = AnniversaryKind;
        setText(image.participantIds, ids);
        setText(image.participantNames, u"김");
        image.start = fileTime(1990, 12, 10);
        setText(image.place, u"100;0;0;");
        setText(image.content, qtext(ids).toStdU16String());
        ASSERT_TRUE(store.AddRecord(image));
    }
    addAppointment(u" 11;#;", u"김;", at, at, u"공백");
    addAppointment(u"11", u"김;", at, at, u"끝 없음");

    const auto history = appointments::buildHistory(store, 11, appointments::HistoryAnniversaries);
    QStringList inHistory;
    for (const ItemRow& row : history.rows) inHistory << row.second;
    EXPECT_EQ(inHistory, (QStringList{"11", " 11", "11;"}));
    EXPECT_EQ(
        seconds(appointments::buildHistory(store, 11, appointments::HistoryAppointments).rows),
        (QStringList{"공백", "끝 없음"}));

    QStringList inEditor;
    modals.expect<people::CAnniversaryDlg>([&](people::CAnniversaryDlg& d) {
        for (int n = 1; n <= people::CAnniversaryDlg::SlotCount; ++n)
            if (d.slot(n).loaded) inEditor << d.slot(n).content;
        messages.expectContaining(QStringLiteral("정말 닫으시겠습니까?"), shell::IDYES);
        d.OnCancel();
    });
    people::RunAnniversaryDlg(view, view.viewWidget(), QStringLiteral("김"), 11, 0,
                              people::AnniversaryManageMode);
    EXPECT_EQ(inEditor, inHistory);
}

TEST_F(RowsTest, TheInspectionToolPrintsEveryHistoryRowOnItsOwnLine) {
    const auto at = [](int d) { return fileTime(2002, 6, d, 9); };
    for (int d = 1; d <= 7; ++d) addAppointment(u"11;#;", u"", at(8 - d), at(8 - d), u"만남");
    const int odd = addAppointment(u"11;#;", u"", at(20), at(20), u"두 줄\n내용\t끝");
    const int ann = addAnniversary(11, u"김", fileTime(1970, 3, 4), u"100;0;0;", u"생일");
    const auto run = [](std::vector<std::string> args, int* code) {
        std::ostringstream out, err;
        *code = inspect::run(args, out, err);
        return out.str();
    };
    int code = -1;
    std::string text = run({"history", "11"}, &code);
    EXPECT_EQ(code, 0);
    // The rows the history pane pages through, in its order, escapes aside.
    std::string expected;
    const auto h = appointments::buildHistory(store, 11, appointments::HistoryAppointments);
    ASSERT_EQ(h.rows.size(), 8u);
    for (const auto& r : h.rows) {
        expected += (r.first + u'\t' + r.second + u'\t' + r.id).toStdString() + "\n";
    }
    // A tab or line break inside a column is printed as a blank, so each row stays one line.
    EXPECT_EQ(text.substr(0, text.find("2002/06/20")),
              expected.substr(0, expected.find("2002/06/20")));
    EXPECT_NE(text.find("2002/06/20\t두 줄 내용 끝\t" + std::to_string(odd) + "\n"),
              std::string::npos);
    EXPECT_EQ(run({"history", "11", "--anniversaries"}, &code),
              "기념일:1970/03/04\t생일\t" + std::to_string(-ann) + "\n");
    EXPECT_EQ(run({"history", "-5"}, &code), "");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(run({"history", "11x"}, &code), "");
    EXPECT_EQ(code, 2);
}

TEST_F(RowsTest, AnniversariesEnableTheButtonInBothModesAndListInTheirOwn) {
    const int a = addAnniversary(21, u"김", fileTime(1970, 3, 4), u"100;0;5;", u"생일");
    addAnniversary(211, u"남", fileTime(1970, 3, 4), u"100;0;5;", u"생일");
    auto h = appointments::buildHistory(store, 21, appointments::HistoryAppointments);
    EXPECT_TRUE(h.rows.empty());
    EXPECT_TRUE(h.hasAnniversaries);
    h = appointments::buildHistory(store, 21, appointments::HistoryAnniversaries);
    EXPECT_TRUE(h.hasAnniversaries);
    EXPECT_EQ(h.rows, (ItemRows{{"기념일:1970/03/04", "생일", QString::number(-a)}}));
}

TEST_F(RowsTest, RecordsLackingAPropertyAreSkippedAndTheOthersShown) {
    addRecordLacking(AppointmentKind, PropContent, u"11;#;", fileTime(2002, 6, 9, 9), u"내용없음");
    addRecordLacking(AppointmentKind, PropStart, u"11;#;", fileTime(2002, 6, 9, 9), u"날짜없음");
    addRecordLacking(AnniversaryKind, PropParticipantNames, u"11", fileTime(2000, 6, 9),
                     u"이름없음");
    addRecordLacking(AnniversaryKind, PropPlace, u"11", fileTime(2000, 6, 9), u"규칙없음");
    addAppointment(u"11;#;", u"", fileTime(2002, 6, 9, 9), fileTime(2002, 6, 9, 10), u"멀쩡");
    addAnniversary(11, u"김", fileTime(2000, 6, 9), u"100;0;0;", u"생일");
    auto h = appointments::buildHistory(store, 11, appointments::HistoryAppointments);
    ASSERT_EQ(h.rows.size(), 1u);
    EXPECT_EQ(h.rows[0].second, QStringLiteral("멀쩡"));
    EXPECT_EQ(seconds(agenda(2002, 6, 9)), QStringList({"멀쩡", "김님의 생일입니다."}));
}

TEST_F(RowsTest, TheAgendaListsTodaysAppointmentsWithTheirTimeOrNone) {
    const int a =
        addAppointment(u"#;", u"", fileTime(2002, 6, 9, 14, 5), fileTime(2002, 6, 9, 15), u"오후");
    const int b = addAppointment(u"#;", u"", fileTime(2002, 6, 9, 10, 12), fileTime(2002, 6, 9, 11),
                                 u"열시 십이분");
    const int c = addAppointment(u"#;", u"", fileTime(2002, 6, 9, 0, 12),
                                 fileTime(2002, 6, 9, 0, 12), u"시간 없음");
    addAppointment(u"#;", u"", fileTime(2002, 6, 10, 9), fileTime(2002, 6, 10, 10), u"내일");
    EXPECT_EQ(agenda(2002, 6, 9), (ItemRows{{"14:05", "오후", QString::number(a)},
                                            // Really at 10:12: it keeps its time.
                                            {"10:12", "열시 십이분", QString::number(b)},
                                            {"<NONE>", "시간 없음", QString::number(c)}}));
    EXPECT_TRUE(agenda(2002, 6, 8).empty());
    EXPECT_EQ(appointments::agendaTitle({2002, 6, 9}), QStringLiteral("2002년 06월 09일 약속"));
    EXPECT_EQ(appointments::agendaTitle({2002, 12, 25}), QStringLiteral("2002년 12월 25일 약속"));
}

TEST_F(RowsTest, EveryRepeatCodeIsAnnouncedOnItsDayAndWithinItsLead) {
    struct Case {
        const char16_t* rule;
        cedb::FileTime date;
        repeat::Date today;
        QString expected;  // empty: no row
    };
    const std::vector<Case> cases = {
        // Once: on its day, within the lead, not with lead 0 before, not after.
        {u"50;0;0;", fileTime(2002, 6, 9), {2002, 6, 9}, "김님의 일입니다."},
        {u"50;0;0;", fileTime(2002, 6, 9), {2002, 6, 8}, ""},
        {u"50;0;5;", fileTime(2002, 6, 9), {2002, 6, 4}, "5일 후 - 김님의 일입니다."},
        {u"50;0;5;", fileTime(2002, 6, 9), {2002, 6, 3}, ""},
        {u"50;0;5;", fileTime(2002, 6, 9), {2002, 6, 10}, ""},
        // Every year: three days ahead with lead 5; across the year end; 29 February.
        {u"100;0;5;", fileTime(1970, 6, 12), {2002, 6, 9}, "3일 후 - 김님의 일입니다."},
        {u"100;0;0;", fileTime(1970, 6, 12), {2002, 6, 12}, "김님의 일입니다."},
        {u"100;0;0;", fileTime(1970, 6, 12), {2002, 6, 11}, ""},
        {u"100;0;5;", fileTime(1970, 1, 2), {2002, 12, 30}, "3일 후 - 김님의 일입니다."},
        {u"100;0;5;", fileTime(1970, 1, 2), {2002, 12, 27}, ""},
        {u"100;0;0;", fileTime(2000, 2, 29), {2003, 3, 1}, ""},
        {u"100;0;0;", fileTime(2000, 2, 29), {2003, 2, 28}, ""},
        {u"100;0;0;", fileTime(2000, 2, 29), {2004, 2, 29}, "김님의 일입니다."},
        // Every month: the next month across a month end and a year end; the 31st.
        {u"200;0;0;", fileTime(2002, 1, 15), {2002, 7, 15}, "김님의 일입니다."},
        {u"200;0;3;", fileTime(2002, 1, 2), {2002, 12, 30}, "3일 후 - 김님의 일입니다."},
        {u"200;0;3;", fileTime(2002, 1, 1), {2002, 6, 29}, "2일 후 - 김님의 일입니다."},
        {u"200;0;0;", fileTime(2002, 1, 31), {2002, 6, 30}, ""},
        {u"200;0;0;", fileTime(2002, 1, 31), {2002, 7, 1}, ""},
        {u"200;0;2;", fileTime(2002, 1, 31), {2002, 6, 30}, ""},
        // Every N days: its own date, a repetition today with and without a lead, ahead.
        {u"300;10;0;", fileTime(2002, 6, 1), {2002, 6, 1}, "김님의 일입니다."},
        {u"300;10;0;", fileTime(2002, 6, 1), {2002, 6, 21}, "김님의 일(으)로부터 20일째입니다."},
        {u"300;10;2;", fileTime(2002, 6, 1), {2002, 6, 21}, "김님의 일(으)로부터 20일째입니다."},
        {u"300;10;2;",
         fileTime(2002, 6, 1),
         {2002, 6, 19},
         "2일 후 - 김님의 일(으)로부터 20일째입니다."},
        {u"300;10;1;", fileTime(2002, 6, 1), {2002, 6, 19}, ""},
        {u"300;0;5;", fileTime(2002, 6, 1), {2002, 6, 2}, ""},
        {u"300;0;5;", fileTime(2002, 6, 1), {2002, 5, 30}, "2일 후 - 김님의 일입니다."},
        {u"300;10;0;", fileTime(2002, 6, 1), {2002, 5, 22}, ""},
        // Other codes: nothing.
        {u"400;0;5;", fileTime(2002, 6, 1), {2002, 6, 1}, ""},
    };
    for (const Case& c : cases) {
        const int id = addAnniversary(11, u"김", c.date, c.rule, u"일");
        const ItemRows rows = agenda(c.today.year, c.today.month, c.today.day);
        SCOPED_TRACE(QStringLiteral("%1 on %2-%3-%4")
                         .arg(QString::fromUtf16(c.rule))
                         .arg(c.today.year)
                         .arg(c.today.month)
                         .arg(c.today.day)
                         .toStdString());
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(rows.empty());
        } else {
            EXPECT_EQ(rows, (ItemRows{{"기념일", c.expected, QString::number(-id)}}));
        }
        RecordImage gone{};
        gone.kind = AnniversaryKind;
        gone.key = id;
        ASSERT_TRUE(store.DeleteRecord(gone));
    }
}

TEST(MeetingRowsText, DatesHaveTwoDigitMonthsAndDaysAndTheYearAsItIs) {
    EXPECT_EQ(appointments::dateText(2002, 6, 9), QStringLiteral("2002/06/09"));
    EXPECT_EQ(appointments::dateText(1601, 12, 31), QStringLiteral("1601/12/31"));
    EXPECT_EQ(appointments::dateText(30827, 10, 1), QStringLiteral("30827/10/01"));
    EXPECT_EQ(appointments::twoDigits(0), QStringLiteral("00"));
    EXPECT_EQ(appointments::twoDigits(99), QStringLiteral("99"));
    EXPECT_EQ(appointments::twoDigits(100), QStringLiteral("100"));
    EXPECT_EQ(appointments::twoDigits(-5), QStringLiteral("0-5"));
}

TEST_F(RowsTest, AnniversaryTextsForEachCombinationOfElapsedAndAhead) {
    EXPECT_EQ(appointments::anniversaryText("김", "생일", 0, 0),
              QStringLiteral("김님의 생일입니다."));
    EXPECT_EQ(appointments::anniversaryText("김", "생일", 0, 3),
              QStringLiteral("3일 후 - 김님의 생일입니다."));
    EXPECT_EQ(appointments::anniversaryText("김", "금연", 100, 0),
              QStringLiteral("김님의 금연(으)로부터 100일째입니다."));
    EXPECT_EQ(appointments::anniversaryText("김", "금연", 100, 2),
              QStringLiteral("2일 후 - 김님의 금연(으)로부터 100일째입니다."));
}

}  // namespace
