// How one record becomes a vCard or a VEVENT: plain mapping functions over RecordImage, shared
// by every exporter (the files and the CalDAV/CardDAV push).
#pragma once

#include <libical/ical.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "interop/exported_objects.h"
#include "store/record_image.h"
#include "store/repeat_rule.h"

namespace interop {

// What mapping one record needs from the others.
struct MappingContext {
    ExportOptions options;
    // Persons by identifier.
    std::unordered_map<int32_t, const RecordImage*> persons;
    // A person's yearly (solar) "생일" and "결혼 기념일", the first of each in store order.
    struct KnownDates {
        std::optional<repeat::Date> birthday;
        std::optional<repeat::Date> wedding;
    };
    std::unordered_map<int32_t, KnownDates> dates;
};

// A stored text as UTF-8 for a standard's text value: CR LF and lone CR become LF, and other
// control characters (which no text value may hold) are dropped.
std::string exportText(std::u16string_view text);

// The vCard 4.0 of a person.
std::string personCard(const RecordImage& person, const MappingContext& context);

// The VEVENT of an appointment or an anniversary (owned by the caller); null for another kind.
icalcomponent* recordEvent(const RecordImage& record, const MappingContext& context);
// A VCALENDAR holding `events` (taken over).
icalcomponent* calendarOf(const std::vector<icalcomponent*>& events);

// The property names of what the standards have no place for.
inline constexpr char kKindProperty[] = "X-QUORIN-KIND";
inline constexpr char kIdProperty[] = "X-QUORIN-ID";
inline constexpr char kRuleProperty[] = "X-QUORIN-RULE";
inline constexpr char kParticipantsProperty[] = "X-QUORIN-PARTICIPANTS";
inline constexpr char kSketchProperty[] = "X-QUORIN-SKETCH";

}  // namespace interop
