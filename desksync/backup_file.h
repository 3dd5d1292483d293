// The backup file: 6,640,024 bytes, little-endian, mapped whole. A header with two signatures,
// the next item identifier and the changed and deleted lists that other desktop programs write,
// then up to 4999 records of 1320 bytes packed from the first slot in insertion order.
//
// Everything here works on the mapped bytes and trusts nothing in them: a caller validates the
// header (and the records it touches) before relying on any count or offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "store/record_image.h"

namespace desksync {

inline constexpr size_t kFileSize = 6640024;
inline constexpr uint32_t kSignature = 0x324FE324;
inline constexpr size_t kListEntries = 5000;
inline constexpr size_t kRecordSize = 1320;
inline constexpr size_t kSlots = 5000;
inline constexpr uint32_t kMaxRecords = 4999;  // the last slot is never filled
inline constexpr uint32_t kExhaustedId = 0xFFFFFFFF;  // a next identifier no file may hold

inline constexpr size_t kOffNextId = 8;
inline constexpr size_t kOffChangedCount = 12;
inline constexpr size_t kOffDeletedCount = 16;
inline constexpr size_t kOffChangedList = 20;
inline constexpr size_t kOffDeletedList = 20020;
inline constexpr size_t kOffRecordCount = 40020;
inline constexpr size_t kOffRecords = 40024;
static_assert(kOffRecords + kSlots * kRecordSize == kFileSize);

// Offsets in a record of its own fields.
inline constexpr size_t kRecReserved = 0;
inline constexpr size_t kRecItemId = 4;
inline constexpr size_t kRecWritten = 20;

inline uint32_t get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Fills a zeroed buffer of kFileSize as a new backup file.
void initializeFile(uint8_t* bytes);

// A view of the mapped file.
class BackupFile {
public:
    explicit BackupFile(uint8_t* bytes) : b_(bytes) {}

    // Signatures, list counts within their lists, record count within 4999, a next identifier
    // neither 0 nor 0xFFFFFFFF, and every record's item identifier non-zero and below it.
    bool validHeader() const;
    // The whole file: the header, every record valid, and no item identifier twice.
    bool validAll() const;
    // A record's texts terminated within their fields and its item identifier in range.
    bool validRecord(uint32_t index) const;

    uint32_t nextId() const { return get32(b_ + kOffNextId); }
    uint32_t recordCount() const { return get32(b_ + kOffRecordCount); }
    uint32_t changedCount() const { return get32(b_ + kOffChangedCount); }
    uint32_t deletedCount() const { return get32(b_ + kOffDeletedCount); }
    uint32_t changed(uint32_t i) const { return get32(b_ + kOffChangedList + 4 * i); }
    uint32_t deleted(uint32_t i) const { return get32(b_ + kOffDeletedList + 4 * i); }
    void clearLists() {
        put32(b_ + kOffChangedCount, 0);
        put32(b_ + kOffDeletedCount, 0);
    }

    uint8_t* record(uint32_t index) const { return b_ + kOffRecords + size_t(index) * kRecordSize; }
    uint32_t itemId(uint32_t index) const { return get32(record(index) + kRecItemId); }
    cedb::FileTime written(uint32_t index) const;
    // The slot of the record with that item identifier, or -1.
    int find(uint32_t itemId) const;

    // Appends a record (its bytes from `rec`, 1320) under the next identifier; the identifier,
    // or 0 when the file is full or its identifiers are used up. The record is complete before the count takes it in, so a
    // writer that dies half-way leaves no half-written record counted.
    uint32_t append(const uint8_t* rec);
    // Replaces the record in `index`, keeping its reserved word and item identifier.
    void replace(uint32_t index, const uint8_t* rec);
    // Removes the record, moving the later ones down.
    void remove(uint32_t index);
    // Finishes or undoes what a writer that died under the mutex left half done, then checks
    // the whole file. A slot is rewritten with its item identifier cleared first and set last,
    // so a slot caught mid-write shows identifier 0 (and is dropped: a replacement caught
    // half-way is lost from the file, never kept half-written), and a removal caught between
    // two slots shows one record twice in a row (and is carried on). False when the file is
    // still not sound.
    bool recover();

private:
    // Copies slot `from` over slot `to` in the order recover() relies on.
    void moveSlot(uint32_t to, uint32_t from);
    // Removes slot `index` of `count` records by moving the later ones down.
    void shiftDown(uint32_t index, uint32_t count);
    uint8_t* b_;
};

// The backup record of a packet: every field at its place, texts in the code page cut at a
// character boundary. The reserved word and item identifier stay 0; `written` is stored.
// `cut`, when given, tells whether any text was shortened.
void packetToRecord(const RecordImage& packet, const cedb::FileTime& written, uint8_t* rec,
                    bool* cut = nullptr);
// The packet of a backup record (changeFlags 0).
RecordImage recordToPacket(const uint8_t* rec);

// Whether two records are the same for the duplicate test: kind, id, every text, the five
// integers from reserved1 to key, start, end, hasSketch; texts exactly or ignoring case.
bool sameRecord(const uint8_t* a, const uint8_t* b, bool ignoreCase);
// A hash of what sameRecord compares exactly: records the same for it hash alike.
size_t recordHash(const uint8_t* rec);

}  // namespace desksync
