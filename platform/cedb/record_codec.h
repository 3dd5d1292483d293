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
// The same into `out`, reusing its elements' storage; false when the data is damaged.
bool decodeInto(const uint8_t* data, size_t size, const std::vector<uint32_t>& only, Record& out);

}  // namespace cedb::codec
