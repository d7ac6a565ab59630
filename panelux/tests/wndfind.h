// Window lookups and messages the formkit tests share.
#pragma once

#include <windows.h>

// The first window of a class among the thread's windows and their children.
inline HWND findClass(const char *cls) {
    struct Search {
        const char *cls;
        HWND found;
    } s = {cls, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        Search *s = reinterpret_cast<Search *>(p);
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (!lstrcmpiA(name, s->cls)) s->found = w;
        if (!s->found) EnumChildWindows(w, [](HWND c, LPARAM q) CALLBACK -> BOOL {
            Search *t = reinterpret_cast<Search *>(q);
            char n[64] = {};
            GetClassNameA(c, n, sizeof n);
            if (!lstrcmpiA(n, t->cls)) t->found = c;
            return t->found ? FALSE : TRUE;
        }, p);
        return s->found ? FALSE : TRUE;
    }, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A child's window rectangle in its parent's client coordinates.
inline RECT rectIn(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

// F1 on a window as the system reports it: window help.
inline void sendWindowHelp(HWND wnd) {
    HELPINFO hi = {};
    hi.cbSize = sizeof hi;
    hi.iContextType = HELPINFO_WINDOW;
    hi.hItemHandle = wnd;
    SendMessageA(wnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}
