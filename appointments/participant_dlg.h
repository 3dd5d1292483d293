// The participant picker ("약속관리", template 140): the people list with check boxes above,
// the tree of the chosen persons and groups below. It works on the selection the editor hands
// in and reads back after OK; it writes nothing to the store.
#pragma once

#include <QString>

#include "appointments/participant_selection.h"
#include "ui/controls.h"

class CPeopleListWnd;
class CRecordStore;
class QTreeWidget;
class QTreeWidgetItem;

// Item data of the tree's fixed items and of a group's members.
inline constexpr int ParticipantRootData = 0;
inline constexpr int GeneralSelectionData = -1;
inline constexpr int GroupMemberData = -2;

class CParticipantDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 140;
    static constexpr int OkButtonId = 1034;
    static constexpr int CancelButtonId = 1035;
    static constexpr int TreeId = 1066;
    static constexpr int PeopleListId = 112;
    static constexpr int DeleteCommand = 32825;

    CParticipantDlg(CRecordStore& store, QWidget* parent = nullptr);

    // The initial selection, before the dialog runs.
    void SetSelection(const appointments::ParticipantSelection& selection);
    const appointments::ParticipantSelection& selection() const { return selection_; }
    int GetGroupCount() const { return int(selection_.groupIds.size()); }
    int GetPersonCount() const { return int(selection_.personIds.size()); }
    // The name (which = 1) or identifier text (which = 2) at `index`; otherwise empty.
    QString GetGroup(int index, int which) const;
    QString GetPerson(int index, int which) const;

    CPeopleListWnd* peopleList() const { return list_; }
    QTreeWidget* tree() const { return tree_; }

    // Adds the people list's row `row` (a person or a group; other rows are ignored) and
    // rebuilds the tree.
    void AddRow(int row);
    // "삭제" on the tree item last tapped, with its question.
    void OnDelete();

private:
    void OnInitDialog() override;
    void BuildTree();
    void onTreeTap(QTreeWidgetItem* item);
    void onTreeHold(const QPoint& pos);

    CRecordStore& store_;
    appointments::ParticipantSelection selection_;
    CPeopleListWnd* list_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    QTreeWidgetItem* general_ = nullptr;
    int tappedData_ = ParticipantRootData;
    bool tapped_ = false;
};
