// Appointments and anniversaries as VEVENTs, built and written by libical.

#include <QByteArray>
#include <QString>

#include "appointments/schedule_rows.h"
#include "clock/clock.h"
#include "fs/devfs.h"
#include "people/category_rows.h"
#include "record_mapping.h"
#include "sketch/sketch_paths.h"
#include "store/participant_lists.h"

namespace interop {

namespace {

// Lunar anniversaries are written as their solar dates up to the end of this year.
constexpr int kLastListedYear = 2099;
// A sketch file larger than this is not attached (a 640 x 480 BMP is 900 KiB).
constexpr uint64_t kMaxSketchBytes = 4u << 20;

icaltimetype dateValue(const repeat::Date& d) {
    icaltimetype t = icaltime_null_date();
    t.year = d.year;
    t.month = d.month;
    t.day = d.day;
    return t;
}

// Floating local time: the device clock has no zone.
icaltimetype dateTimeValue(const clk::SystemTime& s) {
    icaltimetype t = icaltime_null_time();
    t.year = s.year;
    t.month = s.month;
    t.day = s.day;
    t.hour = s.hour;
    t.minute = s.minute;
    t.second = s.second;
    return t;
}

std::optional<clk::SystemTime> timeOf(const cedb::FileTime& t) {
    if (t.value() == 0) return std::nullopt;
    return clk::fromFileTime(t);
}

repeat::Date nextDay(const repeat::Date& d) {
    return repeat::dateOf(repeat::dayNumber(d) + 1);
}

void addX(icalcomponent* c, const char* name, const std::string& value) {
    if (value.empty()) return;
    icalproperty* p = icalproperty_new_x(value.c_str());
    icalproperty_set_x_name(p, name);
    icalcomponent_add_property(c, p);
}

void addText(icalcomponent* c, icalproperty* (*make)(const char*), const std::string& value) {
    if (!value.empty()) icalcomponent_add_property(c, make(value.c_str()));
}

// A one-day event: DATE values, the end the day after.
void addDay(icalcomponent* event, const repeat::Date& day) {
    icalcomponent_add_property(event, icalproperty_new_dtstart(dateValue(day)));
    icalcomponent_add_property(event, icalproperty_new_dtend(dateValue(nextDay(day))));
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

QString qtext(std::u16string_view t) {
    return QString::fromUtf16(t.data(), qsizetype(t.size()));
}

// ATTENDEE;CN=name:mailto:e-mail of a known person with one, else the person's UID as a URN.
void addAttendee(icalcomponent* event, const MappingContext& context, std::u16string_view idToken,
                 std::u16string_view name) {
    const std::optional<int32_t> id = participantId(idToken);
    std::string address;
    if (id) {
        if (auto it = context.persons.find(*id); it != context.persons.end()) {
            const std::string email = exportText(text(it->second->email));
            if (!email.empty()) address = "mailto:" + email;
        }
        if (address.empty())
            address = "urn:uuid:" + uidOf(context.options.handheld, PersonKind, *id);
    } else {
        address = "urn:uuid:" + uidOf(context.options.handheld, PersonKind, 0);
    }
    icalproperty* p = icalproperty_new_attendee(address.c_str());
    const std::string cn = exportText(name);
    if (!cn.empty()) icalproperty_add_parameter(p, icalparameter_new_cn(cn.c_str()));
    icalcomponent_add_property(event, p);
}

// The sketch file, inline, when it is a JPEG or a BMP by its first bytes.
void addSketch(icalcomponent* event, const RecordImage& r) {
    const std::u16string_view name = text(r.sketchName);
    if (!r.hasSketch || name.empty()) return;
    const QString path = sketch::SketchPath(qtext(name));
    uint64_t size = 0;
    const std::optional<std::string> file =
        devfs::readRegularFile(sketch::HostPath(path), kMaxSketchBytes, &size);
    if (!file || size > kMaxSketchBytes) return;
    const QByteArray bytes = QByteArray::fromStdString(*file);
    const char* type = bytes.startsWith("\xFF\xD8") ? "image/jpeg"
                       : bytes.startsWith("BM")     ? "image/bmp"
                                                    : nullptr;
    if (!type) return;
    const QByteArray base64 = bytes.toBase64();
    icalattach* attach = icalattach_new_from_data(base64.constData(), nullptr, nullptr);
    icalproperty* p = icalproperty_new_attach(attach);
    icalattach_unref(attach);
    icalproperty_add_parameter(p, icalparameter_new_fmttype(type));
    icalproperty_add_parameter(p, icalparameter_new_encoding(ICAL_ENCODING_BASE64));
    icalproperty_add_parameter(p, icalparameter_new_value(ICAL_VALUE_BINARY));
    icalcomponent_add_property(event, p);
}

void addAppointment(icalcomponent* event, const RecordImage& r, const MappingContext& context) {
    const std::optional<clk::SystemTime> start = timeOf(r.start);
    if (!start) {
        // An appointment always has a date; a damaged one keeps its day of creation.
        const auto stamp = timeOf(r.stamp);
        addDay(event, stamp ? repeat::Date::of(*stamp) : repeat::Date{});
    } else if (schedule::isNoTimeMarker(*start, r.end)) {
        addDay(event, repeat::Date::of(*start));
    } else {
        icalcomponent_add_property(event, icalproperty_new_dtstart(dateTimeValue(*start)));
        const std::optional<clk::SystemTime> end = timeOf(r.end);
        if (end && r.end.value() >= r.start.value())
            icalcomponent_add_property(event, icalproperty_new_dtend(dateTimeValue(*end)));
    }
    const std::string content = exportText(text(r.content));
    addText(event, icalproperty_new_summary, firstLine(content));
    addText(event, icalproperty_new_description, content);
    addText(event, icalproperty_new_location, exportText(text(r.place)));

    const std::vector<std::u16string> ids = splitIdList(text(r.participantIds));
    const std::vector<std::u16string> names = splitNameList(text(r.participantNames));
    QStringList groups;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::u16string_view id = i < ids.size() ? std::u16string_view(ids[i]) : u"";
        addAttendee(event, context, id, names[i]);
        if (const auto pid = participantId(id)) {
            if (auto it = context.persons.find(*pid); it != context.persons.end()) {
                for (const QString& g : people::splitGroupList(qtext(text(it->second->groups))))
                    if (!groups.contains(g)) groups << g;
            }
        }
    }
    for (const QString& g : groups)
        addText(event, icalproperty_new_categories, exportText(g.toStdU16String()));
    addSketch(event, r);
    addX(event, kParticipantsProperty, exportText(text(r.participantIds)));
    addX(event, kSketchProperty, exportText(text(r.sketchName)));
}

void addRepeat(icalcomponent* event, const repeat::Rule& rule, const repeat::Date& date,
               const MappingContext& context) {
    icalrecurrencetype recur;
    icalrecurrencetype_clear(&recur);
    switch (RepeatRule(rule.code)) {
        case RepeatRule::EveryYear:
            recur.freq = ICAL_YEARLY_RECURRENCE;
            break;
        case RepeatRule::EveryMonth:
            recur.freq = ICAL_MONTHLY_RECURRENCE;
            break;
        case RepeatRule::EveryNDays:
            if (rule.period < 1) return;
            recur.freq = ICAL_DAILY_RECURRENCE;
            recur.interval = short(std::min(rule.period, int(SHRT_MAX)));
            break;
        case RepeatRule::EveryLunarYear:
            if (context.options.rscale) {
                icalcomponent_add_property(
                    event,
                    icalproperty_new_from_string("RRULE:RSCALE=DANGI;FREQ=YEARLY;SKIP=BACKWARD"));
                return;
            }
            // Most clients know no other calendar: the solar days themselves, by the one rule.
            for (auto next = repeat::nextOnOrAfter(rule, date, nextDay(date));
                 next && next->date.year <= kLastListedYear;
                 next = repeat::nextOnOrAfter(rule, date, nextDay(next->date))) {
                icaldatetimeperiodtype rdate{};
                rdate.time = dateValue(next->date);
                rdate.period = icalperiodtype_null_period();
                icalcomponent_add_property(event, icalproperty_new_rdate(rdate));
            }
            return;
        default:
            return;
    }
    icalcomponent_add_property(event, icalproperty_new_rrule(recur));
}

void addAnniversary(icalcomponent* event, const RecordImage& r, const MappingContext& context) {
    const std::optional<clk::SystemTime> start = timeOf(r.start);
    const repeat::Date date = start ? repeat::Date::of(*start) : repeat::Date{};
    addDay(event, date);
    const std::string content = exportText(text(r.content));
    const std::string owner = exportText(text(r.participantNames));
    const std::string summary =
        owner.empty() ? firstLine(content) : owner + "님의 " + firstLine(content);
    addText(event, icalproperty_new_summary, summary);
    addText(event, icalproperty_new_description, content);
    const std::u16string_view ruleText = text(r.place);
    const repeat::Rule rule = repeat::parse(ruleText);
    addRepeat(event, rule, date, context);
    if (rule.lead >= 1) {
        icalcomponent* alarm = icalcomponent_new_valarm();
        icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
        icaltriggertype trigger{};
        trigger.time = icaltime_null_time();
        trigger.duration = icaldurationtype_null_duration();
        trigger.duration.is_neg = 1;
        trigger.duration.days = unsigned(rule.lead);
        icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
        icalcomponent_add_property(
            alarm, icalproperty_new_description(summary.empty() ? "Quorin" : summary.c_str()));
        icalcomponent_add_component(event, alarm);
    }
    const std::u16string_view ownerId = text(r.participantIds);
    if (!ownerId.empty() || !owner.empty())
        addAttendee(event, context, ownerId, text(r.participantNames));
    addX(event, kRuleProperty, exportText(ruleText));
    addX(event, kParticipantsProperty, exportText(ownerId));
}

}  // namespace

icalcomponent* recordEvent(const RecordImage& r, const MappingContext& context) {
    if (r.kind != AppointmentKind && r.kind != AnniversaryKind) return nullptr;
    icalcomponent* event = icalcomponent_new_vevent();
    const std::string uid = uidOf(context.options.handheld, r.kind, r.id);
    icalcomponent_add_property(event, icalproperty_new_uid(uid.c_str()));
    // The time of creation, so that an unchanged record exports the same every time.
    icaltimetype stamp = icaltime_from_timet_with_zone(0, 0, icaltimezone_get_utc_timezone());
    if (const auto s = timeOf(r.stamp)) {
        stamp = dateTimeValue(*s);
        stamp.zone = icaltimezone_get_utc_timezone();
    }
    icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
    if (r.kind == AppointmentKind)
        addAppointment(event, r, context);
    else
        addAnniversary(event, r, context);
    addX(event, kKindProperty, std::to_string(r.kind));
    addX(event, kIdProperty, std::to_string(r.id));
    return event;
}

icalcomponent* calendarOf(const std::vector<icalcomponent*>& events) {
    icalcomponent* calendar = icalcomponent_new_vcalendar();
    icalcomponent_add_property(calendar, icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar, icalproperty_new_prodid("-//Quorin//Quorin 0.1//KO"));
    for (icalcomponent* e : events) icalcomponent_add_component(calendar, e);
    return calendar;
}

}  // namespace interop
