// Started by sysmix_console_test with a console of its own: loads sysmix,
// sends it the console requests and writes what it saw, one "name value"
// line each, to the file named by its argument.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "keylog.h"
#include "zam_ext.h"

namespace {

ZamExtMessageProcFn g_proc;
FILE *g_out;
HWND g_console;

int32_t request(int code, int32_t op = 0) {
    unsigned char reply[64] = {};
    int n = g_proc(static_cast<unsigned>(code), &op, reply);
    int32_t v = -99;
    if (n == 4) std::memcpy(&v, reply, 4);
    return v;
}

void put(const char *name, const std::string &value) { std::fprintf(g_out, "%s %s\n", name, value.c_str()); }
void put(const char *name, long value) { put(name, std::to_string(value)); }

void putState(const char *step) {
    std::string prefix = step;
    put((prefix + ".iconic").c_str(), IsIconic(g_console) ? 1 : 0);
    put((prefix + ".zoomed").c_str(), IsZoomed(g_console) ? 1 : 0);
    put((prefix + ".front").c_str(), GetForegroundWindow() == g_console ? 1 : 0);
}

void scenario(KeyLog &keys) {
    put("hooked", keys.ok() ? 1 : 0);
    put("window", g_console ? 1 : 0);
    SetForegroundWindow(g_console);
    put("infront.console", request(21));

    put("op0", request(20, 0));
    putState("op0");
    put("op0.keys", keys.take());
    put("op1", request(20, 1));
    putState("op1");
    put("op2", request(20, 2));
    putState("op2");
    request(20, 1);
    request(20, 0);
    keys.take();
    put("op3", request(20, 3));
    putState("op3");
    put("op3.keys", keys.take());
    put("op9", request(20, 9));

    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    put("infront.other", request(21));
    DestroyWindow(other);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    g_out = std::fopen(argv[1], "w");
    if (!g_out) return 3;
    const char *dist = std::getenv("QV_DIST_DIR");
    std::string path = std::string(dist ? dist : ".") + "\\sysmix.dll";
    HMODULE m = LoadLibraryA(path.c_str());
    g_proc = m ? reinterpret_cast<ZamExtMessageProcFn>(GetProcAddress(m, "_ZamExtMessageProc")) : nullptr;
    put("loaded", g_proc ? 1 : 0);
    g_console = GetConsoleWindow();
    if (g_proc) {
        KeyLog keys;
        scenario(keys);
        g_proc(static_cast<unsigned>(kMsgUnload), nullptr, nullptr);
    }
    put("done", 1);
    std::fclose(g_out);
    return 0;
}
