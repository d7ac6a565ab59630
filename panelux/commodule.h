// The COM module object of formkit: a use count; the first user initialises
// it with the module instance that its class objects are served from.
#pragma once

#include <windows.h>

void px_comModuleLock(HINSTANCE instance);
void px_comModuleUnlock();
HINSTANCE px_comModuleInstance();
