// Menu resources: the program's menus built from their tables, one QMenu per popup, each
// command an action whose data is its command id.
#pragma once

#include <QString>
#include <memory>
#include <span>
#include <vector>

class QAction;
class QMenu;

namespace ui {

// One line of a menu table, in the order a resource script writes it.
struct MenuLine {
    enum Kind { Popup, Item, Separator, End };
    Kind kind;
    int id = 0;                      // Item: the command id
    const char16_t* text = nullptr;  // Popup and Item
    bool grayed = false;             // Item
};

// The table of menu resource `id`; empty for a number that has none.
std::span<const MenuLine> menuTable(int id);

// The popups of menu 128, in order.
enum Menu128Popup { FilePopup = 0, DatePopup, PersonPopup, EventPopup, EditPopup };

class MenuResource {
public:
    // Builds the menus of resource `id`; an unknown id gives no popups.
    explicit MenuResource(int id = 128);
    ~MenuResource();
    MenuResource(const MenuResource&) = delete;
    MenuResource& operator=(const MenuResource&) = delete;

    int popupCount() const { return int(popups_.size()); }
    // Top-level popup `index` (nullptr out of range); its title is the table's text.
    QMenu* popup(int index) const;
    // The action of `commandId` in any popup or submenu, nullptr when there is none.
    QAction* action(int commandId) const;

    // The command id an action carries, 0 for separators, submenus and foreign actions.
    static int commandOf(const QAction* action);

private:
    std::vector<std::unique_ptr<QMenu>> popups_;
};

}  // namespace ui
