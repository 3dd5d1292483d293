#include "shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <cstdlib>
#include <string>

#include "fs/devfs.h"

namespace shell {
namespace {

struct State {
    bool taskBarShown = true;
    bool inputPanelOn = false;
    int waitDepth = 0;
    bool failInfo = false;
    Launcher launcher;
    FileChooser chooser;
};

State& state() {
    static State s;
    return s;
}

bool startDetached(const QString& hostProgram) {
    // The child inherits this environment, so QUORIN_DEVICE (and the clock setting) carry over.
    return QProcess::startDetached(hostProgram, {});
}

// The device path of a host file inside the device root, or nullopt outside it.
std::optional<std::u16string> toDevicePath(const QString& hostFile) {
    namespace fs = std::filesystem;
    const fs::path root = devfs::deviceRoot();
    const fs::path file = fs::path(hostFile.toStdString()).lexically_normal();
    const fs::path rel = file.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") return std::nullopt;
    std::u16string device;
    for (const fs::path& part : rel) {
        device += u'\\';
        device += QString::fromStdString(part.string()).toStdU16String();
    }
    return device;
}

std::optional<std::u16string> showFileDialog(QWidget* parent, const FileOpenRequest& request) {
    QFileDialog dialog(parent, QString(), QString::fromStdString(devfs::deviceRoot().string()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(qtNameFilters(request.filter));
    if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.initialName.isEmpty() && !request.initialName.contains(u'*')) {
        dialog.selectFile(request.initialName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return toDevicePath(dialog.selectedFiles().front());
}

}  // namespace

Notifier& notifier() {
    static Notifier* n = new Notifier;  // lives to exit: signals may fire during teardown
    return *n;
}

void showTaskBar() {
    if (state().taskBarShown) return;
    state().taskBarShown = true;
    emit notifier().taskBarChanged(true);
}

void hideTaskBar() {
    if (!state().taskBarShown) return;
    state().taskBarShown = false;
    emit notifier().taskBarChanged(false);
}

bool isTaskBarShown() {
    return state().taskBarShown;
}

QRect taskBarRect() {
    return QRect(0, 0, kScreenRect.width(), kTaskBarHeight);
}

bool getInputPanelInfo(InputPanelInfo& info) {
    if (state().failInfo) return false;
    info.on = state().inputPanelOn;
    info.inputPanel = inputPanelRect();
    info.visibleDesktop = visibleDesktop();
    return true;
}

void setInputPanelOn(bool on) {
    if (state().inputPanelOn == on) return;
    state().inputPanelOn = on;
    emit notifier().inputPanelChanged();
}

bool isInputPanelOn() {
    return state().inputPanelOn;
}

QRect inputPanelRect() {
    return kInputPanelRect;
}

QRect visibleDesktop() {
    const int top = kTaskBarHeight;
    const int bottom = state().inputPanelOn ? kInputPanelRect.top() : kScreenRect.height();
    return QRect(0, top, kScreenRect.width(), bottom - top);
}

void beginWaitCursor() {
    if (state().waitDepth++ > 0) return;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    emit notifier().waitCursorChanged(true);
}

void endWaitCursor() {
    if (state().waitDepth == 0 || --state().waitDepth > 0) return;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::restoreOverrideCursor();
    }
    emit notifier().waitCursorChanged(false);
}

bool isWaitCursorShown() {
    return state().waitDepth > 0;
}

bool execute(const std::u16string& devicePath) {
    const QString host = QString::fromStdString(devfs::toHost(devicePath).string());
    if (!QFileInfo(host).isFile()) return false;
    const bool started = state().launcher ? state().launcher(host) : startDetached(host);
    if (started) emit notifier().executed(host);
    return started;
}

Launcher setLauncher(Launcher launcher) {
    return std::exchange(state().launcher, launcher);
}

std::optional<std::u16string> getOpenFileName(QWidget* parent, const FileOpenRequest& request) {
    if (state().chooser) return state().chooser(request);
    return showFileDialog(parent, request);
}

FileChooser setFileChooser(FileChooser chooser) {
    return std::exchange(state().chooser, chooser);
}

QStringList qtNameFilters(const QString& systemFilter) {
    // Pairs of description and pattern list; the closing "||" leaves empty parts behind.
    const QStringList parts = systemFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

namespace {

bool isPrivateDir(const char* path) {
    struct stat st {};
    return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

}  // namespace

void ensurePrivateRuntimeDir() {
    if (isPrivateDir(std::getenv("XDG_RUNTIME_DIR"))) return;
    const std::string dir = "/tmp/quorin-runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    // A folder of that name that someone else made, or opened to others, is not used.
    if (!isPrivateDir(dir.c_str())) return;
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

namespace faults {
void failInputPanelInfo(bool armed) {
    state().failInfo = armed;
}
}  // namespace faults

void resetState() {
    showTaskBar();
    setInputPanelOn(false);
    while (state().waitDepth > 0) endWaitCursor();
    state().failInfo = false;
    state().launcher = nullptr;
    state().chooser = nullptr;
}

}  // namespace shell
