// The rows of the meeting history and of the day's agenda, computed from the store without
// any widget. The screens show them and the inspection tool prints them, so both always agree.
#pragma once

#include <QString>
#include <string_view>
#include <vector>

#include "clock/clock.h"
#include "store/repeat_rule.h"

class CRecordStore;
struct WalkReport;

namespace appointments {

// One row of the appointment lists: first column, second column, identifier text (an
// appointment's identifier, or an anniversary's identifier negated).
struct ItemRow {
    QString first, second, id;
    friend bool operator==(const ItemRow&, const ItemRow&) = default;
};
using ItemRows = std::vector<ItemRow>;

// "0%d" below 10, "%d" otherwise.
QString twoDigits(int n);
// "%d/%s/%s": 2002/06/09.
QString dateText(int year, int month, int day);

// ---- Meeting history ----

enum HistoryMode { HistoryAppointments = 0, HistoryAnniversaries = 1 };

struct History {
    ItemRows rows;                  // of the mode asked for, sorted by their first column
    bool hasAnniversaries = false;  // the person owns an anniversary (the 기념일 button)
};
// The history of the people list's row `personId`: a person's appointments (mode 0) or
// anniversaries (mode 1); for the "No-Name.." row (-2) the appointments without participants
// in mode 0 and nothing in mode 1; nothing for a group row or no row. A record that lacks a
// property read here is skipped and the others are listed; records that cannot be decoded are
// passed over and counted in `report`. One record walk.
History buildHistory(CRecordStore& store, int personId, int mode, WalkReport* report = nullptr);
// The lists' exchange sort by the first column (UTF-16 code units), the rows moving whole.
void sortByFirstColumn(ItemRows& rows);

// ---- The day's agenda ----

// "%d년 %s월 %s일 약속".
QString agendaTitle(const repeat::Date& day);
// The second column of an anniversary row: the name and content, with the days ahead and the
// days elapsed when they are not 0.
QString anniversaryText(const QString& name, const QString& content, int64_t elapsed,
                        int64_t ahead);
// The agenda of `today`, in stored order (the list sorts them): the appointments on that day,
// and the anniversaries announced on it by the repeat rule. A record lacking a property read
// here is skipped; records that cannot be decoded are counted in `report`. One record walk.
ItemRows buildAgenda(CRecordStore& store, const repeat::Date& today, WalkReport* report = nullptr);

}  // namespace appointments
