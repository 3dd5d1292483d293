// The meeting history's row texts in the list's own font: every line the layout breaks fits
// the 130-pixel text box as the font measures it, and holds as much as fits.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetricsF>

#include "appointments/list_ctrl.h"
#include "appointments/list_layout.h"
#include "qt/screen_test.h"
#include "recording_main_view.h"
#include "store/record_store.h"
#include "ui/resources.h"

namespace {

using namespace listctl;

TEST(HistoryText, EveryLineOfARowFitsItsBoxAndHoldsAllThatFits) {
    const QFont font = ui::deviceFont();
    ASSERT_EQ(QFontInfo(font).family(), QStringLiteral("NanumGothic"));
    const QFontMetricsF metrics(font);
    EXPECT_LE(2 * metrics.lineSpacing(), 28) << "two lines fit the box's height";
    // 13 syllables, as a meeting's content often is: 11 fit a line, not 13 or 14.
    EXPECT_EQ(pagedText(QString(13, u'회'), listTextWidth),
              QString(11, u'회') + "\n" + QString(2, u'회'));
    EXPECT_EQ(pagedText(QStringLiteral("짧은 내용"), listTextWidth), "짧은 내용");
    EXPECT_EQ(pagedText(QStringLiteral("첫 줄\r\n둘째 줄\n셋째 줄"), listTextWidth),
              "첫 줄\n둘째 줄");

    const QString texts[] = {
        QString(40, u'가'),
        QStringLiteral("3분기 예산 검토 및 거래처 미팅 일정 조율, 자료 준비"),
        QStringLiteral("Lunch with Mr. Kim at the Plaza Hotel lobby"),
        QString(30, u'W'),
        QString(30, u'i'),
        QStringLiteral("Mößlitz Straße 5, Київ, Αθήνα"),
        QStringLiteral("생일 선물 🎁🎂 준비하기 ✔ ★"),
        QStringLiteral("회의실 ①번, ＡＢＣ 자료 — “초안”"),
    };
    for (const QString& t : texts) {
        const std::vector<ListRow> rows = {{QStringLiteral("2002/06/09"), t, QStringLiteral("1")}};
        const PagedLayout page = layoutPage(rows, 1, listTextWidth);
        ASSERT_EQ(page.rows.size(), 1u);
        const PagedRowGeometry& g = page.rows[0];
        const QStringList lines = g.shown.split(u'\n');
        ASSERT_LE(lines.size(), 2) << t.toStdString();
        qsizetype used = 0;
        for (const QString& line : lines) {
            EXPECT_LE(metrics.horizontalAdvance(line), g.second.width())
                << line.toStdString() << " of " << t.toStdString();
            EXPECT_LE(line.size(), kPagedCharsPerLine);
            used += line.size();
        }
        // The shown lines are the text's own beginning, cut only where the box is full.
        EXPECT_TRUE(t.startsWith(lines.join(QString()))) << t.toStdString();
        if (used < t.size()) {
            const QString& last = lines.back();
            const QString more = last + t.mid(used, t.at(used).isHighSurrogate() ? 2 : 1);
            EXPECT_TRUE(listTextWidth(more) > kPagedTextWidth || more.size() > kPagedCharsPerLine)
                << "the line could have held more: " << last.toStdString();
        }
    }
    EXPECT_EQ(QStringLiteral("2002/06/09").size(), 10);
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("기념일:2002/06/09")),
              layoutPage({{"", "", ""}}, 1, listTextWidth).rows[0].first.width())
        << "the date column fits its own box";
}

class HistoryTextDrawn : public testsupport::ScreenTest {};

TEST_F(HistoryTextDrawn, TheListDrawsLongKoreanContentInsideItsBox) {
    CRecordStore store;
    RecordingMainView view{store};
    CHistroyListCtrlView list(&view, nullptr);
    list.resize(180, 200);
    for (const QString& content :
         {QString(40, u'회'), QStringLiteral("3분기 예산 검토 및 거래처 미팅 일정 조율, 자료 준비"),
          QStringLiteral("Lunch with Mr. Kim at the Plaza Hotel lobby")})
        list.AddRow(QStringLiteral("2002/06/09"), content, QStringLiteral("1"));
    list.SetPage(1, 1);
    list.DrawPage();
    const QImage image = list.renderedImage();
    // A line cut at the box's edge would have ink up to its last column (134).
    for (const PagedRowGeometry& g : list.layout().rows) {
        int right = -1;
        for (int y = g.second.top(); y <= g.second.bottom(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF && x > right && x < 180) right = x;
        EXPECT_GT(right, g.second.left() + 60) << g.row;
        EXPECT_LT(right, g.second.right() - 1) << "row " << g.row << " ends at the box's edge";
    }
    testsupport::screenshot(&list, QStringLiteral("history_long_content"));
}

}  // namespace
