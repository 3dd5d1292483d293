// Controls found by their number, as the screens' templates give them. A screen places each
// control at its rectangle (device pixels) with its id; code and tests then reach it with
// control<T>(root, id).
#pragma once

#include <QDialog>
#include <QRect>
#include <QWidget>
#include <queue>

namespace ui {

inline constexpr char kControlIdProperty[] = "controlId";

// Gives `widget` the control id `id` (1 or more); its object name becomes "ctl_<id>" unless it
// has one.
void setControlId(QWidget* widget, int id);
// The control id of `object`, 0 when it has none.
int controlId(const QObject* object);

// The control with `id` and type T below `root`, nearest first: a direct child wins over a
// grandchild, as controls of one template shadow those of the windows inside it. nullptr
// when there is none.
template <class T = QWidget>
T* control(const QObject* root, int id) {
    std::queue<const QObject*> level;
    level.push(root);
    while (!level.empty()) {
        const QObject* parent = level.front();
        level.pop();
        for (QObject* child : parent->children()) {
            if (controlId(child) == id) {
                if (T* hit = dynamic_cast<T*>(child)) return hit;
            }
            level.push(child);
        }
    }
    return nullptr;
}

// Places `widget` at `rect` of its parent with control id `id`; returns it.
template <class T>
T* place(T* widget, int id, const QRect& rect) {
    widget->setGeometry(rect);
    setControlId(widget, id);
    return widget;
}

// Creates a T child of `parent` and places it.
template <class T>
T* addControl(QWidget* parent, int id, const QRect& rect) {
    return place(new T(parent), id, rect);
}

// A dialog made from a template: its size in device pixels and its controls by id.
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    TemplateDialog(int templateId, const QSize& size, QWidget* parent = nullptr);
    int templateId() const { return templateId_; }

    template <class T = QWidget>
    T* control(int id) const {
        return ui::control<T>(this, id);
    }

protected:
    template <class T>
    T* addControl(int id, const QRect& rect) {
        return ui::addControl<T>(this, id, rect);
    }

    // Places the dialog on the device screen at `rect`: no window frame, a white page.
    void placeOnScreen(const QRect& rect);

    // Runs once, when the dialog is first shown: its controls exist and have their final
    // geometry, as a template dialog's initialisation expects.
    virtual void OnInitDialog() {}
    void showEvent(QShowEvent* event) override;

private:
    int templateId_;
    bool initialized_ = false;
};

}  // namespace ui
