// quorin-sync export: every kind of record written as vCard and iCalendar, read back by an
// independent parser. (The cards' way back through the contact import is tested with it.)
#include <QJsonArray>

#include "fs/devfs.h"
#include "interop/exported_objects.h"
#include "interop_fixture.h"
#include "store/participant_lists.h"
#include "store/repeat_rule.h"

namespace interoptest {
namespace {

QString q(const char* s) {
    return QString::fromUtf8(s);
}

QString xprop(const QJsonValue& object, const char* name) {
    return object.toObject()["x"].toObject()[QLatin1String(name)].toString();
}

QStringList strings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& s : v.toArray()) out << s.toString();
    return out;
}

class ExportTest : public InteropTest {
protected:
    void SetUp() override {
        InteropTest::SetUp();
        RecordImage a{};
        a.kind = PersonKind;
        setText(a.name, u"홍길동");
        setText(a.company, u"큐오린 주식회사");
        setText(a.title, u"부장");
        setText(a.address, u"서울시 강남구 테헤란로 1");
        setText(a.mobile, u"010-1234-5678");
        setText(a.workPhone, u"02-123-4567");
        setText(a.homePhone, u"None");
        setText(a.fax, u"02-765-4321");
        setText(a.email, u"hong@example.com");
        setText(a.groups, u"개인 친분, VIP");
        a.stamp = at(2026, 1, 2, 3, 4);
        hong = add(a);

        // Every text at its field's limit, no telephone, no e-mail, no birthday.
        RecordImage b{};
        b.kind = PersonKind;
        setText(b.name, std::u16string(19, u'김'));
        setText(b.company, std::u16string(19, u'회'));
        setText(b.title, std::u16string(29, u'직'));
        setText(b.address, std::u16string(49, u'길'));
        for (auto* phone : {b.mobile, b.workPhone, b.homePhone, b.fax})
            setText({phone, 20}, u"None");
        setText(b.groups, u"동창생");
        kim = add(b);

        add(anniversary(hong, u"홍길동", u"생일", at(1980, 5, 17), u"100;0;3;"));
        add(anniversary(hong, u"홍길동", u"결혼 기념일", at(2010, 10, 9), u"100;0;0;"));
        lunar = add(anniversary(kim, b.name, u"음력 생일", at(1990, 4, 10), u"110;0;0;"));
        add(anniversary(hong, u"홍길동", u"입사", at(2020, 3, 2), u"50;0;0;"));
        add(anniversary(hong, u"홍길동", u"월급날", at(2020, 1, 25), u"200;0;1;"));
        add(anniversary(hong, u"홍길동", u"운동", at(2026, 1, 1), u"300;7;2;"));
        add(anniversary(hong, u"홍길동", u"한 번", at(2026, 2, 1), u"300;0;0;"));

        writeSketch(u"map.jpg", "\xFF\xD8\xFF\xE0 jpeg body");
        writeSketch(u"road.bmp", "BM bitmap body");
        RecordImage party{};
        party.kind = AppointmentKind;
        const std::vector<Participant> who{
            {hong, u"홍길동"}, {kim, text(b.name).data()}, {999, u"김철수"}};
        const auto lists = buildParticipantLists(who);
        ASSERT_TRUE(lists);
        setText(party.participantIds, lists->ids);
        setText(party.participantNames, lists->names);
        party.start = at(2026, 12, 24, 19, 30);
        party.end = at(2026, 12, 24, 21, 0);
        setText(party.place, u"강남역 2번 출구");
        setText(party.content, u"송년회\r\n2차는 노래방");
        party.hasSketch = 1;
        setText(party.sketchName, u"map.jpg");
        appointment = add(party);

        RecordImage dayOff{};
        dayOff.kind = AppointmentKind;
        setText(dayOff.participantIds, u"11;#;");
        setText(dayOff.participantNames, u"홍길동;");
        dayOff.start = dayOff.end = at(2026, 12, 25, 0, 12);  // the no-time marker
        setText(dayOff.content, u"휴가");
        dayOff.hasSketch = 1;
        setText(dayOff.sketchName, u"road.bmp");
        add(dayOff);
    }

    static RecordImage anniversary(int32_t owner, std::u16string_view name,
                                   std::u16string_view content, cedb::FileTime date,
                                   std::u16string_view rule) {
        RecordImage r{};
        r.kind = AnniversaryKind;
        setText(r.participantIds, devfs::fromUtf8(std::to_string(owner)));
        setText(r.participantNames, name);
        setText(r.content, content);
        setText(r.place, rule);
        r.start = date;
        return r;
    }

    static void writeSketch(std::u16string_view name, std::string_view bytes) {
        const auto path =
            devfs::toHost(u"\\Program Files\\Quorin\\RoughSketch\\" + std::u16string(name));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // Exports into the work folder; the files' paths.
    std::pair<std::filesystem::path, std::filesystem::path> exportAll(
        std::vector<std::string> extra = {}) {
        const auto vcf = work() / "people.vcf";
        const auto ics = work() / "events.ics";
        std::vector<std::string> args{"export", "--contacts", vcf, "--calendar", ics};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProgramRun run = runSync(args, work());
        EXPECT_EQ(run.rc, 0) << run.err;
        EXPECT_EQ(run.out, "persons 2\nappointments 2\nanniversaries 7\n");
        return {vcf, ics};
    }

    QJsonObject eventWithSummary(const QJsonObject& all, const char* summary) {
        return findBy(all["events"].toArray(), "summary", q(summary));
    }

    int32_t hong = 0, kim = 0, lunar = 0, appointment = 0;
};

TEST_F(ExportTest, PersonsAreVCardsWithEveryFieldTheyHold) {
    const auto [vcf, ics] = exportAll();
    const QJsonObject all = readObjects({vcf}, work());
    ASSERT_EQ(all["cards"].toArray().size(), 2);

    const QJsonObject h = findBy(all["cards"].toArray(), "fn", q("홍길동"));
    EXPECT_EQ(h["version"].toString(), "4.0");
    EXPECT_EQ(h["n"].toArray().first().toString(), q("홍길동"));
    EXPECT_EQ(h["org"].toString(), q("큐오린 주식회사"));
    EXPECT_EQ(h["title"].toString(), q("부장"));
    EXPECT_EQ(h["adr"].toArray().first()["street"].toString(), q("서울시 강남구 테헤란로 1"));
    EXPECT_EQ(strings(h["adr"].toArray().first()["types"]), QStringList{"work"});
    QStringList tels;
    for (const QJsonValue& t : h["tel"].toArray())
        tels << strings(t["types"]).join('+') + "=" + t["value"].toString();
    // The stored "None" of the home telephone is no number.
    EXPECT_EQ(tels, (QStringList{"cell=010-1234-5678", "work=02-123-4567", "fax=02-765-4321"}));
    EXPECT_EQ(h["email"].toString(), "hong@example.com");
    EXPECT_EQ(strings(h["categories"]), (QStringList{q("개인 친분"), "VIP"}));
    EXPECT_EQ(h["bday"].toString(), "19800517");
    EXPECT_EQ(h["anniversary"].toString(), "20101009");
    EXPECT_EQ(h["rev"].toString(), "20260102T030400");
    EXPECT_EQ(xprop(h, "X-QUORIN-KIND"), "10");
    EXPECT_EQ(xprop(h, "X-QUORIN-ID"), QString::number(hong));

    const QJsonObject k = findBy(all["cards"].toArray(), "fn", QString(19, QChar(u'김')));
    EXPECT_EQ(k["org"].toString(), QString(19, QChar(u'회')));
    EXPECT_EQ(k["title"].toString(), QString(29, QChar(u'직')));
    EXPECT_EQ(k["adr"].toArray().first()["street"].toString(), QString(49, QChar(u'길')));
    EXPECT_TRUE(k["tel"].toArray().isEmpty());
    EXPECT_FALSE(k.contains("email"));
    // A lunar birthday has no solar date to give.
    EXPECT_FALSE(k.contains("bday"));
    EXPECT_NE(k["uid"].toString(), h["uid"].toString());
}

TEST_F(ExportTest, AppointmentsCarryTimesPlaceParticipantsAndTheirSketch) {
    const auto [vcf, ics] = exportAll();
    const QJsonObject all = readObjects({ics}, work());
    ASSERT_EQ(all["events"].toArray().size(), 9);

    const QJsonObject party = eventWithSummary(all, "송년회");
    EXPECT_EQ(party["dtstart"].toString(), "2026-12-24T19:30:00");  // floating: no zone
    EXPECT_EQ(party["dtend"].toString(), "2026-12-24T21:00:00");
    EXPECT_EQ(party["description"].toString(), q("송년회\n2차는 노래방"));
    EXPECT_EQ(party["location"].toString(), q("강남역 2번 출구"));
    const QJsonArray who = party["attendees"].toArray();
    ASSERT_EQ(who.size(), 3);
    EXPECT_EQ(who[0]["cn"].toString(), q("홍길동"));
    EXPECT_EQ(who[0]["value"].toString(), "mailto:hong@example.com");
    const QJsonObject all2 = readObjects({vcf}, work());
    const QString kimUid =
        findBy(all2["cards"].toArray(), "fn", QString(19, QChar(u'김')))["uid"].toString();
    EXPECT_EQ(who[1]["value"].toString(), "urn:uuid:" + kimUid);
    EXPECT_EQ(who[2]["cn"].toString(), q("김철수"));
    EXPECT_TRUE(who[2]["value"].toString().startsWith("urn:uuid:"));
    // The groups of those who take part.
    EXPECT_EQ(strings(party["categories"]), (QStringList{q("개인 친분"), "VIP", q("동창생")}));
    ASSERT_EQ(party["attach"].toArray().size(), 1);
    EXPECT_EQ(party["attach"][0]["fmttype"].toString(), "image/jpeg");
    EXPECT_EQ(party["attach"][0]["head"].toString(), "ffd8");
    EXPECT_EQ(party["attach"][0]["bytes"].toInt(), 14);
    EXPECT_EQ(xprop(party, "X-QUORIN-SKETCH"), "map.jpg");
    EXPECT_EQ(xprop(party, "X-QUORIN-KIND"), "20");
    EXPECT_EQ(xprop(party, "X-QUORIN-ID"), QString::number(appointment));

    // The no-time marker is a whole day.
    const QJsonObject dayOff = eventWithSummary(all, "휴가");
    EXPECT_EQ(dayOff["dtstart"].toString(), "2026-12-25");
    EXPECT_EQ(dayOff["dtend"].toString(), "2026-12-26");
    EXPECT_EQ(dayOff["attach"][0]["fmttype"].toString(), "image/bmp");
}

TEST_F(ExportTest, AnniversariesCarryTheirRuleAndLead) {
    const auto [vcf, ics] = exportAll();
    const QJsonObject all = readObjects({ics}, work());
    struct Expected {
        const char* summary;
        const char* start;
        QStringList rrule;
        QStringList alarms;
    };
    const Expected cases[] = {
        {"홍길동님의 생일", "1980-05-17", {"FREQ=YEARLY"}, {"-3 days, 0:00:00"}},
        {"홍길동님의 결혼 기념일", "2010-10-09", {"FREQ=YEARLY"}, {}},
        {"홍길동님의 입사", "2020-03-02", {}, {}},
        {"홍길동님의 월급날", "2020-01-25", {"FREQ=MONTHLY"}, {"-1 day, 0:00:00"}},
        {"홍길동님의 운동", "2026-01-01", {"FREQ=DAILY;INTERVAL=7"}, {"-2 days, 0:00:00"}},
        {"홍길동님의 한 번", "2026-02-01", {}, {}},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.summary);
        const QJsonObject e = eventWithSummary(all, c.summary);
        EXPECT_EQ(e["dtstart"].toString(), c.start);
        EXPECT_EQ(strings(e["rrule"]), c.rrule);
        QStringList alarms;
        for (const QJsonValue& a : e["alarms"].toArray()) {
            EXPECT_EQ(a["action"].toString(), "DISPLAY");
            alarms << a["trigger"].toString();
        }
        EXPECT_EQ(alarms, c.alarms);
        EXPECT_EQ(e["attendees"][0]["cn"].toString(), q("홍길동"));
        EXPECT_EQ(e["attendees"][0]["value"].toString(), "mailto:hong@example.com");
    }
    EXPECT_EQ(xprop(eventWithSummary(all, "홍길동님의 운동"), "X-QUORIN-RULE"), "300;7;2;");
}

TEST_F(ExportTest, LunarAnniversaryIsItsSolarDatesUnlessRscaleIsAsked) {
    const auto [vcf, ics] = exportAll();
    const QJsonArray events = readObjects({ics}, work())["events"].toArray();
    QJsonObject lunarEvent;
    for (const QJsonValue& v : events)
        if (xprop(v, "X-QUORIN-ID") == QString::number(lunar)) lunarEvent = v.toObject();
    EXPECT_EQ(lunarEvent["dtstart"].toString(), "1990-04-10");
    EXPECT_TRUE(strings(lunarEvent["rrule"]).isEmpty());
    EXPECT_EQ(xprop(lunarEvent, "X-QUORIN-RULE"), "110;0;0;");
    // The dates are the repeat rule's own, one a lunar year, from 1991 to 2099.
    QStringList expected;
    const repeat::Rule rule{int(RepeatRule::EveryLunarYear), 0, 0};
    const repeat::Date date{1990, 4, 10};
    for (auto o = repeat::nextOnOrAfter(rule, date, {1990, 4, 11}); o && o->date.year <= 2099;
         o = repeat::nextOnOrAfter(rule, date, repeat::dateOf(repeat::dayNumber(o->date) + 1)))
        expected << QString::asprintf("%04d-%02d-%02d", o->date.year, o->date.month, o->date.day);
    EXPECT_EQ(strings(lunarEvent["rdate"]), expected);
    EXPECT_TRUE(expected.contains("2026-05-01"));
    EXPECT_EQ(expected.size(), 2099 - 1990);

    const auto [vcf2, ics2] = exportAll({"--rscale"});
    const std::string text = slurp(ics2);
    EXPECT_NE(text.find("RRULE:RSCALE=DANGI;FREQ=YEARLY;SKIP=BACKWARD"), std::string::npos);
    EXPECT_EQ(text.find("RDATE"), std::string::npos);
}

TEST_F(ExportTest, ObjectsAreTheSameOnEveryExportAndEachHasItsOwnUid) {
    const auto [vcf, ics] = exportAll();
    const std::string cards = slurp(vcf), events = slurp(ics);
    const auto again = exportAll();
    EXPECT_EQ(slurp(again.first), cards);
    EXPECT_EQ(slurp(again.second), events);

    interop::ExportOptions options;
    options.handheld.assign(16, 7);
    std::vector<interop::ExportedObject> objects;
    std::ostringstream err;
    ASSERT_TRUE(interop::exportObjects(store, options, objects, err)) << err.str();
    ASSERT_EQ(objects.size(), 11u);
    std::set<std::string> uids;
    for (const auto& o : objects) {
        uids.insert(o.uid);
        EXPECT_NE(o.text.find("UID:" + o.uid), std::string::npos) << o.text;
    }
    EXPECT_EQ(uids.size(), objects.size());
    EXPECT_EQ(objects[0].collection, interop::Collection::AddressBook);
    EXPECT_EQ(objects[0].name, "홍길동");
    EXPECT_EQ(objects.back().collection, interop::Collection::Calendar);
    // Another handheld's records are other objects.
    options.handheld.assign(16, 8);
    EXPECT_NE(interop::uidOf(options.handheld, PersonKind, hong), objects[0].uid);
}

TEST_F(ExportTest, FailuresSayWhyAndWriteNothing) {
    EXPECT_EQ(runSync({"export"}, work()).rc, 2);
    EXPECT_EQ(runSync({"export", "--contacts"}, work()).rc, 2);

    const ProgramRun unwritable =
        runSync({"export", "--calendar", (work() / "no-such-folder" / "x.ics").string()}, work());
    EXPECT_EQ(unwritable.rc, 1);
    EXPECT_NE(unwritable.err.find("x.ics cannot be written"), std::string::npos);

    // A record that cannot be read would be silently missing from the files.
    ASSERT_TRUE(testsupport::damageRecord(appointment));
    const auto vcf = work() / "damaged.vcf";
    const ProgramRun damaged = runSync({"export", "--contacts", vcf.string()}, work());
    EXPECT_EQ(damaged.rc, 1);
    EXPECT_NE(damaged.err.find("1 record of \"Quorin Database\" could not be read"),
              std::string::npos)
        << damaged.err;
    EXPECT_FALSE(std::filesystem::exists(vcf));
}

}  // namespace
}  // namespace interoptest
