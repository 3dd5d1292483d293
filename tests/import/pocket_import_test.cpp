// The contact import through its command: vCard files in the device's Contacts folder, the
// questions answered from a script, the records checked in the store.
#include "import/pocket_import.h"

#include <QApplication>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "cedb/faults.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "import/contact_mapping.h"
#include "interop/exported_objects.h"
#include "pim/pim.h"
#include "qt/screen_test.h"
#include "recording_main_view.h"
#include "shell/shell.h"
#include "strings/string_table.h"

namespace {

const QString kAsk = QStringLiteral("지금 데이타를 가져오시겠습니까?");
const QString kSucceeded = QStringLiteral("포팅이 성공적으로 끝났습니다..");
const QString kFailed =
    QStringLiteral("포팅에 실패하였습니다..데이타를 정리하고 다시 시도하세요..");
const QString kSaveError = QStringLiteral("저장하는 도중 에러가 발생했습니다..");
const QString kNameExists =
    QStringLiteral("(이)라는 이름이 이미 존재합니다. 이 DATA를 추가하시겠습니까?");
const QString kEmailExists =
    QStringLiteral("(이)라는 전자 메일 주소가 이미 존재합니다. 이 DATA를 추가하시겠습니까?");

std::string card(const std::string& n, const std::string& email = {},
                 const std::string& extra = {}) {
    std::string c = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    if (!n.empty()) c += "N:" + n + "\r\n";
    if (!email.empty()) c += "EMAIL:" + email + "\r\n";
    return c + extra + "END:VCARD\r\n";
}

cedb::FileTime dayAt(int y, int m, int d) {
    return *clk::toFileTime({y, m, 0, d, 0, 0, 0, 0});
}

class PocketImportTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        pim::faults::clear();
        ASSERT_TRUE(store.CreateDatabases());
        ASSERT_TRUE(store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
        ASSERT_TRUE(clk::setDeviceTime({2026, 12, 0, 8, 9, 30, 15, 0}));
        clk::freeze(true);
        now = *clk::toFileTime(clk::localTime());
    }
    void TearDown() override {
        // Every object of the contact store was released, on whatever path the test took.
        EXPECT_EQ(pim::liveObjects(), 0);
        EXPECT_EQ(pim::liveStrings(), 0);
        EXPECT_EQ(pim::comInitializations(), 0);
        EXPECT_FALSE(shell::isWaitCursorShown());
        pim::faults::clear();
        ScreenTest::TearDown();
    }

    void contacts(const std::string& file, const std::string& bytes) {
        const auto folder = devfs::toHost(pim::kContactsFolder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / file, std::ios::binary) << bytes;
    }

    void run() {
        CPocketImport importer(view);
        importer.OnImportPocketContacts();
        counts = importer.counts();
        messages.verify();
    }

    void addKnown(const std::u16string& name, const std::u16string& email) {
        RecordImage r{};
        setText(r.name, name);
        setText(r.email, email);
        ASSERT_TRUE(store.AddPerson(r));
    }

    // Every record in identifier order, with every property.
    static std::vector<RecordImage> records() {
        std::vector<RecordImage> out;
        cedb::Database db;
        EXPECT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
        for (bool ok = db.seekFirst(); ok; ok = db.seekNext()) {
            RecordImage r{};
            for (const cedb::PropVal& p : db.readCurrent().value_or(cedb::Record{}))
                loadProperty(r, p);
            out.push_back(r);
        }
        return out;
    }

    std::vector<std::u16string> names() {
        std::vector<std::u16string> out;
        for (const RecordImage& r : records())
            if (r.kind == PersonKind) out.emplace_back(text(r.name));
        return out;
    }

    CRecordStore store;
    RecordingMainView view{store};
    CPocketImport::Counts counts;
    cedb::FileTime now;
};

TEST_F(PocketImportTest, ContactsBecomePeopleWithTheirBirthdaysAndWeddingAnniversaries) {
    contacts("phone.vcf",
             card("홍;길동", "hong@example.com",
                  "ORG:큐오린\r\nTITLE:과장\r\nADR;TYPE=WORK:;;테헤란로 1;강남구;;06000;한국\r\n"
                  "TEL;TYPE=CELL:010-1111-2222\r\nTEL;TYPE=WORK:02-333-4444\r\n"
                  "TEL;TYPE=HOME:02-555-6666\r\nTEL;TYPE=WORK,FAX:02-777-8888\r\n"
                  "CATEGORIES:친구,회사\r\nBDAY:1980-02-29\r\nANNIVERSARY:--1009\r\n") +
                 card("Doe\\;Jr;John") + card("", "", "TEL:010\r\n"));
    messages.expect(kAsk, shell::IDYES).expect(kSucceeded);
    run();

    const std::vector<RecordImage> r = records();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].id, 11);
    EXPECT_EQ(r[0].key, 11);
    EXPECT_EQ(r[0].kind, PersonKind);
    EXPECT_EQ(r[0].changeFlags, 3u);
    EXPECT_EQ(text(r[0].name), u"홍길동");
    EXPECT_EQ(text(r[0].company), u"큐오린");
    EXPECT_EQ(text(r[0].title), u"과장");
    EXPECT_EQ(text(r[0].address), u"한국 강남구 테헤란로 1") << "no state: one blank between parts";
    EXPECT_EQ(text(r[0].mobile), u"010-1111-2222");
    EXPECT_EQ(text(r[0].workPhone), u"02-333-4444");
    EXPECT_EQ(text(r[0].homePhone), u"02-555-6666");
    EXPECT_EQ(text(r[0].fax), u"02-777-8888");
    EXPECT_EQ(text(r[0].email), u"hong@example.com");
    EXPECT_EQ(text(r[0].groups), u"친구, 회사");
    EXPECT_EQ(r[0].stamp, now) << "stamped with the time of the import";

    for (int i : {1, 2}) {
        EXPECT_EQ(r[size_t(i)].kind, AnniversaryKind);
        EXPECT_EQ(r[size_t(i)].id, 11 + 10 * i);
        EXPECT_EQ(text(r[size_t(i)].participantIds), u"11");
        EXPECT_EQ(text(r[size_t(i)].participantNames), u"홍길동");
        EXPECT_EQ(text(r[size_t(i)].place), u"100;0;0;");
        EXPECT_EQ(r[size_t(i)].end, cedb::FileTime{});
        EXPECT_EQ(r[size_t(i)].stamp, now);
        EXPECT_EQ(text(r[size_t(i)].name), u"");
    }
    EXPECT_EQ(text(r[1].content), u"생일");
    EXPECT_EQ(r[1].start, dayAt(1980, 2, 29));
    EXPECT_EQ(text(r[2].content), u"결혼 기념일");
    EXPECT_EQ(r[2].start, dayAt(pim::kNoYear, 10, 9)) << "a date without a year, on a leap year";

    EXPECT_EQ(text(r[3].name), u"Doe,JrJohn") << "the ';' the lists refuse is replaced";
    EXPECT_EQ(text(r[3].mobile), u"") << "no \"None\" for a missing number";
    EXPECT_EQ(text(r[4].name), u"Outlook");
    EXPECT_EQ(text(r[4].mobile), u"010");
    EXPECT_EQ(r[4].id, 51);

    cedb::Database db;
    ASSERT_TRUE(db.open(cedb::objectStore(), std::u16string(CountDatabaseName)));
    ASSERT_TRUE(db.seekFirst());
    EXPECT_EQ(cedb::findProp(*db.readCurrent(), PropCounter)->number, 6);
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(counts.added, 3);

    // The contact's groups became categories, once each.
    std::vector<std::u16string> categories;
    store.RefreshCategories(categories);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), u"친구"), 1);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), u"회사"), 1);
}

TEST_F(PocketImportTest, LongTextsAreCutToTheirFieldsAndGroupListsAtAWholeName) {
    const std::string longName(40, 'n');
    contacts("a.vcf", card(longName + ";x", "",
                           "CATEGORIES:가족,친구,회사,동창회,교회,거래처,이웃,동호회,테니스\r\n"));
    messages.expect(kAsk, shell::IDYES).expect(kSucceeded);
    run();
    const std::vector<RecordImage> r = records();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(text(r[0].name), std::u16string(19, u'n'));
    EXPECT_EQ(text(r[0].groups), u"가족, 친구, 회사, 동창회, 교회, 거래처, 이웃");
    std::vector<std::u16string> categories;
    store.RefreshCategories(categories);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), u"동호회"), 0);
}

TEST_F(PocketImportTest, NoAnEmptyFolderAndUnreadableCards) {
    messages.expect(kAsk, shell::IDNO);
    run();
    EXPECT_EQ(view.refreshes, 0);

    messages.expect(kAsk, shell::IDYES).expect(kSucceeded);
    run();
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(view.refreshes, 1);

    // A broken card among good ones, a byte-order mark before the first.
    contacts("a.vcf", "\xEF\xBB\xBF" + card("첫;째") + "BEGIN:VCARD\r\nN:깨진\r\n" + card("둘;째"));
    messages.expect(kAsk, shell::IDYES)
        .expect(QStringLiteral("읽을 수 없는 연락처 1개는 가져오지 않았습니다.."))
        .expect(kSucceeded);
    run();
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"첫째", u"둘째"}));
}

TEST_F(PocketImportTest, CardsOfOtherCodePagesComeInAsTheirOwnScriptAndUndecodableOnesAreCounted) {
    // Files as desktop address books write them: Windows code pages, named on one line.
    contacts("western.vcf",
             "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=Windows-1252:M\xFCller;J\xFCrgen\r\n"
             "ADR;WORK:;;Hauptstra\xDF"
             "e 5;M\xF6\xDFlitz;;;Deutschland\r\n"
             "CATEGORIES:Kunden\\;Lieferanten,VIP\r\nEND:VCARD\r\n");
    contacts(
        "x-cyrillic.vcf",
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=windows-1251:\xD8\xE5\xE2\xF7\xE5\xED\xEA\xEE;"
        "\xD2\xE0\xF0\xE0\xF1\r\nADR;WORK:;;;\xCA\xE8\xBF\xE2;;;\r\nEND:VCARD\r\n"
        // no charset anywhere, and the bytes are neither UTF-8 nor CP949
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Caf\xE9;\r\nEND:VCARD\r\n");
    messages.expect(kAsk, shell::IDYES)
        .expect(QStringLiteral("읽을 수 없는 연락처 1개는 가져오지 않았습니다.."))
        .expect(kSucceeded);
    run();
    const std::vector<RecordImage> r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(text(r[0].name), u"MüllerJürgen");
    EXPECT_EQ(text(r[0].address), u"Deutschland Mößlitz Hauptstraße 5");
    EXPECT_EQ(text(r[0].groups), u"Kunden；Lieferanten, VIP") << "one group, not two";
    EXPECT_EQ(text(r[1].name), u"ШевченкоТарас");
    EXPECT_EQ(text(r[1].address), u"Київ");
    std::vector<std::u16string> categories;
    store.RefreshCategories(categories);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), u"Kunden；Lieferanten"), 1);
    EXPECT_EQ(std::count(categories.begin(), categories.end(), u"Kunden"), 0);
}

TEST_F(PocketImportTest, DuplicatesAreAskedAboutAndExactMatchesSkippedWithoutAQuestion) {
    addKnown(u"홍길동", u"other@x");
    addKnown(u"홍길동", u"hong@x");
    addKnown(u"김철수", u"kim@x");
    addKnown(u"Outlook", u"");
    contacts("a.vcf", card("홍;길동", "hong@x") +        // exact match of the second: no question
                          card("홍;길동", "new@x") +     // same name: asked, No
                          card("홍;길동", "") +          // same name: asked, Yes
                          card("이;영희", "kim@x") +     // same e-mail: asked, Yes
                          card("박;", "park@x") +        // new
                          card("박;", "park@x") +        // the same again: not known yet, added
                          card("", "", "TITLE:x\r\n"));  // "Outlook": never a duplicate by name
    messages.expect(kAsk, shell::IDYES)
        .expect(QStringLiteral("홍길동") + kNameExists, shell::IDNO)
        .expect(QStringLiteral("홍길동") + kNameExists, shell::IDYES)
        .expect(QStringLiteral("kim@x") + kEmailExists, shell::IDYES)
        .expect(kSucceeded);
    run();
    for (const auto& m : messages.shown()) {
        if (m.text.endsWith(kNameExists)) {
            EXPECT_EQ(m.buttons, shell::Buttons::YesNo);
            EXPECT_EQ(m.icon, shell::Icon::Stop);
        }
    }
    EXPECT_EQ(names(),
              (std::vector<std::u16string>{u"홍길동", u"홍길동", u"김철수", u"Outlook", u"홍길동",
                                           u"이영희", u"박", u"박", u"Outlook"}));
    EXPECT_EQ(counts.skipped, 2);
}

TEST_F(PocketImportTest, EachFailureOfTheContactStoreIsSaidAndEverythingReleased) {
    contacts("a.vcf", card("하;나") + card("둘;") + card("셋;"));
    using pim::faults::Op;
    const std::pair<Op, QString> cases[] = {
        {Op::CoInitialize, QStringLiteral("Error in call to CoInitializeEx ")},
        {Op::CreateApp, QStringLiteral("Error in call to CoCreateInstance")},
        {Op::Logon, QStringLiteral("Failure to obtain Contact folder")},
        {Op::GetDefaultFolder, QStringLiteral("Failure to obtain Contact Folder")},
        {Op::GetItems, QStringLiteral("Failure to obtain Contact Folder")},
        {Op::GetCount, QStringLiteral("Failure to obtain Contact Folder")},
    };
    for (const auto& [op, text] : cases) {
        pim::faults::arm({op});
        messages.expect(kAsk, shell::IDYES).expect(text).expect(kFailed);
        run();
        EXPECT_NE(messages.shown().back().caption, QStringLiteral("Error"));
        EXPECT_EQ(messages.shown()[messages.shown().size() - 2].caption, QStringLiteral("Error"));
        EXPECT_EQ(pim::liveObjects(), 0) << text.toStdString();
        EXPECT_EQ(pim::comInitializations(), 0);
    }
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(view.refreshes, 0);

    // The third item cannot be fetched: the two before it stay, whole.
    pim::faults::arm({Op::Item, pim::E_FAIL, 2});
    messages.expect(kAsk, shell::IDYES).expect(kFailed);
    run();
    EXPECT_EQ(names(), (std::vector<std::u16string>{u"하나", u"둘"}));
}

TEST_F(PocketImportTest, AContactTheStoreCannotKeepIsStoredNotAtAllAndAFailedBatchNotInPart) {
    contacts("a.vcf", card("하;나", "", "BDAY:2000-01-01\r\n") +
                          card("둘;", "", "BDAY:2000-01-02\r\nANNIVERSARY:2020-05-05\r\n") +
                          card("셋;", "", "BDAY:2000-01-03\r\n"));
    // The second contact's wedding anniversary cannot be added (the fifth add).
    cedb::faults::arm(
        {cedb::faults::Op::Add, std::u16string(MainDatabaseName), cedb::Error::DiskFull, 4});
    messages.expect(kAsk, shell::IDYES).expect(kSaveError).expect(kSucceeded);
    run();
    EXPECT_EQ(messages.shown()[1].caption, QStringLiteral("Error"));
    std::vector<std::u16string> contents;
    for (const RecordImage& r : records())
        contents.push_back(std::u16string(text(r.name)) += text(r.content));
    EXPECT_EQ(contents, (std::vector<std::u16string>{u"하나", u"생일", u"셋", u"생일"}))
        << "no person without its anniversaries";
    EXPECT_EQ(counts.failed, 1);

    // The batch cannot be made durable: none of it is stored, and the import says it failed.
    const size_t before = records().size();
    contacts("a.vcf", card("넷;") + card("다;섯"));
    cedb::faults::arm({cedb::faults::Op::Commit, u"", cedb::Error::DiskFull, 2});
    messages.expect(kAsk, shell::IDYES).expect(kSaveError).expect(kFailed);
    run();
    EXPECT_EQ(records().size(), before);

    // The batch committed before a duplicate question fails: the import stops there and says
    // so, rather than going on to a success message.
    contacts("a.vcf", card("여;섯") + card("하;나") + card("일;곱"));
    cedb::faults::arm({cedb::faults::Op::Commit, u"", cedb::Error::DiskFull, 1});
    messages.expect(kAsk, shell::IDYES)
        .expect(QStringLiteral("하나") + kNameExists, shell::IDNO)
        .expect(kSaveError)
        .expect(kFailed);
    run();
    EXPECT_EQ(records().size(), before);
}

TEST_F(PocketImportTest, ALargeImportShowsProgressAndWritesInDurableBatches) {
    std::string many;
    for (int i = 0; i < 250; ++i)
        many +=
            card("사람;" + std::to_string(i), "", "BDAY:1990-01-01\r\nANNIVERSARY:2015-06-01\r\n");
    contacts("many.vcf", many);
    bool progressShown = false;
    bool waitCursor = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QStringLiteral("importProgress") && w->isVisible()) {
                progressShown = true;
                testsupport::screenshot(w, QStringLiteral("import_progress"));
            }
        }
        waitCursor = shell::isWaitCursorShown();
    });
    messages.expect(kAsk, shell::IDYES).expect(kSucceeded);
    run();
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(waitCursor);
    const std::vector<RecordImage> r = records();
    ASSERT_EQ(r.size(), 750u);
    EXPECT_EQ(r.back().id, 7501);
    EXPECT_EQ(text(r.back().participantIds), u"7481");
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->objectName() == QStringLiteral("importProgress") && w->isVisible());
}

// Quorin's own vCard export, read back by this import into an emptied store: every field a
// person holds, and the birthday and wedding anniversary, come back as they were.
TEST_F(PocketImportTest, ExportedCardsImportBackIntact) {
    RecordImage full{};
    full.kind = PersonKind;
    setText(full.name, u"홍길동");
    setText(full.company, u"큐오린 주식회사");
    setText(full.title, u"부장");
    setText(full.address, u"서울시 강남구 테헤란로 1");
    setText(full.mobile, u"010-1234-5678");
    setText(full.workPhone, u"02-123-4567");
    setText(full.homePhone, u"02-555-6666");
    setText(full.fax, u"02-765-4321");
    setText(full.email, u"hong@example.com");
    setText(full.groups, u"개인 친분, VIP");
    ASSERT_TRUE(store.AddRecord(full));
    for (auto [date, content] :
         {std::pair{pim::oleDate(1980, 5, 17), contactimport::kBirthdayContent},
          std::pair{pim::oleDate(2010, 10, 9), contactimport::kWeddingContent}}) {
        RecordImage day = contactimport::anniversaryOf(full, date, content, now);
        ASSERT_TRUE(store.AddRecord(day));
    }
    // Every text at its field's limit; no telephone (stored "None"), no e-mail.
    RecordImage bare{};
    bare.kind = PersonKind;
    setText(bare.name, std::u16string(19, u'김'));
    setText(bare.company, std::u16string(19, u'회'));
    setText(bare.title, std::u16string(29, u'직'));
    setText(bare.address, std::u16string(49, u'길'));
    for (char16_t* phone : {bare.mobile, bare.workPhone, bare.homePhone, bare.fax})
        setText({phone, 20}, u"None");
    setText(bare.groups, std::u16string(29, u'동'));
    ASSERT_TRUE(store.AddRecord(bare));

    interop::ExportOptions options;
    options.handheld.assign(16, 1);
    interop::ExportCounts exported;
    std::ostringstream err;
    std::filesystem::create_directories(devfs::toHost(pim::kContactsFolder));
    ASSERT_TRUE(interop::exportFiles(
        store, options, devfs::toHost(pim::kContactsFolder) / "quorin.vcf", {}, exported, err))
        << err.str();
    EXPECT_EQ(exported.persons, 2);
    const std::vector<RecordImage> before = records();
    for (const RecordImage& r : before) ASSERT_TRUE(store.DeleteRecord(r));

    messages.expect(kAsk, shell::IDYES).expect(kSucceeded);
    run();
    EXPECT_EQ(counts.added, 2);
    const std::vector<RecordImage> after = records();
    ASSERT_EQ(after.size(), before.size());
    // "None" is the editor's word for a telephone not given; the import leaves it empty.
    auto given = [](RecordImage r, uint32_t prop) {
        const std::u16string_view t = text(textField(r, prop));
        return t == u"None" ? std::u16string() : std::u16string(t);
    };
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i].kind, before[i].kind);
        for (uint32_t prop : {PropName, PropCompany, PropTitle, PropAddress, PropMobile,
                              PropWorkPhone, PropHomePhone, PropFax, PropEmail, PropGroups,
                              PropParticipantNames, PropPlace, PropContent})
            EXPECT_EQ(given(after[i], prop), given(before[i], prop)) << std::hex << prop;
        EXPECT_EQ(after[i].start, before[i].start);
    }
}

}  // namespace
