#include "appointments/participant_selection.h"

#include <QSet>

#include "people/people_list_rows.h"
#include "store/record_store.h"

namespace appointments {

namespace {

QString fromField(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

bool removeAt(QStringList& names, QStringList& ids, const QString& id) {
    const qsizetype i = ids.indexOf(id);
    if (i < 0) return false;
    ids.removeAt(i);
    if (i < names.size()) names.removeAt(i);
    return true;
}

}  // namespace

void ParticipantSelection::clear() {
    clearPersons();
    groupNames.clear();
    groupIds.clear();
}

void ParticipantSelection::clearPersons() {
    personNames.clear();
    personIds.clear();
}

bool ParticipantSelection::addPerson(const QString& name, const QString& id) {
    if (personIds.contains(id)) return false;
    personNames.push_back(name);
    personIds.push_back(id);
    return true;
}

bool ParticipantSelection::addGroup(const QString& name, const QString& id) {
    if (groupIds.contains(id)) return false;
    groupNames.push_back(name);
    groupIds.push_back(id);
    return true;
}

bool ParticipantSelection::removePerson(const QString& id) {
    return removeAt(personNames, personIds, id);
}

bool ParticipantSelection::removeGroup(const QString& id) {
    return removeAt(groupNames, groupIds, id);
}

QString participantText(const ParticipantSelection& selection) {
    QString text;
    for (const QString& group : selection.groupNames) text += u'<' + group + QStringLiteral(">;");
    for (const QString& name : selection.personNames) text += name + u';';
    return text;
}

std::vector<std::vector<GroupMember>> groupMembers(CRecordStore& store, const QStringList& groups) {
    std::vector<std::vector<GroupMember>> members(size_t(groups.size()));
    if (groups.isEmpty()) return members;
    std::vector<bool> held;
    store.walkRecordsChecked(
        PersonKind, {PropId, PropName, PropGroups}, [&](const RecordImage& r, uint32_t missing) {
            if (missing || r.id < 1 || r.groups[0] == 0) return true;
            // The person's list is taken apart once for every group, by the people lists' rule.
            const std::u16string_view list = text(r.groups);
            markGroupsHeld(QStringView(list.data(), qsizetype(list.size())), groups, held);
            QString name;
            for (qsizetype g = 0; g < groups.size(); ++g) {
                if (!held[size_t(g)]) continue;
                if (name.isNull()) name = fromField(text(r.name));
                members[size_t(g)].push_back({r.id, name});
            }
            return true;
        });
    return members;
}

void expandGroups(CRecordStore& store, ParticipantSelection& selection) {
    const auto members = groupMembers(store, selection.groupNames);
    // addPerson's rule, each identifier once, kept by a set rather than a search per member.
    QSet<QString> chosen(selection.personIds.begin(), selection.personIds.end());
    for (const auto& group : members) {
        for (const GroupMember& m : group) {
            const QString id = QString::number(m.id);
            if (chosen.contains(id)) continue;
            chosen.insert(id);
            selection.personNames.push_back(m.name);
            selection.personIds.push_back(id);
        }
    }
}

}  // namespace appointments
