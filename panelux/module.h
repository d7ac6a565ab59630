// formkit's module-wide state: one copy per process, touched only on the
// host's user-interface thread.
#pragma once

#include "objtable.h"
#include "zam_ext.h"

struct PxModule {
    HINSTANCE instance = nullptr;
    ZamExtCallBacks *ext = nullptr;
    TAppObj *app = nullptr;
    int hostBuild = 0;  // terminal build number from code -4
    bool loaded = false;
    PxObjTable objects;
};

PxModule &px_module();

// The host's reply buffer holds every reply of this module; the writers of
// the handlers are bounded by this.
constexpr size_t kPxReplyCapacity = 65536;
