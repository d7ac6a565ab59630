// The three exports through which the host drives formkit.
#include <exception>

#include "dispatch.h"
#include "module.h"
#include "wire.h"

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    px_module().ext = static_cast<ZamExtCallBacks *>(table);
    return 309;
}

TAppObj *__cdecl ZamExtSetupProc(TAppObj *object) {
    px_module().app = object;
    return object;
}

int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    try {
        PxRequest req{static_cast<const unsigned char *>(request), kWireUnbounded, reply, 0};
        return px_dispatch(static_cast<int>(code), req);
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}

}  // extern "C"
