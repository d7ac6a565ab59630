// termcore's library entry: keeps its own module handle for whatever must
// find termcore's file or resources.
#include "module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) tc_module().instance = instance;
    if (reason == DLL_PROCESS_DETACH) tc_module().instance = nullptr;
    return TRUE;
}
