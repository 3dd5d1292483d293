// The participants chosen for an appointment, as the editor and the picker hand them to each
// other: person names and identifiers, group names and identifiers (decimal texts, position i
// of a name list belonging to position i of its identifier list). Groups only serve to pick
// persons: saving expands them into their members, and they are never stored.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class CRecordStore;

namespace appointments {

struct ParticipantSelection {
    QStringList personNames, personIds;
    QStringList groupNames, groupIds;

    void clear();
    void clearPersons();
    // Appends the person unless its identifier text is already chosen; true when appended.
    bool addPerson(const QString& name, const QString& id);
    // Appends the group unless its identifier text is already chosen; true when appended.
    bool addGroup(const QString& name, const QString& id);
    // Removes the first person or group whose identifier text is `id`; false when none.
    bool removePerson(const QString& id);
    bool removeGroup(const QString& id);

    friend bool operator==(const ParticipantSelection&, const ParticipantSelection&) = default;
};

// What the participant edit shows: each group as "<name>;", then each person as "name;".
QString participantText(const ParticipantSelection& selection);

struct GroupMember {
    int id = 0;
    QString name;
    friend bool operator==(const GroupMember&, const GroupMember&) = default;
};

// The members of each group of `groups`: for position i, the persons whose group list holds
// the name groups[i] (split as the people lists split it), in stored order. One record walk
// for all groups; a person record lacking its identifier, name or groups is left out.
std::vector<std::vector<GroupMember>> groupMembers(CRecordStore& store, const QStringList& groups);

// Appends the members of the chosen groups to the chosen persons, group by group in the order
// chosen, each person once: one already chosen (on its own or through an earlier group) is
// not added again.
void expandGroups(CRecordStore& store, ParticipantSelection& selection);

}  // namespace appointments
