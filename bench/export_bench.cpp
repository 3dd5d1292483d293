// quorin-sync export of 4999 records (people with every field, appointments with three
// participants, anniversaries of every repeat code, lunar ones among them) into a vCard and an
// iCalendar file, beside the plain SQLite scan of the same rows and the store's walk reading
// every property, in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>

#include "bench_device.h"
#include "fs/devfs.h"
#include "interop/exported_objects.h"
#include "schedule_records.h"

namespace {

constexpr int kRecords = 4999;
constexpr int kCodes[] = {50, 100, 110, 200, 300};

void fill(CRecordStore& store) {
    using benchschedule::at;
    store.CreateDatabases();
    store.OpenDatabase(61228, MainHandle);
    for (int i = 0; i < kRecords; ++i) {
        RecordImage r{};
        if (i % 3 == 0) {
            r.kind = PersonKind;
            setText(r.name, u"홍길동");
            setText(r.company, u"큐오린 주식회사");
            setText(r.title, u"영업부 부장");
            setText(r.address, u"서울특별시 강남구 테헤란로 123");
            setText(r.mobile, u"010-1234-5678");
            setText(r.workPhone, u"02-123-4567");
            setText(r.homePhone, u"None");
            setText(r.fax, u"02-765-4321");
            setText(r.email, u"hong@example.com");
            setText(r.groups, u"개인 친분, VIP");
        } else if (i % 3 == 1) {
            r.kind = AppointmentKind;
            setText(r.participantIds, u"1;4;7;#;");
            setText(r.participantNames, u"홍길동;김철수;이영희;");
            r.start = at(2005 + i % 20, 1 + i % 12, 1 + i % 28, 9 + i % 8, i % 60);
            r.end = at(2005 + i % 20, 1 + i % 12, 1 + i % 28, 18, 0);
            setText(r.place, u"서울 강남구 회의실");
            setText(r.content, u"분기 실적 검토\r\n다음 분기 계획 논의");
        } else {
            r.kind = AnniversaryKind;
            setText(r.participantIds, u"1");
            setText(r.participantNames, u"홍길동");
            setText(r.content, u"생일");
            r.start = at(1960 + i % 40, 1 + i % 12, 1 + i % 28);
            const int code = kCodes[(i / 3) % 5];
            setText(r.place, repeat::write({code, code == 300 ? 7 : 0, i % 4}));
        }
        store.AddRecord(r);
    }
}

CRecordStore& records() {
    static CRecordStore* store = [] {
        auto* s = new CRecordStore;
        fill(*s);
        return s;
    }();
    return *store;
}

void BM_PlainSqliteScan(benchmark::State& state) {
    benchdevice::plainSqliteScan(state, kRecords);
}
BENCHMARK(BM_PlainSqliteScan)->Unit(benchmark::kMillisecond);

void BM_WalkEveryProperty(benchmark::State& state) {
    for (auto _ : state) {
        int n = 0;
        records().walkRecords(AnyKind, EveryRecordProperty, [&](const RecordImage& r) {
            n += r.kind != 0;
            return true;
        });
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_WalkEveryProperty)->Unit(benchmark::kMillisecond);

void BM_ExportFiles(benchmark::State& state) {
    interop::ExportOptions options;
    options.handheld.assign(16, 1);
    const auto dir = devfs::deviceRoot();
    std::ostringstream err;
    for (auto _ : state) {
        interop::ExportCounts counts;
        if (!interop::exportFiles(records(), options, dir / "all.vcf", dir / "all.ics", counts,
                                  err))
            state.SkipWithError(err.str().c_str());
    }
    state.counters["bytes"] = double(std::filesystem::file_size(dir / "all.vcf") +
                                     std::filesystem::file_size(dir / "all.ics"));
}
BENCHMARK(BM_ExportFiles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchdevice::runOnTemporaryDevice(argc, argv, "export-bench", [] { records(); });
}
