// Korean public holidays by rule, against the published lists, and the one-time list a user keeps.
#include "store/holidays.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>

#include "device_root.h"
#include "fs/devfs.h"

namespace {

using holidays::Holiday;
using repeat::Date;

std::string listed(const std::vector<Holiday>& days) {
    std::string out;
    for (const Holiday& h : days) {
        char date[16];
        std::snprintf(date, sizeof date, "%02d-%02d ", h.date.month, h.date.day);
        out += date + devfs::toUtf8(h.name) + "\n";
    }
    return out;
}

std::vector<Date> substitutes(int year) {
    std::vector<Date> out;
    for (const Holiday& h : holidays::ofYear(year, {}))
        if (h.name == u"대체공휴일") out.push_back(h.date);
    return out;
}

TEST(Holidays, TheWholeOf2026) {
    EXPECT_EQ(listed(holidays::ofYear(2026, {})),
              "01-01 신정\n"
              "02-16 설날\n02-17 설날\n02-18 설날\n"
              "03-01 삼일절\n03-02 대체공휴일\n"
              "05-05 어린이날\n"
              "05-24 부처님오신날\n05-25 대체공휴일\n"
              "06-06 현충일\n"
              "08-15 광복절\n08-17 대체공휴일\n"
              "09-24 추석\n09-25 추석\n09-26 추석\n"
              "10-03 개천절\n10-05 대체공휴일\n"
              "10-09 한글날\n"
              "12-25 기독탄신일\n");
}

TEST(Holidays, SubstitutesFollowTheRulesOfEachYear) {
    // The published substitute holidays. Before 2014 there were none; 설날 and 추석 count only
    // a Sunday or a shared day, the others Saturdays too; the national days from 2021, 부처님
    // 오신날 and 기독탄신일 from 2023.
    const std::map<int, std::vector<Date>> published = {
        {2013, {}},
        {2014, {{2014, 9, 10}}},                 // 추석 on a Sunday
        {2015, {{2015, 9, 29}}},                 // 추석 Sat-Mon: the Sunday only
        {2016, {{2016, 2, 10}}},                 // 설날 Sun-Tue
        {2017, {{2017, 1, 30}, {2017, 10, 6}}},  // 설날 Fri-Sun; 개천절 within 추석
        {2018, {{2018, 5, 7}, {2018, 9, 26}}},   // 어린이날 on a Saturday
        {2019, {{2019, 5, 6}}},                  // 어린이날 on a Sunday
        {2020, {{2020, 1, 27}}},                 // 개천절 on a Saturday: none yet
        {2021, {{2021, 8, 16}, {2021, 10, 4}, {2021, 10, 11}}},
        {2022, {{2022, 9, 12}, {2022, 10, 10}}},  // 부처님오신날 on a Sunday: none yet
        {2023, {{2023, 1, 24}, {2023, 5, 29}}},   // 설날 Sat-Mon: Tuesday
        {2024, {{2024, 2, 12}, {2024, 5, 6}}},
        {2025, {{2025, 3, 3}, {2025, 5, 6}, {2025, 10, 8}}},  // 어린이날 = 부처님오신날: one
        {2027, {{2027, 2, 9}, {2027, 8, 16}, {2027, 10, 4}, {2027, 10, 11}, {2027, 12, 27}}},
        {2028, {{2028, 10, 5}}},  // 개천절 within 추석
        {2029, {{2029, 5, 7}, {2029, 5, 21}, {2029, 9, 24}}},
    };
    for (const auto& [year, days] : published) EXPECT_EQ(substitutes(year), days) << year;
}

TEST(Holidays, TwoOnOneDayAreTwoInListOrder) {
    const std::vector<Holiday> year = holidays::ofYear(2025, {});
    EXPECT_EQ(holidays::namesOn(year, {2025, 5, 5}), u"어린이날, 부처님오신날");
    EXPECT_EQ(holidays::namesOn(year, {2025, 5, 7}), u"");
    const uint32_t may = holidays::daysOfMonth(year, 2025, 5);
    EXPECT_EQ(may, (1u << 4) | (1u << 5));
}

TEST(Holidays, OneTimeDaysJoinTheYearAndCountForSubstitutes) {
    // An election on 2026-06-03, and a declared day on 2027-05-13 (부처님오신날, a Thursday):
    // the shared day calls for a substitute on Friday.
    const holidays::OneTimeList list = holidays::parseOneTime(
        "\xEF\xBB\xBF# one-time holidays\r\n"
        "2026-06-03 전국동시지방선거\r\n"
        "\n"
        "2027-05-13\t임시공휴일   # declared\n"
        "2026-03-01 삼일절\n");  // a computed one again changes nothing
    ASSERT_EQ(list.skipped, 0);
    ASSERT_EQ(list.days.size(), 3u);
    EXPECT_EQ(list.days[1], (Holiday{{2027, 5, 13}, u"임시공휴일"}));
    const std::vector<Holiday> y2026 = holidays::ofYear(2026, list.days);
    EXPECT_EQ(holidays::namesOn(y2026, {2026, 6, 3}), u"전국동시지방선거");
    EXPECT_EQ(holidays::namesOn(y2026, {2026, 3, 1}), u"삼일절");
    EXPECT_EQ(substitutes(2026),
              (std::vector<Date>{{2026, 3, 2}, {2026, 5, 25}, {2026, 8, 17}, {2026, 10, 5}}));
    const std::vector<Holiday> y2027 = holidays::ofYear(2027, list.days);
    EXPECT_EQ(holidays::namesOn(y2027, {2027, 5, 13}), u"부처님오신날, 임시공휴일");
    EXPECT_EQ(holidays::namesOn(y2027, {2027, 5, 14}), u"대체공휴일");
}

TEST(Holidays, BadAndHostileLinesAreSkippedAndCounted) {
    const std::string tooLong = "2026-07-01 " + std::string(400, 'x');
    const holidays::OneTimeList list = holidays::parseOneTime(
        "2026-02-30 없는날\n"  // no such date
        "2026-13-01 없는달\n"
        "26-07-01 짧은해\n"
        "2026-07-01\n"           // no name
        "2026-07-01이름\n"       // no blank after the date
        "2026-07-01 \xFF\xFE\n"  // not UTF-8
        "2026-07-01 a\x01"
        "b\n"  // a control character
        + tooLong + "\n" + "2026-07-02 " + std::string(30, 'y') +
        "\n"  // cut to the longest name kept
        "2026-07-03 ok");
    EXPECT_EQ(list.skipped, 8);
    ASSERT_EQ(list.days.size(), 2u);
    EXPECT_EQ(list.days[0].name, std::u16string(holidays::MaxNameLength, u'y'));
    EXPECT_EQ(list.days[1], (Holiday{{2026, 7, 3}, u"ok"}));
}

class HolidaysFile : public testsupport::DeviceTest {};

TEST_F(HolidaysFile, ReadFromTheDeviceRootWithCare) {
    EXPECT_TRUE(holidays::readOneTimeFile().days.empty());  // none there
    const auto path = devfs::deviceRoot() / "Holidays.txt";
    std::ofstream(path) << "2026-06-03 전국동시지방선거\nnonsense\n";
    holidays::OneTimeList list = holidays::readOneTimeFile();
    EXPECT_EQ(list.days.size(), 1u);
    EXPECT_EQ(list.skipped, 1);

    // A file larger than is read: the part read is taken, the rest counted once.
    {
        std::ofstream out(path);
        for (size_t n = 0; n < holidays::MaxFileBytes / 20 + 10; ++n) out << "2026-06-03 선거일\n";
    }
    list = holidays::readOneTimeFile();
    EXPECT_FALSE(list.days.empty());
    EXPECT_GE(list.skipped, 1);

    // A named pipe is no file: read as none, without waiting for a writer.
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    testsupport::PipeWatchdog watchdog(std::vector<std::filesystem::path>{path});
    EXPECT_TRUE(holidays::readOneTimeFile().days.empty());
    EXPECT_FALSE(watchdog.stop());
}

}  // namespace
