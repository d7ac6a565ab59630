#include "zamentry.h"

#include "zam_entry.h"

namespace {
void *g_instData = nullptr;
}  // namespace


void *ZamSetInstData(void *data) { return g_instData = data; }
void *ZamGetInstData() { return g_instData; }
int ZamGetInstCount() { return 1; }

int CompareNames(const char *a, const char *b) {
    ZamExtCallBacks *ext = zam_host().ext;
    if (!ext || !ext->CompareNames) return 1;
    return ext->CompareNames(a, b);
}

int ReadIniFile(const char *file, ZamIniCallback callback, void *context) {
    ZamExtCallBacks *ext = zam_host().ext;
    if (!ext || !ext->ReadIniFile) return 0;
    return ext->ReadIniFile(file, callback, context);
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
