// What the program's screens ask of the main view: the panes, the current person and item,
// the record store and the refresh after a change. The screens hold this interface, not the
// view class, so that they build and test on their own.
#pragma once

#include <QString>

class CRecordStore;
class QWidget;

// The three panes of the main view.
enum Pane { SchedulePane = 0, PeoplePane = 1, AppointmentPane = 2, PaneCount = 3 };
// ShowPane modes.
enum PaneMode { BringToFront = 1, ClosePane = 2 };

class MainView {
public:
    virtual ~MainView() = default;

    virtual CRecordStore& store() = 0;
    // The view as a parent for dialogs and popups.
    virtual QWidget* viewWidget() = 0;

    virtual void ShowPane(int pane, int mode) = 0;
    virtual void ShowFrontPane() = 0;
    // The pane's window, nullptr while it is not created.
    virtual QWidget* paneWindow(int pane) const = 0;
    // Creates the pane's window when it is not created (and marks it created), else shows it.
    virtual QWidget* OpenPane(int pane) = 0;

    virtual void setCurrentPerson(const QString& name, int personId) = 0;
    virtual QString currentName() const = 0;
    virtual int currentPersonId() const = 0;
    virtual void setCurrentItemId(int itemId) = 0;
    virtual int currentItemId() const = 0;

    // Carries out a menu command as if chosen from the menu.
    virtual void runCommand(int commandId) = 0;
    // Reloads the people lists and their group filters after a change of the records.
    virtual void RefreshMainScreens() = 0;
};
