#include "interop/exported_objects.h"

#include <QByteArray>
#include <QUuid>

#include "fs/devfs.h"
#include "import/contact_mapping.h"
#include "interop/whole_file.h"
#include "record_mapping.h"
#include "store/participant_lists.h"
#include "store/record_store.h"
#include "strings/string_table.h"

namespace interop {

namespace {

const char* kindName(uint32_t kind) {
    switch (kind) {
        case PersonKind:
            return "person";
        case AppointmentKind:
            return "appointment";
        case AnniversaryKind:
            return "anniversary";
        default:
            return "record";
    }
}

// Every record of the store with all its properties; false (said on `err`) when the store
// cannot be read, or some record not decoded.
bool readAll(CRecordStore& store, std::vector<RecordImage>& records, std::ostream& err) {
    if (!store.OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle)) {
        err << "no \"Quorin Database\" on the device: " << cedb::errorText(cedb::lastError())
            << "\n";
        return false;
    }
    WalkReport report;
    const bool walked = store.walkRecords(
        AnyKind, EveryRecordProperty,
        [&](const RecordImage& r) {
            records.push_back(r);
            return true;
        },
        &report);
    if (!walked) {
        err << "\"Quorin Database\" could not be read: " << cedb::errorText(cedb::lastError())
            << "\n";
        return false;
    }
    if (report.damaged > 0) {
        err << report.damaged << (report.damaged == 1 ? " record" : " records")
            << " of \"Quorin Database\" could not be read and are left out\n";
        return false;
    }
    return true;
}

// The persons, and the dates their cards carry, for the other records to refer to.
MappingContext contextOf(const std::vector<RecordImage>& records, const ExportOptions& options) {
    MappingContext context{options, {}, {}};
    for (const RecordImage& r : records)
        if (r.kind == PersonKind) context.persons.emplace(r.id, &r);
    for (const RecordImage& r : records) {
        if (r.kind != AnniversaryKind) continue;
        if (repeat::parse(text(r.place)).code != int(RepeatRule::EveryYear)) continue;
        const std::optional<int32_t> owner = firstParticipant(text(r.participantIds));
        const auto start = clk::fromFileTime(r.start);
        if (!owner || !start || r.start.value() == 0) continue;
        const std::u16string_view content = text(r.content);
        MappingContext::KnownDates& dates = context.dates[*owner];
        std::optional<repeat::Date>* slot =
            content == contactimport::kBirthdayContent  ? &dates.birthday
            : content == contactimport::kWeddingContent ? &dates.wedding
                                                        : nullptr;
        if (slot && !*slot) *slot = repeat::Date::of(*start);
    }
    return context;
}

std::string componentText(icalcomponent* c) {
    char* s = icalcomponent_as_ical_string_r(c);
    std::string out(s ? s : "");
    icalmemory_free_buffer(s);
    return out;
}

std::string eventName(icalcomponent* event) {
    const char* summary = icalcomponent_get_summary(event);
    return summary ? summary : "";
}

}  // namespace

std::string exportText(std::u16string_view text) {
    std::u16string clean;
    clean.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r') {
            clean.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else if (c == u'\n' || c == u'\t' || (c >= 0x20 && c != 0x7F)) {
            clean.push_back(c);
        }
    }
    return devfs::toUtf8(clean);
}

std::string uidOf(const std::vector<uint8_t>& handheld, uint32_t kind, int32_t id) {
    const QUuid space = QUuid::fromRfc4122(
        QByteArray(reinterpret_cast<const char*>(handheld.data()), qsizetype(handheld.size()))
            .leftJustified(16, '\0', true));
    const QByteArray name =
        QByteArray(kindName(kind)) + '/' + QByteArray::number(kind) + '/' + QByteArray::number(id);
    return QUuid::createUuidV5(space, name).toString(QUuid::WithoutBraces).toStdString();
}

bool exportObjects(CRecordStore& store, const ExportOptions& options,
                   std::vector<ExportedObject>& out, std::ostream& err) {
    std::vector<RecordImage> records;
    const bool whole = readAll(store, records, err);
    const MappingContext context = contextOf(records, options);
    for (const RecordImage& r : records) {
        if (r.kind != PersonKind) continue;
        out.push_back({Collection::AddressBook, uidOf(options.handheld, r.kind, r.id),
                       exportText(text(r.name)), personCard(r, context)});
    }
    for (const RecordImage& r : records) {
        icalcomponent* event = recordEvent(r, context);
        if (!event) continue;
        ExportedObject object{
            Collection::Calendar, uidOf(options.handheld, r.kind, r.id), eventName(event), {}};
        icalcomponent* calendar = calendarOf({event});
        object.text = componentText(calendar);
        icalcomponent_free(calendar);
        out.push_back(std::move(object));
    }
    return whole;
}

bool exportFiles(CRecordStore& store, const ExportOptions& options,
                 const std::filesystem::path& contacts, const std::filesystem::path& calendar,
                 ExportCounts& counts, std::ostream& err) {
    std::vector<RecordImage> records;
    if (!readAll(store, records, err)) return false;
    const MappingContext context = contextOf(records, options);
    std::string error;
    if (!contacts.empty()) {
        std::string cards;
        for (const RecordImage& r : records)
            if (r.kind == PersonKind) {
                cards += personCard(r, context);
                ++counts.persons;
            }
        if (!writeWholeFile(contacts, cards, 0644, error)) {
            err << "quorin-sync: " << error << "\n";
            return false;
        }
    }
    if (!calendar.empty()) {
        std::vector<icalcomponent*> events;
        for (const RecordImage& r : records)
            if (icalcomponent* e = recordEvent(r, context)) {
                events.push_back(e);
                ++(r.kind == AppointmentKind ? counts.appointments : counts.anniversaries);
            }
        icalcomponent* all = calendarOf(events);
        const std::string ics = componentText(all);
        icalcomponent_free(all);
        if (!writeWholeFile(calendar, ics, 0644, error)) {
            err << "quorin-sync: " << error << "\n";
            return false;
        }
    }
    return true;
}

}  // namespace interop
