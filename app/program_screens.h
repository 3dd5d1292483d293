// The screens of this build, as the program's composition root wires them into the view.
#pragma once

#include "app/screens.h"

Screens makeScreens();

// Makes the day's agenda screen the one app::OpenDayAgenda opens (the program does this once;
// tests install their own opener instead).
void installDayAgenda();
