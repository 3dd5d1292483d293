// The desktop store over a real backup file: its bytes after each change, the limits, the
// refusals of damaged files, the watch thread and the options.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <fstream>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>

#include "desk/desk.h"
#include "desksync/repl_store.h"
#include "desksync/sync_options_dialog.h"
#include "device_root.h"
#include "registry/registry.h"
#include "ui/controls.h"
#include "ui/modal.h"

namespace {

using namespace desksync;
using namespace std::chrono_literals;

// The service's side of the notifications, recorded.
class FakeNotify final : public IReplNotify {
public:
    HRESULT QueryInterface(const GUID&, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT SetStatusText(const char16_t*) override { return S_OK; }
    HRESULT GetWindow(UINT, HWND* w) override {
        *w = nullptr;
        return S_OK;
    }
    HRESULT OnItemNotify(UINT code, const char16_t*, const char16_t*, HREPLITEM item, ULONG) override {
        std::lock_guard<std::mutex> g(m);
        events.push_back({code, item->itemId});
        delete item;
        return S_OK;
    }
    HRESULT QueryDevice(UINT code, void** data) override {
        if (code != QDC_SYNC_DATA) return E_FAIL;
        if (deviceResult != S_OK) return deviceResult;
        auto* req = static_cast<SDREQUEST*>(*data);
        std::memcpy(req->lpData, volume.c_str(), (volume.size() + 1) * 2);
        return S_OK;
    }
    std::vector<std::pair<UINT, uint32_t>> taken() {
        std::lock_guard<std::mutex> g(m);
        return events;
    }
    std::mutex m;
    std::vector<std::pair<UINT, uint32_t>> events;
    HRESULT deviceResult = RERR_DEVICE_NOT_CONNECTED;
    std::u16string volume;
};

class DeskreplTest : public testsupport::DeviceTest {
protected:
    void SetUp() override {
        path = (roots.desktop() / "Quorin.qrn").u16string();
        desk::writeDeviceSettings(path, 0);
        errorReporter() = [](HWND, const std::u16string& text, const std::u16string& caption) {
            shown.push_back(caption + u"|" + text);
        };
        shown.clear();
    }
    void TearDown() override {
        closeStore();
        desk::unlinkNamed(kMutexName);
        desk::unlinkNamed(kChangeEventName);
    }
    HRESULT openStore() {
        store = new CReplStore(nullptr);
        return store->Initialize(&notify, 0);
    }
    void closeStore() {
        if (store) store->inner()->Release();
        store = nullptr;
    }
    std::vector<uint8_t> bytes() {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    static uint32_t at(const std::vector<uint8_t>& b, size_t off) { return get32(b.data() + off); }
    static RecordImage person(std::u16string_view name) {
        RecordImage r{};
        r.kind = PersonKind;
        r.id = r.key = 11;
        setText(r.name, name);
        setText(r.company, u"회사");
        return r;
    }
    // Writes a packet: new when `item` is null; returns the item written (owned by the test).
    ReplItem* write(const RecordImage& r, ReplItem* item = nullptr, HRESULT* result = nullptr) {
        REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.hItem = item;
        IUnknown* h = nullptr;
        HREPLFLD folder = nullptr;
        store->GetFolderInfo(kObjectType, &folder, &h);
        auto* handler = static_cast<IReplObjHandler*>(h);
        handler->Setup(&s);
        const HRESULT hr = handler->SetPacket(reinterpret_cast<const BYTE*>(&r), sizeof r);
        if (result) *result = hr;
        store->FreeObject(folder);
        return hr == S_OK ? s.hItem : nullptr;
    }
    RecordImage read(ReplItem* item, HRESULT* result = nullptr) {
        REPLSETUP s{};
        s.cbStruct = sizeof s;
        s.fRead = TRUE;
        s.hItem = item;
        IUnknown* h = nullptr;
        HREPLFLD folder = nullptr;
        store->GetFolderInfo(kObjectType, &folder, &h);
        auto* handler = static_cast<IReplObjHandler*>(h);
        handler->Setup(&s);
        const BYTE* data = nullptr;
        DWORD size = 0;
        const HRESULT hr = handler->GetPacket(&data, &size, 0);
        if (result) *result = hr;
        store->FreeObject(folder);
        RecordImage r{};
        if (hr == RWRN_LAST_PACKET) std::memcpy(&r, data, sizeof r);
        return r;
    }
    HRESULT remove(ReplItem* item) {
        REPLSETUP s{};
        s.hItem = item;
        IUnknown* h = nullptr;
        HREPLFLD folder = nullptr;
        store->GetFolderInfo(kObjectType, &folder, &h);
        const HRESULT hr = static_cast<IReplObjHandler*>(h)->DeleteObj(&s);
        store->FreeObject(folder);
        return hr;
    }
    std::vector<uint32_t> enumerate() {
        std::vector<uint32_t> ids;
        HREPLITEM item = nullptr;
        BOOL exist = FALSE;
        EXPECT_EQ(store->FindFirstItem(nullptr, &item, &exist), S_OK);
        while (exist) {
            ids.push_back(item->itemId);
            store->FreeObject(item);
            store->FindNextItem(nullptr, &item, &exist);
        }
        store->FindItemClose(nullptr);
        return ids;
    }

    std::u16string path;
    FakeNotify notify;
    CReplStore* store = nullptr;
    static inline std::vector<std::u16string> shown;
};

TEST_F(DeskreplTest, ANewFileAndItsRecordsByteForByte) {
    ASSERT_EQ(openStore(), S_OK);
    EXPECT_TRUE(store->isOpen());
    std::vector<uint8_t> b = bytes();
    ASSERT_EQ(b.size(), 6640024u);
    EXPECT_EQ(at(b, 0), 0x324FE324u);
    EXPECT_EQ(at(b, 4), 0x324FE324u);
    EXPECT_EQ(at(b, 8), 1u);
    EXPECT_EQ(std::count(b.begin() + 12, b.end(), 0), ptrdiff_t(b.size() - 12));

    RecordImage r = person(u"홍길동");
    r.reserved1 = -2;
    r.start = {7, 8};
    r.stamp = {9, 10};
    setText(r.email, std::u16string(29, u'e'));  // cut to its 30-byte store field
    ReplItem* one = write(r);
    ASSERT_TRUE(one);
    ReplItem* two = write(person(u"Kim"));
    ASSERT_TRUE(two);
    EXPECT_EQ(one->itemId, 1u);
    EXPECT_EQ(two->itemId, 2u);
    b = bytes();
    EXPECT_EQ(at(b, 8), 3u);
    EXPECT_EQ(at(b, 40020), 2u);
    const size_t rec = 40024;
    EXPECT_EQ(at(b, rec + 0), 0u);
    EXPECT_EQ(at(b, rec + 4), 1u);
    EXPECT_EQ(at(b, rec + 8), 10u);
    EXPECT_EQ(at(b, rec + 12), 9u);
    EXPECT_EQ(at(b, rec + 16), 10u);
    EXPECT_EQ(at(b, rec + 20), one->written.low);
    EXPECT_EQ(at(b, rec + 28), 11u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[rec + 32])), "\xC8\xAB\xB1\xE6\xB5\xBF");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[rec + 232])), std::string(28, 'e'));
    EXPECT_EQ(at(b, rec + 292), 0xFFFFFFFEu);
    EXPECT_EQ(at(b, rec + 308), 11u);
    EXPECT_EQ(at(b, rec + 712), 7u);
    EXPECT_EQ(at(b, rec + 1320 + 4), 2u);

    // Read back: every field, with the e-mail as the file cut it.
    const RecordImage back = read(one);
    RecordImage want = r;
    setText(want.email, std::u16string(28, u'e'));
    EXPECT_EQ(std::memcmp(&back, &want, sizeof back), 0);

    // A change keeps the item identifier; a deletion moves the later records down; a new
    // record never reuses an identifier.
    ASSERT_TRUE(write(person(u"박"), one));
    EXPECT_EQ(at(bytes(), rec + 4), 1u);
    EXPECT_EQ(remove(one), S_OK);
    EXPECT_EQ(remove(one), E_FILE_NOT_FOUND);
    b = bytes();
    EXPECT_EQ(at(b, 40020), 1u);
    EXPECT_EQ(at(b, rec + 4), 2u);
    EXPECT_EQ(at(b, rec + 1320 + 4), 0u);
    ReplItem* three = write(person(u"Lee"));
    ASSERT_TRUE(three);
    EXPECT_EQ(three->itemId, 3u);
    EXPECT_EQ(enumerate(), (std::vector<uint32_t>{2, 3}));
    for (ReplItem* i : {one, two, three}) store->FreeObject(i);

    // Counters carry on across a reopen.
    closeStore();
    ASSERT_EQ(openStore(), S_OK);
    ReplItem* four = write(person(u"Choi"));
    ASSERT_TRUE(four);
    EXPECT_EQ(four->itemId, 4u);
    store->FreeObject(four);
}

TEST_F(DeskreplTest, HangulIsCutAtCharacterBoundaries) {
    ASSERT_EQ(openStore(), S_OK);
    RecordImage r = person(std::u16string(19, u'가'));  // 38 bytes for a 20-byte field
    setText(r.company, u"a" + std::u16string(18, u'나'));
    ReplItem* item = write(r);
    ASSERT_TRUE(item);
    const RecordImage back = read(item);
    EXPECT_EQ(text(back.name), std::u16string(9, u'가'));  // 18 bytes, never half a character
    EXPECT_EQ(text(back.company), u"a" + std::u16string(8, u'나'));
    store->FreeObject(item);
}

TEST_F(DeskreplTest, AFullFileRefusesTheNextRecordAndLosesNothing) {
    ASSERT_EQ(openStore(), S_OK);
    closeStore();
    {
        auto m = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
        BackupFile f(m->data());
        uint8_t rec[kRecordSize];
        packetToRecord(person(u"x"), {}, rec);
        for (uint32_t i = 0; i < 4998; ++i) ASSERT_NE(f.append(rec), 0u);
    }
    ASSERT_EQ(openStore(), S_OK);
    ReplItem* last = write(person(u"last"));
    ASSERT_TRUE(last);
    EXPECT_EQ(last->itemId, 4999u);
    HRESULT hr = S_OK;
    EXPECT_FALSE(write(person(u"more"), nullptr, &hr));
    EXPECT_EQ(hr, E_UNEXPECTED);
    const std::vector<uint8_t> b = bytes();
    EXPECT_EQ(at(b, 40020), 4999u);
    EXPECT_EQ(at(b, 8), 5000u);
    EXPECT_EQ(std::count(b.end() - 1320, b.end(), 0), 1320);  // the last slot stays empty
    EXPECT_EQ(text(read(last).name), u"last");
    store->FreeObject(last);
}

TEST_F(DeskreplTest, DamagedOrForeignFilesAreRefusedUntouched) {
    const auto corrupt = [&](size_t off, uint32_t v) {
        ASSERT_EQ(openStore(), S_OK);
        closeStore();
        auto m = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
        uint8_t rec[kRecordSize];
        packetToRecord(person(u"x"), {}, rec);
        BackupFile(m->data()).append(rec);
        put32(m->data() + off, v);
    };
    struct Case {
        size_t off;
        uint32_t value;
    } cases[] = {{0, 1},           {4, 0x324FE325}, {12, 5001},          {16, 5001},
                 {40020, 5000},    {8, 0},          {40024 + 4, 0},      {40024 + 4, 7},
                 {40024 + 32, 0x41414141}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.off);
        corrupt(c.off, c.value);
        if (c.off == 40024 + 32) {  // a name with no terminator in its 20 bytes
            auto m = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
            std::memset(m->data() + 40024 + 32, 'A', 20);
        }
        const std::vector<uint8_t> before = bytes();
        shown.clear();
        EXPECT_EQ(openStore(), E_UNEXPECTED);
        EXPECT_FALSE(store->isOpen());
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], u"Synchronization Error|Unable to open Quorin Data file " + path +
                                u" for synchronization. Error Code: 0x8000FFFF");
        closeStore();
        EXPECT_EQ(bytes(), before);
        std::filesystem::remove(std::filesystem::path(path));
    }
    // A file of another size is never grown; remotely connected, nothing is shown.
    { std::ofstream(std::filesystem::path(path)) << "not a backup"; }
    shown.clear();
    store = new CReplStore(nullptr);
    EXPECT_EQ(store->Initialize(&notify, ISF_REMOTE_CONNECTED), E_UNEXPECTED);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(path)), 12u);
}

TEST_F(DeskreplTest, AFileDamagedWhileOpenIsNotWritten) {
    ASSERT_EQ(openStore(), S_OK);
    ReplItem* one = write(person(u"a"));
    {
        auto m = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
        put32(m->data() + 40020, 6000);  // another program wrote nonsense
    }
    HRESULT hr = S_OK;
    EXPECT_FALSE(write(person(u"b"), nullptr, &hr));
    EXPECT_EQ(hr, E_UNEXPECTED);
    read(one, &hr);
    EXPECT_EQ(hr, E_UNEXPECTED);
    EXPECT_EQ(at(bytes(), 8), 2u);
    store->FreeObject(one);
}

// The states a writer killed under the mutex can leave: the next locker finishes the removal
// or drops the slot caught mid-write, and never keeps a half-written record.
TEST_F(DeskreplTest, AWriterThatDiedHalfWayIsMadeGoodByTheNextLocker) {
    struct Case {
        const char* what;
        std::function<void(uint8_t*)> damage;
        std::vector<uint32_t> left;
    } cases[] = {
        {"removal of 2 before any move", [](uint8_t* p) { put32(p + 40024 + 1320 + 4, 0); },
         {1, 3, 4}},
        {"removal of 2, slot 2 caught mid-move",
         [](uint8_t* p) {
             std::memcpy(p + 40024 + 1320, p + 40024 + 2 * 1320, 1320);  // 3 moved down
             put32(p + 40024 + 2 * 1320 + 4, 0);                         // 4 half over 3
             std::memset(p + 40024 + 2 * 1320 + 600, 'x', 100);
         },
         {1, 3, 4}},
        {"removal of 2, moved, count not yet lowered",
         [](uint8_t* p) {
             std::memmove(p + 40024 + 1320, p + 40024 + 2 * 1320, 2 * 1320);
         },
         {1, 3, 4}},
        {"replacement of 3 caught half-way",
         [](uint8_t* p) {
             put32(p + 40024 + 2 * 1320 + 4, 0);
             std::memset(p + 40024 + 2 * 1320 + 40, 'y', 300);
         },
         {1, 2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(std::filesystem::path(path));
        ASSERT_EQ(openStore(), S_OK);
        for (auto name : {u"a", u"b", u"c", u"d"}) store->FreeObject(write(person(name)));
        closeStore();
        // The writer takes the mutex, leaves the file half-changed and dies.
        const pid_t pid = fork();
        if (pid == 0) {
            auto m = desk::NamedMutex::open(kMutexName);
            m->lock();
            auto f = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
            c.damage(f->data());
            _exit(0);
        }
        waitpid(pid, nullptr, 0);
        ASSERT_EQ(openStore(), S_OK);
        EXPECT_EQ(enumerate(), c.left);
        auto m = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
        EXPECT_TRUE(BackupFile(m->data()).validAll());
        for (uint32_t i = 0; i < 3; ++i) {
            const RecordImage r = recordToPacket(BackupFile(m->data()).record(i));
            EXPECT_EQ(text(r.name), std::u16string(1, u"abcd"[c.left[i] - 1]));
        }
        closeStore();
    }
}

TEST_F(DeskreplTest, TheFilterAppliesToPersonsOnly) {
    ASSERT_EQ(openStore(), S_OK);
    ReplItem* n = write(person(u"Nam"));
    ReplItem* a = write(person(u"Ahn"));
    RecordImage event{};
    event.kind = AppointmentKind;
    ReplItem* e = write(event);
    EXPECT_TRUE(store->IsItemReplicated(nullptr, n));
    store->setSyncOption(1);
    EXPECT_FALSE(store->IsItemReplicated(nullptr, n));
    EXPECT_TRUE(store->IsItemReplicated(nullptr, a));
    EXPECT_TRUE(store->IsItemReplicated(nullptr, e));
    store->setSyncOption(2);
    EXPECT_TRUE(store->IsItemReplicated(nullptr, n));
    EXPECT_FALSE(store->IsItemReplicated(nullptr, a));
    store->setSyncOption(7);  // unknown: no filter
    EXPECT_TRUE(store->IsItemReplicated(nullptr, a));
    EXPECT_TRUE(store->IsItemReplicated(nullptr, nullptr));
    for (ReplItem* i : {n, a, e}) store->FreeObject(i);
}

TEST_F(DeskreplTest, DuplicatesAreRemovedAndReported) {
    ASSERT_EQ(openStore(), S_OK);
    for (auto name : {u"a", u"b", u"a", u"a", u"c", u"b"}) store->FreeObject(write(person(name)));
    EXPECT_EQ(store->RemoveDuplicates(u"Other", 0), E_NOTIMPL);
    EXPECT_EQ(store->RemoveDuplicates(kObjectType, 0), S_OK);
    EXPECT_EQ(enumerate(), (std::vector<uint32_t>{1, 2, 5}));
    EXPECT_EQ(notify.taken(), (std::vector<std::pair<UINT, uint32_t>>{
                                  {RNC_DELETED, 3}, {RNC_DELETED, 4}, {RNC_DELETED, 6}}));
}

TEST_F(DeskreplTest, TheWatchThreadReportsOtherProgramsChanges) {
    ASSERT_EQ(openStore(), S_OK);
    for (int i = 0; i < 3; ++i) store->FreeObject(write(person(u"x")));
    enumerate();  // starts the watch thread
    EXPECT_TRUE(store->watching());
    {
        // Another desktop program edits the file under the mutex and signals.
        auto m = desk::NamedMutex::open(kMutexName);
        auto file = desk::FileMapping::open(std::filesystem::path(path), kFileSize);
        desk::MutexLock lock(*m);
        put32(file->data() + 12, 2);
        put32(file->data() + 20, 1);
        put32(file->data() + 24, 2);
        put32(file->data() + 16, 2);
        put32(file->data() + 20020, 2);
        put32(file->data() + 20024, 3);
    }
    desk::Event::open(kChangeEventName)->set();
    for (int i = 0; i < 200 && notify.taken().size() < 3; ++i) std::this_thread::sleep_for(10ms);
    // 2 is in both lists: reported as deleted only.
    EXPECT_EQ(notify.taken(), (std::vector<std::pair<UINT, uint32_t>>{
                                  {RNC_MODIFIED, 1}, {RNC_DELETED, 2}, {RNC_DELETED, 3}}));
    const std::vector<uint8_t> b = bytes();
    EXPECT_EQ(at(b, 12), 0u);
    EXPECT_EQ(at(b, 16), 0u);
    // Released: the thread is stopped and joined before the mapping goes.
    EXPECT_EQ(store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0), S_OK);
    EXPECT_FALSE(store->watching());
    EXPECT_FALSE(store->isOpen());
}

TEST_F(DeskreplTest, ConflictsBetweenIdenticalRecordsAreIgnored) {
    ASSERT_EQ(openStore(), S_OK);
    ReplItem* a = write(person(u"Kim"));
    ReplItem* b = write(person(u"KIM"));
    ReplItem* c = write(person(u"Lee"));
    CONFINFO info{};
    info.cbStruct = sizeof info - 1;
    EXPECT_EQ(store->GetConflictInfo(&info), E_INVALIDARG);
    info.cbStruct = sizeof info;
    info.hLocalItem = a;
    info.hRemoteItem = b;
    EXPECT_EQ(store->GetConflictInfo(&info), RERR_IGNORE);  // texts ignore case here
    info.hRemoteItem = c;
    EXPECT_EQ(store->GetConflictInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.szLocalName), u"Quorin");
    EXPECT_EQ(std::u16string(info.szLocalDesc), u"Name : Kim\r\nCompany : 회사\r\n");
    EXPECT_EQ(std::u16string(info.szRemoteDesc), u"Name : Lee\r\nCompany : 회사\r\n");
    // ... but not for removing duplicates.
    EXPECT_EQ(store->RemoveDuplicates(kObjectType, 0), S_OK);
    EXPECT_EQ(enumerate().size(), 3u);
    for (ReplItem* i : {a, b, c}) store->FreeObject(i);
}

TEST_F(DeskreplTest, HandlesAndServerExports) {
    ASSERT_EQ(openStore(), S_OK);
    ReplItem item{1, 77, {5, 6}};
    BYTE buf[17];
    ASSERT_EQ(store->ObjectToBytes(&item, buf), 17u);
    auto* back = static_cast<ReplItem*>(store->BytesToObject(buf, 17));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->itemId, 77u);
    EXPECT_EQ(back->written, (FILETIME{5, 6}));
    EXPECT_EQ(store->BytesToObject(buf, 16), nullptr);
    buf[1] = 3;
    EXPECT_EQ(store->BytesToObject(buf, 17), nullptr);
    ReplFolder folder;
    EXPECT_EQ(store->ObjectToBytes(&folder, nullptr), 5u);
    EXPECT_FALSE(store->CopyObject(&folder, back));
    EXPECT_EQ(store->IsValidObject(nullptr, back, 0), E_FILE_NOT_FOUND);
    EXPECT_EQ(store->IsValidObject(reinterpret_cast<HREPLFLD>(back), nullptr, 0), E_HANDLE);
    store->FreeObject(back);

    STOREINFO info{};
    info.cbStruct = sizeof info;
    EXPECT_EQ(store->GetStoreInfo(&info), E_POINTER);
    EXPECT_EQ(info.cbStoreId, (path.size() + 1) * 2);
    std::vector<BYTE> id(info.cbStoreId - 1);
    info.lpbStoreId = id.data();
    info.cbMaxStoreId = UINT(id.size());
    EXPECT_EQ(store->GetStoreInfo(&info), E_OUTOFMEMORY);
    id.resize(info.cbStoreId);
    info.lpbStoreId = id.data();
    info.cbMaxStoreId = UINT(id.size());
    EXPECT_EQ(store->GetStoreInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(id.data())), path);
    EXPECT_EQ(std::u16string(info.szProgId), u"MS.WinCE.Quorin");
}

TEST_F(DeskreplTest, OptionsDialogTextsAndResults) {
    ASSERT_EQ(openStore(), S_OK);
    struct Seen {
        std::u16string volume;
        bool ok = true;
        OptionsChoice answer;
    };
    static Seen seen;
    optionsDialogRunner() = [](HWND, const std::u16string& volume, OptionsChoice& c) {
        seen.volume = volume;
        if (seen.ok) c = seen.answer;
        return seen.ok;
    };
    EXPECT_EQ(store->ActivateDialog(1, nullptr, nullptr, nullptr), E_NOTIMPL);
    seen.ok = false;
    EXPECT_EQ(store->ActivateDialog(0, nullptr, nullptr, nullptr), RERR_CANCEL);
    EXPECT_EQ(seen.volume, u"<Device is not connected>");
    notify.deviceResult = E_FAIL;
    store->ActivateDialog(0, nullptr, nullptr, nullptr);
    EXPECT_EQ(seen.volume, u"<Erroring reading data from device>");
    notify.deviceResult = S_OK;
    store->ActivateDialog(0, nullptr, nullptr, nullptr);
    EXPECT_EQ(seen.volume, u"System Volume");
    notify.volume = u"\\Storage Card\\q.vol";
    seen.ok = true;
    // The same file: the filter alone is kept, and in force at once.
    seen.answer = {2, path};
    EXPECT_EQ(store->ActivateDialog(0, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(seen.volume, u"\\Storage Card\\q.vol");
    EXPECT_EQ(store->syncOption(), 2u);
    EXPECT_EQ(desk::readDeviceSettings().syncOption, 2u);
    // A missing file or an unrelated one is not taken.
    const auto other = roots.desktop() / "notes.txt";
    { std::ofstream(other) << "hello"; }
    seen.answer = {1, other.u16string()};
    EXPECT_EQ(store->ActivateDialog(0, nullptr, nullptr, nullptr), S_OK);
    seen.answer = {1, (roots.desktop() / "none.qrn").u16string()};
    EXPECT_EQ(store->ActivateDialog(0, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(desk::readDeviceSettings().quorinFile, path);
    EXPECT_EQ(std::filesystem::file_size(other), 5u);
    // Another backup file: both saved, and the service reinitialises the store.
    const auto second = roots.desktop() / "second.qrn";
    ASSERT_TRUE(desk::FileMapping::create(second, kFileSize, initializeFile));
    seen.answer = {0, second.u16string()};
    EXPECT_EQ(store->ActivateDialog(0, nullptr, nullptr, nullptr), RERR_STORE_REPLACE);
    EXPECT_EQ(desk::readDeviceSettings().quorinFile, second.u16string());
    EXPECT_EQ(desk::readDeviceSettings().syncOption, 0u);
    optionsDialogRunner() = [](HWND parent, const std::u16string& volume, OptionsChoice& c) {
        return runSyncOptionsDialog(parent, volume, c.filter, c.path);
    };
}

TEST_F(DeskreplTest, TheDialogShowsAndReturnsItsChoices) {
    std::u16string path16 = u"/tmp/x.qrn";
    uint32_t filter = 1;
    ui::setModalHook([](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Quorin 백업"));
        EXPECT_EQ(ui::control<QLineEdit>(&d, CSyncOptDlg::IDC_VOLUME)->text(),
                  QStringLiteral("System Volume"));
        EXPECT_TRUE(ui::control<QLineEdit>(&d, CSyncOptDlg::IDC_VOLUME)->isReadOnly());
        EXPECT_TRUE(ui::control<QRadioButton>(&d, CSyncOptDlg::IDC_FILTER_A_M)->isChecked());
        ui::control<QRadioButton>(&d, CSyncOptDlg::IDC_FILTER_N_Z)->setChecked(true);
        // The up-down control and the arrow keys set the custom number.
        auto* number = ui::control<QLineEdit>(&d, CSyncOptDlg::IDC_CUSTOM_NUMBER);
        ui::control<QScrollBar>(&d, CSyncOptDlg::IDC_CUSTOM_SPIN)->setValue(5);
        EXPECT_EQ(number->text(), QStringLiteral("5"));
        QTest::keyClick(number, Qt::Key_Up);
        EXPECT_EQ(number->text(), QStringLiteral("6"));
        ui::control<QLineEdit>(&d, CSyncOptDlg::IDC_FILE)->setText(QStringLiteral("/tmp/y.qrn"));
        d.grab().save(QStringLiteral(SCREENSHOT_DIR "/sync_options.png"));
        d.accept();
        return d.result();
    });
    EXPECT_TRUE(runSyncOptionsDialog(nullptr, u"System Volume", filter, path16));
    EXPECT_EQ(filter, 2u);
    EXPECT_EQ(path16, u"/tmp/y.qrn");
    ui::setModalHook([](QDialog& d) {
        d.reject();
        return d.result();
    });
    EXPECT_FALSE(runSyncOptionsDialog(nullptr, u"", filter, path16));
    ui::setModalHook(nullptr);
}

}  // namespace
