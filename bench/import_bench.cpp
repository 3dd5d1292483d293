// The contact import of 1000 contacts, each with a birthday and a wedding anniversary (3000
// durable records), beside its yardsticks in the same run: the same 3000 records added one
// durable add at a time, and a plain SQLite loop inserting 3000 records' worth of rows, one
// transaction per row and all in one. Reading the 1000 cards alone shows what the vCard
// library costs.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <string>

#include "cedb/cedb.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "import/contact_mapping.h"
#include "import/pocket_import.h"
#include "pim/pim.h"
#include "registry/registry.h"
#include "shell/message_box.h"
#include "store/record_store.h"
#include "view_contract/main_view.h"

namespace {

constexpr int kContacts = 1000;
std::filesystem::path g_base;

std::string contactsFile() {
    std::string s;
    for (int i = 0; i < kContacts; ++i) {
        const std::string n = std::to_string(i);
        s += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:홍;길동" + n + ";;;\r\nFN:홍길동" + n +
             "\r\nORG:주식회사 큐오린\r\nTEL;TYPE=CELL:010-1234-" + n + "\r\nEMAIL:p" + n +
             "@example.com\r\nADR;TYPE=WORK:;;테헤란로 " + n +
             ";강남구;서울;06000;한국\r\nCATEGORIES:친구,회사\r\nBDAY:1980-05-17\r\n"
             "ANNIVERSARY:2005-10-09\r\nEND:VCARD\r\n";
    }
    return s;
}

// A fresh device root with both databases, and the contact file in its Contacts folder.
void freshDevice(bool withContacts) {
    static int n = 0;
    cedb::closeAllVolumes();
    reg::closeAll();
    const auto root = g_base / std::to_string(++n);
    std::filesystem::create_directories(root);
    setenv("QUORIN_DEVICE", root.c_str(), 1);
    if (withContacts) {
        const auto folder = devfs::toHost(pim::kContactsFolder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "contacts.vcf", std::ios::binary) << contactsFile();
    }
}

class YesResponder : public shell::MessageResponder {
public:
    int ask(QWidget*, const QString&, const QString&, shell::Buttons buttons,
            shell::Icon) override {
        return shell::isAnswerOf(buttons, shell::IDYES) ? shell::IDYES : shell::IDOK;
    }
};

class BenchView : public MainView {
public:
    explicit BenchView(CRecordStore& store) : store_(store) {}
    CRecordStore& store() override { return store_; }
    QWidget* viewWidget() override { return &widget_; }
    void ShowPane(int, int) override {}
    void ShowFrontPane() override {}
    QWidget* paneWindow(int) const override { return nullptr; }
    QWidget* OpenPane(int) override { return nullptr; }
    void setCurrentPerson(const QString&, int) override {}
    QString currentName() const override { return {}; }
    int currentPersonId() const override { return 0; }
    void setCurrentItemId(int) override {}
    int currentItemId() const override { return 0; }
    void runCommand(int) override {}
    void RefreshMainScreens() override {}

private:
    CRecordStore& store_;
    QWidget widget_;
};

// The whole command as the user runs it: the cards read, the known people loaded, 1000
// persons and 2000 anniversaries written durably.
void BM_Import1000ContactsDurable(benchmark::State& state) {
    YesResponder yes;
    shell::MessageResponder* previous = shell::setMessageResponder(&yes);
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        freshDevice(true);
        {
            CRecordStore store;
            store.CreateDatabases();
            store.OpenDatabase(61228, MainHandle);
            BenchView view(store);
            state.ResumeTiming();
            CPocketImport importer(view);
            importer.OnImportPocketContacts();
            added = importer.counts().added;
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    shell::setMessageResponder(previous);
    if (added != kContacts) state.SkipWithError("not every contact was imported");
    state.SetItemsProcessed(state.iterations() * kContacts * 3);
}
BENCHMARK(BM_Import1000ContactsDurable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Yardstick: the same 3000 records, one durable add (one transaction, one flush) each.
void BM_Add3000RecordsOneDurableAddEach(benchmark::State& state) {
    const cedb::FileTime now = clk::toFileTime(clk::localTime()).value_or(cedb::FileTime{});
    for (auto _ : state) {
        state.PauseTiming();
        freshDevice(false);
        {
            CRecordStore store;
            store.CreateDatabases();
            store.OpenDatabase(61228, MainHandle);
            state.ResumeTiming();
            for (int i = 0; i < kContacts; ++i) {
                pim::ContactFields c;
                c.lastName = u"홍";
                c.firstName = u"길동" + std::u16string(1, char16_t(u'가' + i % 100));
                c.mobileTelephoneNumber = u"010-1234-5678";
                RecordImage person = contactimport::personOf(c, now);
                store.AddRecord(person);
                RecordImage b = contactimport::anniversaryOf(person, 29358, u"생일", now);
                store.AddRecord(b);
                RecordImage w = contactimport::anniversaryOf(person, 38634, u"결혼 기념일", now);
                store.AddRecord(w);
            }
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kContacts * 3);
}
BENCHMARK(BM_Add3000RecordsOneDurableAddEach)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// Yardstick: a plain SQLite loop over 3000 rows of a record's size, WAL, synchronous=FULL,
// with one transaction per row (range 0) or all rows in one transaction (range 1).
void BM_PlainSqliteInsert3000(benchmark::State& state) {
    const bool oneTransaction = state.range(0) == 1;
    const std::vector<uint8_t> blob(1200, 0x41);
    for (auto _ : state) {
        state.PauseTiming();
        freshDevice(false);
        sqlite3* db = nullptr;
        sqlite3_open((devfs::deviceRoot() / "plain.db").c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                     "CREATE TABLE r(oid INTEGER PRIMARY KEY, k INTEGER, props BLOB);"
                     "CREATE INDEX r_k ON r(k);",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO r(k, props) VALUES(?, ?)", -1, &st, nullptr);
        state.ResumeTiming();
        if (oneTransaction) sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 0; i < kContacts * 3; ++i) {
            sqlite3_bind_int(st, 1, i * 10 + 11);
            sqlite3_bind_blob(st, 2, blob.data(), int(blob.size()), SQLITE_STATIC);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        if (oneTransaction) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_finalize(st);
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kContacts * 3);
}
BENCHMARK(BM_PlainSqliteInsert3000)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// What reading the 1000 cards costs (libebook-contacts parsing, mapping to contact fields).
void BM_Read1000VCards(benchmark::State& state) {
    const std::string file = contactsFile();
    size_t n = 0;
    for (auto _ : state) n += pim::readVCards(file).contacts.size();
    benchmark::DoNotOptimize(n);
    state.SetItemsProcessed(state.iterations() * kContacts);
    state.SetBytesProcessed(int64_t(state.iterations() * file.size()));
}
BENCHMARK(BM_Read1000VCards)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    g_base = std::filesystem::temp_directory_path() /
             ("quorin-import-bench-" + std::to_string(getpid()));
    std::filesystem::remove_all(g_base);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    cedb::closeAllVolumes();
    reg::closeAll();
    std::filesystem::remove_all(g_base);
    return 0;
}
