// The screens of this build, as the view and the document open them.
#include "app/program_screens.h"

#include "app/main_view.h"
#include "appointments/appointment_dlg.h"
#include "appointments/schedule_view.h"
#include "appointments/screen_hooks.h"
#include "people/anniversary_dlg.h"
#include "people/anniversary_hook.h"
#include "people/people_list_wnd.h"
#include "people/people_panel_dlg.h"
#include "people/person_edit_dlg.h"
#include "sketch/details_wnd.h"
#include "sketch/sketch_list_dlg.h"

namespace {

// The person editor as the people screens open it: new, or for a stored person.
void runPersonEditDlg(MainView& view, int personId, bool isNew) {
    people::RunPersonEditor(view, personId, isNew);
}

}  // namespace

Screens makeScreens() {
    Screens screens;
    screens.createSchedulePane = [](MainView& view, QWidget* parent) -> QWidget* {
        return new CScheduleView(view, runPersonEditDlg, parent);
    };
    screens.createPeoplePanel = [](MainView& view, QWidget* parent) -> QWidget* {
        return new CPeoplePanelDlg(view, runPersonEditDlg, parent);
    };
    screens.createAppointmentEditor = [](MainView& view, QWidget* parent) -> QWidget* {
        return new CAppointmentDlg(view, parent);
    };
    screens.runAnniversaryEditor = [](MainView& view, const QString& name, int personId) {
        people::RunAnniversaryDlg(view, view.viewWidget(), name, personId, 0,
                                  people::AnniversaryManageMode);
    };
    // The person editor offers the anniversaries of a person it has just added.
    people::setAnniversaryOpener([](MainView& view, QWidget* parent, const QString& name,
                                    int personId) {
        people::RunAnniversaryDlg(view, parent, name, personId, 0, people::AnniversaryManageMode);
    });
    screens.runPersonEditor = [](MainView& view, int personId) {
        runPersonEditDlg(view, personId, false);
    };
    // "자세히 보기" and the schedule items' details: the details popup over the view.
    screens.showPersonDetails = [](MainView& view, int personId) {
        sketch::ShowPersonDetails(view, view.viewWidget(), personId);
    };
    appointments::screenHooks().showItemDetails = [](MainView& view, QWidget* parent, int itemId) {
        sketch::ShowItemDetails(view, parent, itemId);
    };
    // The appointment editor's attach button: the sketch library.
    appointments::screenHooks().chooseSketch = sketch::ChooseSketch;
    screens.refreshPane = [](MainView&, int pane, QWidget* window) {
        if (pane == SchedulePane) {
            if (auto* schedule = qobject_cast<CScheduleView*>(window)) {
                schedule->peopleList()->Refresh();
            }
        } else if (pane == PeoplePane) {
            if (auto* panel = qobject_cast<CPeoplePanelDlg*>(window)) panel->Refresh();
        }
    };
    return screens;
}
