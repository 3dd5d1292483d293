// Quorin: the composition root. Wires the screens into the view and runs the program.
#include <QApplication>
#include <cstdio>

#include "app/layout_app.h"
#include "app/main_frame.h"
#include "app/program_screens.h"
#include "heap/heap.h"
#include "shell/shell.h"
#include "shell/single_instance.h"
#include "ui/input_panel.h"
#include "ui/resources.h"
#include "ui/screen_map.h"

int main(int argc, char** argv) {
    heap::keepFreedMemory();
    shell::ensurePrivateRuntimeDir();
    QApplication qapp(argc, argv);
    // One Quorin per device: a second start brings the running one to the front and ends.
    shell::SingleInstance instance(QStringLiteral("Quorinity"));
    // Served without a display (scripts/run), the page's address: a later start, say from a
    // Today item on another screen, tells where the running one is seen.
    instance.setWhereSeen(qEnvironmentVariable("QUORIN_SCREEN_ADDRESS"));
    if (!instance.claim()) {
        if (!instance.runningWhereSeen().isEmpty()) {
            std::fprintf(stderr, "Quorin is already running on this device; see it at %s\n",
                         qUtf8Printable(instance.runningWhereSeen()));
        }
        return 0;
    }
    ui::applyDeviceLook(qapp);
    // The keyboard at the bottom of the screen, for every screen of the program.
    ui::InputPanel inputPanel;
    // For a driver that taps as a person would: where everything on the screen is.
    ui::startScreenMap(qEnvironmentVariable("QUORIN_SCREEN_MAP"));
    installDayAgenda();
    CLayoutApp app(makeScreens());
    // Connected before the frame exists: a start during the start-up agenda is not lost.
    QObject::connect(&instance, &shell::SingleInstance::activationRequested, [&app] {
        shell::bringToFront(app.frame());
        // A dialog that is open stays in front of the frame, as it was.
        shell::bringToFront(QApplication::activeModalWidget());
    });
    if (!app.InitInstance()) return 1;
    return qapp.exec();
}
