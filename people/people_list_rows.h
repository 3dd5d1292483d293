// The rows of the people lists, computed without any widget: which people a load lists, how
// they are filtered by group, sorted and searched. CPeopleListWnd shows what these give.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class CRecordStore;

// The three uses of the people list.
enum PeopleListMode { NameList = 1, NameAndPhone = 2, Picker = 3 };

// Row identifiers: a person's record identifier (1 or more), the "No-Name.." row, or a group
// row: -3 minus the group's index in the category list.
inline constexpr int NoNameId = -2;
inline const QString NoNameText = QStringLiteral("No-Name..");
inline const QString NoPhoneText = QStringLiteral("<NONE>");
inline const QString NoGroupText = QStringLiteral("<선택하지 않음>");

constexpr bool isGroupRowId(int id) {
    return id < NoNameId;
}
constexpr bool isPersonRowId(int id) {
    return id >= 1;
}
constexpr int groupRowId(int categoryIndex) {
    return -3 - categoryIndex;
}

struct PeopleRow {
    QString name;
    QString phone;  // the work telephone in mode 2; "<NONE>" for group and "No-Name.." rows
    int id = 0;
    bool operator==(const PeopleRow&) const = default;
};
using PeopleRows = std::vector<PeopleRow>;

// What a load needs of one person record.
struct PersonEntry {
    int id = 0;
    QString name;
    QString groups;  // names joined by ", "
    QString workPhone;
};

// Whether `filter` is exactly one of the names of the group list `groups` (split as the group
// choice splits it, so that a name may begin with a blank).
bool inGroup(QStringView groups, QStringView filter);
// inGroup for each of `filters`, the list taken apart once: held[i] for filters[i].
void markGroupsHeld(QStringView groups, const QStringList& filters, std::vector<bool>& held);

// The person records of the store, in stored order. A record that the record operations
// cannot read whole (a property missing) is left out: it could not be edited or listed
// faithfully, and it must not cost the user the rest of the list.
std::vector<PersonEntry> loadPersonEntries(CRecordStore& store);
// The live categories of the store, in category order.
QStringList loadCategories(const CRecordStore& store);

// The rows of a load, unsorted: in mode 3 one group row per category first; then every person
// (all of them with an empty filter, else those in the filter's group); in mode 1 the
// "No-Name.." row last.
PeopleRows buildRows(int mode, const QStringList& categories,
                     const std::vector<PersonEntry>& persons, const QString& groupFilter);
// Orders rows as the lists show them: group rows by name, then person rows by name (UTF-16
// code units, case-sensitive); the "No-Name.." row stays last.
void sortRows(PeopleRows& rows);

// The search of the list's search edit, over the rows of the last load.
class PeopleSearch {
public:
    // New rows from a load: the previous result is dropped and `text` (the edit's current
    // text) is applied to them afresh.
    void reset(const PeopleRows& rows, const QString& text = {});
    // The search text changed. An empty text shows all rows; a text that is a prefix of some
    // names shows those rows; a text that matches nothing keeps what was shown.
    void setText(const QString& text);

    const PeopleRows& rows() const { return rows_; }
    // The rows to show.
    const PeopleRows& shown() const { return active_ ? result_ : rows_; }
    bool isActive() const { return active_; }

private:
    PeopleRows rows_;
    PeopleRows result_;
    bool active_ = false;
};
