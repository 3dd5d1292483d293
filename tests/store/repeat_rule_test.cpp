// The one repeat rule of anniversaries: its text, and when an anniversary occurs.
#include "store/repeat_rule.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

using repeat::Date;
using repeat::Rule;

constexpr int None = 50, Year = 100, Month = 200, Days = 300;

bool on(const Rule& r, Date date, Date day) {
    return repeat::occursOn(r, date, day).has_value();
}

std::vector<int> marked(const Rule& r, Date date, int y, int m) {
    std::vector<int> days;
    const uint32_t bits = repeat::occurrenceDays(r, date, y, m);
    for (int d = 1; d <= 31; ++d)
        if (bits & (1u << (d - 1))) days.push_back(d);
    return days;
}

TEST(RepeatRuleText, ParsesAndWritesTheThreeFields) {
    EXPECT_EQ(repeat::parse(u"300;10;3;"), (Rule{300, 10, 3}));
    EXPECT_EQ(repeat::parse(u" 200 ; -3;x;"), (Rule{200, -3, 0}));
    EXPECT_EQ(repeat::parse(u"100"), (Rule{100, 0, 0}));
    EXPECT_EQ(repeat::parse(u"abc;99999999999;7;9;"), (Rule{0, INT_MAX, 7}));
    EXPECT_EQ(repeat::parse(u""), (Rule{}));
    // A field is read from its first 29 characters only.
    EXPECT_EQ(repeat::parse(std::u16string(29, u'0') + u"5;1;1;").code, 0);

    EXPECT_EQ(repeat::write({300, 10, 3}), u"300;10;3;");
    EXPECT_EQ(repeat::write({50, 0, 0}), u"50;0;0;");
    EXPECT_EQ(repeat::write({300, INT_MAX, 10}), u"300;2147483647;10;");
    // What could not fit the field is clamped field by field, never cut in the middle.
    const std::u16string wide = repeat::write({INT_MIN, INT_MIN, INT_MIN});
    EXPECT_LE(wide.size(), repeat::MaxRuleLength);
    EXPECT_EQ(repeat::parse(wide), (Rule{-9'999'999, -9'999'999, -9'999'999}));
    for (const Rule& r : {Rule{50, 0, 0}, Rule{300, 12345, 10}, Rule{100, 0, -1}})
        EXPECT_EQ(repeat::parse(repeat::write(r)), r);
}

TEST(RepeatRuleOccurs, NeverBeforeItsOwnDate) {
    const Date date{2005, 6, 10};
    for (int code : {None, Year, Month, Days}) {
        const Rule r{code, 1, 0};
        EXPECT_FALSE(on(r, date, {2004, 6, 10})) << code;
        EXPECT_FALSE(on(r, date, {2005, 6, 9})) << code;
        EXPECT_TRUE(on(r, date, {2005, 6, 10})) << code;
        EXPECT_TRUE(marked(r, date, 2004, 6).empty()) << code;
        EXPECT_EQ(repeat::nextOnOrAfter(r, date, {2000, 1, 1})->date, date) << code;
    }
    EXPECT_TRUE(on({Year, 0, 0}, date, {2006, 6, 10}));
    EXPECT_TRUE(on({Month, 0, 0}, date, {2005, 7, 10}));
    EXPECT_FALSE(on({None, 0, 0}, date, {2006, 6, 10}));
}

TEST(RepeatRuleOccurs, MonthEndsAndLeapDaysAreNeverCarriedOver) {
    const Rule yearly{Year, 0, 0}, monthly{Month, 0, 0};
    const Date leap{2004, 2, 29};
    EXPECT_TRUE(on(yearly, leap, {2008, 2, 29}));
    EXPECT_FALSE(on(yearly, leap, {2005, 3, 1}));
    EXPECT_FALSE(on(yearly, leap, {2005, 2, 28}));
    EXPECT_TRUE(marked(yearly, leap, 2005, 2).empty());
    EXPECT_TRUE(marked(yearly, leap, 2100, 2).empty());  // 2100 is no leap year
    EXPECT_EQ(marked(yearly, leap, 2000, 2), std::vector<int>{});
    EXPECT_EQ(marked(yearly, leap, 2400, 2), std::vector<int>{29});
    EXPECT_EQ(repeat::nextOnOrAfter(yearly, leap, {2097, 1, 1})->date, (Date{2104, 2, 29}));

    const Date the31st{2002, 3, 31};
    EXPECT_TRUE(marked(monthly, the31st, 2002, 2).empty());
    EXPECT_EQ(marked(monthly, the31st, 2002, 3), std::vector<int>{31});
    EXPECT_TRUE(marked(monthly, the31st, 2002, 4).empty());
    EXPECT_EQ(marked(monthly, the31st, 2002, 5), std::vector<int>{31});
    EXPECT_FALSE(on(monthly, the31st, {2002, 5, 1}));
    EXPECT_FALSE(on(monthly, the31st, {2002, 4, 30}));
    const auto next = repeat::nextOnOrAfter(monthly, the31st, {2002, 4, 1});
    EXPECT_EQ(next->date, (Date{2002, 5, 31}));
    EXPECT_EQ(next->ahead, 60);
    // Year ends: December's 31st, then January's.
    EXPECT_EQ(repeat::nextOnOrAfter(monthly, the31st, {2003, 12, 31})->date, (Date{2003, 12, 31}));
    EXPECT_EQ(repeat::nextOnOrAfter(monthly, the31st, {2004, 1, 1})->date, (Date{2004, 1, 31}));
    EXPECT_EQ(repeat::nextOnOrAfter(yearly, Date{1999, 1, 1}, {2003, 12, 31})->date,
              (Date{2004, 1, 1}));
}

TEST(RepeatRuleOccurs, EveryNDays) {
    const Rule tenDays{Days, 10, 0};
    EXPECT_EQ(marked(tenDays, {2002, 1, 25}, 2002, 2), (std::vector<int>{4, 14, 24}));
    EXPECT_EQ(repeat::occursOn(tenDays, {2005, 3, 1}, {2005, 3, 11}), 10);
    EXPECT_EQ(repeat::occursOn(tenDays, {2005, 3, 1}, {2005, 3, 1}), 0);
    // Across a year end.
    EXPECT_EQ(repeat::occursOn(tenDays, {2004, 12, 25}, {2005, 1, 4}), 10);
    EXPECT_EQ(marked(tenDays, {2004, 12, 25}, 2005, 1), (std::vector<int>{4, 14, 24}));
    // A start after the day asked shows nothing before it.
    EXPECT_FALSE(on(tenDays, {2005, 3, 20}, {2005, 3, 10}));
    EXPECT_EQ(marked(tenDays, {2005, 3, 20}, 2005, 3), (std::vector<int>{20, 30}));
    const auto next = repeat::nextOnOrAfter(tenDays, {2005, 3, 1}, {2005, 3, 12});
    EXPECT_EQ(next, (repeat::Occurrence{{2005, 3, 21}, 20, 9}));

    // A period below 1 cannot repeat: the anniversary happens once, on its date.
    for (int period : {0, -5, INT_MIN}) {
        const Rule r{Days, period, 3};
        EXPECT_EQ(repeat::occursOn(r, {2005, 3, 1}, {2005, 3, 1}), 0);
        EXPECT_FALSE(on(r, {2005, 3, 1}, {2005, 3, 2}));
        EXPECT_EQ(marked(r, {2005, 3, 1}, 2005, 3), std::vector<int>{1});
        EXPECT_EQ(repeat::announcedOn(r, {2005, 3, 1}, {2005, 2, 27})->ahead, 2);
        EXPECT_FALSE(repeat::nextOnOrAfter(r, {2005, 3, 1}, {2005, 3, 2}));
    }
    // Huge periods and dates far apart do not overflow.
    const Rule huge{Days, INT_MAX, INT_MAX};
    EXPECT_TRUE(on(huge, {1601, 1, 1}, {1601, 1, 1}));
    EXPECT_FALSE(on(huge, {1601, 1, 1}, {30827, 12, 31}));
    EXPECT_TRUE(marked(huge, {1601, 1, 1}, 30827, 12).empty());
    EXPECT_FALSE(repeat::nextOnOrAfter(huge, {1601, 1, 1}, {1601, 1, 2}));
    EXPECT_EQ(repeat::occursOn({Days, 1, 0}, {1601, 1, 1}, {30827, 12, 31}),
              repeat::dayNumber({30827, 12, 31}));
    EXPECT_FALSE(repeat::nextOnOrAfter({Year, 0, 0}, {2000, 5, 5}, {30827, 12, 31}));
    // Unknown codes occur nowhere.
    EXPECT_FALSE(on({0, 0, 0}, {2005, 3, 1}, {2005, 3, 1}));
    EXPECT_TRUE(marked({7, 1, 0}, {2005, 3, 1}, 2005, 3).empty());
}

TEST(RepeatRuleOccurs, AnnouncedWithinTheLead) {
    const Date birthday{1980, 5, 10};
    const Rule yearly{Year, 0, 5};
    EXPECT_EQ(repeat::announcedOn(yearly, birthday, {2005, 5, 7})->ahead, 3);
    EXPECT_EQ(repeat::announcedOn(yearly, birthday, {2005, 5, 10})->ahead, 0);
    EXPECT_FALSE(repeat::announcedOn(yearly, birthday, {2005, 5, 4}));
    EXPECT_FALSE(repeat::announcedOn({Year, 0, 0}, birthday, {2005, 5, 9}));
    // Early January is announced in late December.
    EXPECT_EQ(repeat::announcedOn({Year, 0, 5}, {1980, 1, 2}, {2005, 12, 30})->ahead, 3);
    const auto nDays = repeat::announcedOn({Days, 7, 2}, {2005, 1, 1}, {2005, 1, 13});
    EXPECT_EQ(nDays, (repeat::Occurrence{{2005, 1, 15}, 14, 2}));
}

// A literal stepping loop: the oracle the closed forms are checked against.
std::optional<int64_t> steppedOccursOn(const Rule& r, Date date, Date day) {
    const int code = r.code;
    if (code == None || (code == Days && r.period < 1)) {
        return date == day ? std::optional<int64_t>(0) : std::nullopt;
    }
    if (code == Year) {
        for (int y = date.year; y <= day.year; ++y) {
            if (repeat::isValidDate(y, date.month, date.day) &&
                Date{y, date.month, date.day} == day)
                return 0;
        }
        return std::nullopt;
    }
    if (code == Month) {
        for (int y = date.year, m = date.month; Date{y, m, 1} <= day;
             m == 12 ? (m = 1, ++y) : ++m) {
            if (repeat::isValidDate(y, m, date.day) && Date{y, m, date.day} == day &&
                Date{y, m, date.day} >= date)
                return 0;
        }
        return std::nullopt;
    }
    if (code == Days) {
        int64_t n = repeat::dayNumber(date), elapsed = 0;
        const int64_t target = repeat::dayNumber(day);
        while (n < target) n += r.period, elapsed += r.period;
        return n == target ? std::optional<int64_t>(elapsed) : std::nullopt;
    }
    return std::nullopt;
}

TEST(RepeatRuleOccurs, ClosedFormsAgreeWithSteppingOverRandomRules) {
    std::mt19937 rng(20261208);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto randomDate = [&] {
        const int y = pick(1995, 2030), m = pick(1, 12);
        return Date{y, m, pick(1, repeat::daysInMonth(y, m))};
    };
    const int codes[] = {None, Year, Month, Days, Days, Days, 0, 301};
    for (int i = 0; i < 3000; ++i) {
        const Rule r{codes[pick(0, 7)], pick(-2, 45), pick(0, 10)};
        const Date date = randomDate();
        const Date day = randomDate();
        ASSERT_EQ(repeat::occursOn(r, date, day), steppedOccursOn(r, date, day))
            << r.code << " " << r.period << " from " << date.year << "-" << date.month << "-"
            << date.day << " on " << day.year << "-" << day.month << "-" << day.day;

        const uint32_t bits = repeat::occurrenceDays(r, date, day.year, day.month);
        for (int d = 1; d <= 31; ++d) {
            const bool expected = d <= repeat::daysInMonth(day.year, day.month) &&
                                  steppedOccursOn(r, date, {day.year, day.month, d});
            ASSERT_EQ(bool(bits & (1u << (d - 1))), expected) << "day " << d << " rule " << r.code;
        }

        // The next occurrence is the first day, stepping forward, on which it occurs.
        std::optional<repeat::Occurrence> stepped;
        const int64_t from = repeat::dayNumber(day);
        const int64_t start = std::max(from, repeat::dayNumber(date));
        for (int64_t n = start; n < start + 3000 && !stepped; ++n) {
            if (auto e = steppedOccursOn(r, date, repeat::dateOf(n)))
                stepped = repeat::Occurrence{repeat::dateOf(n), *e, n - from};
        }
        ASSERT_EQ(repeat::nextOnOrAfter(r, date, day), stepped) << r.code << " " << r.period;
    }
}

}  // namespace
