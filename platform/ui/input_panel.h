// The soft input panel: a keyboard drawn in the panel's strip at the bottom of the screen,
// above the command bar, and the button at the right end of the command bar that raises and
// lowers it by hand. It follows the shell's input-panel state, so it comes and goes as the
// screens ask (shell::raiseInputPanel / lowerInputPanel), and types into whatever edit has
// the focus through input-method events: Hangul is composed by HangulComposer and shown in
// the edit while it grows (preedit), then committed on Space, Return, a layout switch, a
// change of focus or a tap anywhere else. Keys of a physical keyboard still reach the edit;
// a syllable being composed is committed before them.
//
// Both are windows of their own that never take the focus and are never blocked by a modal
// dialog, so they work over every screen. One panel at a time; the program makes it.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/keyboard_layout.h"

namespace ui {

class HangulComposer;

class InputPanel : public QWidget {
    Q_OBJECT
public:
    // The button's place: the right end of the command bar, which leaves it free.
    static constexpr QRect kButtonRect{240 - 26, 320 - 26 + 2, 24, 22};

    InputPanel();
    ~InputPanel() override;
    // The panel the program made, or nullptr.
    static InputPanel* instance();
    // Whether `object` is a window or widget of the panel or its button. A tap on them is
    // typing, not a tap elsewhere: whatever closes on a tap elsewhere must let it pass.
    static bool isPanelObject(const QObject* object);
    // Commits the syllable being composed on the program's panel, if there is one: an edit
    // read before the user moved on then holds all that was typed.
    static void commitPending();

    KeyboardLayout keyboardLayout() const { return layout_; }
    void setKeyboardLayout(KeyboardLayout layout);
    bool isShifted() const { return shift_; }
    const std::vector<PanelKey>& keys() const { return keys_; }
    // The key drawn with `label` in the current layout, or nullptr.
    const PanelKey* keyLabelled(const QString& label) const;
    // The syllable being composed, empty when none.
    QString preedit() const;
    // The raise/lower button on the command bar.
    QWidget* button() const { return button_.get(); }

    // What a tap on `key` does.
    void press(const PanelKey& key);
    // Commits the syllable being composed into the edit that shows it.
    void commitComposition();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void rebuildKeys();
    void typeCharacter(const QString& text);
    void typeJamo(const QString& key);
    void sendKey(int key);
    void send(const QString& commit, const QString& preedit);
    bool isOurs(const QObject* object) const;
    void raiseWindows();
    void followModalDialog();
    // The button gives way to a window that puts something of its own in the button's place,
    // and comes back when that window goes.
    bool buttonPlaceTaken() const;
    void giveWayOrShowButton();

    std::unique_ptr<HangulComposer> composer_;
    std::unique_ptr<QWidget> button_;
    KeyboardLayout layout_ = KeyboardLayout::Korean;
    KeyboardLayout letters_ = KeyboardLayout::Korean;  // where the digits' switch returns
    bool shift_ = false;
    std::vector<PanelKey> keys_;
    QPointer<QObject> target_;  // the edit that shows the preedit
    bool raisePending_ = false;
};

}  // namespace ui
