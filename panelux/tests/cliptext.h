// Clipboard text the formkit tests put and read.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

// CF_TEXT on the clipboard, "" when there is none.
inline std::string clipText() {
    std::string s;
    if (OpenClipboard(nullptr)) {
        if (HANDLE h = GetClipboardData(CF_TEXT)) s = static_cast<const char *>(GlobalLock(h)), GlobalUnlock(h);
        CloseClipboard();
    }
    return s;
}

inline void putClipText(const char *s) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, std::strlen(s) + 1);
    std::strcpy(static_cast<char *>(GlobalLock(g)), s);
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
}
