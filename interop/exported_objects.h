// Every record of the handheld as open-standard objects: a person as a vCard 4.0, an
// appointment or an anniversary as an iCalendar object holding one VEVENT. The export files and
// the CalDAV/CardDAV push both take their objects from here, so they always agree.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

class CRecordStore;

namespace interop {

enum class Collection { Calendar, AddressBook };

struct ExportedObject {
    Collection collection = Collection::Calendar;
    // Stable across exports: the handheld's identity, the record's kind and identifier.
    std::string uid;
    // What a person reads to know the record: the person's name, or the event's summary.
    std::string name;
    // The whole object: "BEGIN:VCARD ... END:VCARD" or "BEGIN:VCALENDAR ... END:VCALENDAR",
    // CRLF line ends, UTF-8.
    std::string text;
};

struct ExportOptions {
    // The handheld's identity (16 bytes, made at its first synchronisation), from which every
    // UID is derived.
    std::vector<uint8_t> handheld;
    // Lunar yearly anniversaries as RRULE:RSCALE=DANGI (RFC 7529) instead of a list of solar
    // dates.
    bool rscale = false;
};

// The UID of a record: a name-based UUID (RFC 4122, version 5) of the handheld's identity, the
// record's kind and identifier.
std::string uidOf(const std::vector<uint8_t>& handheld, uint32_t kind, int32_t id);

// The objects of every record of the open store: persons, then appointments and anniversaries,
// each in store order. False, after saying why on `err`, when the store cannot be read or some
// record could not be decoded: `out` then holds the records that could, and must not be taken
// for the whole store (a record missing from it is not a deleted one).
bool exportObjects(CRecordStore& store, const ExportOptions& options,
                   std::vector<ExportedObject>& out, std::ostream& err);

// Writes every person into `contacts` (vCards one after the other) and every appointment and
// anniversary into `calendar` (one VCALENDAR); either path may be empty to skip it. A file is
// written whole or not at all (a temporary file renamed over it). False, after saying why, when
// the store cannot be read whole or a file cannot be written.
struct ExportCounts {
    int persons = 0;
    int appointments = 0;
    int anniversaries = 0;
};
bool exportFiles(CRecordStore& store, const ExportOptions& options,
                 const std::filesystem::path& contacts, const std::filesystem::path& calendar,
                 ExportCounts& counts, std::ostream& err);

}  // namespace interop
