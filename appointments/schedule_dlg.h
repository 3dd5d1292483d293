// The day dialog ("일정관리"): the appointments and anniversaries of one day in a scrolling
// list, with a new-appointment button and Close. It lives over the month calendar from a day
// tap to Close; the item commands of its list act on the main view's current item.
#pragma once

#include <QWidget>

#include "appointments/list_ctrl.h"

class MainView;
namespace ui {
class BitmapButton;
}

class CScheduleDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int TemplateId = 135;
    static constexpr int NewAppointmentButton = 1026;
    static constexpr int CloseButton = 1029;
    static constexpr int ListId = 1000;

    // Hidden; its window comes with OpenDay.
    CScheduleDlg(MainView& view, QWidget* calendar);

    // Shows the dialog over the calendar for the day (mode 0: one day), titled
    // "%d년 %s월 %s일 약속", with an empty list.
    void OpenDay(int mode, int year, int month, int day);
    // Fills the list with the stored day's rows and shows them.
    void FillDay();
    // Close (1029): the dialog goes; its owner shows the month bar and reloads the marks.
    void Close();

    bool isOpen() const { return open_; }
    void setOpen(bool open) { open_ = open; }
    int year() const { return year_; }
    int month() const { return month_; }
    int day() const { return day_; }
    // The names of the day's public holidays, shown beside the title; empty on other days.
    QString holiday() const { return holiday_; }
    CAgendaListWnd* list() const { return list_; }

    // An item command of the list, as its menu or a tap sends it.
    void OnItemCommand(int commandId);
    // 1026: the appointment editor for a new appointment on this day.
    void OnNewAppointment();

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    MainView& view_;
    int mode_ = 0;
    int year_ = 0, month_ = 0, day_ = 0;
    bool open_ = false;
    QString holiday_;
    CAgendaListWnd* list_;
};
