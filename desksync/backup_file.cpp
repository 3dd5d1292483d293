#include "desksync/backup_file.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <unordered_set>

#include "desk/desk.h"

namespace desksync {

namespace {

struct Field {
    uint32_t prop;
    size_t packetOffset;
    size_t storeOffset;
    size_t storeSize;
    bool text;
};

// clang-format off
constexpr Field kFields[] = {
    {PropKind, 0, 8, 4, false},
    {PropId, 8, 28, 4, false},
    {PropName, 12, 32, 20, true},
    {PropCompany, 52, 52, 20, true},
    {PropTitle, 92, 72, 30, true},
    {PropAddress, 152, 102, 50, true},
    {PropMobile, 252, 152, 20, true},
    {PropWorkPhone, 292, 172, 20, true},
    {PropHomePhone, 332, 192, 20, true},
    {PropFax, 372, 212, 20, true},
    {PropEmail, 412, 232, 30, true},
    {PropGroups, 472, 262, 30, true},
    {PropReserved1, 532, 292, 4, false},
    {PropReserved2, 536, 296, 4, false},
    {PropReserved3, 540, 300, 4, false},
    {PropReserved4, 544, 304, 4, false},
    {PropKey, 548, 308, 4, false},
    {PropParticipantIds, 552, 312, 200, true},
    {PropParticipantNames, 952, 512, 200, true},
    {PropStart, 1352, 712, 8, false},
    {PropEnd, 1360, 720, 8, false},
    {PropPlace, 1368, 728, 30, true},
    {PropContent, 1428, 758, 300, true},
    {PropHasSketch, 2028, 1060, 4, false},
    {PropSketchName, 2032, 1064, 256, true},
    {PropStamp, 2544, 12, 8, false},
};
// clang-format on

// At most this many bytes of the field are written, terminator included.
size_t writtenBytes(const Field& f) { return f.prop == PropSketchName ? 254 : f.storeSize - 1; }

bool terminated(const uint8_t* p, size_t size) { return std::memchr(p, 0, size) != nullptr; }

}  // namespace

void initializeFile(uint8_t* bytes) {
    put32(bytes, kSignature);
    put32(bytes + 4, kSignature);
    put32(bytes + kOffNextId, 1);
}

bool BackupFile::validHeader() const {
    if (get32(b_) != kSignature || get32(b_ + 4) != kSignature) return false;
    if (changedCount() > kListEntries || deletedCount() > kListEntries) return false;
    const uint32_t n = recordCount();
    const uint32_t next = nextId();
    // A counter at its end (or wrapped to 0) could only hand out an identifier again.
    if (n > kMaxRecords || next == 0 || next == kExhaustedId) return false;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t id = itemId(i);
        if (id == 0 || id >= next) return false;
    }
    return true;
}

bool BackupFile::validRecord(uint32_t index) const {
    if (index >= recordCount()) return false;
    const uint8_t* rec = record(index);
    const uint32_t id = get32(rec + kRecItemId);
    if (id == 0 || id >= nextId()) return false;
    for (const Field& f : kFields)
        if (f.text && !terminated(rec + f.storeOffset, f.storeSize)) return false;
    return true;
}

bool BackupFile::validAll() const {
    if (!validHeader()) return false;
    std::unordered_set<uint32_t> seen;
    for (uint32_t i = 0; i < recordCount(); ++i)
        if (!validRecord(i) || !seen.insert(itemId(i)).second) return false;
    return true;
}

cedb::FileTime BackupFile::written(uint32_t index) const {
    const uint8_t* p = record(index) + kRecWritten;
    return {get32(p), get32(p + 4)};
}

int BackupFile::find(uint32_t id) const {
    const uint32_t n = std::min(recordCount(), kMaxRecords);
    for (uint32_t i = 0; i < n; ++i)
        if (itemId(i) == id) return int(i);
    return -1;
}

uint32_t BackupFile::append(const uint8_t* rec) {
    const uint32_t n = recordCount();
    const uint32_t id = nextId();
    // The last identifier is never handed out: the counter would then stand at its end.
    if (n >= kMaxRecords || id + 1 >= kExhaustedId) return 0;
    // The identifier is used up first: one taken by a writer that died is never handed out.
    put32(b_ + kOffNextId, id + 1);
    uint8_t* slot = record(n);
    std::memcpy(slot, rec, kRecordSize);
    put32(slot + kRecReserved, 0);
    put32(slot + kRecItemId, id);
    put32(b_ + kOffRecordCount, n + 1);
    return id;
}

namespace {
// Keeps the compiler from moving stores across the steps: a writer killed between two steps
// must leave them in program order.
void step() { std::atomic_signal_fence(std::memory_order_seq_cst); }
}  // namespace

void BackupFile::replace(uint32_t index, const uint8_t* rec) {
    uint8_t* slot = record(index);
    const uint32_t id = get32(slot + kRecItemId);
    put32(slot + kRecItemId, 0);
    step();
    std::memcpy(slot + 8, rec + 8, kRecordSize - 8);
    step();
    put32(slot + kRecItemId, id);
}

void BackupFile::moveSlot(uint32_t to, uint32_t from) {
    uint8_t* dst = record(to);
    const uint8_t* src = record(from);
    put32(dst + kRecItemId, 0);
    step();
    std::memcpy(dst, src, kRecItemId);
    std::memcpy(dst + 8, src + 8, kRecordSize - 8);
    step();
    put32(dst + kRecItemId, get32(src + kRecItemId));
    step();
}

void BackupFile::shiftDown(uint32_t index, uint32_t count) {
    for (uint32_t k = index; k + 1 < count; ++k) moveSlot(k, k + 1);
    step();
    put32(b_ + kOffRecordCount, count - 1);
    step();
    std::memset(record(count - 1), 0, kRecordSize);
}

void BackupFile::remove(uint32_t index) {
    const uint32_t n = recordCount();
    if (index >= n) return;
    put32(record(index) + kRecItemId, 0);
    step();
    shiftDown(index, n);
}

bool BackupFile::recover() {
    if (get32(b_) != kSignature || get32(b_ + 4) != kSignature) return false;
    const uint32_t n = recordCount();
    if (n > kMaxRecords) return false;
    for (uint32_t k = 0; k < n; ++k) {
        if (itemId(k) == 0) {  // caught mid-write: drop it
            shiftDown(k, n);
            break;
        }
        if (k + 1 < n && itemId(k) == itemId(k + 1)) {  // a removal between two slots
            shiftDown(k + 1, n);
            break;
        }
    }
    // Records past the count are not the file's: a slot beyond it may hold an appended record
    // that was never taken in.
    return validAll();
}

void packetToRecord(const RecordImage& packet, const cedb::FileTime& written, uint8_t* rec,
                    bool* cut) {
    std::memset(rec, 0, kRecordSize);
    const auto* p = reinterpret_cast<const uint8_t*>(&packet);
    bool anyCut = false;
    for (const Field& f : kFields) {
        if (f.text) {
            bool c = false;
            const std::string ansi = desk::toAnsi(text(textField(packet, f.prop)), writtenBytes(f), &c);
            std::memcpy(rec + f.storeOffset, ansi.data(), ansi.size());
            anyCut |= c;
        } else {
            std::memcpy(rec + f.storeOffset, p + f.packetOffset, f.storeSize);
        }
    }
    put32(rec + kRecWritten, written.low);
    put32(rec + kRecWritten + 4, written.high);
    if (cut) *cut = anyCut;
}

RecordImage recordToPacket(const uint8_t* rec) {
    RecordImage r{};
    auto* p = reinterpret_cast<uint8_t*>(&r);
    for (const Field& f : kFields) {
        if (f.text) {
            const std::u16string t =
                desk::fromAnsi(reinterpret_cast<const char*>(rec + f.storeOffset), f.storeSize);
            setText(textField(r, f.prop), t);
        } else {
            std::memcpy(p + f.packetOffset, rec + f.storeOffset, f.storeSize);
        }
    }
    r.changeFlags = 0;
    return r;
}

size_t recordHash(const uint8_t* rec) {
    uint64_t h = 1469598103934665603ull;
    for (const Field& f : kFields) {
        if (f.prop == PropStamp) continue;
        const uint8_t* p = rec + f.storeOffset;
        const size_t n =
            f.text ? strnlen(reinterpret_cast<const char*>(p), f.storeSize) : f.storeSize;
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
        h = (h ^ 0x100) * 1099511628211ull;  // where a field ends
    }
    return size_t(h);
}

bool sameRecord(const uint8_t* a, const uint8_t* b, bool ignoreCase) {
    for (const Field& f : kFields) {
        if (f.prop == PropStamp) continue;
        const uint8_t* x = a + f.storeOffset;
        const uint8_t* y = b + f.storeOffset;
        if (!f.text) {
            if (std::memcmp(x, y, f.storeSize) != 0) return false;
            continue;
        }
        const size_t lx = strnlen(reinterpret_cast<const char*>(x), f.storeSize);
        const size_t ly = strnlen(reinterpret_cast<const char*>(y), f.storeSize);
        if (lx != ly) return false;
        for (size_t i = 0; i < lx; ++i) {
            // Double-byte characters compare exactly; ASCII letters ignore case when asked.
            if (ignoreCase && x[i] < 0x80 && y[i] < 0x80) {
                if (std::tolower(x[i]) != std::tolower(y[i])) return false;
            } else if (x[i] != y[i]) {
                return false;
            }
            if (x[i] >= 0x80 && i + 1 < lx) {  // the trail byte of a double-byte character
                ++i;
                if (x[i] != y[i]) return false;
            }
        }
    }
    return true;
}

}  // namespace desksync
