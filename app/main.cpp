// Quorin: the composition root. Wires the screens into the view and runs the program.
#include <QApplication>

#include "app/layout_app.h"
#include "app/program_screens.h"
#include "ui/resources.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    ui::applyDeviceLook(qapp);
    installDayAgenda();
    CLayoutApp app(makeScreens());
    if (!app.InitInstance()) return 1;
    return qapp.exec();
}
