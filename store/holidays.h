// Korean public holidays: the fixed and lunar ones and their substitutes (대체공휴일), computed
// by rule, and the one-time ones (election days, days the government declares) that the user
// lists in the device root's Holidays.txt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/repeat_rule.h"

namespace holidays {

struct Holiday {
    repeat::Date date;
    std::u16string name;
    friend bool operator==(const Holiday&, const Holiday&) = default;
};

// The one-time holidays of a Holidays.txt text (UTF-8): one "YYYY-MM-DD name" a line, blank
// lines and "#" comments allowed. A line that is none of these is skipped and counted.
struct OneTimeList {
    std::vector<Holiday> days;
    int skipped = 0;
};
// The longest name kept, in UTF-16 units; a longer one is cut to it.
inline constexpr size_t MaxNameLength = 24;
// The most of a file that is read, and the longest line taken.
inline constexpr size_t MaxFileBytes = 256 * 1024;
inline constexpr size_t MaxLineBytes = 256;
OneTimeList parseOneTime(std::string_view text);
// The device root's "\Holidays.txt"; an empty list when there is none.
OneTimeList readOneTimeFile();

// The holidays of `year`, the one-time ones of that year among them, in date order; two on one
// day in the order 신정, 설날, 삼일절, 어린이날, 부처님오신날, 현충일, 광복절, 추석, 개천절,
// 한글날, 기독탄신일, then the one-time ones. Substitutes are named "대체공휴일".
std::vector<Holiday> ofYear(int year, const std::vector<Holiday>& oneTime);
// The holidays of `year` as this device keeps them: by rule and from its Holidays.txt.
std::vector<Holiday> onDevice(int year);
// The days of `month` in `year` among `holidays`, as bit (day - 1).
uint32_t daysOfMonth(const std::vector<Holiday>& holidays, int year, int month);
// The names of a day's holidays among `holidays`, joined with ", "; empty for a day that is none.
std::u16string namesOn(const std::vector<Holiday>& holidays, const repeat::Date& day);

}  // namespace holidays
