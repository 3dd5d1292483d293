// Modal runs. Every modal dialog and pop-up menu of the screens runs through here, so that a
// test can drive them (including one opened from inside another) without a blocking loop.
#pragma once

#include <QPoint>
#include <functional>

class QAction;
class QDialog;
class QMenu;

namespace ui {

// Runs `dialog` modally and returns its result (QDialog::Accepted, Rejected, or the code
// given to done()).
int runModal(QDialog& dialog);
// Runs `dialog` instead of exec(): shows it, works it and returns its result.
using ModalHook = std::function<int(QDialog&)>;
// Installs `hook` (nullptr: exec() again) and returns the previous one.
ModalHook setModalHook(ModalHook hook);

// Opens `menu` with its top left corner at `globalPos` and triggers the command chosen.
// Returns that action, or nullptr when the menu was dismissed.
QAction* popupMenu(QMenu& menu, const QPoint& globalPos);
// Chooses from a menu instead of showing it; returns the action to trigger or nullptr. A
// greyed action is not triggered: it cannot be chosen on the device either.
using MenuHook = std::function<QAction*(QMenu&, const QPoint&)>;
MenuHook setMenuHook(MenuHook hook);

}  // namespace ui
