// The handheld shell around the program: task bar, input panel, visible desktop, wait cursor,
// starting a program by its device path and the file-open dialog. State is per process, as on
// the device. Tests observe every service through notifier() and the hooks below, and
// resetState() puts it all back between tests.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace shell {

// The screen and the strips the shell keeps on it, in device pixels.
inline constexpr QRect kScreenRect{0, 0, 240, 320};
inline constexpr int kTaskBarHeight = 26;  // the system's strip at the top
inline constexpr int kMenuBarHeight = 26;  // the program's command bar at the bottom
// The input panel lies directly above the command bar.
inline constexpr QRect kInputPanelRect{0, 320 - kMenuBarHeight - 80, 240, 80};

// Emits the shell's notices. One instance, owned by the shell.
class Notifier : public QObject {
    Q_OBJECT
signals:
    // The input panel settings changed (raised or lowered).
    void inputPanelChanged();
    void taskBarChanged(bool shown);
    void waitCursorChanged(bool shown);
    // A program was started through execute(), with its host path.
    void executed(const QString& hostProgram);
};
Notifier& notifier();

// --- Task bar (full screen is the task bar hidden and the frame over its strip) ---
void showTaskBar();
void hideTaskBar();
bool isTaskBarShown();
// The system's strip at the top, (0, 0, 240, 26), whether shown or not.
QRect taskBarRect();

// --- Input panel ---
struct InputPanelInfo {
    bool on = false;       // raised
    QRect inputPanel;      // where the panel is (also while lowered)
    QRect visibleDesktop;  // the screen below the task bar strip that the panel leaves free
};
// Fills `info`; false (and `info` unchanged) while failInputPanelInfo is armed.
bool getInputPanelInfo(InputPanelInfo& info);
// Raises or lowers the panel; a change sends inputPanelChanged().
void setInputPanelOn(bool on);
inline void raiseInputPanel() {
    setInputPanelOn(true);
}
inline void lowerInputPanel() {
    setInputPanelOn(false);
}
bool isInputPanelOn();
QRect inputPanelRect();
// (0, 26)-(240, 320) with the panel lowered: the command bar strip counts as free, as the
// system reports it; with the panel raised its bottom is the panel's top.
QRect visibleDesktop();

// --- Wait cursor (nests; shown while any holder is alive) ---
void beginWaitCursor();
void endWaitCursor();
bool isWaitCursorShown();
class WaitCursor {
public:
    WaitCursor() { beginWaitCursor(); }
    ~WaitCursor() { endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// --- Running a program ---
// Starts the program at a device path ("\Program Files\Quorin\Quorin.exe"), detached, with
// this process's environment (so it sees the same device root). False when the file is not
// there or cannot be started.
bool execute(const std::u16string& devicePath);
// What starts a host program; returns whether it started. Tests install one that records.
using Launcher = std::function<bool(const QString& hostProgram)>;
// nullptr restores the launcher that starts a real process. Returns the previous one.
Launcher setLauncher(Launcher launcher);

// --- File-open dialog ---
struct FileOpenRequest {
    // Filter in the system's form: "Sketch Files(*.bmp)|*.bmp|All Files (*.*)|*.*||".
    QString filter;
    QString initialName;  // "*.jpg"
    QString defaultExtension;
};
// The device path of the chosen file, or nullopt when the user cancels. The dialog starts in
// the device root; a file outside it cannot be chosen (it counts as cancel).
std::optional<std::u16string> getOpenFileName(QWidget* parent, const FileOpenRequest& request);
// Answers file-open dialogs instead of showing one. nullptr restores the dialog.
using FileChooser = std::function<std::optional<std::u16string>(const FileOpenRequest&)>;
FileChooser setFileChooser(FileChooser chooser);
// "Sketch Files(*.bmp)|*.bmp|..||" as Qt name filters ("Sketch Files(*.bmp) (*.bmp)", ...).
QStringList qtNameFilters(const QString& systemFilter);

// --- Process set-up ---
// Before the application object: gives the process a private runtime folder
// (/tmp/quorin-runtime-<uid>, mode 0700) when the session names none or one that is not this
// user's, so the toolkit has one without warning about it. The folder is exported, so the
// programs this one starts share it.
void ensurePrivateRuntimeDir();

// --- Tests ---
namespace faults {
// getInputPanelInfo() fails while armed.
void failInputPanelInfo(bool armed);
}  // namespace faults
// Task bar shown, panel lowered, no wait cursor, default launcher and chooser, faults cleared.
void resetState();

}  // namespace shell
