// The store's batch scope: many records in one durable transaction, each with its own
// identifier and change flags.
#include <gtest/gtest.h>

#include "cedb/faults.h"
#include "store_fixture.h"

namespace {

using BatchTest = StoreTest;

TEST_F(BatchTest, EachRecordOfABatchGetsItsOwnIdentifierFlagsAndKey) {
    CRecordStore::Batch batch(store);
    ASSERT_TRUE(batch.begun());
    RecordImage person = personImage(u"홍길동");
    ASSERT_TRUE(store.AddRecord(person));
    RecordImage birthday = eventImage(AnniversaryKind, u"생일");
    ASSERT_TRUE(store.AddRecord(birthday));
    ASSERT_TRUE(store.AddPerson(personImage(u"김철수")));
    // The batch's own records can be read, changed and deleted before it commits.
    RecordImage read = birthday;
    read.key = birthday.id;
    ASSERT_TRUE(store.ReadRecord(read));
    EXPECT_EQ(text(read.content), u"생일");
    ASSERT_TRUE(batch.commit());

    EXPECT_EQ(person.id, 11);
    EXPECT_EQ(birthday.id, 21);
    EXPECT_EQ(storedIds(), (std::vector<int32_t>{11, 21, 31}));
    EXPECT_EQ(storedCounter(), 4);
    for (int32_t id : storedIds()) {
        EXPECT_EQ(storedProperty(id, PropChangeFlags).number, 3);
        EXPECT_EQ(storedProperty(id, PropKey).number, id);
    }
}

TEST_F(BatchTest, AFailedAddInsideABatchLeavesAGapAndTheOthersStand) {
    CRecordStore::Batch batch(store);
    ASSERT_TRUE(store.AddPerson(personImage(u"하나")));
    cedb::faults::arm({cedb::faults::Op::Add, std::u16string(MainDatabaseName)});
    EXPECT_FALSE(store.AddPerson(personImage(u"둘")));
    RecordImage third = personImage(u"셋");
    ASSERT_TRUE(store.AddRecord(third));
    EXPECT_EQ(third.id, 31) << "the failed add used up 21, as outside a batch";
    ASSERT_TRUE(batch.commit());
    EXPECT_EQ(storedIds(), (std::vector<int32_t>{11, 31}));
    EXPECT_EQ(storedCounter(), 4);
}

TEST_F(BatchTest, AFailedCommitStoresNoRecordAndLeavesTheCounterAsItWas) {
    ASSERT_TRUE(store.AddPerson(personImage(u"먼저")));
    {
        CRecordStore::Batch batch(store);
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(store.AddPerson(personImage(u"나중")));
        cedb::faults::arm({cedb::faults::Op::Commit, u"", cedb::Error::DiskFull});
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(storedIds(), std::vector<int32_t>{11});
    EXPECT_EQ(storedCounter(), 2);
    {
        CRecordStore::Batch abandoned(store);
        ASSERT_TRUE(store.AddPerson(personImage(u"버림")));
    }
    EXPECT_EQ(storedIds(), std::vector<int32_t>{11});
    RecordImage next = personImage(u"다음");
    ASSERT_TRUE(store.AddRecord(next));
    EXPECT_EQ(next.id, 21);
}

}  // namespace
