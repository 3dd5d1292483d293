// Message boxes. Every question and message of the screens goes through messageBox(), which
// hands it to the installed responder: on the device the responder shows a dialog; a test
// installs one that answers from a script.
#pragma once

#include <QString>

class QWidget;

namespace shell {

// The system's flag and answer values, so that screens keep their calls as they stand.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_RETRYCANCEL = 0x5;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONERROR = MB_ICONSTOP;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Stop, Question, Exclamation, Information };

// The buttons and icon that a flag word asks for (unknown button codes give Ok).
Buttons buttonsOf(unsigned flags);
Icon iconOf(unsigned flags);
// Whether `answer` is one of the buttons of `buttons`.
bool isAnswerOf(Buttons buttons, int answer);
// The answer when the box is closed without a button: Cancel where there is one, else No,
// else Ok (so closing a Yes/No question never means Yes).
int dismissAnswer(Buttons buttons);

class MessageResponder {
public:
    virtual ~MessageResponder() = default;
    // Shows (or answers) one message box; returns the IDxxx of the button chosen, which is one
    // of `buttons`.
    virtual int ask(QWidget* parent, const QString& text, const QString& caption, Buttons buttons,
                    Icon icon) = 0;
};

// Installs `responder` (not owned; it must outlive its installation) and returns the one it
// replaces. nullptr restores the responder that shows a dialog.
MessageResponder* setMessageResponder(MessageResponder* responder);
MessageResponder* messageResponder();

// Shows `text` with `caption` (the application's name when empty) and the buttons and icon of
// `flags`; returns the IDxxx of the button chosen. An answer that is not one of the buttons
// (a faulty responder) is replaced by dismissAnswer().
int messageBox(QWidget* parent, const QString& text, const QString& caption = {},
               unsigned flags = MB_OK);

}  // namespace shell
