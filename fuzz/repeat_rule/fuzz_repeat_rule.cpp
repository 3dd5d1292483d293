// An anniversary's stored rule text, as every screen reads it, and the dates the rule is asked
// about. The first 12 bytes choose the anniversary's date and a day; the rest is the rule text
// (UTF-16, little-endian). The answers must agree with each other: the next occurrence occurs,
// the month's days are the days it occurs on, a written rule reads back as itself.
#include <cstdlib>
#include <cstring>
#include <string>

#include "store/repeat_rule.h"

namespace {

repeat::Date dateFrom(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    const int64_t first = repeat::dayNumber({1601, 1, 1});
    const int64_t last = repeat::dayNumber({30827, 12, 31});
    return repeat::dateOf(first + int64_t(v % uint32_t(last - first + 1)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12) return 0;
    const repeat::Date date = dateFrom(data);
    const repeat::Date day = dateFrom(data + 4);
    uint32_t near;
    std::memcpy(&near, data + 8, 4);
    std::u16string text((size - 12) / 2, u'\0');
    std::memcpy(text.data(), data + 12, text.size() * 2);

    const repeat::Rule rule = repeat::parse(text);
    const std::u16string written = repeat::write(rule);
    if (written.size() > repeat::MaxRuleLength) std::abort();
    if (written.size() < 30 && std::to_string(rule.code).size() <= 8 &&
        std::to_string(rule.period).size() <= 8 && std::to_string(rule.lead).size() <= 8 &&
        !(repeat::parse(written) == rule))
        std::abort();

    // A day near the anniversary, so that short periods are met too.
    const int64_t nearDay = std::min(repeat::dayNumber({30827, 12, 31}),
                                     repeat::dayNumber(date) + int64_t(near % 4000));
    for (const repeat::Date& asked : {day, repeat::dateOf(nearDay)}) {
        const auto on = repeat::occursOn(rule, date, asked);
        if (on && (*on < 0 || asked < date)) std::abort();
        const uint32_t bits = repeat::occurrenceDays(rule, date, asked.year, asked.month);
        if (bool(bits & (1u << (asked.day - 1))) != on.has_value()) std::abort();
        if (const auto next = repeat::nextOnOrAfter(rule, date, asked)) {
            if (next->date < asked || next->ahead < 0) std::abort();
            const auto again = repeat::occursOn(rule, date, next->date);
            if (!again || *again != next->elapsed) std::abort();
            if (on && next->date != asked) std::abort();
        } else if (on) {
            std::abort();
        }
        (void)repeat::announcedOn(rule, date, asked);
    }
    return 0;
}
