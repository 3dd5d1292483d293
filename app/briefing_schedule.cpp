#include "briefing_schedule.h"

BriefingSchedule::Tick BriefingSchedule::onTick(const clk::SystemTime& now) {
    Tick tick;
    if (!hourAligned_) {
        // The second timer may be late by a little and step over hh:00:00; an hour that changed
        // between two ticks counts as its top, or the agenda would never open.
        bool topOfHour = now.minute == 0 && now.second == 0;
        bool hourPassed = lastHourSeen_ >= 0 && now.hour != lastHourSeen_;
        lastHourSeen_ = now.hour;
        if (!topOfHour && !hourPassed) return tick;
        hourAligned_ = true;
        tick.stopSecondTimer = true;
    }
    tick.openAgenda = now.hour == briefingHour_;
    return tick;
}
