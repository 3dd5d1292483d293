#include "store/repeat_rule.h"

#include <algorithm>
#include <climits>
#include <string>

namespace repeat {
namespace {

constexpr int kLastYear = 30827;

// atoi on a UTF-16 field: leading blanks, a sign, digits; saturates instead of overflowing.
int toInt(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    long long value = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        value = std::min<long long>(value * 10 + (s[i] - u'0'), 1LL + INT_MAX);
    }
    if (negative) value = -value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int64_t ceilDiv(int64_t a, int64_t b) {  // b > 0, a >= 0
    return (a + b - 1) / b;
}

int64_t lastDay() {
    return clk::dayNumber(kLastYear, 12, 31);
}

// A one-off, or every N days with an N that cannot repeat: treated as happening once, since
// hiding a stored anniversary would be worse.
bool occursOnce(const Rule& rule) {
    return rule.code == int(RepeatRule::None) ||
           (rule.code == int(RepeatRule::EveryNDays) && rule.period < 1);
}

// The solar day on which a lunar yearly anniversary dated `date` falls in lunar year `year`.
std::optional<int64_t> lunarOccurrence(const lunar::Date& date, int year) {
    const int length = lunar::monthLength(year, date.month, false);
    if (length == 0) return std::nullopt;
    return lunar::toDayNumber({year, date.month, std::min(date.day, length), false});
}

// The day of `date` in `year`/`month`, when that month has it.
std::optional<Date> sameDayIn(int year, int month, int day) {
    if (day > daysInMonth(year, month)) return std::nullopt;
    return Date{year, month, day};
}

}  // namespace

Rule parse(std::u16string_view text) {
    Rule rule;
    int* fields[] = {&rule.code, &rule.period, &rule.lead};
    for (int* field : fields) {
        const size_t end = text.find(u';');
        *field = toInt(text.substr(0, std::min(end, MaxRuleLength)));
        if (end == std::u16string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return rule;
}

std::u16string write(const Rule& rule) {
    const auto text = [](int code, int period, int lead) {
        const std::string s =
            std::to_string(code) + ';' + std::to_string(period) + ';' + std::to_string(lead) + ';';
        return std::u16string(s.begin(), s.end());
    };
    std::u16string out = text(rule.code, rule.period, rule.lead);
    if (out.size() <= MaxRuleLength) return out;
    static_assert(MaxFieldDigits == 8, "the bounds below have eight characters");
    const auto clamp8 = [](int v) { return std::clamp(v, -9'999'999, 99'999'999); };
    return text(clamp8(rule.code), clamp8(rule.period), clamp8(rule.lead));
}

int64_t dayNumber(const Date& d) {
    return clk::dayNumber(d.year, d.month, d.day);
}

Date dateOf(int64_t n) {
    return Date::of(clk::fromDayNumber(n));
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    return clk::daysInMonth(year, month);
}

bool isValidDate(int year, int month, int day) {
    return clk::isValidDate(year, month, day);
}

std::optional<lunar::Date> toLunar(const Date& day) {
    return lunar::fromDayNumber(dayNumber(day));
}

std::optional<Date> fromLunar(const lunar::Date& date) {
    const std::optional<int64_t> day = lunar::toDayNumber(date);
    if (!day || *day < 0 || *day > lastDay()) return std::nullopt;
    return dateOf(*day);
}

std::optional<int64_t> occursOn(const Rule& rule, const Date& date, const Date& day) {
    if (day < date) return std::nullopt;
    if (occursOnce(rule)) return day == date ? std::optional<int64_t>(0) : std::nullopt;
    switch (RepeatRule(rule.code)) {
        case RepeatRule::EveryYear:
            if (day.month == date.month && day.day == date.day) return 0;
            break;
        case RepeatRule::EveryLunarYear: {
            const std::optional<lunar::Date> own = toLunar(date);
            const std::optional<lunar::Date> asked = toLunar(day);
            if (own && asked && lunarOccurrence(*own, asked->year) == dayNumber(day)) return 0;
            break;
        }
        case RepeatRule::EveryMonth:
            if (day.day == date.day) return 0;
            break;
        case RepeatRule::EveryNDays: {
            const int64_t elapsed = dayNumber(day) - dayNumber(date);
            if (elapsed % rule.period == 0) return elapsed;
            break;
        }
        default:
            break;
    }
    return std::nullopt;
}

uint32_t occurrenceDays(const Rule& rule, const Date& date, int year, int month) {
    const int length = daysInMonth(year, month);
    if (length == 0) return 0;
    const Date first{year, month, 1};
    const Date last{year, month, length};
    if (last < date) return 0;
    const auto bit = [](int day) { return uint32_t(1) << (day - 1); };
    if (occursOnce(rule)) return date.year == year && date.month == month ? bit(date.day) : 0;
    switch (RepeatRule(rule.code)) {
        case RepeatRule::EveryYear:
            return date.month == month && date.day <= length ? bit(date.day) : 0;
        case RepeatRule::EveryLunarYear: {
            // The month meets the lunar year that began in it or before it.
            const std::optional<lunar::Date> own = toLunar(date);
            if (!own) return 0;
            const int64_t from = std::max(dayNumber(first), dayNumber(date));
            uint32_t days = 0;
            for (int y : {year - 1, year}) {
                const std::optional<int64_t> n = lunarOccurrence(*own, y);
                if (n && *n >= from && *n <= dayNumber(last))
                    days |= bit(int(*n - dayNumber(first)) + 1);
            }
            return days;
        }
        case RepeatRule::EveryMonth:
            return date.day <= length ? bit(date.day) : 0;
        case RepeatRule::EveryNDays: {
            const int64_t origin = dayNumber(date);
            const int64_t from = std::max(dayNumber(first), origin);
            const int64_t to = dayNumber(last);
            uint32_t days = 0;
            // The first occurrence in the month is computed; the rest lie `period` apart within
            // the month, at most 31 of them.
            for (int64_t n = origin + ceilDiv(from - origin, rule.period) * rule.period; n <= to;
                 n += rule.period) {
                days |= bit(int(n - dayNumber(first)) + 1);
            }
            return days;
        }
        default:
            return 0;
    }
}

std::optional<Occurrence> nextOnOrAfter(const Rule& rule, const Date& date, const Date& from) {
    const Date start = std::max(date, from);
    const auto found = [&](const Date& d, int64_t elapsed) -> std::optional<Occurrence> {
        return Occurrence{d, elapsed, dayNumber(d) - dayNumber(from)};
    };
    if (occursOnce(rule)) return date >= from ? found(date, 0) : std::nullopt;
    switch (RepeatRule(rule.code)) {
        case RepeatRule::EveryYear:
            // 29 February comes back within eight years (1896 to 1904 is the longest gap).
            for (int y = start.year; y <= std::min(start.year + 8, kLastYear); ++y) {
                const std::optional<Date> d = sameDayIn(y, date.month, date.day);
                if (d && *d >= start) return found(*d, 0);
            }
            return std::nullopt;
        case RepeatRule::EveryLunarYear: {
            // Every lunar year has one occurrence: this one's or the next one's.
            const std::optional<lunar::Date> own = toLunar(date);
            const std::optional<lunar::Date> begun = toLunar(start);
            if (!own || !begun) return std::nullopt;
            for (int y : {begun->year, begun->year + 1}) {
                const std::optional<int64_t> n = lunarOccurrence(*own, y);
                if (!n || *n < dayNumber(start)) continue;
                if (*n > lastDay()) return std::nullopt;
                return found(dateOf(*n), 0);
            }
            return std::nullopt;
        }
        case RepeatRule::EveryMonth: {
            // A day of 29 to 31 comes back within two months.
            int y = start.year;
            int m = start.month;
            for (int step = 0; step < 4 && y <= kLastYear; ++step) {
                const std::optional<Date> d = sameDayIn(y, m, date.day);
                if (d && *d >= start) return found(*d, 0);
                if (++m > 12) m = 1, ++y;
            }
            return std::nullopt;
        }
        case RepeatRule::EveryNDays: {
            const int64_t origin = dayNumber(date);
            const int64_t elapsed = ceilDiv(dayNumber(start) - origin, rule.period) * rule.period;
            if (origin + elapsed > lastDay()) return std::nullopt;
            return found(dateOf(origin + elapsed), elapsed);
        }
        default:
            return std::nullopt;
    }
}

std::optional<Occurrence> announcedOn(const Rule& rule, const Date& date, const Date& today) {
    std::optional<Occurrence> next = nextOnOrAfter(rule, date, today);
    if (!next) return std::nullopt;
    if (next->ahead == 0 || (rule.lead > 0 && next->ahead <= rule.lead)) return next;
    return std::nullopt;
}

}  // namespace repeat
