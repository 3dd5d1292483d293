// What the Today item shows: how many appointments fall on today and which anniversaries do,
// read straight from "Quorin Database". Plain functions, free of windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "clock/clock.h"

namespace today {

// The day's result besides a count of 0 or more.
inline constexpr int DatabaseOpenFailed = -2;  // no "Quorin Database", or it would not open
inline constexpr int RecordOpenFailed = -3;    // the first record could not be sought or read

inline constexpr size_t MaxAnniversaryLines = 10;
inline constexpr size_t MaxLineLength = 199;  // UTF-16 units

struct TodayResult {
    int result = 0;
    std::vector<std::u16string> lines;  // one per anniversary that falls on today
    friend bool operator==(const TodayResult&, const TodayResult&) = default;
};

// The first two fields of an anniversary's rule text "code;interval;lead;", each read like
// atoi (0 when missing or not a number).
struct RepeatRuleFields {
    int code = 0;
    int interval = 0;
};
RepeatRuleFields parseRepeatRule(std::u16string_view rule);

// Whether an anniversary dated `date` with that repeat code and interval falls on `today`
// (dates only; the time of day is ignored), by the one repeat rule of store/repeat_rule.h.
bool fallsOnToday(int code, int interval, const clk::SystemTime& date,
                  const clk::SystemTime& today);

// "기념일 : " + name + "님의 " + text, cut to MaxLineLength units.
std::u16string anniversaryLine(std::u16string_view name, std::u16string_view text);

// Reads every record of "Quorin Database" in the device's object store. Records that lack a
// property or cannot be read after the first are passed over; at most MaxAnniversaryLines lines,
// in record order. An empty database gives 0.
TodayResult computeToday(const clk::SystemTime& today);

}  // namespace today
