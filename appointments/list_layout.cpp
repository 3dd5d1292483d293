#include "appointments/list_layout.h"

#include <QStringList>
#include <algorithm>
#include <utility>

namespace listctl {
namespace {

QRect ltrb(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

bool isAnniversary(const ListRow& row) {
    return row.first == QString::fromUtf16(kAnniversaryFirst);
}

}  // namespace

void sortRows(std::vector<ListRow>& rows) {
    // Anniversaries first, then by first column. Rows that compare equal keep their store
    // order, and a long list sorts in n log n rather than by exchanging every pair.
    std::stable_sort(rows.begin(), rows.end(), [](const ListRow& a, const ListRow& b) {
        const bool aa = isAnniversary(a), ba = isAnniversary(b);
        if (aa != ba) return aa;
        return !aa && QString::compare(a.first, b.first) < 0;
    });
}

QStringList breakLines(const QString& text) {
    QStringList lines;
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& paragraph : normalized.split(QLatin1Char('\n'))) {
        // Every line is at most as wide as the column: a longer one would run past the row.
        qsizetype at = 0;
        do {
            qsizetype take = std::min<qsizetype>(kCharsPerLine, paragraph.size() - at);
            // A character outside the basic plane is never split between two lines.
            if (take > 0 && at + take < paragraph.size() &&
                paragraph.at(at + take - 1).isHighSurrogate())
                --take;
            lines.push_back(paragraph.mid(at, take));
            at += take;
        } while (at < paragraph.size());
    }
    return lines;
}

ScrollLayout layoutScrollingRows(const std::vector<ListRow>& rows, int clientHeight) {
    ScrollLayout layout;
    layout.rows.reserve(rows.size());
    layout.text.reserve(rows.size());
    int y = 2;
    for (const ListRow& row : rows) {
        QStringList text = breakLines(row.second);
        const int k = int(text.size());
        const int textBottom = y + 16 + kLineHeight * k;
        ScrollRowGeometry g;
        g.lines = k;
        g.hit = ltrb(9, y - 1, 191, textBottom + 2);
        g.first = ltrb(15, y, 55, y + 14);
        g.second = ltrb(15, y + 16, 195, textBottom);
        g.separator = QLine(10, textBottom + 8, 190, textBottom + 8);
        layout.rows.push_back(g);
        layout.text.push_back(std::move(text));
        y = textBottom + 16;
    }
    layout.height = std::max(y, clientHeight + 10);
    return layout;
}

int hitScrollingRow(const ScrollLayout& layout, const QPoint& p) {
    const int n = std::min<int>(int(layout.rows.size()), kMaxHitRows);
    for (int i = 0; i < n; ++i) {
        if (layout.rows[size_t(i)].hit.contains(p)) return i;
    }
    return -1;
}

std::pair<int, int> visibleRows(const ScrollLayout& layout, int top, int height) {
    // Rows are laid out top to bottom: find the first whose bottom (with its separator)
    // reaches the band, then take rows until one starts below it.
    const auto& rows = layout.rows;
    const auto first = std::partition_point(
        rows.begin(), rows.end(),
        [&](const ScrollRowGeometry& g) { return g.separator.y1() + 2 < top; });
    auto last = first;
    while (last != rows.end() && last->hit.top() < top + height) ++last;
    return {int(first - rows.begin()), int(last - rows.begin())};
}

int pageCount(int count) {
    return std::max(1, (count + kRowsPerPage - 1) / kRowsPerPage);
}

QString pagedText(const QString& text, const TextWidth& width) {
    // Each line takes characters while they fit the box, as the font measures them: 14 Hangul
    // syllables are 154 pixels in the lists' font, and the box is 130.
    QString shown;
    qsizetype at = 0;
    for (int line = 0; line < 2 && at < text.size(); ++line) {
        const qsizetype start = at;
        while (at < text.size() && text.at(at) != u'\n' && text.at(at) != u'\r') {
            // A character outside the basic plane is never split between two lines.
            const qsizetype n = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
            // The line measured whole: kerning and shaping may make it narrower than its parts.
            if (at + n - start > kPagedCharsPerLine ||
                width(QStringView(text).mid(start, at + n - start)) > kPagedTextWidth)
                break;
            at += n;
        }
        if (line > 0) shown += QLatin1Char('\n');
        shown += QStringView(text).mid(start, at - start);
        // A line break of the text ends this line and is no character of the next.
        if (at < text.size() && text.at(at) == u'\r') ++at;
        if (at < text.size() && text.at(at) == u'\n') ++at;
    }
    return shown;
}

PagedLayout layoutPage(const std::vector<ListRow>& rows, int page, const TextWidth& width) {
    PagedLayout layout;
    const int count = int(rows.size());
    const int begin = std::max(0, (page - 1) * kRowsPerPage);
    const int end = std::min(page * kRowsPerPage, count);
    int y = 2;
    for (int i = begin; i < end; ++i) {
        PagedRowGeometry g;
        g.row = i;
        g.first = ltrb(5, y, 125, y + 14);
        g.second = ltrb(5, y + 16, 135, y + 16 + 28);
        g.hit = ltrb(4, y, 136, y + 16 + 28 + 1);
        g.shown = pagedText(rows[size_t(i)].second, width);
        layout.rows.push_back(g);
        const int inPage = i - begin;
        if (inPage == 0) layout.separators.push_back(QLine(0, 52, 180, 52));
        if (inPage == 1) layout.separators.push_back(QLine(0, 104, 180, 104));
        y += 16 + 28 + 9;
    }
    return layout;
}

int hitPagedRow(const PagedLayout& layout, const QPoint& p) {
    for (const PagedRowGeometry& g : layout.rows) {
        if (g.hit.contains(p)) return g.row;
    }
    return -1;
}

void PressTracker::press(bool onRow, bool menuSwitch) {
    armed_ = onRow && menuSwitch;
    timing_ = armed_;
    held_ = false;
    ticks_ = 0;
}

bool PressTracker::tick() {
    if (!timing_) return false;
    if (ticks_ == kHoldTicks) {
        timing_ = false;
        held_ = true;
        return true;
    }
    ++ticks_;
    return false;
}

bool PressTracker::release() {
    const bool tap = armed_ && !held_;
    armed_ = false;
    timing_ = false;
    held_ = false;
    return tap;
}

}  // namespace listctl
