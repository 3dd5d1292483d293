// The device clock: local wall-clock time, which tests (and demos) can set.
// Conversions to and from FILETIME go field for field, never through a time zone.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "cedb/cedb.h"

namespace clk {

struct SystemTime {
    int year = 1601;    // 1601..30827
    int month = 1;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday; filled in by conversions, ignored on input
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// The current local time. Set by `setDeviceTime` it runs on from the set instant; the
// environment variable QUORIN_CLOCK ("YYYY-MM-DD HH:MM:SS") sets it for a whole process, read
// at the first use of the clock (a malformed value is reported on stderr and ignored).
SystemTime localTime();
// Sets the device clock; the clock then advances with real time from that instant (or stays
// at it while frozen). False, and the clock unchanged, for an invalid date or time.
bool setDeviceTime(const SystemTime& t);
// Holds the clock still at its current reading (tests) or lets it run on from that reading.
void freeze(bool frozen);
// Unfrozen, back to the host's local time, or to the QUORIN_CLOCK setting when the process
// was started with one.
void resetDeviceTime();
// Reads "YYYY-MM-DD HH:MM:SS" (the QUORIN_CLOCK format); nullopt unless well-formed and valid.
std::optional<SystemTime> parseClockSetting(std::string_view text);

// Field-for-field conversion; nullopt for an invalid date or time (dayOfWeek is not checked).
std::optional<cedb::FileTime> toFileTime(const SystemTime& t);
// Nullopt for a value past 30827-12-31; the part below a millisecond is dropped.
std::optional<SystemTime> fromFileTime(const cedb::FileTime& ft);

// Whole days since 1601-01-01 of a date, proleptic Gregorian. Out-of-range fields carry over,
// so date arithmetic may pass month 13 (January of the next year) or day 32 (the 1st of the next
// month) and day 0 (the last of the previous month).
int64_t dayNumber(int year, int month, int day);
// The date of a day number, with its day of the week; the time of day is 00:00:00.000.
SystemTime fromDayNumber(int64_t days);
// A real date in 1601..30827.
bool isValidDate(int year, int month, int day);
// 28..31; 0 for a month outside 1..12.
int daysInMonth(int year, int month);

}  // namespace clk
