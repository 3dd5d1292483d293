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

    // Read where a well-formed record had the wanted properties, a record with each property
    // once must read as it does on its own.
    const std::vector<uint32_t> wanted = {PropKind, PropStart, PropPlace};
    cedb::Record some;
    (void)cedb::codec::decodeInto(data, size, wanted, some);
    bool unique = true;
    for (size_t i = 0; i < record->size() && unique; ++i) {
        for (size_t j = 0; j < i && unique; ++j)
            unique = (*record)[i].propId != (*record)[j].propId;
    }
    if (!unique) return 0;
    cedb::codec::Layout layout;
    RecordImage sample{};
    sample.kind = 1;
    sample.start = {1, 2};
    setText(sample.place, u"강남");
    cedb::Record primer;
    for (uint32_t id : {PropName, PropKind, PropStart, PropPlace})
        primer.push_back(*propertyOf(sample, id));
    const std::vector<uint8_t> primed = cedb::codec::encode(primer);
    cedb::Record viaLayout;
    (void)cedb::codec::decodeInto(primed.data(), primed.size(), wanted, viaLayout, &layout);
    const bool read = cedb::codec::decodeInto(data, size, wanted, viaLayout, &layout);
    const bool readAlone = cedb::codec::decodeInto(data, size, wanted, some);
    if (read != readAlone || (read && !(viaLayout == some))) std::abort();
    return 0;
}
