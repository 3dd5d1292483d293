#include "store/categories.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/registry_faults.h"
#include "store_fixture.h"

namespace {

using Names = std::vector<std::u16string>;

const Names kDefaults{u"개인 친분", u"공급자",    u"VIP",    u"협력 업체", u"전화 통화",
                      u"주요 고객", u"회사 동료", u"동창생", u"경쟁 업체"};

class CategoriesTest : public StoreTest {
protected:
    Names categories() const {
        Names list{u"stale"};
        store.RefreshCategories(list);
        return list;
    }
    static int slotCount() { return programProfile().getInt(u"CATEGORY", u"CATEGORYN", -1); }
    static std::u16string slot(int n) {
        return programProfile().getString(u"CATEGORY", categoryEntry(n));
    }

    static Names with(Names names, const std::u16string& added) {
        names.push_back(added);
        return names;
    }
    static Names without(Names names, const std::u16string& removed) {
        std::erase(names, removed);
        return names;
    }
};

TEST_F(CategoriesTest, TheFirstRunWritesTheDefaultsAndLaterRunsKeepTheUsersList) {
    EXPECT_EQ(categories(), kDefaults);
    EXPECT_EQ(slotCount(), 9);

    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    ASSERT_TRUE(store.AddCategory(u"가족"));
    CRecordStore restarted;
    ASSERT_TRUE(restarted.CreateDatabases());
    EXPECT_EQ(categories(), with(without(kDefaults, u"VIP"), u"가족"));
    EXPECT_EQ(slot(3), u"!VIP");
}

TEST_F(CategoriesTest, AMissingCountDatabaseBringsTheDefaultsBack) {
    ASSERT_TRUE(store.AddCategory(u"가족"));
    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    const cedb::VolumeId vol = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(vol, cedb::findDatabase(vol, u"Count Database")));

    CRecordStore restarted;
    ASSERT_TRUE(restarted.CreateDatabases());
    EXPECT_EQ(slotCount(), 9);
    EXPECT_EQ(categories(), kDefaults);
    EXPECT_EQ(slot(10), u"가족") << "slots above the count are left, just no longer read";
}

TEST_F(CategoriesTest, AddingANameWhoseSlotIsDeletedAppendsIt) {
    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    ASSERT_TRUE(store.AddCategory(u"VIP"));
    EXPECT_EQ(slotCount(), 10);
    EXPECT_EQ(slot(3), u"!VIP");
    EXPECT_EQ(categories(), with(without(kDefaults, u"VIP"), u"VIP"));
}

TEST_F(CategoriesTest, DeletingANameHeldTwiceMarksTheFirstLiveSlotOnly) {
    ASSERT_TRUE(store.AddCategory(u"VIP"));
    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    EXPECT_EQ(slot(3), u"!VIP");
    EXPECT_EQ(slot(10), u"VIP");
    EXPECT_EQ(categories(), with(without(kDefaults, u"VIP"), u"VIP"));

    // The second delete skips the slot already marked; an unknown name changes nothing.
    ASSERT_TRUE(store.DeleteCategory(u"VIP"));
    EXPECT_EQ(slot(3), u"!VIP");
    EXPECT_EQ(slot(10), u"!VIP");
    ASSERT_TRUE(store.DeleteCategory(u"없는 이름"));
    EXPECT_EQ(categories(), without(kDefaults, u"VIP"));
}

TEST_F(CategoriesTest, AFailedProfileWriteIsReportedAndCountsNoSlot) {
    reg::faults::arm(reg::faults::Op::Set);
    EXPECT_FALSE(store.AddCategory(u"가족"));
    EXPECT_EQ(slotCount(), 9);
    reg::faults::arm(reg::faults::Op::Set);
    EXPECT_FALSE(store.DeleteCategory(u"VIP"));
    EXPECT_EQ(categories(), kDefaults);
}

}  // namespace
