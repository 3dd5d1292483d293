// Message boxes as the device draws them, and the greyed look of commands that cannot be chosen.
#include "shell/message_box.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "qt/screen_test.h"
#include "shell/message_box_dialog.h"
#include "shell/message_box_layout.h"
#include "shell/shell.h"
#include "ui/menu_resource.h"
#include "ui/resources.h"

namespace {

using namespace shell;

const QString kQuestion = QStringLiteral("저장 되었습니다. 기념일 정보를 추가하시겠습니까? ");
const QString kShort = QStringLiteral("업데이트 되었습니다..");

QString longText() {
    QStringList words;
    for (int i = 0; i < 120; ++i) words << QStringLiteral("데이터를 확인하세요");
    return words.join(u' ');
}

// Every part of a laid-out box lies inside the box and the box inside `area`.
void expectFits(const MessageBoxLayout& l, const QRect& area, const QFontMetrics& fm) {
    EXPECT_TRUE(area.contains(l.box)) << "box leaves the free desktop";
    const QRect inside(QPoint(0, 0), l.box.size());
    EXPECT_TRUE(inside.contains(l.title));
    EXPECT_TRUE(inside.contains(l.text));
    for (const QRect& b : l.buttons) {
        EXPECT_TRUE(inside.contains(b));
        EXPECT_GT(b.top(), l.text.bottom()) << "a button over the text";
        EXPECT_GE(b.height(), 24) << "too small for a fingertip";
    }
    for (const QString& line : l.lines) EXPECT_LE(fm.horizontalAdvance(line), l.text.width());
}

TEST(MessageBoxLayout, ShortTextsAndQuestionsTakeTheScreenWidthWithButtonsAlongTheBottom) {
    const QFontMetrics fm(ui::deviceFont());
    const QRect desktop(0, 26, 240, 294);

    const MessageBoxLayout ok = layoutMessageBox(kShort, false, 1, fm, desktop);
    expectFits(ok, desktop, fm);
    EXPECT_EQ(ok.box.left(), 8);
    EXPECT_EQ(ok.box.width(), 224);
    EXPECT_EQ(ok.lines, QStringList({kShort}));
    EXPECT_FALSE(ok.textScrolls);
    ASSERT_EQ(ok.buttons.size(), 1u);
    EXPECT_LE(std::abs(ok.buttons[0].center().x() - ok.box.width() / 2), 1)
        << "a lone OK in the middle";
    EXPECT_EQ(ok.box.height() - 1 - ok.buttons[0].bottom(), 1 + 8) << "on the bottom edge";
    EXPECT_LT(ok.box.height(), 120) << "a one-line message is a small box";

    // The question wraps at its blank, never inside a word, and its two buttons share the row.
    const MessageBoxLayout yesNo = layoutMessageBox(kQuestion, true, 2, fm, desktop);
    expectFits(yesNo, desktop, fm);
    EXPECT_GE(yesNo.lines.size(), 2);
    EXPECT_EQ(yesNo.lines.join(u' '), kQuestion.simplified());
    ASSERT_EQ(yesNo.buttons.size(), 2u);
    EXPECT_EQ(yesNo.buttons[0].width(), yesNo.buttons[1].width());
    EXPECT_EQ(yesNo.buttons[0].top(), yesNo.buttons[1].top());
    EXPECT_LT(yesNo.buttons[0].right(), yesNo.buttons[1].left());
    EXPECT_GE(yesNo.buttons[1].right() - yesNo.buttons[0].left(), 180) << "the whole row";
    EXPECT_FALSE(yesNo.icon.isEmpty());
    EXPECT_GT(yesNo.text.left(), yesNo.icon.right());

    const MessageBoxLayout three = layoutMessageBox(kShort, false, 3, fm, desktop);
    expectFits(three, desktop, fm);
    EXPECT_EQ(three.buttons.size(), 3u);
}

TEST(MessageBoxLayout, ALongTextScrollsInsideABoxThatStaysOnTheScreenAboveThePanel) {
    const QFontMetrics fm(ui::deviceFont());
    for (const QRect& area : {QRect(0, 26, 240, 294), QRect(0, 26, 240, 188)}) {
        const MessageBoxLayout l = layoutMessageBox(longText(), true, 2, fm, area);
        expectFits(l, area, fm);
        EXPECT_TRUE(l.textScrolls);
        EXPECT_EQ(l.text.height() % l.lineHeight, 0) << "whole lines";
        EXPECT_GT(int(l.lines.size()) * l.lineHeight, l.text.height());
        EXPECT_EQ(l.lines.join(u' '), longText());
    }
}

TEST(MessageBoxLayout, WrapsAtBlanksKeepsLineBreaksAndCutsOnlyWordsWiderThanALine) {
    const QFontMetrics fm(ui::deviceFont());
    const QString word = QStringLiteral("가나다라마바사아자차카타파하");
    const int narrow = fm.horizontalAdvance(word.left(5));
    const QStringList cut = wrapAtWords(word, fm, narrow);
    EXPECT_EQ(cut.join(QString()), word);
    for (const QString& line : cut) EXPECT_LE(fm.horizontalAdvance(line), narrow);
    EXPECT_GE(cut.size(), 3);

    EXPECT_EQ(wrapAtWords(QStringLiteral("첫 줄\n둘째 줄"), fm, 200),
              QStringList({"첫 줄", "둘째 줄"}));
    EXPECT_EQ(wrapAtWords(QStringLiteral("하나 둘 셋"), fm, fm.horizontalAdvance("하나 둘")),
              QStringList({"하나 둘", "셋"}));
    EXPECT_EQ(wrapAtWords(QString(), fm, 100), QStringList({QString()}));
}

class DeviceMessageBox : public testsupport::ScreenTest {
protected:
    // Shows a real box, lets `work` look at it and answers it by tapping button `tap`.
    int runBox(const QString& text, unsigned flags, int tapIndex, const QString& shot,
               const std::function<void(MessageBoxDialog&)>& work = nullptr) {
        MessageResponder* previous = setMessageResponder(nullptr);
        QTimer poll;
        poll.callOnTimeout([&] {
            auto* box = qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll.stop();
            EXPECT_TRUE(testsupport::showExposed(box));
            if (work) work(*box);
            EXPECT_FALSE(testsupport::screenshot(box, shot).isEmpty());
            EXPECT_TRUE(testsupport::tap(box->buttons().at(tapIndex)));
        });
        poll.start(10);
        const int answer = messageBox(nullptr, text, QStringLiteral("Quorin"), flags);
        setMessageResponder(previous);
        return answer;
    }
};

TEST_F(DeviceMessageBox, IsAFramedBoxWithItsTitleAndTheAnswerOfTheButtonTapped) {
    const int answer = runBox(kQuestion, MB_YESNO | MB_ICONQUESTION, 0, "message_box_question",
                              [](MessageBoxDialog& box) {
                                  EXPECT_EQ(box.geometry(), box.boxLayout().box);
                                  EXPECT_TRUE(QRect(0, 26, 240, 294).contains(box.geometry()));
                                  EXPECT_EQ(box.caption(), "Quorin");
                                  const QImage pic = box.grab().toImage();
                                  // The title band, and a dark frame around the white box.
                                  EXPECT_EQ(pic.pixelColor(40, 2), QColor(0, 51, 128));
                                  EXPECT_LT(pic.pixelColor(0, pic.height() / 2).lightness(), 80);
                                  EXPECT_EQ(pic.pixelColor(4, pic.height() / 2), Qt::white);
                              });
    EXPECT_EQ(answer, IDYES);

    EXPECT_EQ(runBox(kShort, MB_OK, 0, "message_box_ok"), IDOK);
}

TEST_F(DeviceMessageBox, StaysAboveTheRaisedInputPanelEvenWithALongText) {
    raiseInputPanel();
    const int answer = runBox(
        longText(), MB_YESNO | MB_ICONSTOP, 1, "message_box_long", [](MessageBoxDialog& box) {
            EXPECT_TRUE(visibleDesktop().contains(box.geometry()));
            EXPECT_TRUE(box.boxLayout().textScrolls);
            for (QPushButton* b : box.buttons()) {
                EXPECT_TRUE(
                    visibleDesktop().contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())));
            }
        });
    EXPECT_EQ(answer, IDNO);
}

// The darkest pixel of an action's row in a rendered menu.
int darkestIn(QMenu& menu, QAction* action) {
    menu.adjustSize();
    const QImage pic = menu.grab().toImage();
    const QRect row = menu.actionGeometry(action) & pic.rect();
    int darkest = 255;
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x <= row.right(); ++x) {
            darkest = std::min(darkest, pic.pixelColor(x, y).lightness());
        }
    }
    return darkest;
}

TEST(GreyedCommands, AreDrawnGrey) {
    ui::MenuResource menu;
    QAction* greyed = menu.action(32819);
    QAction* normal = menu.action(32818);
    ASSERT_TRUE(greyed && normal);
    ASSERT_FALSE(greyed->associatedObjects().isEmpty());
    QMenu* tools = qobject_cast<QMenu*>(greyed->associatedObjects().front());
    ASSERT_NE(tools, nullptr);
    EXPECT_LT(darkestIn(*tools, normal), 40) << "normal commands are black";
    EXPECT_GT(darkestIn(*tools, greyed), 90) << "a greyed command must not be drawn black";
}

}  // namespace
