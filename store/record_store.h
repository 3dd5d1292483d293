// The record store of the program: "Quorin Database" with every person, appointment and
// anniversary, "Count Database" with the counter that record identifiers are made from, and
// the category (group) list in the program's registry profile.
//
// No operation shows anything: each reports failure by its result and the screen that asked
// says so. All calls run on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "cedb/cedb.h"
#include "registry/registry.h"
#include "store/record_image.h"

// Which handle OpenDatabase and CloseDatabase work on.
inline constexpr int MainHandle = 0;
inline constexpr int CounterHandle = -1;

// Results of UpdateEvent. Only UpdateEventDone is success.
enum UpdateEventResult : int {
    UpdateEventNotFound = 1,
    UpdateEventReadFailed = 2,
    UpdateEventNoChangeFlags = 3,
    UpdateEventNoParticipantIds = 4,
    UpdateEventNoParticipantNames = 5,
    UpdateEventNoStart = 6,
    UpdateEventNoEnd = 7,
    UpdateEventNoPlace = 8,
    UpdateEventNoContent = 9,
    UpdateEventNoHasSketch = 10,
    UpdateEventNoSketchName = 11,
    UpdateEventDone = 12,
    UpdateEventWriteFailed = 13,
};

// Passed to walkRecords for records of every kind.
inline constexpr uint32_t AnyKind = 0;

// Every property of a record but the kind (which every walk reads): for readers of whole records.
inline constexpr std::initializer_list<uint32_t> EveryRecordProperty = {
    PropChangeFlags, PropStamp,     PropId,     PropName,           PropCompany,
    PropTitle,       PropAddress,   PropMobile, PropWorkPhone,      PropHomePhone,
    PropFax,         PropEmail,     PropGroups, PropReserved1,      PropReserved2,
    PropReserved3,   PropReserved4, PropKey,    PropParticipantIds, PropParticipantNames,
    PropStart,       PropEnd,       PropPlace,  PropContent,        PropHasSketch,
    PropSketchName};

// What a walk passed over.
struct WalkReport {
    int damaged = 0;  // records that could not be decoded
};

class CRecordStore {
public:
    // Works on the object store and the profile of the program. Opens nothing.
    CRecordStore();
    ~CRecordStore();
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // ---- Databases ----

    // Creates whichever of the two databases is missing. A new "Count Database" gets its
    // counter record, and the default categories are written into the profile then and only
    // then. True when both exist afterwards; false as soon as a step fails (a counter database
    // left without its counter is removed again, so that the next start retries).
    bool CreateDatabases();
    // Opens the database named by string `stringId` in the main handle (which = MainHandle) or
    // the counter handle (CounterHandle), closing what that handle held. False when it cannot
    // be opened or `which` is neither.
    bool OpenDatabase(unsigned stringId, int which);
    // Closes the handle; closing a closed handle does nothing.
    void CloseDatabase(int which);
    // True when the database named by string `stringId` exists.
    bool ExistsDatabase(unsigned stringId) const;

    // ---- Records (on the main handle, which must be open) ----

    // Adds a record of the image's kind with a new identifier (11, 21, 31, ...): on success
    // the image's `id` holds it and `changeFlags` is 3; the stored key equals the identifier
    // and the stamp is the image's, set by the caller. The counter is advanced before the
    // record is written, so a failed write leaves a gap in the identifiers, never a duplicate.
    // False, with nothing written and no identifier used, when the kind is none of the three
    // or the main database is not open; false with nothing written when the counter cannot be
    // read or advanced.
    bool AddRecord(RecordImage& image);
    bool AddPerson(RecordImage image);
    bool AddAppointment(RecordImage image);
    // Finds the record by `id` (PersonKind) or by `key` (AppointmentKind, AnniversaryKind) and
    // copies its properties into the image. `kind`, `changeFlags`, `id`, `key` and `stamp` are
    // left as the caller set them. False when nothing is found (the image unchanged) or when
    // the record lacks a property (the fields before it are already copied).
    bool ReadRecord(RecordImage& image);
    // Writes the ten person texts of the image into the record found by `id` and marks it
    // changed. False when not found, a property is missing or the write fails.
    bool UpdatePerson(const RecordImage& image);
    // Writes the event fields of the image (participants, times, place, content, sketch) into
    // the record found by `id` (not by key) and marks it changed. Returns UpdateEventDone on
    // success, otherwise the code of the step that failed (UpdateEventResult).
    int UpdateEvent(const RecordImage& image);
    // Deletes the one record found by `id` (PersonKind) or `key` (the others). Records that
    // refer to it stay. False when nothing is found or the delete fails.
    bool DeleteRecord(const RecordImage& image);

    // Visits every record of `kind` (AnyKind: every kind) in sort order, with `kind` and the
    // listed properties filled in and everything else zero; a missing property stays zero.
    // The visitor returns false to stop early and may call any other operation of the store.
    // A record that cannot be decoded is passed over and counted in `report` (when given), so
    // one damaged record never hides the records after it. False when the main database is not
    // open or a seek or read fails part way for another reason.
    using Visitor = std::function<bool(const RecordImage&)>;
    bool walkRecords(uint32_t kind, std::initializer_list<uint32_t> properties,
                     const Visitor& visit, WalkReport* report = nullptr);
    // The same walk, telling the visitor which listed properties the record lacks (`missing`:
    // bit i for the i-th listed property, at most 32 listed), for readers that must skip a
    // record lacking one instead of reading zero.
    using CheckedVisitor = std::function<bool(const RecordImage&, uint32_t missing)>;
    bool walkRecordsChecked(uint32_t kind, std::initializer_list<uint32_t> properties,
                            const CheckedVisitor& visit, WalkReport* report = nullptr);

    // ---- Batches ----

    // A scope in which the store's adds, updates and deletes (and those of every other handle
    // of this process on the object store) are one durable transaction: each record still gets
    // its own identifier and change flags, and an add that fails leaves the others standing,
    // but other processes see the records only once commit() returns, and a crash before then
    // leaves none of them. One commit costs one flush to disk instead of one per record.
    // It holds the store's write lock: commit before asking the user anything.
    class Batch {
    public:
        explicit Batch(CRecordStore& store);
        // False when the batch could not begin (the store is busy or cannot be opened); the
        // writes then go to the store one by one as usual.
        bool begun() const { return batch_.active(); }
        // True when every write of the batch is stored; false when none is. Ends the batch.
        bool commit() { return batch_.commit(); }
        // Undoes every write of the batch and ends it; also done when the scope ends uncommitted.
        void rollback() { batch_.rollback(); }

    private:
        cedb::Batch batch_;
    };

    // ---- Categories (the profile section "CATEGORY") ----

    // Empties `list` and fills it with the live category names in slot order.
    void RefreshCategories(std::vector<std::u16string>& list) const;
    // Appends a slot holding `name` (no duplicate check). False when the profile write failed.
    bool AddCategory(const std::u16string& name);
    // Marks the first live slot holding exactly `name` as deleted. A name that no live slot
    // holds changes nothing. False only when the profile write failed.
    bool DeleteCategory(const std::u16string& name);

private:
    bool seekById(uint32_t propId, int32_t value);
    bool nextCounter(int32_t* counter);
    // Writes `props` (change flags first) over the current record with its flags marked changed.
    bool writeMarkedChanged(cedb::PropVal flags, cedb::Record& props);

    cedb::VolumeId volume_;
    cedb::Database main_;
    cedb::Database counter_;
    reg::Profile profile_;
};
