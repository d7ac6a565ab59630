// The exports of the modules that take both the terminal table and the
// service object (formkit, termcore, comscript, comgate). Linked as an object
// library, so the names of each module's .def file always resolve.
#include "zam_entry.h"

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    zam_host().ext = static_cast<ZamExtCallBacks *>(table);
    return kZamExtInterfaceVersion;
}

TAppObj *__cdecl ZamExtSetupProc(TAppObj *object) {
    zam_host().app = object;
    return object;
}

int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    return zam_message(zam_moduleTable, code, request, reply);
}

}  // extern "C"
