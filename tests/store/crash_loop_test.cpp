// Writer processes killed at random moments. A writer adds, updates, deletes and writes batches
// through the record store and tells this process, over a pipe, what it is about to do and what
// has returned. After every kill the store must pass SQLite's integrity check, open as the
// program opens it, hold no identifier twice, and hold every change that returned, whole; the
// change under way when the writer died is there whole or not at all (a batch with all its
// records or none).
//
// QUORIN_CRASH_LOOPS sets the number of kills (scripts/crash-loop runs thousands);
// QUORIN_CRASH_SEED replays a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "fs/devfs.h"
#include "store_fixture.h"
#include "strings/string_table.h"

namespace {

constexpr int kMaxBatch = 12;

enum MsgType : uint32_t { Begin = 1, Done = 2, Failed = 3 };
enum OpType : uint32_t { Add = 1, Update = 2, Delete = 3, BatchOp = 4 };

// One message per write(2), well under PIPE_BUF, so it arrives whole or not at all.
struct Msg {
    MsgType type;
    OpType op;
    uint32_t seq;     // Add, BatchOp: the first new record's seq; Update: the new contents' seq
    int32_t id;       // Update, Delete, and the record a batch updates
    uint32_t n;       // BatchOp: how many records it adds
    int32_t ids[kMaxBatch];
};

// A record's contents follow from a number, so any record read back can be told whole or not.
RecordImage contents(uint32_t kind, uint32_t seq) {
    RecordImage r{};
    r.kind = kind;
    const std::u16string s(std::u16string(u"r") + std::u16string(std::to_string(seq).begin(),
                                                                   std::to_string(seq).end()));
    const char16_t fill = char16_t(u'가' + seq % 1000);
    if (kind == PersonKind) {
        setText(r.name, s);
        setText(r.company, std::u16string(19, fill));
        setText(r.address, std::u16string(49, fill));
        setText(r.mobile, s);
        setText(r.workPhone, s);
        setText(r.homePhone, s);
        setText(r.fax, s);
        setText(r.email, s + u"@x");
        setText(r.groups, s);
    } else {
        setText(r.participantIds, s + u";#;");
        setText(r.participantNames, s + u";");
        setText(r.place, s);
        setText(r.content, std::u16string(299, fill));
        r.start = cedb::FileTime::fromValue(uint64_t(seq) * 10000000ull);
        r.end = r.start;
    }
    return r;
}

// What the store must hold for one identifier.
struct Expected {
    uint32_t kind = 0;
    uint32_t created = 0;  // seq of the add (kept in the stamp)
    uint32_t current = 0;  // seq of the contents now
};

bool sameContents(const RecordImage& a, const RecordImage& b) {
    for (uint32_t p : RecordProperties) {
        if (p == PropId || p == PropKey || p == PropChangeFlags || p == PropStamp) continue;
        if (*propertyOf(a, p) != *propertyOf(b, p)) return false;
    }
    return true;
}

void send(int fd, const Msg& m) {
    if (write(fd, &m, sizeof m) != ssize_t(sizeof m)) _exit(9);
}

// The writer: runs until killed.
[[noreturn]] void writer(int fd, uint32_t firstSeq, unsigned seed) {
    std::mt19937 rng(seed);
    CRecordStore store;
    if (!store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle)) _exit(2);
    std::vector<std::pair<int32_t, uint32_t>> live;  // id, kind
    store.walkRecords(AnyKind, {PropId}, [&](const RecordImage& r) {
        live.emplace_back(r.id, r.kind);
        return true;
    });
    uint32_t seq = firstSeq;
    auto kindFor = [](uint32_t s) { return s % 2 ? PersonKind : AnniversaryKind; };
    auto add = [&](uint32_t s, int32_t* id) {
        RecordImage r = contents(kindFor(s), s);
        r.stamp = cedb::FileTime::fromValue(s);
        if (!store.AddRecord(r)) return false;
        *id = r.id;
        live.emplace_back(r.id, r.kind);
        return true;
    };
    auto update = [&](int32_t id, uint32_t kind, uint32_t s) {
        RecordImage r = contents(kind, s);
        r.id = id;
        return kind == PersonKind ? store.UpdatePerson(r) : store.UpdateEvent(r) == UpdateEventDone;
    };
    for (;;) {
        const unsigned roll = rng() % 100;
        const size_t n = live.size();
        // Past 150 records mostly deletes, so the store stays about that size.
        const bool full = n > 150;
        Msg m{};
        m.type = Begin;
        if (n < 20 || roll < (full ? 10u : 30u)) {
            m.op = Add;
            m.seq = seq++;
            send(fd, m);
            m.type = add(m.seq, &m.id) ? Done : Failed;
        } else if (roll < (full ? 65u : 45u)) {
            const size_t i = rng() % n;
            m.op = Delete;
            m.id = live[i].first;
            send(fd, m);
            RecordImage r{};
            r.kind = live[i].second;
            r.id = r.key = live[i].first;
            m.type = store.DeleteRecord(r) ? Done : Failed;
            live.erase(live.begin() + std::ptrdiff_t(i));
        } else if (roll < (full ? 90u : 70u)) {
            const auto [id, kind] = live[rng() % n];
            m.op = Update;
            m.id = id;
            m.seq = seq++;
            send(fd, m);
            m.type = update(id, kind, m.seq) ? Done : Failed;
        } else {
            const auto [id, kind] = live[rng() % n];
            m.op = BatchOp;
            m.n = 2 + rng() % (full ? 3 : kMaxBatch - 1);
            m.seq = seq;
            seq += m.n + 1;  // the last seq is the update's
            m.id = id;
            send(fd, m);
            CRecordStore::Batch batch(store);
            bool ok = batch.begun();
            for (uint32_t k = 0; ok && k < m.n; ++k) ok = add(m.seq + k, &m.ids[k]);
            ok = ok && update(id, kind, m.seq + m.n) && batch.commit();
            m.type = ok ? Done : Failed;
        }
        send(fd, m);
    }
}

class CrashLoopTest : public StoreTest {
protected:
    std::map<int32_t, Expected> model;
    uint32_t nextSeq = 1;

    // Reads the records as stored: identifier -> image; fails on a duplicate or a torn record.
    std::map<int32_t, RecordImage> stored() {
        std::map<int32_t, RecordImage> out;
        for (const cedb::Record& rec : storedRecords()) {
            EXPECT_EQ(rec.size(), 27u) << "a record lacks properties";
            RecordImage r{};
            for (const cedb::PropVal& p : rec) loadProperty(r, p);
            EXPECT_EQ(r.id, r.key);
            EXPECT_EQ(r.id % 10, 1);
            EXPECT_TRUE(out.emplace(r.id, r).second) << "identifier " << r.id << " twice";
        }
        return out;
    }

    static std::string integrity() {
        sqlite3* db = nullptr;
        std::string result = "cannot open";
        if (sqlite3_open(devfs::objectStoreFile().c_str(), &db) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return result;
    }

    bool matches(const RecordImage& r, const Expected& e) const {
        RecordImage want = contents(e.kind, e.current);
        return r.kind == e.kind && r.stamp.value() == e.created && sameContents(r, want);
    }

    // Checks the store against the model and the change under way; adopts what that change
    // left. Returns false after the first mismatch (reported).
    bool verify(const std::optional<Msg>& pending) {
        EXPECT_EQ(integrity(), "ok");
        testsupport::resetPlatformState();
        {
            CRecordStore reopened;
            EXPECT_TRUE(reopened.CreateDatabases());
            EXPECT_TRUE(reopened.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        }
        std::map<int32_t, RecordImage> now = stored();
        if (::testing::Test::HasFailure()) return false;

        std::set<int32_t> loose;  // identifiers the pending change may have touched
        if (pending && (pending->op == Update || pending->op == Delete || pending->op == BatchOp))
            loose.insert(pending->id);
        for (const auto& [id, e] : model) {
            if (loose.count(id)) continue;
            auto it = now.find(id);
            if (it == now.end()) {
                ADD_FAILURE() << "record " << id << " returned as written, now gone";
                return false;
            }
            if (!matches(it->second, e)) {
                ADD_FAILURE() << "record " << id << " is not the change that returned";
                return false;
            }
        }
        std::vector<int32_t> extra;
        for (const auto& [id, r] : now)
            if (!model.count(id)) extra.push_back(id);

        if (!pending) {
            EXPECT_TRUE(extra.empty()) << extra.size() << " records nobody wrote";
        } else if (pending->op == Add) {
            EXPECT_LE(extra.size(), 1u);
            for (int32_t id : extra) {
                Expected e{now[id].kind, pending->seq, pending->seq};
                EXPECT_TRUE(matches(now[id], e)) << "a half-made record " << id;
                model[id] = e;
            }
        } else if (pending->op == Update) {
            Expected& e = model[pending->id];
            Expected updated = e;
            updated.current = pending->seq;
            auto it = now.find(pending->id);
            EXPECT_TRUE(it != now.end());
            if (it != now.end()) {
                EXPECT_TRUE(matches(it->second, e) || matches(it->second, updated))
                    << "an update torn in record " << pending->id;
                if (matches(it->second, updated)) e = updated;
            }
            EXPECT_TRUE(extra.empty());
        } else if (pending->op == Delete) {
            auto it = now.find(pending->id);
            if (it == now.end()) {
                model.erase(pending->id);
            } else {
                EXPECT_TRUE(matches(it->second, model[pending->id]));
            }
            EXPECT_TRUE(extra.empty());
        } else {
            // A batch: all of it or none of it.
            Expected& target = model[pending->id];
            Expected updated = target;
            updated.current = pending->seq + pending->n;
            const bool targetNew = now.count(pending->id) && matches(now[pending->id], updated);
            const bool targetOld = now.count(pending->id) && matches(now[pending->id], target);
            if (extra.empty()) {
                EXPECT_TRUE(targetOld) << "a batch left its update without its records";
            } else {
                EXPECT_EQ(extra.size(), pending->n) << "a batch stored in part";
                EXPECT_TRUE(targetNew) << "a batch stored its records without its update";
                for (size_t k = 0; k < extra.size(); ++k) {
                    const uint32_t s = pending->seq + uint32_t(k);
                    Expected e{now[extra[k]].kind, s, s};
                    EXPECT_TRUE(matches(now[extra[k]], e)) << "a half-made batch record";
                    model[extra[k]] = e;
                }
                target = updated;
            }
        }
        int32_t highest = 0;
        for (const auto& [id, r] : now) highest = std::max(highest, id);
        EXPECT_GT(storedCounter() * 10 + 1, highest) << "the counter fell behind a stored record";
        return !::testing::Test::HasFailure();
    }

    // Applies a message that returned.
    void apply(const Msg& m) {
        if (m.type != Done) return;
        switch (m.op) {
            case Add:
                model[m.id] = {m.seq % 2 ? PersonKind : AnniversaryKind, m.seq, m.seq};
                break;
            case Update:
                model[m.id].current = m.seq;
                break;
            case Delete:
                model.erase(m.id);
                break;
            case BatchOp:
                for (uint32_t k = 0; k < m.n; ++k) {
                    const uint32_t s = m.seq + k;
                    model[m.ids[k]] = {s % 2 ? PersonKind : AnniversaryKind, s, s};
                }
                model[m.id].current = m.seq + m.n;
                break;
        }
    }
};

TEST_F(CrashLoopTest, WritersKilledAtRandomMomentsLeaveEveryReturnedChangeWhole) {
    const char* loopsText = std::getenv("QUORIN_CRASH_LOOPS");
    const char* seedText = std::getenv("QUORIN_CRASH_SEED");
    const int loops = loopsText ? std::atoi(loopsText) : 200;
    const unsigned seed = seedText ? unsigned(std::strtoul(seedText, nullptr, 10))
                                   : std::random_device{}();
    std::mt19937 rng(seed);
    store.CloseDatabase(MainHandle);
    testsupport::resetPlatformState();
    int changesReturned = 0;
    int pendingAtKill = 0;

    for (int loop = 0; loop < loops; ++loop) {
        SCOPED_TRACE("kill " + std::to_string(loop) + ", QUORIN_CRASH_SEED=" +
                     std::to_string(seed));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const unsigned childSeed = unsigned(rng());
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            writer(fds[1], nextSeq, childSeed);
        }
        close(fds[1]);
        // Mostly in the middle of writes; now and then while the writer is still opening.
        const int delayUs = rng() % 10 == 0 ? int(rng() % 2000) : int(1000 + rng() % 40000);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;

        std::optional<Msg> pending;
        Msg m;
        while (read(fds[0], &m, sizeof m) == ssize_t(sizeof m)) {
            if (m.type == Begin) {
                pending = m;
                const uint32_t used = m.op == BatchOp ? m.seq + m.n + 1 : m.seq + 1;
                nextSeq = std::max(nextSeq, used);
            } else {
                apply(m);
                pending.reset();
                if (m.type == Done) ++changesReturned;
            }
        }
        close(fds[0]);
        if (pending) ++pendingAtKill;
        ASSERT_TRUE(verify(pending));
        testsupport::resetPlatformState();
    }
    RecordProperty("kills", loops);
    std::printf("%d writers killed, %d changes returned, %d kills in the middle of a change, "
                "%zu records at the end (seed %u)\n",
                loops, changesReturned, pendingAtKill, model.size(), seed);
    EXPECT_GT(changesReturned, loops) << "the writers hardly wrote anything before dying";
}

}  // namespace
