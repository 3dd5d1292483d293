#include "screen_hooks.h"

namespace appointments {

ScreenHooks& screenHooks() {
    static ScreenHooks hooks;
    return hooks;
}

void OpenAppointmentEditor(MainView& view, int key, bool returnToAgenda) {
    if (auto& f = screenHooks().openAppointmentEditor) f(view, key, returnToAgenda);
}

void StartAppointmentOn(MainView& view, const QDate& date, bool returnToAgenda) {
    if (auto& f = screenHooks().startAppointmentOn) f(view, date, returnToAgenda);
}

void ShowItemDetails(MainView& view, QWidget* parent, int itemId) {
    if (auto& f = screenHooks().showItemDetails) f(view, parent, itemId);
}

std::optional<QString> ChooseSketch(QWidget* parent) {
    if (auto& f = screenHooks().chooseSketch) return f(parent);
    return std::nullopt;
}

}  // namespace appointments
