#include "scripted.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QTest>

namespace testsupport {
namespace {

std::string s(const QString& text) {
    return text.toStdString();
}

QAction* findCommand(const QMenu& menu, int commandId) {
    for (QAction* action : menu.actions()) {
        if (QMenu* sub = action->menu()) {
            if (QAction* hit = findCommand(*sub, commandId)) return hit;
        } else if (!action->isSeparator() && action->data().toInt() == commandId) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

// --- Message boxes ---

ScriptedResponder::ScriptedResponder() : previous_(shell::setMessageResponder(this)) {}

ScriptedResponder::~ScriptedResponder() {
    shell::setMessageResponder(previous_);
}

ScriptedResponder& ScriptedResponder::expect(const QString& text, int answer) {
    script_.push_back({text, true, answer});
    return *this;
}

ScriptedResponder& ScriptedResponder::expectContaining(const QString& part, int answer) {
    script_.push_back({part, false, answer});
    return *this;
}

QStringList ScriptedResponder::texts() const {
    QStringList list;
    for (const ShownMessage& m : shown_) list << m.text;
    return list;
}

void ScriptedResponder::verify() {
    for (const Step& step : script_) {
        ADD_FAILURE() << "expected message box never shown: \"" << s(step.text) << '"';
    }
    script_.clear();
}

int ScriptedResponder::ask(QWidget*, const QString& text, const QString& caption,
                           shell::Buttons buttons, shell::Icon icon) {
    int answer = shell::dismissAnswer(buttons);
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected message box: \"" << s(text) << '"';
    } else {
        const Step step = script_.front();
        script_.pop_front();
        const bool match = step.exact ? text == step.text : text.contains(step.text);
        if (!match) {
            ADD_FAILURE() << "message box shows \"" << s(text) << "\" where the script expects "
                          << (step.exact ? "" : "a text containing ") << '"' << s(step.text) << '"';
        } else if (!shell::isAnswerOf(buttons, step.answer)) {
            ADD_FAILURE() << "scripted answer " << step.answer
                          << " is not a button of the message box \"" << s(text) << '"';
        } else {
            answer = step.answer;
        }
    }
    shown_.push_back({text, caption, buttons, icon, answer});
    return answer;
}

// --- Modal dialogs ---

ScriptedModals::ScriptedModals()
    : previous_(ui::setModalHook([this](QDialog& d) { return run(d); })) {}

ScriptedModals::~ScriptedModals() {
    ui::setModalHook(previous_);
}

void ScriptedModals::verify() {
    for (const Step& step : script_) {
        ADD_FAILURE() << "expected modal dialog never ran: " << step.type;
    }
    script_.clear();
}

int ScriptedModals::run(QDialog& dialog) {
    const QString name = QString::fromLatin1(dialog.metaObject()->className());
    ran_ << name;
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected modal dialog: " << s(name);
        return QDialog::Rejected;
    }
    const Step step = script_.front();
    script_.pop_front();
    if (!step.matches(dialog)) {
        ADD_FAILURE() << "modal dialog " << s(name) << " runs where the script expects "
                      << step.type;
        return QDialog::Rejected;
    }

    // As exec() does: a dialog that deletes itself on close is deleted after the run.
    QPointer<QDialog> guard(&dialog);
    const bool deleteOnClose = dialog.testAttribute(Qt::WA_DeleteOnClose);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    dialog.setResult(0);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) {
        ADD_FAILURE() << "modal dialog " << s(name) << " was never exposed";
    }
    if (step.work) {
        step.work(dialog);
    } else {
        dialog.reject();
    }
    const bool closed =
        QTest::qWaitFor([&] { return !guard || !guard->isVisible(); }, closeTimeoutMs_);
    if (!guard) return QDialog::Rejected;
    if (!closed) {
        ADD_FAILURE() << "modal dialog " << s(name) << " still open after its script step";
        dialog.reject();
    }
    const int result = dialog.result();
    if (deleteOnClose) delete &dialog;
    return result;
}

// --- Pop-up menus ---

ScriptedMenus::ScriptedMenus()
    : previous_(ui::setMenuHook([this](QMenu& m, const QPoint& p) { return run(m, p); })) {}

ScriptedMenus::~ScriptedMenus() {
    ui::setMenuHook(previous_);
}

ScriptedMenus& ScriptedMenus::expectChoose(int commandId) {
    script_.push_back(commandId);
    return *this;
}

ScriptedMenus& ScriptedMenus::expectDismiss() {
    script_.push_back(0);
    return *this;
}

void ScriptedMenus::verify() {
    for (int command : script_) {
        ADD_FAILURE() << "expected pop-up menu never opened (to choose " << command << ")";
    }
    script_.clear();
}

QAction* ScriptedMenus::run(QMenu& menu, const QPoint& pos) {
    shown_.push_back({menu.title(), pos, 0});
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected pop-up menu: " << s(menu.title());
        return nullptr;
    }
    const int command = script_.front();
    script_.pop_front();
    if (command == 0) return nullptr;
    QAction* action = findCommand(menu, command);
    if (!action) {
        ADD_FAILURE() << "pop-up menu " << s(menu.title()) << " has no command " << command;
        return nullptr;
    }
    if (!action->isEnabled()) {
        ADD_FAILURE() << "command " << command << " of pop-up menu " << s(menu.title())
                      << " is greyed";
        return nullptr;
    }
    shown_.back().chosen = command;
    return action;
}

// --- Guards ---

namespace {

class UnscriptedResponder : public shell::MessageResponder {
public:
    int ask(QWidget*, const QString& text, const QString&, shell::Buttons buttons,
            shell::Icon) override {
        ADD_FAILURE() << "message box without a script: \"" << s(text) << '"';
        return shell::dismissAnswer(buttons);
    }
};

}  // namespace

void installUnscriptedGuards() {
    static UnscriptedResponder responder;
    shell::setMessageResponder(&responder);
    ui::setModalHook([](QDialog& d) {
        ADD_FAILURE() << "modal dialog without a script: " << d.metaObject()->className();
        return int(QDialog::Rejected);
    });
    ui::setMenuHook([](QMenu& m, const QPoint&) -> QAction* {
        ADD_FAILURE() << "pop-up menu without a script: " << s(m.title());
        return nullptr;
    });
}

}  // namespace testsupport
