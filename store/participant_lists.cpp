#include "store/participant_lists.h"

#include <cstdint>
#include <string>

#include "store/record_image.h"

namespace {

constexpr std::u16string_view kEnd = u"#;";

std::u16string decimal(int32_t n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// Calls `visit` with each token of a list up to its "#" end, as a view into the list, until it
// returns true; whether one did.
template <typename Visit>
bool visitTokens(std::u16string_view text, Visit&& visit) {
    while (!text.empty()) {
        const size_t semi = text.find(u';');
        const std::u16string_view token = text.substr(0, semi);
        if (token == u"#") return false;
        if (visit(token)) return true;
        if (semi == std::u16string_view::npos) return false;
        text.remove_prefix(semi + 1);
    }
    return false;
}

std::vector<std::u16string> split(std::u16string_view text) {
    std::vector<std::u16string> tokens;
    visitTokens(text, [&](std::u16string_view token) {
        tokens.emplace_back(token);
        return false;
    });
    return tokens;
}

}  // namespace

std::optional<ParticipantLists> buildParticipantLists(std::span<const Participant> participants) {
    ParticipantLists lists;
    for (const Participant& p : participants) {
        // A ";" would split the name, "#" would end the list, and a zero would end the stored
        // text: each would shift the names against the identifiers.
        if (p.name.find_first_of(std::u16string_view(u";\0", 2)) != std::u16string::npos ||
            p.name == u"#")
            return std::nullopt;
        lists.ids += decimal(p.id);
        lists.ids += u';';
        lists.names += p.name;
        lists.names += u';';
    }
    lists.ids += kEnd;
    // Each text must fit its field with the terminator.
    if (lists.ids.size() > size_t(fieldLimit(PropParticipantIds)) ||
        lists.names.size() > size_t(fieldLimit(PropParticipantNames)))
        return std::nullopt;
    return lists;
}

std::vector<std::u16string> splitIdList(std::u16string_view ids) {
    return split(ids);
}

std::vector<std::u16string> splitNameList(std::u16string_view names) {
    std::u16string closed(names);
    closed += kEnd;
    return split(closed);
}

std::optional<int32_t> participantId(std::u16string_view token) {
    // Blanks around the digits are what a hand-edited or older list may carry; anything else
    // is a damaged token that must not match some person by accident.
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!token.empty() && blank(token.front())) token.remove_prefix(1);
    while (!token.empty() && blank(token.back())) token.remove_suffix(1);
    if (token.empty() || token.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char16_t c : token) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (value > INT32_MAX) return std::nullopt;
    return int32_t(value);
}

// Both run once per record of a walk: they read the list in place, without copying tokens.
bool takesPart(std::u16string_view ids, int32_t personId) {
    return visitTokens(ids,
                       [&](std::u16string_view token) { return participantId(token) == personId; });
}

std::optional<int32_t> firstParticipant(std::u16string_view ids) {
    return participantId(ids.substr(0, ids.find(u';')));  // "#" and "" name nobody
}
