// What was last pushed to each server: per collection, each UID's resource, its ETag and a hash
// of the text sent, so that a later push sends only what changed and conditions every write on
// the server's copy being the one it left. Kept in a file of its own in the desktop root,
// readable by its owner only, replaced whole on every save.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace dav {

inline constexpr size_t kMaxStateBytes = 64 * 1024 * 1024;
inline constexpr size_t kMaxStateItems = 200000;

struct StateItem {
    std::string href;
    std::string etag;  // empty: a create was sent and not confirmed (the run was cut off)
    std::string hash;  // contentHash() of the text sent
    std::string name;  // for the conflict list, also once the record is gone
};

struct CollectionState {
    std::map<std::string, StateItem> items;  // by UID
};

struct ServerState {
    // The collections discovery found, so later runs need not look again.
    std::string calendarUrl;
    std::string addressbookUrl;
    std::map<std::string, CollectionState> collections;  // by collection URL
};

struct PushState {
    std::map<std::string, ServerState> servers;  // by the URL the user gave
};

// A hash of an object's text, 64 hex digits. DTSTAMP lines are left out: they say when the text
// was written, not what it holds.
std::string contentHash(std::string_view text);

std::string serializeState(const PushState& state);
// False, with `error` naming the first bad line, when `text` is not a whole, valid state.
bool parseState(std::string_view text, PushState& out, std::string& error);

// A missing file is an empty state. False, with `error`, when the file cannot be read or is
// damaged: a damaged state is never taken as empty, which would send every record again.
bool loadState(const std::filesystem::path& file, PushState& out, std::string& error);
// Writes a temporary file (mode 0600) beside `file`, flushes it to disk and renames it over
// `file`. False, with `error`, when any step fails; `file` is then as it was.
bool saveState(const std::filesystem::path& file, const PushState& state, std::string& error);

}  // namespace dav
