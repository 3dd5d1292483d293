// The day's result computed from records written by the program's record operations (and, where
// a record differs from what the program writes, straight through cedb).
#include <gtest/gtest.h>

#include "cedb/faults.h"
#include "today/today_compute.h"
#include "today_fixture.h"

using today::computeToday;
using today::TodayResult;

namespace {

std::u16string line(std::u16string_view name, std::u16string_view text) {
    return today::anniversaryLine(name, text);
}

cedb::Database openMain() {
    cedb::Database db;
    EXPECT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
    return db;
}

cedb::PropVal kindProp(uint32_t kind) {
    return cedb::PropVal::ui2(cedb::propNumber(PropKind), uint16_t(kind));
}

cedb::PropVal startProp(const clk::SystemTime& day) {
    return cedb::PropVal::filetime(cedb::propNumber(PropStart), *clk::toFileTime(day));
}

cedb::PropVal textProp(uint32_t propId, std::u16string text) {
    return cedb::PropVal::string(cedb::propNumber(propId), std::move(text));
}

}  // namespace

TEST_F(TodayTest, NothingFallsOnTodayGivesZero) {
    // An empty database is a day without appointments, not a failure to read.
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{0, {}}));
    addPerson(u"홍길동");
    addAppointment(dayFromToday(1));
    addAppointment(dayFromToday(-1));
    addAnniversary(u"홍길동", u"생일", date(1990, 3, 15), int(RepeatRule::EveryYear));
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{0, {}}));
}

TEST_F(TodayTest, CountsTodaysAppointmentsAndListsTodaysAnniversary) {
    addPerson(u"홍길동");
    addAppointment(kToday);
    addAppointment(date(2025, 3, 14));  // today's month and day, another year
    addAnniversary(u"홍길동", u"생일", date(1990, 3, 14), int(RepeatRule::EveryYear));
    addAppointment(dayFromToday(1));
    addAppointment(kToday);
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{2, {u"기념일 : 홍길동님의 생일"}}));
}

TEST_F(TodayTest, EachRepeatRuleFallsOnItsOwnDays) {
    const int none = int(RepeatRule::None), year = int(RepeatRule::EveryYear),
              month = int(RepeatRule::EveryMonth), days = int(RepeatRule::EveryNDays);
    addAnniversary(u"A", u"7일 간격", dayFromToday(-7 * 12), days, 7);  // from last year
    addAnniversary(u"B", u"7일 간격", dayFromToday(-3), days, 7);
    addAnniversary(u"C", u"7일 간격", dayFromToday(7), days, 7);  // not begun yet
    addAnniversary(u"D", u"매월", date(2019, 7, 14), month);
    addAnniversary(u"E", u"매월", date(2026, 3, 15), month);
    addAnniversary(u"F", u"매년", date(2030, 3, 14), year);  // not begun yet either
    addAnniversary(u"F2", u"매년", date(2020, 3, 14), year);
    addAnniversary(u"G", u"매년", date(2025, 4, 14), year);
    addAnniversary(u"H", u"한 번", kToday, none);
    addAnniversary(u"I", u"한 번", date(2025, 3, 14), none);
    addAnniversary(u"J", u"알 수 없는 규칙", kToday, 999);
    addAnniversary(u"K", u"하루 간격", date(1601, 1, 2), days, 1);
    // Today, 2026-03-14, is lunar 1/26: so was 2000-03-01, but 2020-03-14 was in the 2nd month.
    const int lunarYear = int(RepeatRule::EveryLunarYear);
    addAnniversary(u"L", u"음력", date(2000, 3, 1), lunarYear);
    addAnniversary(u"M", u"음력", date(2020, 3, 14), lunarYear);
    EXPECT_EQ(computeToday(clk::localTime()).lines,
              (std::vector<std::u16string>{line(u"A", u"7일 간격"), line(u"D", u"매월"),
                                           line(u"F2", u"매년"), line(u"H", u"한 번"),
                                           line(u"K", u"하루 간격"), line(u"L", u"음력")}));
}

TEST_F(TodayTest, IntervalBelowOneFallsOnlyOnItsOwnDate) {
    const int days = int(RepeatRule::EveryNDays);
    addAnniversary(u"A", u"0일", dayFromToday(-5), days, 0);
    addAnniversary(u"B", u"-7일", dayFromToday(-7), days, -7);
    addAnniversary(u"C", u"0일", kToday, days, 0);
    EXPECT_EQ(computeToday(clk::localTime()).lines, (std::vector<std::u16string>{line(u"C", u"0일")}));
}

TEST_F(TodayTest, ListsOnlyTheFirstTenAnniversaries) {
    for (int i = 1; i <= 12; ++i) {
        const std::string name = "P" + std::to_string(i);
        addAnniversary(std::u16string(name.begin(), name.end()), u"생일", kToday,
                       int(RepeatRule::EveryYear));
    }
    addAppointment(kToday);
    const TodayResult result = computeToday(clk::localTime());
    EXPECT_EQ(result.result, 1);
    ASSERT_EQ(result.lines.size(), today::MaxAnniversaryLines);
    EXPECT_EQ(result.lines.front(), line(u"P1", u"생일"));
    EXPECT_EQ(result.lines.back(), line(u"P10", u"생일"));
}

TEST_F(TodayTest, KindIsReadWhereverItStandsInTheRecord) {
    // As the handheld sync provider writes them: the kind last.
    cedb::Database db = openMain();
    ASSERT_NE(db.addRecord({startProp(kToday), kindProp(AppointmentKind)}), 0u);
    ASSERT_NE(db.addRecord({startProp(kToday), textProp(PropPlace, u"100;0;3;"),
                            textProp(PropParticipantNames, u"김철수"),
                            textProp(PropContent, u"결혼기념일"), kindProp(AnniversaryKind)}),
              0u);
    addAppointment(kToday);
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{2, {line(u"김철수", u"결혼기념일")}}));
}

TEST_F(TodayTest, RecordLackingAPropertyDoesNotStopTheCount) {
    addAppointment(kToday);
    addAnniversary(u"A", u"생일", kToday, int(RepeatRule::EveryYear));
    cedb::Database db = openMain();
    ASSERT_NE(db.addRecord({kindProp(AppointmentKind)}), 0u);  // no date
    ASSERT_NE(db.addRecord({startProp(kToday)}), 0u);          // no kind
    // No date: today's anniversary read just before must not lend it one.
    ASSERT_NE(db.addRecord({kindProp(AnniversaryKind), textProp(PropPlace, u"100;0;3;"),
                            textProp(PropParticipantNames, u"B"), textProp(PropContent, u"생일")}),
              0u);
    ASSERT_NE(db.addRecord({}), 0u);  // nothing at all
    // A zero time is an empty field; daily from 1601 it would fall on every day.
    ASSERT_NE(db.addRecord({kindProp(AnniversaryKind),
                            cedb::PropVal::filetime(cedb::propNumber(PropStart), {}),
                            textProp(PropPlace, u"300;1;0;"), textProp(PropParticipantNames, u"D"),
                            textProp(PropContent, u"생일")}),
              0u);
    addAppointment(kToday);
    addAnniversary(u"C", u"생일", kToday, int(RepeatRule::EveryYear));
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{2, {line(u"A", u"생일"), line(u"C", u"생일")}}));
}

TEST_F(TodayTest, MissingOrUnopenableDatabaseGivesDatabaseFailure) {
    store.CloseDatabase(MainHandle);
    const cedb::VolumeId volume = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(volume, cedb::findDatabase(volume, u"Quorin Database")));
    EXPECT_EQ(computeToday(clk::localTime()).result, today::DatabaseOpenFailed);

    // The name alone is not enough: it must be a database of the main type.
    const cedb::Oid wrongType = cedb::createDatabase(volume, u"Quorin Database", 99, {});
    ASSERT_NE(wrongType, 0u);
    ASSERT_NE(cedb::createDatabase(volume, u"Other", MainDatabaseType, {}), 0u);
    EXPECT_EQ(computeToday(clk::localTime()).result, today::DatabaseOpenFailed);

    ASSERT_TRUE(cedb::deleteDatabase(volume, wrongType));
    ASSERT_NE(cedb::createDatabase(volume, u"Quorin Database", MainDatabaseType, {}), 0u);
    cedb::faults::arm({cedb::faults::Op::OpenDatabase, u"Quorin Database", cedb::Error::Busy});
    EXPECT_EQ(computeToday(clk::localTime()).result, today::DatabaseOpenFailed);
    EXPECT_EQ(computeToday(clk::localTime()).result, 0);
}

TEST_F(TodayTest, UnreadableFirstRecordGivesRecordFailure) {
    addAppointment(kToday);
    addAppointment(kToday);
    addAppointment(kToday);
    using cedb::faults::Op;
    cedb::faults::arm({Op::Seek, u"", cedb::Error::Busy});
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{today::RecordOpenFailed, {}}));
    cedb::faults::arm({Op::Read, u"", cedb::Error::Corrupt});
    EXPECT_EQ(computeToday(clk::localTime()), (TodayResult{today::RecordOpenFailed, {}}));
    // Past the first record, one that cannot be read is passed over.
    cedb::faults::arm({Op::Read, u"", cedb::Error::Corrupt, 1});
    EXPECT_EQ(computeToday(clk::localTime()).result, 2);
    // A cursor that cannot move on ends the walk with what was counted.
    cedb::faults::arm({Op::Seek, u"", cedb::Error::Busy, 1});
    EXPECT_EQ(computeToday(clk::localTime()).result, 1);
}

TEST(RepeatRuleText, ReadsCodeAndIntervalLikeAtoi) {
    const auto fields = [](std::u16string_view rule) {
        const today::RepeatRuleFields f = today::parseRepeatRule(rule);
        return std::pair{f.code, f.interval};
    };
    EXPECT_EQ(fields(u" 200 ; -3;x;"), std::pair(200, -3));
    EXPECT_EQ(fields(u"300"), std::pair(300, 0));
    EXPECT_EQ(fields(u"abc;99999999999;"), std::pair(0, INT_MAX));
}

TEST(AnniversaryLine, IsCutTo199Units) {
    const std::u16string name(19, u'이');
    const std::u16string text(299, u'가');
    const std::u16string cut = today::anniversaryLine(name, text);
    EXPECT_EQ(cut.size(), 199u);
    EXPECT_EQ(cut.substr(0, 6 + 19 + 3), u"기념일 : " + name + u"님의 ");
}
