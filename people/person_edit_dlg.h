// The person editor: the one form in which a person's card is created or changed. It runs
// modally over the main view, which reloads its lists when it closes.
#pragma once

#include <QString>

#include "person_edit_form.h"
#include "ui/controls.h"

class MainView;
class QLineEdit;
class QScrollBar;

namespace ui {
class BitmapButton;
}

namespace people {

// Opens the person editor modally over the view and returns the dialog's result. New person:
// (0, true). A stored person: (its identifier, false); with no person chosen (below 1) the
// editor says so and starts empty.
int RunPersonEditor(MainView& view, int personId, bool isNew);

class CPersonEditDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    // Scroll requests, as the system's scroll bar sends them.
    enum ScrollCode {
        SB_LINEUP = 0,
        SB_LINEDOWN = 1,
        SB_PAGEUP = 2,
        SB_PAGEDOWN = 3,
        SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5,
        SB_TOP = 6,
        SB_BOTTOM = 7,
        SB_ENDSCROLL = 8,
    };
    // The controls that move when the form scrolls.
    static const int ScrollingControls[23];

    explicit CPersonEditDlg(MainView& view, QWidget* parent = nullptr);

    // Before the dialog runs. New person: (0, true); a stored person: (its identifier, false),
    // which is loaded when the dialog opens.
    void SetTarget(int personId, bool isNew);
    int personId() const { return personId_; }

    QLineEdit* edit(int id) const;
    QScrollBar* scrollBar() const { return scrollBar_; }
    int scrollPosition() const { return position_; }
    int maxScrollPosition() const { return maxPosition_; }

    // A vertical scroll request; `thumb` is the thumb's position for SB_THUMBTRACK.
    void OnVScroll(int code, int thumb = 0);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog() override;
    void LoadPerson();
    PersonForm CollectForm() const;
    void OnUpdate();
    void OnGroups();
    void OnInputPanelChanged();
    void MoveControls(int dy);

    MainView& view_;
    int personId_ = 0;
    bool isNew_ = true;
    ui::BitmapButton* groups_;
    ui::BitmapButton* update_;
    ui::BitmapButton* done_;
    QScrollBar* scrollBar_;
    QWidget* cornerBox_;
    int createdHeight_;
    int position_ = 0;
    int maxPosition_ = 0;
    int excess_ = 0;
    int shift_ = 0;
};

}  // namespace people
