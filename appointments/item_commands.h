// The five commands on a schedule item (the main view's currentItemId: an appointment's
// identifier, or an anniversary's negated), shared by the day dialog, the meeting history and
// the day's agenda: 32821 delete appointment, 32802 edit appointment, 32797 details,
// 32823 edit anniversary, 32820 delete anniversary.
#pragma once

#include <functional>

class MainView;
class QWidget;

namespace appointments {

inline constexpr int ItemDetailsCommand = 32797;
inline constexpr int EditAppointmentCommand = 32802;
inline constexpr int DeleteAppointmentCommand = 32821;
inline constexpr int EditAnniversaryCommand = 32823;
inline constexpr int DeleteAnniversaryCommand = 32820;

// The screen a command came from.
struct ItemCommandScreen {
    QWidget* parent = nullptr;         // owner of questions, messages and the details popup
    std::function<void()> refresh;     // refills the screen's list after a change
    bool returnToAgenda = false;       // 32802: Done in the editor reopens the day's agenda
    std::function<void()> beforeEdit;  // 32802: run first (the agenda ends itself)
};

// Carries out `commandId` on the view's current item: the deletes ask first and, on Yes,
// delete the record of their kind and refresh the screen and the main screens, or show string
// 61214 when the delete failed; the edits open their editors (the appointment editor through
// its screen hook, the anniversary editor in single mode, the screen and the main screens
// refreshed afterwards); 32797 opens the details popup. False, doing nothing, for any other
// command.
bool RunItemCommand(MainView& view, int commandId, const ItemCommandScreen& screen);

}  // namespace appointments
