// A store holding a record that cannot be decoded: the walks pass over it and the store keeps
// working around it.
#include <gtest/gtest.h>

#include "store_fixture.h"
#include "strings/string_table.h"

namespace {

class DamagedRecordTest : public StoreTest {};

TEST_F(DamagedRecordTest, WalksPassOverItAndReportIt) {
    for (auto name : {u"가", u"나", u"다", u"라"}) ASSERT_TRUE(store.AddPerson(personImage(name)));
    ASSERT_TRUE(testsupport::damageRecord(21));

    std::vector<int32_t> seen;
    WalkReport report;
    EXPECT_TRUE(store.walkRecords(
        PersonKind, {PropId},
        [&](const RecordImage& r) {
            seen.push_back(r.id);
            return true;
        },
        &report));
    EXPECT_EQ(seen, (std::vector<int32_t>{11, 31, 41}));
    EXPECT_EQ(report.damaged, 1);

    // It can still be reached by identifier, and deleted.
    RecordImage gone{};
    gone.kind = PersonKind;
    gone.id = 21;
    EXPECT_FALSE(store.ReadRecord(gone));
    EXPECT_TRUE(store.DeleteRecord(gone));
    report = {};
    seen.clear();
    store.walkRecords(
        AnyKind, {PropId},
        [&](const RecordImage& r) {
            seen.push_back(r.id);
            return true;
        },
        &report);
    EXPECT_EQ(seen, (std::vector<int32_t>{11, 31, 41}));
    EXPECT_EQ(report.damaged, 0);
}

TEST_F(DamagedRecordTest, CountDatabaseIsRecreatedPastItAndAddingWorks) {
    for (auto name : {u"가", u"나", u"다"}) ASSERT_TRUE(store.AddPerson(personImage(name)));
    ASSERT_TRUE(testsupport::damageRecord(11));
    const cedb::VolumeId volume = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(volume, cedb::findDatabase(volume, u"Count Database")));

    ASSERT_TRUE(store.CreateDatabases());
    RecordImage added = personImage(u"라");
    ASSERT_TRUE(store.AddRecord(added));
    // Above every identifier the readable records hold.
    EXPECT_EQ(added.id, 41);
}

TEST_F(DamagedRecordTest, AnIdentifierHeldByAnUnreadableRecordIsNotHandedOutAgain) {
    for (auto name : {u"가", u"나", u"다"}) ASSERT_TRUE(store.AddPerson(personImage(name)));
    ASSERT_TRUE(testsupport::damageRecord(31));
    const cedb::VolumeId volume = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(volume, cedb::findDatabase(volume, u"Count Database")));
    ASSERT_TRUE(store.CreateDatabases());
    RecordImage added = personImage(u"라");
    ASSERT_TRUE(store.AddRecord(added));
    EXPECT_EQ(added.id, 41);
}

}  // namespace
