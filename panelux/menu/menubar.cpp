#include "menubar.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "errbox.h"
#include "events.h"
#include "frame.h"
#include "menus.h"
#include "registry.h"
#include "wndutil.h"

const char kPxMenuBarClass[] = "QVUI:MenuBar";

namespace {

struct MenuBarRec {
    HWND self = nullptr, prevFocus = nullptr, frame = nullptr;
    HMENU menu = nullptr;
    HFONT font = nullptr;
    HHOOK msgHook = nullptr, cbtHook = nullptr;
    std::vector<HWND> popups;
    uint32_t style = 0;
    int lastSysKey = 0, openItem = -1, savedHot = -1, nextItem = -1;
    bool altAlone = false, keyboardMode = false, submenuHighlighted = false, fromKeyboard = false;
    bool stayHot = false, suspended = false, active = false;
    bool flatMenus = false, cuesHidden = false;
};

WNDPROC g_toolbarProc;
int g_toolbarExtra;
UINT g_autoPopupMsg;
std::vector<MenuBarRec *> g_bars;
MenuBarRec *g_tracking;

constexpr int kMaxButtonText = 100;

MenuBarRec *recOf(HWND bar) {
    if (!bar || !g_toolbarProc) return nullptr;
    auto it = std::find_if(g_bars.begin(), g_bars.end(), [&](MenuBarRec *r) { return r->self == bar; });
    return it == g_bars.end() ? nullptr : *it;
}

MenuBarRec *recOfFrame(const PxFrame *frame) { return frame ? recOf(frame->menuBar) : nullptr; }

int buttonCount(MenuBarRec *r) { return static_cast<int>(SendMessageA(r->self, TB_BUTTONCOUNT, 0, 0)); }
int hotItem(MenuBarRec *r) { return static_cast<int>(SendMessageA(r->self, TB_GETHOTITEM, 0, 0)); }
void setHot(MenuBarRec *r, int i) { SendMessageA(r->self, TB_SETHOTITEM, static_cast<WPARAM>(i), 0); }

bool usable(MenuBarRec *r, int i) {
    TBBUTTON b = {};
    if (!SendMessageA(r->self, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b))) return false;
    return (b.fsState & TBSTATE_ENABLED) && !(b.fsState & TBSTATE_HIDDEN);
}

// The next usable button from i in direction step, wrapping; -1 when none.
int nextUsable(MenuBarRec *r, int i, int step) {
    int n = buttonCount(r);
    for (int k = 1; k <= n; ++k) {
        int j = ((i + step * k) % n + n) % n;
        if (usable(r, j)) return j;
    }
    return -1;
}

// In the menu loop the hot item is reported as a system menu bar reports
// its highlighted popup, so that the frame shows its help line.
void reportHot(MenuBarRec *r, const NMTBHOTITEM *hot) {
    if (!r->keyboardMode || !r->menu || !hot) return;
    if (hot->dwFlags & HICF_LEAVING) {
        SendMessageA(r->frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        return;
    }
    if (hot->idNew < 0 || hot->idNew >= GetMenuItemCount(r->menu)) return;
    SendMessageA(r->frame, WM_MENUSELECT, MAKEWPARAM(hot->idNew, MF_POPUP | MF_HILITE),
                 reinterpret_cast<LPARAM>(r->menu));
}

// The menu loop without a new hot item; false when already in it.
bool enterLoop(MenuBarRec *r) {
    if (r->keyboardMode) return false;
    r->keyboardMode = true;
    SendMessageA(r->frame, WM_ENTERMENULOOP, 0, 0);
    SendMessageA(r->self, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
    return true;
}

void enterKeyboardMode(MenuBarRec *r) {
    if (!enterLoop(r)) return;
    NMTBHOTITEM hot = {};
    hot.idNew = hotItem(r);
    if (hot.idNew < 0) setHot(r, nextUsable(r, -1, 1));
    else reportHot(r, &hot);
}

void leaveKeyboardMode(MenuBarRec *r) {
    r->altAlone = false;
    if (!r->keyboardMode) return;
    r->keyboardMode = false;
    setHot(r, -1);
    SendMessageA(r->frame, WM_EXITMENULOOP, 0, 0);
    // With keyboard cues on the underlines stay, as on the system's bars.
    if (r->cuesHidden) SendMessageA(r->self, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEACCEL), 0);
}

// The button whose hot-key letter is ch (Windows code page): mapped here,
// as the toolbar's own mapping misses the Cyrillic letters.
int itemOfChar(MenuBarRec *r, unsigned char ch) {
    wchar_t w[2] = {};
    char c = static_cast<char>(ch);
    if (!r->menu || MultiByteToWideChar(CP_ACP, 0, &c, 1, w, 1) != 1) return -1;
    CharUpperBuffW(w, 1);
    int n = GetMenuItemCount(r->menu);
    for (int i = 0; i < n; ++i) {
        wchar_t text[kMaxButtonText + 1] = {};
        GetMenuStringW(r->menu, static_cast<UINT>(i), text, kMaxButtonText, MF_BYPOSITION);
        const wchar_t *amp = wcschr(text, L'&');
        while (amp && amp[1] == L'&') amp = wcschr(amp + 2, L'&');
        if (!amp || !amp[1]) continue;
        wchar_t k = amp[1];
        CharUpperBuffW(&k, 1);
        if (k == w[0] && usable(r, i)) return i;
    }
    return -1;
}

void openItem(MenuBarRec *r, int item, bool byMouse) {
    PostMessageA(r->self, g_autoPopupMsg, static_cast<WPARAM>(item), byMouse ? 1 : 0);
}

LRESULT CALLBACK cbtHook(int code, WPARAM wParam, LPARAM lParam) {
    MenuBarRec *r = g_tracking;
    if (r && code == HCBT_CREATEWND) {
        char cls[16] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls);
        if (lstrcmpA(cls, "#32768") == 0) r->popups.push_back(reinterpret_cast<HWND>(wParam));
    } else if (r && code == HCBT_DESTROYWND) {
        auto &p = r->popups;
        p.erase(std::remove(p.begin(), p.end(), reinterpret_cast<HWND>(wParam)), p.end());
    }
    return CallNextHookEx(r ? r->cbtHook : nullptr, code, wParam, lParam);
}

// Closes the popups so that the loop of px_menuBarTrack opens item next.
void switchTo(MenuBarRec *r, int item, bool byMouse) {
    r->nextItem = byMouse ? static_cast<int>(item | 0xFFFF0000) : item;
    EndMenu();
}

bool filterMenuMessage(MenuBarRec *r, MSG *m) {
    switch (m->message) {
    case WM_SYSKEYDOWN:
        EndMenu();
        leaveKeyboardMode(r);
        return true;
    case WM_KEYDOWN:
        switch (m->wParam) {
        case VK_TAB:
            PostMessageA(m->hwnd, WM_KEYDOWN, GetKeyState(VK_SHIFT) < 0 ? VK_UP : VK_DOWN, 0);
            return true;
        case VK_ESCAPE:
            if (r->popups.size() <= 1) r->stayHot = true;
            return false;
        case VK_RIGHT:
            if (r->submenuHighlighted) return false;
            switchTo(r, nextUsable(r, r->openItem, 1), false);
            return true;
        case VK_LEFT:
            if (r->popups.size() > 1) return false;
            switchTo(r, nextUsable(r, r->openItem, -1), false);
            return true;
        default: return false;
        }
    case WM_MOUSEMOVE: {
        POINT pt = m->pt;
        ScreenToClient(r->self, &pt);
        int i = static_cast<int>(SendMessageA(r->self, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
        if (i >= 0 && i < buttonCount(r) && i != r->openItem && usable(r, i)) {
            switchTo(r, i, true);
            return true;
        }
        return false;
    }
    default: return false;
    }
}

LRESULT CALLBACK msgHook(int code, WPARAM wParam, LPARAM lParam) {
    MenuBarRec *r = g_tracking;
    if (r && code == MSGF_MENU && filterMenuMessage(r, reinterpret_cast<MSG *>(lParam))) return 1;
    return CallNextHookEx(r ? r->msgHook : nullptr, code, wParam, lParam);
}

void trackItem(MenuBarRec *r, int item, bool byMouse) {
    if (g_tracking || r->suspended || !r->menu) return;
    for (;;) {
        HMENU sub = GetSubMenu(r->menu, item);
        if (item < 0 || item >= buttonCount(r)) return;
        if (!sub) {
            // A top-level item without a popup is chosen at once.
            leaveKeyboardMode(r);
            UINT id = GetMenuItemID(r->menu, item);
            if (id != static_cast<UINT>(-1)) PostMessageA(r->frame, WM_COMMAND, id, 0);
            return;
        }
        enterKeyboardMode(r);
        RECT rc;
        SendMessageA(r->self, TB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rc));
        MapWindowPoints(r->self, nullptr, reinterpret_cast<POINT *>(&rc), 2);
        TPMPARAMS tpm = {sizeof tpm, rc};
        setHot(r, item);
        SendMessageA(r->self, TB_PRESSBUTTON, static_cast<WPARAM>(item), TRUE);
        r->openItem = item;
        r->nextItem = -1;
        r->stayHot = false;
        r->submenuHighlighted = false;
        g_tracking = r;
        DWORD thread = GetCurrentThreadId();
        r->msgHook = SetWindowsHookExA(WH_MSGFILTER, msgHook, nullptr, thread);
        r->cbtHook = SetWindowsHookExA(WH_CBT, cbtHook, nullptr, thread);
        if (!byMouse) PostMessageA(r->frame, WM_KEYDOWN, VK_DOWN, 0);
        UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON |
                     (byMouse ? TPM_VERPOSANIMATION : TPM_NOANIMATION);
        TrackPopupMenuEx(sub, flags, rc.left, rc.bottom, r->frame, &tpm);
        if (r->msgHook) UnhookWindowsHookEx(r->msgHook);
        if (r->cbtHook) UnhookWindowsHookEx(r->cbtHook);
        r->msgHook = r->cbtHook = nullptr;
        g_tracking = nullptr;
        r->popups.clear();
        SendMessageA(r->self, TB_PRESSBUTTON, static_cast<WPARAM>(item), FALSE);
        r->openItem = -1;
        // The click that closed the popup on its own button must not reopen it.
        MSG m;
        POINT pt;
        GetCursorPos(&pt);
        if (PtInRect(&rc, pt)) PeekMessageA(&m, r->self, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);
        if (r->nextItem == -1) break;
        byMouse = (r->nextItem & 0xFFFF0000) == 0xFFFF0000 && r->nextItem != -1;
        item = r->nextItem & 0xFFFF;
    }
    if (r->stayHot) {
        // Back on the bar after Esc: its item's help line replaces the
        // popup's.
        NMTBHOTITEM hot = {};
        hot.idNew = hotItem(r);
        reportHot(r, &hot);
    } else {
        leaveKeyboardMode(r);
    }
}

// Whether button i lies (partly) beyond the bar's visible width.
bool cutOff(MenuBarRec *r, int i) {
    RECT item, client;
    if (!SendMessageA(r->self, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item))) return false;
    GetClientRect(r->self, &client);
    return item.right > client.right;
}

// The chevron's popup: the items of the buttons cut off, with their own
// submenus, below the chevron at the band's right end (at in screen
// co-ordinates). Chosen commands reach the frame as from the bar itself.
void chevronPopup(MenuBarRec *r, RECT at, bool byMouse) {
    if (g_tracking || !r->menu) return;
    HMENU popup = CreatePopupMenu();
    if (!popup) return;
    int n = buttonCount(r);
    for (int i = 0; i < n; ++i) {
        if (!cutOff(r, i)) continue;
        char text[kMaxButtonText + 1] = {};
        GetMenuStringA(r->menu, static_cast<UINT>(i), text, kMaxButtonText, MF_BYPOSITION);
        UINT state = GetMenuState(r->menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED);
        if (HMENU sub = GetSubMenu(r->menu, i))
            AppendMenuA(popup, MF_POPUP | MF_STRING | state, reinterpret_cast<UINT_PTR>(sub), text);
        else
            AppendMenuA(popup, MF_STRING | state, GetMenuItemID(r->menu, i), text);
    }
    if (GetMenuItemCount(popup) > 0) {
        enterKeyboardMode(r);
        TPMPARAMS tpm = {sizeof tpm, at};
        if (!byMouse) PostMessageA(r->frame, WM_KEYDOWN, VK_DOWN, 0);
        TrackPopupMenuEx(popup, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_VERTICAL | TPM_LEFTBUTTON, at.right, at.bottom,
                         r->frame, &tpm);
        leaveKeyboardMode(r);
    }
    // The submenus belong to the bar's menu: taken out before the popup goes.
    while (GetMenuItemCount(popup) > 0) RemoveMenu(popup, 0, MF_BYPOSITION);
    DestroyMenu(popup);
}

// The chevron pushed from the keyboard: at the right end of the bar's band.
void openChevron(MenuBarRec *r) {
    HWND rebar = GetParent(r->self);
    int band = static_cast<int>(SendMessageA(rebar, RB_IDTOINDEX, kPxMenuBarId, 0));
    RECT rc;
    if (band < 0 || !SendMessageA(rebar, RB_GETRECT, static_cast<WPARAM>(band), reinterpret_cast<LPARAM>(&rc))) return;
    MapWindowPoints(rebar, nullptr, reinterpret_cast<POINT *>(&rc), 2);
    rc.left = rc.right - GetSystemMetrics(SM_CXVSCROLL);
    setHot(r, -1);
    chevronPopup(r, rc, false);
}

// Moves the hot item; a button cut off by a narrow frame is reached through
// the chevron.
void moveHot(MenuBarRec *r, int step) {
    int next = nextUsable(r, hotItem(r), step);
    if (next >= 0 && cutOff(r, next)) openChevron(r);
    else setHot(r, next);
}

// F1 in keyboard mode: help on the hot item, as a system menu bar gives.
void helpOnHot(MenuBarRec *r) {
    int hot = hotItem(r);
    if (hot < 0 || !r->menu) return;
    HELPINFO hi = {};
    hi.cbSize = sizeof hi;
    hi.iContextType = HELPINFO_MENUITEM;
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_ID;
    if (!GetMenuItemInfoA(r->menu, static_cast<UINT>(hot), TRUE, &mi)) return;
    hi.iCtrlId = static_cast<int>(mi.wID);
    hi.hItemHandle = r->menu;
    GetCursorPos(&hi.MousePos);
    SendMessageA(r->frame, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}

// False for a key the bar does not move or open with: its character may.
bool onKey(MenuBarRec *r, WPARAM vk) {
    int hot = hotItem(r);
    switch (vk) {
    case VK_TAB: moveHot(r, GetKeyState(VK_SHIFT) < 0 ? -1 : 1); break;
    case VK_RIGHT: moveHot(r, 1); break;
    case VK_LEFT: moveHot(r, -1); break;
    case VK_F1: helpOnHot(r); break;
    case VK_RETURN: case VK_UP: case VK_DOWN:
        if (hot >= 0) openItem(r, hot, false);
        break;
    case VK_ESCAPE: case VK_MENU: leaveKeyboardMode(r); break;
    case VK_SPACE:
        // The frame keeps Space without Alt from its default procedure: the
        // bar hands it there itself.
        leaveKeyboardMode(r);
        PostMessageA(r->self, WM_SYSCOMMAND, SC_KEYMENU, ' ');
        break;
    default: return false;
    }
    return true;
}

// Alt with a character: the item it maps to opens; none leaves keyboard
// mode, and '/' opens the chevron.
void onSysChar(MenuBarRec *r, WPARAM ch) {
    int i = itemOfChar(r, static_cast<unsigned char>(ch));
    bool open = !r->suspended && IsWindowEnabled(r->frame);
    if (i < 0) {
        leaveKeyboardMode(r);
        if (ch == '/' && open) openChevron(r);
    } else if (open) {
        setHot(r, i);
        openItem(r, i, false);
    }
}

void onChar(MenuBarRec *r, WPARAM ch) {
    int i = itemOfChar(r, static_cast<unsigned char>(ch));
    if (i >= 0 && cutOff(r, i)) openChevron(r);
    else if (i >= 0) openItem(r, i, false);
    else if (ch != '/') MessageBeep(0);
}

void readCues(MenuBarRec *r) {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&vi)) return;
#pragma GCC diagnostic pop
    BOOL on = TRUE;
    if (vi.dwMajorVersion > 4) r->cuesHidden = SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &on, 0) && !on;
    BOOL flat = FALSE;
    if (vi.dwMajorVersion > 5 || (vi.dwMajorVersion == 5 && vi.dwMinorVersion >= 1))
        r->flatMenus = SystemParametersInfoA(SPI_GETFLATMENU, 0, &flat, 0) && flat;
    // Hidden cues: the underlines wait for keyboard mode.
    if (!r->keyboardMode)
        SendMessageA(r->self, WM_CHANGEUISTATE, MAKEWPARAM(r->cuesHidden ? UIS_SET : UIS_CLEAR, UISF_HIDEACCEL), 0);
}

void applyMenuFont(MenuBarRec *r) {
    NONCLIENTMETRICSA nm = {};
    nm.cbSize = sizeof nm;
    LOGFONTA now = {};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof nm, &nm, 0) &&
        !(r->font && GetObjectA(r->font, sizeof now, &now) == sizeof now &&
          memcmp(&now, &nm.lfMenuFont, sizeof now) == 0)) {
        if (HFONT f = CreateFontIndirectA(&nm.lfMenuFont)) {
            SendMessageA(r->self, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
            if (r->font) DeleteObject(r->font);
            r->font = f;
            // A string in the new font gives the bar its text height.
            SendMessageA(r->self, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>("NS\0"));
            SendMessageA(r->self, TB_AUTOSIZE, 0, 0);
        }
    }
    readCues(r);
}

LRESULT barMessage(MenuBarRec *r, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == g_autoPopupMsg) {
        trackItem(r, static_cast<int>(wParam), lParam != 0);
        return 0;
    }
    switch (msg) {
    case WM_KEYDOWN:
        if (r->suspended) return 0;
        onKey(r, wParam);
        return 0;
    case WM_CHAR:
        if (r->suspended) return 0;
        onChar(r, wParam);
        return 0;
    case WM_WININICHANGE:
        applyMenuFont(r);
        break;
    case WM_SYSCOMMAND:
        // Space in keyboard mode: the frame's system menu.
        if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == ' ') return DefWindowProcA(r->frame, msg, wParam, lParam);
        break;
    case WM_WINDOWPOSCHANGING: {
        auto *wp = reinterpret_cast<WINDOWPOS *>(lParam);
        int h = GetSystemMetrics(SM_CYMENU);
        if (!(wp->flags & SWP_NOSIZE) && wp->cy < h) wp->cy = h;
        break;
    }
    default: break;
    }
    return CallWindowProcA(g_toolbarProc, wnd, msg, wParam, lParam);
}

LRESULT CALLBACK barProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        if (msg == WM_NCCREATE) {
            auto *r = new MenuBarRec;
            r->self = wnd;
            g_bars.push_back(r);
        }
        MenuBarRec *r = recOf(wnd);
        if (!r) return CallWindowProcA(g_toolbarProc, wnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            LRESULT res = CallWindowProcA(g_toolbarProc, wnd, msg, wParam, lParam);
            if (g_tracking == r) g_tracking = nullptr;
            if (r->font) DeleteObject(r->font);
            g_bars.erase(std::remove(g_bars.begin(), g_bars.end(), r), g_bars.end());
            delete r;
            return res;
        }
        return barMessage(r, wnd, msg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

bool registerClass() {
    PxApp *app = px_app();
    if (!app) return false;
    WNDCLASSA wc = {};
    if (!g_toolbarProc) {
        if (!GetClassInfoA(nullptr, TOOLBARCLASSNAMEA, &wc)) return false;
        g_toolbarProc = wc.lpfnWndProc;
        g_toolbarExtra = wc.cbWndExtra;
        g_autoPopupMsg = RegisterWindowMessageA("MyMenuBar_InternalAutoPopupMsg");
    }
    WNDCLASSA mine = {};
    if (GetClassInfoA(app->instance, kPxMenuBarClass, &mine) && mine.lpfnWndProc == barProc) return true;
    GetClassInfoA(nullptr, TOOLBARCLASSNAMEA, &wc);
    wc.style &= ~CS_GLOBALCLASS;
    wc.lpfnWndProc = barProc;
    wc.cbWndExtra = g_toolbarExtra + static_cast<int>(sizeof(void *));
    wc.hInstance = app->instance;
    wc.lpszClassName = kPxMenuBarClass;
    return px_regWndClassCaptioned(&wc, "UnregisterClass('%s') failed!", "RegisterClass('%s') failed!") == 0;
}

// The server menu on top of the frame's stack, else the frame's own
// placeholder.
void showTop(PxFrame *frame) {
    PxMenu *top = static_cast<PxMenu *>(frame->menuTop);
    px_menuBarSetMenu(frame->menuBar, top ? top->native : frame->baseMenu);
    px_menuBarSuspend(frame->menuBar, true);
}

// A menu bar in the frame's rebar, showing menu.
HWND createMenuBarWnd(PxFrame *frame, HMENU menu) {
    if (!registerClass()) return nullptr;
    HWND bar = CreateWindowExA(0, kPxMenuBarClass, "",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT |
                                   TBSTYLE_LIST | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE,
                               0, 0, 100, GetSystemMetrics(SM_CYMENU), frame->rebar,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxMenuBarId)), px_app()->instance, nullptr);
    MenuBarRec *r = recOf(bar);
    if (!r) {
        if (bar) DestroyWindow(bar);
        return nullptr;
    }
    r->frame = frame->wnd;
    r->active = GetActiveWindow() == frame->wnd;
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(bar, TB_SETIMAGELIST, 0, 0);
    SendMessageA(bar, TB_SETPARENT, reinterpret_cast<WPARAM>(frame->wnd), 0);
    applyMenuFont(r);
    px_menuBarSetMenu(bar, menu);
    return bar;
}

// The band of the menu bar: a row of its own without gripper.
bool insertBand(HWND rebar, HWND bar) {
    RECT r;
    GetWindowRect(bar, &r);
    REBARBANDINFOA band = {};
    band.cbSize = REBARBANDINFOA_V6_SIZE;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_ID | RBBIM_STYLE;
    band.fStyle = RBBS_BREAK | RBBS_NOGRIPPER | RBBS_USECHEVRON;
    band.hwndChild = bar;
    band.wID = kPxMenuBarId;
    band.cyMinChild = static_cast<UINT>(r.bottom - r.top);
    return SendMessageA(rebar, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band)) != 0;
}

// The frame's placeholder menu: one popup item whose text is a blank.
HMENU placeholderMenu() {
    HMENU menu = CreateMenu(), popup = CreatePopupMenu();
    if (menu && popup && AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), " ")) return menu;
    if (popup) DestroyMenu(popup);
    if (menu) DestroyMenu(menu);
    return nullptr;
}

HWND createRebar(HWND parent, int id, DWORD style) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    // No divider and a border do not go together; neither gets no divider.
    if ((style & CCS_NODIVIDER) && (style & WS_BORDER)) style &= ~static_cast<DWORD>(WS_BORDER);
    else if (!(style & (CCS_NODIVIDER | WS_BORDER))) style |= CCS_NODIVIDER;
    HWND rebar = CreateWindowExA(0, REBARCLASSNAMEA, "", style, 0, 0, 100, 100, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), px_app()->instance, nullptr);
    if (!rebar) return nullptr;
    REBARINFO ri = {};
    ri.cbSize = sizeof ri;
    if (!SendMessageA(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&ri))) {
        DestroyWindow(rebar);
        return nullptr;
    }
    return rebar;
}

}  // namespace

HWND px_createRebarWnd(PxFrame *frame) {
    if (!frame || !px_app()) return nullptr;
    frame->rebar = createRebar(frame->wnd, kPxRebarId,
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | RBS_VARHEIGHT |
                                   RBS_BANDBORDERS | RBS_FIXEDORDER | CCS_NODIVIDER | CCS_TOP);
    frame->baseMenu = frame->rebar ? placeholderMenu() : nullptr;
    frame->menuBar = frame->baseMenu ? createMenuBarWnd(frame, frame->baseMenu) : nullptr;
    if (!frame->menuBar || !insertBand(frame->rebar, frame->menuBar)) {
        DWORD error = GetLastError();
        if (frame->menuBar) DestroyWindow(frame->menuBar);
        if (frame->rebar) DestroyWindow(frame->rebar);
        if (frame->baseMenu) DestroyMenu(frame->baseMenu);
        frame->menuBar = frame->rebar = nullptr;
        frame->baseMenu = nullptr;
        px_sysErrorBox(error, "px_createRebarWnd: CreateRebarWnd() failed!");
        return nullptr;
    }
    px_menuBarFitBand(frame->menuBar);
    px_menuBarSuspend(frame->menuBar, true);
    return frame->rebar;
}

void px_menuBarDropMenu(PxFrame *frame) {
    if (frame->menuBar && IsWindow(frame->menuBar)) px_menuBarSetMenu(frame->menuBar, nullptr);
    if (frame->baseMenu) DestroyMenu(frame->baseMenu);
    frame->baseMenu = nullptr;
}

HMENU px_menuBarSetMenu(HWND bar, HMENU menu) {
    MenuBarRec *r = recOf(bar);
    if (!r) return reinterpret_cast<HMENU>(-1);
    HMENU old = r->menu;
    SendMessageA(bar, WM_SETREDRAW, FALSE, 0);
    while (SendMessageA(bar, TB_DELETEBUTTON, 0, 0)) {}
    r->menu = menu;
    int n = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < n; ++i) {
        char text[kMaxButtonText + 1] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, kMaxButtonText, MF_BYPOSITION);
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        TBBUTTON b = {};
        b.iBitmap = I_IMAGENONE;
        b.idCommand = i;
        b.fsState = (state & (MF_GRAYED | MF_DISABLED)) ? 0 : TBSTATE_ENABLED;
        b.fsStyle = BTNS_AUTOSIZE | BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN;
        b.iString = reinterpret_cast<INT_PTR>(text);
        SendMessageA(bar, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
    }
    SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
    px_menuBarFitBand(bar);
    InvalidateRect(bar, nullptr, TRUE);
    return old;
}

void px_menuBarFitBand(HWND bar) {
    HWND rebar = bar ? GetParent(bar) : nullptr;
    int band = rebar ? static_cast<int>(SendMessageA(rebar, RB_IDTOINDEX, kPxMenuBarId, 0)) : -1;
    if (band < 0) return;
    int n = static_cast<int>(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
    int width = 0, height = GetSystemMetrics(SM_CYMENU);
    for (int i = 0; i < n; ++i) {
        RECT rc;
        if (!SendMessageA(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rc))) continue;
        width = rc.right > width ? rc.right : width;
        height = rc.bottom - rc.top > height ? rc.bottom - rc.top : height;
    }
    // The ideal width is what the buttons need: narrower, the band shows
    // its chevron.
    REBARBANDINFOA info = {};
    info.cbSize = REBARBANDINFOA_V6_SIZE;
    info.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE | RBBIM_STYLE;
    info.fStyle = RBBS_BREAK | RBBS_NOGRIPPER | RBBS_USECHEVRON;
    info.cyMinChild = static_cast<UINT>(height);
    info.cxIdeal = static_cast<UINT>(width);
    SendMessageA(rebar, RB_SETBANDINFOA, static_cast<WPARAM>(band), reinterpret_cast<LPARAM>(&info));
}

void px_menuBarRebuild(HWND bar) {
    if (MenuBarRec *r = recOf(bar)) px_menuBarSetMenu(bar, r->menu);
}

bool px_menuBarSuspend(HWND bar, bool on) {
    MenuBarRec *r = recOf(bar);
    if (!r) return false;
    bool was = r->suspended;
    if (on) {
        r->savedHot = hotItem(r);
        leaveKeyboardMode(r);
        setHot(r, -1);
    }
    r->suspended = on;
    return was;
}

bool px_menuBarKeyboardMode(HWND bar) {
    MenuBarRec *r = recOf(bar);
    return r && r->keyboardMode;
}

int px_menuBarOpenItem(HWND bar) {
    MenuBarRec *r = recOf(bar);
    return r ? r->openItem : -1;
}

void px_pushFrameMenu(PxMenu *menu) {
    PxFrame *frame = px_frameOf(px_curFrameWnd());
    if (!frame || !frame->menuBar || menu->frame) return;
    menu->below = static_cast<PxMenu *>(frame->menuTop);
    menu->frame = frame;
    frame->menuTop = menu;
    showTop(frame);
}

void px_popFrameMenu(PxMenu *menu) {
    PxFrame *frame = menu->frame;
    if (!frame) return;
    PxMenu **link = reinterpret_cast<PxMenu **>(&frame->menuTop);
    while (*link && *link != menu) link = &(*link)->below;
    if (*link) *link = menu->below;
    menu->frame = nullptr;
    menu->below = nullptr;
    if (frame->menuBar && IsWindow(frame->menuBar)) showTop(frame);
}

void px_refreshFrameMenu(PxMenu *menu) {
    PxFrame *frame = menu->frame;
    if (frame && frame->menuTop == menu && frame->menuBar) px_menuBarRebuild(frame->menuBar);
}

void px_dropFrameMenus(PxFrame *frame) {
    for (PxMenu *m = static_cast<PxMenu *>(frame->menuTop); m;) {
        PxMenu *below = m->below;
        m->frame = nullptr;
        m->below = nullptr;
        m = below;
    }
    frame->menuTop = nullptr;
}

void px_menuBarTrackLoop(PxFrame *frame) {
    MenuBarRec *r = recOfFrame(frame);
    if (!r) return;
    r->suspended = false;
    if (GetActiveWindow() != frame->wnd) return;
    POINT click;
    if (px_takePendingClick(&click))
        PostMessageA(frame->wnd, WM_SYSCOMMAND, SC_MOUSEMENU, MAKELPARAM(click.x, click.y));
    else
        PostMessageA(frame->wnd, WM_SYSCOMMAND, SC_KEYMENU, 0);
}

void px_menuBarEndLoop(PxFrame *frame) {
    if (MenuBarRec *r = recOfFrame(frame)) px_menuBarSuspend(r->self, true);
}

bool px_menuBarPreTranslate(MSG *msg) {
    PxFrame *frame = px_frameOf(px_curFrameWnd());
    MenuBarRec *r = recOfFrame(frame);
    if (!r || r->suspended || g_tracking) return false;
    bool down = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool up = msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    if (down && msg->wParam == VK_MENU) {
        r->altAlone = !(msg->lParam & (1L << 30));
        if (r->keyboardMode) leaveKeyboardMode(r), r->altAlone = false;
        return true;
    }
    if (up && msg->wParam == VK_MENU) {
        if (r->altAlone) PostMessageA(r->frame, WM_SYSCOMMAND, SC_KEYMENU, 0);
        r->altAlone = false;
        return true;
    }
    if (down) r->altAlone = false;
    if (down && msg->wParam == VK_F10 && GetKeyState(VK_SHIFT) >= 0) {
        if (r->keyboardMode) leaveKeyboardMode(r);
        else PostMessageA(r->frame, WM_SYSCOMMAND, SC_KEYMENU, 0);
        return true;
    }
    if (msg->message == WM_SYSCHAR) {
        onSysChar(r, msg->wParam);
        return true;
    }
    if (r->keyboardMode && (down || msg->message == WM_CHAR)) {
        // A letter comes back as the character that opens its item.
        if (msg->message == WM_CHAR) onChar(r, msg->wParam);
        else if (!onKey(r, msg->wParam)) TranslateMessage(msg);
        return true;
    }
    // Typed keys become characters for the bar, not server events.
    return r->keyboardMode && up;
}

bool px_menuBarFrameMsg(PxFrame *frame, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result) {
    MenuBarRec *r = recOfFrame(frame);
    if (!r) return false;
    *result = 0;
    switch (msg) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) {
            if (lParam == ' ') return false;
            if (lParam != 0 && lParam != -1) {
                onSysChar(r, static_cast<WPARAM>(lParam));
                return true;
            }
            if (r->keyboardMode) leaveKeyboardMode(r);
            else if (IsWindowEnabled(frame->wnd) && !r->suspended) enterKeyboardMode(r);
            return true;
        }
        if ((wParam & 0xFFF0) == SC_MOUSEMENU) {
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (SendMessageA(frame->wnd, WM_NCHITTEST, 0, lParam) == HTSYSMENU) {
                leaveKeyboardMode(r);
                return false;
            }
            if (r->suspended || !IsWindowEnabled(frame->wnd)) return true;
            ScreenToClient(r->self, &pt);
            int i = static_cast<int>(SendMessageA(r->self, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
            if (i >= 0 && i < buttonCount(r)) {
                enterKeyboardMode(r);
                openItem(r, i, true);
            }
            return true;
        }
        return false;
    case WM_ACTIVATE:
        r->active = LOWORD(wParam) != WA_INACTIVE;
        InvalidateRect(r->self, nullptr, TRUE);
        return false;
    case WM_HELP: {
        // Help asked on the bar itself is help on its hot item.
        auto *hi = reinterpret_cast<HELPINFO *>(lParam);
        int hot = hotItem(r);
        if (hi && hi->iContextType == HELPINFO_WINDOW && hi->hItemHandle == r->self && hot >= 0 && r->menu) {
            MENUITEMINFOA mi = {};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_ID;
            if (GetMenuItemInfoA(r->menu, static_cast<UINT>(hot), TRUE, &mi)) {
                hi->iContextType = HELPINFO_MENUITEM;
                hi->iCtrlId = static_cast<int>(mi.wID);
                hi->hItemHandle = r->menu;
            }
        }
        return false;
    }
    case WM_NOTIFY: {
        NMHDR *hdr = reinterpret_cast<NMHDR *>(lParam);
        if (hdr && hdr->hwndFrom == frame->rebar && hdr->code == static_cast<UINT>(RBN_CHEVRONPUSHED)) {
            auto *nm = reinterpret_cast<NMREBARCHEVRON *>(lParam);
            if (nm->wID != static_cast<UINT>(kPxMenuBarId) || r->suspended) return false;
            RECT at = nm->rc;
            MapWindowPoints(frame->rebar, nullptr, reinterpret_cast<POINT *>(&at), 2);
            chevronPopup(r, at, true);
            return true;
        }
        if (!hdr || hdr->hwndFrom != r->self) return false;
        if (hdr->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
            // Item texts are grey while the frame is inactive.
            auto *cd = reinterpret_cast<NMTBCUSTOMDRAW *>(lParam);
            if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) *result = CDRF_NOTIFYITEMDRAW;
            else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && !r->active) cd->clrText = GetSysColor(COLOR_GRAYTEXT);
            return true;
        }
        if (hdr->code == static_cast<UINT>(TBN_DROPDOWN)) {
            int item = reinterpret_cast<NMTOOLBARA *>(lParam)->iItem;
            if (r->suspended) {
                RECT rc;
                SendMessageA(r->self, TB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rc));
                MapWindowPoints(r->self, nullptr, reinterpret_cast<POINT *>(&rc), 2);
                PostMessageA(frame->wnd, WM_NCLBUTTONDOWN, HTMENU, MAKELPARAM(rc.left, rc.top));
            } else {
                openItem(r, item, true);
            }
            *result = TBDDRET_DEFAULT;
            return true;
        }
        if (hdr->code == static_cast<UINT>(TBN_HOTITEMCHANGE)) {
            auto *hot = reinterpret_cast<NMTBHOTITEM *>(lParam);
            // While a popup is open the mouse leaving the bar keeps its item hot.
            bool leaving = hot->dwFlags & HICF_LEAVING;
            *result = (r->suspended || !IsWindowEnabled(frame->wnd) || (g_tracking == r && leaving)) ? 1 : 0;
            if (*result) return true;
            // A hot item set by a program, not by the user on the bar, starts the loop.
            bool byUser = hot->dwFlags & (HICF_MOUSE | HICF_ARROWKEYS | HICF_ACCELERATOR);
            if (!byUser && !leaving && hot->idNew >= 0) enterLoop(r);
            reportHot(r, hot);
            return true;
        }
        return false;
    }
    case WM_MENUSELECT:
        if (g_tracking == r) r->submenuHighlighted = (HIWORD(wParam) & MF_POPUP) && lParam && HIWORD(wParam) != 0xFFFF;
        return false;
    case WM_MENUCHAR:
        *result = MAKELRESULT(0, MNC_CLOSE);
        return g_tracking == r || !(HIWORD(wParam) & MF_POPUP);
    default: return false;
    }
}

HWND px_menuBarTracking() { return g_tracking ? g_tracking->self : nullptr; }
