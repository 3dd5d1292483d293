#include "cedb/cedb.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cedb/faults.h"
#include "cedb/record_codec.h"
#include "device_root.h"

using namespace cedb;

namespace {

constexpr uint32_t kId = makePropId(0x102, PropType::I4);
constexpr uint32_t kName = makePropId(0x103, PropType::String);
constexpr uint32_t kKind = makePropId(0x223, PropType::UI2);

class CedbTest : public testsupport::DeviceTest {
protected:
    Oid makeDb(const std::u16string& name = u"People", std::vector<SortOrder> sort = {{kId}}) {
        Oid oid = createDatabase(objectStore(), name, 10000, sort);
        EXPECT_NE(oid, 0u);
        return oid;
    }

    static Record rec(int32_t id, std::u16string name = u"x") {
        return {PropVal::ui2(0x223, 20), PropVal::i4(0x102, id), PropVal::string(0x103, name)};
    }

    static std::vector<int32_t> walkIds(Database& db) {
        std::vector<int32_t> ids;
        for (bool ok = db.seekFirst(); ok && !db.endOfData(); ok = db.seekNext()) {
            auto r = db.readCurrent({kId});
            ids.push_back(r && !r->empty() ? int32_t(r->front().number) : -1);
        }
        return ids;
    }
};

TEST_F(CedbTest, DatabasesAreFoundByNameAndTypeAndDescribeThemselves) {
    Oid a = makeDb(u"Quorin Database", {{kId}, {makePropId(0x117, PropType::I4)}});
    Oid b = createDatabase(objectStore(), u"Count Database", 11000, {});
    EXPECT_NE(a, b);
    EXPECT_EQ(createDatabase(objectStore(), u"quorin database", 1, {}), 0u);
    EXPECT_EQ(lastError(), Error::AlreadyExists);
    EXPECT_EQ(createDatabase(objectStore(), u"Five", 1, {{1}, {2}, {3}, {4}, {5}}), 0u);

    EXPECT_EQ(findDatabase(objectStore(), u"Quorin Database"), a);
    EXPECT_EQ(findDatabase(objectStore(), u"Nothing"), 0u);
    EXPECT_EQ(enumerateDatabases(objectStore(), 10000), std::vector<Oid>{a});
    EXPECT_EQ(enumerateDatabases(objectStore(), 0), (std::vector<Oid>{a, b}));

    Database db;
    ASSERT_TRUE(db.open(objectStore(), a));
    Oid r = db.addRecord(rec(11, u"홍길동"));
    auto info = objectInfo(objectStore(), a);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->kind, ObjectKind::Database);
    EXPECT_EQ(info->database.name, u"Quorin Database");
    EXPECT_EQ(info->database.type, 10000u);
    EXPECT_EQ(info->database.sortOrders.size(), 2u);
    EXPECT_EQ(info->database.recordCount, 1u);
    EXPECT_GT(info->database.sizeBytes, 0u);
    EXPECT_NE(info->database.lastModified.value(), 0u);
    auto rinfo = objectInfo(objectStore(), r);
    ASSERT_TRUE(rinfo);
    EXPECT_EQ(rinfo->kind, ObjectKind::Record);
    EXPECT_EQ(rinfo->parent, a);

    EXPECT_TRUE(deleteDatabase(objectStore(), a));
    EXPECT_FALSE(objectInfo(objectStore(), r));
    EXPECT_FALSE(db.seekToOid(r));
}

TEST_F(CedbTest, EveryValueTypeRoundTripsInWrittenOrder) {
    Database db;
    ASSERT_TRUE(db.open(objectStore(), makeDb()));
    Record in = {
        PropVal::string(0x103, u"김철수 ;#"),
        PropVal::i2(0x10, -2),
        PropVal::ui2(0x11, 65535),
        PropVal::i4(0x102, -2000000000),
        PropVal::ui4(0x12, 4000000000u),
        PropVal::filetime(0x120, FileTime{0x89abcdef, 0x01d9a000}),
        PropVal::boolean(0x124, true),
        PropVal::bytes(0x13, {0, 1, 2, 255}),
        PropVal::string(0x14, u""),
        PropVal::ui2(0x223, 30),  // kind written last
    };
    Oid oid = db.addRecord(in);
    ASSERT_NE(oid, 0u);
    ASSERT_TRUE(db.seekToOid(oid));
    EXPECT_EQ(db.currentOid(), oid);
    auto out = db.readCurrent();
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, in);
    EXPECT_EQ(out->back().propId, kKind);

    // Only the asked-for properties come back, still in stored order.
    auto some = db.readCurrent({kKind, kName});
    ASSERT_TRUE(some);
    ASSERT_EQ(some->size(), 2u);
    EXPECT_EQ((*some)[0].propId, kName);
    EXPECT_EQ((*some)[1].propId, kKind);
    EXPECT_EQ(findProp(*some, kId), nullptr);
}

TEST_F(CedbTest, UpdateReplacesInPlaceAndAppendsNewProperties) {
    Database db;
    ASSERT_TRUE(db.open(objectStore(), makeDb()));
    Oid oid = db.addRecord(rec(11, u"before"));
    ASSERT_TRUE(db.seekToOid(oid));
    ASSERT_TRUE(db.updateCurrent({PropVal::string(0x103, u"after"), PropVal::ui2(0x222, 3)}));
    auto out = db.readCurrent();
    ASSERT_TRUE(out);
    ASSERT_EQ(out->size(), 4u);
    EXPECT_EQ((*out)[2], PropVal::string(0x103, u"after"));
    EXPECT_EQ((*out)[3], PropVal::ui2(0x222, 3));

    // A property listed twice, or of an unknown type, is refused and changes nothing.
    PropVal odd;
    odd.propId = makePropId(0x50, PropType(0x77));
    EXPECT_FALSE(db.updateCurrent({odd}));
    EXPECT_EQ(lastError(), Error::InvalidArgument);
    EXPECT_FALSE(db.writeRecord(oid, {PropVal::i4(0x1, 1), PropVal::i4(0x1, 2)}));
    EXPECT_EQ(db.readCurrent()->size(), 4u);
    EXPECT_FALSE(db.writeRecord(oid + 1000, {PropVal::i4(0x1, 1)}));
    EXPECT_EQ(lastError(), Error::NotFound);
}

TEST_F(CedbTest, WalkFollowsSortOrderAcrossPagesExactlyOnce) {
    Database db;
    Oid dbOid = makeDb();
    ASSERT_TRUE(db.open(objectStore(), dbOid));
    std::vector<int32_t> expected;
    for (int i = 2500; i >= 1; --i) {
        ASSERT_NE(db.addRecord(rec(i * 10 + 1)), 0u);
        expected.insert(expected.begin(), i * 10 + 1);
    }
    // A record without the sort property goes last.
    ASSERT_NE(db.addRecord({PropVal::string(0x103, u"no id")}), 0u);
    expected.push_back(-1);
    EXPECT_EQ(walkIds(db), expected);
    EXPECT_TRUE(db.endOfData());
    EXPECT_FALSE(db.seekNext());
    EXPECT_FALSE(db.readCurrent());

    Database down;
    Oid desc = makeDb(u"Down", {{kId, true}});
    ASSERT_TRUE(down.open(objectStore(), desc));
    for (int id : {31, 11, 21}) down.addRecord(rec(id));
    EXPECT_EQ(walkIds(down), (std::vector<int32_t>{31, 21, 11}));
}

TEST_F(CedbTest, WritesDuringAWalkDoNotLoseOrRepeatRecords) {
    Database db;
    ASSERT_TRUE(db.open(objectStore(), makeDb()));
    std::vector<Oid> oids;
    for (int i = 1; i <= 40; ++i) oids.push_back(db.addRecord(rec(i)));
    std::vector<int32_t> seen;
    for (bool ok = db.seekFirst(); ok; ok = db.seekNext()) {
        auto r = db.readCurrent({kId});
        ASSERT_TRUE(r);
        int32_t id = int32_t(r->front().number);
        seen.push_back(id);
        if (id % 2 == 0) {
            ASSERT_TRUE(db.deleteRecord(db.currentOid()));  // the current record
        }
        if (id == 5) {
            ASSERT_TRUE(db.writeRecord(oids[30], {PropVal::string(0x103, u"y")}));
        }
    }
    ASSERT_EQ(seen.size(), 40u);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(seen[size_t(i)], i + 1);
    EXPECT_EQ(walkIds(db).size(), 20u);
}

TEST_F(CedbTest, SeekByValueUsesTheSortPropertyOrScans) {
    Database db;
    ASSERT_TRUE(db.open(objectStore(), makeDb(u"Main", {{kId}, {makePropId(0x117, PropType::I4)}})));
    for (int i = 1; i <= 30; ++i) {
        Record r = rec(i * 10 + 1, i == 17 ? u"찾기" : u"x");
        r.push_back(PropVal::i4(0x117, 1000 - i));
        db.addRecord(r);
    }
    ASSERT_TRUE(db.seekFirstEqual(PropVal::i4(0x117, 1000 - 3)));
    EXPECT_EQ(db.readCurrent({kId})->front().number, 31);
    // The walk goes on from there in the open order.
    ASSERT_TRUE(db.seekNext());
    EXPECT_EQ(db.readCurrent({kId})->front().number, 41);

    ASSERT_TRUE(db.seekFirstEqual(PropVal::string(0x103, u"찾기")));
    EXPECT_EQ(db.readCurrent({kId})->front().number, 171);

    EXPECT_FALSE(db.seekFirstEqual(PropVal::i4(0x102, 12)));
    EXPECT_EQ(lastError(), Error::NotFound);
    EXPECT_FALSE(db.readCurrent());
    EXPECT_FALSE(db.seekFirstEqual(PropVal::string(0x103, u"없음")));
}

TEST_F(CedbTest, ObjectIdentifiersAreUniqueNonZeroAndNeverReused) {
    Database db;
    Oid dbOid = makeDb();
    ASSERT_TRUE(db.open(objectStore(), dbOid));
    Oid a = db.addRecord(rec(11));
    ASSERT_TRUE(db.deleteRecord(a));
    EXPECT_FALSE(db.deleteRecord(a));
    EXPECT_EQ(lastError(), Error::NotFound);
    Oid b = db.addRecord(rec(21));
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, a);
    EXPECT_NE(b, dbOid);
    // Other connections (and later starts) see the same records and carry on the numbering.
    closeAllVolumes();
    Database again;
    ASSERT_TRUE(again.open(objectStore(), u"People"));
    EXPECT_EQ(walkIds(again), std::vector<int32_t>{21});
    EXPECT_GT(again.addRecord(rec(31)), b);
}

TEST_F(CedbTest, ArmedFaultsFailTheMatchingCallsOnly) {
    Database db;
    ASSERT_TRUE(db.open(objectStore(), makeDb()));
    faults::arm({faults::Op::Add, u"People", Error::DiskFull, 1, 1});
    EXPECT_NE(db.addRecord(rec(11)), 0u);  // skipped
    EXPECT_EQ(db.addRecord(rec(21)), 0u);
    EXPECT_EQ(lastError(), Error::DiskFull);
    EXPECT_NE(db.addRecord(rec(31)), 0u);  // spent
    EXPECT_EQ(walkIds(db), (std::vector<int32_t>{11, 31}));

    faults::arm({faults::Op::Read, u"Other", Error::NotFound});
    EXPECT_TRUE(db.seekFirst());
    EXPECT_TRUE(db.readCurrent());  // another database's rule
    faults::arm({faults::Op::Read, {}, Error::NotFound, 0, -1});
    EXPECT_FALSE(db.readCurrent());
    EXPECT_FALSE(db.readCurrent());
    faults::clear();
    EXPECT_TRUE(db.readCurrent());

    faults::arm({faults::Op::Delete, {}, Error::WriteFailed});
    EXPECT_FALSE(db.deleteRecord(db.currentOid()));
    EXPECT_EQ(walkIds(db).size(), 2u);
    faults::arm({faults::Op::OpenDatabase});
    Database other;
    EXPECT_FALSE(other.open(objectStore(), u"People"));
    EXPECT_EQ(faults::failuresSoFar(), 2);  // counted since the clear()
}

TEST_F(CedbTest, MountedVolumesAreSeparateAndKeepTheirIdentifier) {
    auto file = roots.device() / "card.vol";
    EXPECT_FALSE(mountVolume(file, false));
    auto vol = mountVolume(file, true);
    ASSERT_TRUE(vol);
    EXPECT_FALSE(vol->isObjectStore());
    EXPECT_EQ(*mountVolume(file, false), *vol);

    Oid inVol = createDatabase(*vol, u"People", 10000, {{kId}});
    ASSERT_NE(inVol, 0u);
    EXPECT_EQ(findDatabase(objectStore(), u"People"), 0u);
    Database db;
    ASSERT_TRUE(db.open(*vol, inVol));
    ASSERT_NE(db.addRecord(rec(11)), 0u);

    ASSERT_TRUE(unmountVolume(*vol));
    EXPECT_FALSE(db.seekFirst());
    EXPECT_FALSE(unmountVolume(*vol));
    EXPECT_FALSE(unmountVolume(objectStore()));
    auto again = mountVolume(file, false);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *vol);
    ASSERT_TRUE(db.open(*again, u"People"));
    EXPECT_EQ(walkIds(db), std::vector<int32_t>{11});
}

TEST_F(CedbTest, AWalkLeftOpenDoesNotStopThisProcessWritingAfterAnotherDid) {
    Oid dbOid = makeDb();
    Database walker;
    ASSERT_TRUE(walker.open(objectStore(), dbOid));
    for (int i = 1; i <= 40; ++i) ASSERT_NE(walker.addRecord(rec(i)), 0u);
    ASSERT_TRUE(walker.seekFirst());
    ASSERT_TRUE(walker.seekNext());  // a walk under way, reading one snapshot
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        closeAllVolumes();
        Database db;
        _exit(db.open(objectStore(), dbOid) && db.addRecord(rec(1000)) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // A write of this process on the same volume, through another handle, while the walk is
    // open over a snapshot older than the other process's write.
    Database writer;
    ASSERT_TRUE(writer.open(objectStore(), dbOid));
    EXPECT_NE(writer.addRecord(rec(2000)), 0u) << errorText(lastError());
    size_t rest = 0;
    while (walker.seekNext()) ++rest;
    EXPECT_TRUE(walker.endOfData());
    EXPECT_EQ(rest, 40u);  // 3..40, then the two added after the walk began
}

TEST_F(CedbTest, AnotherProcessSeesCommittedRecords) {
    Oid dbOid = makeDb();
    closeAllVolumes();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Database db;
        if (!db.open(objectStore(), dbOid)) _exit(2);
        for (int i = 1; i <= 50; ++i) {
            if (!db.addRecord(rec(i * 10 + 1))) _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    Database db;
    ASSERT_TRUE(db.open(objectStore(), dbOid));
    EXPECT_EQ(walkIds(db).size(), 50u);
}

}  // namespace

namespace {

// A damaged stored record is reported, never read past its end.
TEST(RecordCodecTest, EveryTruncationOrWrongLengthIsRefused) {
    Record rec = {PropVal::ui2(0x223, 20), PropVal::string(0x103, u"홍길동"),
                  PropVal::filetime(0x120, FileTime{1, 2}), PropVal::bytes(0x13, {1, 2, 3})};
    std::vector<uint8_t> data = codec::encode(rec);
    ASSERT_EQ(codec::decode(data.data(), data.size()), rec);
    for (size_t n = 0; n < data.size(); ++n) {
        std::vector<uint8_t> cut(data.begin(), data.begin() + std::ptrdiff_t(n));
        EXPECT_FALSE(codec::decode(cut.data(), cut.size())) << "truncated to " << n;
    }
    std::vector<uint8_t> huge = data;
    huge[4 + 4 * 8 + 4] = 0xFF;  // the name's length, far past the end
    EXPECT_FALSE(codec::decode(huge.data(), huge.size()));
    EXPECT_EQ(codec::decode(huge.data(), huge.size(), {makePropId(0x223, PropType::UI2)})->size(), 1u);
}

// A walk remembers where the last record had the wanted properties; a record laid out in any
// other way must still read exactly as it would on its own.
TEST(RecordCodecTest, ARememberedLayoutNeverMisreadsARecordOfAnotherLayout) {
    const uint32_t kind = makePropId(0x223, PropType::UI2),
                   start = makePropId(0x120, PropType::FileTime),
                   place = makePropId(0x113, PropType::String);
    const PropVal k = PropVal::ui2(0x223, 2), n = PropVal::string(0x103, u"홍길동"),
                  s = PropVal::filetime(0x120, FileTime{7, 8}), p = PropVal::string(0x113, u"강남");
    const std::vector<Record> records = {
        {k, n, s, p},  // sets the layout
        {k, n, s, p},  // read at the remembered places
        {p, s, n, k},  // as many properties, the wanted ones elsewhere
        {k, n, p},     // one wanted property missing
        {k, PropVal::string(0x113, u"서울"), s, n},  // a wanted one where another stood
        {k, n, s, p, PropVal::ui2(0x224, 1)},        // one more property
        {k, n, s, p},
    };
    const std::vector<uint32_t> wanted = {kind, start, place};
    codec::Layout layout;
    Record withLayout;
    for (size_t i = 0; i < records.size(); ++i) {
        const std::vector<uint8_t> data = codec::encode(records[i]);
        ASSERT_TRUE(codec::decodeInto(data.data(), data.size(), wanted, withLayout, &layout));
        EXPECT_EQ(withLayout, codec::decode(data.data(), data.size(), wanted)) << "record " << i;
    }
}

}  // namespace
