#include "zamentry.h"

namespace {
ZamExtCallBacks *g_ext = nullptr;
void *g_instData = nullptr;
}  // namespace

void zamKeepExtTable(ZamExtCallBacks *table) { g_ext = table; }
ZamExtCallBacks *ZamExtTable() { return g_ext; }

void *ZamSetInstData(void *data) { return g_instData = data; }
void *ZamGetInstData() { return g_instData; }
int ZamGetInstCount() { return 1; }

int CompareNames(const char *a, const char *b) {
    if (!g_ext || !g_ext->CompareNames) return 1;
    return g_ext->CompareNames(a, b);
}

int ReadIniFile(const char *file, ZamIniCallback callback, void *context) {
    if (!g_ext || !g_ext->ReadIniFile) return 0;
    return g_ext->ReadIniFile(file, callback, context);
}

BOOL zamDllMainStep(ZamEntryFlags &flags, ZamStartupFn startup, HANDLE instance, DWORD reason,
                    LPVOID reserved) {
    if (flags.entryRan && !flags.started) return 1;
    flags.started = true;
    return startup(instance, reason, reserved);
}

ZamEntryFlags &zamEntryFlags() {
    static ZamEntryFlags flags;
    return flags;
}
