// QVFORMAT.DLL loaded by name with the first formatter, unloaded with the
// last one made.
#include <windows.h>

#include "formats.h"

namespace {

struct FmtLibrary {
    HMODULE module = nullptr;
    QVCreateFormatCFn create = nullptr;
    QVDeleteFormatCFn destroy = nullptr;
    int uses = 0;
};

FmtLibrary g_lib;
bool g_warned = false;

void unload() {
    if (g_lib.module) FreeLibrary(g_lib.module);
    g_lib = FmtLibrary{};
}

bool load() {
    HMODULE m = LoadLibraryA("qvformat.dll");
    if (!m) return false;
    auto create = reinterpret_cast<QVCreateFormatCFn>(GetProcAddress(m, "QVCreateFormatC"));
    auto destroy = reinterpret_cast<QVDeleteFormatCFn>(GetProcAddress(m, "QVDeleteFormatC"));
    if (!create || !destroy) {
        FreeLibrary(m);
        return false;
    }
    g_lib.module = m;
    g_lib.create = create;
    g_lib.destroy = destroy;
    return true;
}

const char kOldLibrary[] =
    "\xd2\xf0\xe5\xe1\xf3\xe5\xf2\xf1\xff \xe1\xe8\xe1\xeb\xe8\xee\xf2\xe5\xea\xe0 \xf4\xee\xf0\xec\xe0\xf2\xed"
    "\xfb\xf5 \xf8\xe0\xe1\xeb\xee\xed\xee\xe2 \xe2\xe5\xf0\xf1\xe8\xe8 3.13.013.0 \xe8\xeb\xe8 \xe2\xfb\xf8\xe5";

}  // namespace

PxFormatter *px_fmtCreate(int kind) {
    if (kind != kQvFmtKindTemplate) return nullptr;
    if (g_lib.uses == 0 && !load()) return nullptr;
    ++g_lib.uses;
    PxFormatter *f = g_lib.create();
    if (!f) {
        if (--g_lib.uses == 0) unload();
        return nullptr;
    }
    f->fn.setOption(f, kQvFmtOption);
    f->fn.setCodePage(f, kQvFmtOem);
    return f;
}

void px_fmtRelease(PxFormatter *formatter) {
    if (!formatter || g_lib.uses == 0 || formatter->fn.formatKind(formatter) != kQvFmtKindTemplate) return;
    g_lib.destroy(formatter);
    if (--g_lib.uses == 0) unload();
}

int px_fmtUseCount() { return g_lib.uses; }

bool px_fmtCanEdit(PxFormatter *formatter, PxFmtWarnFn warn) {
    if (!formatter) return false;
    if (formatter->fn.version(formatter) > kQvFmtEditAbove) return true;
    if (!g_warned) {
        g_warned = true;
        char path[MAX_PATH] = "";
        HMODULE m = GetModuleHandleA("QVFORMAT.DLL");
        if (m) GetModuleFileNameA(m, path, sizeof path);
        if (warn) warn(kOldLibrary, path);
    }
    return false;
}
