// The blocking dialog. Its button runs the server's callback (upcall 108),
// which waits for the server; a press meanwhile, or a request that replaces
// or ends the dialog, must not pull the window out from under that call.
#include "lockdlg.h"

#include <commctrl.h>

#include "app.h"
#include "errbox.h"
#include "frame.h"
#include "hostsinks.h"
#include "module.h"
#include "popup.h"
#include "upcalls.h"
#include "wire.h"
#include "zam_entry.h"

namespace {

enum : int { kLockDlgResource = 104, kLockButton = 1002, kLockClose = 1003, kLockStatus = 1000 };

struct LockDlg {
    HWND wnd = nullptr;
    HWND status = nullptr;
    int32_t value = 0;
    int32_t callbackValue = 0;
    PxLockCallback callback = nullptr;
    bool busy = false;
    bool doomed = false;  // destroy once the running callback returns
};

LockDlg *g_dlg = nullptr;

void destroy(LockDlg *d) {
    if (!d) return;
    if (d->busy) {
        // The callback below this frame still uses the window.
        d->doomed = true;
        if (d->wnd) ShowWindow(d->wnd, SW_HIDE);
        return;
    }
    if (d->wnd) {
        SetWindowLongPtrA(d->wnd, DWLP_USER, 0);
        DestroyWindow(d->wnd);
    }
    delete d;
}

void pressed(LockDlg *d) {
    if (d->busy || !d->callback) return;
    HCURSOR before = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    d->busy = true;
    d->callback(d->callbackValue);
    d->busy = false;
    SetCursor(before);
    if (d->doomed) destroy(d);
}

INT_PTR CALLBACK lockDlgProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        LockDlg *d = reinterpret_cast<LockDlg *>(GetWindowLongPtrA(wnd, DWLP_USER));
        switch (msg) {
        case WM_INITDIALOG:
            d = reinterpret_cast<LockDlg *>(lParam);
            SetWindowLongPtrA(wnd, DWLP_USER, lParam);
            d->wnd = wnd;
            d->status = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_DISABLED, "", wnd, kLockStatus);
            if (d->status) SendMessageA(d->status, SB_SETTEXTA, 0 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(""));
            return TRUE;
        case WM_CLOSE:
            return TRUE;  // only the server lifts the block
        case WM_SIZE:
            if (d && d->status) SendMessageA(d->status, WM_SIZE, wParam, lParam);
            return FALSE;
        case WM_NCACTIVATE:
            if (wParam || !IsWindowVisible(wnd)) {
                RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
                SetWindowLongPtrA(wnd, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_SHOWWINDOW:
            if (lParam == SW_PARENTCLOSING) {
                px_centerOver(wnd, GetWindow(wnd, GW_OWNER));
                return FALSE;
            }
            return lParam == SW_PARENTOPENING ? TRUE : FALSE;
        case WM_COMMAND:
            if (!d) return FALSE;
            if (LOWORD(wParam) == kLockButton && HIWORD(wParam) == BN_CLICKED) pressed(d);
            else if (LOWORD(wParam) == kLockClose) px_askToStopSession();
            return TRUE;
        }
    } catch (...) {
    }
    return FALSE;
}

}  // namespace

HWND px_createLockDlg(int32_t value, PxLockCallback callback, int32_t callbackValue) {
    LockDlg *old = g_dlg;
    g_dlg = nullptr;
    destroy(old);
    LockDlg *d = new LockDlg;
    d->value = value;
    d->callback = callback;
    d->callbackValue = callbackValue;
    // Owned by the host's main window when the host names one that exists.
    HWND owner = px_hostMainWindow();
    if (owner && !IsWindow(owner)) owner = nullptr;
    HWND wnd = CreateDialogParamA(px_module().instance, MAKEINTRESOURCEA(kLockDlgResource), owner, lockDlgProc,
                                  reinterpret_cast<LPARAM>(d));
    if (!wnd) {
        delete d;
        return nullptr;
    }
    g_dlg = d;
    px_centerOver(wnd, GetWindow(wnd, GW_OWNER));
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    return wnd;
}

void px_hideLockDlg() {
    if (g_dlg && g_dlg->wnd) ShowWindow(g_dlg->wnd, SW_HIDE);
}

void px_destroyLockDlg() {
    LockDlg *d = g_dlg;
    g_dlg = nullptr;
    destroy(d);
}

HWND px_lockDlgWindow() { return g_dlg ? g_dlg->wnd : nullptr; }

bool px_lockDlgPreTranslate(MSG *msg) {
    if (!g_dlg || !g_dlg->wnd || !IsWindowVisible(g_dlg->wnd) || !msg) return false;
    if (IsDialogMessageA(g_dlg->wnd, msg)) return true;
    HWND w = msg->hwnd;
    if (w == g_dlg->wnd || IsChild(g_dlg->wnd, w)) return false;
    UINT m = msg->message;
    return (m >= WM_KEYDOWN && m <= WM_SYSDEADCHAR) || (m >= WM_MOUSEMOVE && m <= WM_MBUTTONDBLCLK) ||
           m == WM_SYSCOMMAND;
}

int px_onShowLockDlg(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t value = r.i32();
    int32_t callbackValue = r.i32();
    if (!r.ok()) return 0;
    px_createLockDlg(value, px_upcallDlgCallback, callbackValue);
    return 0;
}

int px_onHideLockDlg(const PxRequest &) {
    px_hideLockDlg();
    return 0;
}
