#include "pim/vcard.h"

#include <libebook-contacts/libebook-contacts.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "clock/clock.h"
#include "fs/devfs.h"

namespace pim {
namespace {

struct VCardDeleter {
    void operator()(EVCard* v) const { g_object_unref(v); }
};
using VCardPtr = std::unique_ptr<EVCard, VCardDeleter>;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Bytes in another encoding, as UTF-8 (g_convert); empty when they cannot be converted.
std::string convert(std::string_view bytes, const char* from) {
    gsize written = 0;
    gchar* out = g_convert(bytes.data(), gssize(bytes.size()), "UTF-8", from, nullptr, &written,
                           nullptr);
    std::string s = out ? std::string(out, written) : std::string();
    g_free(out);
    return s;
}

// A value as a one-line device text. EVCard has applied CHARSET and quoted-printable; a value
// that is still not UTF-8 came from a phone writing its own code page without saying so.
std::u16string deviceText(const char* value) {
    if (!value) return {};
    std::string_view raw(value);
    std::string utf8;
    if (g_utf8_validate(raw.data(), gssize(raw.size()), nullptr)) {
        utf8 = raw;
    } else {
        utf8 = convert(raw, "CP949");
        if (utf8.empty()) {
            gchar* valid = g_utf8_make_valid(raw.data(), gssize(raw.size()));
            utf8 = valid;
            g_free(valid);
        }
    }
    std::u16string text = devfs::fromUtf8(utf8);
    for (char16_t& c : text)
        if (c < 0x20 || c == 0x7F) c = u' ';
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

std::u16string valueAt(EVCardAttribute* attr, guint index) {
    GList* values = e_vcard_attribute_get_values(attr);
    GList* v = g_list_nth(values, index);
    return v ? deviceText(static_cast<const char*>(v->data)) : std::u16string();
}

// The attribute's types (TYPE values, vCard 2.1's bare parameters, and 4.0's quoted
// comma-separated lists alike), upper-cased.
std::vector<std::string> typesOf(EVCardAttribute* attr) {
    std::vector<std::string> types;
    for (GList* p = e_vcard_attribute_get_params(attr); p; p = p->next) {
        auto* param = static_cast<EVCardAttributeParam*>(p->data);
        const char* name = e_vcard_attribute_param_get_name(param);
        if (!name || !equalsNoCase(name, "TYPE")) continue;
        for (GList* v = e_vcard_attribute_param_get_values(param); v; v = v->next) {
            std::string_view all(static_cast<const char*>(v->data));
            size_t start = 0;
            while (start <= all.size()) {
                size_t end = all.find(',', start);
                if (end == std::string_view::npos) end = all.size();
                std::string t(trimmed(all.substr(start, end - start)));
                for (char& c : t) c = char(std::toupper(static_cast<unsigned char>(c)));
                if (!t.empty()) types.push_back(t);
                start = end + 1;
            }
        }
    }
    return types;
}

bool hasType(const std::vector<std::string>& types, std::string_view type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool hasParam(EVCardAttribute* attr, const char* name) {
    for (GList* p = e_vcard_attribute_get_params(attr); p; p = p->next) {
        const char* n = e_vcard_attribute_param_get_name(static_cast<EVCardAttributeParam*>(p->data));
        if (n && equalsNoCase(n, name)) return true;
    }
    return false;
}

int digits(std::string_view s, size_t at, size_t count) {
    if (at + count > s.size()) return -1;
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

bool isWeddingAnniversary(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "ANNIVERSARY", "X-ANNIVERSARY", "X-MS-ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY",
        "X-KADDRESSBOOK-X-ANNIVERSARY", "X-WEDDING-ANNIVERSARY"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](std::string_view n) { return equalsNoCase(name, n); });
}

// Address books that keep labelled dates write the anniversary as a grouped X-ABDATE whose
// X-ABLABEL in the same group names it.
bool labelledAnniversary(EVCard* card, EVCardAttribute* date) {
    const char* group = e_vcard_attribute_get_group(date);
    if (!group || !*group) return false;
    for (GList* a = e_vcard_get_attributes(card); a; a = a->next) {
        auto* attr = static_cast<EVCardAttribute*>(a->data);
        const char* g = e_vcard_attribute_get_group(attr);
        const char* n = e_vcard_attribute_get_name(attr);
        if (!g || !n || !equalsNoCase(g, group) || !equalsNoCase(n, "X-ABLABEL")) continue;
        std::u16string label = valueAt(attr, 0);
        std::string upper = devfs::toUtf8(devfs::upperCase(label));
        if (upper.find("ANNIVERSARY") != std::string::npos) return true;
    }
    return false;
}

std::u16string joined(const std::vector<std::u16string>& parts, std::u16string_view joiner) {
    std::u16string out;
    for (const std::u16string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += joiner;
        out += p;
    }
    return out;
}

void putPhone(ContactFields& c, EVCardAttribute* attr) {
    std::u16string number = valueAt(attr, 0);
    if (number.size() > 4 && devfs::upperCase(number.substr(0, 4)) == u"TEL:") number.erase(0, 4);
    if (number.empty()) return;
    const std::vector<std::string> types = typesOf(attr);
    auto put = [&](std::u16string& field) {
        if (!field.empty()) return false;
        field = number;
        return true;
    };
    if (hasType(types, "FAX")) {
        put(c.businessFaxNumber);
    } else if (hasType(types, "CELL") || hasType(types, "MOBILE") || hasType(types, "IPHONE")) {
        put(c.mobileTelephoneNumber);
    } else if (hasType(types, "WORK")) {
        put(c.businessTelephoneNumber);
    } else if (hasType(types, "HOME")) {
        put(c.homeTelephoneNumber);
    } else {
        // A number of no known type (plain voice, pager, other...) takes the first free slot
        // rather than being lost.
        put(c.mobileTelephoneNumber) || put(c.homeTelephoneNumber) ||
            put(c.businessTelephoneNumber);
    }
}

void putAddress(ContactFields& c, EVCardAttribute* attr) {
    // post office box; extended address; street; locality; region; postal code; country
    c.businessAddressStreet = joined({valueAt(attr, 1), valueAt(attr, 2)}, u" ");
    c.businessAddressCity = valueAt(attr, 3);
    c.businessAddressState = valueAt(attr, 4);
    c.businessAddressPostalCode = valueAt(attr, 5);
    c.businessAddressCountry = valueAt(attr, 6);
}

// The contact fields of one parsed card; false when the card holds nothing to import.
bool fieldsOf(EVCard* card, ContactFields& c) {
    EVCardAttribute* onlyAddress = nullptr;
    EVCardAttribute* workAddress = nullptr;
    int addresses = 0;
    int attributes = 0;
    std::u16string formatted;
    bool haveName = false;
    for (GList* a = e_vcard_get_attributes(card); a; a = a->next) {
        auto* attr = static_cast<EVCardAttribute*>(a->data);
        const char* rawName = e_vcard_attribute_get_name(attr);
        if (!rawName) continue;
        std::string_view name(rawName);
        if (equalsNoCase(name, "VERSION")) continue;
        ++attributes;
        if (equalsNoCase(name, "N")) {
            if (haveName) continue;
            c.lastName = valueAt(attr, 0);
            c.firstName = valueAt(attr, 1);
            haveName = !c.lastName.empty() || !c.firstName.empty();
        } else if (equalsNoCase(name, "FN")) {
            if (formatted.empty()) formatted = valueAt(attr, 0);
        } else if (equalsNoCase(name, "ORG")) {
            if (c.companyName.empty()) c.companyName = valueAt(attr, 0);
        } else if (equalsNoCase(name, "TITLE")) {
            if (c.jobTitle.empty()) c.jobTitle = valueAt(attr, 0);
        } else if (equalsNoCase(name, "ADR")) {
            ++addresses;
            onlyAddress = attr;
            if (!workAddress && hasType(typesOf(attr), "WORK")) workAddress = attr;
        } else if (equalsNoCase(name, "TEL")) {
            putPhone(c, attr);
        } else if (equalsNoCase(name, "EMAIL")) {
            if (c.email1Address.empty()) c.email1Address = valueAt(attr, 0);
        } else if (equalsNoCase(name, "CATEGORIES")) {
            std::vector<std::u16string> names;
            for (GList* v = e_vcard_attribute_get_values(attr); v; v = v->next)
                names.push_back(deviceText(static_cast<const char*>(v->data)));
            if (c.categories.empty()) c.categories = joined(names, u", ");
        } else if (equalsNoCase(name, "BDAY")) {
            if (c.birthday <= 0) {
                const std::string value = devfs::toUtf8(valueAt(attr, 0));
                c.birthday = readVCardDate(value, hasParam(attr, "X-APPLE-OMIT-YEAR"));
            }
        } else if (isWeddingAnniversary(name) ||
                   (equalsNoCase(name, "X-ABDATE") && labelledAnniversary(card, attr))) {
            if (c.anniversary <= 0) {
                const std::string value = devfs::toUtf8(valueAt(attr, 0));
                c.anniversary = readVCardDate(value, hasParam(attr, "X-APPLE-OMIT-YEAR"));
            }
        }
    }
    if (!haveName && !formatted.empty()) c.lastName = formatted;
    if (EVCardAttribute* address = workAddress ? workAddress
                                   : addresses == 1 ? onlyAddress
                                                    : nullptr)
        putAddress(c, address);
    return attributes > 0;
}

// A line that is not UTF-8 holds raw 8-bit text (EVCard decodes CHARSET only along with
// quoted-printable): its value is converted here from its CHARSET, or from the handheld's code
// page when it names none, and the line then says UTF-8.
std::string lineAsUtf8(std::string_view line) {
    if (g_utf8_validate(line.data(), gssize(line.size()), nullptr)) return std::string(line);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::string(line);
    std::string head(line.substr(0, colon));
    std::string upper = head;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string charset = "CP949";
    const size_t at = upper.find(";CHARSET=");
    size_t end = std::string::npos;
    if (at != std::string::npos) {
        end = head.find(';', at + 9);
        if (end == std::string::npos) end = head.size();
        charset = head.substr(at + 9, end - at - 9);
    }
    std::string value = convert(line.substr(colon + 1), charset.c_str());
    if (value.empty() && charset != "CP949") value = convert(line.substr(colon + 1), "CP949");
    if (value.empty()) return std::string(line);
    if (at != std::string::npos) head.replace(at + 9, end - at - 9, "UTF-8");
    return head + ":" + value;
}

// The file's bytes as UTF-8 without a byte-order mark.
std::string withoutByteOrderMark(std::string_view bytes) {
    auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (startsWith("\xFF\xFE")) return convert(bytes.substr(2), "UTF-16LE");
    if (startsWith("\xFE\xFF")) return convert(bytes.substr(2), "UTF-16BE");
    return std::string(bytes);
}

}  // namespace

DATE oleDate(int year, int month, int day) {
    if (!clk::isValidDate(year, month, day)) return 0;
    return DATE(clk::dayNumber(year, month, day) - clk::dayNumber(1899, 12, 30));
}

DATE readVCardDate(std::string_view value, bool omitYear) {
    value = trimmed(value);
    if (const size_t t = value.find_first_of("Tt"); t != std::string_view::npos)
        value = value.substr(0, t);
    int year = -1, month = -1, day = -1;
    if (value.size() >= 4 && value.substr(0, 2) == "--") {
        // --MMDD or --MM-DD: no year.
        std::string_view md = value.substr(2);
        month = digits(md, 0, 2);
        day = md.size() == 4 ? digits(md, 2, 2) : md.size() == 5 && md[2] == '-' ? digits(md, 3, 2) : -1;
        year = kNoYear;
    } else if (value.size() == 8) {
        year = digits(value, 0, 4);
        month = digits(value, 4, 2);
        day = digits(value, 6, 2);
    } else if (value.size() == 10 && value[4] == '-' && value[7] == '-') {
        year = digits(value, 0, 4);
        month = digits(value, 5, 2);
        day = digits(value, 8, 2);
    }
    if (year < 0 || month < 0 || day < 0) return 0;
    if (omitYear) year = kNoYear;
    return oleDate(year, month, day);
}

VCardFile readVCards(std::string_view bytes) {
    // The library's complaints about odd parameters go nowhere: a card it cannot use is
    // counted instead.
    static const bool quiet = [] {
        g_log_set_handler("libebook-contacts", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
                          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    (void)quiet;
    VCardFile file;
    const std::string text = withoutByteOrderMark(bytes);
    // Cards are framed by their BEGIN and END lines; each card is then parsed on its own, so a
    // broken one costs only itself.
    std::string_view rest(text);
    std::string card;
    bool inCard = false;
    auto finish = [&] {
        VCardPtr parsed(e_vcard_new_from_string(card.c_str()));
        ContactFields fields;
        if (parsed && fieldsOf(parsed.get(), fields)) {
            file.contacts.push_back(std::move(fields));
        } else {
            ++file.unreadable;
        }
        card.clear();
        inCard = false;
    };
    while (!rest.empty()) {
        const size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        const std::string_view bare = trimmed(line);
        if (equalsNoCase(bare, "BEGIN:VCARD")) {
            if (inCard) ++file.unreadable;  // the card before never ended
            card.assign("BEGIN:VCARD\r\n");
            inCard = true;
            continue;
        }
        if (!inCard) continue;
        if (equalsNoCase(bare, "END:VCARD")) {
            card += "END:VCARD\r\n";
            finish();
            continue;
        }
        card += lineAsUtf8(line);
        if (card.empty() || card.back() != '\r') card += '\r';
        card += '\n';
    }
    if (inCard) ++file.unreadable;
    return file;
}

}  // namespace pim
