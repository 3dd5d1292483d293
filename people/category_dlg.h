// The group choice "Category 편집": one checkable row per category, through which the person
// editor sets a person's groups and categories are added and deleted.
#pragma once

#include <QString>
#include <vector>

#include "category_rows.h"
#include "ui/controls.h"

class MainView;
class QTreeWidget;

namespace ui {
class BitmapButton;
}

namespace people {

class CNameInputWnd;

class CCategoryDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 134;
    static constexpr int List = 1020;
    static constexpr int NewButton = 1023;
    static constexpr int DeleteButton = 1025;
    static constexpr int CloseButton = 1026;

    explicit CCategoryDlg(MainView& view, QWidget* parent = nullptr);

    // The groups checked when the dialog opens, as a person's group list.
    void SetGroupList(const QString& list) { initialList_ = list; }
    // The checked groups, as a group list, once Close ended the dialog (the dialog is then
    // accepted); empty before, and when nothing was checked.
    QString GetGroupList() const { return resultList_; }

    QTreeWidget* list() const { return list_; }
    CNameInputWnd* nameInput() const { return nameInput_; }
    // The text of the row last tapped on its text.
    QString selectedGroupName() const { return selectedName_; }
    // The rows as shown, with their check marks.
    std::vector<CategoryRow> rows() const;
    // Where the check box of `row` lies, in the list viewport's coordinates.
    QRect checkBoxRect(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void OnInitDialog() override;
    void FillRows();
    void OnNew();
    void OnDelete();
    void OnClose();
    void OnNameEntered();

    MainView& view_;
    QTreeWidget* list_;
    ui::BitmapButton* new_;
    ui::BitmapButton* delete_;
    ui::BitmapButton* close_;
    CNameInputWnd* nameInput_;
    QString initialList_;
    QString resultList_;
    QString selectedName_;
    bool changed_ = false;
};

}  // namespace people
