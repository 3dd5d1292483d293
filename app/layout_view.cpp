#include "layout_view.h"

#include <QMenu>

#include "app/day_agenda.h"
#include "app/layout_doc.h"
#include "shell/message_box.h"
#include "ui/menu_resource.h"
#include "ui/modal.h"
#include "view_contract/commands.h"

CLayoutView::CLayoutView(CLayoutDoc& doc, Screens screens, QWidget* parent)
    : QWidget(parent), doc_(doc), screens_(std::move(screens)) {
    setObjectName(QStringLiteral("CLayoutView"));
}

CLayoutView::~CLayoutView() {
    // Pane 0 lives to the end; the others only while created. Children go with the view, but
    // the slots are cleared first so no destroyed() handler touches a half-destroyed view.
    for (auto& slot : panes_) {
        if (slot.window) {
            QObject::disconnect(slot.window, nullptr, this, nullptr);
            delete slot.window;
            slot.window = nullptr;
        }
    }
}

CRecordStore& CLayoutView::store() { return doc_.store(); }

void CLayoutView::OnInitialUpdate() {
    if (initialised_) return;
    initialised_ = true;
    createPane(SchedulePane);
    ShowPane(SchedulePane, BringToFront);
    app::OpenDayAgenda(this);
}

QWidget* CLayoutView::createPane(int pane) {
    const auto& factory = pane == SchedulePane ? screens_.createSchedulePane
                          : pane == PeoplePane ? screens_.createPeoplePanel
                                               : screens_.createAppointmentEditor;
    QWidget* w = factory ? factory(*this, this) : nullptr;
    if (!w) {
        // A pane whose screen is not part of this build: an empty window in its place.
        w = new QWidget(this);
        w->setGeometry(0, 0, 240, 268);
    }
    auto& slot = panes_[size_t(pane)];
    slot.window = w;
    slot.state = 1;
    connect(w, &QObject::destroyed, this, &CLayoutView::paneDestroyed);
    w->show();
    return w;
}

void CLayoutView::paneDestroyed(QObject* window) {
    // A pane that closes itself destroys its window; its slot is free to be created again.
    for (auto& slot : panes_) {
        if (slot.window == window) {
            slot.window = nullptr;
            slot.state = -1;
            slot.rank = 100;
        }
    }
}

QWidget* CLayoutView::OpenPane(int pane) {
    if (pane < 0 || pane >= PaneCount) return nullptr;
    auto& slot = panes_[size_t(pane)];
    if (slot.state != 1 || !slot.window) return createPane(pane);
    slot.window->show();
    return slot.window;
}

QWidget* CLayoutView::paneWindow(int pane) const {
    if (pane < 0 || pane >= PaneCount) return nullptr;
    const auto& slot = panes_[size_t(pane)];
    return slot.state == 1 ? slot.window : nullptr;
}

void CLayoutView::ShowPane(int pane, int mode) {
    if (pane < 0 || pane >= PaneCount) return;
    auto& target = panes_[size_t(pane)];
    if (mode == BringToFront) {
        int oldRank = target.rank;
        for (int i = 0; i < PaneCount; ++i) {
            auto& other = panes_[size_t(i)];
            if (i != pane && other.state == 1 && other.rank < oldRank) ++other.rank;
        }
        target.state = 1;
        target.rank = 1;
    } else if (mode == ClosePane) {
        target.rank = 100;
        target.state = -1;
        for (int i = 0; i < PaneCount; ++i) {
            auto& other = panes_[size_t(i)];
            if (i != pane && other.state == 1) --other.rank;
        }
    }
    emit commandBarRequested();
}

void CLayoutView::ShowFrontPane() {
    for (auto& slot : panes_) {
        if (slot.state == 1 && slot.rank == 1 && slot.window) {
            slot.window->show();
            break;
        }
    }
    emit commandBarRequested();
}

void CLayoutView::setCurrentPerson(const QString& name, int personId) {
    currentName_ = name;
    currentPersonId_ = personId;
}

void CLayoutView::RefreshMainScreens() {
    if (!screens_.refreshPane) return;
    for (int pane : {SchedulePane, PeoplePane}) {
        if (QWidget* w = paneWindow(pane)) screens_.refreshPane(*this, pane, w);
    }
}

void CLayoutView::OnAppMenu(int x) {
    ui::MenuResource menu(128);
    QMenu* file = menu.popup(ui::FilePopup);
    if (!file) return;
    QAction* chosen = ui::popupMenu(*file, QPoint(x, 26));  // screen coordinates
    if (int id = ui::MenuResource::commandOf(chosen)) OnCommand(id);
}

bool CLayoutView::OnCommand(int id) {
    switch (id) {
        case cmd::ImportPocketContacts:
            if (screens_.importPocketContacts) screens_.importPocketContacts(*this);
            RefreshMainScreens();
            return true;
        case cmd::ImportExpressContacts:
            // Greyed in the menu; reached only by a direct command.
            shell::messageBox(this, QStringLiteral("지금 데이타를 가져오시겠습니까?"));
            return true;
        default:
            return doc_.OnCommand(id, *this, screens_);
    }
}
