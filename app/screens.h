// The screens the main view and the document open, as the program's composition root wires
// them: the view stays free of the screen classes, and tests put stand-ins in their place.
// An entry that is not set leaves its command without effect.
#pragma once

#include <QString>
#include <functional>

class MainView;
class QWidget;

struct Screens {
    // The panes, created on first use as children of the view's client area.
    std::function<QWidget*(MainView&, QWidget* parent)> createSchedulePane;
    std::function<QWidget*(MainView&, QWidget* parent)> createPeoplePanel;
    std::function<QWidget*(MainView&, QWidget* parent)> createAppointmentEditor;

    // Modal editors and popups on the current person.
    std::function<void(MainView&, int personId)> runPersonEditor;
    std::function<void(MainView&, const QString& name, int personId)> runAnniversaryEditor;
    std::function<void(MainView&, int personId)> showPersonDetails;
    // "새 약속": the appointment editor is in front; start a new one with this participant.
    std::function<void(MainView&, QWidget* editor, const QString& name, int personId)>
        startNewAppointment;
    std::function<void(MainView&)> runTodaySettings;
    std::function<void(MainView&)> importPocketContacts;
    // Reloads a pane after the records changed (people lists and group filters).
    std::function<void(MainView&, int pane, QWidget* window)> refreshPane;
};
