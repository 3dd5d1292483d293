// The Korean lunisolar calendar (음력), as ICU computes it for dates in Korea (its "dangi"
// calendar). Days are whole days since 1601-01-01, as clk::dayNumber counts them.
//
// ICU is asked once per lunar year, for where its months begin; every answer after that is
// arithmetic over the cached year, so a screen may convert thousands of dates per refresh.
// The cache is shared by the threads of a process.
#pragma once

#include <cstdint>
#include <optional>

namespace lunar {

// A lunar date. `year` is the Gregorian year in which its lunar year begins (lunar new year
// falls in January or February); a leap month (윤달) follows the ordinary month of its number.
struct Date {
    int year = 0;
    int month = 1;  // 1..12
    int day = 1;    // 1..30
    bool leap = false;
    friend bool operator==(const Date&, const Date&) = default;
};

// The lunar date of a day; nothing when the calendar cannot be computed (ICU missing its data).
std::optional<Date> fromDayNumber(int64_t dayNumber);
// The day of a lunar date; nothing for a date that does not exist (month 13, day 31, a leap
// month the year lacks, day 30 of a 29-day month).
std::optional<int64_t> toDayNumber(const Date& date);
// 29 or 30; 0 when the year lacks that month.
int monthLength(int year, int month, bool leap);
// The first day of lunar year `year` (설날).
std::optional<int64_t> newYearDay(int year);

}  // namespace lunar
