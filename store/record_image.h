// The record of "Quorin Database": its 27 properties and the fixed 2552-byte image through
// which the program, the Today item and both sync providers handle one record. The image is
// also the sync exchange packet, so its layout is a file format: never reorder or resize.
//
// Header-only and free of the program's classes, so that every deliverable can include it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>

#include "cedb/cedb.h"

// Databases.
inline constexpr std::u16string_view MainDatabaseName = u"Quorin Database";
inline constexpr std::u16string_view CountDatabaseName = u"Count Database";
inline constexpr uint32_t MainDatabaseType = 10000;
inline constexpr uint32_t CountDatabaseType = 11000;

// Record kinds (PropKind).
inline constexpr uint32_t PersonKind = 10;
inline constexpr uint32_t AppointmentKind = 20;
inline constexpr uint32_t AnniversaryKind = 30;

// Property identifiers: number in the high 16 bits, value type in the low 16 bits.
inline constexpr uint32_t PropKind = 0x02230012;         // UI2
inline constexpr uint32_t PropChangeFlags = 0x02220012;  // UI2
inline constexpr uint32_t PropId = 0x01020003;           // I4, first sort order
inline constexpr uint32_t PropName = 0x0103001F;
inline constexpr uint32_t PropCompany = 0x0104001F;
inline constexpr uint32_t PropTitle = 0x0105001F;
inline constexpr uint32_t PropAddress = 0x0106001F;
inline constexpr uint32_t PropMobile = 0x0107001F;
inline constexpr uint32_t PropWorkPhone = 0x0108001F;
inline constexpr uint32_t PropHomePhone = 0x0109001F;
inline constexpr uint32_t PropFax = 0x0110001F;
inline constexpr uint32_t PropEmail = 0x0111001F;
inline constexpr uint32_t PropGroups = 0x0112001F;
inline constexpr uint32_t PropReserved1 = 0x01130012;  // UI2
inline constexpr uint32_t PropReserved2 = 0x01140012;
inline constexpr uint32_t PropReserved3 = 0x01150012;
inline constexpr uint32_t PropReserved4 = 0x01160012;
inline constexpr uint32_t PropKey = 0x01170003;  // I4, second sort order
inline constexpr uint32_t PropParticipantIds = 0x0118001F;
inline constexpr uint32_t PropParticipantNames = 0x0119001F;
inline constexpr uint32_t PropStart = 0x01200040;  // FILETIME
inline constexpr uint32_t PropEnd = 0x01210040;
inline constexpr uint32_t PropPlace = 0x0122001F;
inline constexpr uint32_t PropContent = 0x0123001F;
inline constexpr uint32_t PropHasSketch = 0x0124000B;  // BOOL
inline constexpr uint32_t PropSketchName = 0x0125001F;
inline constexpr uint32_t PropStamp = 0x02240040;  // FILETIME
// The single property of the counter record in "Count Database".
inline constexpr uint32_t PropCounter = 0x02250003;

// Every property of a record, in the order new records are written.
// clang-format off
inline constexpr uint32_t RecordProperties[] = {
    PropKind, PropChangeFlags, PropStamp, PropId,
    PropName, PropCompany, PropTitle, PropAddress, PropMobile, PropWorkPhone, PropHomePhone,
    PropFax, PropEmail, PropGroups,
    PropReserved1, PropReserved2, PropReserved3, PropReserved4,
    PropKey, PropParticipantIds, PropParticipantNames, PropStart, PropEnd, PropPlace,
    PropContent, PropHasSketch, PropSketchName,
};
// clang-format on
static_assert(std::size(RecordProperties) == 27);

// Bits of PropChangeFlags.
inline constexpr uint32_t ChangePendingPartner1 = 0x1;
inline constexpr uint32_t ChangePendingPartner2 = 0x2;
inline constexpr uint32_t ChangePendingAgain = 0x4;  // changed again while a change was pending
inline constexpr uint32_t ChangeWrittenBySync = 0x8;
inline constexpr uint32_t ChangeFlagsOnCreate = ChangePendingPartner1 | ChangePendingPartner2;

// The flags after the program changes a record: pending for both partners, and marked as
// changed again when a change was still pending for either.
constexpr uint32_t updatedChangeFlags(uint32_t flags) {
    const uint32_t pending = ChangePendingPartner1 | ChangePendingPartner2;
    return (flags & pending) ? (flags | pending | ChangePendingAgain) : (flags | pending);
}

// Repeat codes of an anniversary, the first field of its rule text "%d;%d;%d;" in `place`.
enum class RepeatRule : int {
    None = 50,
    EveryYear = 100,
    EveryLunarYear = 110,  // every year on the lunar month and day of the date (음력)
    EveryMonth = 200,
    EveryNDays = 300,
};

struct RecordImage {
    uint32_t kind = 0;         // 16-bit on disk
    uint32_t changeFlags = 0;  // 16-bit on disk
    int32_t id = 0;
    char16_t name[20] = {};
    char16_t company[20] = {};
    char16_t title[30] = {};
    char16_t address[50] = {};
    char16_t mobile[20] = {};
    char16_t workPhone[20] = {};
    char16_t homePhone[20] = {};
    char16_t fax[20] = {};
    char16_t email[30] = {};
    char16_t groups[30] = {};
    int32_t reserved1 = 0;  // 16-bit on disk, widened with sign extension
    int32_t reserved2 = 0;
    int32_t reserved3 = 0;
    int32_t reserved4 = 0;
    int32_t key = 0;
    char16_t participantIds[200] = {};
    char16_t participantNames[200] = {};
    cedb::FileTime start;
    cedb::FileTime end;
    char16_t place[30] = {};
    char16_t content[300] = {};
    int32_t hasSketch = 0;
    char16_t sketchName[256] = {};
    cedb::FileTime stamp;
};

static_assert(std::endian::native == std::endian::little, "the packet layout is little-endian");
static_assert(std::is_standard_layout_v<RecordImage> && std::is_trivially_copyable_v<RecordImage>);
static_assert(sizeof(RecordImage) == 2552);
static_assert(offsetof(RecordImage, kind) == 0);
static_assert(offsetof(RecordImage, changeFlags) == 4);
static_assert(offsetof(RecordImage, id) == 8);
static_assert(offsetof(RecordImage, name) == 12);
static_assert(offsetof(RecordImage, company) == 52);
static_assert(offsetof(RecordImage, title) == 92);
static_assert(offsetof(RecordImage, address) == 152);
static_assert(offsetof(RecordImage, mobile) == 252);
static_assert(offsetof(RecordImage, workPhone) == 292);
static_assert(offsetof(RecordImage, homePhone) == 332);
static_assert(offsetof(RecordImage, fax) == 372);
static_assert(offsetof(RecordImage, email) == 412);
static_assert(offsetof(RecordImage, groups) == 472);
static_assert(offsetof(RecordImage, reserved1) == 532);
static_assert(offsetof(RecordImage, reserved2) == 536);
static_assert(offsetof(RecordImage, reserved3) == 540);
static_assert(offsetof(RecordImage, reserved4) == 544);
static_assert(offsetof(RecordImage, key) == 548);
static_assert(offsetof(RecordImage, participantIds) == 552);
static_assert(offsetof(RecordImage, participantNames) == 952);
static_assert(offsetof(RecordImage, start) == 1352);
static_assert(offsetof(RecordImage, end) == 1360);
static_assert(offsetof(RecordImage, place) == 1368);
static_assert(offsetof(RecordImage, content) == 1428);
static_assert(offsetof(RecordImage, hasSketch) == 2028);
static_assert(offsetof(RecordImage, sketchName) == 2032);
static_assert(offsetof(RecordImage, stamp) == 2544);

// ---- Text fields -----------------------------------------------------------------------------
// A field of capacity N holds at most N - 1 units and always its terminating zero.

// The longest prefix of `text` that fits a field of `capacity` units with its terminator.
// A surrogate pair is never split: half a character would not survive a round trip.
constexpr std::u16string_view fitText(std::u16string_view text, size_t capacity) {
    if (capacity == 0) return {};
    std::u16string_view kept = text.substr(0, std::min(text.size(), capacity - 1));
    if (kept.size() < text.size() && !kept.empty() && (kept.back() & 0xFC00) == 0xD800)
        kept.remove_suffix(1);
    return kept;
}

// The field's text up to its terminator. An unterminated field reads as its first
// N - 1 units, as it would be stored, and never past the field.
inline std::u16string_view text(std::span<const char16_t> field) {
    std::u16string_view all(field.data(), field.size());
    return fitText(all.substr(0, all.find(u'\0')), field.size());
}
template <size_t N>
std::u16string_view text(const char16_t (&field)[N]) {
    return text(std::span<const char16_t>(field, N));
}

// Stores `value`, cut to fit, and clears the rest of the field. Returns false when it was cut.
inline bool setText(std::span<char16_t> field, std::u16string_view value) {
    if (field.empty()) return value.empty();
    const std::u16string_view kept = fitText(value, field.size());
    std::copy(kept.begin(), kept.end(), field.begin());
    std::fill(field.begin() + ptrdiff_t(kept.size()), field.end(), u'\0');
    return kept.size() == value.size();
}
template <size_t N>
bool setText(char16_t (&field)[N], std::u16string_view value) {
    return setText(std::span<char16_t>(field, N), value);
}

// setText for a field that setText has always filled, so that every unit after its terminator
// is zero: only the units of the text it replaces are cleared, not the whole rest of the field.
inline bool replaceText(std::span<char16_t> field, std::u16string_view value) {
    if (field.empty()) return value.empty();
    const std::u16string_view kept = fitText(value, field.size());
    std::copy(kept.begin(), kept.end(), field.begin());
    for (size_t i = kept.size(); i < field.size() && field[i] != 0; ++i) field[i] = 0;
    return kept.size() == value.size();
}

// ---- Fields by property -----------------------------------------------------------------------

// The text field of a string property; empty for any other property.
inline std::span<char16_t> textField(RecordImage& r, uint32_t propId) {
    switch (propId) {
        case PropName:
            return r.name;
        case PropCompany:
            return r.company;
        case PropTitle:
            return r.title;
        case PropAddress:
            return r.address;
        case PropMobile:
            return r.mobile;
        case PropWorkPhone:
            return r.workPhone;
        case PropHomePhone:
            return r.homePhone;
        case PropFax:
            return r.fax;
        case PropEmail:
            return r.email;
        case PropGroups:
            return r.groups;
        case PropParticipantIds:
            return r.participantIds;
        case PropParticipantNames:
            return r.participantNames;
        case PropPlace:
            return r.place;
        case PropContent:
            return r.content;
        case PropSketchName:
            return r.sketchName;
        default:
            return {};
    }
}
inline std::span<const char16_t> textField(const RecordImage& r, uint32_t propId) {
    return textField(const_cast<RecordImage&>(r), propId);
}

// The most UTF-16 units the text field of `propId` holds, its terminator not counted; 0 for a
// property that is not a text. Every edit of a text field takes no more than this, so that
// nothing typed is cut when it is stored.
inline int fieldLimit(uint32_t propId) {
    static const RecordImage probe{};
    const size_t capacity = textField(probe, propId).size();
    return capacity ? int(capacity) - 1 : 0;
}

namespace detail {
inline bool loadProperty(RecordImage& r, const cedb::PropVal& p, bool textTailsClear) {
    if (std::span<char16_t> field = textField(r, p.propId); !field.empty()) {
        if (textTailsClear) {
            replaceText(field, p.text);
        } else {
            setText(field, p.text);
        }
        return true;
    }
    const auto u16 = [&] { return uint32_t(uint16_t(p.number)); };
    const auto s16 = [&] { return int32_t(int16_t(uint16_t(p.number))); };
    switch (p.propId) {
        case PropKind:
            r.kind = u16();
            return true;
        case PropChangeFlags:
            r.changeFlags = u16();
            return true;
        case PropId:
            r.id = int32_t(p.number);
            return true;
        case PropKey:
            r.key = int32_t(p.number);
            return true;
        case PropReserved1:
            r.reserved1 = s16();
            return true;
        case PropReserved2:
            r.reserved2 = s16();
            return true;
        case PropReserved3:
            r.reserved3 = s16();
            return true;
        case PropReserved4:
            r.reserved4 = s16();
            return true;
        case PropHasSketch:
            r.hasSketch = p.number != 0;
            return true;
        case PropStart:
            r.start = p.fileTime;
            return true;
        case PropEnd:
            r.end = p.fileTime;
            return true;
        case PropStamp:
            r.stamp = p.fileTime;
            return true;
        default:
            return false;
    }
}
}  // namespace detail

// Copies one stored property into its field: texts cut to fit, unsigned 16-bit values widened
// with zero and the reserved ones with sign extension. False for a property the image has no
// field for (or of another type); the image is then unchanged.
inline bool loadProperty(RecordImage& r, const cedb::PropVal& p) {
    return detail::loadProperty(r, p, false);
}
// The same into an image whose texts were all set by setText or reloadProperty (a zeroed image
// reused for record after record): a text clears only what is left of the one it replaces.
inline bool reloadProperty(RecordImage& r, const cedb::PropVal& p) {
    return detail::loadProperty(r, p, true);
}

// Whether an image that came from outside (a sync packet) can be taken in: a kind of the three
// and every text terminated within its field.
inline bool isValidImage(const RecordImage& r) {
    if (r.kind != PersonKind && r.kind != AppointmentKind && r.kind != AnniversaryKind)
        return false;
    for (uint32_t id : RecordProperties) {
        const std::span<const char16_t> field = textField(r, id);
        if (!field.empty() && std::find(field.begin(), field.end(), u'\0') == field.end())
            return false;
    }
    return true;
}

// The stored form of one field: texts cut to fit, 16-bit values cut to 16 bits.
// nullopt for a property the image has no field for.
inline std::optional<cedb::PropVal> propertyOf(const RecordImage& r, uint32_t propId) {
    cedb::PropVal p;
    p.propId = propId;
    if (std::span<const char16_t> field = textField(r, propId); !field.empty()) {
        p.text = std::u16string(text(field));
        return p;
    }
    switch (propId) {
        case PropKind:
            p.number = uint16_t(r.kind);
            break;
        case PropChangeFlags:
            p.number = uint16_t(r.changeFlags);
            break;
        case PropId:
            p.number = r.id;
            break;
        case PropKey:
            p.number = r.key;
            break;
        case PropReserved1:
            p.number = uint16_t(r.reserved1);
            break;
        case PropReserved2:
            p.number = uint16_t(r.reserved2);
            break;
        case PropReserved3:
            p.number = uint16_t(r.reserved3);
            break;
        case PropReserved4:
            p.number = uint16_t(r.reserved4);
            break;
        case PropHasSketch:
            p.number = r.hasSketch != 0;
            break;
        case PropStart:
            p.fileTime = r.start;
            break;
        case PropEnd:
            p.fileTime = r.end;
            break;
        case PropStamp:
            p.fileTime = r.stamp;
            break;
        default:
            return std::nullopt;
    }
    return p;
}
