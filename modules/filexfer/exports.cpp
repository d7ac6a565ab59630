// The request entry of filexfer; ZamSetCallBacks and ZamDllMain come with
// the entry skeleton.
#include "requests.h"
#include "zamentry.h"

extern "C" int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    ZamGetInstCount();
    try {
        return fx_request(static_cast<int>(code), request, reply);
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}
