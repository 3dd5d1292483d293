// quorin-sync dav against a real Radicale: the first push, a second that sends nothing, a change
// and a delete that send only themselves, edits made on the server left alone, a push cut off by
// the server going away, refused credentials and password files; what the server holds is read
// back by an independent parser.
#include <QJsonArray>

#include "dav_fixture.h"
#include "fs/devfs.h"
#include "interop/dav/push.h"
#include "interop/dav/push_state.h"
#include "interop/exported_objects.h"
#include "interop_fixture.h"

namespace interoptest {
namespace {

namespace fs = std::filesystem;

class DavPushTest : public InteropTest {
protected:
    void SetUp() override {
        InteropTest::SetUp();
        fs::create_directories(roots.desktop());
        std::ofstream(passwordFile()) << Radicale::kPassword << "\r\n";
        fs::permissions(passwordFile(), fs::perms::owner_read | fs::perms::owner_write);
    }

    fs::path passwordFile() const { return work() / "password"; }
    fs::path stateFile() const { return roots.desktop() / "dav-state"; }

    // Persons "사람 i" and appointments "회의 i", one anniversary of the first person.
    void fill(int persons, int appointments) {
        CRecordStore::Batch batch(store);
        for (int i = 0; i < persons; ++i) {
            RecordImage p{};
            p.kind = PersonKind;
            setText(p.name, u"사람 " + devfs::fromUtf8(std::to_string(i)));
            setText(p.company, u"큐오린");
            setText(p.email, devfs::fromUtf8("p" + std::to_string(i) + "@example.com"));
            people.push_back(add(p));
        }
        for (int i = 0; i < appointments; ++i) {
            RecordImage a{};
            a.kind = AppointmentKind;
            setText(a.content, u"회의 " + devfs::fromUtf8(std::to_string(i)));
            setText(a.place, u"본사 3층");
            a.start = at(2026, 3, 1 + i % 28, 9);
            a.end = at(2026, 3, 1 + i % 28, 10);
            events.push_back(add(a));
        }
        if (persons > 0) {
            RecordImage b{};
            b.kind = AnniversaryKind;
            setText(b.participantIds, devfs::fromUtf8(std::to_string(people[0])));
            setText(b.participantNames, u"사람 0");
            setText(b.content, u"생일");
            setText(b.place, u"100;3;0;");
            b.start = at(1990, 5, 17);
            add(b);
        }
        ASSERT_TRUE(batch.commit());
    }

    std::vector<interop::ExportedObject> objects(uint8_t handheld = 7) {
        interop::ExportOptions options;
        options.handheld.assign(16, handheld);
        std::vector<interop::ExportedObject> out;
        std::ostringstream err;
        EXPECT_TRUE(interop::exportObjects(store, options, out, err)) << err.str();
        return out;
    }

    // The push in this process, through the counting transport.
    bool pushNow(dav::PushCounts& counts, std::string* err = nullptr, uint8_t handheld = 7,
                 const fs::path& state = {}) {
        std::ostringstream messages;
        const bool ok = dav::push(counting, objects(handheld), {server.url(), {}, {}},
                                  state.empty() ? stateFile() : state, counts, messages);
        if (err)
            *err = messages.str();
        else
            EXPECT_TRUE(ok) << messages.str();
        return ok;
    }

    ProgramRun dav(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{
            "dav",           "--url",           server.url(),           "--user",
            Radicale::kUser, "--password-file", passwordFile().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return runSync(args, work());
    }

    // The resource's body as the server answers a GET.
    std::string get(const std::string& url) {
        dav::HttpResponse r;
        std::string why;
        EXPECT_TRUE(curl->send({"GET", url, {}, {}}, r, why)) << why;
        EXPECT_EQ(r.status, 200) << url;
        return r.body;
    }

    std::string uidOfFile(const fs::path& file) {
        const std::string text = slurp(file);
        const size_t at = text.find("\nUID:");
        EXPECT_NE(at, std::string::npos);
        return text.substr(at + 5, text.find_first_of("\r\n", at + 5) - at - 5);
    }
    // The resource file on the server whose text holds `needle`.
    fs::path fileWith(const std::string& collection, const std::string& needle) {
        for (const fs::path& f : server.resources(collection))
            if (slurp(f).find(needle) != std::string::npos) return f;
        ADD_FAILURE() << "no resource with " << needle;
        return {};
    }

    Radicale server{work() / "radicale"};
    std::unique_ptr<dav::Transport> curl =
        dav::makeCurlTransport({Radicale::kUser, Radicale::kPassword});
    dav::CountingTransport counting{*curl};
    std::vector<int32_t> people, events;
};

TEST_F(DavPushTest, FirstPushCreatesTheCollectionsAndALaterOneFindsThem) {
    fill(3, 2);
    ProgramRun run = dav();
    ASSERT_EQ(run.rc, 0) << run.err;
    EXPECT_EQ(run.out, "added 6\nchanged 0\ndeleted 0\nconflicts 0\n");

    // The independent reader sees every object the server holds.
    const auto cards = server.resources("quorin-contacts");
    const auto calendar = server.resources("quorin");
    ASSERT_EQ(cards.size(), 3u);
    ASSERT_EQ(calendar.size(), 3u);
    std::vector<fs::path> all = cards;
    all.insert(all.end(), calendar.begin(), calendar.end());
    const QJsonObject read = readObjects(all, work());
    for (int i = 0; i < 3; ++i)
        findBy(read["cards"].toArray(), "fn", QString::fromUtf8("사람 ") + QString::number(i));
    findBy(read["events"].toArray(), "summary", QString::fromUtf8("회의 1"));
    findBy(read["events"].toArray(), "location", QString::fromUtf8("본사 3층"));
    int birthdays = 0;
    for (const QJsonValue& e : read["events"].toArray())
        birthdays += e.toObject()["summary"].toString().endsWith(QString::fromUtf8("생일"));
    EXPECT_EQ(birthdays, 1);
    for (const fs::path& f : all)
        EXPECT_EQ(f.stem().string(), uidOfFile(f)) << "each resource is named by its UID";

    // The state is its owner's alone; a second run sends nothing.
    EXPECT_EQ(fs::status(stateFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    run = dav();
    EXPECT_EQ(run.rc, 0) << run.err;
    EXPECT_EQ(run.out, "added 0\nchanged 0\ndeleted 0\nconflicts 0\n");

    // Another handheld with a state of its own finds the collections instead of making new ones.
    dav::PushCounts counts;
    ASSERT_TRUE(pushNow(counts, nullptr, 9, work() / "other-state"));
    EXPECT_EQ(counting.count("MKCALENDAR") + counting.count("MKCOL"), 0);
    EXPECT_EQ(counts.added, 6);
    EXPECT_EQ(server.resources("quorin-contacts").size(), 6u);
    EXPECT_EQ(server.resources("quorin").size(), 6u);
    size_t collections = 0;
    for (const auto& e : fs::directory_iterator(server.home()))
        collections += e.is_directory() && e.path().filename().string()[0] != '.';
    EXPECT_EQ(collections, 2u);
}

TEST_F(DavPushTest, LaterPushesSendOnlyWhatChanged) {
    fill(4, 3);
    dav::PushCounts counts;
    ASSERT_TRUE(pushNow(counts));
    EXPECT_EQ(counts.added, 8);
    EXPECT_EQ(counting.count("PUT"), 8);

    // Nothing changed: one check of each collection, nothing else.
    counting.reset();
    ASSERT_TRUE(pushNow(counts));
    EXPECT_EQ(counts.added + counts.changed + counts.deleted + counts.conflicts, 0);
    EXPECT_EQ(counting.count("PUT") + counting.count("DELETE"), 0);
    EXPECT_EQ(counting.total(), 2);

    // One person changed: one PUT, and the server has the new text.
    RecordImage p{};
    p.kind = PersonKind;
    p.id = people[2];
    ASSERT_TRUE(store.ReadRecord(p));
    setText(p.company, u"새 회사");
    ASSERT_TRUE(store.UpdatePerson(p));
    counting.reset();
    ASSERT_TRUE(pushNow(counts));
    EXPECT_EQ(counts.changed, 1);
    EXPECT_EQ(counts.added + counts.deleted + counts.conflicts, 0);
    EXPECT_EQ(counting.count("PUT"), 1);
    EXPECT_EQ(counting.total(), 3);
    EXPECT_NE(slurp(fileWith("quorin-contacts", "사람 2")).find("새 회사"), std::string::npos);

    // One appointment deleted: one DELETE, and its resource is gone.
    RecordImage e{};
    e.kind = AppointmentKind;
    ASSERT_EQ(server.resources("quorin").size(), 4u);
    const fs::path gone = fileWith("quorin", "회의 1");
    e.id = events[1];
    e.key = events[1];
    ASSERT_TRUE(store.ReadRecord(e));
    ASSERT_TRUE(store.DeleteRecord(e));
    counting.reset();
    ASSERT_TRUE(pushNow(counts));
    EXPECT_EQ(counts.deleted, 1);
    EXPECT_EQ(counting.count("DELETE"), 1);
    EXPECT_EQ(counting.count("PUT"), 0);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_EQ(server.resources("quorin").size(), 3u);
}

TEST_F(DavPushTest, WhatWasChangedOnTheServerIsLeftAsItIsAndListed) {
    fill(3, 2);
    ASSERT_EQ(dav().rc, 0);
    // Someone else edits a card and an event on the server with a plain PUT.
    const fs::path cardFile = fileWith("quorin-contacts", "사람 1");
    const fs::path eventFile = fileWith("quorin", "회의 0");
    const std::string cardUid = uidOfFile(cardFile), eventUid = uidOfFile(eventFile);
    const std::string cardUrl = server.url() + "anna/quorin-contacts/" + cardUid + ".vcf";
    const std::string eventUrl = server.url() + "anna/quorin/" + eventUid + ".ics";
    for (const auto& [url, end, type] :
         {std::tuple{cardUrl, std::string("END:VCARD"), "text/vcard"},
          std::tuple{eventUrl, std::string("END:VEVENT"), "text/calendar"}}) {
        std::string text = get(url);
        text.replace(text.find(end), 0, "COMMENT:edited elsewhere\r\n");
        dav::HttpResponse r;
        std::string why;
        ASSERT_TRUE(curl->send({"PUT", url, {{"Content-Type", type}}, text}, r, why)) << why;
        ASSERT_TRUE(r.status == 201 || r.status == 204) << r.status;
    }
    const std::string cardThere = get(cardUrl), eventThere = get(eventUrl);

    // Here the card changes too, the event is deleted, and another person changes.
    RecordImage p{};
    p.kind = PersonKind;
    for (int32_t id : {people[1], people[2]}) {
        p.id = id;
        ASSERT_TRUE(store.ReadRecord(p));
        setText(p.company, u"바뀐 회사");
        ASSERT_TRUE(store.UpdatePerson(p));
    }
    RecordImage e{};
    e.kind = AppointmentKind;
    e.id = e.key = events[0];
    ASSERT_TRUE(store.ReadRecord(e));
    ASSERT_TRUE(store.DeleteRecord(e));

    for (int run = 0; run < 2; ++run) {  // listed again until someone settles it
        const ProgramRun r = dav();
        EXPECT_EQ(r.rc, 0) << r.err;
        EXPECT_EQ(r.out, run == 0 ? "added 0\nchanged 1\ndeleted 0\nconflicts 2\n"
                                  : "added 0\nchanged 0\ndeleted 0\nconflicts 2\n");
        EXPECT_NE(r.err.find(cardUid + " 사람 1"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(eventUid + " 회의 0"), std::string::npos) << r.err;
        EXPECT_EQ(get(cardUrl), cardThere);
        EXPECT_EQ(get(eventUrl), eventThere);
    }
    EXPECT_NE(slurp(fileWith("quorin-contacts", "사람 2")).find("바뀐 회사"), std::string::npos);
}

TEST_F(DavPushTest, APushCutOffIsCompletedByTheNextRun) {
    fill(40, 40);
    // Through the fault switch: every request from the 20th on fails.
    counting.failFrom(20);
    const fs::path state = work() / "in-process-state";
    dav::PushCounts first;
    std::string err;
    ASSERT_FALSE(pushNow(first, &err, 7, state));
    EXPECT_NE(err.find("cannot be reached"), std::string::npos) << err;
    EXPECT_GT(first.added, 0);
    counting.failFrom(0);
    counting.reset();
    dav::PushCounts second;
    ASSERT_TRUE(pushNow(second, nullptr, 7, state));
    EXPECT_EQ(first.added + second.added, 81);
    EXPECT_EQ(counting.count("PUT"), second.added) << "nothing finished is sent again";
    EXPECT_EQ(second.conflicts, 0);

    // The real server killed while the program pushes.
    fill(0, 150);
    const fs::path out = work() / "cut.out", errFile = work() / "cut.err";
    const pid_t pid = fork();
    if (pid == 0) {
        freopen(out.c_str(), "w", stdout);
        freopen(errFile.c_str(), "w", stderr);
        const std::string url = server.url(), pw = passwordFile().string();
        execl(QUORIN_SYNC, "quorin-sync", "dav", "--url", url.c_str(), "--user", Radicale::kUser,
              "--password-file", pw.c_str(), nullptr);
        _exit(127);
    }
    for (int i = 0; i < 600 && server.resources("quorin").size() < 41 + 30; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    server.stop();
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(slurp(errFile).find("cannot be reached"), std::string::npos) << slurp(errFile);
    const std::string cutOut = slurp(out);
    const int cutAdded = std::atoi(cutOut.c_str() + std::string("added ").size());
    EXPECT_GT(cutAdded, 0) << cutOut;

    ASSERT_TRUE(server.start());
    const ProgramRun rest = dav();
    EXPECT_EQ(rest.rc, 0) << rest.err;
    EXPECT_EQ(rest.out.rfind("added " + std::to_string(231 - cutAdded) + "\n", 0), 0u)
        << rest.out << " after " << cutOut;
    EXPECT_NE(rest.out.find("conflicts 0\n"), std::string::npos) << rest.out;
    // The events of the push in this process and the program's own, under other UIDs.
    EXPECT_EQ(server.resources("quorin").size(), 41u + 191u);
    EXPECT_EQ(server.resources("quorin-contacts").size(), 80u);
}

TEST_F(DavPushTest, CredentialsPasswordFilesAndTheStateFileAreChecked) {
    fill(2, 1);
    // Refused before anything is sent: the server has not even made the user's folder.
    fs::permissions(passwordFile(), fs::perms::group_read, fs::perm_options::add);
    ProgramRun run = dav();
    EXPECT_EQ(run.rc, 1);
    EXPECT_NE(run.err.find("may be read by others"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(server.home()));
    fs::permissions(passwordFile(), fs::perms::owner_read | fs::perms::owner_write);

    // A wrong command line.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dav", "--url", server.url(), "--password", "x"},
          {"dav", "--url", server.url(), "--password-file", passwordFile().string()},
          {"dav", "--user", "anna"},
          {"dav", "--url", "http://anna:pw@127.0.0.1:1/"},
          {"dav", "--url", server.url(), "--bogus"}}) {
        run = runSync(args, work());
        EXPECT_EQ(run.rc, 2) << args[3];
        EXPECT_EQ(run.out, "");
    }

    // A wrong password: refused by the server, and never printed.
    std::ofstream(passwordFile(), std::ios::trunc) << "wrong horse\n";
    run = dav();
    EXPECT_EQ(run.rc, 1);
    EXPECT_NE(run.err.find("401"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("wrong horse"), std::string::npos);

    // A damaged state is refused, kept as it is, and nothing is sent.
    dav::PushCounts counts;
    ASSERT_TRUE(pushNow(counts));
    std::string state = slurp(stateFile());
    state.resize(state.size() - 8);
    std::ofstream(stateFile(), std::ios::trunc | std::ios::binary) << state;
    counting.reset();
    std::string err;
    EXPECT_FALSE(pushNow(counts, &err));
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_EQ(counting.total(), 0);
    EXPECT_EQ(slurp(stateFile()), state);
}

TEST_F(DavPushTest, HttpsCertificatesAreVerified) {
    fill(1, 1);
    const fs::path dir = work() / "tls";
    fs::create_directories(dir);
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " +
        (dir / "key.pem").string() + " -out " + (dir / "cert.pem").string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    Radicale tls(dir / "server", (dir / "cert.pem").string(), (dir / "key.pem").string());
    const std::vector<std::string> args{"dav",
                                        "--url",
                                        tls.url(),
                                        "--user",
                                        Radicale::kUser,
                                        "--password-file",
                                        passwordFile().string()};
    ProgramRun run = runSync(args, work());
    EXPECT_EQ(run.rc, 1);
    EXPECT_NE(run.err.find("certificate"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(tls.home()));

    std::vector<std::string> trusted = args;
    trusted.insert(trusted.end(), {"--ca-file", (dir / "cert.pem").string()});
    run = runSync(trusted, work());
    EXPECT_EQ(run.rc, 0) << run.err;
    EXPECT_EQ(run.out, "added 3\nchanged 0\ndeleted 0\nconflicts 0\n");
    EXPECT_EQ(tls.resources("quorin").size() + tls.resources("quorin-contacts").size(), 3u);
}

}  // namespace
}  // namespace interoptest
