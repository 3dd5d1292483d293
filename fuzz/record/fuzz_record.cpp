// A stored record as every reader of "Quorin Database" meets it: the property blob decoded
// (whole and for a few wanted properties) and loaded into the fixed record image. A record
// that decodes must encode back to the same properties.
#include <cstdlib>

#include "cedb/record_codec.h"
#include "store/record_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto record = cedb::codec::decode(data, size);
    if (!record) return 0;

    RecordImage image{};
    for (const cedb::PropVal& p : *record) loadProperty(image, p);
    for (uint32_t id : {PropKind, PropStart, PropPlace}) (void)propertyOf(image, id);

    const std::vector<uint8_t> again = cedb::codec::encode(*record);
    auto round = cedb::codec::decode(again.data(), again.size());
    if (!round || round->size() != record->size()) std::abort();
    for (size_t i = 0; i < round->size(); ++i) {
        const cedb::PropVal &a = (*record)[i], &b = (*round)[i];
        if (a.propId != b.propId || a.number != b.number || a.fileTime != b.fileTime ||
            a.text != b.text || a.blob != b.blob)
            std::abort();
    }

    cedb::Record some;
    (void)cedb::codec::decodeInto(data, size, {PropKind, PropStart, PropPlace}, some);
    return 0;
}
