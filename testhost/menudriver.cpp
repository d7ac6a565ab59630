#include "menudriver.h"

namespace th {

namespace {

MenuDriver *g_driver;

#ifndef MN_GETHMENU
#define MN_GETHMENU 0x01E1
#endif

std::vector<HWND> openPopups() {
    std::vector<HWND> v;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) CALLBACK -> BOOL {
            char cls[16] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (lstrcmpA(cls, "#32768") == 0 && IsWindowVisible(w)) reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&v));
    return v;
}

std::vector<MenuLine> linesOf(HMENU menu) {
    std::vector<MenuLine> lines;
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        lines.push_back({text, GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION)});
    }
    return lines;
}

}  // namespace

MenuDriver::MenuDriver(std::vector<std::vector<UINT>> keys, HWND bar) : keys_(std::move(keys)), bar_(bar) {
    g_driver = this;
    GetCursorPos(&cursor_);
    hook_ = SetWindowsHookExA(WH_CALLWNDPROC, hook, nullptr, GetCurrentThreadId());
}

MenuDriver::~MenuDriver() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (moved_) SetCursorPos(cursor_.x, cursor_.y);
    g_driver = nullptr;
}

void MenuDriver::onMenuMessage() {
    for (HWND w : openPopups()) {
        bool known = false;
        for (HWND s : seen_) known = known || s == w;
        if (known) continue;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(w, MN_GETHMENU, 0, 0));
        if (!menu) continue;
        seen_.push_back(w);
        popups.push_back(linesOf(menu));
        size_t n = popups.size() - 1;
        std::vector<UINT> keys = n < keys_.size() ? keys_[n] : std::vector<UINT>{VK_ESCAPE, VK_ESCAPE};
        for (UINT k : keys) {
            if (k >= kMoveTo && bar_) {
                RECT r;
                SendMessageA(bar_, 0x0400 + 29 /* TB_GETITEMRECT */, k - kMoveTo, reinterpret_cast<LPARAM>(&r));
                POINT pt = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                ClientToScreen(bar_, &pt);
                SetCursorPos(pt.x, pt.y);
                moved_ = true;
                PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
            } else {
                PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, k, 0);
            }
        }
    }
}

LRESULT CALLBACK MenuDriver::hook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT *c = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (g_driver && code == HC_ACTION && c->message == WM_ENTERIDLE && c->wParam == MSGF_MENU) g_driver->onMenuMessage();
    return CallNextHookEx(g_driver ? g_driver->hook_ : nullptr, code, wParam, lParam);
}

}  // namespace th
