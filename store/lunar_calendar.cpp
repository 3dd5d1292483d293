#include "store/lunar_calendar.h"

#include <unicode/ucal.h>

#include <array>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "clock/clock.h"

namespace lunar {
namespace {

// The lunar years the cache answers for: those that touch the device's dates (1601..30827).
constexpr int kFirstYear = 1600;
constexpr int kLastYear = 30828;

struct Month {
    int64_t first = 0;  // its first day
    int number = 0;
    bool leap = false;
    int length = 0;
};

struct Year {
    bool known = false;  // false: ICU could not compute it
    int64_t newYear = 0;
    int64_t nextNewYear = 0;
    int count = 0;
    std::array<Month, 13> months{};
};

struct Fields {
    int32_t era = 0;  // ICU's extended year: one number per lunar year
    int month = 0;
    bool leap = false;
    int day = 0;
};

class Calendar {
public:
    // The year, computed at its first use and kept.
    const Year& year(int y) {
        const std::lock_guard lock(mutex_);
        auto [it, added] = years_.try_emplace(y);
        if (added) it->second = compute(y);
        return it->second;
    }

private:
    struct Close {
        void operator()(UCalendar* c) const { ucal_close(c); }
    };

    std::optional<Fields> fieldsOf(int64_t day) {
        if (!calendar_) {
            UErrorCode status = U_ZERO_ERROR;
            calendar_.reset(ucal_open(u"UTC", -1, "ko_KR@calendar=dangi", UCAL_DEFAULT, &status));
            if (U_FAILURE(status)) calendar_.reset();
            if (!calendar_) return std::nullopt;
        }
        static const int64_t unixEpoch = clk::dayNumber(1970, 1, 1);
        UErrorCode status = U_ZERO_ERROR;
        ucal_setMillis(calendar_.get(), double(day - unixEpoch) * 86'400'000.0, &status);
        Fields f;
        f.era = ucal_get(calendar_.get(), UCAL_EXTENDED_YEAR, &status);
        f.month = ucal_get(calendar_.get(), UCAL_MONTH, &status) + 1;
        f.leap = ucal_get(calendar_.get(), UCAL_IS_LEAP_MONTH, &status) != 0;
        f.day = ucal_get(calendar_.get(), UCAL_DATE, &status);
        if (U_FAILURE(status) || f.month < 1 || f.month > 12 || f.day < 1 || f.day > 30)
            return std::nullopt;
        return f;
    }

    // The months of lunar year `y`: from a day surely inside it (June 1) back to its first
    // month, then forward month by month until the next year begins.
    Year compute(int y) {
        Year out;
        int64_t day = clk::dayNumber(y, 6, 1);
        std::optional<Fields> f = fieldsOf(day);
        if (!f) return out;
        const int32_t era = f->era;
        for (int step = 0; step < 13; ++step) {
            day -= f->day - 1;
            if (f->month == 1 && !f->leap) break;
            f = fieldsOf(day - 1);
            if (!f || f->era != era) return out;
            --day;
        }
        out.newYear = day;
        f = fieldsOf(day);
        while (f && f->era == era && f->day == 1 && out.count < 13) {
            Month m{day, f->month, f->leap, 0};
            // Day 29 of the month is either its 30th day or the next month's 1st.
            const std::optional<Fields> at29 = fieldsOf(day + 29);
            if (!at29) return out;
            m.length = at29->day == 30 ? 30 : 29;
            out.months[size_t(out.count++)] = m;
            day += m.length;
            f = m.length == 29 ? at29 : fieldsOf(day);
        }
        if (!f || f->era == era || f->day != 1 || out.count < 12) return out;
        out.nextNewYear = day;
        out.known = true;
        return out;
    }

    std::mutex mutex_;
    std::unique_ptr<UCalendar, Close> calendar_;
    std::unordered_map<int, Year> years_;
};

const Year* yearOf(int y) {
    if (y < kFirstYear || y > kLastYear) return nullptr;
    static Calendar calendar;
    const Year& year = calendar.year(y);
    return year.known ? &year : nullptr;
}

const Month* monthOf(const Year& year, int month, bool leap) {
    for (int i = 0; i < year.count; ++i) {
        const Month& m = year.months[size_t(i)];
        if (m.number == month && m.leap == leap) return &m;
    }
    return nullptr;
}

}  // namespace

std::optional<Date> fromDayNumber(int64_t dayNumber) {
    // Lunar year y begins in January or February of solar year y.
    int y = clk::fromDayNumber(dayNumber).year;
    const Year* year = yearOf(y);
    if (year && dayNumber < year->newYear) year = yearOf(--y);
    if (!year || dayNumber < year->newYear || dayNumber >= year->nextNewYear) return std::nullopt;
    for (int i = year->count - 1; i >= 0; --i) {
        const Month& m = year->months[size_t(i)];
        if (dayNumber >= m.first) return Date{y, m.number, int(dayNumber - m.first) + 1, m.leap};
    }
    return std::nullopt;
}

std::optional<int64_t> toDayNumber(const Date& date) {
    const Year* year = yearOf(date.year);
    if (!year) return std::nullopt;
    const Month* m = monthOf(*year, date.month, date.leap);
    if (!m || date.day < 1 || date.day > m->length) return std::nullopt;
    return m->first + date.day - 1;
}

int monthLength(int year, int month, bool leap) {
    const Year* y = yearOf(year);
    const Month* m = y ? monthOf(*y, month, leap) : nullptr;
    return m ? m->length : 0;
}

std::optional<int64_t> newYearDay(int year) {
    const Year* y = yearOf(year);
    if (!y) return std::nullopt;
    return y->newYear;
}

}  // namespace lunar
