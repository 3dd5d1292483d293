#include "store/holidays.h"

#include <fcntl.h>

#include <algorithm>
#include <set>

#include "fs/devfs.h"

namespace holidays {
namespace {

// Which substitute a holiday calls for when it is not a working day's rest.
enum class Substitute {
    None,
    // 설날 and 추석: on a Sunday or another holiday; the first following day that is neither a
    // Sunday nor a holiday.
    SundayOrShared,
    // The national days and the others: on a Saturday, a Sunday or another holiday; the first
    // following weekday that is no holiday.
    WeekendOrShared,
};

struct Entry {
    int64_t day = 0;
    int order = 0;  // the place of its name in the list of holidays
    std::u16string name;
    Substitute substitute = Substitute::None;
};

constexpr int kOneTimeOrder = 11;
constexpr int kSubstituteOrder = 12;
constexpr size_t kMaxOneTimeDays = 4096;

// Date order; on one day, the order of the list of holidays.
bool dayThenListOrder(const Entry& a, const Entry& b) {
    return a.day != b.day ? a.day < b.day : a.order < b.order;
}

int weekday(int64_t day) {
    return clk::fromDayNumber(day).dayOfWeek;  // 0 = Sunday
}

bool isWeekend(int64_t day) {
    const int w = weekday(day);
    return w == 0 || w == 6;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int digits(std::string_view s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// A name as kept: well-formed UTF-8 without control characters, cut to MaxNameLength units
// without splitting a pair; nothing when it is not text.
std::optional<std::u16string> nameOf(std::string_view bytes) {
    std::u16string name = devfs::fromUtf8(bytes);
    for (char16_t& c : name) {
        if (c == u'\t') c = u' ';
        if (c < 0x20 || c == 0x7F || c == 0xFFFD) return std::nullopt;
    }
    if (name.size() > MaxNameLength) {
        size_t cut = MaxNameLength;
        if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;
        name.resize(cut);
    }
    return name;
}

std::optional<Holiday> lineOf(std::string_view line) {
    if (line.size() < 12 || line[4] != '-' || line[7] != '-' ||
        (line[10] != ' ' && line[10] != '\t'))
        return std::nullopt;
    const repeat::Date date{digits(line.substr(0, 4)), digits(line.substr(5, 2)),
                            digits(line.substr(8, 2))};
    if (!repeat::isValidDate(date.year, date.month, date.day)) return std::nullopt;
    const std::string_view rest = trimmed(line.substr(11));
    if (rest.empty()) return std::nullopt;
    std::optional<std::u16string> name = nameOf(rest);
    if (!name) return std::nullopt;
    return Holiday{date, std::move(*name)};
}

}  // namespace

OneTimeList parseOneTime(std::string_view text) {
    OneTimeList out;
    text = text.substr(0, MaxFileBytes);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > MaxLineBytes) {
            ++out.skipped;
            continue;
        }
        // A "#" begins a comment, on a line of its own or after a holiday.
        line = trimmed(line.substr(0, line.find('#')));
        if (!line.empty() && line.back() == '\r') line = trimmed(line.substr(0, line.size() - 1));
        if (line.empty()) continue;
        std::optional<Holiday> day = lineOf(line);
        if (!day || out.days.size() >= kMaxOneTimeDays) {
            ++out.skipped;
            continue;
        }
        out.days.push_back(std::move(*day));
    }
    return out;
}

OneTimeList readOneTimeFile() {
    uint64_t size = 0;
    const std::optional<std::string> bytes =
        devfs::readRegularFile(devfs::toHost(u"\\Holidays.txt"), MaxFileBytes, &size);
    if (!bytes) return {};
    OneTimeList list = parseOneTime(*bytes);
    // What lies past the part read is not taken: one skipped piece.
    if (size > MaxFileBytes) ++list.skipped;
    return list;
}

std::vector<Holiday> ofYear(int year, const std::vector<Holiday>& oneTime) {
    std::vector<Entry> entries;
    const auto add = [&](std::optional<int64_t> day, int order, std::u16string_view name,
                         Substitute substitute, int since) {
        if (!day) return;
        entries.push_back(
            {*day, order, std::u16string(name), year >= since ? substitute : Substitute::None});
    };
    const auto solar = [&](int month, int day) -> std::optional<int64_t> {
        return repeat::dayNumber({year, month, day});
    };
    const auto lunarDay = [&](int month, int day) {
        return lunar::toDayNumber({year, month, day, false});
    };
    add(solar(1, 1), 0, u"신정", Substitute::None, 0);
    if (const std::optional<int64_t> newYear = lunar::newYearDay(year))
        for (int k = -1; k <= 1; ++k)
            add(*newYear + k, 1, u"설날", Substitute::SundayOrShared, 2014);
    add(solar(3, 1), 2, u"삼일절", Substitute::WeekendOrShared, 2021);
    add(solar(5, 5), 3, u"어린이날", Substitute::WeekendOrShared, 2014);
    add(lunarDay(4, 8), 4, u"부처님오신날", Substitute::WeekendOrShared, 2023);
    add(solar(6, 6), 5, u"현충일", Substitute::None, 0);
    add(solar(8, 15), 6, u"광복절", Substitute::WeekendOrShared, 2021);
    for (int d = 14; d <= 16; ++d)
        add(lunarDay(8, d), 7, u"추석", Substitute::SundayOrShared, 2014);
    add(solar(10, 3), 8, u"개천절", Substitute::WeekendOrShared, 2021);
    add(solar(10, 9), 9, u"한글날", Substitute::WeekendOrShared, 2021);
    add(solar(12, 25), 10, u"기독탄신일", Substitute::WeekendOrShared, 2023);
    for (const Holiday& h : oneTime) {
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.day == repeat::dayNumber(h.date) && e.name == h.name;
        });
        if (h.date.year == year && !listed)
            add(repeat::dayNumber(h.date), kOneTimeOrder, h.name, Substitute::None, 0);
    }
    std::stable_sort(entries.begin(), entries.end(), dayThenListOrder);

    // One substitute for each day that calls for one, in date order, each taking the first
    // free day after it; a later one skips the earlier ones' days.
    std::set<int64_t> taken;
    for (const Entry& e : entries) taken.insert(e.day);
    std::vector<Entry> substitutes;
    for (size_t i = 0; i < entries.size();) {
        size_t j = i;
        while (j < entries.size() && entries[j].day == entries[i].day) ++j;
        const int64_t day = entries[i].day;
        const bool shared = j - i > 1;
        bool weekdayRule = false, sundayRule = false;
        for (size_t k = i; k < j; ++k) {
            if (entries[k].substitute == Substitute::WeekendOrShared && (isWeekend(day) || shared))
                weekdayRule = true;
            if (entries[k].substitute == Substitute::SundayOrShared &&
                (weekday(day) == 0 || shared))
                sundayRule = true;
        }
        i = j;
        if (!weekdayRule && !sundayRule) continue;
        int64_t free = day + 1;
        while (taken.count(free) || (weekdayRule ? isWeekend(free) : weekday(free) == 0)) ++free;
        taken.insert(free);
        substitutes.push_back({free, kSubstituteOrder, u"대체공휴일", Substitute::None});
    }

    entries.insert(entries.end(), substitutes.begin(), substitutes.end());
    std::stable_sort(entries.begin(), entries.end(), dayThenListOrder);
    std::vector<Holiday> out;
    out.reserve(entries.size());
    for (Entry& e : entries) out.push_back({repeat::dateOf(e.day), std::move(e.name)});
    return out;
}

std::vector<Holiday> onDevice(int year) {
    return ofYear(year, readOneTimeFile().days);
}

uint32_t daysOfMonth(const std::vector<Holiday>& holidays, int year, int month) {
    uint32_t days = 0;
    for (const Holiday& h : holidays)
        if (h.date.year == year && h.date.month == month) days |= uint32_t(1) << (h.date.day - 1);
    return days;
}

std::u16string namesOn(const std::vector<Holiday>& holidays, const repeat::Date& day) {
    std::u16string names;
    for (const Holiday& h : holidays) {
        if (h.date != day) continue;
        if (!names.empty()) names += u", ";
        names += h.name;
    }
    return names;
}

}  // namespace holidays
