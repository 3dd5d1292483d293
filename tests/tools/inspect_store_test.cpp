// The inspection tool on stores it cannot fully read: the reason in words on standard error,
// a non-zero exit, never an empty listing that looks like an empty device.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "device_root.h"
#include "fs/devfs.h"
#include "inspect/inspect.h"
#include "sqlite/sqlite_db.h"
#include "store/record_store.h"
#include "strings/string_table.h"

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result inspectRun(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = inspect::run(args, out, err);
    return {code, out.str(), err.str()};
}

class InspectStoreTest : public testsupport::DeviceTest {};

TEST_F(InspectStoreTest, AFileThatIsNoDatabaseIsReported) {
    std::filesystem::create_directories(devfs::objectStoreFile().parent_path());
    std::ofstream(devfs::objectStoreFile()) << std::string(4096, 'x');
    for (const char* command : {"databases", "dump"}) {
        const Result r = inspectRun({command, "Quorin Database"});
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_EQ(r.out, "") << command;
        EXPECT_NE(r.err.find("is damaged or not a database"), std::string::npos) << r.err;
    }
}

TEST_F(InspectStoreTest, ADatabaseOfAnotherProgramIsReportedAndLeftAlone) {
    {
        sqlite::Connection other(devfs::objectStoreFile());
        ASSERT_TRUE(other.exec("CREATE TABLE notes(body TEXT)"));
    }
    const Result r = inspectRun({"databases"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("a database of another program"), std::string::npos) << r.err;
    sqlite::Connection again(devfs::objectStoreFile());
    sqlite::Statement st(again.handle(), "SELECT count(*) FROM sqlite_master WHERE type='table'");
    ASSERT_EQ(st.step(), SQLITE_ROW);
    EXPECT_EQ(st.columnInt(0), 1);  // nothing was added to it
}

TEST_F(InspectStoreTest, ADamagedRecordIsNamedAndTheRestListed) {
    {
        CRecordStore store;
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        for (int i = 0; i < 3; ++i) {
            RecordImage person{};
            person.kind = PersonKind;
            setText(person.name, u"가");
            ASSERT_TRUE(store.AddRecord(person));
        }
    }
    ASSERT_TRUE(testsupport::damageRecord(21));
    const Result r = inspectRun({"dump", "Quorin Database"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("0x01020003 I4 11\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0x01020003 I4 31\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("0x01020003 I4 21\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("cannot be read: corrupt record"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 record of the database could not be read"), std::string::npos);
}

}  // namespace
