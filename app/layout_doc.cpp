#include "layout_doc.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

#include "app/screens.h"
#include "people/delete_person.h"
#include "resources/strings/string_table.h"
#include "view_contract/commands.h"
#include "view_contract/main_view.h"

CLayoutDoc::CLayoutDoc() : store_(std::make_unique<CRecordStore>()) {
    store_->CreateDatabases();
    store_->OpenDatabase(res::IDS_MAIN_DATABASE, MainHandle);
    opened_ = true;
}

CLayoutDoc::~CLayoutDoc() {
    if (opened_) store_->CloseDatabase(MainHandle);
}

void CLayoutDoc::HideOtherPanes(MainView& view, int target) {
    for (int pane = 0; pane < PaneCount; ++pane) {
        if (pane == target) continue;
        if (QWidget* w = view.paneWindow(pane)) w->hide();
    }
}

bool CLayoutDoc::OnCommand(int id, MainView& view, const Screens& screens) {
    switch (id) {
        case cmd::MeetingHistory:
            HideOtherPanes(view, SchedulePane);
            view.ShowPane(SchedulePane, BringToFront);
            if (QWidget* w = view.paneWindow(SchedulePane)) w->show();
            return true;
        case cmd::ManagePeople:
            HideOtherPanes(view, PeoplePane);
            view.OpenPane(PeoplePane);
            view.ShowPane(PeoplePane, BringToFront);
            return true;
        case cmd::ManageAppointments:
            HideOtherPanes(view, AppointmentPane);
            view.OpenPane(AppointmentPane);
            view.ShowPane(AppointmentPane, BringToFront);
            return true;
        case cmd::NewAppointment:
            OnCommand(cmd::ManageAppointments, view, screens);
            if (screens.startNewAppointment) {
                screens.startNewAppointment(view, view.paneWindow(AppointmentPane),
                                            view.currentName(), view.currentPersonId());
            }
            return true;
        case cmd::EditPerson:
            if (screens.runPersonEditor) screens.runPersonEditor(view, view.currentPersonId());
            view.RefreshMainScreens();
            return true;
        case cmd::ManageAnniversaries:
            if (screens.runAnniversaryEditor) {
                screens.runAnniversaryEditor(view, view.currentName(), view.currentPersonId());
            }
            // The history's anniversaries and the calendar's marks show what was saved.
            view.RefreshMainScreens();
            return true;
        case cmd::DeletePerson:
            people::DeletePerson(view, view.viewWidget(), view.currentPersonId());
            return true;
        case cmd::PersonDetails:
            if (screens.showPersonDetails) screens.showPersonDetails(view, view.currentPersonId());
            return true;
        case cmd::TodaySettings:
            if (screens.runTodaySettings) screens.runTodaySettings(view);
            return true;
        case cmd::Exit:
            QCoreApplication::exit(0);
            return true;
        default:
            return false;
    }
}
