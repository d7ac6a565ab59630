#include "dialogs.h"

namespace th {

namespace {

struct Search {
    const std::wstring *prefix;
    HWND found;
};

BOOL CALLBACK look(HWND w, LPARAM p) {
    auto *s = reinterpret_cast<Search *>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[32] = L"";
    GetClassNameW(w, cls, 32);
    if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(w)) return TRUE;
    if (windowText(w).rfind(*s->prefix, 0) != 0) return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

std::wstring windowText(HWND w) {
    wchar_t buf[512] = L"";
    GetWindowTextW(w, buf, 512);
    return buf;
}

HWND findDialog(const std::wstring &prefix, int looks) {
    for (int tries = 0; tries < looks; ++tries) {
        Search s{&prefix, nullptr};
        EnumWindows(look, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(25);
    }
    return nullptr;
}

}  // namespace th
