#include "today_compute.h"

#include <optional>

#include "cedb/cedb.h"
#include "store/record_image.h"
#include "store/repeat_rule.h"

namespace today {
namespace {

bool sameDate(const clk::SystemTime& a, const clk::SystemTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// What one record says, gathered whatever the order of its properties: records written by the
// handheld sync provider carry their kind last.
struct RecordFacts {
    uint32_t kind = 0;
    std::optional<clk::SystemTime> date;
    std::u16string_view rule;
    std::u16string_view name;
    std::u16string_view text;
};

RecordFacts factsOf(const cedb::Record& record) {
    RecordFacts facts;
    for (const cedb::PropVal& p : record) {
        switch (p.propId) {
            case PropKind:
                facts.kind = uint16_t(p.number);
                break;
            case PropStart:
                // A zero time is a field left empty, not 1601-01-01.
                facts.date = p.fileTime.value() ? clk::fromFileTime(p.fileTime) : std::nullopt;
                break;
            case PropPlace:
                facts.rule = p.text;
                break;
            case PropParticipantNames:
                facts.name = p.text;
                break;
            case PropContent:
                facts.text = p.text;
                break;
            default:
                break;
        }
    }
    return facts;
}

// Adds what the record contributes to the day.
void count(const cedb::Record& record, const clk::SystemTime& today, TodayResult& out) {
    const RecordFacts facts = factsOf(record);
    if (!facts.date) return;
    if (facts.kind == AppointmentKind) {
        if (sameDate(*facts.date, today)) ++out.result;
    } else if (facts.kind == AnniversaryKind) {
        const RepeatRuleFields rule = parseRepeatRule(facts.rule);
        if (out.lines.size() < MaxAnniversaryLines &&
            fallsOnToday(rule.code, rule.interval, *facts.date, today)) {
            out.lines.push_back(anniversaryLine(facts.name, facts.text));
        }
    }
}

cedb::Oid findMainDatabase(const cedb::VolumeId& volume) {
    for (cedb::Oid oid : cedb::enumerateDatabases(volume, MainDatabaseType)) {
        const std::optional<cedb::ObjectInfo> info = cedb::objectInfo(volume, oid);
        if (info && info->kind == cedb::ObjectKind::Database &&
            info->database.name == MainDatabaseName) {
            return oid;
        }
    }
    return 0;
}

}  // namespace

RepeatRuleFields parseRepeatRule(std::u16string_view rule) {
    const repeat::Rule fields = repeat::parse(rule);
    return {fields.code, fields.period};
}

bool fallsOnToday(int code, int interval, const clk::SystemTime& date,
                  const clk::SystemTime& today) {
    return repeat::occursOn({code, interval, 0}, repeat::Date::of(date), repeat::Date::of(today))
        .has_value();
}

std::u16string anniversaryLine(std::u16string_view name, std::u16string_view text) {
    std::u16string line = u"기념일 : ";
    line.append(name).append(u"님의 ").append(text);
    return std::u16string(fitText(line, MaxLineLength + 1));
}

TodayResult computeToday(const clk::SystemTime& today) {
    const cedb::VolumeId volume = cedb::objectStore();
    const cedb::Oid oid = findMainDatabase(volume);
    cedb::Database db;
    if (!oid || !db.open(volume, oid)) return {DatabaseOpenFailed, {}};

    TodayResult out;
    if (!db.seekFirst()) {
        // No record at all is a day without appointments, not a failure.
        if (db.endOfData() && cedb::lastError() == cedb::Error::EndOfData) return out;
        return {RecordOpenFailed, {}};
    }
    std::optional<cedb::Record> first = db.readCurrent();
    if (!first) return {RecordOpenFailed, {}};
    count(*first, today, out);
    // A record that vanished or cannot be decoded is passed over; the walk stops only when the
    // cursor cannot move on.
    while (db.seekNext()) {
        if (std::optional<cedb::Record> record = db.readCurrent()) count(*record, today, out);
    }
    return out;
}

}  // namespace today
