// When the day's agenda opens by itself. The frame runs two timers: one every second until the
// top of an hour has been seen, and one every hour from start-up. Each tick asks this plain
// class whether the agenda opens now.
#pragma once

#include "clock/clock.h"

class BriefingSchedule {
public:
    explicit BriefingSchedule(int briefingHour = 0) : briefingHour_(briefingHour) {}

    struct Tick {
        bool openAgenda = false;
        bool stopSecondTimer = false;  // the top of the hour has just been seen
    };
    // One timer tick at local time `now`.
    Tick onTick(const clk::SystemTime& now);

    bool hourAligned() const { return hourAligned_; }
    int briefingHour() const { return briefingHour_; }
    void setBriefingHour(int hour) { briefingHour_ = hour; }

private:
    int briefingHour_;
    bool hourAligned_ = false;
    int lastHourSeen_ = -1;
};
