#include "keylog.h"

#include <cstdio>

namespace {

CRITICAL_SECTION g_lock;
std::string g_keys;

LRESULT CALLBACK onKey(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const KBDLLHOOKSTRUCT *k = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lp);
        bool up = wp == WM_KEYUP || wp == WM_SYSKEYUP;
        char item[16];
        std::snprintf(item, sizeof item, "%s%c%02lX", g_keys.empty() ? "" : " ", up ? '-' : '+', k->vkCode);
        EnterCriticalSection(&g_lock);
        g_keys += item;
        LeaveCriticalSection(&g_lock);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

KeyLog::KeyLog() {
    InitializeCriticalSection(&g_lock);
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, run, this, 0, &threadId_);
    WaitForSingleObject(ready_, 5000);
}

KeyLog::~KeyLog() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(ready_);
    DeleteCriticalSection(&g_lock);
}

DWORD WINAPI KeyLog::run(void *p) {
    KeyLog *self = static_cast<KeyLog *>(p);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, onKey, GetModuleHandleA(nullptr), 0);
    self->hooked_ = hook != nullptr;
    SetEvent(self->ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    if (hook) UnhookWindowsHookEx(hook);
    return 0;
}

std::string KeyLog::take() {
    Sleep(200);
    EnterCriticalSection(&g_lock);
    std::string s = g_keys;
    g_keys.clear();
    LeaveCriticalSection(&g_lock);
    return s;
}
