// The screens of this build, as the view and the document open them.
#include "app/screens.h"

Screens makeScreens() {
    Screens screens;
    return screens;
}
