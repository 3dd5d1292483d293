// The device's list of one-time holidays, a file the user (or anything else) writes. Whatever it
// holds, the list read has only real dates and short printable names, and the year it joins
// stays in date order.
#include <cstdlib>
#include <string_view>

#include "store/holidays.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const holidays::OneTimeList list = holidays::parseOneTime(text);
    if (list.skipped < 0) std::abort();
    for (const holidays::Holiday& h : list.days) {
        if (!repeat::isValidDate(h.date.year, h.date.month, h.date.day)) std::abort();
        if (h.name.empty() || h.name.size() > holidays::MaxNameLength) std::abort();
        for (char16_t c : h.name)
            if (c < 0x20) std::abort();
    }
    if (!list.days.empty()) {
        const int year = list.days.front().date.year;
        const std::vector<holidays::Holiday> days = holidays::ofYear(year, list.days);
        for (size_t i = 1; i < days.size(); ++i)
            if (days[i].date < days[i - 1].date) std::abort();
    }
    return 0;
}
