// CSketchDlg "약도 그리기": the drawing dialog around the canvas, with its pen, text and eraser
// icons, LOAD, and Save, which names a new sketch through the name-entry popup.
#pragma once

#include <QString>

#include "sketch/sketch_paths.h"
#include "ui/controls.h"

class QLabel;
class QPushButton;

namespace ui {
class BitmapButton;
}
namespace people {
class CNameInputWnd;
}

namespace sketch {

class CSketchDrawWnd;
enum class SketchTool : int;

class CSketchDlg : public ui::TemplateDialog {
    Q_OBJECT
public:
    static constexpr int TemplateId = 146;
    static constexpr int SaveButton = 1050;
    static constexpr int ListButton = 1051;
    static constexpr int CancelButton = 1055;
    static constexpr int LoadButton = 1085;
    static constexpr int PenIcon = 1053;
    static constexpr int TextIcon = 1052;
    static constexpr int EraserIcon = 1054;

    // A new sketch (empty `fileName`) or the sketch file `fileName` of the sketch folder.
    explicit CSketchDlg(const QString& fileName = {}, QWidget* parent = nullptr);

    CSketchDrawWnd* canvas() const { return canvas_; }
    people::CNameInputWnd* nameInput() const { return nameInput_; }
    // The device path of the sketch being edited; empty for a new one.
    QString filePath() const { return filePath_; }
    SketchFormat format() const { return format_; }
    SketchTool tool() const;

protected:
    void OnInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SelectTool(SketchTool tool);
    void OnSave();
    void OnNameEntered();
    void OnLoad();
    bool SaveTo(const QString& path, SketchFormat format);
    QLabel* IconOf(SketchTool tool) const;

    CSketchDrawWnd* canvas_;
    QString filePath_;
    SketchFormat format_ = SketchFormat::None;
    people::CNameInputWnd* nameInput_;
    ui::BitmapButton* save_;
    ui::BitmapButton* list_;
    ui::BitmapButton* cancel_;
    QPushButton* load_;
    QLabel* pen_;
    QLabel* text_;
    QLabel* eraser_;
    int tool_ = 0;
};

}  // namespace sketch
