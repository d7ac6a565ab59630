// ZamDllMain, through which a host may start the module's run-time library
// itself, and the library entry that records having run. Shared by the
// message modules and regionfmt.
#include "zam_interp.h"
#include "zamentry.h"

// MinGW's run-time start-up of a library: initialises the C and C++
// run-time and calls DllMain.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

// Keeps this object, and so ZamDllMain, in every module that takes a table;
// it has nothing to do.
extern "C" void _forceLinkZamDllMain() {}

extern "C" {

BOOL WINAPI ZamDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return zamDllMainStep(zamEntryFlags(), DllMainCRTStartup, instance, reason, reserved);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    zamEntryFlags().entryRan = true;
    return TRUE;
}

}  // extern "C"
