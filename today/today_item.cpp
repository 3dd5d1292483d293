#include "today_item.h"

#include <QFont>
#include <QPainter>
#include <QWidget>
#include <unordered_map>

#include "artwork/artwork.h"
#include "shell/shell.h"

namespace today {
namespace ts = todayscreen;

namespace {

constexpr int TextLeft = 25;
constexpr int HeadlineTop = 2;
constexpr int FirstLineTop = 16;
constexpr int LineSpacing = 14;

// The last result of each item window, kept for painting between refreshes.
std::unordered_map<ts::HWND, TodayResult>& results() {
    static std::unordered_map<ts::HWND, TodayResult> table;
    return table;
}

ts::HINSTANCE g_instance = nullptr;

void compute(ts::HWND window) {
    TodayResult& result = results()[window] = computeToday(clk::localTime());
    ts::setWindowDescription(window, shownLines(result).join(u'\n'));
}

QFont itemFont() {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(12);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

}  // namespace

QString headline(int result) {
    if (result == RecordOpenFailed) return QStringLiteral("레코드 Open에 실패했습니다.");
    if (result == DatabaseOpenFailed) return QStringLiteral("Database Open에 실패했습니다.");
    if (result > 0) return QStringLiteral("오늘의 약속 : %1개가 있습니다.").arg(result);
    return QStringLiteral("오늘은 약속이 없습니다.");
}

QStringList shownLines(const TodayResult& result) {
    QStringList lines{headline(result.result)};
    for (const std::u16string& line : result.lines) lines << QString::fromStdU16String(line);
    return lines;
}

QImage itemIcon() {
    // The artwork is a static library: its resources register only when asked to.
    static const bool registered = (quorinInitTodayArtwork(), true);
    (void)registered;
    return QImage(QStringLiteral(":/bitmaps/%1.png").arg(IconBitmap));
}

QImage renderItem(const TodayResult& result, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.drawImage(QRect(3, 3, IconSize, IconSize), itemIcon());
    p.setFont(itemFont());
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::TransparentMode);
    const int width = size.width() - TextLeft;
    const auto draw = [&](int top, const QString& text) {
        p.drawText(QRect(TextLeft, top, width, LineHeight),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    };
    draw(HeadlineTop, headline(result.result));
    for (size_t i = 0; i < result.lines.size(); ++i) {
        draw(FirstLineTop + LineSpacing * int(i), QString::fromStdU16String(result.lines[i]));
    }
    return image;
}

ts::HWND initializeItem(ts::TODAYLISTITEM* item, ts::HWND parent) {
    if (!item || !item->fEnabled) return nullptr;
    g_instance = item->hinstDLL;
    ts::WNDCLASS cls;
    cls.style = ts::CS_HREDRAW | ts::CS_VREDRAW;
    cls.lpfnWndProc = itemWindowProc;
    cls.hInstance = g_instance;
    cls.hbrBackground = Qt::white;
    cls.lpszClassName = ItemClassName;
    // Refused only while an earlier window of this class lives: the class is then this one.
    ts::registerClass(cls);
    return ts::createWindow(ItemClassName, ItemWindowName, ts::WS_CHILD | ts::WS_VISIBLE,
                            ts::CW_USEDEFAULT, ts::CW_USEDEFAULT, ItemWidth, InitialHeight, parent,
                            g_instance);
}

ts::BOOL optionsDialogProc(ts::HWND dialog, ts::UINT msg, ts::WPARAM wParam, ts::LPARAM lParam) {
    switch (msg) {
        case ts::WM_INITDIALOG:
            return 1;
        case ts::WM_COMMAND:
            if (ts::LOWORD(wParam) != ts::IDOK) return 0;
            ts::endDialog(dialog, ts::IDOK);
            return 1;
        default:
            return ts::BOOL(ts::defWindowProc(dialog, msg, wParam, lParam));
    }
}

ts::LRESULT itemWindowProc(ts::HWND window, ts::UINT msg, ts::WPARAM wParam, ts::LPARAM lParam) {
    switch (msg) {
        case ts::WM_CREATE:
            compute(window);
            return 0;
        case ts::WM_DESTROY:
            results().erase(window);
            return 0;
        case ts::WM_PAINT:
            if (QPainter* p = ts::beginPaint(window)) {
                const QWidget* widget = ts::widgetOf(window);
                p->drawImage(0, 0, renderItem(results()[window], widget->size()));
            }
            ts::endPaint(window);
            return 0;
        case ts::WM_LBUTTONUP:
            shell::execute(ProgramPath);
            return 0;
        case ts::WM_TODAYCUSTOM_QUERYREFRESHCACHE:
            compute(window);
            ts::setWindowSize(window, ItemWidth, itemHeight(results()[window].lines.size()));
            // The count may change while the height stays: paint the new text either way.
            ts::invalidateWindow(window);
            return 0;
        case ts::WM_TODAYCUSTOM_CLEARCACHE:
        case ts::WM_TIMER:
        case ts::WM_LBUTTONDOWN:
            return 0;
        default:
            return ts::defWindowProc(window, msg, wParam, lParam);
    }
}

}  // namespace today
