// The meeting history pane of the schedule screen's "사람" tab: the paged list of the current
// person's appointments or anniversaries, the ▲ and ▼ page buttons and the "기념일" button
// that switches between the two.
#pragma once

#include <QWidget>

#include "appointments/meeting_rows.h"

class CHistroyListCtrlView;
class MainView;
class QPushButton;
namespace ui {
class BitmapButton;
}

class CHistoryPane : public QWidget {
    Q_OBJECT
public:
    static constexpr int UpButtonId = 234;
    static constexpr int DownButtonId = 235;
    static constexpr int AnniversaryButtonId = 236;
    // The pane's request to its screen: flip the history mode and rebuild.
    static constexpr int WM_HISTORY_MODE = 0x054D;

    CHistoryPane(MainView* view, QWidget* parent);

    // Creates the children for the pane's current size (the pane must be placed first).
    void Create();

    // Enables or disables the "기념일" button; disabling repaints the pane.
    void SetAnniversaryButton(bool enabled);
    // The rows to show: the list is refilled and page 1 of them shown.
    void ShowRows(const appointments::ItemRows& rows);
    // Shows the first of the pages of `count` rows: fewer than 3 rows make one page.
    void ShowHistory(int count);
    // The title follows the mode: "기념일 정보" in mode 1, else "미팅 내역".
    void setMode(int mode);
    int mode() const { return mode_; }

    void OnPageUp();
    void OnPageDown();
    void OnAnniversaryButton();

    CHistroyListCtrlView* list() const { return list_; }
    int pages() const { return pages_; }
    int page() const { return page_; }
    QString title() const;

signals:
    // WM_HISTORY_MODE: the screen flips the mode and rebuilds.
    void modeFlipRequested();
    // A command of the list (details, edit, delete) for the owning screen.
    void commandRequested(int commandId);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MainView* view_;
    CHistroyListCtrlView* list_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    ui::BitmapButton* anniversaries_ = nullptr;
    int mode_ = appointments::HistoryAppointments;
    int pages_ = 1;
    int page_ = 1;
};
