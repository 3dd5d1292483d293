// The library's exports: the two entry points of the home screen's item interface, by name
// and in the ordinal table the home screen looks them up in.
#include <type_traits>

#include "today_item.h"

#define QUORIN_EXPORT __attribute__((visibility("default")))

namespace ts = todayscreen;

extern "C" {

QUORIN_EXPORT ts::HWND InitializeCustomItem(ts::TODAYLISTITEM* item, ts::HWND parent) {
    return today::initializeItem(item, parent);
}

QUORIN_EXPORT ts::BOOL CustomItemOptionsDlgProc(ts::HWND dialog, ts::UINT msg, ts::WPARAM wParam,
                                                ts::LPARAM lParam) {
    return today::optionsDialogProc(dialog, msg, wParam, lParam);
}

QUORIN_EXPORT extern const ts::OrdinalExport OrdinalExports[];
const ts::OrdinalExport OrdinalExports[] = {
    {ts::ORDINAL_INITIALIZEITEM, reinterpret_cast<ts::FARPROC>(&InitializeCustomItem)},
    {ts::ORDINAL_OPTIONSDIALOGPROC, reinterpret_cast<ts::FARPROC>(&CustomItemOptionsDlgProc)},
    {0, nullptr},
};

}  // extern "C"

static_assert(std::is_same_v<decltype(&InitializeCustomItem), ts::PFNCUSTOMINITIALIZEITEM>);
static_assert(std::is_same_v<decltype(&CustomItemOptionsDlgProc), ts::PFNCUSTOMOPTIONSDLGPROC>);
