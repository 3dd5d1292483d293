// The month calendar's refresh with 1000 lunar yearly anniversaries among 5000 records (dated
// over fifteen lunar years), beside the plain walk reading kind, start and place in the same
// run; what ICU costs for a lunar year the process has not met before; and the holidays the
// calendar reads for its red numbers.
#include <benchmark/benchmark.h>

#include "appointments/schedule_rows.h"
#include "bench_device.h"
#include "schedule_records.h"
#include "store/holidays.h"
#include "store/lunar_calendar.h"

namespace {

using namespace benchschedule;

CRecordStore& records() {
    return filledStore([](int) { return int(RepeatRule::EveryLunarYear); });
}

void BM_PlainWalkKindStartPlace(benchmark::State& state) {
    plainWalkKindStartPlace(state, records());
}
BENCHMARK(BM_PlainWalkKindStartPlace)->Unit(benchmark::kMillisecond);

void BM_MonthCalendarRefreshLunar(benchmark::State& state) {
    // A different month each pass, so no answer is carried from one refresh to the next.
    int month = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            schedule::monthMarks(records(), 2026 + month / 12, 1 + month % 12));
        month = (month + 1) % 48;
    }
}
BENCHMARK(BM_MonthCalendarRefreshLunar)->Unit(benchmark::kMillisecond);

// A lunar year met for the first time: its months asked of ICU (each year once a process).
void BM_LunarYearFromIcu(benchmark::State& state) {
    int year = 3000;
    for (auto _ : state) benchmark::DoNotOptimize(lunar::newYearDay(year++));
}
BENCHMARK(BM_LunarYearFromIcu)->Unit(benchmark::kMillisecond);

// What the calendar adds for its red numbers: the year's holidays, with the device's list.
void BM_MonthHolidays(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(holidays::daysOfMonth(holidays::onDevice(2026), 2026, 5));
}
BENCHMARK(BM_MonthHolidays)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return benchdevice::runOnTemporaryDevice(argc, argv, "lunar-bench", [] { records(); });
}
