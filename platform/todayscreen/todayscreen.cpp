#include "todayscreen.h"

#include <dlfcn.h>

#include <QDialog>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <map>
#include <unordered_map>

namespace todayscreen {
namespace {

// A window of a registered class: Qt's events become messages to the class's procedure.
class ClassWindow : public QWidget {
public:
    ClassWindow(const WNDCLASS& cls, const std::u16string& name, QWidget* parent)
        : QWidget(parent), cls_(cls), name_(name) {
        setObjectName(QString::fromStdU16String(name));
        setWindowTitle(objectName());
    }
    ~ClassWindow() override { sendDestroy(); }

    // WM_DESTROY goes out once, whether the window is destroyed by call or with its parent.
    void sendDestroy() {
        if (dead_) return;
        send(WM_DESTROY, 0, 0);
        dead_ = true;
    }
    LRESULT send(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (dead_) return 0;
        return cls_.lpfnWndProc(handleOf(this), msg, wParam, lParam);
    }
    bool dead() const { return dead_; }
    QPainter* painter() const { return painter_; }
    const WNDCLASS& windowClass() const { return cls_; }
    const std::u16string& name() const { return name_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (cls_.hbrBackground.isValid()) painter.fillRect(rect(), cls_.hbrBackground);
        painter_ = &painter;
        send(WM_PAINT, 0, 0);
        painter_ = nullptr;
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const QPoint p = e->position().toPoint();
        send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x(), p.y()));
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const QPoint p = e->position().toPoint();
        // A stylus dragged off the window and lifted elsewhere is no tap on it.
        if (!rect().contains(p)) return;
        send(WM_LBUTTONUP, 0, MAKELPARAM(p.x(), p.y()));
    }

private:
    WNDCLASS cls_;
    std::u16string name_;
    QPainter* painter_ = nullptr;
    bool dead_ = false;
};

std::map<std::u16string, WNDCLASS>& classes() {
    static std::map<std::u16string, WNDCLASS> table;
    return table;
}

// Every handle given out; the guarded pointer turns null when its widget goes.
std::unordered_map<HWND, QPointer<QWidget>>& handles() {
    static std::unordered_map<HWND, QPointer<QWidget>> table;
    return table;
}

ClassWindow* classWindow(HWND window) {
    auto* w = dynamic_cast<ClassWindow*>(widgetOf(window));
    return w && !w->dead() ? w : nullptr;
}

bool hasLiveWindows(const std::u16string& className) {
    for (const auto& [handle, widget] : handles()) {
        auto* w = dynamic_cast<ClassWindow*>(widget.data());
        if (w && !w->dead() && w->windowClass().lpszClassName == className) return true;
    }
    return false;
}

}  // namespace

FARPROC procByOrdinal(void* library, int ordinal) {
    if (!library || ordinal == 0) return nullptr;
    const auto* table = static_cast<const OrdinalExport*>(dlsym(library, kOrdinalTableSymbol));
    for (; table && table->ordinal != 0; ++table) {
        if (table->ordinal == ordinal) return table->proc;
    }
    return nullptr;
}

bool registerClass(const WNDCLASS& cls) {
    if (cls.lpszClassName.empty() || !cls.lpfnWndProc) return false;
    if (hasLiveWindows(cls.lpszClassName)) return false;
    classes()[cls.lpszClassName] = cls;
    return true;
}

HWND createWindow(const std::u16string& className, const std::u16string& windowName, UINT style,
                  int x, int y, int width, int height, HWND parent, HINSTANCE) {
    auto cls = classes().find(className);
    if (cls == classes().end()) return nullptr;
    QWidget* parentWidget = widgetOf(parent);
    if ((style & WS_CHILD) && !parentWidget) return nullptr;
    auto* window = new ClassWindow(cls->second, windowName, parentWidget);
    if (x == CW_USEDEFAULT) x = 0;
    if (y == CW_USEDEFAULT) y = 0;
    window->setGeometry(x, y, width, height);
    HWND handle = handleOf(window);
    window->send(WM_CREATE, 0, 0);
    if (style & WS_VISIBLE) window->show();
    return handle;
}

bool destroyWindow(HWND window) {
    ClassWindow* w = classWindow(window);
    if (!w) return false;
    w->sendDestroy();
    delete w;
    return true;
}

bool isWindow(HWND window) {
    return classWindow(window) != nullptr;
}

LRESULT sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    ClassWindow* w = classWindow(window);
    return w ? w->send(msg, wParam, lParam) : 0;
}

LRESULT defWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

QPainter* beginPaint(HWND window) {
    ClassWindow* w = classWindow(window);
    return w ? w->painter() : nullptr;
}

void endPaint(HWND) {}

bool invalidateWindow(HWND window) {
    QWidget* w = widgetOf(window);
    if (w) w->update();
    return w != nullptr;
}

bool setWindowSize(HWND window, int width, int height) {
    QWidget* w = widgetOf(window);
    if (w) w->resize(width, height);
    return w != nullptr;
}

bool endDialog(HWND dialog, int result) {
    auto* d = qobject_cast<QDialog*>(widgetOf(dialog));
    if (d) d->done(result);
    return d != nullptr;
}

std::u16string className(HWND window) {
    ClassWindow* w = classWindow(window);
    return w ? w->windowClass().lpszClassName : std::u16string();
}

std::u16string windowText(HWND window) {
    ClassWindow* w = classWindow(window);
    return w ? w->name() : std::u16string();
}

void setWindowDescription(HWND window, const QString& text) {
    if (QWidget* w = widgetOf(window)) w->setAccessibleDescription(text);
}

QString windowDescription(HWND window) {
    QWidget* w = widgetOf(window);
    return w ? w->accessibleDescription() : QString();
}

HWND handleOf(QWidget* widget) {
    if (!widget) return nullptr;
    auto* handle = reinterpret_cast<HWND>(widget);
    QPointer<QWidget>& entry = handles()[handle];
    if (entry != widget) {
        // A widget at the address of a dead one takes the handle over.
        entry = widget;
        QObject::connect(widget, &QObject::destroyed, [handle] { handles().erase(handle); });
    }
    return handle;
}

QWidget* widgetOf(HWND window) {
    auto it = handles().find(window);
    return it == handles().end() ? nullptr : it->second.data();
}

}  // namespace todayscreen
