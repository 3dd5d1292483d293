// What the appointment lists compute, free of widgets: their rows, the order of the scrolling
// list, line breaking, the geometry of each row (text boxes, separator, hit rectangle) in the
// scrolling and the paged list, hit testing, and the tap-and-hold timing of a press.
#pragma once

#include <QLine>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace listctl {

// One row: first column, second column and identifier text (decimal; negative for an
// anniversary).
struct ListRow {
    QString first;
    QString second;
    QString idText;
    friend bool operator==(const ListRow&, const ListRow&) = default;
};

inline constexpr char16_t kAnniversaryFirst[] = u"기념일";

// Anniversary rows first, then the others in ascending order of their first column (UTF-16
// code units: "<NONE>" sorts after every time); rows that compare equal stay in store order.
void sortRows(std::vector<ListRow>& rows);

// The scrolling list's second text broken into lines of at most 13 characters, each line of
// the text (a line feed, or a carriage return and line feed, ends one) broken on its own.
// At least one line.
QStringList breakLines(const QString& text);
inline constexpr int kCharsPerLine = 13;
inline constexpr int kLineHeight = 14;

// Geometry of one row of the scrolling list, in surface coordinates.
struct ScrollRowGeometry {
    QRect hit;     // (9, y - 1)-(191, y + 16 + 14K + 2)
    QRect first;   // (15, y)-(55, y + 14)
    QRect second;  // (15, y + 16)-(195, y + 16 + 14K)
    QLine separator;
    int lines = 1;
};
struct ScrollLayout {
    std::vector<ScrollRowGeometry> rows;
    std::vector<QStringList> text;  // each row's second text, broken
    int height = 0;                 // the scroll range: all rows, at least the client height + 10
};
// Up to this many rows can be tapped; the rows after them are drawn but take no taps.
inline constexpr int kMaxHitRows = 20;
ScrollLayout layoutScrollingRows(const std::vector<ListRow>& rows, int clientHeight);
// The row whose hit rectangle holds `surfacePoint` (first in order; only the first 20
// rows); -1 for none.
int hitScrollingRow(const ScrollLayout& layout, const QPoint& surfacePoint);
// The rows that reach into the surface band [top, top + height).
std::pair<int, int> visibleRows(const ScrollLayout& layout, int top, int height);

// The paged list: three rows a page.
inline constexpr int kRowsPerPage = 3;
struct PagedRowGeometry {
    int row = 0;    // index into the list's rows
    QRect hit;      // (4, y)-(136, y + 45)
    QRect first;    // (5, y)-(125, y + 14)
    QRect second;   // (5, y + 16)-(135, y + 44)
    QString shown;  // the second text as drawn: at most 28 characters, a line feed after the 14th
};
struct PagedLayout {
    std::vector<PagedRowGeometry> rows;  // only the rows of the page: a short page has fewer
    std::vector<QLine> separators;       // between the rows drawn
};
// Pages needed for `count` rows (at least 1).
int pageCount(int count);
// The width of a text in pixels in the font the list draws with (the list measures it).
using TextWidth = std::function<int(QStringView)>;
PagedLayout layoutPage(const std::vector<ListRow>& rows, int page, const TextWidth& width);
int hitPagedRow(const PagedLayout& layout, const QPoint& point);
// The drawn form of a paged row's second text: two lines at most, each of at most 14
// characters and no wider than the 130-pixel text box as `width` measures it, so no character
// is cut off at its edge; a line break of the text ends a line; what does not fit is left out.
QString pagedText(const QString& text, const TextWidth& width);
inline constexpr int kPagedTextWidth = 130;
inline constexpr int kPagedCharsPerLine = 14;

// Tap and tap-and-hold of one press, on a clock of 100 ms ticks: the menu opens on the fourth
// tick of a press that stayed still; any move cancels the hold, and the release is a tap.
class PressTracker {
public:
    static constexpr int kTickMs = 100;
    static constexpr int kHoldTicks = 3;  // ticks counted before the one that opens the menu

    // A press. `onRow`: it hit a row; `menuSwitch`: the list takes taps and menus.
    void press(bool onRow, bool menuSwitch);
    // One timer tick; true when this tick opens the menu.
    bool tick();
    // The stylus moved while down.
    void move() { timing_ = false; }
    // The release: true when it is a tap (the press hit a row, took taps, and was not held).
    bool release();

    bool timing() const { return timing_; }
    bool held() const { return held_; }

private:
    bool armed_ = false;
    bool timing_ = false;
    bool held_ = false;
    int ticks_ = 0;
};

}  // namespace listctl
