// The schedule screens on 5000 records, 1000 of them anniversaries of every repeat code (the
// every-N-days ones dated decades back, N from 1 to 3): a month calendar refresh (walk and
// marks), the day list of one day, and laying out 1000 list rows, beside the yardstick of a
// plain walk reading kind, start and place in the same run.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "appointments/list_layout.h"
#include "appointments/schedule_rows.h"
#include "bench_device.h"
#include "schedule_records.h"

namespace {

using namespace benchschedule;

CRecordStore& records() {
    return filledStore([](int i) { return std::array{50, 100, 200, 300}[size_t(i % 4)]; });
}

void BM_PlainWalkKindStartPlace(benchmark::State& state) {
    plainWalkKindStartPlace(state, records());
}
BENCHMARK(BM_PlainWalkKindStartPlace)->Unit(benchmark::kMillisecond);

void BM_MonthCalendarRefresh(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(schedule::monthMarks(records(), 2005, 3));
}
BENCHMARK(BM_MonthCalendarRefresh)->Unit(benchmark::kMillisecond);

void BM_FillDay(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<listctl::ListRow> rows = schedule::dayRows(records(), {2005, 3, 14});
        listctl::sortRows(rows);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_FillDay)->Unit(benchmark::kMillisecond);

void BM_LayoutThousandRows(benchmark::State& state) {
    std::vector<listctl::ListRow> rows;
    for (int i = 0; i < 1000; ++i)
        rows.push_back(
            {QStringLiteral("%1:00").arg(10 + i % 10),
             QString::fromUtf16(u"분기 실적 검토와 다음 분기 계획 논의 ") + QString::number(i),
             QString::number(11 + 10 * i)});
    for (auto _ : state) {
        std::vector<listctl::ListRow> copy = rows;
        listctl::sortRows(copy);
        benchmark::DoNotOptimize(listctl::layoutScrollingRows(copy, 150).height);
    }
}
BENCHMARK(BM_LayoutThousandRows)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The 5000 records are made before any timing starts.
    return benchdevice::runOnTemporaryDevice(argc, argv, "schedule-bench", [] { records(); });
}
