#include "input_panel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTextCharFormat>
#include <QTimer>
#include <QWindow>
#include <climits>

#include "shell/shell.h"
#include "ui/hangul_composer.h"
#include "ui/resources.h"

namespace ui {

namespace {

InputPanel* g_panel = nullptr;

const QColor kNavy(0, 51, 128);
const QColor kPanelGrey(190, 190, 190);
const QColor kFunctionKey(222, 222, 222);

// Windows of the panel: drawn above everything, never focused, never blocked by a modal
// dialog (a tool-tip window is exempt from modality, which a keyboard must be).
void makePanelWindow(QWidget* w, const QRect& rect) {
    w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    w->setAttribute(Qt::WA_ShowWithoutActivating);
    w->setFocusPolicy(Qt::NoFocus);
    w->setGeometry(rect);
}

// The command bar's button: a small keyboard; a tap raises or lowers the panel.
class PanelButton : public QWidget {
public:
    PanelButton() {
        setObjectName(QStringLiteral("InputPanelButton"));
        makePanelWindow(this, InputPanel::kButtonRect);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool on = shell::isInputPanelOn();
        p.fillRect(rect(), on ? kNavy : QColor(236, 236, 236));
        p.setPen(QColor(120, 120, 120));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        // The keyboard: an outline with three rows of keys.
        const QColor ink = on ? Qt::white : Qt::black;
        p.setPen(ink);
        const QRect body(4, 5, width() - 9, height() - 11);
        p.drawRect(body);
        for (int row = 0; row < 2; ++row) {
            for (int x = body.left() + 2; x < body.right() - 1; x += 3) {
                p.fillRect(x, body.top() + 2 + row * 3, 2, 2, ink);
            }
        }
        p.fillRect(body.left() + 4, body.bottom() - 3, body.width() - 8, 2, ink);
    }
    void mousePressEvent(QMouseEvent*) override {
        shell::setInputPanelOn(!shell::isInputPanelOn());
        update();
    }
};

bool acceptsInputMethod(QObject* target) {
    if (!target) return false;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(target, &query);
    return query.value(Qt::ImEnabled).toBool();
}

// How many more characters the edit takes (INT_MAX when it sets no limit).
int roomIn(QObject* target) {
    QInputMethodQueryEvent query(Qt::ImMaximumTextLength | Qt::ImSurroundingText |
                                 Qt::ImCurrentSelection);
    QCoreApplication::sendEvent(target, &query);
    const int limit = query.value(Qt::ImMaximumTextLength).toInt();
    if (limit <= 0) return INT_MAX;
    const int used = int(query.value(Qt::ImSurroundingText).toString().size() -
                         query.value(Qt::ImCurrentSelection).toString().size());
    return limit - used;
}

}  // namespace

InputPanel::InputPanel() : composer_(std::make_unique<HangulComposer>()) {
    setObjectName(QStringLiteral("InputPanel"));
    makePanelWindow(this, shell::inputPanelRect());
    setFont(deviceFont(11));
    button_ = std::make_unique<PanelButton>();
    rebuildKeys();
    g_panel = this;
    connect(&shell::notifier(), &shell::Notifier::inputPanelChanged, this, &InputPanel::follow);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget*) {
        // The syllable belongs to the edit it was typed in.
        commitComposition();
    });
    qApp->installEventFilter(this);
    followModalDialog();
    giveWayOrShowButton();
    follow();
}

InputPanel::~InputPanel() {
    qApp->removeEventFilter(this);
    if (g_panel == this) g_panel = nullptr;
}

InputPanel* InputPanel::instance() {
    return g_panel;
}

bool InputPanel::isPanelObject(const QObject* object) {
    return g_panel && object && g_panel->isOurs(object);
}

void InputPanel::commitPending() {
    if (g_panel) g_panel->commitComposition();
}

void InputPanel::follow() {
    if (shell::isInputPanelOn()) {
        show();
        raiseWindows();
    } else {
        commitComposition();
        hide();
    }
    button_->update();
}

void InputPanel::setKeyboardLayout(KeyboardLayout layout) {
    commitComposition();
    if (layout != KeyboardLayout::Symbols) letters_ = layout;
    layout_ = layout;
    shift_ = false;
    rebuildKeys();
}

void InputPanel::rebuildKeys() {
    keys_ = panelKeys(layout_, shift_, letters_);
    update();
}

const PanelKey* InputPanel::keyLabelled(const QString& label) const {
    for (const PanelKey& k : keys_) {
        if (k.label == label) return &k;
    }
    return nullptr;
}

QString InputPanel::preedit() const {
    return composer_->preeditText();
}

void InputPanel::press(const PanelKey& key) {
    switch (key.kind) {
        case PanelKey::Character:
            if (layout_ == KeyboardLayout::Korean) {
                typeJamo(key.text);
            } else {
                typeCharacter(key.text);
            }
            if (shift_) {
                shift_ = false;  // for one key, as on the device
                rebuildKeys();
            }
            break;
        case PanelKey::Shift:
            shift_ = !shift_;
            rebuildKeys();
            break;
        case PanelKey::Backspace:
            if (composer_->isComposing() && target_) {
                composer_->backspace();
                send(QString(), composer_->preeditText());
                if (!composer_->isComposing()) target_.clear();
            } else {
                sendKey(Qt::Key_Backspace);
            }
            break;
        case PanelKey::Space:
            commitComposition();
            typeCharacter(QStringLiteral(" "));
            break;
        case PanelKey::Return:
            commitComposition();
            sendKey(Qt::Key_Return);
            break;
        case PanelKey::Language:
            setKeyboardLayout(letters_ == KeyboardLayout::Korean ? KeyboardLayout::English
                                                                 : KeyboardLayout::Korean);
            break;
        case PanelKey::Symbols:
            setKeyboardLayout(layout_ == KeyboardLayout::Symbols ? letters_
                                                                 : KeyboardLayout::Symbols);
            break;
    }
}

void InputPanel::typeJamo(const QString& key) {
    QObject* focus = QGuiApplication::focusObject();
    if (focus != target_) commitComposition();
    if (!acceptsInputMethod(focus) || key.size() != 1) return;
    // A full edit takes no new syllable; one being composed may still change.
    if (!composer_->isComposing() && roomIn(focus) <= 0) return;
    target_ = focus;
    if (!composer_->process(char(key.at(0).toLatin1()))) {
        commitComposition();
        return;
    }
    const QString commit = composer_->commitText();
    send(commit, composer_->preeditText());
    // What the edit cannot take is cut: a syllable with no room left is not kept.
    if (composer_->isComposing() && roomIn(focus) <= 0) {
        composer_->reset();
        send(QString(), QString());
    }
    if (!composer_->isComposing()) target_.clear();
}

void InputPanel::typeCharacter(const QString& text) {
    commitComposition();
    QObject* focus = QGuiApplication::focusObject();
    if (!focus) return;
    if (acceptsInputMethod(focus)) {
        target_ = focus;
        send(text, QString());
        target_.clear();
        return;
    }
    // A control without text input (a list, a button) gets the key itself.
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text);
    QCoreApplication::sendEvent(focus, &press);
    QCoreApplication::sendEvent(focus, &release);
}

void InputPanel::sendKey(int key) {
    QObject* focus = QGuiApplication::focusObject();
    if (!focus) return;
    const QString text = key == Qt::Key_Return ? QStringLiteral("\r") : QString();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(focus, &press);
    QCoreApplication::sendEvent(focus, &release);
}

void InputPanel::commitComposition() {
    if (!composer_->isComposing()) {
        target_.clear();
        return;
    }
    const QString text = composer_->flush();
    if (target_) send(text, QString());
    target_.clear();
}

void InputPanel::send(const QString& commit, const QString& preedit) {
    if (!target_) return;
    QList<QInputMethodEvent::Attribute> attributes;
    if (!preedit.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        attributes << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0,
                                                   int(preedit.size()), underline);
        attributes << QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, int(preedit.size()),
                                                   1, QVariant());
    }
    QInputMethodEvent event(preedit, attributes);
    event.setCommitString(commit);
    QCoreApplication::sendEvent(target_, &event);
}

bool InputPanel::isOurs(const QObject* object) const {
    // A tap reaches the window before its widgets.
    if (const QWindow* window = qobject_cast<const QWindow*>(object)) {
        return window == windowHandle() || window == button_->windowHandle();
    }
    const QWidget* w = qobject_cast<const QWidget*>(object);
    if (!w) return false;
    const QWidget* window = w->window();
    return window == this || window == button_.get();
}

bool InputPanel::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            // A tap anywhere else ends the syllable before the tap moves the cursor.
            if (!isOurs(watched)) commitComposition();
            break;
        case QEvent::KeyPress:
            // A physical key finds the syllable already in place.
            if (watched == target_) commitComposition();
            break;
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowActivate:
            // A window shown after the panel would cover it, and a modal dialog shown or
            // closed changes which window the panel must belong to.
            if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
                !isOurs(watched) && !raisePending_) {
                raisePending_ = true;
                QTimer::singleShot(0, this, [this] {
                    raisePending_ = false;
                    followModalDialog();
                    giveWayOrShowButton();
                    raiseWindows();
                });
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void InputPanel::followModalDialog() {
    // A modal dialog blocks every window but its own and those that belong to it (transient
    // windows); the keyboard must keep working over it, so it belongs to the modal dialog on
    // top, and to no window when none is open.
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal && !isOurs(modal) ? modal->windowHandle() : nullptr;
    for (QWidget* w : {static_cast<QWidget*>(this), button_.get()}) {
        w->winId();  // makes the window, if the panel was never shown yet
        if (w->windowHandle()->transientParent() != owner) {
            w->windowHandle()->setTransientParent(owner);
        }
    }
}

bool InputPanel::buttonPlaceTaken() const {
    // A popup menu over the place, or a modal dialog with a button of its own there: the
    // panel's button would cover it and take its taps. (Anything else in the corner, such as
    // a form's scroll box, stays under it: the panel must still be raised over such forms.)
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowType() == Qt::Popup && !isOurs(w) &&
            w->frameGeometry().intersects(kButtonRect))
            return true;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || isOurs(modal)) return false;
    for (QWidget* c : modal->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (c->isVisible() && !c->isWindow() && qobject_cast<QAbstractButton*>(c) &&
            QRect(c->mapToGlobal(QPoint(0, 0)), c->size()).intersects(kButtonRect))
            return true;
    }
    return false;
}

void InputPanel::giveWayOrShowButton() {
    button_->setVisible(!buttonPlaceTaken());
}

void InputPanel::raiseWindows() {
    // Off screen nothing overlaps on a screen, and the platform cannot raise.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (isVisible()) raise();
    button_->raise();
}

void InputPanel::mousePressEvent(QMouseEvent* event) {
    if (const PanelKey* key = keyAt(keys_, event->position().toPoint())) {
        const PanelKey pressed = *key;  // press() may rebuild the keys
        press(pressed);
    }
}

void InputPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kPanelGrey);
    for (const PanelKey& key : keys_) {
        const QRect r = key.rect.adjusted(1, 1, -1, -1);
        const bool active = key.kind == PanelKey::Shift && shift_;
        QColor face = key.kind == PanelKey::Character || key.kind == PanelKey::Space
                          ? QColor(Qt::white)
                          : kFunctionKey;
        if (active) face = kNavy;
        p.fillRect(r, face);
        p.setPen(QColor(140, 140, 140));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(active ? Qt::white : Qt::black);
        // The arrows of the function keys are small glyphs: drawn larger and bold.
        const bool arrow = key.kind == PanelKey::Shift || key.kind == PanelKey::Backspace ||
                           key.kind == PanelKey::Return;
        p.setFont(arrow ? deviceFont(15, true) : font());
        p.drawText(r, Qt::AlignCenter, key.label);
    }
    // The layout in use, in the corner of the space bar.
    const PanelKey* space = nullptr;
    for (const PanelKey& key : keys_) {
        if (key.kind == PanelKey::Space) space = &key;
    }
    if (space) {
        static const char16_t* const names[] = {u"한국어", u"English", u"123"};
        p.setPen(QColor(150, 150, 150));
        p.setFont(font());
        p.drawText(space->rect.adjusted(4, 0, -4, 0), Qt::AlignCenter,
                   QString::fromUtf16(names[int(layout_)]));
    }
}

}  // namespace ui
