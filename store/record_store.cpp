#include "store/record_store.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "store/categories.h"
#include "strings/string_table.h"

using cedb::PropVal;

namespace {

// The largest counter whose identifier (counter * 10 + 1) still fits a signed 32-bit value.
constexpr int64_t kMaxCounter = (INT32_MAX - 1) / 10;

PropVal i4(uint32_t propId, int32_t value) {
    return PropVal::i4(cedb::propNumber(propId), value);
}

// Persons are found by identifier, appointments and anniversaries by key.
bool lookupOf(const RecordImage& image, uint32_t* propId, int32_t* value) {
    switch (image.kind) {
        case PersonKind:
            *propId = PropId;
            *value = image.id;
            return true;
        case AppointmentKind:
        case AnniversaryKind:
            *propId = PropKey;
            *value = image.key;
            return true;
        default:
            return false;
    }
}

// Visits the records of `kind` on a cursor of the caller's. A record without a kind is not
// of any kind. True when the walk reached the end or the visitor stopped it.
bool walk(cedb::Database& db, uint32_t kind, std::initializer_list<uint32_t> properties,
          const CRecordStore::CheckedVisitor& visit, WalkReport* report) {
    std::vector<uint32_t> wanted{PropKind};
    wanted.insert(wanted.end(), properties.begin(), properties.end());
    if (!db.seekFirst()) return db.endOfData();
    // One record and one image serve the whole walk: only the wanted fields ever change, and
    // each is overwritten by the next record or cleared when that record lacks it.
    cedb::Record rec;
    RecordImage image{};
    for (;;) {
        if (!db.readCurrent(rec, wanted)) {
            // A damaged record is passed over: stopping here would hide every record after it,
            // out of reach even of a delete.
            if (cedb::lastError() != cedb::Error::Corrupt) return false;
            if (report) ++report->damaged;
            if (!db.seekNext()) return db.endOfData();
            continue;
        }
        const PropVal* k = cedb::findProp(rec, PropKind);
        if (k && (kind == AnyKind || uint16_t(k->number) == kind)) {
            uint32_t missing = 0;
            // Properties are unique in a record: with as many read as wanted, none is missing.
            for (size_t i = 0; rec.size() < wanted.size() && i < wanted.size(); ++i) {
                if (!cedb::findProp(rec, wanted[i])) {
                    PropVal empty;
                    empty.propId = wanted[i];
                    reloadProperty(image, empty);
                    // wanted[0] is the kind, which a visited record has.
                    if (i >= 1 && i <= 32) missing |= 1u << (i - 1);
                }
            }
            for (const PropVal& p : rec) reloadProperty(image, p);
            if (!visit(image, missing)) return true;
        }
        if (!db.seekNext()) return db.endOfData();
    }
}

}  // namespace

CRecordStore::CRecordStore() : volume_(cedb::objectStore()), profile_(programProfile()) {}

CRecordStore::~CRecordStore() = default;

CRecordStore::Batch::Batch(CRecordStore& store) : batch_(store.volume_) {}

// ---- Databases ----------------------------------------------------------------------------------

bool CRecordStore::CreateDatabases() {
    const std::u16string mainName = res::loadString(res::IDS_MAIN_DATABASE);
    const std::u16string countName = res::loadString(res::IDS_COUNT_DATABASE);

    if (!cedb::findDatabase(volume_, mainName)) {
        const cedb::Oid oid = cedb::createDatabase(volume_, mainName, MainDatabaseType,
                                                   {{PropId, false}, {PropKey, false}});
        if (!oid) return false;
        cedb::Database db;
        if (!db.open(volume_, oid)) return false;
    }

    if (!cedb::findDatabase(volume_, countName)) {
        // A counter made afresh next to existing records starts above every identifier they
        // hold; starting at 1 would hand out 11, 21, ... a second time.
        int32_t highest = 0;
        if (cedb::Database db; db.open(volume_, mainName)) {
            const bool walked = walk(db, AnyKind, {PropId, PropKey}, [&](const RecordImage& r, uint32_t) {
                highest = std::max({highest, r.id, r.key});
                return true;
            }, nullptr);
            if (!walked) return false;
        }
        const int32_t first = highest / 10 + 1;

        const cedb::Oid oid =
            cedb::createDatabase(volume_, countName, CountDatabaseType, {{PropCounter, false}});
        if (!oid) return false;
        cedb::Database db;
        if (!db.open(volume_, oid) || !db.addRecord({i4(PropCounter, first)})) {
            // Without its counter record no record could ever be added, and a database that
            // exists is never created again: take it away so that the next start retries.
            db.close();
            cedb::deleteDatabase(volume_, oid);
            return false;
        }
        db.close();
        writeDefaultCategories(profile_);
    }
    return true;
}

bool CRecordStore::OpenDatabase(unsigned stringId, int which) {
    cedb::Database* handle = which == MainHandle      ? &main_
                             : which == CounterHandle ? &counter_
                                                      : nullptr;
    if (!handle) return false;
    handle->close();
    const std::u16string name = res::loadString(stringId);
    return !name.empty() && handle->open(volume_, name);
}

void CRecordStore::CloseDatabase(int which) {
    if (which == MainHandle) main_.close();
    if (which == CounterHandle) counter_.close();
}

bool CRecordStore::ExistsDatabase(unsigned stringId) const {
    const std::u16string name = res::loadString(stringId);
    return !name.empty() && cedb::findDatabase(volume_, name) != 0;
}

// ---- Records ------------------------------------------------------------------------------------

bool CRecordStore::seekById(uint32_t propId, int32_t value) {
    return main_.seekFirstEqual(i4(propId, value));
}

bool CRecordStore::nextCounter(int32_t* id) {
    if (!OpenDatabase(res::IDS_COUNT_DATABASE, CounterHandle)) return false;
    bool ok = false;
    // Another process (a second start of the program, the sync provider) may take the same
    // value between our read and our write: the write is conditional and a lost race reads again.
    for (int attempt = 0; attempt < 100 && !ok; ++attempt) {
        if (!counter_.seekFirst()) break;
        const std::optional<cedb::Record> rec = counter_.readCurrent({PropCounter});
        if (!rec) break;
        const PropVal* c = cedb::findProp(*rec, PropCounter);
        // The counter goes forward before the record is written, and a counter that cannot go
        // forward gives no identifier: otherwise the next add would hand it out again.
        if (!c || c->number < 1 || c->number > kMaxCounter) break;
        if (counter_.updateCurrentIf(*c, {i4(PropCounter, int32_t(c->number + 1))})) {
            *id = int32_t(c->number * 10 + 1);
            ok = true;
        } else if (cedb::lastError() != cedb::Error::Changed) {
            break;
        }
    }
    CloseDatabase(CounterHandle);
    return ok;
}

bool CRecordStore::AddRecord(RecordImage& image) {
    // Checked first so that bad calls do not use up identifiers. A record of another kind
    // would be found by no lookup and no list.
    const bool knownKind =
        image.kind == PersonKind || image.kind == AppointmentKind || image.kind == AnniversaryKind;
    if (!knownKind || !main_.isOpen()) return false;
    int32_t id = 0;
    // An identifier some record already holds is passed over: a counter recreated beside a
    // record it could not read may hand one out again.
    do {
        if (!nextCounter(&id)) return false;
    } while (seekById(PropId, id) || seekById(PropKey, id));
    image.id = id;
    image.changeFlags = ChangeFlagsOnCreate;

    RecordImage stored = image;
    stored.key = id;
    cedb::Record props;
    props.reserve(std::size(RecordProperties));
    for (uint32_t propId : RecordProperties) props.push_back(*propertyOf(stored, propId));
    return main_.addRecord(props) != 0;
}

bool CRecordStore::AddPerson(RecordImage image) {
    image.kind = PersonKind;
    return AddRecord(image);
}

bool CRecordStore::AddAppointment(RecordImage image) {
    image.kind = AppointmentKind;
    return AddRecord(image);
}

bool CRecordStore::ReadRecord(RecordImage& image) {
    static constexpr uint32_t kReadOrder[] = {
        PropName,      PropMobile,    PropEmail,          PropCompany,
        PropTitle,     PropAddress,   PropWorkPhone,      PropHomePhone,
        PropFax,       PropGroups,    PropReserved1,      PropReserved2,
        PropReserved3, PropReserved4, PropParticipantIds, PropParticipantNames,
        PropStart,     PropEnd,       PropPlace,          PropContent,
        PropHasSketch, PropSketchName};
    uint32_t lookup = 0;
    int32_t value = 0;
    if (!lookupOf(image, &lookup, &value) || !seekById(lookup, value)) return false;
    const std::optional<cedb::Record> rec = main_.readCurrent();
    if (!rec) return false;
    for (uint32_t propId : kReadOrder) {
        const PropVal* p = cedb::findProp(*rec, propId);
        if (!p) return false;
        loadProperty(image, *p);
    }
    return true;
}

bool CRecordStore::UpdatePerson(const RecordImage& image) {
    static constexpr uint32_t kTexts[] = {PropName,   PropCompany,   PropTitle,     PropAddress,
                                          PropMobile, PropWorkPhone, PropHomePhone, PropFax,
                                          PropEmail,  PropGroups};
    if (!seekById(PropId, image.id)) return false;
    const std::optional<cedb::Record> rec = main_.readCurrent();
    if (!rec) return false;
    const PropVal* flags = cedb::findProp(*rec, PropChangeFlags);
    if (!flags) return false;
    for (uint32_t propId : kTexts)
        if (!cedb::findProp(*rec, propId)) return false;

    cedb::Record props;
    props.push_back(*flags);
    for (uint32_t propId : kTexts) props.push_back(*propertyOf(image, propId));
    return writeMarkedChanged(*flags, props);
}

bool CRecordStore::writeMarkedChanged(PropVal flags, cedb::Record& props) {
    // The sync provider clears its bits in the same property from its own process: the write is
    // conditional on the flags read, and a lost race marks the flags read again, so neither
    // side's bits are lost.
    const cedb::Oid oid = main_.currentOid();
    for (int attempt = 0; attempt < 100; ++attempt) {
        props.front() = PropVal::ui2(cedb::propNumber(PropChangeFlags),
                                     uint16_t(updatedChangeFlags(uint16_t(flags.number))));
        if (main_.updateCurrentIf(flags, props)) return true;
        if (cedb::lastError() != cedb::Error::Changed) return false;
        if (!main_.seekToOid(oid)) return false;
        const std::optional<cedb::Record> again = main_.readCurrent({PropChangeFlags});
        const PropVal* now = again ? cedb::findProp(*again, PropChangeFlags) : nullptr;
        if (!now) return false;
        flags = *now;
    }
    return false;
}

int CRecordStore::UpdateEvent(const RecordImage& image) {
    // Fetched in this order; the first one missing gives its code (3, 4, ... 11).
    static constexpr uint32_t kFields[] = {
        PropChangeFlags, PropParticipantIds, PropParticipantNames, PropStart,     PropEnd,
        PropPlace,       PropContent,        PropHasSketch,        PropSketchName};
    if (!seekById(PropId, image.id)) return UpdateEventNotFound;
    const std::optional<cedb::Record> rec = main_.readCurrent();
    if (!rec) return UpdateEventReadFailed;
    int missing = UpdateEventNoChangeFlags;
    for (uint32_t propId : kFields) {
        if (!cedb::findProp(*rec, propId)) return missing;
        ++missing;
    }

    const PropVal* flags = cedb::findProp(*rec, PropChangeFlags);
    cedb::Record props;
    props.push_back(*flags);
    for (const uint32_t* p = std::begin(kFields) + 1; p != std::end(kFields); ++p)
        props.push_back(*propertyOf(image, *p));
    // A write that did not happen is not reported as done.
    return writeMarkedChanged(*flags, props) ? UpdateEventDone : UpdateEventWriteFailed;
}

bool CRecordStore::DeleteRecord(const RecordImage& image) {
    uint32_t lookup = 0;
    int32_t value = 0;
    if (!lookupOf(image, &lookup, &value) || !seekById(lookup, value)) return false;
    const cedb::Oid oid = main_.currentOid();
    return oid != 0 && main_.deleteRecord(oid);
}

bool CRecordStore::walkRecords(uint32_t kind, std::initializer_list<uint32_t> properties,
                               const Visitor& visit, WalkReport* report) {
    if (!main_.isOpen()) return false;
    // A cursor of its own, so that the visitor may read, change or delete records through the
    // main handle without losing the walk's place.
    cedb::Database walker;
    if (!walker.open(volume_, main_.oid())) return false;
    return walk(
        walker, kind, properties, [&visit](const RecordImage& r, uint32_t) { return visit(r); },
        report);
}

bool CRecordStore::walkRecordsChecked(uint32_t kind, std::initializer_list<uint32_t> properties,
                                      const CheckedVisitor& visit, WalkReport* report) {
    if (!main_.isOpen()) return false;
    cedb::Database walker;
    if (!walker.open(volume_, main_.oid())) return false;
    return walk(walker, kind, properties, visit, report);
}
