#include "store_fixture.h"

#include "strings/string_table.h"

namespace {

cedb::Database openMain() {
    cedb::Database db;
    EXPECT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
    return db;
}

}  // namespace

void StoreTest::SetUp() {
    ASSERT_TRUE(store.CreateDatabases());
    ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
}

std::vector<cedb::Record> StoreTest::storedRecords() {
    std::vector<cedb::Record> records;
    cedb::Database db = openMain();
    for (bool ok = db.seekFirst(); ok; ok = db.seekNext()) {
        auto rec = db.readCurrent();
        EXPECT_TRUE(rec);
        if (rec) records.push_back(std::move(*rec));
    }
    return records;
}

int32_t StoreTest::storedCounter() {
    cedb::Database db;
    if (!db.open(cedb::objectStore(), std::u16string(CountDatabaseName)) || !db.seekFirst())
        return 0;
    auto rec = db.readCurrent();
    const cedb::PropVal* p = rec ? cedb::findProp(*rec, PropCounter) : nullptr;
    return p ? int32_t(p->number) : 0;
}

void StoreTest::writeStored(int32_t id, const cedb::Record& props) {
    cedb::Database db = openMain();
    ASSERT_TRUE(db.seekFirstEqual(cedb::PropVal::i4(cedb::propNumber(PropId), id)));
    ASSERT_TRUE(db.updateCurrent(props));
}

cedb::PropVal StoreTest::storedProperty(int32_t id, uint32_t propId) {
    for (const cedb::Record& rec : storedRecords()) {
        const cedb::PropVal* idProp = cedb::findProp(rec, PropId);
        if (idProp && idProp->number == id) {
            const cedb::PropVal* p = cedb::findProp(rec, propId);
            return p ? *p : cedb::PropVal{};
        }
    }
    return {};
}

std::vector<int32_t> StoreTest::storedIds() {
    std::vector<int32_t> ids;
    for (const cedb::Record& rec : storedRecords()) {
        const cedb::PropVal* p = cedb::findProp(rec, PropId);
        ids.push_back(p ? int32_t(p->number) : -1);
    }
    return ids;
}

RecordImage personImage(std::u16string_view name) {
    RecordImage r;
    r.kind = PersonKind;
    setText(r.name, name);
    setText(r.mobile, u"None");
    setText(r.workPhone, u"None");
    setText(r.homePhone, u"None");
    setText(r.fax, u"None");
    return r;
}

RecordImage eventImage(uint32_t kind, std::u16string_view content) {
    RecordImage r;
    r.kind = kind;
    setText(r.participantIds, u"11;#;");
    setText(r.participantNames, u"홍길동;");
    setText(r.content, content);
    r.start = cedb::FileTime::fromValue(132000000000000000ull);
    return r;
}
