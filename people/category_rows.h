// What the group choice computes, apart from its widgets: a person's group list taken apart
// and put together, the rows shown for it, and what an entered name does to those rows.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace people {

// Group names in a person's group list are joined by this.
inline constexpr QStringView GroupSeparator = u", ";
// Follows the name of a row that stands for a group the person has but the categories lack.
inline constexpr QStringView NotInGroupListSuffix = u"( Not In Group List )";

// The names of a group list, in order. Names are split at each ","; the blank the joiner puts
// after it is dropped. Empty names (a list cut short after a comma) are left out.
QStringList splitGroupList(const QString& list);
// The same names as views into `list`, for a caller that only compares them; `visit` returns
// false to stop. False when it was stopped.
bool visitGroupNames(QStringView list, const std::function<bool(QStringView name)>& visit);
// The names joined by ", ".
QString joinGroupList(const QStringList& names);

struct CategoryRow {
    QString text;
    bool checked = false;
    friend bool operator==(const CategoryRow&, const CategoryRow&) = default;
};

// The rows of the group choice: one unchecked row per category, in category order; then each
// name of `initialList` checks its category row, or, when no category has that name, adds a
// checked row of the name followed by "( Not In Group List )".
std::vector<CategoryRow> categoryRows(const std::vector<std::u16string>& categories,
                                      const QString& initialList);

// The name a row stands for: its text without the "( Not In Group List )" suffix.
QString groupNameOfRow(const QString& rowText);
bool isNotInGroupListRow(const QString& rowText);

// The group list the checked rows make, in row order.
QString checkedGroupList(const std::vector<CategoryRow>& rows);

// What a name entered through New does to the rows.
struct EnteredName {
    enum Kind {
        AlreadyCategory,  // a category row has the name: nothing is added
        ReviveRow,        // `row` stands for the name without being a category: it becomes one
        NewCategory,      // the name is added as a category
    } kind;
    int row = -1;
};
EnteredName examineEnteredName(const QStringList& rowTexts, const QString& name);

}  // namespace people
