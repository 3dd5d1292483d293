// The Korean lunar calendar and the lunar yearly repeat: against the published calendar, and
// the closed forms against a day-by-day oracle read from ICU directly.
#include <gtest/gtest.h>
#include <unicode/ucal.h>

#include <map>
#include <random>

#include "store/lunar_calendar.h"
#include "store/repeat_rule.h"

namespace {

using repeat::Date;
using repeat::Rule;

constexpr int Lunar = int(RepeatRule::EveryLunarYear);

Date solarOf(int year, int month, int day, bool leap = false) {
    const std::optional<Date> d = repeat::fromLunar({year, month, day, leap});
    EXPECT_TRUE(d) << year << "/" << month << "/" << day << (leap ? " leap" : "");
    return d.value_or(Date{});
}

TEST(LunarCalendar, SeollalAndChuseokFallOnThePublishedDays) {
    // Korea's 설날 and 추석, 2000 to 2030. 1997 and 2027 are years whose new year Korea keeps a
    // day later than the Chinese calendar.
    const std::map<int, std::pair<Date, Date>> published = {
        {1997, {{1997, 2, 8}, {1997, 9, 16}}},  {2000, {{2000, 2, 5}, {2000, 9, 12}}},
        {2001, {{2001, 1, 24}, {2001, 10, 1}}}, {2002, {{2002, 2, 12}, {2002, 9, 21}}},
        {2003, {{2003, 2, 1}, {2003, 9, 11}}},  {2004, {{2004, 1, 22}, {2004, 9, 28}}},
        {2005, {{2005, 2, 9}, {2005, 9, 18}}},  {2006, {{2006, 1, 29}, {2006, 10, 6}}},
        {2007, {{2007, 2, 18}, {2007, 9, 25}}}, {2008, {{2008, 2, 7}, {2008, 9, 14}}},
        {2009, {{2009, 1, 26}, {2009, 10, 3}}}, {2010, {{2010, 2, 14}, {2010, 9, 22}}},
        {2011, {{2011, 2, 3}, {2011, 9, 12}}},  {2012, {{2012, 1, 23}, {2012, 9, 30}}},
        {2013, {{2013, 2, 10}, {2013, 9, 19}}}, {2014, {{2014, 1, 31}, {2014, 9, 8}}},
        {2015, {{2015, 2, 19}, {2015, 9, 27}}}, {2016, {{2016, 2, 8}, {2016, 9, 15}}},
        {2017, {{2017, 1, 28}, {2017, 10, 4}}}, {2018, {{2018, 2, 16}, {2018, 9, 24}}},
        {2019, {{2019, 2, 5}, {2019, 9, 13}}},  {2020, {{2020, 1, 25}, {2020, 10, 1}}},
        {2021, {{2021, 2, 12}, {2021, 9, 21}}}, {2022, {{2022, 2, 1}, {2022, 9, 10}}},
        {2023, {{2023, 1, 22}, {2023, 9, 29}}}, {2024, {{2024, 2, 10}, {2024, 9, 17}}},
        {2025, {{2025, 1, 29}, {2025, 10, 6}}}, {2026, {{2026, 2, 17}, {2026, 9, 25}}},
        {2027, {{2027, 2, 7}, {2027, 9, 15}}},  {2028, {{2028, 1, 27}, {2028, 10, 3}}},
        {2029, {{2029, 2, 13}, {2029, 9, 22}}}, {2030, {{2030, 2, 3}, {2030, 9, 12}}},
    };
    for (const auto& [year, days] : published) {
        EXPECT_EQ(solarOf(year, 1, 1), days.first) << year;
        EXPECT_EQ(solarOf(year, 8, 15), days.second) << year;
        EXPECT_EQ(repeat::toLunar(days.second), (lunar::Date{year, 8, 15, false})) << year;
        EXPECT_EQ(lunar::newYearDay(year), repeat::dayNumber(days.first)) << year;
    }
    // The day before 설날 is the last of the twelfth month of the year before.
    EXPECT_EQ(repeat::toLunar({2026, 2, 16}), (lunar::Date{2025, 12, 29, false}));
}

TEST(LunarCalendar, LeapMonthsAndImpossibleDates) {
    // 2023 has a leap second month (윤2월) from 22 March, 2025 a leap sixth from 25 July.
    EXPECT_EQ(solarOf(2023, 2, 1, true), (Date{2023, 3, 22}));
    EXPECT_EQ(solarOf(2025, 6, 1, true), (Date{2025, 7, 25}));
    EXPECT_EQ(repeat::toLunar({2025, 7, 25}), (lunar::Date{2025, 6, 1, true}));
    EXPECT_EQ(lunar::monthLength(2026, 6, true), 0);
    EXPECT_FALSE(repeat::fromLunar({2026, 6, 1, true}));  // no leap month in 2026
    EXPECT_FALSE(repeat::fromLunar({2026, 13, 1, false}));
    EXPECT_FALSE(repeat::fromLunar({2026, 3, 31, false}));
    EXPECT_FALSE(repeat::fromLunar({2026, 3, 0, false}));
    // A 29-day month has no day 30.
    ASSERT_EQ(lunar::monthLength(2000, 4, false), 29);
    EXPECT_FALSE(repeat::fromLunar({2000, 4, 30, false}));
}

TEST(LunarRepeat, FallsEachYearOnTheSolarDayOfItsLunarDate) {
    // Born 1990-04-10, lunar 3/15: in 2026 on 1 May.
    const Rule birthday{Lunar, 0, 0};
    const Date born{1990, 4, 10};
    EXPECT_TRUE(repeat::occursOn(birthday, born, {2026, 5, 1}));
    EXPECT_TRUE(repeat::occursOn(birthday, born, born));
    EXPECT_FALSE(repeat::occursOn(birthday, born, {2026, 4, 10}));
    EXPECT_EQ(repeat::nextOnOrAfter(birthday, born, {2026, 1, 1})->date, (Date{2026, 5, 1}));
    EXPECT_EQ(repeat::occurrenceDays(birthday, born, 2026, 5), 1u);
    EXPECT_EQ(repeat::occurrenceDays(birthday, born, 2026, 4), 0u);
    // Never before its own date.
    EXPECT_FALSE(repeat::occursOn(birthday, {2026, 5, 1}, {2025, 4, 12}));
    EXPECT_EQ(repeat::nextOnOrAfter(birthday, {2026, 5, 1}, {2020, 1, 1})->date,
              (Date{2026, 5, 1}));
}

TEST(LunarRepeat, LeapMonthDatesFallInTheOrdinaryMonth) {
    // Dated in 윤2월 2023 (22 March, 윤2/1): from 2024 on 2/1, never in 2023's own 2/1 (20
    // February), which precedes the date; in 2033, which again has a leap 11th, nothing moves.
    const Rule r{Lunar, 0, 0};
    const Date date{2023, 3, 22};
    EXPECT_EQ(repeat::nextOnOrAfter(r, date, date)->date, solarOf(2024, 2, 1));
    EXPECT_FALSE(repeat::occursOn(r, date, date));
    EXPECT_FALSE(repeat::occursOn(r, date, {2023, 2, 20}));
    EXPECT_TRUE(repeat::occursOn(r, date, solarOf(2026, 2, 1)));
    EXPECT_FALSE(repeat::occursOn(r, {2023, 2, 20}, date));  // the ordinary 2/1's leap twin
}

TEST(LunarRepeat, DayThirtyFallsOnTheTwentyNinthOfAShortMonth) {
    // Dated on 4/30 of the first year from 2001 whose fourth month is long; the years after
    // have both lengths.
    int from = 2001;
    while (lunar::monthLength(from, 4, false) != 30) ++from;
    const Date thirty = solarOf(from, 4, 30);
    const Rule r{Lunar, 0, 0};
    int shortYears = 0;
    for (int y = from + 1; y < from + 30; ++y) {
        const int length = lunar::monthLength(y, 4, false);
        shortYears += length == 29;
        const Date expected = solarOf(y, 4, length);
        EXPECT_TRUE(repeat::occursOn(r, thirty, expected)) << y;
        EXPECT_EQ(repeat::nextOnOrAfter(r, thirty, solarOf(y, 1, 1))->date, expected) << y;
        if (length == 29) {
            EXPECT_FALSE(repeat::occursOn(r, thirty, solarOf(y, 5, 1))) << y;
        }
    }
    EXPECT_GT(shortYears, 5);
}

TEST(LunarRepeat, LeadCrossesTheSolarYearEnd) {
    // Lunar 12/3 of 2025 is 2026-01-21: with 30 days of lead it is announced in December 2025.
    const Date date = solarOf(2020, 12, 3);
    const Date occurrence = solarOf(2025, 12, 3);
    ASSERT_EQ(occurrence, (Date{2026, 1, 21}));
    const auto announced = repeat::announcedOn({Lunar, 0, 30}, date, {2025, 12, 25});
    ASSERT_TRUE(announced);
    EXPECT_EQ(announced->date, occurrence);
    EXPECT_EQ(announced->ahead, 27);
    EXPECT_EQ(announced->elapsed, 0);
    EXPECT_FALSE(repeat::announcedOn({Lunar, 0, 10}, date, {2025, 12, 25}));
}

// The lunar date of every day of a span, read from ICU day by day.
class IcuDays {
public:
    IcuDays(int64_t first, int64_t last) : first_(first) {
        UErrorCode status = U_ZERO_ERROR;
        UCalendar* c = ucal_open(u"UTC", -1, "ko_KR@calendar=dangi", UCAL_DEFAULT, &status);
        const int64_t epoch = repeat::dayNumber({1970, 1, 1});
        for (int64_t n = first; n <= last; ++n) {
            ucal_setMillis(c, double(n - epoch) * 86'400'000.0, &status);
            days_.push_back({ucal_get(c, UCAL_EXTENDED_YEAR, &status),
                             ucal_get(c, UCAL_MONTH, &status) + 1, ucal_get(c, UCAL_DATE, &status),
                             ucal_get(c, UCAL_IS_LEAP_MONTH, &status) != 0});
        }
        ucal_close(c);
        EXPECT_FALSE(U_FAILURE(status));
    }
    const lunar::Date& at(int64_t n) const { return days_[size_t(n - first_)]; }
    // Whether the day is the last of its month.
    bool lastOfMonth(int64_t n) const { return at(n + 1).day == 1; }

private:
    int64_t first_;
    std::vector<lunar::Date> days_;  // `year` holds ICU's own year number
};

TEST(LunarRepeat, ClosedFormsAgreeWithSteppingThroughTheCalendar) {
    const int64_t first = repeat::dayNumber({1998, 1, 1});
    const int64_t last = repeat::dayNumber({2031, 12, 31});
    const IcuDays icu(first, last + 400);
    // Stepping: the day is in the ordinary month of the date's lunar month, on its day, or on
    // the last day of a shorter month.
    const auto stepped = [&](int64_t date, int64_t day) {
        const lunar::Date& own = icu.at(date);
        const lunar::Date& at = icu.at(day);
        return day >= date && !at.leap && at.month == own.month &&
               (at.day == own.day || (at.day < own.day && icu.lastOfMonth(day)));
    };
    std::mt19937 rng(20261208);
    const auto pick = [&](int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
    };
    for (int i = 0; i < 2000; ++i) {
        const Rule r{Lunar, 0, int(pick(0, 40))};
        const int64_t date = pick(first, last);
        const int64_t day = pick(first, last);
        const Date d = repeat::dateOf(date), asked = repeat::dateOf(day);
        ASSERT_EQ(repeat::occursOn(r, d, asked).has_value(), stepped(date, day))
            << d.year << "-" << d.month << "-" << d.day << " on " << asked.year << "-"
            << asked.month << "-" << asked.day;

        const uint32_t bits = repeat::occurrenceDays(r, d, asked.year, asked.month);
        const int64_t monthStart = repeat::dayNumber({asked.year, asked.month, 1});
        for (int k = 1; k <= repeat::daysInMonth(asked.year, asked.month); ++k)
            ASSERT_EQ(bool(bits & (1u << (k - 1))), stepped(date, monthStart + k - 1)) << k;

        std::optional<int64_t> next;
        for (int64_t n = std::max(date, day); n <= last + 400 && !next; ++n)
            if (stepped(date, n)) next = n;
        ASSERT_TRUE(next);
        const auto closed = repeat::nextOnOrAfter(r, d, asked);
        ASSERT_TRUE(closed);
        ASSERT_EQ(repeat::dayNumber(closed->date), *next);
        ASSERT_EQ(closed->ahead, *next - day);
        const bool announced = *next - day == 0 || (r.lead > 0 && *next - day <= r.lead);
        ASSERT_EQ(repeat::announcedOn(r, d, asked).has_value(), announced);
    }
}

}  // namespace
