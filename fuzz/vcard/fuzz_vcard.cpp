// A contact file as the contact store meets it: every card read into contact fields, and each
// contact mapped into the person record and anniversaries the import would write. Every text
// must fit its field, and every date the import keeps must be a real calendar day.
#include <cstdlib>
#include <string_view>

#include "clock/clock.h"
#include "import/contact_mapping.h"
#include "pim/vcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const pim::VCardFile file =
        pim::readVCards(std::string_view(reinterpret_cast<const char*>(data), size));
    if (file.unreadable < 0) std::abort();
    for (const pim::ContactFields& c : file.contacts) {
        RecordImage person = contactimport::personOf(c, {});
        if (text(person.name).empty()) std::abort();
        person.id = 11;
        for (pim::DATE d : {c.birthday, c.anniversary}) {
            if (d <= 0) continue;
            const RecordImage a = contactimport::anniversaryOf(person, d, u"생일", {});
            if (!clk::fromFileTime(a.start) || a.start == cedb::FileTime{}) std::abort();
        }
    }
    return 0;
}
