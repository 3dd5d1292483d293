// A store with both databases on a fresh device root and the device clock held at kToday,
// with helpers that write records the way the program does.
#pragma once

#include <string_view>

#include "clock/clock.h"
#include "device_root.h"
#include "store/record_store.h"

inline constexpr clk::SystemTime kToday{2026, 3, 0, 14, 10, 30};

// A date `days` days from kToday (negative: before).
clk::SystemTime dayFromToday(int days);
clk::SystemTime date(int year, int month, int day);

class TodayTest : public testsupport::DeviceTest {
protected:
    void SetUp() override;

    void addPerson(std::u16string_view name);
    void addAppointment(const clk::SystemTime& day);
    void addAnniversary(std::u16string_view name, std::u16string_view text,
                        const clk::SystemTime& day, int code, int interval = 0);

    CRecordStore store;
};
