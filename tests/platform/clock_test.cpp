#include "clock/clock.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "device_root.h"

namespace {

using clk::SystemTime;

SystemTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SystemTime t;
    t.year = y, t.month = mo, t.day = d, t.hour = h, t.minute = mi, t.second = s;
    t.millisecond = ms;
    return t;
}

int64_t msOf(const SystemTime& t) {
    return int64_t(clk::toFileTime(t)->value() / 10'000);
}

// Started again as a helper process (QUORIN_CLOCK_CHILD set): print the clock as a fresh process
// sees it and exit before any test runs.
[[maybe_unused]] const bool clockChild = [] {
    if (!std::getenv("QUORIN_CLOCK_CHILD")) return false;
    SystemTime t = clk::localTime();
    std::printf("%04d-%02d-%02d %02d:%02d\n", t.year, t.month, t.day, t.hour, t.minute);
    std::fflush(stdout);
    _exit(0);
}();

std::string runClockChild(const std::string& setting) {
    return testsupport::runSelf("QUORIN_CLOCK_CHILD=1 QUORIN_CLOCK='" + setting + "'", true);
}

TEST(FileTime, KnownInstantsConvertFieldForField) {
    EXPECT_EQ(clk::toFileTime(at(1601, 1, 1))->value(), 0u);
    EXPECT_EQ(clk::toFileTime(at(1970, 1, 1))->value(), 116'444'736'000'000'000u);

    SystemTime t = at(2026, 12, 8, 9, 20, 15, 123);
    auto ft = clk::toFileTime(t);
    ASSERT_TRUE(ft);
    EXPECT_EQ(ft->value(), 134'411'952'151'230'000u);
    t.dayOfWeek = 2;  // Tuesday
    EXPECT_EQ(clk::fromFileTime(*ft), t);

    SystemTime before1970 = at(1969, 7, 20, 20, 17, 40);
    before1970.dayOfWeek = 0;  // Sunday
    EXPECT_EQ(clk::toFileTime(before1970)->value(), 116'302'906'600'000'000u);
    EXPECT_EQ(clk::fromFileTime(*clk::toFileTime(before1970)), before1970);

    // The part below a millisecond is dropped, never rounded into the next one.
    auto later = cedb::FileTime::fromValue(ft->value() + 9'999);
    EXPECT_EQ(clk::fromFileTime(later)->millisecond, 123);
}

TEST(FileTime, InvalidFieldsAndValuesAreRejected) {
    for (const SystemTime& bad :
         {at(2026, 2, 29), at(1900, 2, 29), at(2026, 4, 31), at(2026, 13, 1), at(2026, 0, 1),
          at(1600, 12, 31), at(30828, 1, 1), at(2026, 1, 1, 24), at(2026, 1, 1, 0, 60),
          at(2026, 1, 1, 0, 0, 60), at(2026, 1, 1, 0, 0, 0, 1000), at(2026, 1, 1, -1)}) {
        EXPECT_FALSE(clk::toFileTime(bad)) << bad.year << "-" << bad.month << "-" << bad.day;
    }
    EXPECT_TRUE(clk::toFileTime(at(2024, 2, 29)));
    EXPECT_TRUE(clk::toFileTime(at(2000, 2, 29)));

    auto last = clk::toFileTime(at(30827, 12, 31, 23, 59, 59, 999));
    ASSERT_TRUE(last);
    EXPECT_EQ(clk::fromFileTime(*last)->year, 30827);
    EXPECT_FALSE(clk::fromFileTime(cedb::FileTime::fromValue(last->value() + 10'000)));
    EXPECT_FALSE(clk::fromFileTime(cedb::FileTime::fromValue(~0ull)));
}

TEST(Calendar, DayNumbersAreConsecutiveAndRoundTrip) {
    SystemTime prev = clk::fromDayNumber(0);
    EXPECT_EQ(prev, ([] {
                  SystemTime t = at(1601, 1, 1);
                  t.dayOfWeek = 1;
                  return t;
              }()));
    const int64_t end = clk::dayNumber(2401, 1, 1);
    for (int64_t n = 1; n < end; ++n) {
        SystemTime t = clk::fromDayNumber(n);
        ASSERT_TRUE(clk::isValidDate(t.year, t.month, t.day)) << n;
        ASSERT_EQ(clk::dayNumber(t.year, t.month, t.day), n);
        ASSERT_EQ(t.dayOfWeek, (prev.dayOfWeek + 1) % 7);
        bool nextDay = t.day == prev.day + 1 && t.month == prev.month && t.year == prev.year;
        bool nextMonth = t.day == 1 && prev.day == clk::daysInMonth(prev.year, prev.month);
        ASSERT_TRUE(nextDay || nextMonth) << n;
        prev = t;
    }
    EXPECT_EQ(prev.year, 2400);
}

TEST(Calendar, OutOfRangeFieldsCarryOver) {
    EXPECT_EQ(clk::dayNumber(2026, 13, 1), clk::dayNumber(2027, 1, 1));
    EXPECT_EQ(clk::dayNumber(2026, 0, 1), clk::dayNumber(2025, 12, 1));
    EXPECT_EQ(clk::dayNumber(2026, 1, 32), clk::dayNumber(2026, 2, 1));
    EXPECT_EQ(clk::dayNumber(2026, 3, 0), clk::dayNumber(2026, 2, 28));
    EXPECT_EQ(clk::dayNumber(2024, 3, 0), clk::dayNumber(2024, 2, 29));
    EXPECT_EQ(clk::daysInMonth(1900, 2), 28);
    EXPECT_EQ(clk::daysInMonth(2000, 2), 29);
    EXPECT_EQ(clk::daysInMonth(2026, 13), 0);
    EXPECT_FALSE(clk::isValidDate(2026, 2, 29));
    EXPECT_FALSE(clk::isValidDate(2026, 1, 0));
}

class DeviceClockTest : public testsupport::DeviceTest {};

TEST_F(DeviceClockTest, SetClockRunsOnFrozenClockHolds) {
    const SystemTime set = at(2026, 12, 8, 9, 20, 15, 123);
    ASSERT_TRUE(clk::setDeviceTime(set));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int64_t ran = msOf(clk::localTime()) - msOf(set);
    EXPECT_GE(ran, 30);
    EXPECT_LT(ran, 5000);

    clk::freeze(true);
    ASSERT_TRUE(clk::setDeviceTime(set));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SystemTime held = clk::localTime();
    EXPECT_EQ(msOf(held), msOf(set));
    EXPECT_EQ(held.dayOfWeek, 2);

    // Let go, it runs on from the reading it held rather than jumping ahead.
    clk::freeze(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ran = msOf(clk::localTime()) - msOf(set);
    EXPECT_GE(ran, 30);
    EXPECT_LT(ran, 1000);

    EXPECT_FALSE(clk::setDeviceTime(at(2026, 2, 29, 10)));
    EXPECT_EQ(clk::localTime().year, 2026);
    EXPECT_EQ(clk::localTime().hour, 9);
}

TEST_F(DeviceClockTest, ResetReturnsToHostLocalTime) {
    clk::freeze(true);
    ASSERT_TRUE(clk::setDeviceTime(at(1999, 1, 1)));
    clk::resetDeviceTime();
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    SystemTime host = at(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec);
    EXPECT_LT(std::llabs(msOf(clk::localTime()) - msOf(host)), 2000);
}

TEST(ClockSetting, ParsesOnlyTheExactForm) {
    auto t = clk::parseClockSetting("2026-12-08 09:20:15");
    ASSERT_TRUE(t);
    EXPECT_EQ(msOf(*t), msOf(at(2026, 12, 8, 9, 20, 15)));
    EXPECT_EQ(t->dayOfWeek, 2);
    for (const char* bad : {"2026-12-08 9:20:15", "2026-02-29 00:00:00", "2026-12-08 09:20:15 ",
                            "+026-12-08 09:20:15"}) {
        EXPECT_FALSE(clk::parseClockSetting(bad)) << bad;
    }
}

TEST(ClockSetting, SeparateProcessesShareTheSetClock) {
    EXPECT_EQ(runClockChild("2026-12-08 09:20:15"), "2026-12-08 09:20\n");
    EXPECT_EQ(runClockChild("2026-12-08 09:20:15"), "2026-12-08 09:20\n");
    // A bad setting is reported and the host's time used.
    std::string out = runClockChild("2026-02-29 09:20:15");
    EXPECT_NE(out.find("QUORIN_CLOCK: \"2026-02-29 09:20:15\" is not"), std::string::npos) << out;
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char today[48];
    std::snprintf(today, sizeof today, "\n%04d-%02d-%02d ", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    EXPECT_NE(out.find(today), std::string::npos) << out;
}

}  // namespace
