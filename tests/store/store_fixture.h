// A store with both databases created and the main one open, on a fresh device root, and
// direct access to what is stored, for checking the store against the bytes it wrote.
#pragma once

#include <string_view>
#include <vector>

#include "cedb/cedb.h"
#include "device_root.h"
#include "store/record_store.h"

class StoreTest : public testsupport::DeviceTest {
protected:
    void SetUp() override;

    // Every record of "Quorin Database" with all its properties, in stored order.
    static std::vector<cedb::Record> storedRecords();
    // The value held by the counter record; 0 when there is none.
    static int32_t storedCounter();
    // Writes properties straight into the record with that identifier.
    static void writeStored(int32_t id, const cedb::Record& props);
    // The stored property of the record with that identifier (a default PropVal when missing).
    static cedb::PropVal storedProperty(int32_t id, uint32_t propId);
    // The identifiers of all records in stored order.
    static std::vector<int32_t> storedIds();

    CRecordStore store;
};

RecordImage personImage(std::u16string_view name);
RecordImage eventImage(uint32_t kind, std::u16string_view content);
