// The screens of this build, as the program's composition root wires them into the view.
#pragma once

#include "app/screens.h"

Screens makeScreens();
