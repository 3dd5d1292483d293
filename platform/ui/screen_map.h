// Where things are on the screen, for a driver that taps as a person would (scripts/check-browser
// through the served page): the program writes what every shown window holds, the texts and
// the places in screen pixels, to a JSON file, and again whenever that changes. A driver then
// taps "저장" where the program says it is, not where a picture once had it.
//
// Each entry: the widget's class and object name, its text (a button's, a label's, an edit's,
// a combo's current one, a window's title), its rectangle, whether it is enabled and checked,
// the layer of its window (0 a window, 1 the modal dialog on top, 2 a popup, 3 the input
// panel) and its order within the layer (higher is in front); a bitmap button also names its
// picture ("bitmap", the number of its normal picture). Parts of a widget come as
// entries of their own: a tab bar's tabs, an item view's rows, a menu's items, a spin box's
// arrows, the input panel's keys, and whatever a custom control lists from a method
// `Q_INVOKABLE QVariantList screenParts() const` (maps of "text" and "rect", in the widget).
#pragma once

#include <QJsonArray>
#include <QString>

class QObject;

namespace ui {

// The entries of every visible window, as described above.
QJsonArray screenMap();

// Writes screenMap() to `path` now and whenever it changes (looked at four times a second),
// each time whole (written beside it and renamed over it), for as long as `owner` lives.
// Nothing when `path` is empty.
void startScreenMap(const QString& path, QObject* owner = nullptr);

}  // namespace ui
