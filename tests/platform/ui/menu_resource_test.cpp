#include "ui/menu_resource.h"

#include <gtest/gtest-spi.h>

#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include "qt/screen_test.h"
#include "ui/modal.h"

namespace {

using ui::MenuResource;

// A popup as "text=id" lines, "-" for a separator, "[title]" for a submenu, "(greyed)" marks.
QStringList describe(const QMenu& menu) {
    QStringList lines;
    for (const QAction* a : menu.actions()) {
        if (a->isSeparator()) {
            lines << QStringLiteral("-");
        } else if (a->menu()) {
            lines << u'[' + a->text() + u']';
            for (const QString& sub : describe(*a->menu())) lines << QStringLiteral("  ") + sub;
        } else {
            lines << a->text() + u'=' + QString::number(MenuResource::commandOf(a)) +
                         (a->isEnabled() ? QString() : QStringLiteral(" (greyed)"));
        }
    }
    return lines;
}

TEST(Menu128, HoldsTheFivePopupsWithTheirCommandsAndSeparators) {
    MenuResource menu(128);
    ASSERT_EQ(menu.popupCount(), 5);
    const QStringList titles = {"File", "Date", "Person", "Event", "Edit"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(menu.popup(i)->title(), titles[i]);

    EXPECT_EQ(describe(*menu.popup(ui::FilePopup)),
              QStringList({"미팅 내역=32771", "사람 관리=32772", "약속 관리=32773", "[도구]",
                           "  Today 설정=32813", "  포켓 아웃룩 주소록=32818",
                           "  아웃룩 익스프레스 주소록=32819 (greyed)", "끝내기=32787"}));
    EXPECT_EQ(describe(*menu.popup(ui::DatePopup)),
              QStringList({"약속 편집=32802", "-", "약속 삭제=32821"}));
    EXPECT_EQ(describe(*menu.popup(ui::PersonPopup)),
              QStringList({"새 약속=32800", "기념일 관리=32822", "-", "자세히 보기=32798",
                           "편집=32799", "삭제=32794"}));
    EXPECT_EQ(describe(*menu.popup(ui::EventPopup)),
              QStringList({"기념일 편집=32823", "-", "기념일 삭제=32820"}));
    EXPECT_EQ(describe(*menu.popup(ui::EditPopup)), QStringList({"삭제=32825"}));
}

TEST(Menu128, LooksCommandsUpByIdAcrossPopupsAndSubmenus) {
    MenuResource menu;
    // 32794 and 32825 share their text; the id tells them apart.
    ASSERT_NE(menu.action(32794), nullptr);
    EXPECT_TRUE(menu.popup(ui::PersonPopup)->actions().contains(menu.action(32794)));
    EXPECT_TRUE(menu.popup(ui::EditPopup)->actions().contains(menu.action(32825)));
    ASSERT_NE(menu.action(32813), nullptr);
    EXPECT_EQ(menu.action(32813)->text(), "Today 설정");
    EXPECT_EQ(menu.action(0), nullptr);
    EXPECT_EQ(menu.action(40000), nullptr);
    EXPECT_EQ(MenuResource(129).popupCount(), 0);
    EXPECT_EQ(menu.popup(5), nullptr);
}

class PopupMenu : public testsupport::ScreenTest {};

TEST_F(PopupMenu, TriggersTheChosenCommandAndReportsWhereItOpened) {
    MenuResource menu;
    QMenu& person = *menu.popup(ui::PersonPopup);
    QSignalSpy menuTriggered(&person, &QMenu::triggered);
    QSignalSpy actionTriggered(menu.action(32799), &QAction::triggered);

    menus.expectChoose(32799);
    QAction* chosen = ui::popupMenu(person, QPoint(30, 26));
    EXPECT_EQ(chosen, menu.action(32799));
    EXPECT_EQ(actionTriggered.count(), 1);
    // Screens connect to the menu's signal as often as to the action's.
    ASSERT_EQ(menuTriggered.count(), 1);
    EXPECT_EQ(menuTriggered.front().front().value<QAction*>(), chosen);
    ASSERT_EQ(menus.shown().size(), 1u);
    EXPECT_EQ(menus.shown()[0].pos, QPoint(30, 26));
    EXPECT_EQ(menus.shown()[0].title, "Person");

    menus.expectDismiss();
    EXPECT_EQ(ui::popupMenu(person, QPoint(0, 0)), nullptr);
    EXPECT_EQ(actionTriggered.count(), 1);
}

TEST_F(PopupMenu, AGreyedCommandCannotBeChosen) {
    MenuResource menu;
    QSignalSpy triggered(menu.action(32819), &QAction::triggered);
    menus.expectChoose(32819);
    EXPECT_NONFATAL_FAILURE(ui::popupMenu(*menu.popup(ui::FilePopup), QPoint(30, 26)), "greyed");
    // Even a hook that insists does not get it triggered.
    ui::MenuHook previous =
        ui::setMenuHook([&](QMenu&, const QPoint&) { return menu.action(32819); });
    EXPECT_EQ(ui::popupMenu(*menu.popup(ui::FilePopup), QPoint(30, 26)), nullptr);
    ui::setMenuHook(previous);
    EXPECT_EQ(triggered.count(), 0);
}

}  // namespace
