// CSketchListDlg "약도DB관리": the sketch library. It lists the BMP and JPEG files of the sketch
// folder; Select hands the chosen file name to the appointment editor, Edit opens the drawing
// dialog on it (or on a new sketch), Cancel closes.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "ui/controls.h"

class QTreeWidget;

namespace ui {
class BitmapButton;
}

namespace sketch {

class CSketchListDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 147;
    static constexpr int List = 1054;
    static constexpr int SelectButton = 1055;
    static constexpr int EditButton = 1056;
    static constexpr int CancelButton = 1057;
    static constexpr int Hint = 1064;

    explicit CSketchListDlg(bool selectionDisabled = false, QWidget* parent = nullptr);

    // The file name picked in the list; empty when none is.
    QString selectedName() const { return selected_; }
    QTreeWidget* list() const { return list_; }
    // The names as listed, in order.
    QStringList names() const;
    // Where the label of the row showing `name` lies, in the list viewport's coordinates.
    QRect labelRect(const QString& name) const;

    // Lists the sketch folder again.
    void FillList();

protected:
    void OnInitDialog() override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSelect();
    void OnEdit();

    bool selectionDisabled_;
    QTreeWidget* list_;
    ui::BitmapButton* select_;
    ui::BitmapButton* edit_;
    ui::BitmapButton* cancel_;
    QString selected_;
};

// The library as the appointment editor's attach button runs it: the chosen file name, or
// nothing when it was closed without a selection.
std::optional<QString> ChooseSketch(QWidget* parent);

}  // namespace sketch
