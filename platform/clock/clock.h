// The device clock: local wall-clock time, which tests (and demos) can set.
// Conversions to and from FILETIME go field for field, never through a time zone.
#pragma once

#include <cstdint>
#include <optional>

#include "cedb/cedb.h"

namespace clk {

struct SystemTime {
    int year = 1601;  // 1601..30827
    int month = 1;    // 1..12
    int dayOfWeek = 0;  // 0 = Sunday; filled in by conversions, ignored on input
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// The current local time. Set by `setDeviceTime` it runs on from the set instant; the
// environment variable QUORIN_CLOCK ("YYYY-MM-DD HH:MM:SS") sets it for a whole process.
SystemTime localTime();
// Sets the device clock; the clock then advances with real time from that instant.
void setDeviceTime(const SystemTime& t);
// Holds the clock still at its current reading (tests) or lets it run again.
void freeze(bool frozen);
// Back to the host's local time.
void resetDeviceTime();

// Field-for-field conversion; nullopt for an invalid date or time.
std::optional<cedb::FileTime> toFileTime(const SystemTime& t);
std::optional<SystemTime> fromFileTime(const cedb::FileTime& ft);

// Whole days since 1601-01-01 of a date (its time of day ignored).
int64_t dayNumber(int year, int month, int day);
// The date of a day number.
SystemTime fromDayNumber(int64_t days);
bool isValidDate(int year, int month, int day);
int daysInMonth(int year, int month);

}  // namespace clk
