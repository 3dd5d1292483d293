#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

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
    QMessageBox::ButtonRole role;
};

constexpr ButtonDef kOk{IDOK, u"확인", QMessageBox::AcceptRole};
constexpr ButtonDef kCancel{IDCANCEL, u"취소", QMessageBox::RejectRole};
constexpr ButtonDef kAbort{IDABORT, u"중단", QMessageBox::RejectRole};
constexpr ButtonDef kRetry{IDRETRY, u"다시 시도", QMessageBox::AcceptRole};
constexpr ButtonDef kIgnore{IDIGNORE, u"무시", QMessageBox::AcceptRole};
constexpr ButtonDef kYes{IDYES, u"예", QMessageBox::YesRole};
constexpr ButtonDef kNo{IDNO, u"아니요", QMessageBox::NoRole};

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

// The device's own look: Korean button texts whatever the host's language.
class DialogResponder : public MessageResponder {
public:
    int ask(QWidget* parent, const QString& text, const QString& caption, Buttons buttons,
            Icon icon) override {
        QMessageBox box(parent ? parent : QApplication::activeWindow());
        box.setWindowTitle(caption);
        box.setText(text);
        switch (icon) {
            case Icon::None:
                box.setIcon(QMessageBox::NoIcon);
                break;
            case Icon::Stop:
                box.setIcon(QMessageBox::Critical);
                break;
            case Icon::Question:
                box.setIcon(QMessageBox::Question);
                break;
            case Icon::Exclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            case Icon::Information:
                box.setIcon(QMessageBox::Information);
                break;
        }
        std::vector<std::pair<QAbstractButton*, int>> ids;
        for (const ButtonDef& def : buttonList(buttons)) {
            QPushButton* button = box.addButton(QString::fromUtf16(def.text), def.role);
            ids.emplace_back(button, def.id);
        }
        box.setDefaultButton(static_cast<QPushButton*>(ids.front().first));
        box.exec();
        for (const auto& [button, id] : ids) {
            if (box.clickedButton() == button) return id;
        }
        return dismissAnswer(buttons);
    }
};

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
