// The main view: fills the frame's client area and hosts the three panes (the schedule
// screen, the people panel and the appointment editor), of which one is in front, and the
// current person and schedule item on which the menu commands act.
#pragma once

#include <QWidget>
#include <array>

#include "app/screens.h"
#include "view_contract/main_view.h"

class CLayoutDoc;
class CMainFrame;

class CLayoutView : public QWidget, public MainView {
    Q_OBJECT
public:
    // Pane slot: state -1 not created, 1 created; rank 1 in front, 100 not shown.
    struct PaneSlot {
        int state = -1;
        int rank = 100;
        QWidget* window = nullptr;
    };

    CLayoutView(CLayoutDoc& doc, Screens screens, QWidget* parent = nullptr);
    ~CLayoutView() override;

    // Creates pane 0 and brings it to the front, then opens the day's agenda. Once.
    void OnInitialUpdate();
    // Opens the File popup of menu 128 at (x, 26) and carries out the command chosen.
    void OnAppMenu(int x);
    // Commands the view handles itself, then the document's.
    bool OnCommand(int commandId);

    const PaneSlot& paneSlot(int pane) const { return panes_[size_t(pane)]; }
    CLayoutDoc& document() { return doc_; }
    const Screens& screens() const { return screens_; }

    // MainView
    CRecordStore& store() override;
    QWidget* viewWidget() override { return this; }
    void ShowPane(int pane, int mode) override;
    void ShowFrontPane() override;
    QWidget* paneWindow(int pane) const override;
    QWidget* OpenPane(int pane) override;
    void setCurrentPerson(const QString& name, int personId) override;
    QString currentName() const override { return currentName_; }
    int currentPersonId() const override { return currentPersonId_; }
    void setCurrentItemId(int itemId) override { currentItemId_ = itemId; }
    int currentItemId() const override { return currentItemId_; }
    void runCommand(int commandId) override { OnCommand(commandId); }
    void RefreshMainScreens() override;

signals:
    // The command bar should be shown (ShowPane and ShowFrontPane ask for it).
    void commandBarRequested();

private:
    QWidget* createPane(int pane);
    void paneDestroyed(QObject* window);

    CLayoutDoc& doc_;
    Screens screens_;
    std::array<PaneSlot, PaneCount> panes_;
    bool initialised_ = false;
    QString currentName_;
    int currentPersonId_ = 0;
    int currentItemId_ = 0;
};
