// One process adds records while another reads the same store, as the program does beside the
// Today item and the sync provider.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "registry/registry.h"
#include "store_fixture.h"
#include "strings/string_table.h"

namespace {

using Clock = std::chrono::steady_clock;

// Adds records until `limit` are added or `seconds` have passed; runs in the child only.
[[noreturn]] void addRecordsAndExit(int limit, double seconds) {
    CRecordStore store;
    if (!store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle)) _exit(2);
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (int i = 0; (limit < 0 || i < limit) && Clock::now() < until; ++i) {
        RecordImage r = i % 2 ? personImage(std::u16string(19, u'가'))
                              : eventImage(AppointmentKind, std::u16string(299, u'내'));
        if (!store.AddRecord(r)) _exit(3);
    }
    _exit(0);
}

class TwoProcessTest : public StoreTest {
protected:
    // The child must not share this process's database connections.
    pid_t startWriter(int limit, double seconds) {
        store.CloseDatabase(MainHandle);
        testsupport::resetPlatformState();
        const pid_t pid = fork();
        if (pid == 0) addRecordsAndExit(limit, seconds);
        return pid;
    }

    // Checks every stored record: whole, with its key equal to its identifier, and no
    // identifier twice. Returns how many there are.
    static size_t checkRecords() {
        std::set<int32_t> ids;
        const std::vector<cedb::Record> records = storedRecords();
        for (const cedb::Record& rec : records) {
            EXPECT_EQ(rec.size(), 27u);
            const cedb::PropVal* id = cedb::findProp(rec, PropId);
            const cedb::PropVal* key = cedb::findProp(rec, PropKey);
            if (!id || !key) {
                ADD_FAILURE() << "a record without identifier or key";
                continue;
            }
            EXPECT_EQ(id->number, key->number);
            EXPECT_EQ(id->number % 10, 1);
            EXPECT_TRUE(ids.insert(int32_t(id->number)).second) << "identifier " << id->number;
        }
        return records.size();
    }
};

TEST_F(TwoProcessTest, AReaderSeesOnlyWholeRecordsWhileAnotherProcessAdds) {
    constexpr int kRecords = 200;
    const pid_t writer = startWriter(kRecords, 3.0);
    ASSERT_GT(writer, 0);

    int walks = 0;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(writer, &status, WNOHANG);
        checkRecords();
        ++walks;
        if (done == writer) break;
        ASSERT_EQ(done, 0);
    }
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_GT(walks, 1);
    const size_t count = checkRecords();
    EXPECT_GT(count, 0u);
    EXPECT_EQ(storedCounter(), int32_t(count) + 1) << "every identifier handed out was used";
}

TEST_F(TwoProcessTest, AWriterKilledWhileAddingLeavesNoDuplicateIdentifier) {
    const pid_t writer = startWriter(-1, 10.0);
    ASSERT_GT(writer, 0);
    // Let it get going, then kill it wherever it is.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (storedIds().size() < 20 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
    ASSERT_EQ(kill(writer, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFSIGNALED(status));

    testsupport::resetPlatformState();
    CRecordStore reopened;
    ASSERT_TRUE(reopened.CreateDatabases());
    ASSERT_TRUE(reopened.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    const size_t count = checkRecords();
    EXPECT_GE(count, 20u);

    const std::vector<int32_t> ids = storedIds();
    RecordImage next = personImage(u"다음");
    ASSERT_TRUE(reopened.AddRecord(next));
    EXPECT_GT(next.id, ids.back()) << "the counter stayed ahead of every stored identifier";
}

TEST_F(TwoProcessTest, TwoWritersAtOnceNeverHandOutTheSameIdentifier) {
    // Two starts of the program adding at the same time race for the counter.
    const pid_t first = startWriter(60, 10.0);
    const pid_t second = fork();
    if (second == 0) addRecordsAndExit(60, 10.0);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    for (pid_t writer : {first, second}) {
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    testsupport::resetPlatformState();
    CRecordStore reopened;
    ASSERT_TRUE(reopened.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    EXPECT_EQ(checkRecords(), 120u);
}

}  // namespace
