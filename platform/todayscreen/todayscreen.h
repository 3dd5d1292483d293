// The home screen's custom-item interface: what a Today item library exports, what the home
// screen hands it, and the windows and messages between the two.
//
// An item is a window of a class the item registers; the class's window procedure receives the
// home screen's messages and Qt's paint and mouse events (as WM_PAINT, WM_LBUTTONDOWN and
// WM_LBUTTONUP). This is a shared library, so the home screen and every item library it loads
// share one class table and one window table. Everything runs on the user-interface thread.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

class QPainter;
class QWidget;

namespace todayscreen {

using UINT = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using BOOL = int;  // 1 or 0

// Opaque handles. A window handle stays safe to pass after the window is gone: calls on it
// then fail or return 0.
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

// Messages.
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_TODAYCUSTOM_CLEARCACHE = 0x04F2;
inline constexpr UINT WM_TODAYCUSTOM_QUERYREFRESHCACHE = 0x04F3;

inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

constexpr LPARAM MAKELPARAM(int low, int high) {
    return LPARAM(uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16));
}
constexpr int LOWORD(uintptr_t v) {
    return int(uint16_t(v));
}
constexpr int HIWORD(uintptr_t v) {
    return int(uint16_t(v >> 16));
}

// Class and window styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT WS_CHILD = 0x40000000;
inline constexpr UINT WS_VISIBLE = 0x10000000;
inline constexpr int CW_USEDEFAULT = int(0x80000000);

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASS {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    HINSTANCE hInstance = nullptr;
    QColor hbrBackground;  // invalid: the window paints its own background
    std::u16string lpszClassName;
};

// What the home screen knows of one item in its list.
struct TODAYLISTITEM {
    char16_t szName[32] = {};
    UINT cyp = 0;  // the item's height when the home screen last laid it out
    BOOL fEnabled = 0;
    char szDLLPath[260] = {};  // host path of the item library
    HINSTANCE hinstDLL = nullptr;
    HWND hwndCustom = nullptr;
};

// The item library's entry points, found by ordinal.
inline constexpr int ORDINAL_INITIALIZEITEM = 240;
inline constexpr int ORDINAL_OPTIONSDIALOGPROC = 241;
// Returns the item's window, or nullptr when the item is not to be shown.
using PFNCUSTOMINITIALIZEITEM = HWND (*)(TODAYLISTITEM* item, HWND parent);
using PFNCUSTOMOPTIONSDLGPROC = BOOL (*)(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

// A library's table of exports by ordinal: an array under the C name "OrdinalExports", ended by
// an entry with ordinal 0. It stands in for the ordinal table of the device's libraries.
using FARPROC = void (*)();
struct OrdinalExport {
    int ordinal;
    FARPROC proc;
};
inline constexpr char kOrdinalTableSymbol[] = "OrdinalExports";
// The export of a loaded library (a dlopen handle) by ordinal; nullptr when the library has no
// ordinal table or no such ordinal.
FARPROC procByOrdinal(void* library, int ordinal);

// ---- Window classes and windows ----

// Registers a class. A class of that name none of whose windows is alive is replaced (its
// library may have been unloaded). False when the name is empty, there is no window procedure,
// or the name is taken by a class with live windows.
bool registerClass(const WNDCLASS& cls);
// Creates a window of a registered class, sends it WM_CREATE and returns it. A WS_CHILD window
// lies in `parent` (CW_USEDEFAULT places it at 0, 0); WS_VISIBLE shows it. nullptr when the
// class is unknown or a WS_CHILD window has no live parent.
HWND createWindow(const std::u16string& className, const std::u16string& windowName, UINT style,
                  int x, int y, int width, int height, HWND parent, HINSTANCE instance);
// Sends WM_DESTROY and deletes the window. False for a handle that is no window of a class.
bool destroyWindow(HWND window);
// Whether the handle names a live window of a registered class.
bool isWindow(HWND window);
// Calls the window procedure of the window's class at once. 0 for a handle that is no window
// of a class.
LRESULT sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// What a window procedure does with a message it does not handle: nothing; returns 0.
LRESULT defWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Only while the window handles WM_PAINT: the painter on the window, its background already
// filled with the class brush. nullptr at any other time.
QPainter* beginPaint(HWND window);
void endPaint(HWND window);
// Asks for the window to be painted again.
bool invalidateWindow(HWND window);
// Sets the size and keeps the position. False for a dead window.
bool setWindowSize(HWND window, int width, int height);
// Ends a modal dialog with `result`. False when the window is no dialog.
bool endDialog(HWND dialog, int result);

std::u16string className(HWND window);
std::u16string windowText(HWND window);
// What the window shows, as text, for screen readers and for checking a running home screen.
void setWindowDescription(HWND window, const QString& text);
QString windowDescription(HWND window);

// The handle of any widget (a home screen hands its own as parents), and the widget of a live
// handle (nullptr once the widget is gone).
HWND handleOf(QWidget* widget);
QWidget* widgetOf(HWND window);

}  // namespace todayscreen
