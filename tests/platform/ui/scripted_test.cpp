// The harness that every screen test stands on: scripted message boxes and modal runs.
#include <gtest/gtest-spi.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "qt/screen_test.h"
#include "shell/message_box.h"
#include "shell/message_box_dialog.h"
#include "ui/controls.h"
#include "ui/modal.h"

namespace {

using namespace shell;
using testsupport::tap;

class Messages : public testsupport::ScreenTest {};

TEST_F(Messages, AreAnsweredInScriptOrderAndRecorded) {
    messages.expect("정말 이 사람을 삭제하시겠습니까?", IDYES).expectContaining("다시 시도", IDOK);
    EXPECT_EQ(messageBox(nullptr, "정말 이 사람을 삭제하시겠습니까?", "Quorin",
                         MB_YESNO | MB_ICONQUESTION),
              IDYES);
    EXPECT_EQ(messageBox(nullptr, "삭제되지 않았습니다. 다시 시도하여 주십시오.."), IDOK);

    ASSERT_EQ(messages.shown().size(), 2u);
    const testsupport::ShownMessage& question = messages.shown()[0];
    EXPECT_EQ(question.caption, "Quorin");
    EXPECT_EQ(question.buttons, Buttons::YesNo);
    EXPECT_EQ(question.icon, Icon::Question);
    EXPECT_EQ(messages.shown()[1].buttons, Buttons::Ok);
    // No caption: the application's name, as the system's message box shows it.
    EXPECT_EQ(messages.shown()[1].caption, QApplication::applicationDisplayName());
}

TEST_F(Messages, FailTheTestOnAQuestionNotScriptedAndNeverAnswerYes) {
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = messageBox(nullptr, "저장하시겠습니까?", {}, MB_YESNO),
                            "unexpected message box: \"저장하시겠습니까?\"");
    EXPECT_EQ(answer, IDNO);
    EXPECT_NONFATAL_FAILURE(answer = messageBox(nullptr, "?", {}, MB_YESNOCANCEL), "unexpected");
    EXPECT_EQ(answer, IDCANCEL);
    // Still recorded, so the test can say what it was.
    EXPECT_EQ(messages.texts(), QStringList({"저장하시겠습니까?", "?"}));
}

TEST_F(Messages, FailTheTestOnAnotherTextOrAnAnswerTheBoxDoesNotOffer) {
    messages.expect("업데이트 되었습니다..");
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = messageBox(nullptr, "업데이트 되었습니다."),
                            "where the script expects \"업데이트 되었습니다..\"");
    EXPECT_EQ(answer, IDOK);

    messages.expect("선택해 주세요", IDYES);
    EXPECT_NONFATAL_FAILURE(answer = messageBox(nullptr, "선택해 주세요"), "is not a button");
    EXPECT_EQ(answer, IDOK);
}

TEST_F(Messages, FailTheTestForAnExpectedMessageNeverShown) {
    messages.expect("저장하였습니다..");
    EXPECT_NONFATAL_FAILURE(messages.verify(), "never shown: \"저장하였습니다..\"");
}

TEST(MessageBox, CorrectsAnAnswerThatIsNotOneOfItsButtons) {
    struct Careless : MessageResponder {
        int ask(QWidget*, const QString&, const QString&, Buttons, Icon) override { return IDYES; }
    } careless;
    MessageResponder* previous = setMessageResponder(&careless);
    EXPECT_EQ(messageBox(nullptr, "x", {}, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(messageBox(nullptr, "x", {}, MB_YESNO), IDYES);
    setMessageResponder(previous);
}

TEST(MessageBox, OnTheDeviceShowsKoreanButtonsAndAnswersTheOneTapped) {
    MessageResponder* previous = setMessageResponder(nullptr);
    QStringList buttons;
    QTimer poll;
    poll.callOnTimeout([&] {
        auto* box = qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        poll.stop();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        box->buttons().at(1)->click();
    });
    poll.start(10);
    EXPECT_EQ(messageBox(nullptr, "정말 이 사람을 삭제하시겠습니까?", {}, MB_YESNO), IDNO);
    EXPECT_EQ(buttons, QStringList({"예", "아니요"}));
    setMessageResponder(previous);
}

// A dialog with a button (id 1) that runs another dialog modally, as the editors do.
struct OuterDialog : QDialog {
    OuterDialog() {
        auto* open = ui::addControl<QPushButton>(this, 1, {10, 10, 60, 20});
        connect(open, &QPushButton::clicked, this, [this] {
            QDialog inner(this);
            inner.setObjectName("inner");
            ui::addControl<QLineEdit>(&inner, 1044, {10, 10, 100, 20});
            innerResult = ui::runModal(inner);
            innerText = ui::control<QLineEdit>(&inner, 1044)->text();
        });
        resize(240, 200);
    }
    int innerResult = -1;
    QString innerText;
};

class ModalRun : public testsupport::ScreenTest {};

TEST_F(ModalRun, DrivesANestedDialogWithoutBlocking) {
    OuterDialog outer;
    modals
        .expect<OuterDialog>([&](OuterDialog& d) {
            ASSERT_TRUE(tap(ui::control(&d, 1)));
            EXPECT_EQ(d.innerResult, 5);
            EXPECT_EQ(d.innerText, "홍길동");
            d.accept();
        })
        .expect<QDialog>([&](QDialog& inner) {
            EXPECT_TRUE(inner.isVisible());
            EXPECT_TRUE(outer.isVisible());
            testsupport::commitText(ui::control(&inner, 1044), "홍길동");
            inner.done(5);
        });
    EXPECT_EQ(ui::runModal(outer), QDialog::Accepted);
    EXPECT_FALSE(outer.isVisible());
    EXPECT_EQ(modals.ran(), QStringList({"QDialog", "QDialog"}));
}

TEST_F(ModalRun, WaitsForADialogThatClosesLater) {
    QDialog dialog;
    modals.expect<QDialog>([](QDialog& d) { QTimer::singleShot(50, &d, &QDialog::accept); });
    EXPECT_EQ(ui::runModal(dialog), QDialog::Accepted);
}

TEST_F(ModalRun, RejectsADialogLeftOpenAndFails) {
    QDialog dialog;
    modals.setCloseTimeout(50);
    modals.expect<QDialog>([](QDialog&) {});
    int result = -1;
    EXPECT_NONFATAL_FAILURE(result = ui::runModal(dialog), "still open");
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ModalRun, FailsOnADialogNotScriptedOrOfAnotherKind) {
    QDialog plain;
    int result = -1;
    EXPECT_NONFATAL_FAILURE(result = ui::runModal(plain), "unexpected modal dialog");
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(plain.isVisible());

    modals.expect<OuterDialog>();
    EXPECT_NONFATAL_FAILURE(ui::runModal(plain), "where the script expects");
}

TEST_F(ModalRun, DeletesADialogThatDeletesItselfOnClose) {
    QPointer<QDialog> dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    modals.expect<QDialog>([](QDialog& d) { d.done(3); });
    EXPECT_EQ(ui::runModal(*dialog), 3);
    testsupport::processDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
}

}  // namespace
