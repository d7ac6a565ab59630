#include "tabs.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app.h"
#include "errbox.h"
#include "events.h"
#include "labels.h"
#include "wndutil.h"

namespace {

std::string headerText(const std::string &oem) {
    PxApp *app = px_app();
    return app && app->oemFont[kPxHeaderFont] ? oem : px_oemToAnsi(oem.c_str());
}

}  // namespace

bool px_createTab(HWND parent, RECT rect, const char *titlesOem, PxTab *tab) {
    PxApp *app = px_app();
    if (!app || !tab) return false;
    HWND t = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_FOCUSNEVER,
                             rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxTabId)), app->instance, nullptr);
    if (!t) {
        px_sysErrorBox(GetLastError(), "px_createTab: CreateWindowEx() failed!");
        return false;
    }
    tab->wnd = t;
    tab->font = px_createFont(&app->fonts[kPxHeaderFont]);
    if (tab->font) SendMessageA(t, WM_SETFONT, reinterpret_cast<WPARAM>(tab->font), FALSE);
    std::string titles = titlesOem ? titlesOem : "";
    size_t start = 0;
    for (int i = 0; start <= titles.size(); ++i) {
        size_t end = titles.find('\n', start);
        if (end == std::string::npos) end = titles.size();
        std::string title = headerText(titles.substr(start, end - start).substr(0, kPxTabTitleMax - 1));
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = &title[0];
        SendMessageA(t, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        start = end + 1;
    }
    // Grow the control so that its display area is the size asked for.
    RECT outer = rect;
    SendMessageA(t, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&outer));
    RECT pc;
    GetClientRect(parent, &pc);
    bool filled = rect.left <= 0 && rect.top <= 0 && rect.right >= pc.right && rect.bottom >= pc.bottom;
    if (filled) {
        int dx = outer.left - rect.left, dy = outer.top - rect.top;
        OffsetRect(&outer, -outer.left, -outer.top);
        px_moveWndBy(parent, dx, dy, SWP_NOACTIVATE);
        RECT want = {0, 0, outer.right, outer.bottom};
        px_fitClientArea(parent, &want, SWP_NOACTIVATE);
    }
    MoveWindow(t, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    return true;
}

void px_destroyTab(PxTab *tab) {
    if (!tab) return;
    if (tab->wnd && IsWindow(tab->wnd)) DestroyWindow(tab->wnd);
    if (tab->font) DeleteObject(tab->font);
    *tab = PxTab{};
}

void px_fitTabPage(const PxTab *tab, HWND page) {
    if (!tab || !tab->wnd || !page) return;
    RECT r;
    GetClientRect(tab->wnd, &r);
    SendMessageA(tab->wnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(tab->wnd, GetParent(page), reinterpret_cast<POINT *>(&r), 2);
    MoveWindow(page, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

LRESULT px_tabNotify(const NMHDR *hdr) {
    if (!hdr || hdr->code != static_cast<UINT>(TCN_SELCHANGING)) return 0;
    TCHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(hdr->hwndFrom, &hit.pt);
    int index = static_cast<int>(SendMessageA(hdr->hwndFrom, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    // A miss tells the server nothing; the change is refused either way.
    if (index >= 0) px_postEvent(kPxEvFirstTab + index, px_shiftState(), 0, px_keyEventMode());
    return TRUE;
}

void px_selectTab(HWND tab, int index) {
    if (tab) SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

namespace {
TOOLINFOA toolOf(HWND tip, HWND owner) {
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = owner;
    ti.uId = kPxTipToolId;
    (void)tip;
    return ti;
}
}  // namespace

HWND px_createToolTip(HWND owner, const char *textOem, const char *titleOem, int icon, bool balloon) {
    PxApp *app = px_app();
    if (!app || !owner) return nullptr;
    DWORD style = WS_POPUP | TTS_NOPREFIX | (balloon ? TTS_BALLOON : TTS_ALWAYSTIP);
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, app->instance, nullptr);
    if (!tip) {
        px_sysErrorBox(GetLastError(), "px_createToolTip: CreateWindowEx() failed!");
        return nullptr;
    }
    std::vector<char> raw(textOem ? textOem : "", (textOem ? textOem : "") + lstrlenA(textOem ? textOem : ""));
    raw.push_back(0);
    px_stripTilde(raw.data());
    std::string text = px_oemToAnsi(raw.data());
    TOOLINFOA ti = toolOf(tip, owner);
    ti.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    ti.lpszText = &text[0];
    GetClientRect(owner, &ti.rect);
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    // A child owner is replaced by its top-level window: keep the tool's own.
    SetWindowLongPtrA(tip, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    if (titleOem && *titleOem) {
        std::string title = px_oemToAnsi(titleOem);
        SendMessageA(tip, TTM_SETTITLEA, static_cast<WPARAM>(icon), reinterpret_cast<LPARAM>(title.c_str()));
    }
    px_trackToolTip(tip);
    return tip;
}

void px_trackToolTip(HWND tip) {
    HWND owner = tip ? reinterpret_cast<HWND>(GetWindowLongPtrA(tip, GWLP_USERDATA)) : nullptr;
    if (!owner) return;
    TOOLINFOA ti = toolOf(tip, owner);
    GetClientRect(owner, &ti.rect);
    SendMessageA(tip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    POINT at = {ti.rect.left, ti.rect.top};
    ClientToScreen(owner, &at);
    SendMessageA(tip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageA(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
}

void px_setWndText(HWND wnd, const char *textOem) {
    if (!wnd) wnd = px_curFrameWnd();
    if (!wnd) return;
    SetWindowTextA(wnd, px_oemToAnsi(textOem).c_str());
}

int px_getWndText(HWND wnd, char *buf, int size, size_t capacity) {
    if (!wnd) wnd = px_curFrameWnd();
    size_t n = size < 0 ? 0 : static_cast<size_t>(size);
    if (n > capacity) n = capacity;
    if (buf && n) buf[0] = 0;
    if (!wnd) return 0;
    int len = GetWindowTextLengthA(wnd);
    std::string s(static_cast<size_t>(len) + 1, '\0');
    GetWindowTextA(wnd, &s[0], len + 1);
    s.resize(lstrlenA(s.c_str()));
    std::string oem = px_ansiToOem(s.c_str());
    if (buf && n) lstrcpynA(buf, oem.c_str(), static_cast<int>(n));
    return static_cast<int>(oem.size());
}
