// quorin-sync run as a real process between a device root and a desktop root, and the
// handheld's records and the backup file looked at directly.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "desk/desk.h"
#include "desksync/backup_file.h"
#include "device_root.h"
#include "fs/devfs.h"
#include "registry/registry.h"
#include "store/record_store.h"
#include "strings/string_table.h"

namespace synctest {

struct SyncRun {
    int rc = -1;
    std::string out;
    std::string err;
    bool signalled = false;
};

inline std::string counts(int added, int changed, int deleted) {
    return "added " + std::to_string(added) + "\nchanged " + std::to_string(changed) +
           "\ndeleted " + std::to_string(deleted) + "\n";
}

// A quorin-sync started and not yet waited for; its output goes to files beside the roots.
class Started {
public:
    Started(const std::vector<std::string>& args, const std::filesystem::path& dir) {
        static int n = 0;
        out_ = dir / ("run" + std::to_string(getpid()) + "-" + std::to_string(++n) + ".out");
        err_ = out_;
        err_.replace_extension(".err");
        pid_ = fork();
        if (pid_ == 0) {
            const int o = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, 1);
            dup2(e, 2);
            std::vector<char*> argv{const_cast<char*>("quorin-sync")};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(QUORIN_SYNC, argv.data());
            _exit(127);
        }
    }
    pid_t pid() const { return pid_; }
    SyncRun wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        SyncRun r;
        r.signalled = WIFSIGNALED(status);
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out_);
        r.err = slurp(err_);
        std::filesystem::remove(out_);
        std::filesystem::remove(err_);
        return r;
    }

private:
    static std::string slurp(const std::filesystem::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    pid_t pid_;
    std::filesystem::path out_, err_;
};

class SyncFixture : public testsupport::DeviceTest {
protected:
    void TearDown() override {
        desk::unlinkNamed("QuorinMutex");
        desk::unlinkNamed("QuorinChange");
    }
    // quorin-sync on this test's roots (or on `device`), waited for.
    SyncRun sync(const std::string& command, const std::filesystem::path& device = {}) {
        return start(command, device).wait();
    }
    Started start(const std::string& command, const std::filesystem::path& device = {}) {
        std::vector<std::string> args{"--device",
                                      (device.empty() ? roots.device() : device).string(),
                                      "--desktop", roots.desktop().string()};
        std::istringstream words(command);
        for (std::string w; words >> w;) args.push_back(w);
        return Started(args, roots.desktop().parent_path());
    }
    // Makes the handheld at `root` the one this process's stores work on.
    static void useDevice(const std::filesystem::path& root) {
        testsupport::resetPlatformState();
        std::filesystem::create_directories(root);
        setenv("QUORIN_DEVICE", root.c_str(), 1);
    }
    // Adds `n` records of every kind, texts at their limits; the identifiers added.
    static std::vector<int32_t> addRecords(int n) {
        std::vector<int32_t> ids;
        CRecordStore store;
        EXPECT_TRUE(store.CreateDatabases());
        EXPECT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        CRecordStore::Batch batch(store);
        for (int i = 0; i < n; ++i) {
            RecordImage r{};
            r.kind = i % 3 == 0 ? PersonKind : i % 3 == 1 ? AppointmentKind : AnniversaryKind;
            setText(r.name, u"홍" + std::u16string(8, u'가') + devfs::fromUtf8(std::to_string(i)));
            setText(r.company, u"Company " + devfs::fromUtf8(std::to_string(i)));
            setText(r.content, std::u16string(149, u'내'));
            setText(r.place, u"3;0;1;");
            r.start = cedb::FileTime{uint32_t(i), 30000000};
            r.stamp = cedb::FileTime{7, uint32_t(i)};
            EXPECT_TRUE(store.AddRecord(r));
            ids.push_back(r.id);
        }
        EXPECT_TRUE(batch.commit());
        return ids;
    }
    // Deletes records by identifier (any kind).
    static void deleteRecords(const std::vector<int32_t>& ids) {
        const auto all = records();
        CRecordStore store;
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        for (int32_t id : ids) {
            RecordImage r = all.at(id);
            ASSERT_TRUE(store.DeleteRecord(r)) << id;
        }
    }
    // Every record by identifier, change flags left out; `twice` counts identifiers held twice.
    static std::map<int32_t, RecordImage> records(int* twice = nullptr) {
        std::map<int32_t, RecordImage> all;
        if (twice) *twice = 0;
        cedb::Database db;
        if (!db.open(cedb::objectStore(), std::u16string(MainDatabaseName))) return all;
        for (bool ok = db.seekFirst(); ok; ok = db.seekNext()) {
            RecordImage r{};
            const auto rec = db.readCurrent();
            for (const auto& p : *rec)
                if (p.propId != PropChangeFlags) loadProperty(r, p);
            if (!all.emplace(r.id, r).second && twice) ++*twice;
        }
        return all;
    }
    std::filesystem::path backupFile() const {
        return roots.desktop() / "c" / "Program Files" / "Microsoft ActiveSync" / "Quorin.qrn";
    }
    // The file's records as packets, in file order.
    std::vector<RecordImage> fileRecords() const {
        std::vector<RecordImage> out;
        auto m = desk::FileMapping::open(backupFile(), desksync::kFileSize);
        if (!m) return out;
        const desksync::BackupFile f(m->data());
        for (uint32_t i = 0; i < f.recordCount(); ++i)
            out.push_back(desksync::recordToPacket(f.record(i)));
        return out;
    }
    void emptyDevice() {
        testsupport::resetPlatformState();
        std::filesystem::remove_all(roots.device());
        std::filesystem::create_directories(roots.device());
    }
};

}  // namespace synctest
