// The people management panel (pane 1 of the main view, "사람 관리"): the people list with
// names and work telephones, and buttons to add, edit and delete people.
#pragma once

#include <functional>

#include "ui/controls.h"

class CPeopleListWnd;
class MainView;

// Runs the person editor modally: for a new person (`isNew`, `personId` 0) or for the person
// with `personId`.
using PersonEditorRunner = std::function<void(MainView& view, int personId, bool isNew)>;

class CPeoplePanelDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 244;
    static constexpr int ListId = 110;
    static constexpr int NewButtonId = 1083;
    static constexpr int EditButtonId = 1076;
    static constexpr int DeleteButtonId = 1077;

    // A child window of `parent` (the main view's client area), filled and shown.
    CPeoplePanelDlg(MainView& view, PersonEditorRunner runEditor, QWidget* parent);
    ~CPeoplePanelDlg() override;

    // Reloads the list and its group filter.
    void Refresh();
    // Refills the group filter only.
    void RefreshGroups();

    CPeopleListWnd* peopleList() const { return list_; }

    void OnNew();
    void OnEdit();
    void OnDelete();

public slots:
    // A pane is not closed by Escape: it lives until the view ends it.
    void reject() override {}

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    MainView& view_;
    PersonEditorRunner runEditor_;
    CPeopleListWnd* list_ = nullptr;
};
