#include "sketch/sketch_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "fs/devfs.h"
#include "people/name_input_wnd.h"
#include "shell/message_box.h"
#include "shell/shell.h"
#include "sketch/sketch_draw_wnd.h"
#include "strings/string_table.h"
#include "ui/bitmap_button.h"
#include "ui/resources.h"

namespace sketch {
namespace {

constexpr QRect kDialogRect{0, 26, 240, 294};
constexpr QRect kCanvasRect{10, 10, 220, 170};

QString savedText() {
    return QStringLiteral("저장하였습니다..");
}

}  // namespace

CSketchDlg::CSketchDlg(const QString& fileName, QWidget* parent)
    : ui::TemplateDialog(TemplateId, kDialogRect.size(), parent) {
    setWindowTitle(QStringLiteral("약도 그리기"));
    placeOnScreen(kDialogRect);
    if (!fileName.isEmpty()) filePath_ = SketchPath(fileName);

    canvas_ = new CSketchDrawWnd(this);
    canvas_->setGeometry(kCanvasRect);
    connect(canvas_, &CSketchDrawWnd::sketchFormat, this,
            [this](int format) { format_ = SketchFormat(format); });

    auto* label = new QLabel(this);
    label->setGeometry(10, 188, 30, 24);
    label->setPixmap(ui::loadBitmap(239));
    pen_ = addControl<QLabel>(PenIcon, {46, 188, 26, 26});
    text_ = addControl<QLabel>(TextIcon, {76, 188, 26, 26});
    eraser_ = addControl<QLabel>(EraserIcon, {106, 188, 26, 26});
    for (auto [icon, bitmap] : {std::pair{pen_, 235}, {text_, 233}, {eraser_, 237}}) {
        icon->setPixmap(ui::loadBitmap(bitmap));
        icon->setAlignment(Qt::AlignCenter);
        icon->installEventFilter(this);
    }
    load_ = addControl<QPushButton>(LoadButton, {160, 190, 64, 22});
    load_->setText(QStringLiteral("LOAD"));
    save_ = addControl<ui::BitmapButton>(SaveButton, {20, 232, 40, 20});
    list_ = addControl<ui::BitmapButton>(ListButton, {100, 232, 40, 20});
    cancel_ = addControl<ui::BitmapButton>(CancelButton, {180, 232, 40, 20});
    connect(save_, &QAbstractButton::clicked, this, &CSketchDlg::OnSave);
    connect(list_, &QAbstractButton::clicked, this, [this] { reject(); });
    connect(cancel_, &QAbstractButton::clicked, this, [this] { reject(); });
    connect(load_, &QPushButton::clicked, this, &CSketchDlg::OnLoad);

    nameInput_ = new people::CNameInputWnd(this);
    nameInput_->edit()->setMaxLength(MaxSketchFileName() - 4);
    connect(nameInput_, &people::CNameInputWnd::nameEntered, this, &CSketchDlg::OnNameEntered);
}

SketchTool CSketchDlg::tool() const {
    return SketchTool(tool_);
}

void CSketchDlg::OnInitDialog() {
    canvas_->InitCanvas();
    save_->loadBitmaps(189, 190);
    list_->loadBitmaps(186, 185);
    cancel_->loadBitmaps(195, 196);
    for (ui::BitmapButton* b : {save_, list_, cancel_}) b->sizeToContent();

    shell::WaitCursor wait;
    if (filePath_.isEmpty()) {
        format_ = SketchFormat::None;
        // Without the blank picture the canvas stays the white one it was given.
        const QString blank = BlankPicturePath();
        if (std::filesystem::exists(HostPath(blank))) canvas_->LoadImageFile(blank);
    } else {
        canvas_->LoadImageFile(filePath_);
    }
}

QLabel* CSketchDlg::IconOf(SketchTool tool) const {
    switch (tool) {
        case SketchTool::Pen: return pen_;
        case SketchTool::Text: return text_;
        case SketchTool::Eraser: return eraser_;
        default: return nullptr;
    }
}

bool CSketchDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == pen_) SelectTool(SketchTool::Pen);
        else if (watched == text_) SelectTool(SketchTool::Text);
        else if (watched == eraser_) SelectTool(SketchTool::Eraser);
    }
    return ui::TemplateDialog::eventFilter(watched, event);
}

void CSketchDlg::SelectTool(SketchTool tool) {
    if (tool_ == int(tool)) return;
    if (QLabel* old = IconOf(SketchTool(tool_))) old->setFrameStyle(QFrame::NoFrame);
    IconOf(tool)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    tool_ = int(tool);
    canvas_->SetTool(tool);
}

bool CSketchDlg::SaveTo(const QString& path, SketchFormat format) {
    bool saved;
    {
        shell::WaitCursor wait;
        saved = canvas_->SaveImageFile(path, format);
    }
    if (saved) {
        shell::messageBox(this, savedText());
    } else {
        shell::messageBox(this, ui::loadString(res::IDS_SAVE_FAILED));
    }
    return saved;
}

void CSketchDlg::OnSave() {
    if (!filePath_.isEmpty()) {
        SaveTo(filePath_, SaveFormatOf(filePath_));
        return;
    }
    const QRect client = rect();
    nameInput_->Create(QRect(client.left() + 32, client.top() + 70, client.width() - 64, 70));
}

void CSketchDlg::OnNameEntered() {
    const QString name = nameInput_->GetText();
    if (name.isEmpty()) {
        shell::messageBox(this, ui::loadString(res::IDS_SKETCH_NO_NAME));
        return;
    }
    const SketchFormat format = format_ == SketchFormat::Bmp ? SketchFormat::Bmp : SketchFormat::Jpeg;
    const QString extension = format == SketchFormat::Bmp ? QStringLiteral(".bmp") : QStringLiteral(".jpg");
    const QString problem = SketchNameProblem(name, extension);
    if (!problem.isEmpty()) {
        shell::messageBox(this, problem, {}, shell::MB_OK | shell::MB_ICONEXCLAMATION);
        return;
    }
    if (!devfs::createFolder(SketchFolder().toStdU16String())) {
        shell::messageBox(this, ui::loadString(res::IDS_SAVE_FAILED));
        return;
    }
    const QString path = SketchFolder() + u'\\' + name + extension;
    // Names compare without regard to case on the device: "Park.JPG" is park.jpg.
    const std::vector<std::u16string> same =
        devfs::findFiles(SketchFolder().toStdU16String(), (name + extension).toStdU16String());
    if (!same.empty()) {
        const int answer = shell::messageBox(
            this, QStringLiteral("%1 파일이 이미 있습니다. 바꾸시겠습니까?").arg(name + extension), {},
            shell::MB_YESNO | shell::MB_ICONQUESTION);
        if (answer != shell::IDYES) return;
    }
    SaveTo(same.empty() ? path : SketchFolder() + u'\\' + QString::fromStdU16String(same.front()),
           format);
}

void CSketchDlg::OnLoad() {
    shell::FileOpenRequest request;
    request.defaultExtension = QStringLiteral("Sketch File");
    request.initialName = QStringLiteral("*.jpg");
    request.filter = QStringLiteral(
        "Sketch Files(*.bmp)|*.bmp|Sketch Files(*.jpg)|*.jpg|All Files (*.*)|*.*||");
    const std::optional<std::u16string> chosen = shell::getOpenFileName(this, request);
    if (!chosen) return;
    bool loaded;
    {
        shell::WaitCursor wait;
        loaded = canvas_->LoadImageFile(QString::fromStdU16String(*chosen));
    }
    // The loaded picture is a new sketch: the next Save asks for its name. A load that failed
    // leaves the sketch being edited as it was.
    if (loaded) filePath_.clear();
}

}  // namespace sketch
