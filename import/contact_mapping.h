// How a contact of the handheld's contact store becomes a person record and its yearly
// anniversaries. Plain functions: the import, the benchmark and the tests share them.
#pragma once

#include <string>

#include "pim/vcard.h"
#include "store/record_image.h"

namespace contactimport {

// The name used for a contact with neither name nor e-mail address.
inline constexpr char16_t kNoName[] = u"Outlook";
// What stands for ";" in imported names and group lists: the stored lists of participants and
// groups use ";" as their separator and allow no escape. In a group name it is the full-width
// semicolon, since a "," there would split the group in two.
inline constexpr char16_t kSemicolonReplacement = u',';
inline constexpr char16_t kSemicolonInGroup = u'\uFF1B';

inline constexpr char16_t kBirthdayContent[] = u"생일";
inline constexpr char16_t kWeddingContent[] = u"결혼 기념일";

// The person record of a contact (kind PersonKind, `stamp` the given time): the name is the
// last name followed at once by the first name, else the e-mail address, else "Outlook"; the
// business address is country, state, city and street, the parts present joined by one blank;
// empty values stay empty. Every text is cut to its field.
RecordImage personOf(const pim::ContactFields& contact, cedb::FileTime stamp);

// The yearly anniversary of the person `person` (already added, so its `id` is set) on the
// OLE date `date` (> 0), at 00:00, with `content` and the every-year rule.
RecordImage anniversaryOf(const RecordImage& person, pim::DATE date, std::u16string_view content,
                          cedb::FileTime stamp);

}  // namespace contactimport
