// An incoming exchange packet, as both providers take it in: refused unless of a known kind
// with every text terminated; otherwise stored in the backup record and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "desksync/backup_file.h"
#include "handsync/handrepl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RecordImage r{};
    std::memcpy(&r, data, std::min(size, sizeof r));
    const bool taken = handsync::isValidPacket(reinterpret_cast<const uint8_t*>(&r), sizeof r);
    if (taken != isValidImage(r)) __builtin_trap();
    if (!taken) return 0;
    uint8_t rec[desksync::kRecordSize];
    desksync::packetToRecord(r, {}, rec);
    const RecordImage back = desksync::recordToPacket(rec);
    if (!isValidImage(back)) __builtin_trap();
    return 0;
}
