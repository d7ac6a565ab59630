// Console window requests on a console of this test's own, and the keys
// that must not go astray when there is none.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "module.h"
#include "wire.h"

namespace {

// The keys that reach the desktop's input, seen by a low-level keyboard
// hook on a thread of its own: "+VK" for a key down, "-VK" for a key up.
std::mutex g_lock;
std::string g_keys;

LRESULT CALLBACK onKey(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        char item[8];
        bool up = wp == WM_KEYUP || wp == WM_SYSKEYUP;
        std::snprintf(item, sizeof item, "%c%02lX", up ? '-' : '+', reinterpret_cast<KBDLLHOOKSTRUCT *>(lp)->vkCode);
        std::lock_guard<std::mutex> hold(g_lock);
        g_keys += (g_keys.empty() ? "" : " ") + std::string(item);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

DWORD WINAPI hookThread(void *ready) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, onKey, GetModuleHandleA(nullptr), 0);
    if (hook) SetEvent(ready);
    while (hook && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return hook ? UnhookWindowsHookEx(hook) : 0;
}

// What came since the last call, after a little wait for stragglers.
std::string takeKeys() {
    Sleep(200);
    std::lock_guard<std::mutex> hold(g_lock);
    return std::move(g_keys);
}

struct SysmixConsole : ::testing::Test {
    void SetUp() override {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        hook = CreateThread(nullptr, 0, hookThread, ready, 0, &hookId);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 5000)) << "no keyboard hook";
        CloseHandle(ready);
        m.messageProcName = "_ZamExtMessageProc";
    }
    void TearDown() override {
        m.message(kMsgUnload);
        PostThreadMessageA(hookId, WM_QUIT, 0, 0);
        WaitForSingleObject(hook, 5000);
        CloseHandle(hook);
    }
    // Request 20 with an operation, or 21; the answer.
    int32_t ask(int code, int32_t op = 0) {
        EXPECT_EQ(4, m.message(code, th::Bytes().i32(op)));
        return WireReader(m.reply(), 4).i32();
    }
    static HWND window(const char *title) {
        return CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
    }

    HANDLE hook = nullptr;
    DWORD hookId = 0;
    th::Module m{"sysmix.dll"};
};

TEST_F(SysmixConsole, WithoutAConsoleWindowNoKeysGoToTheWindowInFront) {
    ASSERT_EQ(nullptr, GetConsoleWindow());
    HWND front = window("front");
    SetForegroundWindow(front);
    takeKeys();
    for (int op : {3, 0, 3}) EXPECT_EQ(1, ask(20, op));
    EXPECT_EQ("", takeKeys());
    EXPECT_EQ(front, GetForegroundWindow());
    EXPECT_EQ(0, ask(21));
    DestroyWindow(front);
}

TEST_F(SysmixConsole, ShowOperationsMinimiseRestoreMaximiseAndSwitchToFullScreenInFront) {
    FreeConsole();  // the console Wine gave the test has no window
    ASSERT_TRUE(AllocConsole());
    HWND console = GetConsoleWindow();
    ASSERT_NE(nullptr, console) << "no console window here";
    SetForegroundWindow(console);
    EXPECT_EQ(1, ask(21));
    EXPECT_EQ(1, ask(20, 0));
    EXPECT_TRUE(IsIconic(console));
    EXPECT_EQ("", takeKeys()) << "not full-screen: nothing to leave";
    EXPECT_EQ(1, ask(20, 1));
    EXPECT_FALSE(IsIconic(console) || IsZoomed(console));
    EXPECT_EQ(1, ask(20, 2));
    EXPECT_TRUE(!IsIconic(console) && IsZoomed(console));
    ask(20, 1);
    ask(20, 0);
    takeKeys();
    EXPECT_EQ(1, ask(20, 3));
    EXPECT_TRUE(!IsIconic(console) && GetForegroundWindow() == console);
    EXPECT_EQ("+12 +0D -0D -12", takeKeys()) << "Alt down, Enter down, Enter up, Alt up";
    EXPECT_EQ(1, ask(20, 9));
    HWND other = window("other");
    SetForegroundWindow(other);
    EXPECT_EQ(0, ask(21));
    DestroyWindow(other);
    FreeConsole();
}

}  // namespace
