#include "ui/screen_map.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabBar>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <optional>

#include "ui/bitmap_button.h"
#include "ui/input_panel.h"

namespace ui {

namespace {

struct MapWriter {
    QJsonArray entries;
    int layer = 0;
    int window = 0;
    int order = 0;

    void add(const QString& kind, const QString& cls, const QString& name, const QString& text,
             const QRect& rect, bool enabled, std::optional<bool> checked = {}, bool focus = false,
             int bitmap = 0) {
        QJsonObject e{{"kind", kind},
                      {"cls", cls},
                      {"name", name},
                      {"text", text},
                      {"rect", QJsonArray{rect.x(), rect.y(), rect.width(), rect.height()}},
                      {"enabled", enabled},
                      {"layer", layer},
                      {"window", window},
                      {"z", order++}};
        if (checked) e.insert("checked", *checked);
        if (focus) e.insert("focus", true);
        if (bitmap) e.insert("bitmap", bitmap);
        entries.append(e);
    }
};

QString textOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText();
    if (auto* s = qobject_cast<const QAbstractSpinBox*>(w)) return s->text();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(w)) return t->toPlainText();
    if (auto* t = qobject_cast<const QTextEdit*>(w)) return t->toPlainText();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    if (w->isWindow()) return w->windowTitle();
    return w->accessibleName();
}

QRect onScreen(const QWidget* w, const QRect& r) {
    return QRect(w->mapToGlobal(r.topLeft()), r.size());
}

QString withoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}

// The rows in view of an item view, each with its columns' texts joined by tabs.
void addRows(MapWriter& out, const QAbstractItemView* view, const QModelIndex& parent) {
    const QAbstractItemModel* model = view->model();
    if (!model) return;
    const auto* tree = qobject_cast<const QTreeView*>(view);
    const QRect viewport = view->viewport()->rect();
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex first = model->index(row, 0, parent);
        QRect rect;
        QStringList texts;
        for (int column = 0; column < model->columnCount(parent); ++column) {
            const QModelIndex index = model->index(row, column, parent);
            rect |= view->visualRect(index);
            texts << index.data(Qt::DisplayRole).toString();
        }
        if (rect.intersects(viewport)) {
            std::optional<bool> checked;
            const QVariant state = first.data(Qt::CheckStateRole);
            if (state.isValid()) checked = state.toInt() != Qt::Unchecked;
            out.add("row", QString::fromLatin1(view->metaObject()->className()), view->objectName(),
                    texts.join(QLatin1Char('\t')), onScreen(view->viewport(), rect & viewport),
                    (model->flags(first) & Qt::ItemIsEnabled) != 0, checked);
        }
        if (tree && tree->isExpanded(first)) addRows(out, view, first);
    }
}

void addParts(MapWriter& out, const QWidget* w) {
    const QString cls = QString::fromLatin1(w->metaObject()->className());
    if (auto* tabs = qobject_cast<const QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) {
            out.add("tab", cls, w->objectName(), withoutMnemonic(tabs->tabText(i)),
                    onScreen(w, tabs->tabRect(i)), tabs->isTabEnabled(i),
                    i == tabs->currentIndex());
        }
    } else if (auto* view = qobject_cast<const QAbstractItemView*>(w)) {
        addRows(out, view, view->rootIndex());
    } else if (auto* bar = qobject_cast<const QMenuBar*>(w)) {
        for (QAction* a : bar->actions()) {
            if (a->isVisible() && !a->isSeparator()) {
                out.add("item", cls, w->objectName(), withoutMnemonic(a->text()),
                        onScreen(w, bar->actionGeometry(a)), a->isEnabled());
            }
        }
    } else if (auto* menu = qobject_cast<const QMenu*>(w)) {
        for (QAction* a : menu->actions()) {
            if (a->isVisible() && !a->isSeparator()) {
                std::optional<bool> checked;
                if (a->isCheckable()) checked = a->isChecked();
                out.add("item", cls, w->objectName(), withoutMnemonic(a->text()),
                        onScreen(w, menu->actionGeometry(a)), a->isEnabled(), checked);
            }
        }
    } else if (auto* spin = qobject_cast<const QAbstractSpinBox*>(w)) {
        QStyleOptionSpinBox option;
        option.initFrom(spin);
        option.frame = spin->hasFrame();
        option.buttonSymbols = spin->buttonSymbols();
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        const QStyle* style = spin->style();
        out.add("arrow", cls, w->objectName(), QStringLiteral("up"),
                onScreen(w, style->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp,
                                                  spin)),
                spin->isEnabled());
        out.add("arrow", cls, w->objectName(), QStringLiteral("down"),
                onScreen(w, style->subControlRect(QStyle::CC_SpinBox, &option,
                                                  QStyle::SC_SpinBoxDown, spin)),
                spin->isEnabled());
    } else if (auto* panel = qobject_cast<const InputPanel*>(w)) {
        for (const PanelKey& key : panel->keys()) {
            out.add("key", cls, w->objectName(), key.label, onScreen(w, key.rect), true);
        }
    }
    if (w->metaObject()->indexOfMethod("screenParts()") >= 0) {
        QVariantList parts;
        QMetaObject::invokeMethod(const_cast<QWidget*>(w), "screenParts", Qt::DirectConnection,
                                  Q_RETURN_ARG(QVariantList, parts));
        for (const QVariant& part : parts) {
            const QVariantMap p = part.toMap();
            out.add("part", cls, w->objectName(), p.value("text").toString(),
                    onScreen(w, p.value("rect").toRect()), w->isEnabled());
        }
    }
}

void addWidget(MapWriter& out, const QWidget* w) {
    std::optional<bool> checked;
    if (auto* b = qobject_cast<const QAbstractButton*>(w); b && b->isCheckable()) {
        checked = b->isChecked();
    }
    // A button drawn by its bitmaps carries its label in the picture: the picture's number
    // names it.
    const auto* bitmapButton = qobject_cast<const BitmapButton*>(w);
    out.add(w->isWindow() ? "window" : "widget", QString::fromLatin1(w->metaObject()->className()),
            w->objectName(), textOf(w), onScreen(w, w->rect()), w->isEnabled(), checked,
            w == QApplication::focusWidget(), bitmapButton ? bitmapButton->normalBitmap() : 0);
    addParts(out, w);
    // Children in stacking order: a later one is drawn over an earlier one.
    for (const QObject* child : w->children()) {
        const auto* cw = qobject_cast<const QWidget*>(child);
        if (cw && !cw->isWindow() && cw->isVisible()) addWidget(out, cw);
    }
}

int layerOf(const QWidget* window) {
    if (InputPanel::isPanelObject(window)) return 3;
    if (window->windowType() == Qt::Popup) return 2;
    if (window == QApplication::activeModalWidget()) return 1;
    return 0;
}

}  // namespace

QJsonArray screenMap() {
    MapWriter out;
    int index = 0;
    QList<QWidget*> windows = QApplication::topLevelWidgets();
    // The modal dialog on top and then the open popup come last, in front of the others.
    const auto rank = [](const QWidget* w) {
        return w == QApplication::activePopupWidget()   ? 2
               : w == QApplication::activeModalWidget() ? 1
                                                        : 0;
    };
    std::stable_sort(windows.begin(), windows.end(),
                     [&](const QWidget* a, const QWidget* b) { return rank(a) < rank(b); });
    for (const QWidget* window : windows) {
        if (!window->isVisible()) continue;
        out.layer = layerOf(window);
        out.window = index++;
        addWidget(out, window);
    }
    return out.entries;
}

void startScreenMap(const QString& path, QObject* owner) {
    if (path.isEmpty()) return;
    auto* timer = new QTimer(owner ? owner : qApp);
    auto written = std::make_shared<QByteArray>();
    const auto write = [path, written] {
        const QByteArray json = QJsonDocument(screenMap()).toJson(QJsonDocument::Compact);
        if (json == *written) return;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(json);
        if (file.commit()) *written = json;
    };
    QObject::connect(timer, &QTimer::timeout, write);
    write();
    timer->start(250);
}

}  // namespace ui
