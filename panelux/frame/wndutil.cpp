#include "wndutil.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "app.h"
#include "errbox.h"
#include "frame.h"
#include "registry.h"

namespace {

bool activeIsForeground() { return GetActiveWindow() && GetActiveWindow() == GetForegroundWindow(); }

int textWidth(HDC dc, const char *text, int n) {
    SIZE s = {};
    GetTextExtentPoint32A(dc, text, n, &s);
    return s.cx;
}

const char kEllipsis = static_cast<char>(133);

}  // namespace

HWND px_curFrameWnd() {
    PxTopWnd *e = px_firstTopWnd();
    return e && e->frame ? e->frame->wnd : nullptr;
}

HWND px_curChildWnd() {
    PxTopWnd *e = px_firstTopWnd();
    return e && e->active ? e->active->wnd : nullptr;
}

void *px_wndRecordOf(HWND wnd) {
    if (!wnd) return nullptr;
    int id = GetDlgCtrlID(wnd);
    if ((GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) && ((id >= 768 && id <= 1023) || (id >= 4097 && id <= 4099)))
        wnd = GetParent(wnd);
    return wnd ? reinterpret_cast<void *>(GetWindowLongPtrA(wnd, GWLP_USERDATA)) : nullptr;
}

bool px_isActiveChild(const void *object, int kind) {
    PxTopWnd *e = px_firstTopWnd();
    return e && e->active && e->active->object == object && e->active->kind == kind;
}

void px_activateWnd(HWND wnd, bool on) {
    if (!wnd) return;
    if (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) {
        if (!on) SendMessageA(wnd, WM_NCACTIVATE, FALSE, 0);
        else if (activeIsForeground()) SendMessageA(wnd, WM_NCACTIVATE, TRUE, 0);
    } else if (on) {
        SetActiveWindow(wnd);
    }
}

bool px_focusIfForeground(HWND wnd) {
    if (!activeIsForeground()) return false;
    SetFocus(wnd);
    return true;
}

void px_setWndStyles(HWND wnd, DWORD style, DWORD exStyle) {
    bool changed = false;
    if (static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE)) != style) {
        SetWindowLongA(wnd, GWL_STYLE, static_cast<LONG>(style));
        changed = true;
    }
    if (static_cast<DWORD>(GetWindowLongA(wnd, GWL_EXSTYLE)) != exStyle) {
        SetWindowLongA(wnd, GWL_EXSTYLE, static_cast<LONG>(exStyle));
        changed = true;
    }
    if (changed)
        SetWindowPos(wnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool px_fitClientArea(HWND wnd, RECT *rect, UINT flags) {
    RECT client, outer;
    GetClientRect(wnd, &client);
    GetWindowRect(wnd, &outer);
    POINT origin = {0, 0};
    ClientToScreen(wnd, &origin);
    int left = origin.x - outer.left, top = origin.y - outer.top;
    int right = outer.right - origin.x - client.right, bottom = outer.bottom - origin.y - client.bottom;
    bool changed = false;
    if (rect->right - rect->left != client.right) {
        rect->right = rect->right - rect->left + left + right;
        rect->left = 0;
        changed = true;
    }
    if (rect->bottom - rect->top != client.bottom) {
        rect->bottom = rect->bottom - rect->top + top + bottom;
        rect->top = 0;
        changed = true;
    }
    if (changed && !(flags & 1))
        SetWindowPos(wnd, nullptr, 0, 0, rect->right - rect->left, rect->bottom - rect->top,
                     flags | SWP_NOMOVE | SWP_NOZORDER);
    return changed;
}

namespace {
bool outerRectInParent(HWND wnd, RECT *r) {
    if (!IsWindow(wnd) || !GetWindowRect(wnd, r)) return false;
    HWND parent = (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD) ? GetParent(wnd) : nullptr;
    if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(r), 2);
    return true;
}
}  // namespace

bool px_moveWndBy(HWND wnd, int dx, int dy, UINT flags) {
    RECT r;
    if ((dx == 0 && dy == 0) || !outerRectInParent(wnd, &r)) return false;
    return SetWindowPos(wnd, nullptr, r.left + dx, r.top + dy, 0, 0, flags | SWP_NOSIZE | SWP_NOZORDER) != 0;
}

bool px_sizeWndBy(HWND wnd, int dx, int dy, UINT flags) {
    RECT r;
    if ((dx == 0 && dy == 0) || !outerRectInParent(wnd, &r)) return false;
    return SetWindowPos(wnd, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                        flags | SWP_NOMOVE | SWP_NOZORDER) != 0;
}

// length: in, how many characters to consider (the whole text when null);
// out, how many are kept. saved: receives the character the ellipsis
// replaced. Without both, the text is cut after the kept characters.
char *px_fitText(HDC dc, char *text, int width, int *length, char *saved) {
    if (!text) return text;
    int n = length ? *length : static_cast<int>(std::strlen(text));
    int full = static_cast<int>(std::strlen(text));
    if (n > full) n = full;
    if (n < 0) n = 0;
    bool dropped = false;
    while (n > 0 && textWidth(dc, text, n) > width) --n, dropped = true;
    char replaced = 0;
    if (dropped) {
        // Ellipsis at the last kept place; shortening stops at the empty text.
        while (n > 0) {
            replaced = text[n - 1];
            text[n - 1] = kEllipsis;
            if (textWidth(dc, text, n) <= width) break;
            text[n - 1] = replaced;
            --n;
        }
    }
    if (length) *length = n;
    if (saved) *saved = replaced;
    if (!length && !saved) text[n] = 0;
    return text;
}

const char *px_modulePath() {
    static char path[MAX_PATH];
    if (!path[0]) {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&px_modulePath), &self);
        GetModuleFileNameA(self, path, sizeof path);
    }
    return path;
}

int px_messageBox(const char *text, const char *caption, UINT type) {
    std::string cap;
    PxApp *app = px_app();
    if (caption && *caption) cap = caption;
    else if (app && !app->caption.empty()) cap = px_oemToAnsi(app->caption.substr(0, 511).c_str());
    else {
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, sizeof exe);
        cap = exe;
    }
    HWND owner = px_curFrameWnd();
    if (!owner) owner = px_curChildWnd();
    if (owner) owner = GetLastActivePopup(owner);
    MessageBeep(type & MB_ICONMASK);
    return MessageBoxA(owner, text ? text : "", cap.c_str(), type);
}

namespace {

// The system's text for code, or empty.
std::string systemText(DWORD code) {
    char *msg = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char *>(&msg), 0,
                   nullptr);
    std::string text = msg ? msg : "";
    if (msg) LocalFree(msg);
    if (text.size() > 2) text.resize(text.size() - 2);
    return text;
}

}  // namespace

int px_sysErrorBox(DWORD code, const char *format, ...) {
    char caption[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(caption, sizeof caption, format, args);
    va_end(args);
    return px_messageBox(systemText(code).c_str(), caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

int px_plainSysErrorBox(DWORD code, const char *caption) {
    return MessageBoxA(nullptr, systemText(code).c_str(), caption, MB_OK | MB_ICONERROR);
}
