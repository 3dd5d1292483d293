// The screens of this build, as the view and the document open them.
#include "app/program_screens.h"

#include "app/main_view.h"
#include "appointments/appointment_dlg.h"
#include "appointments/schedule_view.h"
#include "import/pocket_import.h"
#include "people/people_list_wnd.h"
#include "people/people_panel_dlg.h"
#include "people/person_edit_dlg.h"

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
    screens.runPersonEditor = [](MainView& view, int personId) {
        runPersonEditDlg(view, personId, false);
    };
    screens.importPocketContacts = [](MainView& view) {
        CPocketImport importer(view);
        importer.OnImportPocketContacts();
    };
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
