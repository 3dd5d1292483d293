#include "today_compute.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "cedb/cedb.h"
#include "store/record_image.h"

namespace today {
namespace {

bool sameDate(const clk::SystemTime& a, const clk::SystemTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// atoi on a UTF-16 field: leading blanks, a sign, digits; saturates instead of overflowing.
int toInt(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    long long value = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        value = std::min<long long>(value * 10 + (s[i] - u'0'), 1LL + INT_MAX);
    }
    if (negative) value = -value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
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
    RepeatRuleFields fields;
    const size_t first = rule.find(u';');
    fields.code = toInt(rule.substr(0, first));
    if (first != std::u16string_view::npos) {
        std::u16string_view rest = rule.substr(first + 1);
        fields.interval = toInt(rest.substr(0, rest.find(u';')));
    }
    return fields;
}

bool fallsOnToday(int code, int interval, const clk::SystemTime& date,
                  const clk::SystemTime& today) {
    switch (RepeatRule(code)) {
        case RepeatRule::None:
            return sameDate(date, today);
        case RepeatRule::EveryYear:
            return date.month == today.month && date.day == today.day;
        case RepeatRule::EveryMonth:
            return date.day == today.day;
        case RepeatRule::EveryNDays: {
            // Counted in days rather than stepped through: an interval below 1 would never
            // reach today, and a small one from long ago would take many steps.
            if (interval < 1) return sameDate(date, today);
            const int64_t days = clk::dayNumber(today.year, today.month, today.day) -
                                 clk::dayNumber(date.year, date.month, date.day);
            return days >= 0 && days % interval == 0;
        }
    }
    return false;
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
