// quorin-sync dav against a Radicale started by this program: the first push of 1000 objects
// beside the same 1000 PUTs sent by a plain libcurl loop in the same run, and a push after one
// record changed (objects in memory, and with the export of the store included).
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "bench_device.h"
#include "interop/dav/push.h"
#include "interop/exported_objects.h"
#include "radicale_server.h"
#include "schedule_records.h"
#include "store/record_store.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRecords = 1000;
constexpr char kUser[] = "bench";
constexpr char kPassword[] = "bench";

// ---- The server ---------------------------------------------------------------------------------

std::unique_ptr<testsupport::RadicaleServer>& radicale() {
    static std::unique_ptr<testsupport::RadicaleServer> s;
    return s;
}

fs::path& serverDir() {
    static fs::path dir;
    return dir;
}

bool startServer() {
    char pattern[] = "/tmp/quorin-dav-bench-XXXXXX";
    serverDir() = mkdtemp(pattern);
    radicale() = std::make_unique<testsupport::RadicaleServer>(serverDir(), kUser, kPassword);
    return radicale()->start();
}

void stopServer() {
    radicale().reset();
    std::error_code ec;
    if (!serverDir().empty()) fs::remove_all(serverDir(), ec);
}

// ---- Objects and collections --------------------------------------------------------------------

CRecordStore& store() {
    static CRecordStore s;
    return s;
}

int32_t& firstPerson() {
    static int32_t id = 0;
    return id;
}

void fill() {
    using benchschedule::at;
    CRecordStore& s = store();
    s.CreateDatabases();
    s.OpenDatabase(61228, MainHandle);
    CRecordStore::Batch batch(s);
    for (int i = 0; i < kRecords; ++i) {
        RecordImage r{};
        if (i % 2 == 0) {
            r.kind = PersonKind;
            setText(r.name, u"홍길동");
            setText(r.company, u"큐오린 주식회사");
            setText(r.mobile, u"010-1234-5678");
            setText(r.email, u"hong@example.com");
            setText(r.groups, u"개인 친분, VIP");
        } else {
            r.kind = AppointmentKind;
            setText(r.participantIds, u"1;#;");
            setText(r.participantNames, u"홍길동;");
            r.start = at(2005 + i % 20, 1 + i % 12, 1 + i % 28, 9, i % 60);
            r.end = at(2005 + i % 20, 1 + i % 12, 1 + i % 28, 18, 0);
            setText(r.place, u"서울 강남구 회의실");
            setText(r.content, u"분기 실적 검토\r\n다음 분기 계획 논의");
        }
        s.AddRecord(r);
        if (i == 0) firstPerson() = r.id;
    }
    batch.commit();
}

std::vector<interop::ExportedObject> exported() {
    interop::ExportOptions options;
    options.handheld.assign(16, 3);
    std::vector<interop::ExportedObject> out;
    std::ostringstream err;
    interop::exportObjects(store(), options, out, err);
    return out;
}

const std::vector<interop::ExportedObject>& objects() {
    static const std::vector<interop::ExportedObject> o = exported();
    return o;
}

std::unique_ptr<dav::Transport> transport() {
    return dav::makeCurlTransport({kUser, kPassword});
}

// A fresh calendar and address book: the first push always starts on empty collections.
std::pair<std::string, std::string> freshCollections() {
    static int n = 0;
    ++n;
    auto t = transport();
    const std::string base = radicale()->url() + kUser + "/";
    std::pair<std::string, std::string> made{base + "c" + std::to_string(n) + "/",
                                             base + "a" + std::to_string(n) + "/"};
    dav::HttpResponse r;
    std::string why;
    t->send({"MKCALENDAR", made.first, {}, {}}, r, why);
    t->send({"MKCOL",
             made.second,
             {{"Content-Type", "application/xml"}},
             "<D:mkcol xmlns:D=\"DAV:\" xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><D:set>"
             "<D:prop><D:resourcetype><D:collection/><CR:addressbook/></D:resourcetype></D:prop>"
             "</D:set></D:mkcol>"},
            r, why);
    return made;
}

// ---- Benchmarks ---------------------------------------------------------------------------------

// Radicale takes longer for each PUT the fuller the collection is, so every pass starts on new
// ones, and the one-change benchmarks go on from the first push's collections and state.
struct Pushed {
    std::string calendar, book;
    fs::path state;
};
Pushed& pushed() {
    static Pushed p;
    return p;
}

void BM_FirstPush(benchmark::State& state) {
    auto t = transport();
    for (auto _ : state) {
        state.PauseTiming();
        const auto [calendar, book] = freshCollections();
        pushed() = {calendar, book, serverDir() / "state"};
        fs::remove(pushed().state);
        state.ResumeTiming();
        dav::PushCounts counts;
        std::ostringstream err;
        if (!dav::push(*t, objects(), {radicale()->url(), calendar, book}, pushed().state, counts,
                       err) ||
            counts.added != int(objects().size()))
            state.SkipWithError(err.str().c_str());
    }
    state.counters["objects"] = double(objects().size());
}
BENCHMARK(BM_FirstPush)->Unit(benchmark::kMillisecond)->Iterations(1);

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The yardstick: the same PUTs, one reused easy handle, no state and no checks.
void BM_PlainCurlPuts(benchmark::State& state) {
    CURL* h = curl_easy_init();
    for (auto _ : state) {
        state.PauseTiming();
        const auto [calendar, book] = freshCollections();
        state.ResumeTiming();
        for (const interop::ExportedObject& o : objects()) {
            const bool event = o.collection == interop::Collection::Calendar;
            const std::string url = (event ? calendar : book) + o.uid + (event ? ".ics" : ".vcf");
            curl_slist* headers =
                curl_slist_append(nullptr, event ? "Content-Type: text/calendar; charset=utf-8"
                                                 : "Content-Type: text/vcard; charset=utf-8");
            headers = curl_slist_append(headers, "If-None-Match: *");
            curl_easy_setopt(h, CURLOPT_URL, url.c_str());
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "PUT");
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, o.text.data());
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(o.text.size()));
            curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
            curl_easy_setopt(h, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
            curl_easy_setopt(h, CURLOPT_USERNAME, kUser);
            curl_easy_setopt(h, CURLOPT_PASSWORD, kPassword);
            curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
            const CURLcode rc = curl_easy_perform(h);
            long status = 0;
            curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
            curl_slist_free_all(headers);
            if (rc != CURLE_OK || status != 201) state.SkipWithError("a PUT failed");
        }
    }
    curl_easy_cleanup(h);
    state.counters["objects"] = double(objects().size());
}
BENCHMARK(BM_PlainCurlPuts)->Unit(benchmark::kMillisecond)->Iterations(1);

// After a first push, one object changes between runs: one PUT and the two collection checks.
void BM_PushOneChange(benchmark::State& state) {
    auto t = transport();
    const auto& [calendar, book, file] = pushed();
    std::vector<interop::ExportedObject> now = objects();
    dav::PushCounts counts;
    std::ostringstream err;
    const std::string original = now[0].text;
    int round = 0;
    for (auto _ : state) {
        now[0].text = original;
        now[0].text.insert(now[0].text.find("END:VCARD"),
                           "NOTE:round " + std::to_string(++round) + "\r\n");
        if (!dav::push(*t, now, {radicale()->url(), calendar, book}, file, counts, err) ||
            counts.changed != 1) {
            state.SkipWithError(("not one change: " + err.str()).c_str());
            break;
        }
    }
}
BENCHMARK(BM_PushOneChange)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same with what the command does before: every record exported from the store.
void BM_ExportAndPushOneChange(benchmark::State& state) {
    auto t = transport();
    const auto& [calendar, book, file] = pushed();
    dav::PushCounts counts;
    std::ostringstream err;
    dav::push(*t, exported(), {radicale()->url(), calendar, book}, file, counts, err);  // in step
    RecordImage p{};
    p.kind = PersonKind;
    p.id = firstPerson();
    store().ReadRecord(p);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setText(p.company, u"회사 " + std::u16string(1, char16_t(u'가' + ++round % 100)));
        store().UpdatePerson(p);
        state.ResumeTiming();
        if (!dav::push(*t, exported(), {radicale()->url(), calendar, book}, file, counts, err) ||
            counts.changed != 1) {
            state.SkipWithError(("not one change: " + err.str()).c_str());
            break;
        }
    }
}
BENCHMARK(BM_ExportAndPushOneChange)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    if (!startServer()) {
        fprintf(stderr, "dav_push_bench: Radicale (/usr/bin/python3 -m radicale) did not start\n");
        stopServer();
        return 1;
    }
    const int rc = benchdevice::runOnTemporaryDevice(argc, argv, "dav-push-bench", [] {
        fill();
        objects();
    });
    stopServer();
    return rc;
}
