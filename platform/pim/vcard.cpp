#include "pim/vcard.h"

#include <libebook-contacts/libebook-contacts.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clock/clock.h"
#include "fs/devfs.h"

namespace pim {
namespace {

struct VCardDeleter {
    void operator()(EVCard* v) const { g_object_unref(v); }
};
using VCardPtr = std::unique_ptr<EVCard, VCardDeleter>;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
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

// Bytes in another encoding, as UTF-8 (g_convert); nothing when a byte of them is not text in
// that encoding (or the encoding is unknown).
std::optional<std::string> decode(std::string_view bytes, const char* from) {
    gsize written = 0;
    gchar* out =
        g_convert(bytes.data(), gssize(bytes.size()), "UTF-8", from, nullptr, &written, nullptr);
    if (!out) return std::nullopt;
    std::string s(out, written);
    g_free(out);
    return s;
}

bool isUtf8(std::string_view bytes) {
    return g_utf8_validate(bytes.data(), gssize(bytes.size()), nullptr);
}

bool namesUtf8(std::string_view charset) {
    return equalsNoCase(charset, "UTF-8") || equalsNoCase(charset, "UTF8");
}

// `bytes` as UTF-8, read in the first of `charsets` in which every byte of them is text.
std::optional<std::string> decodeFirst(std::string_view bytes,
                                       const std::vector<std::string>& charsets) {
    for (const std::string& charset : charsets) {
        if (namesUtf8(charset)) {
            if (isUtf8(bytes)) return std::string(bytes);
        } else if (std::optional<std::string> text = decode(bytes, charset.c_str())) {
            return text;
        }
    }
    return std::nullopt;
}

// A value as a one-line device text. EVCard has applied quoted-printable and the CHARSET the
// value names (the reader gives a quoted-printable value without one its card's); what is
// still not UTF-8 is read as the handheld's code page where every byte of it decodes, and is
// otherwise no text: `undecodable` is set and the card is not imported.
std::u16string deviceText(const char* value, bool& undecodable) {
    if (!value) return {};
    static const std::vector<std::string> kUndeclared{"UTF-8", "CP949"};
    const std::optional<std::string> utf8 = decodeFirst(value, kUndeclared);
    if (!utf8) {
        undecodable = true;
        return {};
    }
    std::u16string text = devfs::fromUtf8(*utf8);
    for (char16_t& c : text)
        if (c < 0x20 || c == 0x7F) c = u' ';
    const size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

std::u16string valueAt(EVCardAttribute* attr, guint index, bool& undecodable) {
    GList* values = e_vcard_attribute_get_values(attr);
    GList* v = g_list_nth(values, index);
    return v ? deviceText(static_cast<const char*>(v->data), undecodable) : std::u16string();
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
        const char* n =
            e_vcard_attribute_param_get_name(static_cast<EVCardAttributeParam*>(p->data));
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
    static constexpr std::string_view kNames[] = {"ANNIVERSARY",
                                                  "X-ANNIVERSARY",
                                                  "X-MS-ANNIVERSARY",
                                                  "X-EVOLUTION-ANNIVERSARY",
                                                  "X-KADDRESSBOOK-X-ANNIVERSARY",
                                                  "X-WEDDING-ANNIVERSARY"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](std::string_view n) { return equalsNoCase(name, n); });
}

// Address books that keep labelled dates write the anniversary as a grouped X-ABDATE whose
// X-ABLABEL in the same group names it.
bool labelledAnniversary(EVCard* card, EVCardAttribute* date, bool& undecodable) {
    const char* group = e_vcard_attribute_get_group(date);
    if (!group || !*group) return false;
    for (GList* a = e_vcard_get_attributes(card); a; a = a->next) {
        auto* attr = static_cast<EVCardAttribute*>(a->data);
        const char* g = e_vcard_attribute_get_group(attr);
        const char* n = e_vcard_attribute_get_name(attr);
        if (!g || !n || !equalsNoCase(g, group) || !equalsNoCase(n, "X-ABLABEL")) continue;
        std::u16string label = valueAt(attr, 0, undecodable);
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

void putPhone(ContactFields& c, EVCardAttribute* attr, bool& undecodable) {
    std::u16string number = valueAt(attr, 0, undecodable);
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

void putAddress(ContactFields& c, EVCardAttribute* attr, bool& undecodable) {
    // post office box; extended address; street; locality; region; postal code; country
    auto value = [&](guint i) { return valueAt(attr, i, undecodable); };
    c.businessAddressStreet = joined({value(1), value(2)}, u" ");
    c.businessAddressCity = value(3);
    c.businessAddressState = value(4);
    c.businessAddressPostalCode = value(5);
    c.businessAddressCountry = value(6);
}

// The contact fields of one parsed card; false when the card holds nothing to import or a text
// of it that is read cannot be decoded.
bool fieldsOf(EVCard* card, ContactFields& c) {
    bool undecodable = false;
    auto valueAt = [&](EVCardAttribute* attr, guint i) {
        return pim::valueAt(attr, i, undecodable);
    };
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
            putPhone(c, attr, undecodable);
        } else if (equalsNoCase(name, "EMAIL")) {
            if (c.email1Address.empty()) c.email1Address = valueAt(attr, 0);
        } else if (equalsNoCase(name, "CATEGORIES")) {
            // Each value is one category, whatever it holds: a "," in it (escaped in the
            // card) would split it where the names are joined, so it takes the full-width form.
            std::vector<std::u16string> names;
            for (GList* v = e_vcard_attribute_get_values(attr); v; v = v->next) {
                std::u16string category =
                    deviceText(static_cast<const char*>(v->data), undecodable);
                std::replace(category.begin(), category.end(), u',', kCommaInCategory);
                names.push_back(std::move(category));
            }
            if (c.categories.empty()) c.categories = joined(names, u", ");
        } else if (equalsNoCase(name, "BDAY")) {
            if (c.birthday <= 0) {
                const std::string value = devfs::toUtf8(valueAt(attr, 0));
                c.birthday = readVCardDate(value, hasParam(attr, "X-APPLE-OMIT-YEAR"));
            }
        } else if (isWeddingAnniversary(name) || (equalsNoCase(name, "X-ABDATE") &&
                                                  labelledAnniversary(card, attr, undecodable))) {
            if (c.anniversary <= 0) {
                const std::string value = devfs::toUtf8(valueAt(attr, 0));
                c.anniversary = readVCardDate(value, hasParam(attr, "X-APPLE-OMIT-YEAR"));
            }
        }
    }
    if (!haveName && !formatted.empty()) c.lastName = formatted;
    if (EVCardAttribute* address = workAddress      ? workAddress
                                   : addresses == 1 ? onlyAddress
                                                    : nullptr)
        putAddress(c, address, undecodable);
    return attributes > 0 && !undecodable;
}

// One property of a card, its folded lines joined.
struct Property {
    std::string line;
    bool quotedPrintable = false;
};

// Where the CHARSET parameter of a property line names its charset; size 0 when it names none.
struct CharsetParam {
    size_t at = 0;
    size_t size = 0;
};

CharsetParam charsetParam(std::string_view line) {
    const std::string_view head = line.substr(0, line.find(':'));
    static constexpr std::string_view kParam = ";CHARSET=";
    for (size_t i = 0; i + kParam.size() <= head.size(); ++i) {
        if (!equalsNoCase(head.substr(i, kParam.size()), kParam)) continue;
        const size_t at = i + kParam.size();
        const size_t end = std::min(head.find(';', at), head.size());
        return {at, end - at};
    }
    return {};
}

std::string charsetOf(std::string_view line) {
    const CharsetParam p = charsetParam(line);
    std::string name(line.substr(p.at, p.size));
    std::erase(name, '"');
    return name;
}

// A charset that reads the card's own syntax as it stands: known to the converter and agreeing
// with ASCII, as the code pages cards are written in do (UTF-16, say, does not).
bool usableCharset(const std::string& charset) {
    if (charset.empty()) return false;
    if (namesUtf8(charset)) return true;
    static constexpr std::string_view kProbe = "AZaz09:;=, ";
    return decode(kProbe, charset.c_str()) == std::string(kProbe);
}

bool hasEightBitBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// A card's properties as UTF-8, ready for the library; false when 8-bit text of the card cannot
// be decoded. EVCard applies CHARSET only along with quoted-printable, so raw 8-bit text is
// converted here. Text that names no charset is read in the charset the card names on its
// other lines (a writer keeps to one code page), then as UTF-8, then as the handheld's code
// page (CP949), each only where every byte decodes; a quoted-printable value that names none
// is given the card's, for the library to apply.
bool cardAsUtf8(std::vector<Property>& properties) {
    // The usable charsets the card names, first first; each name is tried on the converter once.
    std::vector<std::string> named;
    const auto isNamed = [&](std::string_view charset) {
        return std::any_of(named.begin(), named.end(),
                           [&](const std::string& n) { return equalsNoCase(n, charset); });
    };
    std::vector<std::string> charsets;  // each property's, worked out once
    charsets.reserve(properties.size());
    for (const Property& p : properties) {
        charsets.push_back(charsetOf(p.line));
        if (!isNamed(charsets.back()) && usableCharset(charsets.back()))
            named.push_back(charsets.back());
    }
    const std::string cardCharset = named.empty() ? std::string() : named.front();
    std::vector<std::string> undeclared = named;
    undeclared.push_back("UTF-8");
    undeclared.push_back("CP949");

    for (size_t i = 0; i < properties.size(); ++i) {
        Property& p = properties[i];
        const std::string& own = charsets[i];
        if (hasEightBitBytes(p.line)) {
            std::vector<std::string> order = undeclared;
            if (isNamed(own)) order.insert(order.begin(), own);
            std::optional<std::string> text = decodeFirst(p.line, order);
            if (!text) return false;
            p.line = std::move(*text);
            // Decoded once here: the library must not decode the value again.
            const CharsetParam param = charsetParam(p.line);
            if (param.size > 0) p.line.replace(param.at, param.size, "UTF-8");
        } else if (p.quotedPrintable && own.empty() && !cardCharset.empty()) {
            const size_t colon = p.line.find(':');
            if (colon != std::string::npos) p.line.insert(colon, ";CHARSET=" + cardCharset);
        }
    }
    return true;
}

// Whether a line is a property with a well-formed name ("NAME" or "group.NAME", then ":" or
// parameters). The library leaks what it read of a grouped line whose name holds any other
// character or that has no value, and such a line is no property anyway: it is left out.
bool wellFormedName(std::string_view line) {
    if (line.find(':') == std::string_view::npos) return false;  // no value: no property
    const std::string_view name = line.substr(0, line.find_first_of(";:"));
    if (name.empty()) return true;  // the library passes over these by itself
    int dots = 0;
    for (char c : name) {
        if (c == '.') {
            ++dots;
        } else if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
            return false;
        }
    }
    return dots <= 1 && name.front() != '.' && name.back() != '.';
}

// The file's bytes as UTF-8 without a byte-order mark.
std::string withoutByteOrderMark(std::string_view bytes) {
    auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    if (startsWith("\xFF\xFE")) return decode(bytes.substr(2), "UTF-16LE").value_or("");
    if (startsWith("\xFE\xFF")) return decode(bytes.substr(2), "UTF-16BE").value_or("");
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
        day = md.size() == 4                   ? digits(md, 2, 2)
              : md.size() == 5 && md[2] == '-' ? digits(md, 3, 2)
                                               : -1;
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
        g_log_set_handler(
            "libebook-contacts",
            GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                           G_LOG_LEVEL_DEBUG),
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        return true;
    }();
    (void)quiet;
    VCardFile file;
    // The library takes each card as a C string: a NUL inside it would end the card there, and
    // a quoted-printable value cut off at its "=" makes the library read past the string's end.
    std::string text = withoutByteOrderMark(bytes);
    std::erase(text, '\0');
    // Cards are framed by their BEGIN and END lines; each card is then parsed on its own, so a
    // broken one costs only itself. Folded lines are joined to their property here, so that
    // its text is decoded whole, in one charset.
    std::string_view rest(text);
    std::vector<Property> properties;
    bool inCard = false;
    bool dropping = false;     // the current property was left out, and so are its lines
    bool qpContinues = false;  // the current property is quoted-printable and its last line
                               // ended in a soft line break
    auto endSoftBreak = [&] {
        // The "=" that announced another line goes, with any blank after it.
        std::string& line = properties.back().line;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (!line.empty() && line.back() == '=') line.pop_back();
    };
    auto finish = [&] {
        std::string card = "BEGIN:VCARD\r\n";
        const bool decoded = cardAsUtf8(properties);
        for (const Property& p : properties) card += p.line + "\r\n";
        card += "END:VCARD\r\n";
        VCardPtr parsed(decoded ? e_vcard_new_from_string(card.c_str()) : nullptr);
        ContactFields fields;
        if (parsed && fieldsOf(parsed.get(), fields)) {
            file.contacts.push_back(std::move(fields));
        } else {
            ++file.unreadable;
        }
        properties.clear();
        inCard = false;
    };
    while (!rest.empty()) {
        // CR LF, LF and a lone CR all end a line, as they do for the library.
        const size_t eol = rest.find_first_of("\r\n");
        std::string_view line = rest.substr(0, eol);
        if (eol == std::string_view::npos) {
            rest = {};
        } else {
            const size_t next = rest.compare(eol, 2, "\r\n") == 0 ? eol + 2 : eol + 1;
            rest = rest.substr(next);
        }
        const std::string_view bare = trimmed(line);
        if (equalsNoCase(bare, "BEGIN:VCARD")) {
            if (inCard) ++file.unreadable;  // the card before never ended
            properties.clear();
            inCard = true;
            dropping = qpContinues = false;
            continue;
        }
        if (!inCard) continue;
        if (equalsNoCase(bare, "END:VCARD")) {
            // A soft line break on the last value has no line to join: END still ends the card.
            if (qpContinues) endSoftBreak();
            finish();
            continue;
        }
        // A folded line goes on the one before; so does the next line of a quoted-printable
        // value that ended in a soft line break ("=").
        const bool folded = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        if (qpContinues || folded) {
            if (dropping || properties.empty()) continue;
            std::string_view piece = line;
            if (qpContinues) endSoftBreak();
            // The one blank that folded the line goes (the library drops it after a soft
            // break as well).
            if (!piece.empty() && (piece[0] == ' ' || piece[0] == '\t')) piece.remove_prefix(1);
            properties.back().line += piece;
        } else {
            dropping = !wellFormedName(bare);
            if (dropping) continue;
            std::string head(bare.substr(0, bare.find(':')));
            for (char& ch : head) ch = char(std::toupper(static_cast<unsigned char>(ch)));
            properties.push_back(
                {std::string(line), head.find("QUOTED-PRINTABLE") != std::string::npos});
        }
        // Here the line went onto a property of the card: does that value go on?
        qpContinues = properties.back().quotedPrintable && bare.ends_with('=');
    }
    if (inCard) ++file.unreadable;
    return file;
}

}  // namespace pim
