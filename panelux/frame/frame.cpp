#include "frame.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <new>
#include <vector>

#include "app.h"
#include "errbox.h"
#include "dialog.h"
#include "events.h"
#include "hostsinks.h"
#include "menubar.h"
#include "menus.h"
#include "registry.h"
#include "status.h"
#include "tabs.h"
#include "upcalls.h"
#include "wndutil.h"

const char kPxFrameClass[] = "pxFrameWnd";
const char kPxClientClass[] = "pxClientWnd";

namespace {

LRESULT CALLBACK frameProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK clientProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

bool registerClasses() {
    if (!px_isClassRegistered(kPxFrameClass)) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = frameProc;
        wc.hIcon = px_app()->largeIcon;
        wc.hIconSm = px_app()->smallIcon;
        wc.lpszClassName = kPxFrameClass;
        if (px_regWndClassEx(&wc) != 0) return false;
    }
    if (!px_isClassRegistered(kPxClientClass)) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = clientProc;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        wc.lpszClassName = kPxClientClass;
        if (px_regWndClassEx(&wc) != 0) return false;
    }
    return true;
}

PxTopWnd *entryOfFrame(const PxFrame *f) { return px_topWndByObject(f); }

bool visible(HWND w) { return w && (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE); }

RECT clientArea(const PxFrame *f) {
    RECT r;
    GetClientRect(f->wnd, &r);
    if (visible(f->rebar)) {
        RECT b;
        GetWindowRect(f->rebar, &b);
        r.top += b.bottom - b.top;
    }
    if (visible(f->status)) {
        RECT s;
        GetWindowRect(f->status, &s);
        r.bottom -= s.bottom - s.top;
    }
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

HWND createClient(PxFrame *f) {
    RECT r = clientArea(f);
    HWND c = CreateWindowExA(WS_EX_CLIENTEDGE, kPxClientClass, "",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL,
                             r.left, r.top, r.right - r.left, r.bottom - r.top, f->wnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxClientId)), px_app()->instance, f);
    if (!c) px_sysErrorBox(GetLastError(), "px_createClientWnd: CreateWindowEx() failed!");
    return c;
}

void layout(PxFrame *f) {
    px_retrackActiveTip(entryOfFrame(f));
    if (f->rebar) SendMessageA(f->rebar, WM_SIZE, 0, 0);
    if (f->status) {
        SendMessageA(f->status, WM_SIZE, 0, 0);
        px_layoutStatusBar(f->status);
    }
    if (f->client) {
        RECT r = clientArea(f);
        MoveWindow(f->client, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    px_updateScrollBars(f);
    if (f->shown) px_updateGridSize(f);
}

int onCreate(HWND wnd, LPARAM lParam) {
    PxFrame *f = static_cast<PxFrame *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
    f->wnd = wnd;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
    if (!px_createRebarWnd(f)) return -1;
    f->status = px_createStatusBar(wnd, true, true, nullptr, 0);
    if (!f->status) return -1;
    f->client = createClient(f);
    return f->client ? 0 : -1;
}

void onDestroy(PxFrame *f) {
    px_menuBarDropMenu(f);
    if (f->status) px_destroyStatusBar(f->status);
    f->status = nullptr;
}


void onSetFocus(PxFrame *f) {
    PxTopWnd *e = entryOfFrame(f);
    if (e && e->active && e->active->wnd) SetFocus(e->active->wnd);
}

// The help context of the active dialog's current field when its control
// asks, else 0.
int32_t fieldHelpContext(PxFrame *f, HWND control) {
    PxTopWnd *e = entryOfFrame(f);
    PxPanel *panel = static_cast<PxPanel *>(px_activeChildObj(e, kPxChildDialog));
    PxDialog *d = panel ? px_dialogOfPanel(panel) : nullptr;
    if (!d || !panel->currentField || !control) return 0;
    for (const PxFieldCtl &ctl : d->fields)
        if (ctl.field == panel->currentField && ctl.hwnd == control) return ctl.field->helpContext;
    return 0;
}

LRESULT onHelp(PxFrame *f, LPARAM lParam) {
    if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0) return 1;
    const HELPINFO *hi = reinterpret_cast<const HELPINFO *>(lParam);
    int32_t context = 0;
    if (hi && hi->iContextType == HELPINFO_MENUITEM)
        context = px_menuHelpContext(static_cast<HMENU>(hi->hItemHandle), static_cast<UINT>(hi->iCtrlId));
    else if (hi)
        context = fieldHelpContext(f, static_cast<HWND>(hi->hItemHandle));
    px_upcallHelp(context);
    return 1;
}

void onActivate(PxFrame *f, WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) px_hostFrameActivated(f);
}

// A settings change: the menu bar takes the new menu font and its band the
// new height before the frame lays itself out.
void onSettingChange(PxFrame *f, WPARAM wParam, LPARAM lParam) {
    if (f->menuBar) {
        SendMessageA(f->menuBar, WM_WININICHANGE, wParam, lParam);
        px_menuBarFitBand(f->menuBar);
    }
    layout(f);
}

LRESULT onSysCommand(PxFrame *f, HWND wnd, WPARAM wParam, LPARAM lParam) {
    UINT cmd = static_cast<UINT>(wParam & 0xFFF0);
    switch (cmd) {
    case SC_MINIMIZE:
        if (f->owner) {
            SendMessageA(wnd, WM_CANCELMODE, 0, 0);
            PostMessageA(f->owner, WM_SYSCOMMAND, wParam, lParam);
            return 0;
        }
        if (!IsWindowEnabled(wnd)) return ShowWindow(wnd, SW_MINIMIZE), 0;
        break;
    case SC_RESTORE:
        if (f->owner) {
            PostMessageA(f->owner, WM_SYSCOMMAND, wParam, lParam);
            return 0;
        }
        if (!IsWindowEnabled(wnd)) return ShowWindow(wnd, SW_RESTORE), 0;
        break;
    case SC_KEYMENU: {
        bool alt = GetKeyState(VK_MENU) < 0;
        if (lParam == ' ' && alt) break;
        // The server's menu bar takes the keyboard menu once it exists.
        return 0;
    }
    case SC_MOUSEMENU:
        if (SendMessageA(wnd, WM_NCHITTEST, 0, lParam) == HTSYSMENU) break;
        return 0;
    default: break;
    }
    return DefWindowProcA(wnd, WM_SYSCOMMAND, wParam, lParam);
}

void onInitMenuPopup(PxFrame *f, HMENU menu, LPARAM lParam) {
    if (HIWORD(lParam) && f->minimizedByRequest) {
        EnableMenuItem(menu, SC_MAXIMIZE, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
    }
}

// The menu bar's keyboard mode holds the popups it opens: the text saved
// is the one from before the outermost loop, not a help line of the bar.
void onEnterMenuLoop(PxFrame *f) {
    if (f->menuLoops++ == 0) f->savedStatus = px_statusPaneText(f->status, 1);
    px_menuLoopEntered(f);
}

void onExitMenuLoop(PxFrame *f) {
    if (f->menuLoops > 0 && --f->menuLoops == 0) px_setStatusPaneText(f->status, 1, f->savedStatus.c_str());
    px_menuLoopExited(f);
}

void onEnterSizeMove(PxFrame *f) {
    if (f->shown) px_app()->sizeMoving = 1;
}

void onExitSizeMove(PxFrame *f) {
    px_app()->sizeMoving = 0;
    if (f->resizePending) {
        f->resizePending = false;
        px_postEvent3(500, 0, 0, f->columns, f->rows, kPxModeQueue);
    }
}

LRESULT onNcLButtonDown(PxFrame *f, HWND wnd, WPARAM wParam, LPARAM lParam) {
    if (wParam == HTMENU) {
        px_postMouseEvent(513, 0, 0, 0, 0, px_keyEventMode());
        px_postMouseEvent(515, 0, 0, 0, 0, px_keyEventMode());
        // The server's menu loop opens the item under this click.
        px_setPendingClick(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    }
    return DefWindowProcA(wnd, WM_NCLBUTTONDOWN, wParam, lParam);
}

LRESULT onNotify(PxFrame *f, NMHDR *hdr) {
    // The rebar grew or shrank with its band: the client window follows.
    if (hdr && hdr->hwndFrom == f->rebar && hdr->code == static_cast<UINT>(RBN_HEIGHTCHANGE)) {
        layout(f);
        return 0;
    }
    return px_tabNotify(hdr);
}

LRESULT onNcActivate(PxFrame *f, HWND wnd, WPARAM wParam, LPARAM lParam) {
    PxTopWnd *e = entryOfFrame(f);
    if (e && e->active && e->active->wnd && !e->active->attached) px_activateWnd(e->active->wnd, wParam != 0);
    return DefWindowProcA(wnd, WM_NCACTIVATE, wParam, lParam);
}

LRESULT frameMessage(PxFrame *f, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT barResult;
    if (px_menuBarFrameMsg(f, msg, wParam, lParam, &barResult)) return barResult;
    switch (msg) {
    case WM_DESTROY: onDestroy(f); return 0;
    case WM_MOVE:
        if (!IsIconic(wnd)) px_retrackActiveTip(entryOfFrame(f));
        return 0;
    case WM_ACTIVATE:
        onActivate(f, wParam);
        return DefWindowProcA(wnd, msg, wParam, lParam);
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) layout(f);
        return 1;
    case WM_SETFOCUS: onSetFocus(f); return 0;
    case WM_CLOSE: px_askToStopSession(); return 0;
    case WM_QUERYOPEN: return f->minimizedByRequest ? 0 : 1;
    case WM_WININICHANGE: onSettingChange(f, wParam, lParam); return 0;
    case WM_NOTIFY: return onNotify(f, reinterpret_cast<NMHDR *>(lParam));
    case WM_HELP: return onHelp(f, lParam);
    case WM_NCLBUTTONDOWN: return onNcLButtonDown(f, wnd, wParam, lParam);
    case WM_NCACTIVATE: return onNcActivate(f, wnd, wParam, lParam);
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) px_frameMenuCommand(f, LOWORD(wParam));
        return 0;
    case WM_SYSCOMMAND: return onSysCommand(f, wnd, wParam, lParam);
    case WM_INITMENUPOPUP:
        px_menuInitPopup(reinterpret_cast<HMENU>(wParam));
        onInitMenuPopup(f, reinterpret_cast<HMENU>(wParam), lParam);
        return 0;
    case WM_MENUSELECT:
        px_menuSelect(f, reinterpret_cast<HMENU>(lParam), LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ENTERMENULOOP: onEnterMenuLoop(f); return 0;
    case WM_EXITMENULOOP: onExitMenuLoop(f); return 0;
    case WM_ENTERSIZEMOVE: onEnterSizeMove(f); return 0;
    case WM_EXITSIZEMOVE: onExitSizeMove(f); return 0;
    case WM_PALETTECHANGED:
        px_onPaletteChanged(wnd, reinterpret_cast<HWND>(wParam));
        px_broadcast(entryOfFrame(f), msg, wParam, lParam);
        return 0;
    case WM_QUERYNEWPALETTE: return px_onQueryNewPalette(wnd);
    default: return DefWindowProcA(wnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK frameProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_CREATE) return onCreate(wnd, lParam);
        PxFrame *f = px_frameOf(wnd);
        if (!f || !px_app()) return DefWindowProcA(wnd, msg, wParam, lParam);
        return frameMessage(f, wnd, msg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

int lineStep(bool horizontal) {
    PxApp *app = px_app();
    return horizontal ? app->fieldCharW : app->fieldLineH;
}

void onScroll(HWND client, int bar, WPARAM wParam) {
    PxFrame *f = px_frameOf(GetParent(client));
    if (!f || !px_app()) return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(client, bar, &si);
    int pos = si.nPos;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= lineStep(bar == SB_HORZ); break;
    case SB_LINEDOWN: pos += lineStep(bar == SB_HORZ); break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBTRACK: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    case SB_ENDSCROLL:
        px_app()->scrollUpdateOff = 0;
        f->pictureKnown = false;
        px_updateScrollBars(f);
        return;
    default: return;
    }
    // Drawing the bar at every step costs more than moving the children;
    // the end of the scroll action recomputes and draws both bars.
    SetScrollPos(client, bar, pos, FALSE);
    int now = GetScrollPos(client, bar);
    px_app()->scrollUpdateOff = 1;
    if (bar == SB_HORZ) px_scrollChildren(f, now - si.nPos, 0);
    else px_scrollChildren(f, 0, now - si.nPos);
}

LRESULT CALLBACK clientProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_HSCROLL: onScroll(wnd, SB_HORZ, wParam); return 0;
        case WM_VSCROLL: onScroll(wnd, SB_VERT, wParam); return 0;
        case WM_PARENTNOTIFY:
            if (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
                if (PxFrame *f = px_frameOf(GetParent(wnd))) f->pictureKnown = false;
            return DefWindowProcA(wnd, msg, wParam, lParam);
        case WM_NOTIFY: return px_tabNotify(reinterpret_cast<NMHDR *>(lParam));
        default: return DefWindowProcA(wnd, msg, wParam, lParam);
        }
    } catch (...) {
        return 0;
    }
}

// The hooks: a system modal loop (sizing, moving, scroll-bar or menu
// tracking) must not leave the server's wait for an event stuck.
std::vector<HWND> g_modalLoops;

bool entersModalLoop(UINT msg, WPARAM wParam) {
    if (msg == WM_ENTERSIZEMOVE) return true;
    if (msg != WM_SYSCOMMAND) return false;
    switch (wParam & 0xFFF0) {
    case SC_SIZE: case SC_MOVE: case SC_VSCROLL: case SC_HSCROLL: case SC_MOUSEMENU: case SC_KEYMENU:
        return true;
    default: return false;
    }
}

bool leavesModalLoop(UINT msg, WPARAM wParam) {
    return msg == WM_EXITSIZEMOVE || (msg == WM_SYSCOMMAND && entersModalLoop(msg, wParam));
}

LRESULT CALLBACK callHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const CWPSTRUCT *c = reinterpret_cast<const CWPSTRUCT *>(lParam);
        if (entersModalLoop(c->message, c->wParam) && (g_modalLoops.empty() || g_modalLoops.back() != c->hwnd))
            g_modalLoops.push_back(c->hwnd);
    }
    PxApp *app = px_app();
    return CallNextHookEx(app ? app->hookCallWnd : nullptr, code, wParam, lParam);
}

LRESULT CALLBACK returnHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT *c = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    if (code == HC_ACTION) {
        if (leavesModalLoop(c->message, c->wParam) && !g_modalLoops.empty() && g_modalLoops.back() == c->hwnd)
            g_modalLoops.pop_back();
    }
    PxApp *app = px_app();
    if (app && app->oldWindows && code == HC_ACTION && c->hwnd) return 1;
    return CallNextHookEx(app ? app->hookCallWndRet : nullptr, code, wParam, lParam);
}

}  // namespace

PxFrame *px_frameOf(HWND wnd) {
    if (!wnd) return nullptr;
    char cls[32];
    if (!GetClassNameA(wnd, cls, sizeof cls) || lstrcmpA(cls, kPxFrameClass) != 0) return nullptr;
    return reinterpret_cast<PxFrame *>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
}

PxFrame *px_createFrame(const char *captionOem, int x, int y, int width, int height, HWND owner) {
    if (!px_app() || !registerClasses()) return nullptr;
    PxFrame *f = new (std::nothrow) PxFrame;
    if (!f) return nullptr;
    f->owner = owner;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        f->ownerDisabled = true;
    }
    std::string caption = px_oemToAnsi(captionOem);
    HWND w = CreateWindowExA(0, kPxFrameClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS, x, y, width,
                             height, owner, nullptr, px_app()->instance, f);
    if (!w) {
        px_sysErrorBox(GetLastError(), "px_createFrame: CreateWindowEx() failed!");
        if (f->ownerDisabled) EnableWindow(owner, TRUE);
        delete f;
        return nullptr;
    }
    px_hostRegisterWindow(&f->hostObject, true, false);
    return f;
}

void px_destroyFrame(PxFrame *frame) {
    if (!frame) return;
    px_hostGiveBackMainWindow(frame);
    px_dropFrameMenus(frame);
    if (frame->wnd && IsWindow(frame->wnd)) {
        SetWindowLongPtrA(frame->wnd, GWLP_USERDATA, 0);
        if (frame->status) px_destroyStatusBar(frame->status);
        frame->status = nullptr;
        px_menuBarDropMenu(frame);
        DestroyWindow(frame->wnd);
    }
    if (frame->baseMenu) DestroyMenu(frame->baseMenu);
    if (frame->ownerDisabled && frame->owner) EnableWindow(frame->owner, TRUE);
    px_hostUnregisterWindow(&frame->hostObject, false);
    delete frame;
}

void px_showFrame(PxFrame *frame, int showCmd) {
    frame->shown = true;
    ShowWindow(frame->wnd, showCmd);
    UpdateWindow(frame->wnd);
    px_updateGridSize(frame);
}

void px_minimizeFrame(PxFrame *frame) {
    frame->minimizedByRequest = true;
    frame->wasForeground = GetForegroundWindow() == frame->wnd;
    frame->wasMaximized = IsZoomed(frame->wnd) != 0;
    SendMessageA(frame->wnd, WM_CANCELMODE, 0, 0);
    ShowWindow(frame->wnd, SW_MINIMIZE);
}

void px_restoreFrame(PxFrame *frame) {
    frame->minimizedByRequest = false;
    ShowWindow(frame->wnd, frame->wasMaximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

SIZE px_frameSizeForGrid(int columns, int rows) {
    SIZE s = px_gridToWindowSize(columns, rows);
    // The menu bar's row, as an overlapped window with a menu has it.
    RECT plain = {0, 0, 0, 0}, menu = {0, 0, 0, 0};
    AdjustWindowRectEx(&plain, WS_OVERLAPPEDWINDOW, FALSE, 0);
    AdjustWindowRectEx(&menu, WS_OVERLAPPEDWINDOW, TRUE, 0);
    s.cy += (menu.bottom - menu.top) - (plain.bottom - plain.top);
    s.cx += 2 * GetSystemMetrics(SM_CXEDGE);
    s.cy += 2 * GetSystemMetrics(SM_CYEDGE);
    // The status bar is measured in a window of the client class, which the
    // first frame of the process registers: asked before it, it is now.
    HWND temp = registerClasses() ? CreateWindowExA(0, kPxClientClass, "", WS_POPUP, 0, 0, 100, 100, nullptr,
                                                    nullptr, px_app()->instance, nullptr)
                                  : nullptr;
    if (temp) {
        HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | SBARS_SIZEGRIP, 0, 0, 0, 0, temp,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxMeasureStatusId)),
                                   px_app()->instance, nullptr);
        if (bar) {
            // A bar sizes itself only when told its parent's size.
            SendMessageA(bar, WM_SIZE, 0, 0);
            RECT r;
            GetWindowRect(bar, &r);
            s.cy += r.bottom - r.top;
            DestroyWindow(bar);
        }
        DestroyWindow(temp);
    }
    return s;
}

void px_fitFrameToGrid(PxFrame *frame, int columns, int rows) {
    PxApp *app = px_app();
    if (!frame || !frame->client || !app) return;
    // Twice: the first resize may show or hide the client's scroll bars.
    for (int pass = 0; pass < 2; ++pass) {
        px_updateScrollBars(frame);
        RECT c, w;
        GetClientRect(frame->client, &c);
        GetWindowRect(frame->wnd, &w);
        int dx = (columns - 2) * app->stepX - c.right, dy = (rows - 4) * app->stepY - c.bottom;
        if (!dx && !dy) return;
        SetWindowPos(frame->wnd, nullptr, 0, 0, w.right - w.left + dx, w.bottom - w.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void px_setupFrameStatus(PxFrame *frame) {
    if (!frame || !frame->status) return;
    px_addStatusPane(frame->status, 1, -1, -1);
    static const struct {
        int id;
        const char *text;
    } kIndicators[] = {{33, "OVR"}, {30, "NUM"}, {31, "CAPS"}, {32, "SCRL"}};
    HDC dc = GetDC(frame->status);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(frame->status, WM_GETFONT, 0, 0)));
    for (const auto &k : kIndicators) {
        SIZE s = {};
        GetTextExtentPoint32A(dc, k.text, lstrlenA(k.text), &s);
        px_addStatusPane(frame->status, k.id, s.cx, -1);
    }
    SelectObject(dc, old);
    ReleaseDC(frame->status, dc);
    px_updateIndicators(frame->status);
}

namespace {

// True when every visible child of the client is one of the moved windows
// and every moved window sits in the client: the client's picture then
// moves as a whole and its pixels can follow the children.
bool picturesMoveWhole(HWND client, std::vector<HWND> moved) {
    std::sort(moved.begin(), moved.end());
    for (HWND w : moved)
        if (GetParent(w) != client) return false;
    for (HWND w = GetWindow(client, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if ((GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) && !std::binary_search(moved.begin(), moved.end(), w))
            return false;
    return true;
}

// Shifts the client's pixels, children included, by (-dx, -dy) and repaints
// only what that leaves uncovered (and what was still waiting to be painted),
// instead of repainting every child at its new place.
void shiftPicture(HWND client, int dx, int dy) {
    RECT area;
    GetClientRect(client, &area);
    HRGN uncovered = CreateRectRgn(0, 0, 0, 0), pending = CreateRectRgn(0, 0, 0, 0);
    bool shifted = false;
    if (uncovered && pending) {
        if (GetUpdateRgn(client, pending, FALSE) > NULLREGION) OffsetRgn(pending, -dx, -dy);
        // Not clipped to the client's own background: the children's pixels move too.
        if (HDC dc = GetDCEx(client, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS)) {
            shifted = ScrollDC(dc, -dx, -dy, &area, &area, uncovered, nullptr) != FALSE;
            ReleaseDC(client, dc);
        }
        CombineRgn(uncovered, uncovered, pending, RGN_OR);
    }
    RedrawWindow(client, nullptr, shifted ? uncovered : nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    if (uncovered) DeleteObject(uncovered);
    if (pending) DeleteObject(pending);
}

}  // namespace

void px_scrollChildren(PxFrame *frame, int dx, int dy) {
    PxTopWnd *e = entryOfFrame(frame);
    if (!e || (dx == 0 && dy == 0)) return;
    frame->scrolledX += dx;
    frame->scrolledY += dy;
    std::vector<HWND> moved;
    px_forEachChild(e, [&](PxChildWnd *c) {
        if (c->wnd) moved.push_back(c->wnd);
    });
    // Asking the system for every child of the client costs more than moving
    // them: within one scroll action the answer is kept.
    PxApp *app = px_app();
    bool whole;
    if (frame->pictureKnown && app && app->scrollUpdateOff && moved == frame->pictureWnds) {
        whole = frame->pictureWhole;
    } else {
        whole = frame->client && picturesMoveWhole(frame->client, moved);
        frame->pictureKnown = app && app->scrollUpdateOff;
        frame->pictureWhole = whole;
        frame->pictureWnds = moved;
    }
    // All children move in one batch without painting; the client is then
    // repainted once instead of once per child.
    const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(moved.size()));
    for (HWND w : moved) {
        RECT r;
        if (!GetWindowRect(w, &r)) continue;
        MapWindowPoints(nullptr, frame->client, reinterpret_cast<POINT *>(&r), 2);
        if (batch) batch = DeferWindowPos(batch, w, nullptr, r.left - dx, r.top - dy, 0, 0, flags);
        else SetWindowPos(w, nullptr, r.left - dx, r.top - dy, 0, 0, flags);
    }
    if (batch) EndDeferWindowPos(batch);
    if (whole) shiftPicture(frame->client, dx, dy);
    else RedrawWindow(frame->client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void px_updateScrollBars(PxFrame *frame) {
    PxApp *app = px_app();
    if (!frame || !frame->client || !app || app->scrollUpdateOff) return;
    RECT box = {0, 0, 0, 0};
    PxTopWnd *e = entryOfFrame(frame);
    if (e) {
        px_forEachChild(e, [&](PxChildWnd *c) {
            RECT r;
            if (!c->wnd || !GetWindowRect(c->wnd, &r)) return;
            MapWindowPoints(nullptr, frame->client, reinterpret_cast<POINT *>(&r), 2);
            UnionRect(&box, &box, &r);
        });
    }
    RECT client;
    GetClientRect(frame->client, &client);
    int w = client.right, h = client.bottom;
    DWORD style = static_cast<DWORD>(GetWindowLongA(frame->client, GWL_STYLE));
    bool hasV = style & WS_VSCROLL, hasH = style & WS_HSCROLL;
    int vw = GetSystemMetrics(SM_CXVSCROLL), hh = GetSystemMetrics(SM_CYHSCROLL);
    int boxW = box.right - (box.left < 0 ? box.left : 0), boxH = box.bottom - (box.top < 0 ? box.top : 0);
    if (hasV && hasH && boxW <= w + vw && boxH <= h + hh) {
        w += vw;
        h += hh;
    } else {
        if (!hasV && boxH > h) {
            w -= vw;
            if (!hasH && boxW > w) h -= hh;
        }
        if (!hasH && boxW > w) {
            h -= hh;
            if (!hasV && boxH > h) w -= vw;
        }
    }
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    si.nMin = box.left < 0 ? box.left : 0;
    si.nMax = (box.right > w ? box.right : w) - 1;
    si.nPage = static_cast<UINT>(w > 0 ? w : 0);
    SetScrollInfo(frame->client, SB_HORZ, &si, TRUE);
    si.nMin = box.top < 0 ? box.top : 0;
    si.nMax = (box.bottom > h ? box.bottom : h) - 1;
    si.nPage = static_cast<UINT>(h > 0 ? h : 0);
    SetScrollInfo(frame->client, SB_VERT, &si, TRUE);
}

void px_scrollIntoView(PxFrame *frame, RECT rect, UINT flags) {
    if (!frame || !frame->client) return;
    MapWindowPoints(nullptr, frame->client, reinterpret_cast<POINT *>(&rect), 2);
    RECT c;
    GetClientRect(frame->client, &c);
    if (rect.left > c.left && rect.top > c.top && rect.right < c.right && rect.bottom < c.bottom) return;
    auto amount = [](int lo, int hi, int size, bool alignFar) {
        if (hi - lo <= size) {
            if (lo < 0) return lo;
            if (hi > size) return hi - size;
            return 0;
        }
        return alignFar ? hi - size : lo;
    };
    int dx = amount(rect.left, rect.right, c.right, flags & 1);
    int dy = amount(rect.top, rect.bottom, c.bottom, flags & 0x100);
    if (!dx && !dy) return;
    px_scrollChildren(frame, dx, dy);
    // The bars follow, so a later scroll action starts from where the view is.
    px_updateScrollBars(frame);
}

void px_updateGridSize(PxFrame *frame) {
    PxApp *app = px_app();
    if (!frame || !frame->client || !app) return;
    RECT r;
    GetClientRect(frame->client, &r);
    SIZE g = px_clientToGridSize(r.right, r.bottom);
    if (g.cx == frame->columns && g.cy == frame->rows) return;
    frame->columns = g.cx;
    frame->rows = g.cy;
    if (app->sizeMoving) frame->resizePending = true;
    else px_postEvent3(500, 0, 0, g.cx, g.cy, kPxModeQueue);
}

void px_frameMenuCommand(PxFrame *frame, int id) { px_menuCommand(frame, static_cast<UINT>(id)); }

void px_installHooks() {
    PxApp *app = px_app();
    if (!app || app->hookCallWnd) return;
    DWORD thread = GetCurrentThreadId();
    app->hookCallWnd = SetWindowsHookExA(WH_CALLWNDPROC, callHook, app->instance, thread);
    app->hookCallWndRet = SetWindowsHookExA(WH_CALLWNDPROCRET, returnHook, app->instance, thread);
}

void px_removeHooks() {
    PxApp *app = px_app();
    if (!app) return;
    if (app->hookCallWnd) UnhookWindowsHookEx(app->hookCallWnd);
    if (app->hookCallWndRet) UnhookWindowsHookEx(app->hookCallWndRet);
    app->hookCallWnd = app->hookCallWndRet = nullptr;
    g_modalLoops.clear();
}

HWND px_modalLoopWindow() { return g_modalLoops.empty() ? nullptr : g_modalLoops.back(); }

void px_askToStopSession() {
    std::string text = px_ansi(L"Вы действительно хотите закрыть приложение?");
    std::string caption = px_ansi(L"Принудительное завершение");
    if (px_messageBox(text.c_str(), caption.c_str(), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    if (!px_hostMayClose()) return;
    px_hostClose();
    PxApp *app = px_app();
    if (app && app->appObj) app->appObj->fn->stopSession(app->appObj, 1);
}
