#include "bench_device.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "fs/devfs.h"

namespace benchdevice {

int runOnTemporaryDevice(int argc, char** argv, const std::string& name,
                         const std::function<void()>& prepare) {
    const auto root = std::filesystem::temp_directory_path() /
                      ("quorin-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    setenv("QUORIN_DEVICE", root.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (prepare) prepare();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return 0;
}

void plainSqliteScan(benchmark::State& state, int64_t records) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(devfs::objectStoreFile().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT oid, props FROM cedb_records WHERE db=(SELECT oid FROM "
                       "cedb_databases WHERE name='Quorin Database') ORDER BY n0, k0, oid",
                       -1, &st, nullptr);
    for (auto _ : state) {
        size_t bytes = 0;
        while (sqlite3_step(st) == SQLITE_ROW) bytes += size_t(sqlite3_column_bytes(st, 1));
        sqlite3_reset(st);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * records);
}

}  // namespace benchdevice
