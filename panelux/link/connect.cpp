#include "connect.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app.h"
#include "commodule.h"
#include "errbox.h"
#include "events.h"
#include "frame.h"
#include "hostsinks.h"
#include "lockdlg.h"
#include "popup.h"
#include "module.h"
#include "registry.h"
#include "upcalls.h"

namespace {

uint32_t g_mask;
int g_indicesInUse;
int16_t g_menuLoadingMode;

void warn(const std::string &text) {
    MessageBoxA(nullptr, text.c_str(), px_modulePath(), MB_ICONWARNING | MB_SETFOREGROUND);
}

TAppObj *hostApp() { return zam_host().app; }

// Undoes a start step by step: also what a failed start leaves.
struct Started {
    bool settings = false, registry = false, com = false, sinks = false, hooks = false, filter = false, idle = false;
};
Started g_started;

// The terminal stops calling in first; the frames go while the host's
// window manager still knows the module.
void tearDown() {
    TAppObj *a = hostApp();
    if (g_started.filter && a) a->fn->remFilterProc(a, px_msgFilter);
    if (g_started.idle && a) a->fn->remIdleProc(a, px_idleProc);
    px_destroyLockDlg();
    px_closeWaitBox();
    if (g_started.hooks) px_removeHooks();
    if (g_started.registry) px_freeTopWnds();
    if (g_started.sinks) px_unregisterHostSinks();
    if (g_started.com) px_comModuleUnlock();
    if (g_started.settings) px_freeSettings();
    g_started = Started{};
}

bool startModule() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    TAppObj *a = hostApp();
    if (!a || !px_loadSettings(a, px_module().instance)) return false;
    g_started.settings = true;
    if (!px_initTopWnds()) return tearDown(), false;
    g_started.registry = true;
    px_comModuleLock(px_module().instance);
    g_started.com = true;
    px_registerHostSinks();
    g_started.sinks = true;
    px_installHooks();
    g_started.hooks = true;
    // The terminal's answer to these carries nothing: a start never fails here.
    a->fn->addFilterProc(a, px_msgFilter, 0);
    g_started.filter = true;
    a->fn->addIdleProc(a, px_idleProc, 0);
    g_started.idle = true;
    return true;
}

int refuse(const PxRequest &req) { return zam_replyInt(req, -1); }

}  // namespace

uint32_t px_clientMask() { return g_mask; }

int px_onOpenClient(const PxRequest &req) {
    WireReader r = req.reader();
    r.skip(4);
    int32_t version = r.i32();
    if (!r.ok()) return refuse(req);
    int major = version / 100000, minor = (version % 100000) / 1000;
    if (major != 3) {
        std::string format =
            px_ansi(L"Требуется расширение терминала версии %d.%02d\nВерсия загруженного расширения %s");
        char filled[512];
        std::snprintf(filled, sizeof filled, format.c_str(), major, minor, kPxModuleVersionText);
        warn(filled);
        return refuse(req);
    }
    if (zam_host().version <= kPxOldestRefusedBuild) {
        warn(px_ansi(L"Требуется терминал (или fs-библиотека) версии 5.06.114 или выше"));
        return refuse(req);
    }
    if (g_mask == 0xFFFFFFFFu) {
        warn(px_ansi(L"Превышено максимальное число клиентов"));
        return refuse(req);
    }
    if (g_mask == 0) {
        if (!startModule()) return refuse(req);
        g_menuLoadingMode = static_cast<int16_t>(px_app()->menuLoadingMode);
    }
    int index = 0;
    while (index < g_indicesInUse && (g_mask & (1u << index))) ++index;
    if (index == g_indicesInUse) ++g_indicesInUse;
    g_mask |= 1u << index;
    WireWriter w = req.writer();
    w.i32(0);
    w.i32(index);
    w.i32(kPxModuleVersion);
    w.i16(g_menuLoadingMode);
    return zam_replyLength(w);
}

int px_onCloseClient(const PxRequest &req) {
    WireReader r = req.reader();
    r.skip(2);
    int32_t index = r.i32();
    // Only an index handed out and still open names a connection.
    if (!r.ok() || index < 0 || index >= kPxMaxClients || index >= g_indicesInUse || !(g_mask & (1u << index)))
        return zam_replyInt(req, -1);
    g_mask &= ~(1u << index);
    if (g_mask == 0) {
        g_indicesInUse = 0;
        tearDown();
    }
    return zam_replyInt(req, 0);
}

void px_endAllClients() {
    if (g_mask == 0) return;
    px_setCurObjNum(-1);
    g_mask = 0;
    g_indicesInUse = 0;
    tearDown();
}
