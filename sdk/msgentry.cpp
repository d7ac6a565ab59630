// The exports of a small message module besides ZamDllMain: ZamSetCallBacks
// and the request entry, which runs the module's handler table.
#include "zam_entry.h"
#include "zam_interp.h"
#include "zamentry.h"

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    zam_host().ext = static_cast<ZamExtCallBacks *>(table);
    _forceLinkZamDllMain();
    return kZamTableVersion;
}

int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    ZamGetInstCount();
    return zam_message(zam_moduleTable, code, request, reply);
}

}  // extern "C"
