#include "menu_resource.h"

#include <QAction>
#include <QMenu>

namespace ui {
namespace {

using L = MenuLine;

// The application menu (File) and the context menus of the screens.
constexpr MenuLine kMenu128[] = {
    {L::Popup, 0, u"File"},
    {L::Item, 32771, u"미팅 내역"},
    {L::Item, 32772, u"사람 관리"},
    {L::Item, 32773, u"약속 관리"},
    {L::Popup, 0, u"도구"},
    {L::Item, 32813, u"Today 설정"},
    {L::Item, 32818, u"포켓 아웃룩 주소록"},
    {L::Item, 32819, u"아웃룩 익스프레스 주소록", true},
    {L::End},
    {L::Item, 32787, u"끝내기"},
    {L::End},
    {L::Popup, 0, u"Date"},
    {L::Item, 32802, u"약속 편집"},
    {L::Separator},
    {L::Item, 32821, u"약속 삭제"},
    {L::End},
    {L::Popup, 0, u"Person"},
    {L::Item, 32800, u"새 약속"},
    {L::Item, 32822, u"기념일 관리"},
    {L::Separator},
    {L::Item, 32798, u"자세히 보기"},
    {L::Item, 32799, u"편집"},
    {L::Item, 32794, u"삭제"},
    {L::End},
    {L::Popup, 0, u"Event"},
    {L::Item, 32823, u"기념일 편집"},
    {L::Separator},
    {L::Item, 32820, u"기념일 삭제"},
    {L::End},
    {L::Popup, 0, u"Edit"},
    {L::Item, 32825, u"삭제"},
    {L::End},
};

// Fills `menu` from `lines` up to the End that closes it; returns the line after that End.
std::span<const MenuLine> fill(QMenu& menu, std::span<const MenuLine> lines) {
    while (!lines.empty()) {
        const MenuLine& line = lines.front();
        lines = lines.subspan(1);
        switch (line.kind) {
            case L::Popup:
                lines = fill(*menu.addMenu(QString::fromUtf16(line.text)), lines);
                break;
            case L::Item: {
                QAction* action = menu.addAction(QString::fromUtf16(line.text));
                action->setData(line.id);
                action->setEnabled(!line.grayed);
                break;
            }
            case L::Separator:
                menu.addSeparator();
                break;
            case L::End:
                return lines;
        }
    }
    return lines;
}

QAction* find(const QMenu& menu, int commandId) {
    for (QAction* action : menu.actions()) {
        if (QMenu* sub = action->menu()) {
            if (QAction* hit = find(*sub, commandId)) return hit;
        } else if (MenuResource::commandOf(action) == commandId) {
            return action;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const MenuLine> menuTable(int id) {
    if (id == 128) return kMenu128;
    return {};
}

MenuResource::MenuResource(int id) {
    std::span<const MenuLine> lines = menuTable(id);
    while (!lines.empty() && lines.front().kind == L::Popup) {
        auto menu = std::make_unique<QMenu>(QString::fromUtf16(lines.front().text));
        lines = fill(*menu, lines.subspan(1));
        popups_.push_back(std::move(menu));
    }
}

MenuResource::~MenuResource() = default;

QMenu* MenuResource::popup(int index) const {
    return index >= 0 && index < popupCount() ? popups_[index].get() : nullptr;
}

QAction* MenuResource::action(int commandId) const {
    if (commandId == 0) return nullptr;
    for (const auto& menu : popups_) {
        if (QAction* hit = find(*menu, commandId)) return hit;
    }
    return nullptr;
}

int MenuResource::commandOf(const QAction* action) {
    if (!action || action->isSeparator() || action->menu()) return 0;
    return action->data().toInt();
}

}  // namespace ui
