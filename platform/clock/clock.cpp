#include "clock.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace clk {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr int64_t kTicksPerMs = 10'000;
// 1970-01-01 counted from 1601-01-01.
constexpr int64_t kUnixEpochDay = 134'774;
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
int64_t floorMod(int64_t a, int64_t b) {
    return a - floorDiv(a, b) * b;
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Milliseconds since 1601-01-01 00:00 of the fields, which must be valid.
int64_t fieldMs(const SystemTime& t) {
    return dayNumber(t.year, t.month, t.day) * kMsPerDay +
           ((int64_t(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

SystemTime fromFieldMs(int64_t ms) {
    SystemTime t = fromDayNumber(floorDiv(ms, kMsPerDay));
    int64_t rest = floorMod(ms, kMsPerDay);
    t.hour = int(rest / 3'600'000);
    t.minute = int(rest / 60'000 % 60);
    t.second = int(rest / 1000 % 60);
    t.millisecond = int(rest % 1000);
    return t;
}

bool isValidTime(const SystemTime& t) {
    return isValidDate(t.year, t.month, t.day) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
           t.minute < 60 && t.second >= 0 && t.second < 60 && t.millisecond >= 0 &&
           t.millisecond < 1000;
}

// The host clock in UTC, counted like the device clock. A set device clock runs on from this,
// so the host's daylight-saving changes do not move it.
int64_t hostUtcMs() {
    using namespace std::chrono;
    int64_t unixMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return unixMs + kUnixEpochDay * kMsPerDay;
}

int64_t hostLocalMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    SystemTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second holds at :59
    t.millisecond = int(ts.tv_nsec / 1'000'000);
    return fieldMs(t);
}

struct ClockState {
    std::mutex mutex;
    bool initialised = false;
    std::optional<int64_t> processOffset;  // from QUORIN_CLOCK
    std::optional<int64_t> offset;         // device minus host UTC, while set
    bool frozen = false;
    int64_t held = 0;
};

ClockState& state() {
    static ClockState s;
    return s;
}

// Caller holds the mutex.
void initialise(ClockState& s) {
    if (s.initialised) return;
    s.initialised = true;
    const char* setting = std::getenv("QUORIN_CLOCK");
    if (!setting || !*setting) return;
    if (auto t = parseClockSetting(setting)) {
        s.processOffset = fieldMs(*t) - hostUtcMs();
        s.offset = s.processOffset;
    } else {
        std::fprintf(stderr,
                     "QUORIN_CLOCK: \"%s\" is not a valid \"YYYY-MM-DD HH:MM:SS\"; "
                     "using the host's local time\n",
                     setting);
    }
}

// Caller holds the mutex.
int64_t readingMs(ClockState& s) {
    initialise(s);
    if (s.frozen) return s.held;
    return s.offset ? hostUtcMs() + *s.offset : hostLocalMs();
}

}  // namespace

SystemTime localTime() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return fromFieldMs(readingMs(s));
}

bool setDeviceTime(const SystemTime& t) {
    if (!isValidTime(t)) return false;
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    initialise(s);
    int64_t ms = fieldMs(t);
    s.offset = ms - hostUtcMs();
    s.held = ms;
    return true;
}

void freeze(bool frozen) {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    if (frozen == s.frozen) return;
    if (frozen) {
        s.held = readingMs(s);
        s.frozen = true;
    } else {
        s.frozen = false;
        s.offset = s.held - hostUtcMs();
    }
}

void resetDeviceTime() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    initialise(s);
    s.frozen = false;
    s.offset = s.processOffset;
}

std::optional<SystemTime> parseClockSetting(std::string_view text) {
    // Fixed positions: "YYYY-MM-DD HH:MM:SS".
    static constexpr std::string_view shape = "0000-00-00 00:00:00";
    if (text.size() != shape.size()) return std::nullopt;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '0' ? !digit : text[i] != shape[i]) return std::nullopt;
    }
    auto field = [&](size_t pos, size_t len) {
        int v = 0;
        for (size_t i = pos; i < pos + len; ++i) v = v * 10 + (text[i] - '0');
        return v;
    };
    SystemTime t;
    t.year = field(0, 4);
    t.month = field(5, 2);
    t.day = field(8, 2);
    t.hour = field(11, 2);
    t.minute = field(14, 2);
    t.second = field(17, 2);
    if (!isValidTime(t)) return std::nullopt;
    t.dayOfWeek = fromDayNumber(dayNumber(t.year, t.month, t.day)).dayOfWeek;
    return t;
}

std::optional<cedb::FileTime> toFileTime(const SystemTime& t) {
    if (!isValidTime(t)) return std::nullopt;
    return cedb::FileTime::fromValue(uint64_t(fieldMs(t)) * kTicksPerMs);
}

std::optional<SystemTime> fromFileTime(const cedb::FileTime& ft) {
    static const uint64_t limit = uint64_t(dayNumber(kMaxYear + 1, 1, 1)) * kMsPerDay * kTicksPerMs;
    uint64_t v = ft.value();
    if (v >= limit) return std::nullopt;
    return fromFieldMs(int64_t(v / kTicksPerMs));
}

int64_t dayNumber(int year, int month, int day) {
    // Carry the month into the year, then count days from 1 March so February ends the year.
    int64_t y = year + floorDiv(int64_t(month) - 1, 12);
    int64_t m = floorMod(int64_t(month) - 1, 12) + 1;
    y -= m <= 2;
    int64_t era = floorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    int64_t unixDays = era * 146'097 + doe - 719'468;
    return unixDays + kUnixEpochDay + (int64_t(day) - 1);
}

SystemTime fromDayNumber(int64_t days) {
    int64_t z = days - kUnixEpochDay + 719'468;
    int64_t era = floorDiv(z, 146'097);
    int64_t doe = z - era * 146'097;
    int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    SystemTime t;
    t.day = int(doy - (153 * mp + 2) / 5 + 1);
    t.month = int(mp < 10 ? mp + 3 : mp - 9);
    t.year = int(yoe + era * 400 + (t.month <= 2));
    // 1601-01-01 was a Monday.
    t.dayOfWeek = int(floorMod(days + 1, 7));
    return t;
}

bool isValidDate(int year, int month, int day) {
    return year >= kMinYear && year <= kMaxYear && day >= 1 && day <= daysInMonth(year, month);
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

}  // namespace clk
