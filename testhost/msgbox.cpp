#include "msgbox.h"

namespace th {

namespace {
MessageBoxCatcher *g_catcher;

std::wstring textOf(HWND w) {
    wchar_t buf[1024] = {};
    if (w) GetWindowTextW(w, buf, 1024);
    return buf;
}
}  // namespace

MessageBoxCatcher::MessageBoxCatcher(int answer) : answer(answer) {
    g_catcher = this;
    hook_ = SetWindowsHookExW(WH_CBT, hook, nullptr, GetCurrentThreadId());
}

MessageBoxCatcher::~MessageBoxCatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
    g_catcher = nullptr;
}

LRESULT CALLBACK MessageBoxCatcher::hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_catcher) {
        HWND w = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {
            g_catcher->seen.push_back({textOf(w), textOf(GetDlgItem(w, 0xFFFF))});
            PostMessageW(w, WM_COMMAND, static_cast<WPARAM>(g_catcher->answer), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace th
