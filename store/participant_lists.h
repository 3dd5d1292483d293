// The participant lists of an appointment: `participantIds` holds each identifier followed by
// ";" and then "#;" ("11;31;41;#;", or "#;" for none); `participantNames` holds each name
// followed by ";". Position i of one list belongs to position i of the other.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct Participant {
    int32_t id = 0;
    std::u16string name;
};

struct ParticipantLists {
    std::u16string ids;
    std::u16string names;
};

// Builds both texts, in the order given. nullopt when they could not be read back as they
// were meant: a name holding ";" or a zero, or equal to "#", would shift the names against the
// identifiers, and a list longer than its record field would be cut in the middle of an entry.
std::optional<ParticipantLists> buildParticipantLists(std::span<const Participant> participants);

// Splits a stored list at ";" up to the token "#". A names list is read with "#;" appended,
// so both kinds end the same way; text after the last ";" without a "#" is kept as a token.
std::vector<std::u16string> splitIdList(std::u16string_view ids);
std::vector<std::u16string> splitNameList(std::u16string_view names);

// The one reading of a stored person identifier, for every screen that matches or looks up a
// participant: a token of decimal digits, blanks around it ignored. nullopt for anything else
// (empty, a sign or another character, more than 10 digits, beyond int32).
std::optional<int32_t> participantId(std::u16string_view token);
// Whether the identifier list `ids` names `personId`: its tokens up to "#", each read as above,
// so 11 is not in "111;#;". An anniversary's single identifier ("11", "11;") reads the same.
bool takesPart(std::u16string_view ids, int32_t personId);
// The first person the list names: an anniversary's owner. nullopt when its first token is no
// identifier or there is none.
std::optional<int32_t> firstParticipant(std::u16string_view ids);
