#include "import/contact_mapping.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "clock/clock.h"
#include "store/repeat_rule.h"

namespace contactimport {
namespace {

std::u16string withoutSemicolons(std::u16string text, char16_t replacement) {
    std::replace(text.begin(), text.end(), u';', replacement);
    return text;
}

}  // namespace

RecordImage personOf(const pim::ContactFields& c, cedb::FileTime stamp) {
    RecordImage r{};
    r.kind = PersonKind;
    std::u16string name = c.lastName + c.firstName;
    if (name.empty()) name = c.email1Address;
    if (name.empty()) name = kNoName;
    setText(r.name, withoutSemicolons(std::move(name), kSemicolonReplacement));
    setText(r.company, c.companyName);
    setText(r.title, c.jobTitle);
    std::u16string address;
    for (const std::u16string* part : {&c.businessAddressCountry, &c.businessAddressState,
                                       &c.businessAddressCity, &c.businessAddressStreet}) {
        if (part->empty()) continue;
        if (!address.empty()) address += u' ';
        address += *part;
    }
    setText(r.address, address);
    setText(r.mobile, c.mobileTelephoneNumber);
    setText(r.workPhone, c.businessTelephoneNumber);
    setText(r.homePhone, c.homeTelephoneNumber);
    setText(r.fax, c.businessFaxNumber);
    setText(r.email, c.email1Address);
    // A group list too long for its field keeps the whole names that fit: half a name would
    // be a group of its own.
    std::u16string groups = withoutSemicolons(c.categories, kSemicolonInGroup);
    const size_t room = size_t(fieldLimit(PropGroups));
    if (groups.size() > room) {
        const size_t joiner = groups.rfind(u", ", room);
        groups.resize(joiner == std::u16string::npos ? 0 : joiner);
    }
    setText(r.groups, groups);
    r.stamp = stamp;
    return r;
}

RecordImage anniversaryOf(const RecordImage& person, pim::DATE date, std::u16string_view content,
                          cedb::FileTime stamp) {
    RecordImage r{};
    r.kind = AnniversaryKind;
    const std::string id = std::to_string(person.id);  // "%d", no separator
    setText(r.participantIds, std::u16string(id.begin(), id.end()));
    setText(r.participantNames, text(person.name));
    // The date part of the OLE date, as calendar fields, at 00:00.
    const int64_t days = int64_t(std::floor(date)) + clk::dayNumber(1899, 12, 30);
    r.start = clk::toFileTime(clk::fromDayNumber(days)).value_or(cedb::FileTime{});
    setText(r.place, repeat::write({int(RepeatRule::EveryYear), 0, 0}));
    setText(r.content, content);
    r.stamp = stamp;
    return r;
}

}  // namespace contactimport
