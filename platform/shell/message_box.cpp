#include "message_box.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <utility>
#include <vector>

#include "message_box_dialog.h"
#include "shell.h"

namespace shell {

Buttons buttonsOf(unsigned flags) {
    switch (flags & 0xF) {
        case MB_OKCANCEL:
            return Buttons::OkCancel;
        case MB_ABORTRETRYIGNORE:
            return Buttons::AbortRetryIgnore;
        case MB_YESNOCANCEL:
            return Buttons::YesNoCancel;
        case MB_YESNO:
            return Buttons::YesNo;
        case MB_RETRYCANCEL:
            return Buttons::RetryCancel;
        default:
            return Buttons::Ok;
    }
}

Icon iconOf(unsigned flags) {
    switch (flags & 0xF0) {
        case MB_ICONSTOP:
            return Icon::Stop;
        case MB_ICONQUESTION:
            return Icon::Question;
        case MB_ICONEXCLAMATION:
            return Icon::Exclamation;
        case MB_ICONINFORMATION:
            return Icon::Information;
        default:
            return Icon::None;
    }
}

namespace {

struct ButtonDef {
    int id;
    const char16_t* text;
};

constexpr ButtonDef kOk{IDOK, u"확인"};
constexpr ButtonDef kCancel{IDCANCEL, u"취소"};
constexpr ButtonDef kAbort{IDABORT, u"중단"};
constexpr ButtonDef kRetry{IDRETRY, u"다시 시도"};
constexpr ButtonDef kIgnore{IDIGNORE, u"무시"};
constexpr ButtonDef kYes{IDYES, u"예"};
constexpr ButtonDef kNo{IDNO, u"아니요"};

std::vector<ButtonDef> buttonList(Buttons b) {
    switch (b) {
        case Buttons::Ok:
            return {kOk};
        case Buttons::OkCancel:
            return {kOk, kCancel};
        case Buttons::AbortRetryIgnore:
            return {kAbort, kRetry, kIgnore};
        case Buttons::YesNoCancel:
            return {kYes, kNo, kCancel};
        case Buttons::YesNo:
            return {kYes, kNo};
        case Buttons::RetryCancel:
            return {kRetry, kCancel};
    }
    return {kOk};
}

const QColor kTitleColor(0, 51, 128);

QStyle::StandardPixmap pixmapOf(Icon icon) {
    switch (icon) {
        case Icon::Stop:
            return QStyle::SP_MessageBoxCritical;
        case Icon::Question:
            return QStyle::SP_MessageBoxQuestion;
        case Icon::Exclamation:
            return QStyle::SP_MessageBoxWarning;
        case Icon::Information:
        case Icon::None:
            break;
    }
    return QStyle::SP_MessageBoxInformation;
}

// The wrapped lines, drawn one under the other; scrolled by its box when they do not fit.
class MessageText : public QWidget {
public:
    MessageText(const QStringList& lines, int lineHeight, QWidget* parent)
        : QWidget(parent), lines_(lines), lineHeight_(lineHeight) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(palette().color(QPalette::WindowText));
        for (int i = 0; i < lines_.size(); ++i) {
            p.drawText(QRect(0, i * lineHeight_, width(), lineHeight_),
                       Qt::AlignLeft | Qt::AlignVCenter, lines_[i]);
        }
    }

private:
    QStringList lines_;
    int lineHeight_;
};

// The device's own look: Korean button texts whatever the host's language.
class DialogResponder : public MessageResponder {
public:
    int ask(QWidget* parent, const QString& text, const QString& caption, Buttons buttons,
            Icon icon) override {
        MessageBoxDialog box(parent ? parent : QApplication::activeWindow(), text, caption, buttons,
                             icon);
        box.exec();
        return box.answer();
    }
};

}  // namespace

MessageBoxDialog::MessageBoxDialog(QWidget* parent, const QString& text, const QString& caption,
                                   Buttons buttons, Icon icon)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      caption_(caption),
      icon_(icon),
      answer_(dismissAnswer(buttons)) {
    setObjectName(QStringLiteral("MessageBox"));
    setWindowTitle(caption);
    const std::vector<ButtonDef> defs = buttonList(buttons);
    MessageBoxMetrics metrics;
    metrics.scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    layout_ = layoutMessageBox(text, icon != Icon::None, int(defs.size()), fontMetrics(),
                               visibleDesktop(), metrics);
    setFixedSize(layout_.box.size());
    move(layout_.box.topLeft());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    auto* lines = new MessageText(layout_.lines, layout_.lineHeight, this);
    lines->setObjectName(QStringLiteral("text"));
    lines->setAccessibleName(text);  // read by accessibility tools and the screen map
    const int linesHeight = int(layout_.lines.size()) * layout_.lineHeight;
    if (layout_.textScrolls) {
        auto* scroller = new QScrollArea(this);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scroller->setGeometry(layout_.text);
        lines->resize(layout_.text.width() - metrics.scrollBarWidth, linesHeight);
        scroller->setWidget(lines);
        scroller->verticalScrollBar()->setSingleStep(layout_.lineHeight);
    } else {
        lines->setGeometry(layout_.text.x(), layout_.text.y(), layout_.text.width(), linesHeight);
    }

    for (size_t i = 0; i < defs.size(); ++i) {
        auto* button = new QPushButton(QString::fromUtf16(defs[i].text), this);
        button->setGeometry(layout_.buttons[i]);
        const int id = defs[i].id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            answer_ = id;
            accept();
        });
        buttons_ << button;
    }
    // Return takes the first button, as the system's default; Escape dismisses.
    buttons_.front()->setDefault(true);
    buttons_.front()->setFocus();
}

void MessageBoxDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(layout_.title, kTitleColor);
    p.setPen(Qt::white);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(layout_.title.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(bold).elidedText(caption_, Qt::ElideRight, layout_.title.width() - 12));
    // The frame sets the box apart from the form behind it.
    p.setPen(QColor(40, 40, 40));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (icon_ != Icon::None) {
        const QIcon icon = style()->standardIcon(pixmapOf(icon_), nullptr, this);
        icon.paint(&p, layout_.icon);
    }
}

namespace {

DialogResponder& dialogResponder() {
    static DialogResponder responder;
    return responder;
}

MessageResponder* g_responder = nullptr;

}  // namespace

bool isAnswerOf(Buttons buttons, int answer) {
    for (const ButtonDef& def : buttonList(buttons)) {
        if (def.id == answer) return true;
    }
    return false;
}

int dismissAnswer(Buttons buttons) {
    if (isAnswerOf(buttons, IDCANCEL)) return IDCANCEL;
    if (isAnswerOf(buttons, IDNO)) return IDNO;
    if (isAnswerOf(buttons, IDABORT)) return IDABORT;
    return IDOK;
}

MessageResponder* setMessageResponder(MessageResponder* responder) {
    MessageResponder* previous = messageResponder();
    g_responder = responder;
    return previous;
}

MessageResponder* messageResponder() {
    return g_responder ? g_responder : &dialogResponder();
}

int messageBox(QWidget* parent, const QString& text, const QString& caption, unsigned flags) {
    const Buttons buttons = buttonsOf(flags);
    const QString title = caption.isEmpty() ? QApplication::applicationDisplayName() : caption;
    const int answer = messageResponder()->ask(parent, text, title, buttons, iconOf(flags));
    return isAnswerOf(buttons, answer) ? answer : dismissAnswer(buttons);
}

}  // namespace shell
