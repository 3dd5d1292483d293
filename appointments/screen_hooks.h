// The places where one appointment screen opens another that lives in a later library (the
// appointment editor, the sketch library, the details popup). The composition root installs
// the real screens; tests install recorders. A hook that is not set does nothing.
#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

class MainView;
class QWidget;

namespace appointments {

// "약속 편집": brings the appointment editor forward with the stored appointment `key` loaded.
// `returnToAgenda`: Done in the editor reopens the day's agenda.
void OpenAppointmentEditor(MainView& view, int key, bool returnToAgenda);
// A new appointment on `date` (the day dialog's new-appointment button): the editor comes
// forward with a clear form on that date.
void StartAppointmentOn(MainView& view, const QDate& date, bool returnToAgenda);
// The details popup for a schedule item over `parent`: an appointment's identifier, or an
// anniversary's identifier negated (the view's currentItemId).
void ShowItemDetails(MainView& view, QWidget* parent, int itemId);
// The sketch library as the appointment editor's attach button runs it: the chosen sketch's
// file name, or nothing when the person cancelled.
std::optional<QString> ChooseSketch(QWidget* parent);

struct ScreenHooks {
    std::function<void(MainView&, int key, bool returnToAgenda)> openAppointmentEditor;
    std::function<void(MainView&, const QDate&, bool returnToAgenda)> startAppointmentOn;
    std::function<void(MainView&, QWidget* parent, int itemId)> showItemDetails;
    std::function<std::optional<QString>(QWidget* parent)> chooseSketch;
};
// The installed hooks, to set one entry at a time (tests save and restore the whole struct).
ScreenHooks& screenHooks();

}  // namespace appointments
