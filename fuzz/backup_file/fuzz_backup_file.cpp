// The backup file as the desktop store opens it: the header and lists from the input's start,
// the records from the rest; a file that passes the checks is read, searched and changed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "desksync/backup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace desksync;
    static std::vector<uint8_t> file(kFileSize);
    // Only what the last input can have touched is cleared: the header and its records.
    static size_t dirty = kFileSize;
    std::fill(file.begin(), file.begin() + dirty, 0);
    dirty = std::min(kFileSize, kOffRecords + (size > 24 ? size - 24 : 0) + kRecordSize);
    const size_t head = std::min<size_t>(size, 20);
    std::memcpy(file.data(), data, head);
    if (size > 20) std::memcpy(file.data() + kOffRecordCount, data + 20, std::min<size_t>(size - 20, 4));
    if (size > 24) {
        const size_t rest = std::min(size - 24, kSlots * kRecordSize);
        std::memcpy(file.data() + kOffRecords, data + 24, rest);
    }
    BackupFile f(file.data());
    if (!f.validHeader() || !f.validAll()) return 0;
    for (uint32_t i = 0; i < f.recordCount(); ++i) {
        const RecordImage r = recordToPacket(f.record(i));
        uint8_t rec[kRecordSize];
        packetToRecord(r, {}, rec);
        (void)sameRecord(rec, f.record(i), true);
        (void)recordHash(f.record(i));
        (void)f.find(f.itemId(i));
    }
    if (f.recordCount() > 0) f.remove(0);
    uint8_t blank[kRecordSize] = {};
    f.append(blank);
    // A sound file stays sound through a removal and an addition.
    if (!f.validAll()) __builtin_trap();
    return 0;
}
