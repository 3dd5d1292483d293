// The group choice and the name-entry popup: group lists taken apart and put together, the
// rows for groups that are no longer categories, check marks, delete, new and the popup.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>

#include "people/category_dlg.h"
#include "people/category_rows.h"
#include "people/name_input_wnd.h"
#include "person_edit_fixture.h"
#include "ui/bitmap_button.h"

using namespace people;
using testsupport::commitText;
using testsupport::tap;

namespace {

const QString kNotIn = NotInGroupListSuffix.toString();

TEST(GroupListText, SplitsAtCommasAndJoinsWithCommaAndBlank) {
    EXPECT_EQ(splitGroupList(QString()), QStringList());
    EXPECT_EQ(splitGroupList(QStringLiteral("VIP")), QStringList{QStringLiteral("VIP")});
    const QStringList two{QStringLiteral("주요 고객"), QStringLiteral("VIP")};
    EXPECT_EQ(splitGroupList(joinGroupList(two)), two);
    // Only the joiner's blank is dropped; a list cut after a comma leaves no empty name.
    EXPECT_EQ(splitGroupList(QStringLiteral("A,B,  C")),
              (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral(" C")}));
    EXPECT_EQ(splitGroupList(QStringLiteral("A, B,")),
              (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
}

TEST(GroupListText, RowsCheckCategoriesAndAppendNamesThatAreNone) {
    const std::vector<std::u16string> categories{u"A", u"C"};
    const std::vector<CategoryRow> rows = categoryRows(categories, QStringLiteral("B, A"));
    const std::vector<CategoryRow> expected{
        {QStringLiteral("A"), true}, {QStringLiteral("C"), false}, {"B" + kNotIn, true}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(checkedGroupList(rows), QStringLiteral("A, B"));

    const QStringList texts{QStringLiteral("A"), QStringLiteral("C"), "B" + kNotIn};
    EXPECT_EQ(examineEnteredName(texts, QStringLiteral("A")).kind, EnteredName::AlreadyCategory);
    const EnteredName revived = examineEnteredName(texts, QStringLiteral("B"));
    EXPECT_EQ(revived.kind, EnteredName::ReviveRow);
    EXPECT_EQ(revived.row, 2);
    EXPECT_EQ(examineEnteredName(texts, QStringLiteral("D")).kind, EnteredName::NewCategory);
}

class CategoryDlgTest : public PeopleScreenTest {
protected:
    // Categories A and B, of which B is deleted again: a person may still hold B.
    void SetUp() override {
        PeopleScreenTest::SetUp();
        for (const char16_t* name : {u"A", u"B"}) ASSERT_TRUE(view.store().AddCategory(name));
        ASSERT_TRUE(view.store().DeleteCategory(u"B"));
    }

    void open(const QString& initial) {
        dlg.SetGroupList(initial);
        ASSERT_TRUE(testsupport::showExposed(&dlg));
    }
    QTreeWidgetItem* row(const QString& text) {
        const auto found = dlg.list()->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found[0];
    }
    ::testing::AssertionResult tapCheckBox(const QString& text) {
        QTreeWidgetItem* item = row(text);
        if (!item) return ::testing::AssertionFailure() << "no row " << text.toStdString();
        const int index = dlg.list()->indexOfTopLevelItem(item);
        return tap(dlg.list()->viewport(), dlg.checkBoxRect(index).center());
    }
    ::testing::AssertionResult tapText(const QString& text) {
        QTreeWidgetItem* item = row(text);
        if (!item) return ::testing::AssertionFailure() << "no row " << text.toStdString();
        const QRect r = dlg.list()->visualItemRect(item);
        return tap(dlg.list()->viewport(), QPoint(r.left() + 60, r.center().y()));
    }
    ::testing::AssertionResult press(int id) { return tap(dlg.control<ui::BitmapButton>(id)); }
    // Types into the popup and presses its OK.
    ::testing::AssertionResult enterName(const QString& name) {
        CNameInputWnd* popup = dlg.nameInput();
        popup->edit()->clear();
        commitText(popup->edit(), name);
        return tap(ui::control<ui::BitmapButton>(popup, CNameInputWnd::OkButton));
    }
    QStringList rowTexts() const {
        QStringList out;
        for (const CategoryRow& r : dlg.rows()) out << r.text;
        return out;
    }
    QStringList checkedTexts() const {
        QStringList out;
        for (const CategoryRow& r : dlg.rows()) {
            if (r.checked) out << r.text;
        }
        return out;
    }

    CCategoryDlg dlg{view};
};

TEST_F(CategoryDlgTest, AGroupThatIsNoLongerACategoryShowsCheckedAndComesBack) {
    open(QStringLiteral("A, B"));
    EXPECT_EQ(checkedTexts(), (QStringList{QStringLiteral("A"), "B" + kNotIn}));
    EXPECT_EQ(rowTexts().last(), "B" + kNotIn);
    EXPECT_EQ(dlg.list()->headerItem()->text(0), QStringLiteral("카테고리 종류"));

    // Such a row cannot be deleted: it is no category.
    ASSERT_TRUE(tapText("B" + kNotIn));
    ASSERT_TRUE(press(CCategoryDlg::DeleteButton));

    // Entering B makes it a category again, in place and still checked.
    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    ASSERT_TRUE(enterName(QStringLiteral("B")));
    EXPECT_FALSE(dlg.nameInput()->isVisible());
    EXPECT_EQ(checkedTexts(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(categories().back(), u"B");

    ASSERT_TRUE(press(CCategoryDlg::CloseButton));
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetGroupList(), QStringLiteral("A, B"));
    // B is offered again by the main view's group filters.
    EXPECT_EQ(view.refreshes, 1);
}

TEST_F(CategoryDlgTest, CloseReturnsTheCheckedGroupsInRowOrder) {
    open(QStringLiteral("B, A"));
    ASSERT_TRUE(press(CCategoryDlg::CloseButton));
    EXPECT_EQ(dlg.GetGroupList(), QStringLiteral("A, B"));
    EXPECT_EQ(view.refreshes, 0);
}

TEST_F(CategoryDlgTest, UncheckingEveryRowReturnsTheEmptyList) {
    open(QStringLiteral("A, B"));
    const QString selectedBefore = dlg.selectedGroupName();
    ASSERT_TRUE(tapCheckBox(QStringLiteral("A")));
    ASSERT_TRUE(tapCheckBox("B" + kNotIn));
    EXPECT_TRUE(checkedTexts().isEmpty());
    // A tap on a check box only toggles the check.
    EXPECT_EQ(dlg.selectedGroupName(), selectedBefore);
    EXPECT_TRUE(dlg.list()->selectedItems().isEmpty());
    ASSERT_TRUE(press(CCategoryDlg::CloseButton));
    EXPECT_EQ(dlg.GetGroupList(), QString());
}

TEST_F(CategoryDlgTest, DeletingACategoryResetsTheChecksToTheInitialList) {
    open(QStringLiteral("A"));
    ASSERT_TRUE(tapCheckBox(QStringLiteral("VIP")));
    ASSERT_TRUE(tapCheckBox(QStringLiteral("A")));
    ASSERT_TRUE(tapText(QStringLiteral("공급자")));
    EXPECT_EQ(dlg.selectedGroupName(), QStringLiteral("공급자"));

    messages.expect(QStringLiteral("그룹 공급자를 정말 삭제하시겠습니까?"), shell::IDNO);
    ASSERT_TRUE(press(CCategoryDlg::DeleteButton));
    EXPECT_TRUE(rowTexts().contains(QStringLiteral("공급자")));
    EXPECT_EQ(checkedTexts(), QStringList{QStringLiteral("VIP")});

    messages.expect(QStringLiteral("그룹 공급자를 정말 삭제하시겠습니까?"), shell::IDYES);
    ASSERT_TRUE(press(CCategoryDlg::DeleteButton));
    EXPECT_EQ(messages.shown().back().icon, shell::Icon::Stop);
    EXPECT_FALSE(rowTexts().contains(QStringLiteral("공급자")));
    EXPECT_EQ(checkedTexts(), QStringList{QStringLiteral("A")});
    const std::vector<std::u16string> left = categories();
    EXPECT_EQ(std::count(left.begin(), left.end(), u"공급자"), 0);
    // The deleted name is no longer chosen: a second Delete asks nothing.
    ASSERT_TRUE(press(CCategoryDlg::DeleteButton));

    dlg.reject();
    EXPECT_EQ(view.refreshes, 1);
}

TEST_F(CategoryDlgTest, NewShowsOnePopupAndAddsOnlyNewNames) {
    open(QString());
    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    CNameInputWnd* popup = dlg.nameInput();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->geometry(), QRect(32, 70, 176, 70));
    commitText(popup->edit(), QStringLiteral("동호"));
    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    EXPECT_EQ(dlg.findChildren<CNameInputWnd*>().size(), 1);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(dlg.children().last(), popup);                   // on top
    EXPECT_EQ(popup->edit()->text(), QStringLiteral("동호"));  // the same popup, not a new one

    // A name that already is a category adds nothing and says nothing.
    const size_t before = categories().size();
    ASSERT_TRUE(enterName(QStringLiteral("VIP")));
    EXPECT_EQ(categories().size(), before);

    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    EXPECT_EQ(popup->edit()->text(), QString());
    ASSERT_TRUE(enterName(QStringLiteral("동호회")));
    EXPECT_EQ(categories().back(), u"동호회");
    EXPECT_EQ(rowTexts().last(), QStringLiteral("동호회"));
    EXPECT_EQ(categories().size(), before + 1);
}

TEST_F(CategoryDlgTest, PopupRefusesEmptyNamesAndTheListSeparators) {
    open(QString());
    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    CNameInputWnd* popup = dlg.nameInput();
    QSignalSpy entered(popup, &CNameInputWnd::nameEntered);
    messages.expect(QStringLiteral("입력하신 내용이 없습니다."));
    ASSERT_TRUE(enterName(QString()));
    for (const QString& bad : {QStringLiteral("!VIP"), QStringLiteral("가족,친척")}) {
        messages.expect(QStringLiteral("< ! > 와 < , > 등의 특수문자를 사용하실수 없습니다."));
        ASSERT_TRUE(enterName(bad));
    }
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(entered.count(), 0);
    const size_t before = categories().size();

    ASSERT_TRUE(tap(ui::control<ui::BitmapButton>(popup, CNameInputWnd::CloseButton)));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(categories().size(), before);
}

TEST_F(CategoryDlgTest, ANameWithASemicolonIsRefusedAndNothingStored) {
    // A stored group list may hold such a name; entered here, it never becomes a category.
    open(QStringLiteral("A, 친구;동료"));
    const std::vector<std::u16string> before = categories();
    const QStringList rowsBefore = rowTexts();
    for (const QString& bad : {QStringLiteral("가족;친척"), QStringLiteral("친구;동료")}) {
        ASSERT_TRUE(press(CCategoryDlg::NewButton));
        messages.expect(QStringLiteral("그룹 이름에는 < ; > 특수문자를 사용하실수 없습니다."));
        ASSERT_TRUE(enterName(bad));
    }
    EXPECT_EQ(categories(), before);
    EXPECT_EQ(rowTexts(), rowsBefore);
    ASSERT_TRUE(press(CCategoryDlg::CloseButton));
    EXPECT_EQ(view.refreshes, 0);
}

TEST_F(CategoryDlgTest, Screenshot) {
    open(QStringLiteral("VIP, 주요 고객, B"));
    ASSERT_TRUE(tapText(QStringLiteral("주요 고객")));
    ASSERT_TRUE(press(CCategoryDlg::NewButton));
    commitText(dlg.nameInput()->edit(), QStringLiteral("대학 동기"));
    EXPECT_FALSE(testsupport::screenshot(&dlg, QStringLiteral("category_choice")).isEmpty());
}

}  // namespace
