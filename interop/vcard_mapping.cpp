// A person as a vCard 4.0, written by EVCard (libebook-contacts), the library that also reads
// the handheld's contacts.
#include <libebook-contacts/libebook-contacts.h>

#include <cstdio>
#include <initializer_list>

#include "clock/clock.h"
#include "people/category_rows.h"
#include "record_mapping.h"

namespace interop {

namespace {

// The value the program stores for a telephone that was not given.
constexpr std::u16string_view kNoPhone = u"None";

class Card {
public:
    Card() : card_(e_vcard_new()) {}
    ~Card() { g_object_unref(card_); }
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    // Appends NAME[;TYPE=type]:values; nothing when every value is empty, unless `required`.
    void add(const char* name, std::initializer_list<std::string> values,
             const char* type = nullptr, bool required = false) {
        bool any = required;
        for (const std::string& v : values) any = any || !v.empty();
        if (!any) return;
        EVCardAttribute* a = e_vcard_attribute_new(nullptr, name);
        for (const std::string& v : values) e_vcard_attribute_add_value(a, v.c_str());
        if (type)
            e_vcard_attribute_add_param_with_value(a, e_vcard_attribute_param_new("TYPE"), type);
        e_vcard_append_attribute(card_, a);
    }
    void addList(const char* name, const std::vector<std::string>& values) {
        if (values.empty()) return;
        EVCardAttribute* a = e_vcard_attribute_new(nullptr, name);
        for (const std::string& v : values) e_vcard_attribute_add_value(a, v.c_str());
        e_vcard_append_attribute(card_, a);
    }

    // EVCard writes the 3.0 line syntax, which 4.0 keeps unchanged for every property used here;
    // only the version line differs.
    std::string text() const {
        gchar* s = e_vcard_to_string(card_, EVC_FORMAT_VCARD_30);
        std::string out(s ? s : "");
        g_free(s);
        const std::string from = "\r\nVERSION:3.0\r\n";
        if (const size_t at = out.find(from); at != std::string::npos)
            out.replace(at, from.size(), "\r\nVERSION:4.0\r\n");
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        return out;
    }

private:
    EVCard* card_;
};

std::string field(std::span<const char16_t> f) {
    return exportText(text(f));
}

std::string phone(std::span<const char16_t> f) {
    const std::u16string_view t = text(f);
    return t == kNoPhone ? std::string() : exportText(t);
}

std::string basicDate(const repeat::Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
    return buf;
}

}  // namespace

std::string personCard(const RecordImage& p, const MappingContext& context) {
    Card card;
    const std::string name = field(p.name);
    card.add("UID", {uidOf(context.options.handheld, p.kind, p.id)});
    card.add("FN", {name}, nullptr, true);  // a card always has one
    // The program keeps one name: it is the family name, as the contact import reads it back.
    card.add("N", {name, "", "", "", ""});
    card.add("ORG", {field(p.company)});
    card.add("TITLE", {field(p.title)});
    card.add("ADR", {"", "", field(p.address), "", "", "", ""}, "work");
    card.add("TEL", {phone(p.mobile)}, "cell");
    card.add("TEL", {phone(p.workPhone)}, "work");
    card.add("TEL", {phone(p.homePhone)}, "home");
    card.add("TEL", {phone(p.fax)}, "fax");
    card.add("EMAIL", {field(p.email)});
    std::vector<std::string> groups;
    const std::u16string_view list = text(p.groups);
    for (const QString& g :
         people::splitGroupList(QString::fromUtf16(list.data(), qsizetype(list.size()))))
        groups.push_back(exportText(g.toStdU16String()));
    card.addList("CATEGORIES", groups);
    if (auto it = context.dates.find(p.id); it != context.dates.end()) {
        if (it->second.birthday) card.add("BDAY", {basicDate(*it->second.birthday)});
        if (it->second.wedding) card.add("ANNIVERSARY", {basicDate(*it->second.wedding)});
    }
    if (const auto stamp = clk::fromFileTime(p.stamp); stamp && p.stamp.value() != 0) {
        char rev[24];
        std::snprintf(rev, sizeof rev, "%04d%02d%02dT%02d%02d%02d", stamp->year, stamp->month,
                      stamp->day, stamp->hour, stamp->minute, stamp->second);
        card.add("REV", {rev});
    }
    card.add(kKindProperty, {std::to_string(p.kind)});
    card.add(kIdProperty, {std::to_string(p.id)});
    return card.text();
}

}  // namespace interop
