#include "people/people_list_rows.h"

#include <algorithm>

#include "people/category_rows.h"
#include "store/record_store.h"
#include "ui/exchange_sort.h"

namespace {

QString fromField(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// Code-unit order, as the lists have always sorted; QString's own operator< would order
// characters outside the BMP differently.
bool nameBefore(const QString& a, const QString& b) {
    return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(),
                                        b.utf16() + b.size());
}

// The lists' exchange sort over rows [first, last), by name.
void sortByName(PeopleRows& rows, size_t first, size_t last) {
    ui::exchangeSort(rows, first, last, [](const PeopleRow& a, const PeopleRow& b) {
        return nameBefore(a.name, b.name);
    });
}

}  // namespace

bool inGroup(QStringView groups, QStringView filter) {
    // Stopped at the name that is the filter.
    return !people::visitGroupNames(groups, [&](QStringView name) { return name != filter; });
}

void markGroupsHeld(QStringView groups, const QStringList& filters, std::vector<bool>& held) {
    held.assign(size_t(filters.size()), false);
    people::visitGroupNames(groups, [&](QStringView name) {
        for (qsizetype f = 0; f < filters.size(); ++f) {
            if (name == filters[f]) held[size_t(f)] = true;
        }
        return true;
    });
}

std::vector<PersonEntry> loadPersonEntries(CRecordStore& store) {
    std::vector<int> ids;
    store.walkRecords(PersonKind, {PropId}, [&](const RecordImage& r) {
        // A record without an identifier cannot be found by any record operation.
        if (r.id >= 1) ids.push_back(r.id);
        return true;
    });
    // Read after the walk, not inside it: each read moves the store's main handle.
    std::vector<PersonEntry> persons;
    persons.reserve(ids.size());
    for (int id : ids) {
        RecordImage image{};
        image.kind = PersonKind;
        image.id = id;
        if (!store.ReadRecord(image)) continue;
        persons.push_back({id, fromField(text(image.name)), fromField(text(image.groups)),
                           fromField(text(image.workPhone))});
    }
    return persons;
}

QStringList loadCategories(const CRecordStore& store) {
    std::vector<std::u16string> list;
    store.RefreshCategories(list);
    QStringList names;
    for (const auto& name : list) names.push_back(fromField(name));
    return names;
}

PeopleRows buildRows(int mode, const QStringList& categories,
                     const std::vector<PersonEntry>& persons, const QString& groupFilter) {
    PeopleRows rows;
    if (mode == Picker) {
        for (qsizetype i = 0; i < categories.size(); ++i) {
            rows.push_back({categories[i], NoPhoneText, groupRowId(int(i))});
        }
    }
    for (const PersonEntry& p : persons) {
        if (!groupFilter.isEmpty() && !inGroup(p.groups, groupFilter)) continue;
        rows.push_back({p.name, mode == NameAndPhone ? p.workPhone : QString(), p.id});
    }
    if (mode == NameList) rows.push_back({NoNameText, NoPhoneText, NoNameId});
    return rows;
}

void sortRows(PeopleRows& rows) {
    const auto firstPerson = std::stable_partition(
        rows.begin(), rows.end(), [](const PeopleRow& r) { return isGroupRowId(r.id); });
    const auto noName = std::stable_partition(firstPerson, rows.end(),
                                              [](const PeopleRow& r) { return r.id != NoNameId; });
    sortByName(rows, 0, size_t(firstPerson - rows.begin()));
    sortByName(rows, size_t(firstPerson - rows.begin()), size_t(noName - rows.begin()));
}

void PeopleSearch::reset(const PeopleRows& rows, const QString& text) {
    rows_ = rows;
    result_.clear();
    active_ = false;
    setText(text);
}

void PeopleSearch::setText(const QString& text) {
    if (text.isEmpty()) {
        active_ = false;
        return;
    }
    PeopleRows matches;
    for (const PeopleRow& row : rows_) {
        if (row.name.startsWith(text, Qt::CaseSensitive)) matches.push_back(row);
    }
    if (matches.empty()) return;
    result_ = std::move(matches);
    active_ = true;
}
