#include "record_codec.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "texts are copied as stored");

namespace cedb::codec {
namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    out.insert(out.end(), b, b + 4);
}

uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isNumeric(PropType t) {
    return t == PropType::I2 || t == PropType::UI2 || t == PropType::I4 || t == PropType::UI4 ||
           t == PropType::Bool;
}

int64_t widen(PropType t, uint32_t raw) {
    switch (t) {
        case PropType::I2: return int16_t(raw);
        case PropType::UI2: return uint16_t(raw);
        case PropType::I4: return int32_t(raw);
        case PropType::Bool: return int32_t(raw);
        default: return raw;
    }
}

}  // namespace

bool isKnownType(PropType t) {
    return isNumeric(t) || t == PropType::String || t == PropType::FileTime || t == PropType::Blob;
}

namespace {

size_t valueSize(const PropVal& p) {
    switch (p.type()) {
        case PropType::FileTime: return 8;
        case PropType::String: return 4 + p.text.size() * 2;
        case PropType::Blob: return 4 + p.blob.size();
        default: return 4;
    }
}

void putValue(const PropVal& p, std::vector<uint8_t>& out) {
    PropType t = p.type();
    if (isNumeric(t)) {
        put32(out, uint32_t(p.number));
    } else if (t == PropType::FileTime) {
        put32(out, p.fileTime.low);
        put32(out, p.fileTime.high);
    } else if (t == PropType::String) {
        put32(out, uint32_t(p.text.size()));
        const auto* bytes = reinterpret_cast<const uint8_t*>(p.text.data());
        out.insert(out.end(), bytes, bytes + p.text.size() * 2);
    } else if (t == PropType::Blob) {
        put32(out, uint32_t(p.blob.size()));
        out.insert(out.end(), p.blob.begin(), p.blob.end());
    }
}

}  // namespace

std::vector<uint8_t> encode(const Record& record) {
    // [count] [count x (id, offset of the value from the start of the values)] [values]
    size_t values = 0;
    for (const PropVal& p : record) values += valueSize(p);
    std::vector<uint8_t> out;
    out.reserve(4 + record.size() * 8 + values);
    put32(out, uint32_t(record.size()));
    uint32_t offset = 0;
    for (const PropVal& p : record) {
        put32(out, p.propId);
        put32(out, offset);
        offset += uint32_t(valueSize(p));
    }
    for (const PropVal& p : record) putValue(p, out);
    return out;
}

std::optional<Record> decode(const uint8_t* data, size_t size, const std::vector<uint32_t>& only) {
    Record rec;
    rec.reserve(only.empty() ? 32 : only.size());
    if (!decodeInto(data, size, only, rec)) return std::nullopt;
    return rec;
}

namespace {

// Decodes directory entry `e` into `p`; false when its value lies outside the data.
bool decodeEntry(const uint8_t* directory, size_t e, const uint8_t* values, size_t valuesSize,
                 PropVal& p) {
    const uint32_t id = get32(directory + e * 8);
    const size_t offset = get32(directory + e * 8 + 4);
    const PropType t = propType(id);
    size_t len;
    size_t head = 0;
    if (isNumeric(t)) {
        len = 4;
    } else if (t == PropType::FileTime) {
        len = 8;
    } else if (t == PropType::String || t == PropType::Blob) {
        if (offset > valuesSize || valuesSize - offset < 4) return false;
        head = 4;
        len = size_t(get32(values + offset)) * (t == PropType::String ? 2 : 1);
    } else {
        return false;
    }
    if (offset > valuesSize || valuesSize - offset < head + len) return false;
    p.propId = id;
    p.number = 0;
    p.fileTime = {};
    p.text.clear();  // keeps its storage for the next record
    p.blob.clear();
    const uint8_t* v = values + offset + head;
    if (t == PropType::FileTime) {
        p.fileTime = {get32(v), get32(v + 4)};
    } else if (t == PropType::String) {
        p.text.resize(len / 2);
        std::memcpy(p.text.data(), v, len);  // stored little-endian, as held here
    } else if (t == PropType::Blob) {
        p.blob.assign(v, v + len);
    } else {
        p.number = widen(t, get32(v));
    }
    return true;
}

// Whether the directory has the wanted properties where `layout` saw them, and all of them.
bool sameLayout(const Layout& layout, const uint8_t* directory, size_t count,
                const std::vector<uint32_t>& only) {
    if (layout.count != count || layout.at.size() != only.size() || layout.only != only)
        return false;
    for (size_t k = 0; k < layout.at.size(); ++k) {
        if (get32(directory + layout.at[k] * 8) != layout.ids[k]) return false;
    }
    return true;
}

}  // namespace

bool decodeInto(const uint8_t* data, size_t size, const std::vector<uint32_t>& only, Record& out,
                Layout* layout) {
    if (size < 4) return false;
    const size_t count = get32(data);
    if (count > (size - 4) / 8) return false;
    const uint8_t* directory = data + 4;
    const uint8_t* values = directory + count * 8;
    const size_t valuesSize = size - 4 - count * 8;
    const size_t wantCount = only.size();
    size_t used = 0;
    const auto take = [&](size_t e) {
        if (used == out.size()) out.emplace_back();
        return decodeEntry(directory, e, values, valuesSize, out[used++]);
    };

    // Properties are unique in a record, so a record of the last one's layout has each wanted
    // property at the same place: only those entries are read.
    if (layout && wantCount > 0 && sameLayout(*layout, directory, count, only)) {
        for (uint32_t e : layout->at) {
            if (!take(e)) return false;
        }
        out.resize(used);
        return true;
    }

    // The directory lets a reader that wants a few properties skip the rest unread; a mask of
    // the wanted property numbers passes most entries over with one test.
    uint64_t wantedNumbers = 0;
    for (uint32_t w : only) wantedNumbers |= uint64_t(1) << (propNumber(w) % 64);
    if (layout) {
        layout->only = only;
        layout->count = count;
        layout->at.clear();
        layout->ids.clear();
    }
    for (size_t e = 0; e < count; ++e) {
        const uint32_t id = get32(directory + e * 8);
        bool wanted = wantCount == 0;
        if (!wanted && (wantedNumbers >> (propNumber(id) % 64) & 1) == 0) continue;
        for (size_t w = 0; w < wantCount && !wanted; ++w) wanted = only[w] == id;
        if (!wanted) continue;
        if (!take(e)) return false;
        if (layout) {
            layout->at.push_back(uint32_t(e));
            layout->ids.push_back(id);
        }
        // Once every wanted one is found, stop.
        if (used == wantCount) break;
    }
    out.resize(used);
    return true;
}

}  // namespace cedb::codec
