#include "record_codec.h"

#include <algorithm>
#include <cstring>

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

void encodeProp(const PropVal& p, std::vector<uint8_t>& out) {
    put32(out, p.propId);
    PropType t = p.type();
    if (isNumeric(t)) {
        put32(out, uint32_t(p.number));
    } else if (t == PropType::FileTime) {
        put32(out, p.fileTime.low);
        put32(out, p.fileTime.high);
    } else if (t == PropType::String) {
        put32(out, uint32_t(p.text.size()));
        for (char16_t c : p.text) {
            out.push_back(uint8_t(c));
            out.push_back(uint8_t(c >> 8));
        }
    } else if (t == PropType::Blob) {
        put32(out, uint32_t(p.blob.size()));
        out.insert(out.end(), p.blob.begin(), p.blob.end());
    }
}

std::vector<uint8_t> encode(const Record& record) {
    std::vector<uint8_t> out;
    out.reserve(record.size() * 16);
    for (const PropVal& p : record) encodeProp(p, out);
    return out;
}

std::optional<Record> decode(const uint8_t* data, size_t size, const std::vector<uint32_t>& only) {
    Record rec;
    rec.reserve(only.empty() ? 32 : only.size());
    if (!decodeInto(data, size, only, rec)) return std::nullopt;
    return rec;
}

bool decodeInto(const uint8_t* data, size_t size, const std::vector<uint32_t>& only, Record& out) {
    size_t used = 0;
    size_t i = 0;
    while (i < size) {
        if (size - i < 4) return false;
        uint32_t id = get32(data + i);
        i += 4;
        PropType t = propType(id);
        size_t len;
        if (isNumeric(t)) {
            len = 4;
        } else if (t == PropType::FileTime) {
            len = 8;
        } else if (t == PropType::String || t == PropType::Blob) {
            if (size - i < 4) return false;
            uint64_t n = get32(data + i);
            i += 4;
            len = size_t(t == PropType::String ? n * 2 : n);
        } else {
            return false;
        }
        if (size - i < len) return false;
        bool wanted = only.empty() || std::find(only.begin(), only.end(), id) != only.end();
        if (wanted) {
            if (used == out.size()) out.emplace_back();
            PropVal& p = out[used++];
            p.propId = id;
            p.number = 0;
            p.fileTime = {};
            p.text.clear();  // keeps its storage for the next record
            p.blob.clear();
            const uint8_t* v = data + i;
            if (isNumeric(t)) {
                p.number = widen(t, get32(v));
            } else if (t == PropType::FileTime) {
                p.fileTime = {get32(v), get32(v + 4)};
            } else if (t == PropType::String) {
                p.text.resize(len / 2);
                for (size_t k = 0; k < len / 2; ++k) p.text[k] = char16_t(v[2 * k] | v[2 * k + 1] << 8);
            } else {
                p.blob.assign(v, v + len);
            }
        }
        i += len;
        // Properties are unique in a record: once every wanted one is found, the rest is skipped.
        if (!only.empty() && used == only.size()) break;
    }
    out.resize(used);
    return true;
}

}  // namespace cedb::codec
