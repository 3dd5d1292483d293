// Backup and restore of a full handheld (4999 records) through the sync service and both
// provider libraries, durable on both sides, beside the store's own durable batch of the same
// records as the yardstick.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cedb/cedb.h"
#include "desk/desk.h"
#include "registry/registry.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "sync_service.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 4999;

const quorinsync::Paths& paths() {
    static const quorinsync::Paths p{HANDREPL, DESKREPL};
    return p;
}

// The desktop's named objects live on in shared memory; each of the benchmark's own roots has
// its objects taken away with it (never those of a desktop the benchmark did not make).
void forgetNamedObjects() {
    const char* root = getenv("QUORIN_DESKTOP");
    if (!root || std::string(root).find("quorin-bench-") == std::string::npos) return;
    desk::unlinkNamed("QuorinMutex");
    desk::unlinkNamed("QuorinChange");
}

fs::path fresh(const std::string& name) {
    forgetNamedObjects();
    const fs::path base = fs::temp_directory_path() / ("quorin-bench-" + std::to_string(getpid()));
    const fs::path dir = base / name;
    fs::remove_all(dir);
    fs::create_directories(dir / "device");
    fs::create_directories(dir / "desktop");
    setenv("QUORIN_DEVICE", (dir / "device").c_str(), 1);
    setenv("QUORIN_DESKTOP", (dir / "desktop").c_str(), 1);
    cedb::closeAllVolumes();
    reg::closeAll();
    return dir;
}

void fill(int n) {
    CRecordStore store;
    store.CreateDatabases();
    store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle);
    CRecordStore::Batch batch(store);
    for (int i = 0; i < n; ++i) {
        RecordImage r{};
        r.kind = i % 2 ? PersonKind : AppointmentKind;
        setText(r.name, u"홍길동");
        setText(r.content, std::u16string(200, u'내'));
        store.AddRecord(r);
    }
    batch.commit();
}

void BM_StoreBatchOf4999Yardstick(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fresh("yardstick");
        state.ResumeTiming();
        fill(kRecords);
    }
}
BENCHMARK(BM_StoreBatchOf4999Yardstick)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FirstBackupOf4999(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        fresh("first");
        fill(kRecords);
        state.ResumeTiming();
        quorinsync::Counts c;
        std::ostringstream err;
        if (quorinsync::backup(paths(), c, err) != 0 || c.added != kRecords)
            state.SkipWithError(err.str().c_str());
    }
}
BENCHMARK(BM_FirstBackupOf4999)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SecondBackupNothingChanged(benchmark::State& state) {
    fresh("second");
    fill(kRecords);
    quorinsync::Counts c;
    std::ostringstream err;
    quorinsync::backup(paths(), c, err);
    for (auto _ : state) {
        quorinsync::Counts again;
        if (quorinsync::backup(paths(), again, err) != 0 || again.added + again.changed != 0)
            state.SkipWithError("the second backup sent records");
    }
}
BENCHMARK(BM_SecondBackupNothingChanged)->Unit(benchmark::kMillisecond)->Iterations(5);

// What a run pays for holding both roots: the two folder locks taken and given back.
void BM_RunExclusionAlone(benchmark::State& state) {
    const fs::path dir = fresh("exclusion");
    for (auto _ : state) {
        auto desktop = desk::FolderLock::acquire(dir / "desktop", 1000);
        auto device = desk::FolderLock::acquire(dir / "device", 1000);
        if (!desktop || !device) state.SkipWithError("the roots could not be locked");
    }
}
BENCHMARK(BM_RunExclusionAlone)->Unit(benchmark::kMicrosecond);

void BM_FullRestoreOf4999(benchmark::State& state) {
    const fs::path dir = fresh("restore");
    fill(kRecords);
    quorinsync::Counts c;
    std::ostringstream err;
    quorinsync::backup(paths(), c, err);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // An empty handheld each time (a new folder: the loaded provider keeps its connections).
        const fs::path device = dir / ("empty-" + std::to_string(round++));
        fs::create_directories(device);
        setenv("QUORIN_DEVICE", device.c_str(), 1);
        state.ResumeTiming();
        quorinsync::Counts r;
        if (quorinsync::restore(paths(), r, err) != 0 || r.added != kRecords) {
            state.SkipWithError("restore failed");
            break;
        }
    }
}
BENCHMARK(BM_FullRestoreOf4999)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    forgetNamedObjects();
    benchmark::Shutdown();
    fs::remove_all(fs::temp_directory_path() / ("quorin-bench-" + std::to_string(getpid())));
    return 0;
}
