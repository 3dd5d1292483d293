#include "registry/registry.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "device_root.h"
#include "registry/registry_faults.h"
#include "sqlite/sqlite_db.h"

namespace {

using reg::Hive;
using reg::Key;
using reg::ValueType;
using Names = std::vector<std::u16string>;

const std::u16string kProfileRoot = u"Software\\Local AppWizard-Generated Applications\\Quorin";

// Started again as a helper process (QUORIN_REGISTRY_CHILD names the job): work on the registry
// of the device root in the environment from a fresh process, and exit before any test runs.
[[maybe_unused]] const bool registryChild = [] {
    const char* job = std::getenv("QUORIN_REGISTRY_CHILD");
    if (!job) return false;
    auto key = Key::create(Hive::CurrentUser, u"Quorin");
    if (key && std::string(job) == "write") {
        bool ok = key->setString(u"NAME", u"자식 프로세스") && key->setDword(u"TIME", 7);
        std::printf("%s\n", ok ? "ok" : "failed");
    } else if (key && std::string(job) == "read") {
        std::printf("%d\n", int(key->queryDword(u"TIME").value_or(99)));
    }
    std::fflush(stdout);
    _exit(0);
}();

std::string runRegistryChild(const char* job) {
    return testsupport::runSelf(std::string("QUORIN_REGISTRY_CHILD=") + job);
}

class RegistryTest : public testsupport::DeviceTest {};

TEST_F(RegistryTest, StringsKeepTheirTerminatorAndTypesStayApart) {
    auto key = Key::create(Hive::CurrentUser, u"Quorin");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->setString(u"NAME", u""));
    auto v = key->query(u"NAME");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, ValueType::Sz);
    EXPECT_EQ(v->data, (std::vector<uint8_t>{0, 0}));

    ASSERT_TRUE(key->setString(u"NAME", u"홍길동"));
    v = key->query(u"NAME");
    ASSERT_EQ(v->data.size(), 8u);
    EXPECT_EQ(v->data[0], 0x4D);  // U+D64D, little-endian
    EXPECT_EQ(v->data[1], 0xD6);
    EXPECT_EQ(key->queryString(u"name"), u"홍길동");
    // A buffer without room for the terminator gets nothing rather than a cut text.
    EXPECT_FALSE(key->query(u"NAME", 7));
    EXPECT_FALSE(key->queryString(u"NAME", 7));
    EXPECT_EQ(key->queryString(u"NAME", 8), u"홍길동");

    ASSERT_TRUE(key->setDword(u"TIME", 0x0A0B0C0D));
    EXPECT_EQ(key->query(u"TIME")->data, (std::vector<uint8_t>{0x0D, 0x0C, 0x0B, 0x0A}));
    EXPECT_EQ(key->queryDword(u"TIME"), 0x0A0B0C0Du);
    EXPECT_FALSE(key->queryString(u"TIME"));
    // "a" with its terminator is 4 bytes too, but it is no number.
    ASSERT_TRUE(key->setString(u"A", u"a"));
    EXPECT_FALSE(key->queryDword(u"A"));

    EXPECT_FALSE(key->set(u"TIME", {ValueType::Dword, {1, 2, 3}}));
    EXPECT_FALSE(key->set(u"NAME", {ValueType::Sz, {0x41, 0, 0}}));
    EXPECT_EQ(key->queryDword(u"TIME"), 0x0A0B0C0Du);
    EXPECT_EQ(key->queryString(u"NAME"), u"홍길동");
}

TEST_F(RegistryTest, KeysAreCreatedOnceWithParentsAndFoundIgnoringCase) {
    bool created = false;
    ASSERT_TRUE(Key::create(Hive::LocalMachine, u"Software\\Microsoft\\Quorinity", &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(Key::create(Hive::LocalMachine, u"SOFTWARE\\microsoft\\QUORINITY", &created));
    EXPECT_FALSE(created);
    ASSERT_TRUE(Key::create(Hive::LocalMachine, u"Software\\Microsoft\\Quorinity\\New", &created));
    EXPECT_TRUE(created);

    EXPECT_TRUE(Key::open(Hive::LocalMachine, u"software\\MICROSOFT\\quorinity"));
    EXPECT_TRUE(Key::open(Hive::LocalMachine, u"\\Software\\\\Microsoft\\"));
    EXPECT_FALSE(Key::open(Hive::CurrentUser, u"Software\\Microsoft\\Quorinity"));
    EXPECT_FALSE(Key::open(Hive::LocalMachine, u""));
    EXPECT_FALSE(Key::create(Hive::LocalMachine, u"\\\\"));

    EXPECT_EQ(reg::keyPaths(Hive::LocalMachine),
              (Names{u"Software", u"Software\\Microsoft", u"Software\\Microsoft\\Quorinity",
                     u"Software\\Microsoft\\Quorinity\\New"}));
    EXPECT_TRUE(reg::keyPaths(Hive::CurrentUser).empty());
}

TEST_F(RegistryTest, ValuesKeepCreationOrderAndTheirFirstSpelling) {
    auto key = Key::create(Hive::CurrentUser, u"Order");
    ASSERT_TRUE(key);
    for (const char16_t* name : {u"B", u"A", u"C"}) ASSERT_TRUE(key->setDword(name, 1));
    ASSERT_TRUE(key->setString(u"b", u"again"));
    EXPECT_EQ(key->valueNames(), (Names{u"B", u"A", u"C"}));
    EXPECT_EQ(key->queryString(u"B"), u"again");

    EXPECT_TRUE(key->remove(u"a"));
    EXPECT_FALSE(key->remove(u"A"));
    ASSERT_TRUE(key->setDword(u"A", 2));
    EXPECT_EQ(key->valueNames(), (Names{u"B", u"C", u"A"}));
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubtreeAndStalesItsHandles) {
    auto category = Key::create(Hive::CurrentUser, kProfileRoot + u"\\CATEGORY");
    ASSERT_TRUE(category && category->setString(u"CATEGORY1", u"가족"));
    auto held = Key::open(Hive::CurrentUser, kProfileRoot);
    ASSERT_TRUE(held && held->setDword(u"X", 1));

    EXPECT_TRUE(
        reg::deleteKey(Hive::CurrentUser, u"software\\local appwizard-generated applications"));
    EXPECT_EQ(reg::keyPaths(Hive::CurrentUser), Names{u"Software"});
    EXPECT_FALSE(reg::deleteKey(Hive::CurrentUser, kProfileRoot));

    // Writes through a handle on a deleted key must not leave values that belong to no key.
    EXPECT_FALSE(held->setDword(u"X", 2));
    EXPECT_FALSE(held->query(u"X"));
    EXPECT_FALSE(category->queryString(u"CATEGORY1"));

    bool created = false;
    auto again = Key::create(Hive::CurrentUser, kProfileRoot + u"\\CATEGORY", &created);
    ASSERT_TRUE(again);
    EXPECT_TRUE(created);
    EXPECT_TRUE(again->valueNames().empty());
    EXPECT_FALSE(category->setString(u"CATEGORY1", u"old handle"));
    EXPECT_TRUE(again->valueNames().empty());
}

TEST_F(RegistryTest, EachStoreHasItsFileAndAKeyStaysWithItsFile) {
    ASSERT_TRUE(Key::create(Hive::CurrentUser, u"Desk", nullptr, reg::Store::Desktop));
    EXPECT_FALSE(Key::open(Hive::CurrentUser, u"Desk"));
    EXPECT_TRUE(std::filesystem::exists(roots.desktop() / "registry.db"));

    auto onFirst = Key::create(Hive::CurrentUser, u"Quorin");
    ASSERT_TRUE(onFirst && onFirst->setDword(u"TIME", 5));
    {
        // The device registry shares the object store file with the databases.
        sqlite::Connection c(roots.device() / "objectstore.db");
        auto& st = c.cached("SELECT count(*) FROM reg_keys WHERE name = 'Quorin'");
        ASSERT_EQ(st.step(), SQLITE_ROW);
        EXPECT_EQ(st.columnInt(0), 1);
        st.reset();
    }

    const auto second = roots.device() / "second";
    setenv("QUORIN_DEVICE", second.c_str(), 1);
    EXPECT_FALSE(Key::open(Hive::CurrentUser, u"Quorin"));
    EXPECT_TRUE(std::filesystem::exists(second / "objectstore.db"));
    EXPECT_EQ(onFirst->queryDword(u"TIME"), 5u);
    setenv("QUORIN_DEVICE", roots.device().c_str(), 1);
}

TEST_F(RegistryTest, OtherProcessesSeeEachWriteAtOnce) {
    auto key = Key::create(Hive::CurrentUser, u"Quorin");
    ASSERT_TRUE(key && key->setDword(u"TIME", 1));

    EXPECT_EQ(runRegistryChild("write"), "ok\n");
    // Read through this process's long-lived connection: no stale copy.
    EXPECT_EQ(key->queryDword(u"TIME"), 7u);
    EXPECT_EQ(key->queryString(u"NAME"), u"자식 프로세스");

    ASSERT_TRUE(key->setDword(u"TIME", 11));
    EXPECT_EQ(runRegistryChild("read"), "11\n");

    reg::closeAll();
    EXPECT_EQ(Key::open(Hive::CurrentUser, u"quorin")->queryDword(u"TIME"), 11u);
    EXPECT_EQ(key->queryDword(u"TIME"), 11u);
}

TEST_F(RegistryTest, ThreadsShareTheConnectionSafely) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            auto key = Key::create(Hive::CurrentUser, u"Threads\\T" + std::u16string(1, u'0' + t));
            for (int i = 0; key && i < 25; ++i)
                key->setDword(u"V" + std::u16string(1, u'A' + i), i);
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        auto key = Key::open(Hive::CurrentUser, u"Threads\\T" + std::u16string(1, u'0' + t));
        ASSERT_TRUE(key);
        EXPECT_EQ(key->valueNames().size(), 25u);
    }
}

TEST_F(RegistryTest, ArmedFaultsFailTheNextMatchingCalls) {
    auto key = Key::create(Hive::CurrentUser, u"Quorin");
    ASSERT_TRUE(key && key->setString(u"NAME", u"a"));

    reg::faults::arm(reg::faults::Op::Set);
    EXPECT_FALSE(key->setString(u"NAME", u"b"));
    EXPECT_EQ(key->queryString(u"NAME"), u"a");
    EXPECT_TRUE(key->setString(u"NAME", u"b"));

    reg::faults::arm(reg::faults::Op::Query, 2);
    EXPECT_FALSE(key->queryString(u"NAME"));
    EXPECT_FALSE(key->query(u"NAME"));
    EXPECT_EQ(key->queryString(u"NAME"), u"b");

    reg::faults::arm(reg::faults::Op::Open);
    EXPECT_TRUE(Key::create(Hive::CurrentUser, u"Quorin"));
    EXPECT_FALSE(Key::open(Hive::CurrentUser, u"Quorin"));
    EXPECT_TRUE(Key::open(Hive::CurrentUser, u"Quorin"));

    reg::Profile profile(u"Local AppWizard-Generated Applications", u"Quorin");
    reg::faults::arm(reg::faults::Op::Any, -1);
    EXPECT_FALSE(profile.writeInt(u"CATEGORY", u"CATEGORYN", 3));
    EXPECT_EQ(profile.getInt(u"CATEGORY", u"CATEGORYN", -1), -1);
    EXPECT_FALSE(Key::create(Hive::CurrentUser, u"Quorin"));
    reg::faults::clear();
    EXPECT_TRUE(profile.writeInt(u"CATEGORY", u"CATEGORYN", 3));
    EXPECT_EQ(profile.getInt(u"CATEGORY", u"CATEGORYN", -1), 3);
}

TEST_F(RegistryTest, ProfileRoundTripsUnderTheApplicationKey) {
    reg::Profile profile(u"Local AppWizard-Generated Applications", u"Quorin");
    EXPECT_EQ(profile.keyPath(u"CATEGORY"), kProfileRoot + u"\\CATEGORY");
    EXPECT_EQ(profile.getInt(u"CATEGORY", u"CATEGORYN", 0), 0);
    EXPECT_EQ(profile.getString(u"CATEGORY", u"CATEGORY1", u"없음"), u"없음");

    ASSERT_TRUE(profile.writeInt(u"CATEGORY", u"CATEGORYN", 2));
    ASSERT_TRUE(profile.writeString(u"CATEGORY", u"CATEGORY1", u"가족"));
    ASSERT_TRUE(profile.writeString(u"CATEGORY", u"CATEGORY2", u"!친구"));
    ASSERT_TRUE(profile.writeInt(u"OTHER", u"NEG", -5));

    EXPECT_EQ(profile.getInt(u"CATEGORY", u"CATEGORYN", 0), 2);
    EXPECT_EQ(profile.getString(u"CATEGORY", u"CATEGORY1"), u"가족");
    EXPECT_EQ(profile.getString(u"CATEGORY", u"CATEGORY2"), u"!친구");
    EXPECT_EQ(profile.getInt(u"OTHER", u"NEG", 0), -5);
    // An entry of the other type is as good as missing.
    EXPECT_EQ(profile.getInt(u"CATEGORY", u"CATEGORY1", 42), 42);
    EXPECT_EQ(profile.getString(u"CATEGORY", u"CATEGORYN", u"-"), u"-");

    auto key = Key::open(Hive::CurrentUser, kProfileRoot + u"\\CATEGORY");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->valueNames(), (Names{u"CATEGORYN", u"CATEGORY1", u"CATEGORY2"}));
}

}  // namespace
