// The schedule screens on 5000 records, 1000 of them anniversaries of every repeat code (the
// every-N-days ones dated decades back, N from 1 to 3): a month calendar refresh (walk and
// marks), the day list of one day, and laying out 1000 list rows, beside the yardstick of a
// plain walk reading kind, start and place in the same run.
#include <benchmark/benchmark.h>

#include <string>

#include "appointments/list_layout.h"
#include "appointments/schedule_rows.h"
#include "bench_device.h"
#include "clock/clock.h"
#include "store/record_image.h"
#include "store/record_store.h"
#include "store/repeat_rule.h"

namespace {

constexpr int kRecords = 5000;
constexpr int kAnniversaries = 1000;

cedb::FileTime at(int y, int m, int d, int hour = 0, int minute = 0) {
    clk::SystemTime t;
    t.year = y, t.month = m, t.day = d, t.hour = hour, t.minute = minute;
    return *clk::toFileTime(t);
}

struct Fixture {
    CRecordStore store;

    static Fixture& get() {
        static Fixture* f = new Fixture;
        return *f;
    }

    Fixture() {
        store.CreateDatabases();
        store.OpenDatabase(61228, MainHandle);
        const int codes[] = {50, 100, 200, 300};
        for (int i = 0; i < kRecords; ++i) {
            RecordImage r{};
            setText(r.participantIds, u"11;#;");
            setText(r.participantNames, u"홍길동");
            setText(r.content, u"분기 실적 검토와 다음 분기 계획 논의");
            if (i < kAnniversaries) {
                r.kind = AnniversaryKind;
                const int code = codes[i % 4];
                const int period = code == 300 ? 1 + i % 3 : 0;
                r.start = code == 300 ? at(1960 + i % 20, 1 + i % 12, 1 + i % 28)
                                      : at(1990 + i % 15, 1 + i % 12, 1 + i % 28);
                setText(r.place, repeat::write({code, period, i % 11}));
            } else if (i % 2 == 0) {
                r.kind = AppointmentKind;
                r.start = at(2005, 1 + i % 12, 1 + i % 28, 9 + i % 8, i % 60);
                setText(r.place, u"서울 강남구 회의실");
            } else {
                r.kind = PersonKind;
                setText(r.name, u"홍길동");
            }
            store.AddRecord(r);
        }
    }
};

void BM_PlainWalkKindStartPlace(benchmark::State& state) {
    auto& f = Fixture::get();
    for (auto _ : state) {
        int n = 0;
        f.store.walkRecords(AnyKind, {PropStart, PropPlace}, [&](const RecordImage& r) {
            n += r.kind != 0 && (r.start.low != 0 || r.place[0] != 0);
            return true;
        });
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_PlainWalkKindStartPlace)->Unit(benchmark::kMillisecond);

void BM_MonthCalendarRefresh(benchmark::State& state) {
    auto& f = Fixture::get();
    for (auto _ : state) benchmark::DoNotOptimize(schedule::monthMarks(f.store, 2005, 3));
}
BENCHMARK(BM_MonthCalendarRefresh)->Unit(benchmark::kMillisecond);

void BM_FillDay(benchmark::State& state) {
    auto& f = Fixture::get();
    for (auto _ : state) {
        std::vector<listctl::ListRow> rows = schedule::dayRows(f.store, {2005, 3, 14});
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
    return benchdevice::runOnTemporaryDevice(argc, argv, "schedule-bench", [] { Fixture::get(); });
}
