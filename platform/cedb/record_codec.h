// The stored form of a record: a u32 count, a directory of (u32 property id, u32 offset of its
// value) in written order, then the values: integers and booleans 4 bytes, FILETIME 8,
// strings and blobs a u32 length (UTF-16 units or bytes) followed by the data. Little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cedb.h"

namespace cedb::codec {

bool isKnownType(PropType type);
std::vector<uint8_t> encode(const Record& record);
// Decodes every property, or only those whose ids are listed; nullopt when the data is damaged.
std::optional<Record> decode(const uint8_t* data, size_t size, const std::vector<uint32_t>& only = {});
// Where the wanted properties of the last record read stood in its directory. A walk's records
// mostly share one layout, so the next record is read at those places when its directory has
// them there; any other record is read through its whole directory, which sets the layout anew.
struct Layout {
    std::vector<uint32_t> only;  // the wanted ids the layout was found for
    size_t count = 0;            // the directory's length
    std::vector<uint32_t> at;    // the directory index of each wanted property found
    std::vector<uint32_t> ids;   // the id at each of those indices
};
// The same into `out`, reusing its elements' storage; false when the data is damaged.
bool decodeInto(const uint8_t* data, size_t size, const std::vector<uint32_t>& only, Record& out,
                Layout* layout = nullptr);

}  // namespace cedb::codec
