// The day's agenda ("약속", template 153): today's appointments and the anniversaries due
// today or within their lead, with the item commands of the schedule lists. It opens at start,
// at the briefing hour and again after an appointment opened from it has been edited.
#pragma once

#include <QDate>

#include "ui/controls.h"

class CAgendaListWnd;
class MainView;

class CTodayAppointmentDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 153;
    static constexpr int OkButtonId = 1059;
    static constexpr int ListId = 1060;

    // Today is read from the device clock now.
    CTodayAppointmentDlg(MainView& view, QWidget* parent = nullptr);

    // Mode 0: the list emptied, filled with today's rows and shown; other modes do nothing.
    void Refill(int mode);
    // One of the five item commands on the view's current item.
    void OnItemCommand(int commandId);

    QDate today() const { return today_; }
    CAgendaListWnd* list() const { return list_; }

private:
    MainView& view_;
    QDate today_;
    CAgendaListWnd* list_;
};
