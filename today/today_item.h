// The Today item: a window of class "QuorinToday" on the home screen that shows the day's
// appointment count and anniversaries and starts the program when tapped. The library's
// exports call the three entry points at the bottom.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "today_compute.h"
#include "todayscreen/todayscreen.h"

namespace today {

inline constexpr char16_t ItemClassName[] = u"QuorinToday";
inline constexpr char16_t ItemWindowName[] = u"QuorinTodayScreen";
inline constexpr char16_t ProgramPath[] = u"\\Program Files\\Quorin\\Quorin.exe";

inline constexpr int ItemWidth = 240;
inline constexpr int InitialHeight = 10;
inline constexpr int LineHeight = 16;  // the height the item asks for per line
inline constexpr int IconBitmap = 101;
inline constexpr int IconSize = 19;

// The first line for a day's result.
QString headline(int result);
// The height of the item with that many anniversary lines.
constexpr int itemHeight(size_t anniversaryLines) {
    return int(anniversaryLines + 1) * LineHeight;
}
// The lines the item shows, the headline first.
QStringList shownLines(const TodayResult& result);

// Bitmap 101: the item's 19 x 19 icon.
QImage itemIcon();
// A picture of the item of `size` showing `result`.
QImage renderItem(const TodayResult& result, QSize size);

// Ordinal 240: the item's window as a visible child of `parent`, 240 x 10 and computed; nullptr
// when the item is not enabled or `parent` is no window.
todayscreen::HWND initializeItem(todayscreen::TODAYLISTITEM* item, todayscreen::HWND parent);
// Ordinal 241: the options dialog's procedure. The item has no options; OK closes the dialog.
todayscreen::BOOL optionsDialogProc(todayscreen::HWND dialog, todayscreen::UINT msg,
                                    todayscreen::WPARAM wParam, todayscreen::LPARAM lParam);
// The window procedure of the class "QuorinToday".
todayscreen::LRESULT itemWindowProc(todayscreen::HWND window, todayscreen::UINT msg,
                                    todayscreen::WPARAM wParam, todayscreen::LPARAM lParam);

}  // namespace today
