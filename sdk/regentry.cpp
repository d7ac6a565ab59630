// The exports every registration module shares besides AddModuleObjects.
#include "zamsdk.h"

namespace {
void (*g_doneExec)() = nullptr;
}

void ZamOnDoneExec(void (*release)()) { g_doneExec = release; }

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    ZamKeepCallBacks(static_cast<ZamCallBacks *>(table));
    return kZamTableVersion;
}

void __stdcall InitExec() {}
void __stdcall DoneExec() {
    try {
        if (g_doneExec) g_doneExec();
    } catch (...) {
        // Nothing may unwind into the host.
    }
}
void __stdcall ZamAttach(intptr_t) {}
int __stdcall DlmMain(intptr_t, intptr_t) { return 0; }

}  // extern "C"
