// The schedule benchmarks' store: 5000 records, the first 1000 anniversaries (their repeat codes
// chosen by the benchmark), then appointments and people in turn; and the plain walk reading
// kind, start and place that every calendar refresh is measured beside.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>

#include "clock/clock.h"
#include "store/record_image.h"
#include "store/record_store.h"
#include "store/repeat_rule.h"

namespace benchschedule {

inline constexpr int kRecords = 5000;
inline constexpr int kAnniversaries = 1000;

inline cedb::FileTime at(int y, int m, int d, int hour = 0, int minute = 0) {
    clk::SystemTime t;
    t.year = y, t.month = m, t.day = d, t.hour = hour, t.minute = minute;
    return *clk::toFileTime(t);
}

// Fills a new store; anniversary i has the repeat code codeOf(i), the every-N-days ones dated
// decades back (N from 1 to 3), the others from 1990 to 2004.
inline void fill(CRecordStore& store, const std::function<int(int)>& codeOf) {
    store.CreateDatabases();
    store.OpenDatabase(61228, MainHandle);
    for (int i = 0; i < kRecords; ++i) {
        RecordImage r{};
        setText(r.participantIds, u"11;#;");
        setText(r.participantNames, u"홍길동");
        setText(r.content, u"분기 실적 검토와 다음 분기 계획 논의");
        if (i < kAnniversaries) {
            r.kind = AnniversaryKind;
            const int code = codeOf(i);
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

// The program's store, filled at its first use (before any timing: see runOnTemporaryDevice).
inline CRecordStore& filledStore(const std::function<int(int)>& codeOf) {
    static CRecordStore* store = [&] {
        auto* s = new CRecordStore;
        fill(*s, codeOf);
        return s;
    }();
    return *store;
}

inline void plainWalkKindStartPlace(benchmark::State& state, CRecordStore& store) {
    for (auto _ : state) {
        int n = 0;
        store.walkRecords(AnyKind, {PropStart, PropPlace}, [&](const RecordImage& r) {
            n += r.kind != 0 && (r.start.low != 0 || r.place[0] != 0);
            return true;
        });
        benchmark::DoNotOptimize(n);
    }
}

}  // namespace benchschedule
