#include "modal.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <utility>

namespace ui {
namespace {
ModalHook g_modalHook;
MenuHook g_menuHook;
}  // namespace

int runModal(QDialog& dialog) {
    return g_modalHook ? g_modalHook(dialog) : dialog.exec();
}

ModalHook setModalHook(ModalHook hook) {
    return std::exchange(g_modalHook, std::move(hook));
}

QAction* popupMenu(QMenu& menu, const QPoint& globalPos) {
    if (!g_menuHook) return menu.exec(globalPos);
    QAction* chosen = g_menuHook(menu, globalPos);
    if (!chosen || !chosen->isEnabled() || chosen->isSeparator() || chosen->menu()) {
        return nullptr;
    }
    chosen->trigger();
    return chosen;
}

MenuHook setMenuHook(MenuHook hook) {
    return std::exchange(g_menuHook, std::move(hook));
}

}  // namespace ui
