// quorin-sync runs that overlap, die holding the roots, meet a hostile or shrinking backup file,
// or serve two handhelds: nothing may end up doubled, lost or revived.
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <thread>

#include "sync_fixture.h"

namespace {

using namespace synctest;

class SyncOverlapTest : public SyncFixture {
protected:
    // The file holds each record once and the handheld each identifier once.
    void expectEachRecordOnce() {
        std::set<std::pair<uint32_t, int32_t>> keys;
        for (const RecordImage& r : fileRecords())
            EXPECT_TRUE(keys.insert({r.kind, r.id}).second) << "twice in the file: " << r.id;
        int twice = 0;
        records(&twice);
        EXPECT_EQ(twice, 0);
    }
    // A status tells what the backup after it does, and after that there is nothing to do.
    void expectStatusTellsTheTruth() {
        const SyncRun before = sync("status");
        ASSERT_EQ(before.rc, 0) << before.err;
        const SyncRun backup = sync("backup");
        ASSERT_EQ(backup.rc, 0) << backup.err;
        EXPECT_EQ(backup.out, before.out);
        EXPECT_EQ(sync("status").out, counts(0, 0, 0));
        EXPECT_EQ(fileRecords().size(), records().size());
    }
    void setHeader(size_t offset, uint32_t value) {
        auto m = desk::FileMapping::open(backupFile(), desksync::kFileSize);
        ASSERT_TRUE(m);
        desksync::put32(m->data() + offset, value);
    }
    std::string fileBytes() const {
        std::ifstream in(backupFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool deviceHasIdentity() const {
        testsupport::resetPlatformState();
        return bool(reg::Key::open(reg::Hive::LocalMachine, u"Software\\Quorin Sync"));
    }
};

TEST_F(SyncOverlapTest, RunsStartedTogetherOnTheSameRootsTakeTurns) {
    const std::vector<std::vector<std::string>> pairings = {
        {"backup", "backup"},
        {"restore", "restore"},
        {"backup", "restore"},
        {"status", "backup"},
        {"backup", "backup", "restore", "status"},
        {"restore", "restore", "restore", "restore"}};
    const char* scale = getenv("QUORIN_SYNC_ROUNDS");
    std::mt19937 rng(15);
    for (const int n : {300, 4500}) {
        const int rounds = (n == 300 ? 3 : 1) * (scale ? std::max(1, atoi(scale)) : 1);
        emptyDevice();
        std::filesystem::remove_all(roots.desktop());
        std::filesystem::create_directories(roots.desktop());
        const auto ids = addRecords(n);
        ASSERT_EQ(sync("backup").rc, 0);
        for (int round = 0; round < rounds; ++round) {
            for (const auto& runs : pairings) {
                SCOPED_TRACE(std::to_string(n) + " records, round " + std::to_string(round) + ", " +
                             runs[0] + " with " + runs[1]);
                const bool restores = std::count(runs.begin(), runs.end(), "restore") > 0;
                if (restores && round % 2 == 0) {
                    emptyDevice();  // restores onto an empty handheld, as after a reset
                } else {
                    // Some work for the backups: records changed since the last one.
                    CRecordStore store;
                    ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
                    const auto all = records();
                    for (int k = 0; k < 5; ++k) {
                        RecordImage r = all.at(ids[3 * (rng() % (ids.size() / 3))]);  // a person
                        setText(r.company, u"round " + devfs::fromUtf8(std::to_string(round)));
                        ASSERT_TRUE(store.UpdatePerson(r));
                    }
                }
                std::vector<Started> started;
                for (const std::string& run : runs) {
                    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 20000));
                    started.push_back(start(run));
                }
                for (Started& s : started) {
                    const SyncRun r = s.wait();
                    EXPECT_EQ(r.rc, 0) << r.err;
                }
                expectEachRecordOnce();
                if (restores) {
                    EXPECT_EQ(records().size(), size_t(n));
                }
                expectStatusTellsTheTruth();
            }
        }
    }
}

TEST_F(SyncOverlapTest, ARunThatCannotHaveTheRootsWaitsThenChangesNothing) {
    addRecords(5);
    {
        auto held = desk::FolderLock::acquire(roots.desktop(), 0);
        ASSERT_TRUE(held);
        for (const char* command : {"backup", "restore", "status"}) {
            const SyncRun r = sync(std::string("--wait 0.2 ") + command);
            EXPECT_EQ(r.rc, 1) << command;
            EXPECT_NE(r.err.find("another backup, restore or status is running"),
                      std::string::npos);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(backupFile()));
    EXPECT_FALSE(deviceHasIdentity());
    EXPECT_EQ(sync("backup").out, counts(5, 0, 0));
}

TEST_F(SyncOverlapTest, ARunKilledHoldingTheRootsFreesThemAtOnce) {
    addRecords(4500);
    Started run = start("backup");
    // Wait until it holds the roots, then kill it there.
    for (int i = 0; i < 2000 && desk::FolderLock::acquire(roots.device(), 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(run.pid(), SIGKILL);
    EXPECT_TRUE(run.wait().signalled);
    EXPECT_TRUE(desk::FolderLock::acquire(roots.desktop(), 0));
    const SyncRun next = sync("--wait 0 backup");
    EXPECT_EQ(next.rc, 0) << next.err;
    expectEachRecordOnce();
    EXPECT_EQ(fileRecords().size(), 4500u);
}

TEST_F(SyncOverlapTest, StatusWritesNothingAndRestoreNeedsABackup) {
    addRecords(5);
    EXPECT_EQ(sync("status").out, counts(5, 0, 0));
    const SyncRun restore = sync("restore");
    EXPECT_EQ(restore.rc, 1);
    EXPECT_NE(restore.err.find("there is no backup yet"), std::string::npos);
    EXPECT_EQ(restore.out, counts(0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_empty(roots.desktop()));  // no file, no registry
    EXPECT_FALSE(deviceHasIdentity());
    EXPECT_EQ(records().size(), 5u);
    // A handheld without a store is not given one by looking.
    emptyDevice();
    EXPECT_EQ(sync("status").out, counts(0, 0, 0));
    EXPECT_TRUE(std::filesystem::is_empty(roots.device()));
}

TEST_F(SyncOverlapTest, HostileHeadersAreRefusedWithoutTouchingEitherSide) {
    addRecords(41);
    ASSERT_EQ(sync("backup").rc, 0);
    const uint32_t highest = fileRecords().size();  // items 1 to 41
    for (const uint32_t next : {0xFFFFFFFFu, 0u, highest, 7u}) {
        SCOPED_TRACE(next);
        setHeader(desksync::kOffNextId, next);
        const std::string before = fileBytes();
        for (const char* command : {"backup", "status", "restore"}) {
            const SyncRun r = sync(command);
            EXPECT_EQ(r.rc, 1) << command;
            EXPECT_NE(r.err.find("damaged or is not a backup file"), std::string::npos) << r.err;
        }
        EXPECT_EQ(fileBytes(), before);
        EXPECT_EQ(records().size(), 41u);
    }
    // A counter one short of its end takes no new record, and says so without blaming the
    // 4999-record limit; the file stays sound and the record stays marked.
    setHeader(desksync::kOffNextId, 0xFFFFFFFE);
    addRecords(1);
    const SyncRun full = sync("backup");
    EXPECT_EQ(full.rc, 1);
    EXPECT_EQ(full.err.find("4999"), std::string::npos) << full.err;
    EXPECT_EQ(sync("status").out, counts(1, 0, 0));
    EXPECT_EQ(fileRecords().size(), 41u);
}

TEST_F(SyncOverlapTest, ARecordHeldTwiceInTheFileComesBackOnceAndIsNeverWrittenTwice) {
    addRecords(3);
    ASSERT_EQ(sync("backup").rc, 0);
    {
        // Another program appended person 11 again, changed.
        auto m = desk::FileMapping::open(backupFile(), desksync::kFileSize);
        desksync::BackupFile f(m->data());
        RecordImage r = records().at(11);
        setText(r.name, u"나중");
        uint8_t rec[desksync::kRecordSize];
        desksync::packetToRecord(r, {}, rec);
        ASSERT_TRUE(f.append(rec));
    }
    emptyDevice();
    const SyncRun restore = sync("restore");
    EXPECT_EQ(restore.rc, 0);
    EXPECT_EQ(restore.out, counts(3, 0, 0));
    EXPECT_NE(restore.err.find("1 record(s)"), std::string::npos) << restore.err;
    int twice = 0;
    records(&twice);
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(text(records().at(11).name), u"나중");
    // A backup of the record, changed again, writes over one of the two, never a third.
    {
        CRecordStore store;
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        RecordImage p = records().at(11);
        setText(p.name, u"다시");
        ASSERT_TRUE(store.UpdatePerson(p));
    }
    EXPECT_EQ(sync("backup").out, counts(0, 1, 0));
    EXPECT_EQ(fileRecords().size(), 4u);
    EXPECT_EQ(text(fileRecords().back().name), u"다시");
}

TEST_F(SyncOverlapTest, AFileShortenedUnderARunEndsItWithTheMessage) {
    std::mt19937 rng(4);
    addRecords(4500);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::filesystem::remove(backupFile());
        Started run = start("backup");
        for (int i = 0; i < 20000 && (!std::filesystem::exists(backupFile()) ||
                                      desk::FolderLock::acquire(roots.desktop(), 0));
             ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 150000));
        // Another program, at a random moment: truncate(2) in a process of its own.
        const off_t size = off_t(rng() % desksync::kFileSize);
        if (fork() == 0) _exit(truncate(backupFile().c_str(), size) == 0 ? 0 : 1);
        wait(nullptr);
        const SyncRun r = run.wait();
        ASSERT_FALSE(r.signalled);
        if (r.rc != 0) {
            EXPECT_NE(r.err.find("damaged or is not a backup file"), std::string::npos);
        }
        // The next run refuses the short file and leaves it as it is.
        const SyncRun next = sync("backup");
        EXPECT_EQ(next.rc, 1);
        EXPECT_NE(next.err.find("damaged or is not a backup file"), std::string::npos);
        EXPECT_EQ(std::filesystem::file_size(backupFile()), uintmax_t(size));
    }
}

TEST_F(SyncOverlapTest, TwoHandheldsDeleteIntoOneFileAndRestoresReviveNothing) {
    const std::filesystem::path a = roots.device(), b = roots.desktop().parent_path() / "b";
    addRecords(40);
    ASSERT_EQ(sync("backup").rc, 0);
    useDevice(b);
    ASSERT_EQ(sync("restore", b).out, counts(40, 0, 0));
    useDevice(a);
    deleteRecords({11, 21, 31});
    EXPECT_EQ(sync("backup").out, counts(0, 0, 3));
    useDevice(b);
    deleteRecords({41, 51});
    // B's copies of A's three are unchanged: they are not sent back.
    EXPECT_EQ(sync("status", b).out, counts(0, 0, 2));
    EXPECT_EQ(sync("backup", b).out, counts(0, 0, 2));
    EXPECT_EQ(fileRecords().size(), 35u);
    const auto onB = records();
    EXPECT_EQ(sync("restore", b).out, counts(0, 35, 0));
    EXPECT_EQ(records().size(), onB.size());
    EXPECT_EQ(sync("backup", b).out, counts(0, 0, 0));
    useDevice(a);
    EXPECT_EQ(sync("restore").out, counts(0, 35, 0));
    for (int32_t gone : {11, 21, 31}) EXPECT_EQ(records().count(gone), 0u) << gone;
    EXPECT_EQ(records().size(), 37u);  // B's deletions do not reach A, nor A's come back
    // A's copies of B's two stay out of the file until A changes them.
    EXPECT_EQ(sync("backup").out, counts(0, 0, 0));
    EXPECT_EQ(fileRecords().size(), 35u);
}

TEST_F(SyncOverlapTest, AFullFileTakesNewRecordsInTheRunThatFreesRoom) {
    const auto ids = addRecords(4999);
    ASSERT_EQ(sync("backup").rc, 0);
    deleteRecords(std::vector<int32_t>(ids.begin(), ids.begin() + 100));
    addRecords(100);
    const SyncRun r = sync("backup");
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, counts(100, 0, 100));
    EXPECT_EQ(fileRecords().size(), 4999u);
    expectEachRecordOnce();
}

TEST_F(SyncOverlapTest, AFirstBackupRemovesWhatTheFileHoldsTwice) {
    addRecords(2);
    std::filesystem::create_directories(backupFile().parent_path());
    ASSERT_TRUE(
        desk::FileMapping::create(backupFile(), desksync::kFileSize, desksync::initializeFile));
    {
        // Another program's file: one record of its own, held twice.
        auto m = desk::FileMapping::open(backupFile(), desksync::kFileSize);
        desksync::BackupFile f(m->data());
        RecordImage r{};
        r.kind = PersonKind;
        r.id = 901;
        setText(r.name, u"둘");
        uint8_t rec[desksync::kRecordSize];
        desksync::packetToRecord(r, {}, rec);
        f.append(rec);
        f.append(rec);
    }
    EXPECT_EQ(sync("backup").out, counts(2, 0, 0));
    EXPECT_EQ(fileRecords().size(), 3u);
    expectEachRecordOnce();
    EXPECT_EQ(sync("status").out, counts(0, 0, 0));
}

TEST_F(SyncOverlapTest, TheMapOfTheEarlierVersionIsTheHandheldsOwn) {
    addRecords(6);
    ASSERT_EQ(sync("backup").rc, 0);
    // The map as the earlier version kept it: one value of object and item, with its handheld.
    const std::u16string path = u"Software\\Quorin\\Partners\\Device\\Sync";
    {
        auto key = reg::Key::open(reg::Hive::CurrentUser, path, reg::Store::Desktop);
        ASSERT_TRUE(key);
        const std::vector<std::u16string> names = key->valueNames();
        ASSERT_EQ(names.size(), 1u);
        const std::vector<uint8_t> now = key->query(names[0])->data;
        std::vector<uint8_t> old;
        for (size_t at = 0; at + 33 <= now.size(); at += 33)
            old.insert(old.end(), now.begin() + at, now.begin() + at + 21);
        testsupport::resetPlatformState();
        const auto identity =
            reg::Key::open(reg::Hive::LocalMachine, u"Software\\Quorin Sync")->query(u"Identity");
        ASSERT_TRUE(identity);
        ASSERT_TRUE(key->remove(names[0]));
        ASSERT_TRUE(key->set(u"Objects", {reg::ValueType::Binary, old}));
        ASSERT_TRUE(key->set(u"Device", *identity));
    }
    deleteRecords({11});
    EXPECT_EQ(sync("status").out, counts(0, 0, 1));
    EXPECT_EQ(sync("backup").out, counts(0, 0, 1));
    EXPECT_EQ(sync("backup").out, counts(0, 0, 0));
    EXPECT_EQ(fileRecords().size(), 5u);
    auto key = reg::Key::open(reg::Hive::CurrentUser, path, reg::Store::Desktop);
    EXPECT_FALSE(key->query(u"Objects"));  // taken over
}

}  // namespace
