// The exports of a message module's entry skeleton: ZamSetCallBacks,
// ZamDllMain and the library entry that records having run.
#include "zam_interp.h"
#include "zamentry.h"

// MinGW's run-time start-up of a library: initialises the C and C++
// run-time and calls DllMain.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

// Keeps this object, and so ZamDllMain, in every module that takes the
// table; it has nothing to do.
extern "C" void _forceLinkZamDllMain() {}

extern "C" {

int __stdcall ZamSetCallBacks(void *table) {
    zamKeepExtTable(static_cast<ZamExtCallBacks *>(table));
    _forceLinkZamDllMain();
    return kZamTableVersion;
}

BOOL WINAPI ZamDllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return zamDllMainStep(zamEntryFlags(), DllMainCRTStartup, instance, reason, reserved);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    zamEntryFlags().entryRan = true;
    return TRUE;
}

}  // extern "C"
