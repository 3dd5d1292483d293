// Scripts for what a screen asks of its user: message boxes, modal dialogs and pop-up menus.
// Each takes over its service while alive, answers in the order scripted, records what was
// shown, and fails the test on anything it was not told to expect. verify() fails for script
// steps that never came.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <typeinfo>
#include <vector>

#include "shell/message_box.h"
#include "ui/modal.h"

class QAction;
class QDialog;
class QMenu;

namespace testsupport {

struct ShownMessage {
    QString text;
    QString caption;
    shell::Buttons buttons;
    shell::Icon icon;
    int answer;
};

class ScriptedResponder : public shell::MessageResponder {
public:
    ScriptedResponder();
    ~ScriptedResponder() override;
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    // The next message box shows exactly `text`; it is answered with `answer`.
    ScriptedResponder& expect(const QString& text, int answer = shell::IDOK);
    // The next message box shows a text that contains `part`.
    ScriptedResponder& expectContaining(const QString& part, int answer = shell::IDOK);

    const std::vector<ShownMessage>& shown() const { return shown_; }
    QStringList texts() const;
    // Fails for expected messages that were never shown, and forgets them.
    void verify();

    int ask(QWidget* parent, const QString& text, const QString& caption, shell::Buttons buttons,
            shell::Icon icon) override;

private:
    struct Step {
        QString text;
        bool exact;
        int answer;
    };
    std::deque<Step> script_;
    std::vector<ShownMessage> shown_;
    shell::MessageResponder* previous_;
};

class ScriptedModals {
public:
    ScriptedModals();
    ~ScriptedModals();
    ScriptedModals(const ScriptedModals&) = delete;
    ScriptedModals& operator=(const ScriptedModals&) = delete;

    // The next modal run is of a D. Once it is shown and exposed, `work` drives it (tapping,
    // typing, and running dialogs of its own, which take the next steps); the run then waits
    // for it to close and returns its result. Without `work` the dialog is rejected.
    template <class D>
    ScriptedModals& expect(std::function<void(D&)> work = nullptr) {
        std::function<void(QDialog&)> step;
        if (work) step = [work](QDialog& d) { work(dynamic_cast<D&>(d)); };
        script_.push_back({typeid(D).name(), [](QDialog& d) { return dynamic_cast<D*>(&d); },
                           std::move(step)});
        return *this;
    }

    // How long a dialog may stay open after its script step returned (5 s by default).
    void setCloseTimeout(int ms) { closeTimeoutMs_ = ms; }

    // Class names of the dialogs run, in order.
    const QStringList& ran() const { return ran_; }
    void verify();

private:
    struct Step {
        const char* type;
        std::function<bool(QDialog&)> matches;
        std::function<void(QDialog&)> work;
    };
    int run(QDialog& dialog);
    std::deque<Step> script_;
    QStringList ran_;
    int closeTimeoutMs_ = 5000;
    ui::ModalHook previous_;
};

struct ShownMenu {
    QString title;
    QPoint pos;  // global
    int chosen;  // command id, 0 when dismissed
};

class ScriptedMenus {
public:
    ScriptedMenus();
    ~ScriptedMenus();
    ScriptedMenus(const ScriptedMenus&) = delete;
    ScriptedMenus& operator=(const ScriptedMenus&) = delete;

    // The next pop-up menu holds command `commandId`, enabled, and the user chooses it.
    ScriptedMenus& expectChoose(int commandId);
    // The next pop-up menu is dismissed without a choice.
    ScriptedMenus& expectDismiss();

    const std::vector<ShownMenu>& shown() const { return shown_; }
    void verify();

private:
    QAction* run(QMenu& menu, const QPoint& pos);
    std::deque<int> script_;  // 0: dismiss
    std::vector<ShownMenu> shown_;
    ui::MenuHook previous_;
};

// Installed by the test main: no message box, modal dialog or menu ever blocks a test. Each
// fails the test that runs it without a script.
void installUnscriptedGuards();

}  // namespace testsupport
