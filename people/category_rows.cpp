#include "category_rows.h"

namespace people {

bool visitGroupNames(QStringView list, const std::function<bool(QStringView name)>& visit) {
    qsizetype start = 0;
    while (start <= list.size()) {
        qsizetype comma = list.indexOf(u',', start);
        if (comma < 0) comma = list.size();
        const QStringView name = list.mid(start, comma - start);
        if (!name.isEmpty() && !visit(name)) return false;
        start = comma + 1;
        // Only the joiner's blank goes: a name of its own never loses its first letter.
        if (start < list.size() && list[start] == u' ') ++start;
    }
    return true;
}

QStringList splitGroupList(const QString& list) {
    QStringList names;
    visitGroupNames(list, [&](QStringView name) {
        names << name.toString();
        return true;
    });
    return names;
}

QString joinGroupList(const QStringList& names) {
    return names.join(GroupSeparator);
}

std::vector<CategoryRow> categoryRows(const std::vector<std::u16string>& categories,
                                      const QString& initialList) {
    std::vector<CategoryRow> rows;
    rows.reserve(categories.size());
    for (const std::u16string& c : categories) rows.push_back({QString::fromStdU16String(c)});
    const size_t categoryCount = rows.size();
    for (const QString& name : splitGroupList(initialList)) {
        bool found = false;
        for (size_t i = 0; i < categoryCount; ++i) {
            if (rows[i].text == name) {
                rows[i].checked = true;
                found = true;
                break;
            }
        }
        if (!found) rows.push_back({name + NotInGroupListSuffix.toString(), true});
    }
    return rows;
}

QString groupNameOfRow(const QString& rowText) {
    const qsizetype at = rowText.indexOf(NotInGroupListSuffix);
    return at < 0 ? rowText : rowText.left(at);
}

bool isNotInGroupListRow(const QString& rowText) {
    return rowText.contains(NotInGroupListSuffix);
}

QString checkedGroupList(const std::vector<CategoryRow>& rows) {
    QStringList names;
    for (const CategoryRow& row : rows) {
        if (row.checked) names << groupNameOfRow(row.text);
    }
    return joinGroupList(names);
}

EnteredName examineEnteredName(const QStringList& rowTexts, const QString& name) {
    bool found = false;
    for (int i = 0; i < rowTexts.size(); ++i) {
        if (rowTexts[i] == name) {
            found = true;
        } else if (isNotInGroupListRow(rowTexts[i]) && groupNameOfRow(rowTexts[i]) == name) {
            return {EnteredName::ReviveRow, i};
        }
    }
    return {found ? EnteredName::AlreadyCategory : EnteredName::NewCategory};
}

}  // namespace people
