// The handheld provider on a real store: which records it lists as changed for each partner,
// how the change flags move, the packets both ways, the volume, and the refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "cedb/faults.h"
#include "device_root.h"
#include "fs/devfs.h"
#include "handsync/handrepl.h"
#include "registry/registry.h"
#include "store/record_store.h"
#include "strings/string_table.h"
#include "winmsg/winmsg.h"

namespace {

using namespace repl;
using cedb::PropVal;

class HandreplTest : public testsupport::DeviceTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        ASSERT_TRUE(reg::Key::create(reg::Hive::LocalMachine, handsync::kVolumeKey)
                        ->setString(handsync::kVolumeValue, u""));
    }
    void TearDown() override {
        if (handler) handler->Release();
        handsync::InitObjType(nullptr, nullptr, 0);
    }
    void init(UINT partner) {
        if (handler) handler->Release();
        handler = nullptr;
        ASSERT_TRUE(handsync::InitObjType(u"Quorin", &handler, partner));
    }
    int32_t addPerson(std::u16string_view name) {
        RecordImage r{};
        r.kind = PersonKind;
        setText(r.name, name);
        EXPECT_TRUE(store.AddRecord(r));
        return r.id;
    }
    static cedb::Database main() {
        cedb::Database db;
        EXPECT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
        return db;
    }
    static CEOID oidOf(int32_t id) {
        cedb::Database db = main();
        EXPECT_TRUE(db.seekFirstEqual(PropVal::i4(cedb::propNumber(PropId), id)));
        return db.currentOid();
    }
    static uint16_t flagsOf(CEOID oid) {
        cedb::Database db = main();
        if (!db.seekToOid(oid)) return 0xFFFF;
        auto rec = db.readCurrent({PropChangeFlags});
        const PropVal* p = cedb::findProp(*rec, PropChangeFlags);
        return p ? uint16_t(p->number) : 0xFFFF;
    }
    static void setFlags(CEOID oid, uint16_t flags) {
        cedb::Database db = main();
        ASSERT_TRUE(db.writeRecord(oid, {PropVal::ui2(cedb::propNumber(PropChangeFlags), flags)}));
    }
    struct Found {
        std::vector<CEOID> unchanged, changed;
    };
    static Found find() {
        FINDOBJINFO fi{};
        fi.szObjType = u"Quorin";
        EXPECT_EQ(handsync::FindObjects(&fi), S_OK);
        Found f;
        f.unchanged.assign(fi.lpOid, fi.lpOid + fi.cUnChg);
        f.changed.assign(fi.lpOid + fi.cUnChg, fi.lpOid + fi.cUnChg + fi.cChg);
        fi.uFlags = FO_DONE_ONE_VOL;
        EXPECT_EQ(handsync::FindObjects(&fi), S_OK);
        return f;
    }
    static OBJNOTIFY notifyOf(CEOID oid, UINT flags) {
        OBJNOTIFY n{};
        n.cbStruct = sizeof n;
        n.uFlags = flags;
        n.oidObject = oid;
        n.oidInfo.wObjType = OBJTYPE_RECORD;
        n.oidInfo.oidParent = main().oid();
        return n;
    }
    RecordImage getPacket(CEOID oid) {
        DEVICE_REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.fRead = TRUE;
        s.oid = oid;
        handler->Setup(&s);
        BYTE* data = nullptr;
        DWORD size = 0;
        EXPECT_EQ(handler->GetPacket(&data, &size, 0), RWRN_LAST_PACKET);
        RecordImage r{};
        EXPECT_EQ(size, sizeof r);
        if (data && size == sizeof r) std::memcpy(&r, data, sizeof r);
        return r;
    }
    HRESULT setPacket(RecordImage r, DEVICE_REPLSETUP& s, DWORD size = sizeof(RecordImage)) {
        s.cbStruct = sizeof s;
        s.fRead = FALSE;
        handler->Setup(&s);
        return handler->SetPacket(reinterpret_cast<BYTE*>(&r), size);
    }

    CRecordStore store;
    IDeviceObjHandler* handler = nullptr;
};

TEST_F(HandreplTest, FindObjectsListsEachPartnersChangesWithoutGaps) {
    init(1);
    EXPECT_TRUE(find().changed.empty());  // an empty database: nothing at all
    const CEOID a = oidOf(addPerson(u"가"));
    const CEOID b = oidOf(addPerson(u"나"));
    const CEOID c = oidOf(addPerson(u"다"));
    const CEOID noFlags = oidOf(addPerson(u"라"));
    setFlags(a, 2);                    // pending for partner 2 only
    setFlags(b, 1 | 4);                // partner 1, changed again
    // A record without flags: neither listed nor object 0.
    {
        cedb::Database db = main();
        ASSERT_TRUE(db.seekToOid(noFlags));
        cedb::Record rec = *db.readCurrent();
        std::erase_if(rec, [](const PropVal& p) { return p.propId == PropChangeFlags; });
        ASSERT_TRUE(db.deleteRecord(noFlags));
        ASSERT_TRUE(db.addRecord(rec));
    }
    Found f = find();
    EXPECT_EQ(f.unchanged, std::vector<CEOID>{a});
    EXPECT_EQ(std::set<CEOID>(f.changed.begin(), f.changed.end()), (std::set<CEOID>{b, c}));
    EXPECT_EQ(flagsOf(b), 1);  // bit 4 cleared, partner bit kept
    EXPECT_EQ(flagsOf(c), 3);

    init(2);
    f = find();
    EXPECT_EQ(std::set<CEOID>(f.changed.begin(), f.changed.end()), (std::set<CEOID>{a, c}));
    EXPECT_EQ(f.unchanged, std::vector<CEOID>{b});
}

TEST_F(HandreplTest, ClearChangeKeepsAChangeMadeDuringTheSync) {
    init(1);
    const CEOID a = oidOf(addPerson(u"가"));
    // Changed again during the synchronisation: the clear answers TRUE and keeps it pending.
    setFlags(a, 1 | 2 | 4);
    OBJNOTIFY n = notifyOf(a, ONF_CLEAR_CHANGE);
    EXPECT_TRUE(handsync::ObjectNotify(&n));
    EXPECT_EQ(flagsOf(a), 3);
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    EXPECT_EQ(flagsOf(a), 2);
    init(2);
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    EXPECT_EQ(flagsOf(a), 0);
    // The program's next update marks it for both again.
    RecordImage r{};
    r.kind = PersonKind;
    r.id = 11;
    setText(r.name, u"가나");
    ASSERT_TRUE(store.UpdatePerson(r));
    EXPECT_EQ(flagsOf(a), 3);
    // A lost race (another writer changed the flags) is run again, not given up.
    cedb::faults::arm({cedb::faults::Op::Update, u"", cedb::Error::Changed, 0, 1});
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    EXPECT_EQ(flagsOf(a), 1);
}

TEST_F(HandreplTest, ChangeNotificationsReportTheObject) {
    init(1);
    const CEOID a = oidOf(addPerson(u"가"));
    setFlags(a, 1 | 4);
    OBJNOTIFY n = notifyOf(a, ONF_CHANGED);
    EXPECT_TRUE(handsync::ObjectNotify(&n));
    EXPECT_EQ(n.cOidChg, 1u);
    ASSERT_TRUE(n.poid);
    EXPECT_EQ(*n.poid, a);
    EXPECT_EQ(flagsOf(a), 1);
    setFlags(a, 2);
    n = notifyOf(a, ONF_CHANGED);
    EXPECT_TRUE(handsync::ObjectNotify(&n));
    EXPECT_EQ(n.cOidChg, 0u);  // not pending for this partner
    n = notifyOf(a, ONF_CHANGED | ONF_DELETED);
    EXPECT_TRUE(handsync::ObjectNotify(&n));
    EXPECT_EQ(n.cOidDel, 1u);
    // Another volume, another parent, a small structure, no flags of interest: not ours.
    n = notifyOf(a, ONF_CHANGED);
    n.cbVolumeID = 16;
    n.volumeID[3] = 1;
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    n = notifyOf(a, ONF_CHANGED);
    n.oidInfo.oidParent += 1000;
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    n = notifyOf(a, ONF_CHANGED);
    n.cbStruct = sizeof n - 1;
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    n = notifyOf(a, 0x01);
    EXPECT_FALSE(handsync::ObjectNotify(&n));
    n = notifyOf(a + 1000, ONF_CHANGED);
    EXPECT_FALSE(handsync::ObjectNotify(&n));
}

TEST_F(HandreplTest, PacketsCarryEveryFieldBothWays) {
    init(1);
    RecordImage r{};
    r.kind = AppointmentKind;
    setText(r.participantIds, u"11;21;#;");
    setText(r.participantNames, std::u16string(199, u'홍'));
    setText(r.place, std::u16string(29, u'장'));
    setText(r.content, std::u16string(299, u'내'));
    setText(r.sketchName, std::u16string(255, u'a'));
    r.start = cedb::FileTime{1, 2};
    r.end = cedb::FileTime{3, 4};
    r.hasSketch = 1;
    r.reserved2 = -1;
    r.stamp = cedb::FileTime{5, 6};
    ASSERT_TRUE(store.AddRecord(r));
    const RecordImage got = getPacket(oidOf(r.id));
    RecordImage want = r;
    want.key = r.id;
    want.changeFlags = 0;  // never in a packet
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0);

    // Back as a new object: stored with the other partner's flag and the sync mark.
    DEVICE_REPLSETUP s{};
    s.dwFlags = RSF_NEW_OBJECT;
    ASSERT_EQ(setPacket(got, s), S_OK);
    ASSERT_NE(s.oidNew, 0u);
    EXPECT_EQ(s.cbVolumeID, 0u);
    EXPECT_EQ(flagsOf(s.oidNew), 2 | 8);
    RecordImage back = getPacket(s.oidNew);
    EXPECT_EQ(std::memcmp(&back, &want, sizeof back), 0);
    // Over an existing object, from partner 2.
    init(2);
    RecordImage person{};
    person.kind = PersonKind;
    person.id = person.key = 31;
    setText(person.name, std::u16string(19, u'김'));
    s = DEVICE_REPLSETUP{};
    s.oid = oidOf(r.id);
    ASSERT_EQ(setPacket(person, s), S_OK);
    EXPECT_EQ(flagsOf(s.oid), 1 | 8);
    back = getPacket(s.oid);
    EXPECT_EQ(std::memcmp(&back, &person, sizeof back), 0);
}

TEST_F(HandreplTest, BadPacketsAreRefusedAndWriteNothing) {
    init(1);
    RecordImage r{};
    r.kind = PersonKind;
    DEVICE_REPLSETUP s{};
    s.dwFlags = RSF_NEW_OBJECT;
    EXPECT_EQ(setPacket(r, s, sizeof r - 1), E_UNEXPECTED);
    r.kind = 11;
    EXPECT_EQ(setPacket(r, s), E_UNEXPECTED);
    r.kind = PersonKind;
    std::fill(std::begin(r.email), std::end(r.email), u'x');  // no terminator
    EXPECT_EQ(setPacket(r, s), E_UNEXPECTED);
    EXPECT_EQ(main().seekFirst(), false);
    // A failed write is reported.
    setText(r.email, u"a@b");
    cedb::faults::arm({cedb::faults::Op::Add, u"", cedb::Error::WriteFailed, 0, 1});
    EXPECT_EQ(setPacket(r, s), E_OUTOFMEMORY);
    // A record that is gone.
    DEVICE_REPLSETUP del{};
    del.oid = 4242;
    EXPECT_EQ(handler->DeleteObj(&del), E_FILE_NOT_FOUND);
}

TEST_F(HandreplTest, ARestoredIdentifierIsNeverHandedOutAgain) {
    init(1);
    RecordImage r{};
    r.kind = PersonKind;
    r.id = r.key = 4991;
    DEVICE_REPLSETUP s{};
    s.dwFlags = RSF_NEW_OBJECT;
    ASSERT_EQ(setPacket(r, s), S_OK);
    RecordImage added{};
    added.kind = PersonKind;
    ASSERT_TRUE(store.AddRecord(added));
    EXPECT_EQ(added.id, 5001);
    // A lower one leaves the counter where it is.
    r.id = r.key = 21;
    ASSERT_EQ(setPacket(r, s), S_OK);
    ASSERT_TRUE(store.AddRecord(added));
    EXPECT_EQ(added.id, 5011);
}

TEST_F(HandreplTest, DeleteObjRemovesTheRecord) {
    init(1);
    const CEOID a = oidOf(addPerson(u"가"));
    DEVICE_REPLSETUP s{};
    s.oid = a;
    EXPECT_EQ(handler->DeleteObj(&s), S_OK);
    EXPECT_FALSE(main().seekFirst());
}

TEST_F(HandreplTest, VolumeAndObjectTypeInfo) {
    init(1);
    addPerson(u"가");
    OBJTYPEINFO info{};
    info.cbStruct = sizeof info - 4;
    EXPECT_FALSE(handsync::GetObjTypeInfo(&info));
    info.cbStruct = sizeof info;
    ASSERT_TRUE(handsync::GetObjTypeInfo(&info));
    EXPECT_EQ(std::u16string_view(info.szName), MainDatabaseName);
    EXPECT_EQ(info.cObjects, 1u);
    EXPECT_GT(info.cbAllObj, 0u);

    // The volume path, bounded by the caller's buffer.
    reg::Key::open(reg::Hive::LocalMachine, handsync::kVolumeKey)
        ->setString(handsync::kVolumeValue, u"\\Storage Card\\q.vol");
    SDREQUEST q{};
    q.uCode = SDR_VOLUME_PATH;
    EXPECT_TRUE(handsync::SyncData(&q));
    EXPECT_EQ(q.cbData, 40u);
    BYTE small[10] = {};
    q.lpData = small;
    q.cbData = sizeof small;
    EXPECT_FALSE(handsync::SyncData(&q));
    EXPECT_EQ(q.cbData, 40u);
    EXPECT_EQ(small[0], 0);
    BYTE buf[520] = {};
    q.lpData = buf;
    q.cbData = sizeof buf;
    EXPECT_TRUE(handsync::SyncData(&q));
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf)), u"\\Storage Card\\q.vol");

    // A volume that is not there fails the start; it never falls back to the object store.
    handler->Release();
    handler = nullptr;
    IDeviceObjHandler* h = nullptr;
    EXPECT_FALSE(handsync::InitObjType(u"Quorin", &h, 1));
    EXPECT_EQ(h, nullptr);
    // An existing volume is used, and its identifier handed out.
    ASSERT_TRUE(devfs::createFolder(u"\\Storage Card"));
    const auto vol = cedb::mountVolume(devfs::toHost(u"\\Storage Card\\q.vol"), true);
    ASSERT_TRUE(vol);
    init(1);
    FINDOBJINFO fi{};
    ASSERT_EQ(handsync::FindObjects(&fi), S_OK);
    EXPECT_EQ(fi.cbVolumeID, 16u);
    EXPECT_EQ(std::memcmp(fi.lpbVolumeID, vol->bytes, 16), 0);
    EXPECT_EQ(fi.cChg + fi.cUnChg, 0u);  // the volume's own, new database
    fi.uFlags = FO_DONE_ONE_VOL;
    handsync::FindObjects(&fi);
}

TEST_F(HandreplTest, EndOfSyncPostsTheRefreshToTheProgram) {
    winmsg::Listener window(devfs::deviceRoot(), "Quorinity");
    ASSERT_TRUE(window.ok());
    EXPECT_TRUE(handsync::ReportStatus(u"Quorin", 1, 0));
    EXPECT_FALSE(window.receive());
    EXPECT_TRUE(handsync::ReportStatus(u"Quorin", RSC_END_SYNC, 0));
    const auto m = window.receive();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->message, 0x04C9u);
}

}  // namespace
