// The repeat rule of an anniversary: the rule text kept in the record's `place` field
// ("code;period;lead;") and when the anniversary occurs. Every screen that asks whether an
// anniversary falls on a day (the Today item, the day list, the month calendar's marks, the
// day's agenda, the details popup) asks here, so they agree on every anniversary.
//
// All answers are computed from day counts (64-bit), never by stepping through the
// repetitions: a small period from decades back costs the same as a yearly one, and no
// period, lead or distance between dates overflows.
//
// The rules, the same for every code:
// - an occurrence never precedes the anniversary's own date;
// - yearly from 29 February occurs only on 29 February of leap years (Gregorian), monthly from
//   the 29th to 31st only in months that have that day: nothing is carried into the next month;
// - lunar yearly falls once in every lunar year, on the solar day of the lunar month and day of
//   its date: a date in a leap month (윤달) falls in the ordinary month of that number, and day 30
//   on the 29th in a year whose month has 29 days. From a leap month's date, the ordinary month
//   of that year precedes the date and so does not count;
// - every N days with N below 1 cannot repeat, so it occurs once, on its own date;
// - any code other than these five occurs nowhere.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clock/clock.h"
#include "store/lunar_calendar.h"
#include "store/record_image.h"

namespace repeat {

// The longest rule text the `place` field holds.
inline constexpr size_t MaxRuleLength = 29;
// The most digits a field of a rule text keeps: a longer number is clamped when written.
inline constexpr int MaxFieldDigits = 8;

// The three fields of a rule text.
struct Rule {
    int code = 0;    // a RepeatRule value; anything else occurs nowhere
    int period = 0;  // days between occurrences of EveryNDays
    int lead = 0;    // days ahead of an occurrence from which it is announced
    friend bool operator==(const Rule&, const Rule&) = default;
};

// Reads a rule text: split at each ";", the first three fields used, each read like atoi (a
// field that is not a number reads 0, a huge one saturates) from its first 29 characters.
Rule parse(std::u16string_view text);
// "%d;%d;%d;" of code, period and lead. A rule whose text would not fit the field has each
// field clamped to MaxFieldDigits characters, so it is never cut mid-field when stored.
std::u16string write(const Rule& rule);

// A calendar day (no time of day).
struct Date {
    int year = 1601;
    int month = 1;
    int day = 1;
    friend auto operator<=>(const Date&, const Date&) = default;
    static Date of(const clk::SystemTime& t) { return {t.year, t.month, t.day}; }
};

// Whole days since 1601-01-01.
int64_t dayNumber(const Date& d);
Date dateOf(int64_t dayNumber);
// Gregorian: divisible by 4, and not by 100 unless by 400.
bool isLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int daysInMonth(int year, int month);
// A real calendar date (year 1601..30827).
bool isValidDate(int year, int month, int day);
// The lunar date of a day, and the day of a lunar date (nothing for one that does not exist).
std::optional<lunar::Date> toLunar(const Date& day);
std::optional<Date> fromLunar(const lunar::Date& date);

// Whether the anniversary dated `date` with `rule` falls on `day`: the days elapsed since its
// date (0 on the date itself, and for every code but EveryNDays) when it does.
std::optional<int64_t> occursOn(const Rule& rule, const Date& date, const Date& day);

// The days 1..31 of `month` in `year` that carry an occurrence, as bit (day - 1).
uint32_t occurrenceDays(const Rule& rule, const Date& date, int year, int month);

struct Occurrence {
    Date date;            // the day it falls on
    int64_t elapsed = 0;  // days since the anniversary's own date
    int64_t ahead = 0;    // days from the day asked to the occurrence
    friend bool operator==(const Occurrence&, const Occurrence&) = default;
};
// The first occurrence on or after `from`; nothing when there is none (a one-off that has
// passed, a code that occurs nowhere, or one past the calendar's last year).
std::optional<Occurrence> nextOnOrAfter(const Rule& rule, const Date& date, const Date& from);
// The occurrence announced on `today`: the next one on or after today when it falls today or
// within the rule's lead (a lead below 1 announces only on the day itself).
std::optional<Occurrence> announcedOn(const Rule& rule, const Date& date, const Date& today);

}  // namespace repeat
