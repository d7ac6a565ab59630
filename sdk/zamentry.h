// The entry skeleton the small message modules and regionfmt share: an
// instance-data slot, the instance count, the terminal services the modules
// forward and ZamDllMain, through which a host may start the module's
// run-time library itself. The terminal table itself is kept by the entry
// layer (zam_host()).
#pragma once

#include "zam_ext.h"

void *ZamSetInstData(void *data);
void *ZamGetInstData();
// Always 1; the request handlers ask it first.
int ZamGetInstCount();

// Terminal services, forwarded unchanged. Without a table: CompareNames
// answers "different" and ReadIniFile reads nothing.
int CompareNames(const char *a, const char *b);
int ReadIniFile(const char *file, ZamIniCallback callback, void *context);

// ZamDllMain's decision. entryRan: the module's entry point has run;
// started: ZamDllMain has started the module.
struct ZamEntryFlags {
    bool entryRan = false;
    bool started = false;
};
typedef BOOL(WINAPI *ZamStartupFn)(HANDLE instance, DWORD reason, LPVOID reserved);

// When the entry point ran and ZamDllMain has not started the module, 1 and
// nothing done; otherwise the module counts as started and the start-up
// runs with the three arguments, its result returned.
BOOL zamDllMainStep(ZamEntryFlags &flags, ZamStartupFn startup, HANDLE instance, DWORD reason,
                    LPVOID reserved);
ZamEntryFlags &zamEntryFlags();

extern "C" void _forceLinkZamDllMain();
