// The record store on 5000 mixed records: the walks the screens make, a lookup by key and a
// durable add, with a plain SQLite scan of the same rows as the yardstick.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_device.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "store/record_image.h"
#include "store/record_store.h"

namespace {

constexpr int kRecords = 5000;

struct Fixture {
    std::filesystem::path root;
    CRecordStore store;
    std::vector<int32_t> keys;

    static Fixture& get() {
        static Fixture* f = new Fixture;
        return *f;
    }

    Fixture() {
        store.CreateDatabases();
        store.OpenDatabase(61228, MainHandle);
        auto stamp = clk::toFileTime(clk::localTime()).value_or(cedb::FileTime{});
        for (int i = 0; i < kRecords; ++i) {
            RecordImage r{};
            r.kind = i % 3 == 0 ? PersonKind : i % 3 == 1 ? AppointmentKind : AnniversaryKind;
            r.stamp = stamp;
            setText(r.name, u"홍길동 " + std::u16string(1, char16_t(u'가' + i % 100)));
            setText(r.company, u"주식회사 큐오린");
            setText(r.mobile, u"010-1234-5678");
            setText(r.participantIds, u"11;31;41;#;");
            setText(r.participantNames, u"홍길동;김철수;이영희;");
            r.start = stamp;
            r.end = stamp;
            setText(r.place, r.kind == AnniversaryKind ? u"100;0;3;" : u"서울 강남구 회의실");
            setText(r.content, u"분기 실적 검토와 다음 분기 계획 논의");
            store.AddRecord(r);
            if (r.kind != PersonKind) keys.push_back(r.id);
        }
    }
};

void BM_WalkKindStartPlace(benchmark::State& state) {
    auto& f = Fixture::get();
    for (auto _ : state) {
        int n = 0;
        f.store.walkRecords(AnyKind, {PropStart, PropPlace}, [&](const RecordImage& r) {
            n += r.start.low != 0 || r.place[0] != 0;
            return true;
        });
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WalkKindStartPlace)->Unit(benchmark::kMillisecond);

void BM_WalkAllProperties(benchmark::State& state) {
    auto& f = Fixture::get();
    for (auto _ : state) {
        int n = 0;
        f.store.walkRecords(
            AnyKind,
            {PropName, PropCompany, PropTitle, PropAddress, PropMobile, PropWorkPhone, PropHomePhone,
             PropFax, PropEmail, PropGroups, PropReserved1, PropReserved2, PropReserved3,
             PropReserved4, PropKey, PropParticipantIds, PropParticipantNames, PropStart, PropEnd,
             PropPlace, PropContent, PropHasSketch, PropSketchName, PropStamp, PropChangeFlags,
             PropId},
            [&](const RecordImage& r) {
                n += r.name[0];
                return true;
            });
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WalkAllProperties)->Unit(benchmark::kMillisecond);

void BM_ReadRecordByKey(benchmark::State& state) {
    auto& f = Fixture::get();
    size_t i = 0;
    for (auto _ : state) {
        RecordImage r{};
        r.kind = AppointmentKind;
        r.key = f.keys[i++ % f.keys.size()];
        benchmark::DoNotOptimize(f.store.ReadRecord(r));
    }
}
BENCHMARK(BM_ReadRecordByKey)->Unit(benchmark::kMicrosecond);

void BM_AddRecordDurable(benchmark::State& state) {
    auto& f = Fixture::get();
    RecordImage r{};
    r.kind = AppointmentKind;
    setText(r.content, u"새 약속");
    setText(r.participantIds, u"#;");
    for (auto _ : state) benchmark::DoNotOptimize(f.store.AddRecord(r));
}
BENCHMARK(BM_AddRecordDurable)->Unit(benchmark::kMicrosecond)->Iterations(500);

// The same walk on the database handle alone: what the cursor costs without the record image.
void BM_CursorWalkThreeProperties(benchmark::State& state) {
    Fixture::get();
    cedb::Database db;
    db.open(cedb::objectStore(), std::u16string(MainDatabaseName));
    const std::vector<uint32_t> wanted = {PropKind, PropStart, PropPlace};
    for (auto _ : state) {
        cedb::Record rec;
        size_t n = 0;
        for (bool ok = db.seekFirst(); ok; ok = db.seekNext()) n += db.readCurrent(rec, wanted);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_CursorWalkThreeProperties)->Unit(benchmark::kMillisecond);

// The yardstick: the same rows read by a plain SQLite scan in the same order, no decoding.
void BM_PlainSqliteScan(benchmark::State& state) {
    Fixture::get();
    benchdevice::plainSqliteScan(state, kRecords);
}
BENCHMARK(BM_PlainSqliteScan)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The 5000 records are made before any timing starts.
    return benchdevice::runOnTemporaryDevice(argc, argv, "bench", [] { Fixture::get(); });
}
