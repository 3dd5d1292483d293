#include "people/people_panel_dlg.h"

#include <QMouseEvent>

#include "people/delete_person.h"
#include "people/people_list_wnd.h"
#include "resources/strings/string_table.h"
#include "shell/message_box.h"
#include "shell/shell.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"
#include "view_contract/main_view.h"

namespace {

// The panel fills the main view's client area, between the dialog bar and the command bar.
constexpr QSize kPanelSize(240, 268);

struct PanelButton {
    int id, up, down;
    QPoint pos;
};
// Under the list, left to right: add, edit, delete.
constexpr PanelButton kButtons[] = {
    {CPeoplePanelDlg::NewButtonId, 187, 188, {41, 216}},
    {CPeoplePanelDlg::EditButtonId, 183, 184, {102, 216}},
    {CPeoplePanelDlg::DeleteButtonId, 181, 182, {163, 216}},
};

}  // namespace

CPeoplePanelDlg::CPeoplePanelDlg(MainView& view, PersonEditorRunner runEditor, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kPanelSize, parent),
      view_(view),
      runEditor_(std::move(runEditor)) {
    // Modeless and inside the view, not a window of its own.
    setWindowFlags(Qt::Widget);
    setObjectName(QStringLiteral("CPeoplePanelDlg"));
    setAutoFillBackground(true);

    list_ = new CPeopleListWnd(view.store(), &view, this);
    list_->Create(QRect(QPoint(20, 25), QPoint(224, 204)), ListId, NameAndPhone, 70);

    for (const PanelButton& b : kButtons) {
        auto* button = ui::addControl<ui::BitmapButton>(this, b.id, QRect(b.pos, QSize(40, 20)));
        button->loadBitmaps(b.up, b.down);
        button->sizeToContent();
    }
    connect(control<ui::BitmapButton>(NewButtonId), &QAbstractButton::clicked, this,
            &CPeoplePanelDlg::OnNew);
    connect(control<ui::BitmapButton>(EditButtonId), &QAbstractButton::clicked, this,
            &CPeoplePanelDlg::OnEdit);
    connect(control<ui::BitmapButton>(DeleteButtonId), &QAbstractButton::clicked, this,
            &CPeoplePanelDlg::OnDelete);

    Refresh();
    show();
}

// The view learns of the end of the panel from the window's destroyed() signal; the list
// goes with its parent.
CPeoplePanelDlg::~CPeoplePanelDlg() = default;

void CPeoplePanelDlg::Refresh() {
    list_->Refresh();
}

void CPeoplePanelDlg::RefreshGroups() {
    list_->FillGroupFilter();
}

void CPeoplePanelDlg::OnNew() {
    if (runEditor_) runEditor_(view_, 0, true);
    view_.RefreshMainScreens();
}

void CPeoplePanelDlg::OnEdit() {
    if (runEditor_) runEditor_(view_, list_->GetCurrentId(), false);
    view_.RefreshMainScreens();
}

void CPeoplePanelDlg::OnDelete() {
    const int id = list_->GetCurrentId();
    if (id < 1) {
        shell::messageBox(this, ui::loadString(res::IDS_NOTHING_SELECTED));
        return;
    }
    // The same question and delete as the Person menu's: one tap never loses a person.
    people::DeletePerson(view_, this, id);
}

void CPeoplePanelDlg::mousePressEvent(QMouseEvent* event) {
    // A tap beside the controls puts the input panel away, as it does on the device.
    shell::lowerInputPanel();
    ui::TemplateDialog::mousePressEvent(event);
}
