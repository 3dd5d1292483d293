#include "store/record_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cedb/faults.h"
#include "store_fixture.h"
#include "strings/string_table.h"

namespace {

using cedb::PropVal;
using cedb::faults::Op;

void failNext(Op op, std::u16string_view database, int skip = 0) {
    cedb::faults::arm({.op = op, .database = std::u16string(database), .skip = skip});
}

std::vector<uint32_t> propIds(const cedb::Record& rec) {
    std::vector<uint32_t> ids;
    for (const PropVal& p : rec) ids.push_back(p.propId);
    return ids;
}

TEST_F(StoreTest, FirstRunCreatesBothDatabasesWithTheirSortOrders) {
    EXPECT_TRUE(store.ExistsDatabase(res::IDS_MAIN_DATABASE));
    EXPECT_TRUE(store.ExistsDatabase(res::IDS_COUNT_DATABASE));
    EXPECT_EQ(storedCounter(), 1);

    const cedb::VolumeId vol = cedb::objectStore();
    const auto main = cedb::objectInfo(vol, cedb::findDatabase(vol, u"Quorin Database"));
    ASSERT_TRUE(main);
    EXPECT_EQ(main->database.type, 10000u);
    EXPECT_EQ(main->database.sortOrders,
              (std::vector<cedb::SortOrder>{{0x01020003, false}, {0x01170003, false}}));
    const auto count = cedb::objectInfo(vol, cedb::findDatabase(vol, u"Count Database"));
    ASSERT_TRUE(count);
    EXPECT_EQ(count->database.type, 11000u);
    EXPECT_EQ(count->database.sortOrders, (std::vector<cedb::SortOrder>{{0x02250003, false}}));
    EXPECT_EQ(count->database.recordCount, 1u);

    // A second start finds both and changes nothing.
    EXPECT_TRUE(store.CreateDatabases());
    EXPECT_EQ(storedCounter(), 1);
    EXPECT_EQ(cedb::enumerateDatabases(vol, 0).size(), 2u);
}

TEST_F(StoreTest, IdentifiersAreMadeFromTheCounter) {
    RecordImage a = personImage(u"홍길동");
    a.key = 999;
    ASSERT_TRUE(store.AddRecord(a));
    EXPECT_EQ(a.id, 11);
    EXPECT_EQ(a.changeFlags, 3u);
    EXPECT_EQ(a.key, 999) << "only id and changeFlags come back";
    EXPECT_EQ(storedCounter(), 2);
    ASSERT_TRUE(store.AddPerson(personImage(u"김철수")));
    ASSERT_TRUE(store.AddAppointment(eventImage(PersonKind, u"회의")));

    RecordImage noKind = personImage(u"종류 없음");
    noKind.kind = 0;
    EXPECT_FALSE(store.AddRecord(noKind));

    EXPECT_EQ(storedIds(), (std::vector<int32_t>{11, 21, 31}));
    EXPECT_EQ(storedProperty(11, PropKey).number, 11) << "the key is the new identifier";
    EXPECT_EQ(storedProperty(31, PropKey).number, 31);
    EXPECT_EQ(storedProperty(31, PropKind).number, 20) << "AddAppointment sets the kind";
    EXPECT_EQ(storedCounter(), 4);
}

TEST_F(StoreTest, EveryFieldRoundTripsInTheWrittenOrder) {
    RecordImage in;
    in.kind = AppointmentKind;
    in.changeFlags = 0x55;  // replaced by 3
    int unit = 0;
    for (uint32_t propId : RecordProperties) {
        std::span<char16_t> field = textField(in, propId);
        // Every text at its full length, each with its own letters.
        if (!field.empty())
            for (size_t i = 0; i + 1 < field.size(); ++i) field[i] = char16_t(u'가' + unit++ % 900);
    }
    in.reserved1 = -1;
    in.reserved2 = 2;
    in.reserved3 = -32768;
    in.reserved4 = 32767;
    in.start = cedb::FileTime{0x11111111, 0x01D00000};
    in.end = cedb::FileTime{0x22222222, 0x01D00000};
    in.hasSketch = 1;
    in.stamp = cedb::FileTime{0x33333333, 0x01D00000};
    ASSERT_TRUE(store.AddRecord(in));

    const std::vector<cedb::Record> stored = storedRecords();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(propIds(stored[0]),
              std::vector<uint32_t>(std::begin(RecordProperties), std::end(RecordProperties)));
    EXPECT_EQ(cedb::findProp(stored[0], PropKind)->number, 20);
    EXPECT_EQ(cedb::findProp(stored[0], PropChangeFlags)->number, 3);
    EXPECT_EQ(cedb::findProp(stored[0], PropReserved1)->number, 0xFFFF) << "stored as 16 bits";
    EXPECT_EQ(cedb::findProp(stored[0], PropStamp)->fileTime, in.stamp);

    RecordImage out;
    out.kind = AppointmentKind;
    out.key = in.id;
    ASSERT_TRUE(store.ReadRecord(out));
    // What ReadRecord does not read stays as the caller set it.
    EXPECT_EQ(out.changeFlags, 0u);
    EXPECT_EQ(out.id, 0);
    EXPECT_EQ(out.stamp, cedb::FileTime{});
    out.changeFlags = in.changeFlags;
    out.id = in.id;
    out.stamp = in.stamp;
    in.key = in.id;
    EXPECT_EQ(std::memcmp(&in, &out, sizeof in), 0);
}

TEST_F(StoreTest, TextsAreStoredWithinTheirCapacity) {
    RecordImage r = personImage(std::u16string(19, u'가'));
    setText(r.company, std::u16string(19, u'나'));
    // An image filled by hand with no terminator at all.
    std::fill(std::begin(r.email), std::end(r.email), u'@');
    std::fill(std::begin(r.groups), std::end(r.groups), u'G');
    ASSERT_TRUE(store.AddRecord(r));
    EXPECT_EQ(storedProperty(11, PropName).text, std::u16string(19, u'가'));
    EXPECT_EQ(storedProperty(11, PropEmail).text, std::u16string(29, u'@'));
    EXPECT_EQ(storedProperty(11, PropGroups).text, std::u16string(29, u'G'));

    std::fill(std::begin(r.name), std::end(r.name), u'X');
    ASSERT_TRUE(store.UpdatePerson(r));
    EXPECT_EQ(storedProperty(11, PropName).text, std::u16string(19, u'X'));

    // A longer text written by another program is cut on the way into the image.
    writeStored(11, {PropVal::string(0x105, std::u16string(45, u't'))});
    RecordImage back;
    back.kind = PersonKind;
    back.id = 11;
    ASSERT_TRUE(store.ReadRecord(back));
    EXPECT_EQ(text(back.title), std::u16string(29, u't'));
    EXPECT_EQ(back.title[29], 0);
    EXPECT_EQ(text(back.address), u"");
}

TEST_F(StoreTest, ReadRecordFindsPersonsByIdAndEventsByKey) {
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    RecordImage anniversary = eventImage(AnniversaryKind, u"생일");
    ASSERT_TRUE(store.AddRecord(anniversary));
    // Give the anniversary a key of its own to tell the two lookups apart.
    writeStored(21, {PropVal::i4(0x117, 777)});

    RecordImage byKey;
    byKey.kind = AnniversaryKind;
    byKey.key = 777;
    ASSERT_TRUE(store.ReadRecord(byKey));
    EXPECT_EQ(text(byKey.content), u"생일");

    RecordImage missing = eventImage(AppointmentKind, u"그대로");
    missing.key = 21;  // an identifier, but no record holds it as key
    const RecordImage before = missing;
    EXPECT_FALSE(store.ReadRecord(missing));
    EXPECT_EQ(std::memcmp(&before, &missing, sizeof before), 0);

    RecordImage other;
    other.kind = 99;
    other.id = other.key = 11;
    EXPECT_FALSE(store.ReadRecord(other));
}

TEST_F(StoreTest, ReadRecordStopsAtTheFirstMissingProperty) {
    cedb::Database db;
    ASSERT_TRUE(db.open(cedb::objectStore(), u"Quorin Database"));
    // Name and mobile present, e-mail (read third) missing, company present.
    ASSERT_NE(db.addRecord({PropVal::ui2(0x223, 10), PropVal::i4(0x102, 11),
                            PropVal::string(0x103, u"이름"), PropVal::string(0x107, u"010"),
                            PropVal::string(0x104, u"회사")}),
              0u);
    RecordImage r;
    r.kind = PersonKind;
    r.id = 11;
    EXPECT_FALSE(store.ReadRecord(r));
    EXPECT_EQ(text(r.name), u"이름");
    EXPECT_EQ(text(r.mobile), u"010");
    EXPECT_EQ(text(r.company), u"");
    // It is still found by a walk, and can be deleted.
    int seen = 0;
    EXPECT_TRUE(store.walkRecords(PersonKind, {PropName},
                                  [&](const RecordImage&) { return ++seen, true; }));
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(store.DeleteRecord(r));
}

TEST_F(StoreTest, ARecordWrittenKindLastReadsBackKindLast) {
    // The sync provider writes the kind last; nothing may depend on its position.
    RecordImage image = eventImage(AnniversaryKind, u"결혼기념일");
    image.id = image.key = 51;
    cedb::Record props;
    for (uint32_t propId : RecordProperties)
        if (propId != PropKind) props.push_back(*propertyOf(image, propId));
    props.push_back(*propertyOf(image, PropKind));
    cedb::Database db;
    ASSERT_TRUE(db.open(cedb::objectStore(), u"Quorin Database"));
    ASSERT_NE(db.addRecord(props), 0u);

    EXPECT_EQ(propIds(storedRecords().at(0)).back(), PropKind);
    RecordImage back;
    back.kind = AnniversaryKind;
    back.key = 51;
    ASSERT_TRUE(store.ReadRecord(back));
    EXPECT_EQ(text(back.content), u"결혼기념일");
    std::vector<int32_t> found;
    store.walkRecords(AnniversaryKind, {PropKey}, [&](const RecordImage& r) {
        EXPECT_EQ(r.kind, AnniversaryKind);
        found.push_back(r.key);
        return true;
    });
    EXPECT_EQ(found, std::vector<int32_t>{51});
}

class ChangeFlagsTest : public StoreTest,
                        public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ChangeFlagsTest, AnUpdateMarksTheRecordPendingForBothPartners) {
    const auto [before, after] = GetParam();
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    RecordImage added = eventImage(AppointmentKind, u"a");
    ASSERT_TRUE(store.AddRecord(added));
    writeStored(11, {PropVal::ui2(0x222, uint16_t(before))});
    writeStored(21, {PropVal::ui2(0x222, uint16_t(before))});

    RecordImage person = personImage(u"김철수");
    person.id = 11;
    ASSERT_TRUE(store.UpdatePerson(person));
    EXPECT_EQ(storedProperty(11, PropChangeFlags).number, after);
    EXPECT_EQ(storedProperty(11, PropName).text, u"김철수");

    RecordImage event = eventImage(AppointmentKind, u"b");
    event.id = 21;
    EXPECT_EQ(store.UpdateEvent(event), UpdateEventDone);
    EXPECT_EQ(storedProperty(21, PropChangeFlags).number, after);
}

INSTANTIATE_TEST_SUITE_P(Flags, ChangeFlagsTest,
                         ::testing::Values(std::pair{0, 3}, std::pair{1, 7}, std::pair{8, 11},
                                           std::pair{12, 15}));

TEST_F(StoreTest, UpdatesWriteTheirOwnPropertiesOnly) {
    RecordImage p = personImage(u"홍길동");
    p.stamp = cedb::FileTime{7, 7};
    setText(p.content, u"person content");
    ASSERT_TRUE(store.AddRecord(p));
    RecordImage change = personImage(u"김철수");
    change.id = 11;
    setText(change.content, u"ignored");
    change.stamp = cedb::FileTime{9, 9};
    ASSERT_TRUE(store.UpdatePerson(change));
    EXPECT_EQ(storedProperty(11, PropContent).text, u"person content");
    EXPECT_EQ(storedProperty(11, PropStamp).fileTime, (cedb::FileTime{7, 7}));
    EXPECT_EQ(storedRecords().at(0).size(), 27u);

    change.id = 99;
    EXPECT_FALSE(store.UpdatePerson(change));
}

TEST_F(StoreTest, UpdateEventReportsEachStep) {
    RecordImage added = eventImage(AppointmentKind, u"a");
    ASSERT_TRUE(store.AddRecord(added));
    RecordImage e = eventImage(AppointmentKind, u"바뀐 내용");
    setText(e.name, u"ignored");
    e.end = cedb::FileTime{5, 5};
    e.hasSketch = 1;
    setText(e.sketchName, u"map.jpg");

    e.id = 12345;
    EXPECT_EQ(store.UpdateEvent(e), UpdateEventNotFound);
    e.id = 11;
    failNext(Op::Read, MainDatabaseName);
    EXPECT_EQ(store.UpdateEvent(e), UpdateEventReadFailed);

    // A write that fails is not reported as done, and changes nothing.
    failNext(Op::Update, MainDatabaseName);
    EXPECT_EQ(store.UpdateEvent(e), UpdateEventWriteFailed);
    EXPECT_EQ(storedProperty(11, PropContent).text, u"a");
    EXPECT_EQ(storedProperty(11, PropChangeFlags).number, 3);

    EXPECT_EQ(store.UpdateEvent(e), UpdateEventDone);
    EXPECT_EQ(storedProperty(11, PropContent).text, u"바뀐 내용");
    EXPECT_EQ(storedProperty(11, PropSketchName).text, u"map.jpg");
    EXPECT_EQ(storedProperty(11, PropEnd).fileTime, (cedb::FileTime{5, 5}));
    EXPECT_EQ(storedProperty(11, PropHasSketch).number, 1);
    EXPECT_EQ(storedProperty(11, PropName).text, u"");
}

TEST_F(StoreTest, UpdateEventNamesTheFirstMissingProperty) {
    // Records lacking one event property each (as a damaged or foreign record would), written
    // straight into the database with identifiers of their own.
    const uint32_t fields[] = {PropChangeFlags, PropParticipantIds, PropParticipantNames,
                               PropStart,       PropEnd,            PropPlace,
                               PropContent,     PropHasSketch,      PropSketchName};
    RecordImage full = eventImage(AppointmentKind, u"내용");
    cedb::Database db;
    ASSERT_TRUE(db.open(cedb::objectStore(), std::u16string(MainDatabaseName)));
    int code = UpdateEventNoChangeFlags;
    for (uint32_t missing : fields) {
        const int32_t id = 1000 + code * 10 + 1;
        full.id = full.key = id;
        cedb::Record props;
        for (uint32_t propId : RecordProperties) {
            if (propId != missing) props.push_back(*propertyOf(full, propId));
        }
        ASSERT_NE(db.addRecord(props), 0u);
        RecordImage e = eventImage(AppointmentKind, u"바뀐 내용");
        e.id = id;
        EXPECT_EQ(store.UpdateEvent(e), code) << std::hex << missing;
        EXPECT_EQ(storedProperty(id, PropContent).text, missing == PropContent ? u"" : u"내용");
        ++code;
    }
    EXPECT_EQ(code, UpdateEventNoSketchName + 1);
}

TEST_F(StoreTest, CreatingADatabaseThatFailsStopsTheFirstRun) {
    testsupport::resetPlatformState();
    testsupport::TempRoots fresh;
    CRecordStore first;
    failNext(Op::CreateDatabase, MainDatabaseName);
    EXPECT_FALSE(first.CreateDatabases());
    EXPECT_FALSE(first.ExistsDatabase(res::IDS_COUNT_DATABASE));

    // The counter database is made but cannot be opened: no counter, no categories.
    failNext(Op::OpenDatabase, CountDatabaseName);
    EXPECT_FALSE(first.CreateDatabases());
    std::vector<std::u16string> categories;
    first.RefreshCategories(categories);
    EXPECT_TRUE(categories.empty());

    // The next start finishes the job.
    EXPECT_TRUE(first.CreateDatabases());
    EXPECT_EQ(storedCounter(), 1);
    first.RefreshCategories(categories);
    EXPECT_EQ(categories.size(), 9u);
}

TEST_F(StoreTest, DeletingAPersonLeavesTheirAppointmentsAndAnniversaries) {
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    RecordImage appointment = eventImage(AppointmentKind, u"회의");
    RecordImage anniversary = eventImage(AnniversaryKind, u"생일");
    ASSERT_TRUE(store.AddRecord(appointment));
    ASSERT_TRUE(store.AddRecord(anniversary));

    RecordImage person;
    person.kind = PersonKind;
    person.id = 11;
    ASSERT_TRUE(store.DeleteRecord(person));
    EXPECT_FALSE(store.DeleteRecord(person));
    EXPECT_EQ(storedIds(), (std::vector<int32_t>{21, 31}));

    anniversary.key = anniversary.id;
    ASSERT_TRUE(store.DeleteRecord(anniversary));
    EXPECT_EQ(storedIds(), std::vector<int32_t>{21});
}

TEST_F(StoreTest, AWalkSurvivesOperationsInsideIt) {
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(store.AddPerson(personImage(u"사람")));
    ASSERT_TRUE(store.AddAppointment(eventImage(AppointmentKind, u"회의")));

    // Reading and deleting from inside the visitor must not lose the walk's place.
    std::vector<int32_t> visited;
    ASSERT_TRUE(store.walkRecords(PersonKind, {PropId, PropName}, [&](const RecordImage& r) {
        visited.push_back(r.id);
        EXPECT_EQ(text(r.name), u"사람");
        EXPECT_EQ(r.mobile[0], 0) << "only the wanted properties are read";
        // Another record than the one visited, as a list that looks up each owner does.
        RecordImage first;
        first.kind = PersonKind;
        first.id = 11;
        EXPECT_TRUE(store.ReadRecord(first));
        RecordImage current;
        current.kind = PersonKind;
        current.id = r.id;
        if (r.id % 20 == 1) {
            EXPECT_TRUE(store.DeleteRecord(current));
        }
        return visited.size() < 10;
    }));
    EXPECT_EQ(visited, (std::vector<int32_t>{11, 21, 31, 41, 51}));
    EXPECT_EQ(storedIds(), (std::vector<int32_t>{11, 31, 51, 61}));

    int visits = 0;
    EXPECT_TRUE(store.walkRecords(AnyKind, {}, [&](const RecordImage&) { return ++visits < 2; }));
    EXPECT_EQ(visits, 2);

    failNext(Op::Read, MainDatabaseName, 1);
    EXPECT_FALSE(store.walkRecords(AnyKind, {}, [](const RecordImage&) { return true; }));
    store.CloseDatabase(MainHandle);
    EXPECT_FALSE(store.walkRecords(AnyKind, {}, [](const RecordImage&) { return true; }));
}

// A walk fills one image record after record; each must come out byte for byte as the same
// record read on its own, texts getting shorter, longer and missing included.
TEST_F(StoreTest, AWalksImageOfEachRecordIsThatRecordReadAlone) {
    const std::u16string longest(299, u'가');
    for (const std::u16string& content : {longest, std::u16string(u"짧은 내용"),
                                          longest.substr(0, 40), std::u16string(), longest}) {
        RecordImage r = eventImage(AppointmentKind, content);
        setText(r.place, content.substr(0, 12));
        ASSERT_TRUE(store.AddAppointment(r));
    }
    int walked = 0;
    ASSERT_TRUE(store.walkRecords(AppointmentKind, EveryRecordProperty, [&](const RecordImage& r) {
        RecordImage alone{};
        alone.kind = AppointmentKind;
        alone.key = r.key;
        EXPECT_TRUE(store.ReadRecord(alone));
        // What a read leaves as it was.
        alone.id = r.id;
        alone.changeFlags = r.changeFlags;
        alone.stamp = r.stamp;
        EXPECT_EQ(std::memcmp(&r, &alone, sizeof r), 0) << "record " << walked;
        ++walked;
        return true;
    }));
    EXPECT_EQ(walked, 5);
}

// ---- Failures ----

TEST_F(StoreTest, AFailedCounterReadWritesNothing) {
    failNext(Op::Read, CountDatabaseName);
    RecordImage r = personImage(u"홍길동");
    EXPECT_FALSE(store.AddRecord(r));
    EXPECT_EQ(r.id, 0);
    EXPECT_TRUE(storedRecords().empty());
    EXPECT_EQ(storedCounter(), 1);

    ASSERT_TRUE(store.AddRecord(r));
    EXPECT_EQ(r.id, 11);
}

TEST_F(StoreTest, ACounterThatCannotAdvanceGivesNoIdentifier) {
    // Writing the record anyway would hand the same identifier out again next time.
    failNext(Op::Update, CountDatabaseName);
    EXPECT_FALSE(store.AddPerson(personImage(u"홍길동")));
    EXPECT_TRUE(storedRecords().empty());
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    EXPECT_EQ(storedIds(), std::vector<int32_t>{11});
}

TEST_F(StoreTest, AFailedRecordWriteLeavesAGapNeverADuplicate) {
    failNext(Op::Add, MainDatabaseName);
    EXPECT_FALSE(store.AddPerson(personImage(u"홍길동")));
    EXPECT_TRUE(storedRecords().empty());
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    EXPECT_EQ(storedIds(), std::vector<int32_t>{21});
}

TEST_F(StoreTest, AFailedDeleteReturnsFalseAndKeepsTheRecord) {
    ASSERT_TRUE(store.AddPerson(personImage(u"홍길동")));
    RecordImage p;
    p.kind = PersonKind;
    p.id = 11;
    failNext(Op::Delete, MainDatabaseName);
    EXPECT_FALSE(store.DeleteRecord(p));
    EXPECT_EQ(storedIds(), std::vector<int32_t>{11});
}

TEST_F(StoreTest, AClosedStoreWritesNothingAndUsesNoIdentifier) {
    store.CloseDatabase(MainHandle);
    store.CloseDatabase(MainHandle);
    EXPECT_FALSE(store.AddPerson(personImage(u"홍길동")));
    EXPECT_EQ(storedCounter(), 1);
    EXPECT_FALSE(store.OpenDatabase(res::IDS_MAIN_DATABASE, 5));
}

// ---- Creating the databases ----

TEST_F(StoreTest, ARecreatedCounterStartsAboveTheExistingIdentifiers) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(store.AddPerson(personImage(u"사람")));
    const cedb::VolumeId vol = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(vol, cedb::findDatabase(vol, u"Count Database")));

    CRecordStore restarted;
    ASSERT_TRUE(restarted.CreateDatabases());
    ASSERT_TRUE(restarted.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle));
    RecordImage r = personImage(u"새 사람");
    ASSERT_TRUE(restarted.AddRecord(r));
    EXPECT_EQ(r.id, 41);
}

TEST_F(StoreTest, ACounterDatabaseLeftWithoutItsCounterIsCreatedAgain) {
    const cedb::VolumeId vol = cedb::objectStore();
    ASSERT_TRUE(cedb::deleteDatabase(vol, cedb::findDatabase(vol, u"Count Database")));

    failNext(Op::Add, CountDatabaseName);
    EXPECT_FALSE(store.CreateDatabases());
    EXPECT_FALSE(store.ExistsDatabase(res::IDS_COUNT_DATABASE));

    ASSERT_TRUE(store.CreateDatabases());
    EXPECT_EQ(storedCounter(), 1);
}

}  // namespace
