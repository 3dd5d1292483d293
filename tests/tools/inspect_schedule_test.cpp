// quorin-inspect day and marks: what the day dialog lists and the calendar marks, as lines of
// tab-separated data on standard output.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "clock/clock.h"
#include "device_root.h"
#include "fs/devfs.h"
#include "inspect/inspect.h"
#include "store/record_store.h"
#include "store/repeat_rule.h"
#include "strings/string_table.h"

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result inspectRun(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = inspect::run(args, out, err);
    return {code, out.str(), err.str()};
}

class InspectScheduleTest : public testsupport::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    }
    int add(uint32_t kind, int y, int m, int d, int hour, int minute, std::u16string_view place,
            std::u16string_view content) {
        RecordImage r{};
        r.kind = kind;
        setText(r.participantNames, u"홍길동");
        clk::SystemTime t;
        t.year = y, t.month = m, t.day = d, t.hour = hour, t.minute = minute;
        r.start = *clk::toFileTime(t);
        setText(r.place, place);
        setText(r.content, content);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    CRecordStore store;
};

TEST_F(InspectScheduleTest, DayPrintsTheRowsInTheListsOrder) {
    add(AppointmentKind, 2005, 3, 1, 14, 5, u"", u"오후\r\n회의");
    add(AppointmentKind, 2005, 3, 1, 0, 12, u"", u"미정");
    add(AnniversaryKind, 2005, 2, 19, 0, 0, u"300;10;0;", u"시작");
    add(AppointmentKind, 2005, 3, 2, 9, 0, u"", u"다음 날");
    const Result r = inspectRun({"day", "2005-03-01"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "기념일\t홍길동님의 시작(으)로부터 10일이 지났습니다.\t-31\n"
              "14:05\t오후  회의\t11\n"
              "<NONE>\t미정\t21\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(inspectRun({"day", "2005-03-05"}).out, "");
    EXPECT_EQ(inspectRun({"day", "2005-02-30"}).code, 2);
    EXPECT_EQ(inspectRun({"day", "2005-3-1x"}).code, 2);
}

TEST_F(InspectScheduleTest, MarksPrintsEveryDayOfTheMonth) {
    add(AppointmentKind, 2004, 2, 10, 10, 0, u"", u"회의");
    add(AnniversaryKind, 2000, 2, 29, 0, 0, u"100;0;0;", u"윤일");
    add(AnniversaryKind, 2004, 2, 1, 0, 0, u"300;9;0;", u"아흐레");
    const Result r = inspectRun({"marks", "2004-02"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string expected;
    for (int d = 1; d <= 29; ++d) {
        // The appointment on the 10th; the leap day; every nine days from the 1st (10 too).
        const int mark = d == 10 ? 3 : (d == 29 || d % 9 == 1) ? 2 : -1;
        expected += std::to_string(d) + "\t" + std::to_string(mark) + "\n";
    }
    EXPECT_EQ(r.out, expected);
    // A common year: no 29th, and the leap-day anniversary marks nothing.
    const Result common = inspectRun({"marks", "2005-02"});
    EXPECT_EQ(common.out.find("29\t"), std::string::npos);
    EXPECT_EQ(inspectRun({"marks", "2005-13"}).code, 2);
}

TEST_F(InspectScheduleTest, ALunarBirthdayIsListedOnItsSolarDayEveryYear) {
    // Born 1990-04-10, lunar 3/15: in 2026 that is 1 May, announced three days ahead.
    const std::string id =
        std::to_string(-add(AnniversaryKind, 1990, 4, 10, 0, 0, u"110;0;3;", u"생신"));
    EXPECT_EQ(inspectRun({"day", "2026-05-01"}).out,
              "기념일\t홍길동님의 생신입니다.\t" + id + "\n");
    EXPECT_EQ(inspectRun({"day", "2026-04-10"}).out, "");
    EXPECT_EQ(inspectRun({"marks", "2026-05"}).out.substr(0, 9), "1\t2\n2\t-1\n");
    const std::string agenda = inspectRun({"agenda", "2026-04-28"}).out;
    EXPECT_EQ(agenda.substr(agenda.find('\n') + 1),
              "기념일\t3일 후 - 홍길동님의 생신입니다.\t" + id + "\n");
}

TEST_F(InspectScheduleTest, HolidaysPrintsTheYearWithTheDevicesOneTimeDays) {
    std::ofstream(devfs::deviceRoot() / "Holidays.txt")
        << "# 선거\n2026-06-03 전국동시지방선거\n2026-06-31 없는 날\n";
    const Result r = inspectRun({"holidays", "2026"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "Holidays.txt: 1 line skipped\n");
    EXPECT_NE(r.out.find("2026-05-24\t부처님오신날\n2026-05-25\t대체공휴일\n"
                         "2026-06-03\t전국동시지방선거\n2026-06-06\t현충일\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "2026-01-01\t신정\n");
    EXPECT_EQ(inspectRun({"holidays", "26"}).code, 2);
    EXPECT_EQ(inspectRun({"holidays", "2026", "x"}).code, 2);
}

TEST_F(InspectScheduleTest, ADamagedRecordIsLeftOutAndSaidWithANonZeroExit) {
    add(AppointmentKind, 2005, 3, 1, 9, 0, u"", u"앞");
    const int broken = add(AppointmentKind, 2005, 3, 1, 10, 0, u"", u"망가짐");
    add(AppointmentKind, 2005, 3, 1, 11, 0, u"", u"뒤");
    ASSERT_TRUE(testsupport::damageRecord(broken));
    const Result r = inspectRun({"day", "2005-03-01"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "09:00\t앞\t11\n11:00\t뒤\t31\n");
    EXPECT_NE(r.err.find("1 record of \"Quorin Database\" could not be read"), std::string::npos)
        << r.err;
    EXPECT_EQ(inspectRun({"marks", "2005-03"}).code, 1);
}

}  // namespace
