#include "commodule.h"

namespace {
int g_uses;
HINSTANCE g_instance;
}  // namespace

void px_comModuleLock(HINSTANCE instance) {
    if (g_uses++ == 0) g_instance = instance;
}

void px_comModuleUnlock() {
    if (g_uses > 0 && --g_uses == 0) g_instance = nullptr;
}

HINSTANCE px_comModuleInstance() { return g_instance; }
