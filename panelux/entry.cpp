// formkit's library entry.
#include "commodule.h"
#include "module.h"
#include "numhandlers.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    PxModule &m = px_module();
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        m.instance = instance;
        px_comModuleLock(instance);
        px_installNumericHandlers();
        break;
    case DLL_PROCESS_DETACH:
        px_restoreNumericHandlers();
        px_comModuleUnlock();
        m.instance = nullptr;
        break;
    default: break;
    }
    return TRUE;
}
