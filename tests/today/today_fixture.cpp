#include "today_fixture.h"

#include <string>

#include "strings/string_table.h"

clk::SystemTime dayFromToday(int days) {
    return clk::fromDayNumber(clk::dayNumber(kToday.year, kToday.month, kToday.day) + days);
}

clk::SystemTime date(int year, int month, int day) {
    return clk::SystemTime{year, month, 0, day};
}

void TodayTest::SetUp() {
    ASSERT_TRUE(store.CreateDatabases());
    ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    ASSERT_TRUE(clk::setDeviceTime(kToday));
    clk::freeze(true);
}

void TodayTest::addPerson(std::u16string_view name) {
    RecordImage r;
    setText(r.name, name);
    ASSERT_TRUE(store.AddPerson(r));
}

void TodayTest::addAppointment(const clk::SystemTime& day) {
    RecordImage r;
    clk::SystemTime start = day;
    start.hour = 9;
    clk::SystemTime end = start;
    end.hour = 10;
    setText(r.participantIds, u"11;#;");
    setText(r.participantNames, u"홍길동;");
    r.start = *clk::toFileTime(start);
    r.end = *clk::toFileTime(end);
    setText(r.place, u"회의실");
    setText(r.content, u"주간 회의");
    ASSERT_TRUE(store.AddAppointment(r));
}

void TodayTest::addAnniversary(std::u16string_view name, std::u16string_view text,
                               const clk::SystemTime& day, int code, int interval) {
    RecordImage r;
    r.kind = AnniversaryKind;
    setText(r.participantIds, u"11");
    setText(r.participantNames, name);
    r.start = *clk::toFileTime(date(day.year, day.month, day.day));
    const std::string rule = std::to_string(code) + ";" + std::to_string(interval) + ";" + "3;";
    setText(r.place, std::u16string(rule.begin(), rule.end()));
    setText(r.content, text);
    ASSERT_TRUE(store.AddRecord(r));
}
