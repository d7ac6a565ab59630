// The three exports through which the host drives termcore.
#include "dispatch.h"
#include "module.h"

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    tc_module().ext = static_cast<ZamExtCallBacks *>(table);
    return 309;
}

TAppObj *__cdecl ZamExtSetupProc(TAppObj *object) {
    tc_module().app = object;
    return object;
}

int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    try {
        return tc_dispatch(static_cast<int>(code), request, reply);
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}

}  // extern "C"
