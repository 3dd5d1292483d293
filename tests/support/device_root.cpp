#include "device_root.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "cedb/cedb.h"
#include "cedb/faults.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "registry/registry.h"
#include "registry/registry_faults.h"
#include "sqlite/sqlite_db.h"

namespace testsupport {

bool damageRecord(int32_t recordId) {
    cedb::Database db;
    if (!db.open(cedb::objectStore(), u"Quorin Database") ||
        !db.seekFirstEqual(cedb::PropVal::i4(0x102, recordId)))
        return false;
    const cedb::Oid oid = db.currentOid();
    db.close();
    sqlite::Connection conn(devfs::objectStoreFile());
    static const uint8_t garbage[] = {0xFF, 0xFF, 0xFF, 0x7F, 0x01};
    sqlite::Statement st(conn.handle(), "UPDATE cedb_records SET props = ?1 WHERE oid = ?2");
    st.bindBlob(1, garbage, sizeof garbage).bind(2, int64_t(oid));
    return st.step() == SQLITE_DONE && sqlite3_changes(conn.handle()) == 1;
}

TempRoots::TempRoots() {
    static std::atomic<int> serial{0};
    base_ = std::filesystem::temp_directory_path() /
            ("quorin-test-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(base_);
    device_ = base_ / "device";
    desktop_ = base_ / "desktop";
    std::filesystem::create_directories(device_);
    std::filesystem::create_directories(desktop_);
    setenv("QUORIN_DEVICE", device_.c_str(), 1);
    setenv("QUORIN_DESKTOP", desktop_.c_str(), 1);
}

TempRoots::~TempRoots() {
    resetPlatformState();
    std::error_code ec;
    std::filesystem::remove_all(base_, ec);
}

std::string runSelf(const std::string& environment, bool withErrors) {
    std::string cmd = environment + " '" +
                      std::filesystem::read_symlink("/proc/self/exe").string() + "'" +
                      (withErrors ? " 2>&1" : "");
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (p && fgets(buf, sizeof buf, p)) out += buf;
    if (p) pclose(p);
    return out;
}

void resetPlatformState() {
    cedb::faults::clear();
    devfs::faults::clear();
    reg::faults::clear();
    cedb::closeAllVolumes();
    reg::closeAll();
    clk::resetDeviceTime();
}

PipeWatchdog::PipeWatchdog(std::vector<std::filesystem::path> pipes)
    : pipes_(std::move(pipes)), thread_([this] {
          for (int i = 0; i < 100 && !done_; ++i)
              std::this_thread::sleep_for(std::chrono::milliseconds(50));
          for (; !done_; std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
              fired_ = true;
              for (const auto& pipe : pipes_) ::close(::open(pipe.c_str(), O_RDWR | O_NONBLOCK));
          }
      }) {}

bool PipeWatchdog::stop() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    return fired_;
}

}  // namespace testsupport
