// What the details popup shows of a record: its labels and values, the lines the appointment's
// names and content take, where each row lies and how far the text reaches. Plain functions,
// so that the layout is checked without a window.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include "store/record_image.h"

class CRecordStore;

namespace sketch {

// The record kinds the text area shows (the outer window's kinds are 100, 200, 300).
enum class DetailKind : int { Person = 1, Appointment = 2, Anniversary = 3 };

struct DetailText {
    DetailKind kind = DetailKind::Person;
    QStringList labels;
    QStringList values;
    int nameLines = 1;          // appointment: lines of the participant names
    int contentExtraLines = 0;  // appointment: lines of the content beyond the first
    bool hasSketch = false;     // appointment: the record says it has a sketch
    QString sketchName;         // appointment: its file name in the sketch folder
};

// The longest content text shown, breaks included.
inline constexpr int kMaxContentShown = 299;

// The labels of a kind, in display order.
QStringList DetailLabels(DetailKind kind);
// Labels and values of `record` as `kind`.
DetailText DetailsOf(DetailKind kind, const RecordImage& record);

// The participant names ("a;b;c;"), two to a line, and how many lines they take.
QString NamesShown(const QString& names, int* lines);
// The content with its breaks kept (CR LF, a lone LF or a lone CR each count one extra line)
// and a break after every 9 characters without one; at most kMaxContentShown characters.
QString ContentShown(const QString& content, int* extraLines);

// Where row `row` (0-based) lies in the text area of width `clientWidth`: the label's part
// (`label`) or the value's, for a character height `h`.
QRect DetailRowRect(const DetailText& text, int row, bool label, int clientWidth, int h);
// The scroll extent of the text: the longest value and widest label at 3/4 of the widest
// character, and the rows' height (or the client height + 10 for persons and anniversaries).
QSize DetailTextExtent(const DetailText& text, int maxCharWidth, int h, int clientHeight);

// Reads the record shown for `kind` and `id` (a person's identifier, an event's key): false
// when no record of that kind has it or it cannot be read.
bool ReadShownRecord(CRecordStore& store, DetailKind kind, int id, RecordImage& record);

}  // namespace sketch
