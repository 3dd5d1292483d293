// The appointment screens' reads on 5000 mixed records (people in groups, appointments with
// participants, anniversaries with every repeat code): a person's history, the day's agenda,
// the picker's group members and the group expansion at save, each one record walk, with a
// plain SQLite scan of the same rows as the yardstick.
#include <benchmark/benchmark.h>

#include <string>

#include "appointments/meeting_rows.h"
#include "appointments/participant_selection.h"
#include "bench_device.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "heap/heap.h"
#include "store/record_image.h"
#include "store/record_store.h"

namespace {

constexpr int kRecords = 5000;
const char16_t* const kGroups[] = {u"VIP", u"친구, VIP", u"회사 동료", u"친구", u"동창생, 친구"};
const char16_t* const kRules[] = {u"50;0;3;", u"100;0;5;", u"200;0;2;", u"300;7;1;"};

struct Fixture {
    CRecordStore store;
    int personId = 0;

    static Fixture& get() {
        static Fixture* f = new Fixture;
        return *f;
    }

    static cedb::FileTime at(int y, int m, int d, int h) {
        clk::SystemTime t;
        t.year = y, t.month = m, t.day = d, t.hour = h;
        return *clk::toFileTime(t);
    }

    Fixture() {
        store.CreateDatabases();
        store.OpenDatabase(61228, MainHandle);
        for (int i = 0; i < kRecords; ++i) {
            RecordImage r{};
            const int kind = i % 3;
            r.kind = kind == 0 ? PersonKind : kind == 1 ? AppointmentKind : AnniversaryKind;
            setText(r.name, u"홍길동 " + std::u16string(1, char16_t(u'가' + i % 100)));
            setText(r.groups, kGroups[i % 5]);
            const int month = 1 + i % 12, day = 1 + i % 28;
            if (kind == 1) {
                setText(r.participantIds,
                        u"11;" + std::u16string(1, char16_t(u'1' + i % 9)) + u"1;#;");
                setText(r.participantNames, u"홍길동;김철수;");
                r.start = at(2002, month, day, 9);
                r.end = at(2002, month, day, 10);
            } else if (kind == 2) {
                setText(r.participantIds, u"11");
                setText(r.participantNames, u"홍길동");
                r.start = r.end = at(1990 + i % 10, month, day, 0);
                setText(r.place, kRules[i % 4]);
            }
            setText(r.content, u"분기 실적 검토와 다음 분기 계획 논의");
            store.AddRecord(r);
            if (i == 0) personId = r.id;
        }
    }
};

void BM_HistoryOfAPerson(benchmark::State& state) {
    auto& f = Fixture::get();
    size_t rows = 0;
    for (auto _ : state) {
        rows = appointments::buildHistory(f.store, f.personId, appointments::HistoryAppointments)
                   .rows.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_HistoryOfAPerson)->Unit(benchmark::kMillisecond);

void BM_AgendaFill(benchmark::State& state) {
    auto& f = Fixture::get();
    size_t rows = 0;
    for (auto _ : state) {
        rows = appointments::buildAgenda(f.store, {2002, 6, 9}).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_AgendaFill)->Unit(benchmark::kMillisecond);

void BM_PickerTreeGroupMembers(benchmark::State& state) {
    auto& f = Fixture::get();
    const QStringList groups = {QStringLiteral("VIP"), QStringLiteral("친구"),
                                QStringLiteral("회사 동료"), QStringLiteral("동창생")};
    size_t members = 0;
    for (auto _ : state) {
        const auto m = appointments::groupMembers(f.store, groups);
        members = m[0].size() + m[1].size() + m[2].size() + m[3].size();
        benchmark::DoNotOptimize(members);
    }
    state.counters["members"] = double(members);
}
BENCHMARK(BM_PickerTreeGroupMembers)->Unit(benchmark::kMillisecond);

void BM_GroupExpansionAtSave(benchmark::State& state) {
    auto& f = Fixture::get();
    size_t persons = 0;
    for (auto _ : state) {
        appointments::ParticipantSelection s;
        s.addPerson(QStringLiteral("홍길동"), QString::number(f.personId));
        s.addGroup(QStringLiteral("VIP"), QStringLiteral("-5"));
        s.addGroup(QStringLiteral("친구"), QStringLiteral("-6"));
        s.addGroup(QStringLiteral("회사 동료"), QStringLiteral("-9"));
        appointments::expandGroups(f.store, s);
        persons = size_t(s.personIds.size());
        benchmark::DoNotOptimize(persons);
    }
    state.counters["persons"] = double(persons);
}
BENCHMARK(BM_GroupExpansionAtSave)->Unit(benchmark::kMillisecond);

// The yardstick: the same rows read by a plain SQLite scan in the same order, no decoding.
void BM_PlainSqliteScan(benchmark::State& state) {
    Fixture::get();
    benchdevice::plainSqliteScan(state, kRecords);
}
BENCHMARK(BM_PlainSqliteScan)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    heap::keepFreedMemory();  // as the program does
    // The 5000 records are made before any timing starts.
    return benchdevice::runOnTemporaryDevice(argc, argv, "bench", [] { Fixture::get(); });
}
