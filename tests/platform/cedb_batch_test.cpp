// Batches: many writes as one durable transaction, each still checked on its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "cedb/cedb.h"
#include "cedb/faults.h"
#include "device_root.h"
#include "fs/devfs.h"

using namespace cedb;

namespace {

constexpr uint32_t kId = makePropId(0x102, PropType::I4);

class CedbBatchTest : public testsupport::DeviceTest {
protected:
    void SetUp() override {
        dbOid = createDatabase(objectStore(), u"People", 10000, {{kId}});
        ASSERT_NE(dbOid, 0u);
        ASSERT_TRUE(db.open(objectStore(), dbOid));
    }

    static Record rec(int32_t id) {
        return {PropVal::ui2(0x223, 10), PropVal::i4(0x102, id),
                PropVal::string(0x103, std::u16string(40, u'가'))};
    }

    std::vector<int32_t> ids() {
        std::vector<int32_t> out;
        Database walker;
        EXPECT_TRUE(walker.open(objectStore(), dbOid));
        for (bool ok = walker.seekFirst(); ok; ok = walker.seekNext()) {
            auto r = walker.readCurrent({kId});
            out.push_back(r && !r->empty() ? int32_t(r->front().number) : -1);
        }
        return out;
    }

    // How many records another process sees right now.
    int countInAnotherProcess() {
        const pid_t child = fork();
        if (child == 0) {
            Database other;
            if (!other.open(objectStore(), dbOid)) _exit(255);
            int n = 0;
            for (bool ok = other.seekFirst(); ok; ok = other.seekNext()) ++n;
            _exit(n);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    Oid dbOid = 0;
    Database db;
};

TEST_F(CedbBatchTest, OtherProcessesSeeTheRecordsOnlyOnceTheBatchCommits) {
    ASSERT_NE(db.addRecord(rec(1)), 0u);
    Batch batch(objectStore());
    ASSERT_TRUE(batch.active());
    std::set<Oid> oids;
    for (int i = 2; i <= 30; ++i) oids.insert(db.addRecord(rec(i)));
    EXPECT_EQ(oids.size(), 29u) << "every record has its own identifier";
    EXPECT_FALSE(oids.count(0));
    // Another handle of this process reads through the same connection and sees them.
    EXPECT_EQ(ids().size(), 30u);
    EXPECT_EQ(countInAnotherProcess(), 1);
    ASSERT_TRUE(batch.commit());
    EXPECT_FALSE(batch.active());
    EXPECT_EQ(countInAnotherProcess(), 30);
}

TEST_F(CedbBatchTest, AFailedWriteInsideABatchTakesOnlyItselfAlong) {
    Batch batch(objectStore());
    ASSERT_TRUE(batch.active());
    const Oid first = db.addRecord(rec(1));
    ASSERT_NE(first, 0u);
    // Fails inside its savepoint, after its transaction began.
    EXPECT_FALSE(db.writeRecord(first + 1000, {PropVal::i4(0x102, 99)}));
    EXPECT_EQ(lastError(), Error::NotFound);
    faults::arm({faults::Op::Add, u"People", Error::DiskFull});
    EXPECT_EQ(db.addRecord(rec(2)), 0u);
    faults::clear();
    ASSERT_NE(db.addRecord(rec(3)), 0u);
    ASSERT_TRUE(db.seekFirst());
    ASSERT_TRUE(db.updateCurrent({PropVal::i4(0x102, 4)}));
    ASSERT_TRUE(batch.commit());
    EXPECT_EQ(ids(), (std::vector<int32_t>{3, 4}));
}

TEST_F(CedbBatchTest, RollbackFailedCommitAndAnAbandonedScopeLeaveNothing) {
    ASSERT_NE(db.addRecord(rec(1)), 0u);
    {
        Batch batch(objectStore());
        ASSERT_NE(db.addRecord(rec(2)), 0u);
        ASSERT_TRUE(db.seekFirst());
        ASSERT_TRUE(db.deleteRecord(db.currentOid()));
        batch.rollback();
        EXPECT_FALSE(batch.active());
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(ids(), std::vector<int32_t>{1});
    {
        Batch batch(objectStore());
        ASSERT_NE(db.addRecord(rec(3)), 0u);
    }
    EXPECT_EQ(ids(), std::vector<int32_t>{1});

    Batch batch(objectStore());
    ASSERT_NE(db.addRecord(rec(4)), 0u);
    faults::arm({faults::Op::Commit, u"", Error::DiskFull});
    EXPECT_FALSE(batch.commit());
    EXPECT_EQ(lastError(), Error::DiskFull);
    faults::clear();
    EXPECT_EQ(ids(), std::vector<int32_t>{1});
    EXPECT_EQ(countInAnotherProcess(), 1);
    // The volume writes on as usual afterwards.
    ASSERT_NE(db.addRecord(rec(5)), 0u);
    EXPECT_EQ(countInAnotherProcess(), 2);
}

TEST_F(CedbBatchTest, AnInnerBatchRollsBackAloneAndOnlyTheOuterCommitStores) {
    Batch outer(objectStore());
    ASSERT_NE(db.addRecord(rec(1)), 0u);
    {
        Batch inner(objectStore());
        ASSERT_TRUE(inner.active());
        ASSERT_NE(db.addRecord(rec(2)), 0u);
    }
    {
        Batch inner(objectStore());
        ASSERT_NE(db.addRecord(rec(3)), 0u);
        ASSERT_TRUE(inner.commit());
    }
    EXPECT_EQ(countInAnotherProcess(), 0);
    ASSERT_TRUE(outer.commit());
    EXPECT_EQ(ids(), (std::vector<int32_t>{1, 3}));
}

TEST_F(CedbBatchTest, AProcessKilledInsideABatchLeavesNoneOfItAndASoundFile) {
    ASSERT_NE(db.addRecord(rec(1)), 0u);
    const pid_t child = fork();
    if (child == 0) {
        closeAllVolumes();
        Database mine;
        if (!mine.open(objectStore(), dbOid)) _exit(2);
        Batch batch(objectStore());
        for (int i = 2; i < 400; ++i) mine.addRecord(rec(i));
        raise(SIGKILL);
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    closeAllVolumes();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(devfs::objectStoreFile().c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(raw);
    ASSERT_TRUE(db.open(objectStore(), dbOid));
    EXPECT_EQ(ids(), std::vector<int32_t>{1});
    // The identifiers the dead batch took are free again and never collide with stored ones.
    const Oid next = db.addRecord(rec(2));
    EXPECT_NE(next, 0u);
    EXPECT_EQ(ids(), (std::vector<int32_t>{1, 2}));
}

}  // namespace
