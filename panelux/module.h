// formkit's module-wide state: one copy per process, touched only on the
// host's user-interface thread. The host's tables and the terminal build
// number of code -4 are kept by the entry layer (zam_host()).
#pragma once

#include <windows.h>

#include "objtable.h"

struct PxModule {
    HINSTANCE instance = nullptr;
    bool loaded = false;
    PxObjTable objects;
};

PxModule &px_module();
