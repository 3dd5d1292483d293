// The input panel typing into the person editor's fields: Hangul composed key by key, shown
// while it grows and committed when the user moves on, the other layouts, the field's limit,
// and the panel coming and going as the screens and its button ask.
#include "ui/input_panel.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "people/person_edit_dlg.h"
#include "person_edit_fixture.h"
#include "shell/shell.h"
#include "ui/bitmap_button.h"

using namespace people;
using namespace people::person_edit;
using testsupport::tap;

namespace {

const QString kSavedAsk = QStringLiteral("저장 되었습니다. 기념일 정보를 추가하시겠습니까? ");

class InputPanelTest : public PeopleScreenTest {
protected:
    // Taps `w` at `pos` through its window, as the screen's pointer does: the tap meets the
    // modal dialog's blocking on the way (a tap sent to the widget itself would not).
    static void tapWindow(QWidget* w, QPoint pos) {
        ASSERT_TRUE(w->isVisible()) << w->objectName().toStdString();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w->windowHandle()));
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
    }
    // Raises the panel with its command-bar button and waits until it can be tapped.
    void raiseByHand() {
        // The editor is a real application-modal dialog; the panel works over it.
        ASSERT_EQ(QApplication::activeModalWidget(), dlgWindow());
        QTest::qWait(1);  // the panel follows the dialog once it is shown
        tapWindow(panel.button(), panel.button()->rect().center());
        ASSERT_TRUE(shell::isInputPanelOn());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.windowHandle()));
    }
    // Taps the keys drawn with these labels, in order (" " is the space bar).
    void keys(std::initializer_list<const char*> labels) {
        for (const char* label : labels) {
            const ui::PanelKey* key = panel.keyLabelled(QString::fromUtf8(label));
            for (const ui::PanelKey& k : panel.keys()) {
                if (k.kind == ui::PanelKey::Space && label == std::string(" ")) key = &k;
            }
            ASSERT_NE(key, nullptr) << "no key " << label;
            tapWindow(&panel, key->rect.center());
        }
    }
    // Runs the person editor for a new person; `work` types into it.
    void inNewPersonEditor(const std::function<void(CPersonEditDlg&, QLineEdit&)>& work) {
        modals.expect<CPersonEditDlg>([&](CPersonEditDlg& dlg) {
            QLineEdit* name = dlg.edit(NameEdit);
            ASSERT_TRUE(name->hasFocus());
            work(dlg, *name);
            if (dlg.isVisible()) {
                shell::lowerInputPanel();
                ASSERT_TRUE(tap(dlg.control<ui::BitmapButton>(DoneButton)));
            }
        });
        RunPersonEditor(view, 0, true);
    }

    static QWidget* dlgWindow() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<CPersonEditDlg*>(w) && w->isVisible()) return w;
        }
        return nullptr;
    }

    ui::InputPanel panel;
};

TEST_F(InputPanelTest, TypesAKoreanNameThatIsSavedWhenUpdateIsTapped) {
    inNewPersonEditor([&](CPersonEditDlg& dlg, QLineEdit& name) {
        raiseByHand();
        EXPECT_EQ(panel.geometry(), QRect(0, 214, 240, 80));
        EXPECT_EQ(dlg.height(), 188) << "the form gives way to the panel";
        EXPECT_EQ(panel.keyboardLayout(), ui::KeyboardLayout::Korean);

        keys({"ㄱ", "ㅏ", "ㅁ"});
        EXPECT_EQ(panel.preedit(), "감");
        EXPECT_EQ(name.text(), "") << "a syllable is not in the text until it is committed";
        keys({"ㄱ", "ㅣ", "ㅁ", "ㅁ", "ㅣ", "ㄴ", "ㅅ", "ㅜ"});
        EXPECT_EQ(name.text(), "감김민");
        EXPECT_EQ(panel.preedit(), "수");
        EXPECT_TRUE(testsupport::screenshotScreen("input_panel_korean_composing").size());

        // Tapping Update commits the syllable first, so the whole name is saved. The form is
        // scrolled down to the button, which the panel covers.
        dlg.OnVScroll(CPersonEditDlg::SB_BOTTOM);
        EXPECT_EQ(panel.preedit(), "수");
        messages.expect(kSavedAsk, shell::IDNO);
        ASSERT_TRUE(tap(dlg.control<ui::BitmapButton>(UpdateButton)));
    });
    ASSERT_EQ(persons().size(), 1u);
    EXPECT_EQ(qtext(text(persons()[0].name)), "감김민수");
}

TEST_F(InputPanelTest, SyllablesGrowSplitAndShrinkAsTheEngineComposesThem) {
    inNewPersonEditor([&](CPersonEditDlg& dlg, QLineEdit& name) {
        raiseByHand();
        // 가 + ㅁ + ㅏ: the final consonant moves on to start the next syllable.
        keys({"ㄱ", "ㅏ", "ㅁ"});
        EXPECT_EQ(panel.preedit(), "감");
        keys({"ㅏ"});
        EXPECT_EQ(name.text(), "가");
        EXPECT_EQ(panel.preedit(), "마");
        keys({"한/영"});  // a layout switch commits
        EXPECT_EQ(name.text(), "가마");
        EXPECT_EQ(panel.keyboardLayout(), ui::KeyboardLayout::English);
        keys({"한/영"});
        name.clear();

        // Shift for one key: the doubled consonant, then the plain keys again.
        keys({"⇧", "ㄲ"});
        EXPECT_EQ(panel.keyLabelled("ㄲ"), nullptr);
        EXPECT_NE(panel.keyLabelled("ㄱ"), nullptr);
        keys({"ㅏ"});
        EXPECT_EQ(panel.preedit(), "까");
        // Compound vowels, and ㄺ that splits when a vowel follows.
        keys({"ㄱ", "ㅗ", "ㅏ"});
        EXPECT_EQ(panel.preedit(), "과");
        keys({"ㄷ", "ㅏ", "ㄹ", "ㄱ"});
        EXPECT_EQ(panel.preedit(), "닭");
        keys({"ㅣ"});
        EXPECT_EQ(name.text(), "까과달");
        EXPECT_EQ(panel.preedit(), "기");
        keys({"ㄱ", "⇧", "ㅒ", "ㅁ", "ㅜ", "ㅓ", "⇧", "ㅆ", "ㅏ"});
        keys({" "});  // Space is the blank key
        EXPECT_EQ(name.text(), "까과달기걔뭐싸 ");
        EXPECT_EQ(panel.preedit(), "");

        // Backspace inside a syllable takes back one jamo at a time, then whole characters.
        name.clear();
        keys({"ㄱ", "ㅏ", "ㅁ", "←"});
        EXPECT_EQ(panel.preedit(), "가");
        keys({"←"});
        EXPECT_EQ(panel.preedit(), "ㄱ");
        keys({"←"});
        EXPECT_EQ(panel.preedit(), "");
        EXPECT_EQ(name.text(), "");
        keys({"ㄴ", "ㅏ", "ㄴ", "ㅏ", "←", "←"});
        EXPECT_EQ(name.text(), "나");
        EXPECT_EQ(panel.preedit(), "");
        keys({"←"});
        EXPECT_EQ(name.text(), "");

        // A tap in another field commits into the field the syllable was typed in.
        keys({"ㅎ", "ㅏ", "ㄴ"});
        ASSERT_TRUE(tap(dlg.edit(CompanyEdit)));
        EXPECT_EQ(name.text(), "한");
        EXPECT_EQ(dlg.edit(CompanyEdit)->text(), "");
        EXPECT_TRUE(dlg.edit(CompanyEdit)->hasFocus());
        // So does a focus change made by the program, and a key of a physical keyboard
        // lands after the syllable.
        keys({"ㅂ", "ㅣ", "ㅊ"});
        dlg.edit(TitleEdit)->setFocus();
        EXPECT_EQ(dlg.edit(CompanyEdit)->text(), "빛");
        keys({"ㄱ", "ㅏ"});
        QTest::keyClicks(dlg.edit(TitleEdit), "x1");
        EXPECT_EQ(dlg.edit(TitleEdit)->text(), "가x1");
    });
}

TEST_F(InputPanelTest, EnglishDigitsReturnAndANameAtItsFieldLimit) {
    inNewPersonEditor([&](CPersonEditDlg& dlg, QLineEdit& name) {
        raiseByHand();
        keys({"한/영", "⇧", "K", "i", "m", "123", "7", "-", "abc"});
        EXPECT_EQ(name.text(), "Kim7-");
        EXPECT_EQ(panel.keyboardLayout(), ui::KeyboardLayout::English);
        EXPECT_TRUE(testsupport::screenshotScreen("input_panel_english").size());
        keys({"123"});
        EXPECT_TRUE(testsupport::screenshotScreen("input_panel_digits").size());
        keys({"abc", "한/영"});
        EXPECT_EQ(panel.keyboardLayout(), ui::KeyboardLayout::Korean);
        // Return goes to the field; it never presses a button of the form.
        keys({"ㅇ", "ㅣ", "↵"});
        EXPECT_EQ(name.text(), "Kim7-이");
        EXPECT_TRUE(dlg.isVisible());

        // At the limit the field takes what fits and no more.
        const int limit = name.maxLength();
        ASSERT_GT(limit, 2);
        ASSERT_LT(limit, 100);
        name.setText(QString(limit - 1, u'나'));
        keys({"ㄱ", "ㅏ", "ㅁ"});
        EXPECT_EQ(panel.preedit(), "감");
        keys({"ㅏ"});  // 가 fills the field; 마 has no room
        EXPECT_EQ(name.text().size(), limit);
        EXPECT_TRUE(name.text().endsWith(u'가'));
        EXPECT_EQ(panel.preedit(), "");
        keys({"ㄷ", "ㅏ", " "});
        EXPECT_EQ(name.text().size(), limit);
        EXPECT_EQ(panel.preedit(), "");
        dlg.OnVScroll(CPersonEditDlg::SB_BOTTOM);
        messages.expect(kSavedAsk, shell::IDNO);
        ASSERT_TRUE(tap(dlg.control<ui::BitmapButton>(UpdateButton)));
    });
    ASSERT_EQ(persons().size(), 1u);
    const QString stored = qtext(text(persons()[0].name));
    EXPECT_EQ(stored.size(), qsizetype(std::size(persons()[0].name)) - 1);
    EXPECT_TRUE(stored.endsWith(u'가'));
}

TEST_F(InputPanelTest, ComesAndGoesAsTheScreensAndItsButtonAsk) {
    EXPECT_TRUE(panel.button()->isVisible());
    EXPECT_EQ(panel.button()->geometry(), ui::InputPanel::kButtonRect);
    EXPECT_FALSE(panel.isVisible());
    shell::raiseInputPanel();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.geometry(), shell::inputPanelRect());
    shell::lowerInputPanel();
    EXPECT_FALSE(panel.isVisible());

    inNewPersonEditor([&](CPersonEditDlg& dlg, QLineEdit& name) {
        raiseByHand();
        keys({"ㅈ", "ㅓ", "ㅇ"});
        // Lowered by its button, the panel commits what was being composed.
        tapWindow(panel.button(), QPoint(5, 5));
        EXPECT_FALSE(shell::isInputPanelOn());
        EXPECT_FALSE(panel.isVisible());
        EXPECT_EQ(name.text(), "정");
        EXPECT_EQ(dlg.height(), 294);
    });
}

TEST_F(InputPanelTest, ItsButtonGivesWayToAMenuOrADialogControlInItsPlace) {
    // A dialog over the whole screen below the task bar with a button reaching into the
    // button's corner, as the sketch library's 닫기 does; and one that leaves the corner free.
    for (const bool reaching : {true, false}) {
        QDialog dialog;
        dialog.setWindowFlags(Qt::FramelessWindowHint);
        dialog.setGeometry(0, 26, 240, 294);
        auto* close = new QPushButton(QStringLiteral("닫기"), &dialog);
        close->setGeometry(reaching ? 180 : 100, 256, 40, 20);
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(1);
        EXPECT_EQ(panel.button()->isVisible(), !reaching) << reaching;
        dialog.reject();
        QTest::qWait(1);
        EXPECT_TRUE(panel.button()->isVisible());
    }
    // A menu whose end runs into the corner.
    QMenu menu;
    for (const char* item : {"포켓 아웃룩 주소록", "약도 관리", "환경 설정"}) menu.addAction(item);
    menu.popup(QPoint(240 - menu.sizeHint().width(), 320 - menu.sizeHint().height() - 2));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::qWait(1);
    EXPECT_FALSE(panel.button()->isVisible());
    menu.close();
    QTest::qWait(1);
    EXPECT_TRUE(panel.button()->isVisible());
}

}  // namespace
