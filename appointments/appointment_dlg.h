// The appointment editor (pane 2 of the main view, "약속 관리"). Its form comes with the
// appointment issue; here it is the pane that opens, stays and closes with Done.
#pragma once

#include "ui/controls.h"

class MainView;

class CAppointmentDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 136;
    static constexpr int DoneButtonId = 1029;

    CAppointmentDlg(MainView& view, QWidget* parent);

    // Done: the window goes, the pane closes and the pane behind it comes to the front.
    void OnDone();

public slots:
    // Escape does not close a pane.
    void reject() override {}

private:
    MainView& view_;
};
